#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "codec/transform.h"
#include "codec/transform_internal.h"

namespace tavix {
namespace {

const Wavelet kFloatWavelets[] = {Wavelet::Cdf97, Wavelet::Biorthogonal1810, Wavelet::Mixed,
                                  Wavelet::Cdf97Lifting};
const Wavelet kIntegerWavelets[] = {Wavelet::SPlusP, Wavelet::TwoSix, Wavelet::LeGall53};

// Sizes that hit every border case: single samples, single rows and
// columns, odd, prime, 2^k + 1, uneven aspect ratios, and widths beyond
// one column chunk of the kernels that copy their lines.
const std::pair<int, int> kSizes[] = {{1, 1},   {1, 2},   {2, 1},   {2, 2},  {1, 9},
                                      {9, 1},   {3, 3},   {3, 5},   {5, 2},  {7, 13},
                                      {16, 16}, {17, 17}, {31, 2},  {2, 31}, {33, 65},
                                      {61, 97}, {1, 130}, {130, 1}, {64, 37},
                                      {300, 5}, {517, 3}, {3, 300}, {290, 33}};

template <typename Sample>
struct Plane {
  int width, height;
  ptrdiff_t stride;
  std::vector<Sample> samples;
  Plane(int w, int h, int padding = 0)
      : width(w), height(h), stride(w + padding),
        samples(static_cast<size_t>(stride) * h, Sample{0}) {}
  PlaneView<Sample> view() { return {samples.data(), width, height, stride}; }
  Sample& at(int x, int y) { return samples[static_cast<size_t>(y * stride + x)]; }
};

template <typename Sample>
Plane<Sample> RandomPlane(int w, int h, double low, double high, unsigned seed, int padding = 0) {
  Plane<Sample> plane(w, h, padding);
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> value(low, high);
  for (auto& s : plane.samples) s = static_cast<Sample>(std::floor(value(random)));
  return plane;
}

int MaxLevels(int w, int h) { return LevelsFor(w, h, 1); }

std::string Describe(Wavelet wavelet, int w, int h) {
  return "wavelet " + std::to_string(static_cast<int>(wavelet)) + " size " + std::to_string(w) +
         "x" + std::to_string(h);
}

TEST(TransformReconstruction, IrreversibleRoundTripsOnEverySize) {
  for (Wavelet wavelet : kFloatWavelets) {
    for (auto [w, h] : kSizes) {
      SCOPED_TRACE(Describe(wavelet, w, h));
      for (int levels : {1, 3, MaxLevels(w, h)}) {
        Plane<float> plane = RandomPlane<float>(w, h, 0, 256, 7u * w + h);
        const auto original = plane.samples;
        ASSERT_TRUE(ForwardTransform(plane.view(), levels, wavelet));
        ASSERT_TRUE(InverseTransform(plane.view(), levels, wavelet));
        for (size_t i = 0; i < original.size(); ++i)
          ASSERT_NEAR(plane.samples[i], original[i], 2e-3) << "sample " << i << " levels " << levels;
      }
    }
  }
}

TEST(TransformReconstruction, ReversibleIsExactForFullRangeInput) {
  for (Wavelet wavelet : kIntegerWavelets) {
    for (auto [w, h] : kSizes) {
      SCOPED_TRACE(Describe(wavelet, w, h));
      // Random +-2^20, 16-bit samples, and the harshest pattern: a
      // checkerboard of the extremes, which maximises every high band.
      Plane<int32_t> random = RandomPlane<int32_t>(w, h, -(1 << 20), 1 << 20, 3u * w + h);
      Plane<int32_t> sixteenBit = RandomPlane<int32_t>(w, h, 0, 65536, 5u * w + h);
      Plane<int32_t> checker(w, h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) checker.at(x, y) = ((x + y) % 2) ? (1 << 20) : -(1 << 20);
      for (Plane<int32_t>* plane : {&random, &sixteenBit, &checker}) {
        const auto original = plane->samples;
        const int levels = MaxLevels(w, h);
        ASSERT_TRUE(ForwardTransform(plane->view(), levels, wavelet));
        ASSERT_TRUE(InverseTransform(plane->view(), levels, wavelet));
        ASSERT_EQ(plane->samples, original);
      }
    }
  }
}

TEST(TransformReconstruction, LongestSidesRoundTrip) {
  for (auto [w, h] : {std::pair{65535, 3}, std::pair{2, 65535}}) {
    SCOPED_TRACE(Describe(Wavelet::LeGall53, w, h));
    Plane<int32_t> integers = RandomPlane<int32_t>(w, h, -32768, 32768, 4);
    Plane<float> floats = RandomPlane<float>(w, h, 0, 256, 4);
    const auto integerCopy = integers.samples;
    const auto floatCopy = floats.samples;
    ASSERT_TRUE(ForwardTransform(integers.view(), kMaxTransformLevels, Wavelet::LeGall53));
    ASSERT_TRUE(InverseTransform(integers.view(), kMaxTransformLevels, Wavelet::LeGall53));
    EXPECT_EQ(integers.samples, integerCopy);
    ASSERT_TRUE(ForwardTransform(floats.view(), kMaxTransformLevels, Wavelet::Mixed));
    ASSERT_TRUE(InverseTransform(floats.view(), kMaxTransformLevels, Wavelet::Mixed));
    for (size_t i = 0; i < floatCopy.size(); ++i) ASSERT_NEAR(floats.samples[i], floatCopy[i], 2e-3);
  }
}

TEST(TransformReconstruction, LeavesSamplesOutsideTheViewAlone) {
  constexpr int kPadding = 3;
  Plane<float> floats = RandomPlane<float>(21, 11, 0, 256, 1, kPadding);
  Plane<int32_t> integers = RandomPlane<int32_t>(21, 11, 0, 256, 2, kPadding);
  for (int y = 0; y < 11; ++y)
    for (int p = 0; p < kPadding; ++p) {
      floats.at(21 + p, y) = -1.0f;
      integers.at(21 + p, y) = -1;
    }
  const auto floatCopy = floats.samples;
  const auto integerCopy = integers.samples;
  ASSERT_TRUE(ForwardTransform(floats.view(), 3, Wavelet::Cdf97Lifting));
  ASSERT_TRUE(ForwardTransform(integers.view(), 3, Wavelet::LeGall53));
  for (int y = 0; y < 11; ++y)
    for (int p = 0; p < kPadding; ++p) {
      EXPECT_EQ(floats.at(21 + p, y), -1.0f);
      EXPECT_EQ(integers.at(21 + p, y), -1);
    }
  ASSERT_TRUE(InverseTransform(floats.view(), 3, Wavelet::Cdf97Lifting));
  ASSERT_TRUE(InverseTransform(integers.view(), 3, Wavelet::LeGall53));
  for (size_t i = 0; i < floatCopy.size(); ++i) ASSERT_NEAR(floats.samples[i], floatCopy[i], 1e-3);
  EXPECT_EQ(integers.samples, integerCopy);
}

TEST(TransformReconstruction, RefusesMismatchedWaveletsAndBadViews) {
  Plane<float> floats = RandomPlane<float>(8, 8, 0, 256, 1);
  Plane<int32_t> integers = RandomPlane<int32_t>(8, 8, 0, 256, 1);
  const auto floatCopy = floats.samples;
  const auto integerCopy = integers.samples;
  EXPECT_FALSE(ForwardTransform(floats.view(), 2, Wavelet::LeGall53));
  EXPECT_FALSE(InverseTransform(floats.view(), 2, Wavelet::SPlusP));
  EXPECT_FALSE(ForwardTransform(integers.view(), 2, Wavelet::Cdf97));
  EXPECT_FALSE(ForwardTransform(floats.view(), 2, static_cast<Wavelet>(7)));
  EXPECT_FALSE(ForwardTransform(integers.view(), 2, static_cast<Wavelet>(-1)));
  EXPECT_FALSE(ForwardTransform(PlaneView<float>{nullptr, 8, 8, 8}, 2, Wavelet::Cdf97));
  EXPECT_FALSE(ForwardTransform(PlaneView<float>{floats.samples.data(), 8, 8, 4}, 2,
                                Wavelet::Cdf97));
  EXPECT_FALSE(ForwardTransform(PlaneView<int32_t>{integers.samples.data(), 0, 8, 8}, 2,
                                Wavelet::LeGall53));
  EXPECT_EQ(floats.samples, floatCopy);
  EXPECT_EQ(integers.samples, integerCopy);
}

// The 9/7 filter bank is the reference for its lifting factorisation, which
// computes wavelet types 0 and 4: both directions must agree on every length.
TEST(TransformFilters, ConvolutionAndLifting97GiveTheSameCoefficients) {
  using transform_detail::FilterBankKind;
  using transform_detail::LineSet;
  for (auto [w, h] : kSizes) {
    if (h < 2) continue;
    SCOPED_TRACE(Describe(Wavelet::Cdf97, w, h));
    Plane<float> convolution = RandomPlane<float>(w, h, 0, 256, 11u * w + h);
    Plane<float> lifting = convolution;
    std::vector<float> scratch;
    const LineSet<float> convolutionLines{convolution.samples.data(), h, w, w};
    const LineSet<float> liftingLines{lifting.samples.data(), h, w, w};
    transform_detail::ConvolutionForward(convolutionLines, FilterBankKind::Cdf97, scratch);
    transform_detail::Lifting97Forward(liftingLines, scratch);
    for (size_t i = 0; i < convolution.samples.size(); ++i)
      ASSERT_NEAR(convolution.samples[i], lifting.samples[i], 1e-3 + 1e-5 * std::fabs(convolution.samples[i]))
          << "forward coefficient " << i;
    transform_detail::ConvolutionInverse(convolutionLines, FilterBankKind::Cdf97, scratch);
    transform_detail::Lifting97Inverse(liftingLines, scratch);
    for (size_t i = 0; i < convolution.samples.size(); ++i)
      ASSERT_NEAR(convolution.samples[i], lifting.samples[i], 1e-3 + 1e-5 * std::fabs(convolution.samples[i]))
          << "inverse sample " << i;
  }
}

// Worked examples of the integer filters: their rounding is part of the
// stream format, so it must not drift.
TEST(TransformFilters, ReversibleFiltersMatchWorkedExamples) {
  struct Example {
    Wavelet wavelet;
    std::vector<int32_t> input, expected;
  };
  const Example examples[] = {
      // d = 9 - floor(0/2); s = 0 + floor((9 + 9 + 2)/4), mirrored ends.
      {Wavelet::LeGall53, {0, 9, 0, 9, 0}, {5, 5, 5, 9, 9}},
      // pairs give l = 5 1 3 (9 unpaired), h = -3 0 -1; predictions 1, 1, 0
      // (the middle one from (2*4 + 3*-2 - 2*-1)/8 = 0.5, rounded up).
      {Wavelet::SPlusP, {4, 7, 1, 1, 3, 4, 9}, {5, 1, 3, 9, -4, -1, -1}},
      // pairs give s = 5 3 4, d1 = 3 0 -4; refinements floor(4/4), floor(3/4),
      // floor(1/4).
      {Wavelet::TwoSix, {4, 7, 3, 3, 6, 2}, {5, 3, 4, 4, 0, -4}},
  };
  for (const Example& example : examples) {
    SCOPED_TRACE(static_cast<int>(example.wavelet));
    Plane<int32_t> row(static_cast<int>(example.input.size()), 1);
    row.samples = example.input;
    ASSERT_TRUE(ForwardTransform(row.view(), 1, example.wavelet));
    EXPECT_EQ(row.samples, example.expected);
    // The same signal as a column gives the same coefficients.
    Plane<int32_t> column(1, static_cast<int>(example.input.size()));
    column.samples = example.input;
    ASSERT_TRUE(ForwardTransform(column.view(), 1, example.wavelet));
    EXPECT_EQ(column.samples, example.expected);
  }
}

// Mixed is 9/7 on the first level and 18/10 on the LL band after it.
TEST(TransformFilters, MixedIs97ThenBiorthogonal1810) {
  constexpr int kWidth = 45, kHeight = 38;
  Plane<float> mixed = RandomPlane<float>(kWidth, kHeight, 0, 256, 9);
  Plane<float> composed = mixed;
  ASSERT_TRUE(ForwardTransform(mixed.view(), 3, Wavelet::Mixed));
  ASSERT_TRUE(ForwardTransform(composed.view(), 1, Wavelet::Cdf97));
  PlaneView<float> lowBand{composed.samples.data(), (kWidth + 1) / 2, (kHeight + 1) / 2,
                           composed.stride};
  ASSERT_TRUE(ForwardTransform(lowBand, 2, Wavelet::Biorthogonal1810));
  for (size_t i = 0; i < mixed.samples.size(); ++i)
    ASSERT_NEAR(mixed.samples[i], composed.samples[i], 1e-3) << "coefficient " << i;
}

// Filters of a bank: analysis and synthesis must be biorthogonal,
// <a(. - 2i), s(. - 2j)> = delta(i, j) within each band and zero across.
double ShiftedInnerProduct(const transform_detail::FilterTaps& a, int aShift,
                           const transform_detail::FilterTaps& s, int sShift) {
  double sum = 0;
  for (size_t j = 0; j < a.taps.size(); ++j) {
    const int k = a.first + static_cast<int>(j) + aShift;  // sample index
    const int sj = k - sShift - s.first;
    if (sj >= 0 && sj < static_cast<int>(s.taps.size())) sum += a.taps[j] * s.taps[sj];
  }
  return sum;
}

TEST(TransformFilters, FilterBanksAreBiorthogonal) {
  using transform_detail::FilterBankKind;
  for (FilterBankKind kind : {FilterBankKind::Cdf97, FilterBankKind::Biorthogonal1810}) {
    SCOPED_TRACE(kind == FilterBankKind::Cdf97 ? "9/7" : "18/10");
    const transform_detail::FilterBank bank = transform_detail::MakeFilterBank(kind);
    const int c = bank.highOffset;
    for (int shift = -6; shift <= 6; ++shift) {
      const double expected = shift == 0 ? 1.0 : 0.0;
      EXPECT_NEAR(ShiftedInnerProduct(bank.analysisLow, 0, bank.synthesisLow, 2 * shift),
                  expected, 1e-8);
      EXPECT_NEAR(ShiftedInnerProduct(bank.analysisHigh, c, bank.synthesisHigh, c + 2 * shift),
                  expected, 1e-8);
      EXPECT_NEAR(ShiftedInnerProduct(bank.analysisLow, 0, bank.synthesisHigh, c + 2 * shift),
                  0.0, 1e-8);
      EXPECT_NEAR(ShiftedInnerProduct(bank.analysisHigh, c, bank.synthesisLow, 2 * shift), 0.0,
                  1e-8);
    }
  }
}

// LL band size after `levels` levels.
int BandSize(int n, int levels) {
  for (int l = 0; l < levels; ++l) n = (n + 1) / 2;
  return n;
}

template <typename Sample>
void ExpectConstantGoesToLowBand(Wavelet wavelet, int w, int h, double tolerance) {
  SCOPED_TRACE(Describe(wavelet, w, h));
  Plane<Sample> plane(w, h);
  for (auto& s : plane.samples) s = Sample{100};
  const int levels = MaxLevels(w, h) > 4 ? 4 : MaxLevels(w, h);
  ASSERT_TRUE(ForwardTransform(plane.view(), levels, wavelet));
  const int lw = BandSize(w, levels), lh = BandSize(h, levels);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double expected = (x < lw && y < lh) ? 100.0 : 0.0;
      ASSERT_NEAR(static_cast<double>(plane.at(x, y)), expected, tolerance) << x << "," << y;
    }
}

TEST(TransformBands, ConstantPlaneHasEnergyOnlyInLowBand) {
  for (auto [w, h] : {std::pair{16, 16}, std::pair{17, 9}, std::pair{40, 1}, std::pair{1, 23}}) {
    for (Wavelet wavelet : kFloatWavelets) ExpectConstantGoesToLowBand<float>(wavelet, w, h, 1e-3);
    for (Wavelet wavelet : kIntegerWavelets) ExpectConstantGoesToLowBand<int32_t>(wavelet, w, h, 0);
  }
}

// A linear ramp is predicted exactly by every filter away from the borders,
// so interior high-band coefficients are (nearly) zero.
template <typename Sample>
void ExpectRampHighBandsSmall(Wavelet wavelet, double tolerance) {
  SCOPED_TRACE(Describe(wavelet, 64, 48));
  constexpr int kMargin = 5;
  Plane<Sample> plane(64, 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) plane.at(x, y) = static_cast<Sample>(3 * x + 2 * y + 10);
  ASSERT_TRUE(ForwardTransform(plane.view(), 1, wavelet));
  double largestLow = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const bool highX = x >= 32, highY = y >= 24;
      const double v = std::fabs(static_cast<double>(plane.at(x, y)));
      if (!highX && !highY) {
        largestLow = std::max(largestLow, v);
        continue;
      }
      const int bx = x % 32, by = y % 24;
      if (bx < kMargin || bx >= 32 - kMargin || by < kMargin || by >= 24 - kMargin) continue;
      ASSERT_LE(v, tolerance) << x << "," << y;
    }
  EXPECT_GT(largestLow, 200.0);
}

TEST(TransformBands, RampHasSmallHighBands) {
  for (Wavelet wavelet : kFloatWavelets) ExpectRampHighBandsSmall<float>(wavelet, 0.05);
  for (Wavelet wavelet : kIntegerWavelets) ExpectRampHighBandsSmall<int32_t>(wavelet, 1);
}

TEST(TransformGains, GainsArePositiveAndGrowBySqrtTwoPerLevel) {
  for (int type = 0; type < kWaveletCount; ++type) {
    const Wavelet wavelet = static_cast<Wavelet>(type);
    SCOPED_TRACE(type);
    for (int level : {1, 2, 5, 9, kMaxTransformLevels}) {
      EXPECT_GT(SynthesisGain(wavelet, level, false), 0.0);
      EXPECT_GT(SynthesisGain(wavelet, level, true), 0.0);
    }
    // Deep levels are extrapolated on this premise; check it where exact.
    for (bool high : {false, true})
      EXPECT_NEAR(SynthesisGain(wavelet, 8, high) / SynthesisGain(wavelet, 7, high),
                  std::sqrt(2.0), 0.002);
  }
  // Deep levels against norms computed exactly with long signals.
  EXPECT_NEAR(SynthesisGain(Wavelet::Cdf97Lifting, 12, false), 65.914, 0.07);
  EXPECT_NEAR(SynthesisGain(Wavelet::LeGall53, 15, true), 78.384, 0.08);
  // Finest 9/7 high-pass: the norm of the synthesis high-pass filter,
  // which is the analysis low-pass modulated, about 0.72.
  const double finest = SynthesisGain(Wavelet::Cdf97, 1, true);
  EXPECT_NEAR(finest, 0.7213, 0.002);
  EXPECT_NEAR(SynthesisGain(Wavelet::Cdf97, 1, false), 1.402, 0.003);
  EXPECT_NEAR(SynthesisGain(Wavelet::Cdf97Lifting, 3, true), SynthesisGain(Wavelet::Cdf97, 3, true),
              1e-4);
  EXPECT_NEAR(SynthesisGain(Wavelet::Mixed, 1, true), finest, 1e-4);
  // 5/3: synthesis low (1/2, 1, 1/2), high (-1, -2, 6, -2, -1) / 8.
  EXPECT_NEAR(SynthesisGain(Wavelet::LeGall53, 1, false), std::sqrt(1.5), 1e-3);
  EXPECT_NEAR(SynthesisGain(Wavelet::LeGall53, 1, true), std::sqrt(46.0) / 8, 1e-3);
}

// The product of the two 1-D gains predicts the image error that an error
// in one coefficient of a 2-D band causes.
TEST(TransformGains, PredictImageErrorOfABandCoefficient) {
  for (Wavelet wavelet : {Wavelet::Cdf97Lifting, Wavelet::Biorthogonal1810, Wavelet::Mixed}) {
    SCOPED_TRACE(static_cast<int>(wavelet));
    constexpr int kSize = 256, kLevels = 3;
    Plane<float> plane(kSize, kSize);
    // Level 2, horizontally high, vertically low: band x in [64, 128), y in [0, 64).
    plane.at(96, 32) = 1.0f;
    ASSERT_TRUE(InverseTransform(plane.view(), kLevels, wavelet));
    double energy = 0;
    for (float v : plane.samples) energy += double{v} * v;
    const double predicted = SynthesisGain(wavelet, 2, true) * SynthesisGain(wavelet, 2, false);
    EXPECT_NEAR(std::sqrt(energy), predicted, 0.01 * predicted);
  }
}

TEST(TransformLevels, LevelsForEdgeCases) {
  EXPECT_EQ(LevelsFor(0, 0), 0);
  EXPECT_EQ(LevelsFor(-5, 100), 0);
  EXPECT_EQ(LevelsFor(1, 1), 0);
  EXPECT_EQ(LevelsFor(14, 1000), 0);
  EXPECT_EQ(LevelsFor(15, 1000), 1);
  EXPECT_EQ(LevelsFor(16, 16), 1);
  EXPECT_EQ(LevelsFor(17, 17), 1);  // 9 then 5
  EXPECT_EQ(LevelsFor(512, 512), 6);
  EXPECT_EQ(LevelsFor(65535, 65535), 13);
  EXPECT_EQ(LevelsFor(65535, 16), 1);
  EXPECT_EQ(LevelsFor(3, 3, 2), 1);
  EXPECT_EQ(LevelsFor(1, 1, 1), kMaxTransformLevels);
  EXPECT_EQ(LevelsFor(65535, 65535, 0), kMaxTransformLevels);
}

}  // namespace
}  // namespace tavix
