// Speed of the wavelet transforms: one 2048 x 1536 plane (a 3-megapixel
// image's luma), forward then inverse, all levels. Reports megasamples per
// second of the forward+inverse pair ("MS/s").
//
// The transforms are internal to the codec library, so this links the
// library's static copy, where they are visible.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "codec/transform.h"

namespace {

constexpr int kWidth = 2048;
constexpr int kHeight = 1536;

template <typename Sample>
std::vector<Sample> TestPlane() {
  std::vector<Sample> plane(static_cast<size_t>(kWidth) * kHeight);
  std::mt19937 random(1);
  std::uniform_int_distribution<int> value(0, 255);
  // Smooth content plus noise, like a photograph's luma.
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      plane[static_cast<size_t>(y) * kWidth + x] =
          static_cast<Sample>((x / 16 + y / 12) % 200 + value(random) % 32);
  return plane;
}

template <typename Sample>
void ForwardInverse(benchmark::State& state) {
  const auto wavelet = static_cast<tavix::Wavelet>(state.range(0));
  std::vector<Sample> plane = TestPlane<Sample>();
  const tavix::PlaneView<Sample> view{plane.data(), kWidth, kHeight, kWidth};
  const int levels = tavix::LevelsFor(kWidth, kHeight);
  for (auto _ : state) {
    tavix::ForwardTransform(view, levels, wavelet);
    tavix::InverseTransform(view, levels, wavelet);
    benchmark::DoNotOptimize(plane.data());
  }
  const double samples = static_cast<double>(kWidth) * kHeight;
  state.counters["MS/s"] = benchmark::Counter(samples / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void Gains(benchmark::State& state) {
  const auto wavelet = static_cast<tavix::Wavelet>(state.range(0));
  for (auto _ : state) {
    // What a coder asks for one plane of 8 levels.
    double sum = 0;
    for (int level = 1; level <= 8; ++level)
      sum += tavix::SynthesisGain(wavelet, level, true) + tavix::SynthesisGain(wavelet, level, false);
    benchmark::DoNotOptimize(sum);
  }
}

}  // namespace

// 0 9/7, 1 18/10, 2 mixed, 4 9/7 lifting; 3 S+P, 5 two-six, 6 5/3.
BENCHMARK(ForwardInverse<float>)->Arg(0)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(ForwardInverse<int32_t>)->Arg(3)->Arg(5)->Arg(6)->Unit(benchmark::kMillisecond);
BENCHMARK(Gains)->Arg(0)->Arg(4)->Arg(6)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
