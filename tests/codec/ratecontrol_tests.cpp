// Rate behaviour seen from outside: file-size targets, the quality scale,
// and prefixes of a stream.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "codec/TavixLib.h"
#include "codec_test_support.h"

using namespace codec_test;

TEST(CodecRate, FileSizeModeFillsButNeverExceedsTheTarget) {
  LibraryScope library;
  for (int color : {TXcolorGrey8, TXcolorRGB24, TXcolorRGB48}) {
    const TestImage image = MakeImage(160, 120, color, 9);
    for (int codec : {0x01, 0x02, 0x42, 0x81}) {
      for (double ratio : {4.0, 12.0, 40.0, 150.0}) {
        const int32_t target = static_cast<int32_t>(image.bytes.size() / ratio);
        SCOPED_TRACE("colour " + std::to_string(color) + " codec " + std::to_string(codec) + " target " +
                     std::to_string(target));
        std::string file;
        ASSERT_EQ(Encode(image, Params(TXmodeFileSize, TXwavelet97, codec, target), file), TX_OK);
        EXPECT_LE(file.size(), size_t(target));
        EXPECT_GE(file.size(), size_t(target * 0.995));
      }
    }
  }
}

TEST(CodecRate, FileSizeModeRefusesTargetsBelowTheHeader) {
  LibraryScope library;
  const TestImage image = MakeImage(16, 16, TXcolorGrey8);
  std::string file;
  EXPECT_EQ(Encode(image, Params(TXmodeFileSize, TXwavelet97, TXcodecStandard, 20), file), TX_ERR_ARGUMENT);
  EXPECT_TRUE(file.empty());
}

TEST(CodecRate, QualityRaisesSizeAndPsnr) {
  LibraryScope library;
  for (int color : {TXcolorGrey8, TXcolorRGB24}) {
    for (int wavelet : {TXwavelet97, TXwavelet53}) {
      const TestImage image = MakeImage(96, 80, color, 4);
      size_t lastSize = 0;
      double lastPsnr = 0.0;
      for (double quality : {1.0, 3.0, 8.0, 15.0, 25.0, 40.0, 50.0}) {
        SCOPED_TRACE("colour " + std::to_string(color) + " wavelet " + std::to_string(wavelet) + " Q " +
                     std::to_string(quality));
        std::string file;
        const TXcompressionParams params = Params(TXmodeQuality, wavelet, 0x81, QualityTarget(quality));
        ASSERT_EQ(Encode(image, params, file), TX_OK);
        TestImage decoded;
        ASSERT_EQ(Decode(file, decoded), TX_OK);
        const double psnr = Psnr(image, decoded);
        EXPECT_GT(file.size(), lastSize);
        EXPECT_GT(psnr, lastPsnr);
        lastSize = file.size();
        lastPsnr = psnr;
      }
      EXPECT_GT(lastPsnr, 45.0);
    }
  }
}

// 16-bit samples that stop at a smaller maximum (auxWord3) are quantised
// for their real depth: 12-bit data at a quality costs about what the same
// picture in 8 bits does, and a size target buys the same fidelity.
TEST(CodecRate, SixteenBitStreamsQuantiseForTheirStatedMaximum) {
  LibraryScope library;
  const TestImage eight = MakeImage(128, 96, TXcolorRGB24, 6);
  TestImage twelve = eight;
  twelve.colorType = TXcolorRGB48;
  twelve.rowBytes = eight.rowBytes * 2;
  twelve.bytes.assign(static_cast<size_t>(twelve.rowBytes) * twelve.height, 0);
  for (size_t i = 0; i < eight.bytes.size(); ++i) {
    const uint16_t sample = static_cast<uint16_t>(eight.bytes[i] * 16 + 8);
    std::memcpy(twelve.bytes.data() + 2 * i, &sample, 2);
  }
  struct Case {
    int mode;
    int32_t target;
  } cases[] = {{TXmodeQuality, QualityTarget(40)}, {TXmodeQuality, QualityTarget(10)}, {TXmodeFileSize, 9000}};
  for (const Case& test : cases) {
    SCOPED_TRACE("mode " + std::to_string(test.mode));
    std::string small, deep;
    ASSERT_EQ(Encode(eight, Params(test.mode, TXwavelet97, TXcodecStandard, test.target), small), TX_OK);
    TXcompressionParams params = Params(test.mode, TXwavelet97, TXcodecStandard, test.target);
    params.auxWord3 = 4095;
    ASSERT_EQ(Encode(twelve, params, deep), TX_OK);
    EXPECT_NEAR(static_cast<double>(deep.size()), static_cast<double>(small.size()), 0.15 * small.size() + 100);
    TestImage decoded;
    ASSERT_EQ(Decode(deep, decoded), TX_OK);
    double sum = 0;
    for (int y = 0; y < eight.height; ++y)
      for (int x = 0; x < eight.width; ++x)
        for (int c = 0; c < 3; ++c) {
          const double d = (decoded.Sample(x, y, c) - 8) / 16.0 - eight.Sample(x, y, c);
          sum += d * d;
        }
    TestImage decodedSmall;
    ASSERT_EQ(Decode(small, decodedSmall), TX_OK);
    const double psnr = 10 * std::log10(255.0 * 255.0 / (sum / (eight.width * eight.height * 3.0)));
    EXPECT_NEAR(psnr, Psnr(eight, decodedSmall), 1.0);
  }
}

TEST(CodecRate, PrefixesDecodeToCoarserWholeImages) {
  LibraryScope library;
  for (int codec : {0x81, 0x82, 0xC2}) {
    for (int color : {TXcolorGrey8, TXcolorRGB24}) {
      SCOPED_TRACE("codec " + std::to_string(codec) + " colour " + std::to_string(color));
      const TestImage image = MakeImage(128, 96, color, 2);
      std::string file;
      ASSERT_EQ(Encode(image, Params(TXmodeQuality, TXwavelet97, codec, QualityTarget(50)), file), TX_OK);
      double lastPsnr = 0.0;
      for (double share : {0.02, 0.05, 0.1, 0.25, 0.5, 1.0}) {
        const std::string prefix = file.substr(0, 56 + static_cast<size_t>((file.size() - 56) * share));
        TestImage decoded;
        ASSERT_EQ(Decode(prefix, decoded), TX_OK);
        ASSERT_EQ(decoded.width, image.width);
        const double psnr = Psnr(image, decoded);
        EXPECT_GE(psnr, lastPsnr - 0.05) << "share " << share;
        lastPsnr = psnr;
      }
      EXPECT_GT(lastPsnr, 40.0);
    }
  }
}
