#include <gtest/gtest.h>

#include "tools/CodecSettings.h"

namespace {

TEST(QualityScale, KnownPointsAndInverse) {
  EXPECT_EQ(QualityToTarget(50), 65536);
  EXPECT_EQ(QualityToTarget(40), 248707);
  EXPECT_EQ(QualityToTarget(10), 1386675);
  EXPECT_EQ(QualityToTarget(1), 3276800);
  for (int q = 1; q <= 50; ++q) EXPECT_EQ(TargetToQuality(QualityToTarget(q)), q) << q;
  // Larger Q means a smaller x.
  for (int q = 2; q <= 50; ++q) EXPECT_LT(QualityToTarget(q), QualityToTarget(q - 1));
}

TEST(CodecNames, OptionNamesMapToCodecValues) {
  const std::pair<const char*, int> wavelets[] = {{"9/7", 0}, {"18/10", 1}, {"MIXED", 2}, {"sp", 3},
                                                  {"9/7-lifted", 4}, {"ts", 5}, {"5/3", 6}};
  for (const auto& [name, value] : wavelets) EXPECT_EQ(WaveletFromName(name), value) << name;
  EXPECT_FALSE(WaveletFromName("9/7-lifting"));
  EXPECT_EQ(LayerFromName("standard"), 0x01);
  EXPECT_EQ(LayerFromName("fast"), 0x02);
  EXPECT_EQ(LayerFromName("fast-res"), 0x42);
  EXPECT_EQ(WaveletName(4), "9/7 Lifted Filter");
  EXPECT_EQ(WaveletName(9), "unknown (9)");
  EXPECT_EQ(CodingLayerName(0xC2), "Fast Resolution Progressive, no colour downsampling");
  EXPECT_EQ(ColorTypeName(3), "Grayscale (16 bit)");
  EXPECT_EQ(ModeName(2), "Lossless");
}

class BuildParams : public ::testing::Test {
protected:
  Status Build(const CompressionChoice& choice, SampleKind kind = SampleKind::RGB24, int width = 640,
               int height = 480) {
    return BuildCompressionParams(choice, width, height, kind, image, compression);
  }
  TXimageParams image;
  TXcompressionParams compression;
};

TEST_F(BuildParams, DefaultsGiveQuality40With97Standard) {
  ASSERT_TRUE(Build(CompressionChoice()).ok());
  EXPECT_EQ(image.width, 640);
  EXPECT_EQ(image.height, 480);
  EXPECT_EQ(image.colorType, TXcolorRGB24);
  EXPECT_EQ(compression.waveletType, TXwavelet97);
  EXPECT_EQ(compression.codecType, TXcodecStandard);
  EXPECT_EQ(compression.portion, 90);
  EXPECT_EQ(compression.mode, TXmodeQuality);
  EXPECT_EQ(compression.target, 248707);
  EXPECT_EQ(compression.sizeMode, 0);
  EXPECT_EQ(compression.auxLong, 4000);
  ASSERT_TRUE(Build(CompressionChoice(), SampleKind::Grey8).ok());
  EXPECT_EQ(image.colorType, TXcolorGrey8);
}

TEST_F(BuildParams, SizeModes) {
  CompressionChoice bpp;
  bpp.rate = RateMode::BitsPerPixel;
  bpp.bitsPerPixel = 0.5;
  ASSERT_TRUE(Build(bpp).ok());
  EXPECT_EQ(compression.mode, TXmodeFileSize);
  EXPECT_EQ(compression.target, 640 * 480 / 16);
  EXPECT_EQ(compression.sizeMode, 1);
  EXPECT_EQ(compression.auxLong, 0);

  CompressionChoice size;
  size.rate = RateMode::FileSize;
  size.sizeBytes = 5000;
  ASSERT_TRUE(Build(size).ok());
  EXPECT_EQ(compression.target, 5000);

  bpp.bitsPerPixel = 0.001;  // less than a byte for a 10 x 10 image
  EXPECT_FALSE(Build(bpp, SampleKind::Grey8, 10, 10).ok());
}

TEST_F(BuildParams, LayerDownsamplingAndPortion) {
  CompressionChoice choice;
  choice.layer = TXcodecFastResolution;
  choice.downsampling = false;
  choice.colorPortion = 30;
  choice.wavelet = TXwavelet53;
  ASSERT_TRUE(Build(choice).ok());
  EXPECT_EQ(compression.codecType, 0xC2);
  EXPECT_EQ(compression.portion, 70);
  EXPECT_EQ(compression.waveletType, TXwavelet53);
}

TEST_F(BuildParams, LosslessNeedsAReversibleWavelet) {
  CompressionChoice choice;
  choice.rate = RateMode::Lossless;
  choice.colorPortion = 30;
  ASSERT_TRUE(Build(choice, SampleKind::Grey16).ok());
  EXPECT_EQ(image.colorType, TXcolorGrey16);
  EXPECT_EQ(compression.waveletType, TXwaveletSP);
  EXPECT_EQ(compression.mode, TXmodeLossless);
  EXPECT_EQ(compression.target, 0);
  EXPECT_EQ(compression.portion, 90);

  choice.wavelet = TXwaveletTS;
  ASSERT_TRUE(Build(choice, SampleKind::RGB48).ok());
  EXPECT_EQ(compression.waveletType, TXwaveletTS);
  EXPECT_EQ(image.colorType, TXcolorRGB48);

  choice.wavelet = TXwavelet97;
  compression.waveletType = 77;
  EXPECT_FALSE(Build(choice).ok());
  EXPECT_EQ(compression.waveletType, 77) << "a refused choice leaves the records alone";
}

TEST_F(BuildParams, SizesTheCodecCannotHoldAreRefused) {
  EXPECT_FALSE(Build(CompressionChoice(), SampleKind::Grey8, 65536, 10).ok());
  EXPECT_FALSE(Build(CompressionChoice(), SampleKind::Grey8, 10, 0).ok());
  EXPECT_TRUE(Build(CompressionChoice(), SampleKind::Grey8, 65535, 1).ok());
}

}  // namespace
