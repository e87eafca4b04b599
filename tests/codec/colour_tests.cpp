// The 8-bit output path rounds and clamps like the general one: ties to
// even, out-of-range values to the ends, NaN to 0.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "codec/TavixLib.h"
#include "codec/colour.h"

namespace tavix {
namespace {

struct GreyCase {
  float plane;  // sample before the level shift of 128 is added back
  int expected;
};

TEST(ColourConversion, EightBitRoundsTiesToEvenAndClamps) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const GreyCase cases[] = {
      {0.0f, 128},   {0.5f, 128},   {1.5f, 130},   {-0.5f, 128},  {-1.5f, 126}, {0.49f, 128},
      {126.4f, 254}, {126.5f, 254}, {127.5f, 255}, {300.0f, 255}, {inf, 255},   {-128.4f, 0},
      {-128.6f, 0},  {-1e9f, 0},    {-inf, 0},     {nan, 0},      {-127.5f, 0}, {-126.5f, 2},
  };
  const int count = static_cast<int>(std::size(cases));
  std::vector<Plane<float>> planes(1);
  planes[0].Resize(count, 1);
  for (int i = 0; i < count; ++i) planes[0].data[i] = cases[i].plane;
  PixelFormat format;
  ASSERT_TRUE(FormatForColorType(TXcolorGrey8, count, 1, count, format));
  std::vector<uint8_t> pixels(count, 77);
  PlanesToPixels(planes, format, pixels.data());
  for (int i = 0; i < count; ++i) EXPECT_EQ(pixels[i], cases[i].expected) << "sample " << cases[i].plane;

  // Colour with zero colour difference gives the same values in all three
  // channels, both in the chunks of several pixels and at the row's end.
  const int width = 2 * count;
  std::vector<Plane<float>> colour(3);
  for (Plane<float>& plane : colour) plane.Resize(width, 1);
  for (int i = 0; i < width; ++i) colour[0].data[i] = cases[i % count].plane;
  ASSERT_TRUE(FormatForColorType(TXcolorRGB24, width, 1, width * 3, format));
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3, 77);
  PlanesToPixels(colour, format, rgb.data());
  for (int i = 0; i < width * 3; ++i)
    EXPECT_EQ(rgb[i], cases[(i / 3) % count].expected) << "pixel " << i / 3 << " channel " << i % 3;
}

// Colour round trip through both directions keeps 8-bit pixels within one
// level, and the per-plane conversion matches the all-planes one.
TEST(ColourConversion, EightBitColourRoundTripAndPerPlaneConversionAgree) {
  const int width = 37, height = 5;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>((i * 97 + i / 7) & 0xFF);
  PixelFormat format;
  ASSERT_TRUE(FormatForColorType(TXcolorRGB24, width, height, width * 3, format));
  std::vector<Plane<float>> planes;
  PixelsToPlanes(pixels.data(), format, planes, 2);
  for (int i = 0; i < 3; ++i) {
    Plane<float> one;
    PixelsToPlane(pixels.data(), format, i, one);
    EXPECT_TRUE(std::equal(one.data.begin(), one.data.end(), planes[i].data.begin())) << "plane " << i;
  }
  std::vector<uint8_t> back(pixels.size());
  PlanesToPixels(planes, format, back.data(), 2);
  for (size_t i = 0; i < pixels.size(); ++i) EXPECT_NEAR(back[i], pixels[i], 1) << "sample " << i;
}

}  // namespace
}  // namespace tavix
