// Conversions between the pixel buffer and the DIB.
#include <gtest/gtest.h>

#include "dib_test_helpers.h"
#include "image/Limits.h"

TEST(DibDefaults, NewImageIsEmptyWithCodecDefaults) {
  CDib dib;
  EXPECT_EQ(dib.GetSize(), (CSize{0, 0}));
  EXPECT_EQ(dib.GetPixels(), nullptr);
  EXPECT_EQ(dib.m_imageParams.imageTag, 1);
  EXPECT_EQ(dib.m_compressionParams.auxWord2, 2);
  EXPECT_EQ(dib.m_compressionParams.codecType, 1);
  EXPECT_EQ(dib.m_compressionParams.portion, 90);
  EXPECT_EQ(dib.m_compressionParams.sizeMode, 1);
}

// Every width 1..7 exercises each padding amount of both depths.
TEST(DibConvert, GreyAndColourRoundTripForOddWidths) {
  for (int width = 1; width <= 7; ++width) {
    for (int height : {1, 3}) {
      for (bool grey : {true, false}) {
        SCOPED_TRACE(::testing::Message() << width << "x" << height << (grey ? " grey" : " rgb"));
        const size_t bytes = static_cast<size_t>(width) * height * (grey ? 1 : 3);
        const auto pixels = PatternBytes(bytes, width * 10 + height);
        CDib dib;
        ASSERT_TRUE(BuildDib(dib, pixels, width, height, grey));
        EXPECT_EQ(dib.GetSize(), (CSize{width, height}));
        const size_t stride = DibStride(width, grey ? 8 : 24);
        EXPECT_EQ(dib.m_nImageSize, stride * height);
        EXPECT_EQ(dib.m_nColors, grey ? 256 : 0);
        ASSERT_TRUE(dib.MakePixels());
        EXPECT_EQ(0, std::memcmp(dib.GetPixels(), pixels.data(), bytes));
      }
    }
  }
}

TEST(DibConvert, DibRowsAreBottomUpBgrWithZeroPadding) {
  // 1 x 2 colour image: top red, bottom blue.
  const std::vector<BYTE> pixels = {255, 0, 0, 0, 0, 255};
  CDib dib;
  ASSERT_TRUE(BuildDib(dib, pixels, 1, 2, false));
  // Width 1 at 24 bits: rows of 4 bytes, 8 padding bits.
  EXPECT_EQ(dib.m_nImageSize, 8u);
  EXPECT_EQ(dib.m_nRowPadBits, 8u);
  const BYTE expected[8] = {255, 0, 0, 0, 0, 0, 255, 0};  // bottom row (blue) first
  EXPECT_EQ(0, std::memcmp(dib.m_pBits, expected, 8));
}

TEST(DibConvert, GreyTableThatIsNotIdentityIsAppliedByMakePixels) {
  const std::vector<BYTE> pixels = {0, 1, 2, 255};
  CDib dib;
  ASSERT_TRUE(BuildDib(dib, pixels, 2, 2, true));
  for (int i = 0; i < 256; ++i) {
    const BYTE v = static_cast<BYTE>(255 - i);
    dib.m_pColorTable[i] = RGBQUAD{0, 0, v, 0};  // only red counts
  }
  ASSERT_TRUE(dib.MakePixels());
  const BYTE* p = dib.GetPixels();
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 254);
  EXPECT_EQ(p[2], 253);
  EXPECT_EQ(p[3], 0);
}

TEST(DibConvert, UpdateBitsFromPixelsRefreshesTheDib) {
  std::vector<BYTE> pixels = PatternBytes(5 * 3 * 3, 7);
  CDib dib;
  ASSERT_TRUE(BuildDib(dib, pixels, 5, 3, false));
  ASSERT_TRUE(dib.MakePixels());
  dib.GetPixels()[0] = 17;
  dib.GetPixels()[44] = 99;
  EXPECT_EQ(dib.UpdateBitsFromPixels(), 1);
  pixels[0] = 17;
  pixels[44] = 99;
  dib.FreePixels();
  ASSERT_TRUE(dib.MakePixels());
  EXPECT_EQ(0, std::memcmp(dib.GetPixels(), pixels.data(), pixels.size()));

  CDib empty;
  EXPECT_EQ(empty.UpdateBitsFromPixels(), 0);
}

TEST(DibConvert, CreateFromPixelsRefusesMissingOrShortBuffers) {
  CDib dib;
  dib.m_nColorType = DibRGB;
  EXPECT_EQ(dib.CreateFromPixels(4, 4, 24), 0);  // no pixel buffer
  ASSERT_TRUE(dib.AllocPixelBuffer(4 * 4 * 3 - 1));
  EXPECT_EQ(dib.CreateFromPixels(4, 4, 24), 0);  // one byte short
  ASSERT_TRUE(dib.AllocPixelBuffer(16));
  EXPECT_EQ(dib.CreateFromPixels(100000, 100000, 8), 0);  // beyond the limits
  EXPECT_EQ(dib.CreateFromPixels(-4, 4, 8), 0);
}

TEST(DibConvert, HeaderOnlyConstructorThenAllocPixels) {
  CDib dib(6, 2, 24);
  ASSERT_NE(dib.Header(), nullptr);
  EXPECT_EQ(dib.Header()->biWidth, 6);
  EXPECT_EQ(dib.m_nHeaderOwner, HeaderOwnerHeap);
  EXPECT_EQ(dib.m_pBits, nullptr);
  ASSERT_TRUE(dib.AllocPixels());
  EXPECT_EQ(dib.GetPixelBytes(), 36u);
  for (size_t i = 0; i < 36; ++i) ASSERT_EQ(dib.GetPixels()[i], 0);
  dib.m_nColorType = DibRGB;
  EXPECT_TRUE(dib.CreateFromPixels(6, 2, 24));
}

TEST(DibLayout, ComputesSizesAndKeepsWideRowsExact) {
  CDib dib(30000, 1, 24);
  ASSERT_TRUE(dib.ComputeLayout());
  EXPECT_EQ(dib.m_nImageSize, 90000u);
  EXPECT_EQ(dib.RowBytes(), 90000u);  // the 16-bit m_wRowBytes cannot hold this
  EXPECT_EQ(dib.m_wRowBytes, static_cast<WORD>(90000));

  CDib odd(1, 5, 24);
  ASSERT_TRUE(odd.ComputeLayout());
  EXPECT_EQ(odd.m_nImageSize, 20u);
  EXPECT_EQ(odd.m_nRowPadBits, 8u);

  CDib lying(8, 8, 24);
  lying.Header()->biSizeImage = 10;  // smaller than the rows need: ignored
  ASSERT_TRUE(lying.ComputeLayout());
  EXPECT_EQ(lying.m_nImageSize, 8u * 24);

  CDib wrongSize(8, 8, 8);
  wrongSize.Header()->biSize = 12;
  EXPECT_FALSE(wrongSize.ComputeLayout());
}

TEST(DibColourCount, FollowsBitCountUnlessTheHeaderSaysOtherwise) {
  CDib dib;
  const std::pair<int, int> cases[] = {{1, 2}, {4, 16}, {8, 256}, {16, 0}, {24, 0}, {32, 0}};
  for (auto [bits, colours] : cases) {
    dib.SetColorCount(bits);
    EXPECT_EQ(dib.m_nColors, colours) << bits;
  }
  dib.SetColorCount(7);  // unknown depth leaves the count alone
  EXPECT_EQ(dib.m_nColors, 0);

  CDib withHeader(4, 4, 8);
  withHeader.Header()->biClrUsed = 12;
  withHeader.SetColorCount(8);
  EXPECT_EQ(withHeader.m_nColors, 12);
}

TEST(DibPalette, GreyDetectionForTablesAndPixels) {
  CDib dib(2, 2, 8);
  EXPECT_TRUE(dib.IsGreyPalette());  // zeroed table is grey
  dib.m_pColorTable[200] = RGBQUAD{1, 2, 3, 0};
  EXPECT_FALSE(dib.IsGreyPalette());

  CDib pixels;
  ASSERT_TRUE(pixels.AllocPixelBuffer(12));
  std::memset(pixels.GetPixels(), 77, 12);
  EXPECT_TRUE(pixels.IsGreyPixels(2, 2));
  pixels.GetPixels()[10] = 78;
  EXPECT_FALSE(pixels.IsGreyPixels(2, 2));
  EXPECT_FALSE(pixels.IsGreyPixels(3, 2));  // larger than the buffer
}

TEST(DibPalette, ExpandPaletteTo24KeepsTheSourceDescription) {
  PackedDib packed(3, 2, 8, 256);
  for (int i = 0; i < 256; ++i) packed.table()[i] = RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
  const BYTE indices[2][3] = {{0, 1, 2}, {253, 254, 255}};  // bottom row, top row
  std::memcpy(packed.bits(), indices[0], 3);
  std::memcpy(packed.bits() + 4, indices[1], 3);

  CDib dib;
  ASSERT_EQ(dib.LoadPackedDib(packed.bytes.data(), nullptr, packed.size()), DIB_OK);
  EXPECT_EQ(dib.m_nColorType, DibPaletteColor);
  EXPECT_EQ(dib.m_nBitsPerPlane, 8);
  EXPECT_EQ(dib.m_nPlanes, 1u);
  ASSERT_EQ(dib.Header()->biBitCount, 24);
  EXPECT_EQ(dib.m_nColors, 0);
  ASSERT_TRUE(dib.MakePixels());
  const BYTE* p = dib.GetPixels();
  // Top row holds indices 253..255: R = i / 2, G = 255 - i, B = i.
  EXPECT_EQ(p[0], 126);
  EXPECT_EQ(p[1], 2);
  EXPECT_EQ(p[2], 253);
  // Bottom-left pixel is index 0.
  EXPECT_EQ(p[9], 0);
  EXPECT_EQ(p[10], 255);
  EXPECT_EQ(p[11], 0);
}
