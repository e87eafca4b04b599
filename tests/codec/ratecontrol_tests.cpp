// Rate behaviour seen from outside: file-size targets, the quality scale,
// and prefixes of a stream.
#include <gtest/gtest.h>

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
