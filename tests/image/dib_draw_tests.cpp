// Drawing a CDib into the memory canvas, palettes and the palette display.
#include <gtest/gtest.h>

#include "dib_test_helpers.h"
#include "image/display/DisplayDib.h"
#include "platform/MemoryCanvas.h"

namespace {

// 2 x 2: top row red, green; bottom row blue, white.
std::vector<BYTE> Quadrants() { return {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}; }

}  // namespace

TEST(DibDraw, EmptyImageDrawsNothingAndReturnsZero) {
  CDib dib;
  CMemoryCanvas canvas(4, 4, false, 0xABCDEF);
  EXPECT_FALSE(dib.Draw(&canvas, 0, 0, 4, 4));
  EXPECT_EQ(canvas.DrawCount(), 0);
  EXPECT_EQ(canvas.Pixel(2, 2), 0xABCDEFu);
}

TEST(DibDraw, WholeImageStretchedIntoTheRectangle) {
  CDib dib;
  ASSERT_TRUE(BuildDib(dib, Quadrants(), 2, 2, false));
  CMemoryCanvas canvas(6, 6);
  EXPECT_TRUE(dib.Draw(&canvas, 1, 1, 4, 4));
  EXPECT_EQ(canvas.StretchMode(), COLORONCOLOR);
  EXPECT_EQ(canvas.Pixel(1, 1), 0xFF0000u);
  EXPECT_EQ(canvas.Pixel(4, 1), 0x00FF00u);
  EXPECT_EQ(canvas.Pixel(1, 4), 0x0000FFu);
  EXPECT_EQ(canvas.Pixel(4, 4), 0xFFFFFFu);
  EXPECT_EQ(canvas.Pixel(0, 0), 0u);  // outside the rectangle
}

TEST(DibDraw, SourceRectangleIsInDibCoordinates) {
  CDib dib;
  ASSERT_TRUE(BuildDib(dib, Quadrants(), 2, 2, false));
  CMemoryCanvas canvas(1, 1);
  // (1, 1) from the bottom-left is the top-right pixel: green.
  dib.Draw(&canvas, 0, 0, 1, 1, 1, 1, 1, 1);
  EXPECT_EQ(canvas.Pixel(0, 0), 0x00FF00u);
  dib.Draw(&canvas, 0, 0, 1, 1, 0, 0, 1, 1);
  EXPECT_EQ(canvas.Pixel(0, 0), 0x0000FFu);
}

TEST(DibDraw, GreyImageDrawsThroughItsTablePalette) {
  const std::vector<BYTE> pixels = {10, 200};
  CDib dib;
  ASSERT_TRUE(BuildDib(dib, pixels, 2, 1, true));
  ASSERT_NE(dib.m_hPalette, nullptr);
  EXPECT_EQ(dib.m_hPalette->Size(), 256u);
  EXPECT_EQ(dib.m_hPalette->Version(), 0x300);
  CMemoryCanvas canvas(2, 1);
  dib.Draw(&canvas, 0, 0, 2, 1);
  EXPECT_EQ(canvas.SelectedPalette(), dib.m_hPalette.get());
  EXPECT_EQ(canvas.RealizeCount(), 1);
  EXPECT_EQ(canvas.Pixel(0, 0), 0x0A0A0Au);
  EXPECT_EQ(canvas.Pixel(1, 0), 0xC8C8C8u);
}

TEST(DibDraw, TrueColourOnTrueColourDisplayHasNoPalette) {
  CDib dib;
  ASSERT_TRUE(BuildDib(dib, Quadrants(), 2, 2, false));
  EXPECT_EQ(dib.m_hPalette, nullptr);
  EXPECT_EQ(dib.m_pQuantizer, nullptr);
  CMemoryCanvas canvas(2, 2);
  EXPECT_EQ(dib.RealizePalette(&canvas, FALSE), 0u);
}

TEST(DibDraw, TrueColourOnPaletteDisplayDrawsTheDitheredCopy) {
  CDib dib;
  dib.SetPaletteDisplay(true);
  ASSERT_TRUE(BuildDib(dib, Quadrants(), 2, 2, false));
  ASSERT_NE(dib.m_pQuantizer, nullptr);
  ASSERT_NE(dib.m_pDisplayDib, nullptr);
  EXPECT_EQ(dib.m_nColorType, DibPaletteColor);
  ASSERT_NE(dib.m_hPalette, nullptr);
  EXPECT_EQ(dib.m_hPalette->Size(), 216u);
  EXPECT_EQ(dib.m_pDisplayDib->GetHeader().biBitCount, 8);

  CMemoryCanvas canvas(2, 2, true);
  dib.Draw(&canvas, 0, 0, 2, 2);
  // Pure primaries and white are cube colours, so they survive the dither.
  EXPECT_EQ(canvas.Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(canvas.Pixel(1, 1), 0xFFFFFFu);
  EXPECT_GT(dib.RealizePalette(&canvas, FALSE), 0u);

  // Editing pixels refreshes the display copy too.
  ASSERT_TRUE(dib.MakePixels());
  std::memset(dib.GetPixels(), 0, 3);
  dib.UpdateBitsFromPixels();
  dib.Draw(&canvas, 0, 0, 2, 2);
  EXPECT_EQ(canvas.Pixel(0, 0), 0x000000u);
}

TEST(DibDraw, GreyImageAfterColourOnPaletteDisplayDropsTheQuantiser) {
  CDib dib;
  dib.SetPaletteDisplay(true);
  ASSERT_TRUE(BuildDib(dib, Quadrants(), 2, 2, false));
  ASSERT_NE(dib.m_pQuantizer, nullptr);
  // Reloading a grey image into the same object must not build a colour
  // display copy from a one-byte-per-pixel buffer.
  ASSERT_TRUE(BuildDib(dib, {1, 2, 3, 4, 5, 6}, 3, 2, true));
  EXPECT_EQ(dib.m_pQuantizer, nullptr);
  EXPECT_EQ(dib.m_nColorType, DibGrey);
}
