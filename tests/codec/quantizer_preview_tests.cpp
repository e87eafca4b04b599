// The quantizer preview: in-place look of a quality setting on a window.
#include <gtest/gtest.h>

#include "codec/TavixLib.h"
#include "codec_test_support.h"

using namespace codec_test;

namespace {

// The preview's own scale: q = (2 + 48 ln(50 / Q) / ln 25) * 65536.
long PreviewScale(double quality) { return static_cast<long>((2.0 + 48.0 * std::log(50.0 / quality) / std::log(25.0)) * 65536.0); }

}  // namespace

TEST(QuantizerPreview, SmallestWindowAndArgumentChecks) {
  uint16_t w = 0, h = 0;
  ASSERT_EQ(TXquantizerPreviewSize(640, 480, 3, TXwavelet97, TXcodecStandard, w, h), TX_OK);
  EXPECT_GT(w, 0);
  EXPECT_GT(h, 0);
  EXPECT_LE(w, 640);
  EXPECT_EQ(TXquantizerPreviewSize(640, 480, 2, TXwavelet97, TXcodecStandard, w, h), TX_ERR_ARGUMENT);
  EXPECT_EQ(TXquantizerPreviewSize(640, 480, 3, 7, TXcodecStandard, w, h), TX_ERR_ARGUMENT);
  TestImage image = MakeImage(w, h, TXcolorRGB24);
  EXPECT_EQ(TXquantizerPreview(nullptr, w, h, 3, image.rowBytes, 0, 0, 1, 131072, 90), TX_ERR_ARGUMENT);
  EXPECT_EQ(TXquantizerPreview(image.bytes.data(), w, h, 3, image.rowBytes - 1, 0, 0, 1, 131072, 90),
            TX_ERR_ARGUMENT);
  EXPECT_EQ(TXquantizerPreview(image.bytes.data(), w, h, 3, image.rowBytes, 0, 0, 0x41, 131072, 90),
            TX_ERR_ARGUMENT);
}

TEST(QuantizerPreview, LowerQualityLooksWorseAndMatchesTheDecodedFile) {
  const TestImage original = MakeImage(128, 96, TXcolorRGB24, 3);
  double lastPsnr = 1000.0;
  for (double quality : {50.0, 40.0, 20.0, 5.0, 1.0}) {
    SCOPED_TRACE(quality);
    TestImage window = original;
    ASSERT_EQ(TXquantizerPreview(window.bytes.data(), window.width, window.height, 3, window.rowBytes, 0,
                                 TXwavelet97, 0x81, PreviewScale(quality), 90),
              TX_OK);
    const double psnr = Psnr(original, window);
    EXPECT_LT(psnr, lastPsnr);
    lastPsnr = psnr;
    // A quality-mode file of the same settings decodes to the same pixels.
    LibraryScope library;
    std::string file;
    ASSERT_EQ(Encode(original, Params(TXmodeQuality, TXwavelet97, 0x81, QualityTarget(quality)), file), TX_OK);
    TestImage decoded;
    ASSERT_EQ(Decode(file, decoded), TX_OK);
    EXPECT_NEAR(Psnr(original, decoded), psnr, 0.2);
  }
  EXPECT_LT(lastPsnr, 32.0);
}

TEST(QuantizerPreview, PortionAndDownsamplingChangeTheColourOnly) {
  TestImage grey = MakeImage(80, 80, TXcolorGrey8, 2);
  TestImage greyLowColour = grey;
  const long q = PreviewScale(35);
  ASSERT_EQ(TXquantizerPreview(grey.bytes.data(), 80, 80, 1, grey.rowBytes, 0, 0, 0x01, q, 60), TX_OK);
  ASSERT_EQ(TXquantizerPreview(greyLowColour.bytes.data(), 80, 80, 1, greyLowColour.rowBytes, 0, 0, 0x81, q, 99),
            TX_OK);
  EXPECT_TRUE(SamePixels(grey, greyLowColour));

  const TestImage colour = MakeImage(80, 80, TXcolorRGB24, 2);
  TestImage richColour = colour, poorColour = colour, downsampled = colour;
  ASSERT_EQ(TXquantizerPreview(richColour.bytes.data(), 80, 80, 3, colour.rowBytes, 0, 0, 0x81, q, 60), TX_OK);
  ASSERT_EQ(TXquantizerPreview(poorColour.bytes.data(), 80, 80, 3, colour.rowBytes, 0, 0, 0x81, q, 99), TX_OK);
  ASSERT_EQ(TXquantizerPreview(downsampled.bytes.data(), 80, 80, 3, colour.rowBytes, 0, 0, 0x01, q, 60), TX_OK);
  EXPECT_GT(Psnr(colour, richColour), Psnr(colour, poorColour));
  EXPECT_GT(Psnr(colour, richColour), Psnr(colour, downsampled));
}
