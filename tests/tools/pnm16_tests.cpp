#include <gtest/gtest.h>

#include "ToolTestSupport.h"
#include "tools/Pnm16.h"

namespace {

SampleImage Ramp(int width, int height, int planes, int maxValue) {
  SampleImage image;
  image.width = width;
  image.height = height;
  image.planes = planes;
  image.maxValue = maxValue;
  image.samples.resize(static_cast<size_t>(width) * height * planes);
  for (size_t i = 0; i < image.samples.size(); ++i) image.samples[i] = static_cast<uint16_t>((i * 7919) % (maxValue + 1));
  return image;
}

TEST(Pnm16, RoundTripsEveryDepthAndPlaneCount) {
  ScratchFolder folder;
  for (int planes : {1, 3}) {
    for (int maxValue : {1, 255, 4095, 65535}) {
      const SampleImage original = Ramp(7, 5, planes, maxValue);
      const std::string path = folder / "ramp.pnm";
      ASSERT_TRUE(WritePnmSamples(path, original).ok());
      SampleImage read;
      ASSERT_TRUE(ReadPnmSamples(path, read).ok()) << planes << " " << maxValue;
      EXPECT_EQ(read.width, 7);
      EXPECT_EQ(read.height, 5);
      EXPECT_EQ(read.planes, planes);
      EXPECT_EQ(read.maxValue, maxValue);
      EXPECT_EQ(read.samples, original.samples);
    }
  }
}

TEST(Pnm16, ReadsSixteenBitFilesFromNetpbm) {
  ScratchFolder folder;
  const std::string plain = folder / "plain.pgm";
  // A plain 3 x 2 grey image with a comment; netpbm turns it into a binary 16-bit file.
  WriteBytes(plain, "P2\n# made by hand\n3 2\n65535\n0 1 256\n65535 4660 43981\n");
  SampleImage fromPlain;
  ASSERT_TRUE(ReadPnmSamples(plain, fromPlain).ok());
  EXPECT_EQ(fromPlain.samples, (std::vector<uint16_t>{0, 1, 256, 65535, 4660, 43981}));

  const std::string binary = folder / "binary.pgm";
  ASSERT_EQ(RunShell("pnmtopnm " + Quote(plain) + " > " + Quote(binary)), 0);
  SampleImage fromBinary;
  ASSERT_TRUE(ReadPnmSamples(binary, fromBinary).ok());
  EXPECT_EQ(fromBinary.samples, fromPlain.samples);
  const std::vector<unsigned char> bytes = ReadBytes(binary);
  ASSERT_GE(bytes.size(), 12u);
  EXPECT_EQ(bytes[bytes.size() - 2], 0xAB) << "samples are big-endian";
}

TEST(Pnm16, HostileFilesAreRefused) {
  ScratchFolder folder;
  const std::string path = folder / "bad.pgm";
  const std::vector<std::string> bad = {
      "",                                       // empty
      "P4\n1 1\n\x80",                          // bitmaps are not handled here
      "P5\n2 2\n65535\n\x01\x02\x03",           // truncated samples
      "P5\n2 1\n1000\n\x03\xE9\x00\x00",        // 1001 above the maximum value
      "P2\n2 1\n10\n3",                         // truncated plain data
      "P2\n2 1\n10\n3 x",                       // not a number
      "P5\n70000 1\n255\n",                     // wider than any image
      "P6\n65535 65535\n65535\n",               // beyond the byte limit: must not allocate
      "P5\n2 2\n0\n\x00\x00\x00\x00",           // maximum value 0
      "P5\n2 2\n70000\n",                       // maximum value too large
      "P5\n-2 2\n255\n",                        // negative size
  };
  for (const std::string& bytes : bad) {
    WriteBytes(path, bytes);
    SampleImage image;
    image.width = 99;
    EXPECT_FALSE(ReadPnmSamples(path, image).ok()) << bytes;
    EXPECT_EQ(image.width, 99) << "a refused file leaves the image alone";
  }
  SampleImage image;
  EXPECT_FALSE(ReadPnmSamples(folder / "missing.pgm", image).ok());
}

TEST(Pnm16, ScalesToEightBitsWithRounding) {
  SampleImage image;
  image.maxValue = 65535;
  image.samples = {0, 128, 129, 32767, 65535};
  EXPECT_EQ(ScaleTo8Bit(image), (std::vector<uint8_t>{0, 0, 1, 127, 255}));
  image.maxValue = 15;
  image.samples = {0, 1, 15};
  EXPECT_EQ(ScaleTo8Bit(image), (std::vector<uint8_t>{0, 17, 255}));
}

}  // namespace
