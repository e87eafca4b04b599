// The 216-colour cube, its error diffusion, and the display bitmap.
#include <gtest/gtest.h>

#include <vector>

#include "image/display/ColorQuantizer.h"
#include "image/display/DisplayDib.h"

namespace {

std::vector<BYTE> Uniform(int width, int height, BYTE r, BYTE g, BYTE b) {
  std::vector<BYTE> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = r;
    rgb[i + 1] = g;
    rgb[i + 2] = b;
  }
  return rgb;
}

}  // namespace

TEST(ColorQuantizer, PaletteIsTheCubeWithBlueFastest) {
  CColorQuantizer quantizer;
  unsigned count = 0;
  const BYTE* rgb = nullptr;
  quantizer.GetPalette(count, rgb);
  ASSERT_EQ(count, 216u);
  auto entry = [&](int k) { return std::vector<BYTE>{rgb[3 * k], rgb[3 * k + 1], rgb[3 * k + 2]}; };
  EXPECT_EQ(entry(0), (std::vector<BYTE>{0, 0, 0}));
  EXPECT_EQ(entry(5), (std::vector<BYTE>{0, 0, 255}));
  EXPECT_EQ(entry(30), (std::vector<BYTE>{0, 255, 0}));
  EXPECT_EQ(entry(180), (std::vector<BYTE>{255, 0, 0}));
  EXPECT_EQ(entry(215), (std::vector<BYTE>{255, 255, 255}));
  EXPECT_EQ(entry(43), (std::vector<BYTE>{51, 51, 51}));
}

TEST(ColorQuantizer, CellChoiceTruncatesToTheLevelBelow) {
  CColorQuantizer quantizer;
  for (int v = 0; v < 256; ++v) {
    auto rgb = Uniform(1, 1, BYTE(v), 0, 0);
    BYTE index = 0;
    quantizer.MapDither(rgb.data(), &index, 1, 1);
    ASSERT_EQ(index, 36 * (v / 51)) << v;
  }
}

TEST(ColorQuantizer, WhiteMapsExactlyEverywhere) {
  CColorQuantizer quantizer;
  auto rgb = Uniform(5, 4, 255, 255, 255);
  std::vector<BYTE> indices(20);
  quantizer.MapDither(rgb.data(), indices.data(), 5, 4);
  for (BYTE i : indices) EXPECT_EQ(i, 215);
  for (BYTE c : rgb) EXPECT_EQ(c, 255);  // no error spread
}

TEST(ColorQuantizer, ErrorOfFiftyReachesTheRightNeighbourBySevenSixteenths) {
  CColorQuantizer quantizer;
  auto rgb = Uniform(2, 1, 50, 50, 50);
  BYTE indices[2];
  quantizer.MapDither(rgb.data(), indices, 2, 1);
  EXPECT_EQ(indices[0], 0);
  EXPECT_EQ(rgb[3], 50 + ((50 * 7) >> 4));  // 71
  EXPECT_EQ(indices[1], 43);                // (51, 51, 51)
}

TEST(ColorQuantizer, DiffusionStaysInsideTheImageWithTheRightWeights) {
  CColorQuantizer quantizer;
  // 1 x 1: one index, nothing diffused.
  auto one = Uniform(1, 1, 50, 50, 50);
  BYTE index;
  quantizer.MapDither(one.data(), &index, 1, 1);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(one[0], 50);

  // 2 x 2, only the top-right pixel carries error: below gets 5/16, below-left 3/16.
  std::vector<BYTE> rgb = {0, 0, 0, 32, 32, 32, 0, 0, 0, 0, 0, 0};
  BYTE indices[4];
  quantizer.MapDither(rgb.data(), indices, 2, 2);
  EXPECT_EQ(rgb[6], (32 * 3) >> 4);  // 6
  // The bottom-left pixel then passes 7/16 of its own error of 6 on.
  EXPECT_EQ(rgb[9], ((32 * 5) >> 4) + ((6 * 7) >> 4));  // 10 + 2

  // Last row: only the right neighbour; negative errors cannot occur with
  // truncation, so feed a value that clamps at 255 instead.
  auto bright = Uniform(3, 1, 254, 254, 254);
  BYTE row[3];
  quantizer.MapDither(bright.data(), row, 3, 1);
  EXPECT_EQ(row[0], 172);  // level 4 everywhere: 36 * 4 + 6 * 4 + 4
  EXPECT_LE(bright[3], 255);
}

TEST(ColorQuantizer, ComponentsNeverLeaveTheByteRange) {
  CColorQuantizer quantizer;
  std::vector<BYTE> rgb(64 * 64 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<BYTE>((i * 37) % 50 + 205);
  std::vector<BYTE> indices(64 * 64);
  quantizer.MapDither(rgb.data(), indices.data(), 64, 64);
  for (BYTE i : indices) ASSERT_LT(i, 216);
}

TEST(DisplayDib, BuildsPaddedBottomUpBitsIn24And8Bits) {
  for (int width = 1; width <= 5; ++width) {
    SCOPED_TRACE(width);
    auto rgb = std::make_unique<BYTE[]>(static_cast<size_t>(width) * 2 * 3);
    for (int i = 0; i < width * 6; ++i) rgb[i] = static_cast<BYTE>(i < width * 3 ? 10 + i : 200);
    CDisplayDib display;
    display.SetImage(std::move(rgb), width, 2);
    EXPECT_EQ(display.GetHeader().biXPelsPerMeter, 2834);
    ASSERT_TRUE(display.BuildBits());
    const size_t stride = 3 * width + (width & 3);
    EXPECT_EQ(stride % 4, 0u);
    EXPECT_EQ(display.GetHeader().biSizeImage, stride * 2);
    EXPECT_EQ(display.GetHeader().biBitCount, 24);
    // Top source row (10, 11, 12, ...) lands in the second stored row as B, G, R.
    EXPECT_EQ(display.GetBits()[stride + 0], 12);
    EXPECT_EQ(display.GetBits()[stride + 2], 10);
  }

  CColorQuantizer quantizer;
  CDisplayDib dithered;
  EXPECT_FALSE(dithered.Dither(&quantizer));  // no image yet
  auto rgb = std::make_unique<BYTE[]>(3 * 3);
  std::fill(rgb.get(), rgb.get() + 9, BYTE{255});
  dithered.SetImage(std::move(rgb), 3, 1);
  EXPECT_FALSE(dithered.Dither(nullptr));
  ASSERT_TRUE(dithered.Dither(&quantizer));
  EXPECT_FALSE(dithered.Dither(&quantizer));  // already indices
  EXPECT_EQ(dithered.GetHeader().biClrUsed, 216u);
  ASSERT_TRUE(dithered.BuildBits());
  EXPECT_EQ(dithered.GetHeader().biBitCount, 8);
  EXPECT_EQ(dithered.GetHeader().biSizeImage, 4u);
  EXPECT_EQ(dithered.GetBits()[0], 215);
  EXPECT_EQ(dithered.GetBits()[3], 0);  // padding
  const RGBQUAD& red = dithered.GetInfo()->bmiColors[180];
  EXPECT_EQ(red.rgbRed, 255);
  EXPECT_EQ(red.rgbBlue, 0);
}

namespace {

// The mapping written out pixel by pixel, clamping both ways, as a model.
void ReferenceDither(std::vector<BYTE>& rgb, std::vector<BYTE>& indices, int width, int height) {
  auto add = [](BYTE& c, int e, int w) {
    const int v = c + ((e * w) >> 4);
    c = static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v);
  };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      BYTE* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      const int level[3] = {p[0] / 51, p[1] / 51, p[2] / 51};
      indices[static_cast<size_t>(y) * width + x] = static_cast<BYTE>(36 * level[0] + 6 * level[1] + level[2]);
      int e[3];
      for (int c = 0; c < 3; ++c) e[c] = p[c] - 51 * level[c];
      auto spread = [&](int dx, int dy, int w) {
        BYTE* q = &rgb[(static_cast<size_t>(y + dy) * width + x + dx) * 3];
        for (int c = 0; c < 3; ++c) add(q[c], e[c], w);
      };
      if (x < width - 1) spread(1, 0, 7);
      if (y < height - 1) {
        if (x < width - 1) spread(1, 1, 1);
        spread(0, 1, 5);
        if (x > 0) spread(-1, 1, 3);
      }
    }
  }
}

}  // namespace

TEST(ColorQuantizer, MatchesThePixelByPixelModelOnRandomImages) {
  CColorQuantizer quantizer;
  for (auto [width, height] : {std::pair{1, 1}, {1, 9}, {9, 1}, {2, 2}, {17, 13}, {64, 3}}) {
    SCOPED_TRACE(::testing::Message() << width << "x" << height);
    std::vector<BYTE> rgb(static_cast<size_t>(width) * height * 3);
    unsigned state = static_cast<unsigned>(width * 31 + height);
    for (auto& c : rgb) {
      state = state * 1103515245u + 12345u;
      c = static_cast<BYTE>(state >> 23);
    }
    auto expectedRgb = rgb;
    std::vector<BYTE> expected(static_cast<size_t>(width) * height), actual(expected.size());
    ReferenceDither(expectedRgb, expected, width, height);
    quantizer.MapDither(rgb.data(), actual.data(), width, height);
    EXPECT_EQ(actual, expected);
  }
}
