// Runs the built `tavix` program on real files, with ImageMagick and netpbm
// as the independent makers and readers of the raster files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "ToolTestSupport.h"
#include "tools/Pnm16.h"

#ifndef TAVIX_TOOL_PATH
#error "TAVIX_TOOL_PATH must name the built tavix program"
#endif

namespace {

const std::string kSample = std::string(TAVIX_SOURCE_DIR) + "/samples/chelsea.ppm";

int Tavix(const std::string& args, std::string* output = nullptr) {
  return RunShell(Quote(TAVIX_TOOL_PATH) + " " + args, output);
}

// Pixels of any image file as binary PPM/PGM bytes, decoded by ImageMagick.
// Its exit status is not used: it warns (and fails) about BMP files whose
// bfSize is 0, which is how our BMP writer fills it, yet decodes them fully.
std::vector<unsigned char> DecodedBy(const std::string& path, const char* kind = "ppm") {
  const std::string out = path + ".reference." + kind;
  RunShell("convert " + Quote(path) + " " + kind + ":" + Quote(out));
  return ReadBytes(out);
}

double Psnr(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, size_t header) {
  if (a.size() != b.size() || a.size() <= header) return -1.0;
  double sum = 0.0;
  for (size_t i = header; i < a.size(); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
  if (sum == 0.0) return 99.0;
  return 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(a.size() - header) / sum);
}

constexpr size_t kSampleHeader = 15;  // "P6\n300 200\n255\n"

class TavixTool : public ::testing::Test {
protected:
  void ExpectNoLeftovers() {
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
      EXPECT_EQ(entry.path().filename().string().find(".tavix-"), std::string::npos) << entry.path();
  }
  ScratchFolder folder;
};

TEST_F(TavixTool, ConvertsLosslessFormatsExactly) {
  const std::vector<unsigned char> sample = ReadBytes(kSample);
  ASSERT_FALSE(sample.empty());
  for (const char* extension : {"bmp", "tif", "pnm"}) {
    const std::string middle = folder / (std::string("sample.") + extension);
    const std::string back = folder / (std::string("back-") + extension + ".ppm");
    std::string output;
    ASSERT_EQ(Tavix("convert " + Quote(kSample) + " " + Quote(middle), &output), 0) << output;
    EXPECT_EQ(output, "") << "nothing on stderr when it is not a terminal";
    EXPECT_EQ(DecodedBy(middle), sample) << extension << " as read by ImageMagick";
    ASSERT_EQ(Tavix("convert " + Quote(middle) + " " + Quote(back), &output), 0) << output;
    EXPECT_EQ(ReadBytes(back), sample) << extension;
  }
  ExpectNoLeftovers();
}

TEST_F(TavixTool, ReadsPcxAndGifAndWritesJpeg) {
  for (const char* extension : {"pcx", "gif"}) {
    const std::string made = folder / (std::string("made.") + extension);
    ASSERT_EQ(RunShell("convert " + Quote(kSample) + " " + Quote(made)), 0);
    const std::string ours = folder / (std::string("ours-") + extension + ".ppm");
    std::string output;
    ASSERT_EQ(Tavix("convert " + Quote(made) + " " + Quote(ours), &output), 0) << output;
    EXPECT_EQ(ReadBytes(ours), DecodedBy(made)) << extension;
  }
  const std::string jpeg = folder / "sample.jpg";
  ASSERT_EQ(Tavix("convert --jpeg-quality 95 " + Quote(kSample) + " " + Quote(jpeg)), 0);
  EXPECT_GT(Psnr(DecodedBy(jpeg), ReadBytes(kSample), kSampleHeader), 35.0);
  const std::string low = folder / "low.jpg";
  ASSERT_EQ(Tavix("convert --jpeg-quality 10 " + Quote(kSample) + " " + Quote(low)), 0);
  EXPECT_LT(ReadBytes(low).size(), ReadBytes(jpeg).size()) << "--jpeg-quality reaches the writer";
}

TEST_F(TavixTool, PnmExtensionChoosesGreyOrColour) {
  const std::string grey = folder / "grey.pgm";
  ASSERT_EQ(Tavix("convert " + Quote(kSample) + " " + Quote(grey)), 0);
  const std::vector<unsigned char> greyBytes = ReadBytes(grey);
  ASSERT_GT(greyBytes.size(), 2u);
  EXPECT_EQ(greyBytes[1], '5');
  EXPECT_EQ(greyBytes, DecodedBy(grey, "pgm"));
  EXPECT_EQ(greyBytes.size(), 300u * 200u + kSampleHeader);

  const std::string colour = folder / "colour.ppm";
  ASSERT_EQ(Tavix("convert " + Quote(grey) + " " + Quote(colour)), 0);
  const std::vector<unsigned char> colourBytes = ReadBytes(colour);
  ASSERT_EQ(colourBytes.size(), 3u * 300u * 200u + kSampleHeader);
  EXPECT_EQ(colourBytes[1], '6');
  EXPECT_EQ(colourBytes[kSampleHeader + 3 * 123], greyBytes[kSampleHeader + 123]);
}

TEST_F(TavixTool, CompressesToTheRequestedSizeAndDecodes) {
  const std::string tvx = folder / "sample.tvx";
  std::string output;
  ASSERT_EQ(Tavix("compress --bpp 1 " + Quote(kSample) + " " + Quote(tvx), &output), 0) << output;
  const size_t size = ReadBytes(tvx).size();
  EXPECT_LE(size, 7500u);
  EXPECT_GE(size, 7463u) << "within 0.5 % below the 7500-byte target";

  const std::string decoded = folder / "decoded.ppm";
  ASSERT_EQ(Tavix("decompress " + Quote(tvx) + " " + Quote(decoded), &output), 0) << output;
  EXPECT_GT(Psnr(ReadBytes(decoded), ReadBytes(kSample), kSampleHeader), 25.0);

  ASSERT_EQ(Tavix("info --verbose " + Quote(tvx), &output), 0) << output;
  for (const char* expected : {"width: 300", "height: 200", "True Color (24 bit)", "9/7 Filter",
                               "Standard Embedded Progressive, colour downsampling", "mode: File Size",
                               "target: 7500 bytes", "sizeMode: 1", "portion: 90"})
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
}

TEST_F(TavixTool, CodecOptionsReachTheFile) {
  const std::string tvx = folder / "options.tvx";
  std::string output;
  ASSERT_EQ(Tavix("convert --quality 30 --wavelet 18/10 --layer fast-res --no-downsampling --color-portion 20 " +
                      Quote(kSample) + " " + Quote(tvx),
                  &output),
            0)
      << output;
  ASSERT_EQ(Tavix("info -v " + Quote(tvx), &output), 0) << output;
  for (const char* expected : {"18/10 Filter", "Fast Resolution Progressive, no colour downsampling", "mode: Quality",
                               "target: quality 30", "portion: 80", "auxLong: 4000", "sizeMode: 0"})
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;

  const std::string plain = folder / "default.tvx";
  ASSERT_EQ(Tavix("convert " + Quote(kSample) + " " + Quote(plain), &output), 0) << output;
  ASSERT_EQ(Tavix("info " + Quote(plain), &output), 0) << output;
  EXPECT_NE(output.find("mode: Quality, quality 40 of 50"), std::string::npos) << output;
}

TEST_F(TavixTool, LosslessIsExactForEightAndSixteenBits) {
  const std::string grey8 = folder / "grey8.pgm";
  ASSERT_EQ(RunShell("ppmtopgm " + Quote(kSample) + " > " + Quote(grey8)), 0);
  const std::string grey16 = folder / "grey16.pgm";
  ASSERT_EQ(RunShell("pamdepth 65535 " + Quote(grey8) + " | pamtopnm > " + Quote(grey16)), 0);
  const std::string rgb12 = folder / "rgb12.ppm";
  ASSERT_EQ(RunShell("pamdepth 4095 " + Quote(kSample) + " | pamtopnm > " + Quote(rgb12)), 0);
  for (const std::string& source : {kSample, grey8, grey16, rgb12}) {
    SampleImage original;
    ASSERT_TRUE(ReadPnmSamples(source, original).ok()) << source;
    for (const char* wavelet : {"sp", "ts", "5/3"}) {
      const std::string tvx = folder / "lossless.tvx";
      const std::string back = folder / (original.planes == 3 ? "back.ppm" : "back.pgm");
      std::string output;
      ASSERT_EQ(Tavix("compress --lossless --wavelet " + std::string(wavelet) + " " + Quote(source) + " " + Quote(tvx),
                      &output),
                0)
          << source << output;
      ASSERT_EQ(Tavix("decompress " + Quote(tvx) + " " + Quote(back), &output), 0) << output;
      SampleImage decoded;
      ASSERT_TRUE(ReadPnmSamples(back, decoded).ok());
      EXPECT_EQ(decoded.samples, original.samples) << source << " " << wavelet;
      EXPECT_EQ(decoded.maxValue, original.maxValue) << source << " " << wavelet;
      EXPECT_EQ(decoded.planes, original.planes);
    }
  }
  const std::string tvx = folder / "grey16.tvx";
  ASSERT_EQ(Tavix("compress --lossless " + Quote(grey16) + " " + Quote(tvx)), 0);
  std::string output;
  ASSERT_EQ(Tavix("info " + Quote(tvx), &output), 0);
  EXPECT_NE(output.find("Grayscale (16 bit)"), std::string::npos) << output;
  EXPECT_NE(output.find("SP Transformation"), std::string::npos) << output;
  EXPECT_NE(output.find("mode: Lossless"), std::string::npos) << output;
}

// High-contrast content that reaches 0 and the maximum, so lossy coding
// overshoots the range at the edges.
SampleImage Contrasty(int planes, int maxValue) {
  SampleImage image;
  image.width = 37;
  image.height = 29;
  image.planes = planes;
  image.maxValue = maxValue;
  image.samples.resize(static_cast<size_t>(image.width) * image.height * planes);
  for (size_t i = 0; i < image.samples.size(); ++i)
    image.samples[i] = static_cast<uint16_t>((i / 5) % 2 ? maxValue : (i * 7919) % (maxValue / 8 + 1));
  return image;
}

TEST_F(TavixTool, SixteenBitFilesKeepTheirMaximumValue) {
  for (int planes : {1, 3}) {
    for (int maxValue : {1023, 4095, 65535}) {
      SCOPED_TRACE(std::to_string(planes) + " planes, maximum " + std::to_string(maxValue));
      const std::string source = folder / (planes == 1 ? "deep.pgm" : "deep.ppm");
      const std::string back = folder / (planes == 1 ? "back.pgm" : "back.ppm");
      const std::string tvx = folder / "deep.tvx";
      ASSERT_TRUE(WritePnmSamples(source, Contrasty(planes, maxValue)).ok());
      std::string output;
      ASSERT_EQ(Tavix("compress --lossless " + Quote(source) + " " + Quote(tvx), &output), 0) << output;
      ASSERT_EQ(Tavix("decompress " + Quote(tvx) + " " + Quote(back), &output), 0) << output;
      EXPECT_EQ(ReadBytes(back), ReadBytes(source));
      ASSERT_EQ(Tavix("info " + Quote(tvx), &output), 0);
      EXPECT_NE(output.find("maximum sample value: " + std::to_string(maxValue) + "\n"), std::string::npos) << output;
      // Lossy: same range, and no decoded sample above it (the reader refuses those).
      ASSERT_EQ(Tavix("compress --bpp 1 " + Quote(source) + " " + Quote(tvx), &output), 0) << output;
      ASSERT_EQ(Tavix("decompress " + Quote(tvx) + " " + Quote(back), &output), 0) << output;
      SampleImage decoded;
      ASSERT_TRUE(ReadPnmSamples(back, decoded).ok());
      EXPECT_EQ(decoded.maxValue, maxValue);
    }
  }
}

TEST_F(TavixTool, SixteenBitLossyKeepsItsDepth) {
  const std::string grey16 = folder / "grey16.pgm";
  ASSERT_EQ(RunShell("ppmtopgm " + Quote(kSample) + " | pamdepth 65535 | pamtopnm > " + Quote(grey16)), 0);
  const std::string tvx = folder / "grey16.tvx";
  const std::string back = folder / "back.pgm";
  std::string output;
  ASSERT_EQ(Tavix("compress --bpp 2 " + Quote(grey16) + " " + Quote(tvx), &output), 0) << output;
  EXPECT_LE(ReadBytes(tvx).size(), 15000u);
  ASSERT_EQ(Tavix("decompress " + Quote(tvx) + " " + Quote(back), &output), 0) << output;
  SampleImage original, decoded;
  ASSERT_TRUE(ReadPnmSamples(grey16, original).ok());
  ASSERT_TRUE(ReadPnmSamples(back, decoded).ok());
  ASSERT_EQ(decoded.samples.size(), original.samples.size());
  double sum = 0.0;
  for (size_t i = 0; i < original.samples.size(); ++i) {
    const double difference = static_cast<double>(original.samples[i]) - decoded.samples[i];
    sum += difference * difference;
  }
  const double psnr = 10.0 * std::log10(65535.0 * 65535.0 * original.samples.size() / std::max(sum, 1.0));
  EXPECT_GT(psnr, 25.0) << "dark or wrapped samples would show as a very low PSNR";
}

TEST_F(TavixTool, FailuresSayWhatAndLeaveNothingBehind) {
  std::string output;
  EXPECT_EQ(Tavix("convert " + Quote(folder / "missing.bmp") + " " + Quote(folder / "x.ppm"), &output), 1);
  EXPECT_NE(output.find("cannot open"), std::string::npos) << output;

  EXPECT_EQ(Tavix("convert " + Quote(kSample) + " " + Quote(folder / "x.png"), &output), 1);
  EXPECT_NE(output.find("not a supported format"), std::string::npos) << output;
  EXPECT_EQ(Tavix("convert " + Quote(kSample) + " " + Quote(folder / "x.gif"), &output), 1);

  const std::string garbage = folder / "garbage.bmp";
  WriteBytes(garbage, "this is not a bitmap at all");
  EXPECT_EQ(Tavix("info " + Quote(garbage), &output), 1);
  EXPECT_NE(output.find("cannot read"), std::string::npos) << output;

  // A damaged .tvx: the header of a good file followed by noise.
  const std::string good = folder / "good.tvx";
  ASSERT_EQ(Tavix("compress " + Quote(kSample) + " " + Quote(good)), 0);
  std::vector<unsigned char> bytes = ReadBytes(good);
  ASSERT_GT(bytes.size(), 64u);
  for (size_t i = 40; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 131 + 7);
  const std::string damaged = folder / "damaged.tvx";
  WriteBytes(damaged, std::string(bytes.begin(), bytes.end()));
  const std::string keep = folder / "keep.ppm";
  WriteBytes(keep, "previous contents");
  const int damagedResult = Tavix("decompress " + Quote(damaged) + " " + Quote(keep), &output);
  if (damagedResult != 0) {
    EXPECT_EQ(damagedResult, 1);
    EXPECT_EQ(ReadBytes(keep), std::vector<unsigned char>({'p', 'r', 'e', 'v', 'i', 'o', 'u', 's', ' ', 'c', 'o',
                                                            'n', 't', 'e', 'n', 't', 's'}))
        << "a failed decode leaves the old file alone";
  }
  // Content that names no format: the extension decides, and the codec refuses it.
  const std::string notTvx = folder / "not.tvx";
  WriteBytes(notTvx, "Q6\n1 1\n255\nabc");
  EXPECT_EQ(Tavix("info " + Quote(notTvx), &output), 1);
  EXPECT_NE(output.find("TX_ERR"), std::string::npos) << output;

  EXPECT_EQ(Tavix("compress " + Quote(kSample) + " " + Quote(folder / "no/such/folder/x.tvx"), &output), 1);
  EXPECT_EQ(Tavix("compress " + Quote(kSample) + " " + Quote(folder / "x.bmp"), &output), 1);
  EXPECT_EQ(Tavix("decompress " + Quote(kSample) + " " + Quote(folder / "x.bmp"), &output), 1);
  ExpectNoLeftovers();
}

TEST_F(TavixTool, InterruptedRunLeavesNoFiles) {
  const std::string noise = folder / "noise.ppm";
  ASSERT_EQ(RunShell("convert -size 2500x2000 xc:gray +noise Random -depth 8 " + Quote(noise)), 0);
  const std::string target = folder / "noise.tvx";
  std::string status;
  // Whether the signal lands during the work or after it, nothing partial may remain.
  RunShell(Quote(TAVIX_TOOL_PATH) + " compress --lossless " + Quote(noise) + " " + Quote(target) +
               " & pid=$!; sleep 0.3; kill -INT $pid; wait $pid; echo status=$?",
           &status);
  if (status.find("status=0") == std::string::npos) {
    EXPECT_FALSE(Exists(target)) << status;
  }
  ExpectNoLeftovers();
}

TEST_F(TavixTool, CommandLineMistakesExitWithTwo) {
  std::string output;
  EXPECT_EQ(Tavix("", &output), 2);
  EXPECT_EQ(Tavix("compress --quality 99 a.ppm b.tvx", &output), 2);
  EXPECT_NE(output.find("--quality"), std::string::npos) << output;
  EXPECT_EQ(Tavix("--help", &output), 0);
  EXPECT_NE(output.find("tavix compress IN OUT.tvx"), std::string::npos);
}

}  // namespace
