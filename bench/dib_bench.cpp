// Image-buffer conversions and the display quantiser on a 6000 x 4000 RGB
// image, against a plain memcpy of the same bytes. Prints the ratios at the
// end: CreateFromPixels and MakePixels should stay within 3x memcpy, and
// MapDither above 100 megapixels per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "image/Dib.h"
#include "image/display/ColorQuantizer.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr size_t kBytes = size_t{kWidth} * kHeight * 3;

const std::vector<BYTE>& Photo() {
  static const std::vector<BYTE> pixels = [] {
    std::vector<BYTE> p(kBytes);
    for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<BYTE>((i * 7 + (i / 18000) * 3) & 0xFF);
    return p;
  }();
  return pixels;
}

void BM_Memcpy(benchmark::State& state) {
  std::vector<BYTE> dst(kBytes, 1);
  for (auto _ : state) {
    std::memcpy(dst.data(), Photo().data(), kBytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_CreateFromPixels(benchmark::State& state) {
  CDib dib;
  dib.m_nColorType = DibRGB;
  dib.AllocPixelBuffer(kBytes);
  std::memcpy(dib.GetPixels(), Photo().data(), kBytes);
  for (auto _ : state) {
    if (!dib.CreateFromPixels(kWidth, kHeight, 24)) state.SkipWithError("CreateFromPixels failed");
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_MakePixels(benchmark::State& state) {
  CDib dib;
  dib.m_nColorType = DibRGB;
  dib.AllocPixelBuffer(kBytes);
  std::memcpy(dib.GetPixels(), Photo().data(), kBytes);
  dib.CreateFromPixels(kWidth, kHeight, 24);
  for (auto _ : state) {
    if (!dib.MakePixels()) state.SkipWithError("MakePixels failed");
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_MapDither(benchmark::State& state) {
  CColorQuantizer quantizer;
  std::vector<BYTE> rgb(kBytes);
  std::vector<BYTE> indices(size_t{kWidth} * kHeight);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(rgb.data(), Photo().data(), kBytes);
    state.ResumeTiming();
    quantizer.MapDither(rgb.data(), indices.data(), kWidth, kHeight);
    benchmark::DoNotOptimize(indices.data());
  }
  state.counters["MP/s"] = benchmark::Counter(double(kWidth) * kHeight * state.iterations() / 1e6,
                                              benchmark::Counter::kIsRate);
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_CreateFromPixels)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_MakePixels)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_MapDither)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Keeps each benchmark's CPU time per iteration for the summary: CPU time,
// because the build machines are shared and wall time follows their load.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) seconds[run.benchmark_name()] = run.GetAdjustedCPUTime() / 1e3;
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto time = [&](const char* name) {
    auto it = reporter.seconds.find(std::string(name) + "/min_time:1.000");
    if (it == reporter.seconds.end()) it = reporter.seconds.find(name);
    return it == reporter.seconds.end() ? 0.0 : it->second;
  };
  const double copy = time("BM_Memcpy");
  if (copy <= 0) return 0;
  const double create = time("BM_CreateFromPixels") / copy;
  const double make = time("BM_MakePixels") / copy;
  const double dither = double(kWidth) * kHeight / 1e6 / time("BM_MapDither");
  std::printf("\n%-28s %8s %8s\n", "6000 x 4000 RGB", "value", "goal");
  std::printf("%-28s %7.2fx %8s %s\n", "CreateFromPixels / memcpy", create, "<= 3x", create <= 3 ? "PASS" : "FALL SHORT");
  std::printf("%-28s %7.2fx %8s %s\n", "MakePixels / memcpy", make, "<= 3x", make <= 3 ? "PASS" : "FALL SHORT");
  std::printf("%-28s %6.0f MP/s %6s %s\n", "MapDither", dither, ">= 100", dither >= 100 ? "PASS" : "FALL SHORT");
  return 0;
}
