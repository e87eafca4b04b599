#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "codec/TavixLib.h"
#include "codec/bitplane.h"
#include "codec/quantize.h"

namespace tavix {
namespace {

constexpr CodingLayer kLayers[] = {CodingLayer::Standard, CodingLayer::Fast, CodingLayer::FastResolution};

CoefficientPlane Shape(int width, int height, int levels) {
  CoefficientPlane plane;
  plane.width = width;
  plane.height = height;
  plane.levels = levels;
  plane.data.assign(static_cast<size_t>(width) * height, 0);
  return plane;
}

// Coefficients shaped like a quantised wavelet plane: large in the LL band,
// Laplacian detail that shrinks towards the finer levels, some structure.
CoefficientPlane WaveletLike(int width, int height, int levels, unsigned seed, double scale = 1.0) {
  CoefficientPlane plane = Shape(width, height, levels);
  std::mt19937 rng(seed);
  std::exponential_distribution<double> laplace(1.0);
  std::bernoulli_distribution negative(0.5);
  int llw = width, llh = height;
  for (int l = 0; l < levels; ++l) {
    llw = (llw + 1) / 2;
    llh = (llh + 1) / 2;
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double value;
      if (x < llw && y < llh) {
        value = 900 + 400 * std::sin(x * 0.3) * std::cos(y * 0.2) + 20 * laplace(rng);
      } else {
        // Finer levels (further out) get smaller coefficients.
        int level = 1;
        int w = width, h = height;
        while (level < levels && x < (w + 1) / 2 && y < (h + 1) / 2) {
          w = (w + 1) / 2;
          h = (h + 1) / 2;
          ++level;
        }
        const double size = 40.0 * std::pow(1.8, level) / std::pow(1.8, levels) * 4;
        value = laplace(rng) * size * (1 + 3 * (std::sin(x * 0.05 + y * 0.07) > 0.8));
        if (negative(rng)) value = -value;
      }
      plane.data[static_cast<size_t>(y) * width + x] = static_cast<int32_t>(std::lround(value * scale));
    }
  }
  return plane;
}

CoefficientPlane RandomLarge(int width, int height, int levels, unsigned seed) {
  CoefficientPlane plane = Shape(width, height, levels);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> bits(0, 24);
  for (auto& v : plane.data) {
    const int32_t magnitude = static_cast<int32_t>(rng() & ((1u << bits(rng)) - 1));
    v = (rng() & 1) ? -magnitude : magnitude;
  }
  return plane;
}

std::vector<CoefficientPlane> Shapes(const std::vector<CoefficientPlane>& planes) {
  std::vector<CoefficientPlane> shapes;
  for (const auto& p : planes) shapes.push_back(Shape(p.width, p.height, p.levels));
  return shapes;
}

class VectorSource : public ByteSource {
public:
  VectorSource(const std::vector<uint8_t>& bytes, size_t limit) : m_bytes(bytes), m_limit(std::min(limit, bytes.size())) {}
  int NextByte(uint8_t& byte) override {
    if (m_pos >= m_limit) return 0;
    byte = m_bytes[m_pos++];
    return 1;
  }

private:
  const std::vector<uint8_t>& m_bytes;
  size_t m_limit;
  size_t m_pos = 0;
};

struct Decoded {
  int result;
  std::vector<CoefficientPlane> planes;
  int passes;
};

Decoded Decode(const std::vector<CoefficientPlane>& shapes, CodingLayer layer, const std::vector<uint8_t>& bytes,
               size_t limit = SIZE_MAX) {
  PlaneDecoder decoder(Shapes(shapes), layer);
  VectorSource source(bytes, limit);
  Decoded decoded;
  decoded.result = decoder.Run(source, [](size_t) { return PassAction::Continue; });
  decoder.Reconstruct(decoded.planes);
  decoded.passes = decoder.PassesDone();
  return decoded;
}

double SquaredError(const std::vector<CoefficientPlane>& a, const std::vector<CoefficientPlane>& b) {
  double sum = 0;
  for (size_t c = 0; c < a.size(); ++c)
    for (size_t i = 0; i < a[c].data.size(); ++i) {
      const double d = static_cast<double>(a[c].data[i]) - b[c].data[i];
      sum += d * d;
    }
  return sum;
}

std::vector<uint8_t> Encode(const std::vector<CoefficientPlane>& planes, CodingLayer layer, size_t budget = SIZE_MAX,
                            std::vector<double> share = {}) {
  EncodeSettings settings;
  settings.layer = layer;
  settings.byteBudget = budget;
  settings.planeShare = std::move(share);
  std::vector<uint8_t> out;
  EXPECT_EQ(EncodePlanes(planes, settings, out), TX_OK);
  return out;
}

std::vector<std::vector<CoefficientPlane>> LosslessCases() {
  std::vector<std::vector<CoefficientPlane>> cases;
  cases.push_back({RandomLarge(1, 1, 0, 1)});
  cases.push_back({RandomLarge(1, 7, 2, 2)});
  cases.push_back({RandomLarge(13, 5, 2, 3)});
  cases.push_back({WaveletLike(64, 64, 4, 4)});
  cases.push_back({WaveletLike(37, 29, 3, 5), RandomLarge(19, 15, 2, 6), WaveletLike(19, 15, 2, 7, 0.1)});
  CoefficientPlane extremes = Shape(9, 6, 1);
  extremes.data[0] = INT32_MIN;
  extremes.data[1] = INT32_MAX;
  extremes.data[7] = -1;
  extremes.data[53] = 1 << 24;
  cases.push_back({extremes});
  cases.push_back({Shape(8, 8, 3)});  // all zero
  return cases;
}

TEST(EmbeddedCoder, WholeStreamReturnsExactlyTheInputInEveryLayer) {
  for (CodingLayer layer : kLayers) {
    for (const auto& planes : LosslessCases()) {
      const auto bytes = Encode(planes, layer);
      const Decoded decoded = Decode(planes, layer, bytes);
      ASSERT_EQ(decoded.result, TX_OK);
      for (size_t c = 0; c < planes.size(); ++c)
        EXPECT_EQ(decoded.planes[c].data, planes[c].data)
            << "layer " << static_cast<int>(layer) << " plane " << c << " " << planes[c].width << "x" << planes[c].height;
    }
  }
}

TEST(EmbeddedCoder, BudgetIsNeverExceededAndFilledWhenThereIsEnoughToCode) {
  const std::vector<CoefficientPlane> planes = {WaveletLike(96, 80, 4, 9), WaveletLike(48, 40, 3, 10, 0.3)};
  for (CodingLayer layer : kLayers) {
    const size_t full = Encode(planes, layer).size();
    for (size_t budget : {size_t{0}, size_t{1}, size_t{3}, size_t{6}, size_t{9}, size_t{50}, size_t{777}, full / 2,
                          full - 1, full, full + 100}) {
      const auto bytes = Encode(planes, layer, budget, {0.8, 0.2});
      EXPECT_LE(bytes.size(), budget);
      if (budget < full) {
        EXPECT_EQ(bytes.size(), budget) << "layer " << static_cast<int>(layer) << " budget " << budget;
      }
      EXPECT_EQ(Decode(planes, layer, bytes).result, TX_OK);
    }
  }
}

TEST(EmbeddedCoder, LongerPrefixesNeverReconstructWorse) {
  const std::vector<CoefficientPlane> planes = {WaveletLike(128, 96, 4, 12), WaveletLike(64, 48, 3, 13, 0.4)};
  for (CodingLayer layer : kLayers) {
    const auto bytes = Encode(planes, layer);
    double previous = INFINITY;
    int previousPasses = -1;
    for (size_t length = 0; length <= bytes.size(); length += 1 + length / 4) {
      const Decoded decoded = Decode(planes, layer, bytes, length);
      ASSERT_EQ(decoded.result, TX_OK);
      const double error = SquaredError(decoded.planes, planes);
      EXPECT_LE(error, previous * 1.0001 + 1e-9) << "layer " << static_cast<int>(layer) << " prefix " << length;
      EXPECT_GE(decoded.passes, previousPasses);
      previous = error;
      previousPasses = decoded.passes;
    }
    EXPECT_EQ(SquaredError(Decode(planes, layer, bytes).planes, planes), 0.0);
  }
}

TEST(EmbeddedCoder, BudgetedStreamDecodesLikeTheCutUnlimitedStream) {
  const std::vector<CoefficientPlane> planes = {WaveletLike(64, 64, 3, 14)};
  for (CodingLayer layer : {CodingLayer::Standard, CodingLayer::Fast}) {
    const auto full = Encode(planes, layer);
    for (size_t budget : {size_t{20}, full.size() / 3, full.size() - 9}) {
      const auto budgeted = Encode(planes, layer, budget);
      ASSERT_EQ(budgeted.size(), budget);
      const Decoded a = Decode(planes, layer, budgeted);
      const Decoded b = Decode(planes, layer, full, budget);
      EXPECT_EQ(a.planes[0].data, b.planes[0].data) << static_cast<int>(layer) << " " << budget;
      EXPECT_NE(a.planes[0].data, planes[0].data);
    }
  }
}

TEST(EmbeddedCoder, ResolutionLayerCompletesTheLowBandsFirst) {
  const std::vector<CoefficientPlane> planes = {WaveletLike(64, 48, 3, 15), WaveletLike(32, 24, 2, 16)};
  const auto bytes = Encode(planes, CodingLayer::FastResolution);
  // Stop once the LL passes of both planes are through: one per bit plane.
  int llPasses = 0;
  for (const auto& p : planes) {
    uint32_t all = 0;
    for (int32_t v : p.data) all |= static_cast<uint32_t>(std::abs(v));
    llPasses += std::bit_width(all);
  }
  PlaneDecoder decoder(Shapes(planes), CodingLayer::FastResolution);
  VectorSource source(bytes, SIZE_MAX);
  size_t consumedAtLL = 0;
  ASSERT_EQ(decoder.Run(source,
                        [&](size_t consumed) {
                          consumedAtLL = consumed;
                          return decoder.PassesDone() == llPasses ? PassAction::Stop : PassAction::Continue;
                        }),
            TX_OK);
  EXPECT_LT(consumedAtLL, bytes.size() / 3);
  for (size_t limit : {consumedAtLL, SIZE_MAX}) {
    const Decoded decoded = Decode(planes, CodingLayer::FastResolution, bytes, limit);
    for (size_t c = 0; c < planes.size(); ++c) {
      const auto& p = planes[c];
      const int llw = (p.width + (1 << p.levels) - 1) >> p.levels, llh = (p.height + (1 << p.levels) - 1) >> p.levels;
      for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
          const int32_t got = decoded.planes[c].data[y * p.width + x];
          const bool inLL = x < llw && y < llh;
          if (inLL || limit == SIZE_MAX)
            ASSERT_EQ(got, p.data[y * p.width + x]) << c << " " << x << "," << y;
          else
            ASSERT_EQ(got, 0) << c << " " << x << "," << y;
        }
    }
  }
}

TEST(EmbeddedCoder, ResolutionLayerUnderABudgetKeepsTheFinestLevel) {
  // With a budget the resolution layer codes only the upper bit planes in
  // resolution order, so a small budget does not starve the finest level.
  const std::vector<CoefficientPlane> planes = {WaveletLike(128, 128, 4, 24)};
  const size_t full = Encode(planes, CodingLayer::Fast).size();
  for (size_t budget : {full / 20, full / 8, full / 3}) {
    const auto fast = Decode(planes, CodingLayer::Fast, Encode(planes, CodingLayer::Fast, budget)).planes;
    const auto resolution =
        Decode(planes, CodingLayer::FastResolution, Encode(planes, CodingLayer::FastResolution, budget)).planes;
    EXPECT_LT(SquaredError(resolution, planes), 1.2 * SquaredError(fast, planes)) << budget;
  }
}

TEST(EmbeddedCoder, HostileBytesGiveCorruptOrAPrefixNeverACrash) {
  std::mt19937 rng(99);
  for (int round = 0; round < 400; ++round) {
    std::vector<CoefficientPlane> shapes;
    const int count = 1 + static_cast<int>(rng() % 3);
    for (int c = 0; c < count; ++c) shapes.push_back(Shape(1 + rng() % 40, 1 + rng() % 40, rng() % 5));
    const CodingLayer layer = kLayers[rng() % 3];
    std::vector<uint8_t> bytes(rng() % 600);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    // Make half of them pass the first preamble check.
    if (round % 2 == 0 && !bytes.empty()) bytes[0] = static_cast<uint8_t>((static_cast<int>(layer) << 4) | count);
    const Decoded decoded = Decode(shapes, layer, bytes);
    EXPECT_TRUE(decoded.result == TX_OK || decoded.result == TX_ERR_CORRUPT) << decoded.result;
  }
}

TEST(EmbeddedCoder, ImpossiblePreambleIsCorrupt) {
  const std::vector<CoefficientPlane> planes = {WaveletLike(16, 16, 2, 17)};
  auto bytes = Encode(planes, CodingLayer::Standard);
  EXPECT_EQ(Decode(planes, CodingLayer::Fast, bytes).result, TX_ERR_CORRUPT);  // other layer
  auto tooManyPlanes = bytes;
  tooManyPlanes[1] = 33;
  EXPECT_EQ(Decode(planes, CodingLayer::Standard, tooManyPlanes).result, TX_ERR_CORRUPT);
  auto endlessCap = bytes;
  endlessCap.insert(endlessCap.begin() + 2, 8, 0xFF);
  EXPECT_EQ(Decode(planes, CodingLayer::Standard, endlessCap).result, TX_ERR_CORRUPT);
  EXPECT_EQ(Decode({planes[0], planes[0]}, CodingLayer::Standard, bytes).result, TX_ERR_CORRUPT);
}

// Renders a preview from inside NextByte, as the plug-in does while it waits.
class PreviewingSource : public ByteSource {
public:
  PreviewingSource(const std::vector<uint8_t>& bytes, const std::vector<CoefficientPlane>& truth)
      : m_bytes(bytes), m_truth(truth) {}
  PlaneDecoder* decoder = nullptr;
  std::vector<double> errors;
  int NextByte(uint8_t& byte) override {
    if (m_pos % 97 == 0) {
      std::vector<CoefficientPlane> preview;
      decoder->Reconstruct(preview);
      errors.push_back(SquaredError(preview, m_truth));
    }
    if (m_pos >= m_bytes.size()) return 0;
    byte = m_bytes[m_pos++];
    return 1;
  }

private:
  const std::vector<uint8_t>& m_bytes;
  const std::vector<CoefficientPlane>& m_truth;
  size_t m_pos = 0;
};

TEST(EmbeddedCoder, ReconstructInsideNextByteShowsSteadyProgress) {
  const std::vector<CoefficientPlane> planes = {WaveletLike(80, 64, 3, 18)};
  for (CodingLayer layer : kLayers) {
    const auto bytes = Encode(planes, layer);
    PlaneDecoder decoder(Shapes(planes), layer);
    PreviewingSource source(bytes, planes);
    source.decoder = &decoder;
    ASSERT_EQ(decoder.Run(source, [](size_t) { return PassAction::Continue; }), TX_OK);
    ASSERT_GT(source.errors.size(), 5u);
    for (size_t i = 1; i < source.errors.size(); ++i) EXPECT_LE(source.errors[i], source.errors[i - 1] * 1.0001);
    EXPECT_LT(source.errors.back(), source.errors.front() / 100);
    std::vector<CoefficientPlane> final;
    decoder.Reconstruct(final);
    EXPECT_EQ(final[0].data, planes[0].data);
    EXPECT_DOUBLE_EQ(decoder.FractionDone(), 1.0);
  }
}

// Dequantising while reconstructing gives the floats of the two-step path,
// also for prefixes that leave coefficients half refined, and so does the
// in-place conversion of the final image.
TEST(EmbeddedCoder, DequantisedReconstructionEqualsReconstructThenDequantise) {
  const std::vector<CoefficientPlane> planes = {WaveletLike(70, 45, 3, 21), WaveletLike(70, 45, 3, 22, 0.2)};
  QuantiserSettings settings;
  settings.levels = 3;
  settings.step = 0.7f;
  settings.planeFactor = 1.3f;
  for (CodingLayer layer : kLayers) {
    const auto bytes = Encode(planes, layer);
    for (size_t limit : {bytes.size() / 5, bytes.size() / 2, bytes.size()}) {
      PlaneDecoder decoder(Shapes(planes), layer);
      VectorSource source(bytes, limit);
      ASSERT_EQ(decoder.Run(source, [](size_t) { return PassAction::Continue; }), TX_OK);
      for (size_t c = 0; c < planes.size(); ++c) {
        CoefficientPlane integers;
        ASSERT_TRUE(decoder.ReconstructPlane(c, integers));
        std::vector<float> expected(integers.data.size());
        Dequantise(integers, settings, expected.data());
        PlaneVector<float> fused;
        ASSERT_TRUE(decoder.ReconstructDequantised(c, DequantiseScales(settings), kReconstructionOffset, fused));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), fused.begin(), fused.end()))
            << "layer " << static_cast<int>(layer) << " limit " << limit << " plane " << c;
        // The final image converts the decoder's own storage in place and
        // hands it over; the plane is then released and gives zeros.
        PlaneVector<float> taken;
        ASSERT_TRUE(decoder.TakeDequantised(c, DequantiseScales(settings), kReconstructionOffset, taken));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), taken.begin(), taken.end()));
        ASSERT_TRUE(decoder.TakeDequantised(c, DequantiseScales(settings), kReconstructionOffset, taken));
        EXPECT_EQ(std::count(taken.begin(), taken.end(), 0.0f), static_cast<long>(expected.size()));
      }
    }
  }
}

// Quantising while loading gives the bytes of quantising first, with and
// without the dropped finest colour detail (whose bands the coder then
// never stores), at full length and under a budget.
TEST(EmbeddedCoder, QuantisingPlaneCodesLikeQuantiseThenEncode) {
  const CoefficientPlane shape = WaveletLike(90, 61, 3, 23);
  std::vector<float> samples(shape.data.size());
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<float>(shape.data[i]) * 0.37f + 0.11f;
  for (bool drop : {false, true})
    for (size_t budget : {size_t{700}, SIZE_MAX}) {
      QuantiserSettings settings;
      settings.levels = shape.levels;
      settings.step = 0.8f;
      settings.dropFinestDetail = drop;
      CoefficientPlane quantised;
      Quantise(samples.data(), shape.width, shape.height, settings, quantised);
      PlaneEncoder encoder;
      ASSERT_EQ(encoder.Add(QuantisingPlane{shape.width, shape.height, shape.levels, samples.data(),
                                            QuantiseScales(settings), kMaxQuantisedMagnitude}),
                TX_OK);
      EncodeSettings encode;
      encode.byteBudget = budget;
      std::vector<uint8_t> fused;
      ASSERT_EQ(encoder.Finish(encode, fused), TX_OK);
      EXPECT_EQ(fused, Encode({quantised}, CodingLayer::Standard, budget)) << "drop " << drop << " budget " << budget;
    }
}

class FailingSource : public ByteSource {
public:
  explicit FailingSource(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
  int NextByte(uint8_t& byte) override {
    if (m_pos == m_bytes.size() / 2) return TX_ERR_ABORTED;
    byte = m_bytes[m_pos++];
    return 1;
  }

private:
  const std::vector<uint8_t>& m_bytes;
  size_t m_pos = 0;
};

TEST(EmbeddedCoder, StopsOnSourceErrorCallbackStopAndProgressAbort) {
  const std::vector<CoefficientPlane> planes = {WaveletLike(64, 64, 3, 19)};
  const auto bytes = Encode(planes, CodingLayer::Standard);
  {
    PlaneDecoder decoder(Shapes(planes), CodingLayer::Standard);
    FailingSource source(bytes);
    EXPECT_EQ(decoder.Run(source, [](size_t) { return PassAction::Continue; }), TX_ERR_ABORTED);
  }
  {
    PlaneDecoder decoder(Shapes(planes), CodingLayer::Standard);
    VectorSource source(bytes, SIZE_MAX);
    EXPECT_EQ(decoder.Run(source, [](size_t) { return PassAction::Stop; }), TX_OK);
    EXPECT_EQ(decoder.PassesDone(), 1);
  }
  EncodeSettings settings;
  settings.layer = CodingLayer::Fast;  // few passes: progress must come from inside them
  int calls = 0;
  std::vector<double> seen;
  settings.progress = [&](double fraction) {
    seen.push_back(fraction);
    return ++calls < 3;
  };
  std::vector<uint8_t> out = {1, 2, 3};
  EXPECT_EQ(EncodePlanes(planes, settings, out), TX_ERR_ABORTED);
  EXPECT_EQ(calls, 3);
  EXPECT_TRUE(out.empty());
  settings.progress = [&](double fraction) {
    seen.push_back(fraction);
    return true;
  };
  seen.clear();
  EXPECT_EQ(EncodePlanes(planes, settings, out), TX_OK);
  EXPECT_LE(seen.size(), 102u);
  EXPECT_GE(seen.size(), 40u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_DOUBLE_EQ(seen.back(), 1.0);
}

TEST(EmbeddedCoder, PlaneShareLimitsTheSmallPlanes) {
  const std::vector<CoefficientPlane> planes = {WaveletLike(96, 96, 4, 20), WaveletLike(96, 96, 4, 21),
                                                WaveletLike(96, 96, 4, 22)};
  const size_t budget = 6000;
  const auto even = Decode(planes, CodingLayer::Standard, Encode(planes, CodingLayer::Standard, budget)).planes;
  const auto shared =
      Decode(planes, CodingLayer::Standard, Encode(planes, CodingLayer::Standard, budget, {0.9, 0.05, 0.05})).planes;
  auto errorOf = [&](const std::vector<CoefficientPlane>& decoded, size_t c) {
    return SquaredError({decoded[c]}, {planes[c]});
  };
  EXPECT_LT(errorOf(shared, 0), errorOf(even, 0) * 0.7);
  EXPECT_GT(errorOf(shared, 1), errorOf(even, 1) * 1.5);
  EXPECT_GT(errorOf(shared, 2), errorOf(even, 2) * 1.5);
}

TEST(EmbeddedCoder, EncodersAndDecodersRunOnSeveralThreadsAtOnce) {
  const std::vector<CoefficientPlane> planes = {WaveletLike(72, 72, 3, 23)};
  const auto reference = Encode(planes, CodingLayer::Standard);
  std::vector<int> ok(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 5; ++i) {
        EncodeSettings settings;
        std::vector<uint8_t> out;
        if (EncodePlanes(planes, settings, out) != TX_OK || out != reference) return;
        PlaneDecoder decoder(Shapes(planes), CodingLayer::Standard);
        VectorSource source(out, SIZE_MAX);
        if (decoder.Run(source, nullptr) != TX_OK) return;
        std::vector<CoefficientPlane> back;
        decoder.Reconstruct(back);
        if (back[0].data != planes[0].data) return;
      }
      ok[t] = 1;
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(ok, std::vector<int>(4, 1));
}

TEST(EmbeddedCoder, BadArgumentsAreRefused) {
  std::vector<uint8_t> out;
  EXPECT_EQ(EncodePlanes({}, EncodeSettings{}, out), TX_ERR_ARGUMENT);
  CoefficientPlane wrongSize = Shape(4, 4, 1);
  wrongSize.data.resize(3);
  EXPECT_EQ(EncodePlanes({wrongSize}, EncodeSettings{}, out), TX_ERR_ARGUMENT);
  EXPECT_EQ(EncodePlanes({Shape(0, 4, 0)}, EncodeSettings{}, out), TX_ERR_ARGUMENT);
  CoefficientPlane negative = Shape(1, 4, 0);
  negative.width = -1;
  PlaneDecoder decoder({negative}, CodingLayer::Standard);
  VectorSource source(out, SIZE_MAX);
  EXPECT_EQ(decoder.Run(source, nullptr), TX_ERR_ARGUMENT);
}

// Plane blocks large enough to be mapped come from fresh pages: they read as
// zero even where a block just freed held other values, which the decoder's
// lazily zeroed magnitudes rely on. They are aligned for huge pages.
TEST(PlaneStorage, LargeBlocksStartZeroAndAligned) {
  const size_t count = size_t{3} << 20;  // 12 MiB of floats
  ASSERT_TRUE(LargeBlockAllocator<float>::ComesZeroed(count));
  for (int round = 0; round < 2; ++round) {
    PlaneVector<float> plane;
    AllocateZeroed(plane, count);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(plane.data()) % (size_t{2} << 20), 0u);
    EXPECT_EQ(std::count(plane.begin(), plane.end(), 0.0f), static_cast<long>(count));
    std::fill(plane.begin(), plane.end(), 1.5f);
  }
  PlaneVector<int32_t> small;
  small.assign(1000, 7);
  AllocateZeroed(small, 1000);
  EXPECT_EQ(std::count(small.begin(), small.end(), 0), 1000);
}

}  // namespace
}  // namespace tavix
