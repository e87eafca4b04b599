// Speed of the public codec paths: the quantizer preview on a 512 x 512
// colour window (the Quality dialog recomputes it on every slider move), and
// whole encodes and decodes per coding layer.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "codec/TavixLib.h"

namespace {

std::vector<unsigned char> Photo(int width, int height, int planes) {
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * planes);
  uint32_t noise = 17;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < planes; ++c) {
        noise = noise * 1664525u + 1013904223u;
        const double v = 128 + 90 * std::sin(0.03 * x + c) * std::cos(0.02 * y) + ((noise >> 24) % 16);
        pixels[(static_cast<size_t>(y) * width + x) * planes + c] = static_cast<unsigned char>(std::fmin(v, 255.0));
      }
  return pixels;
}

void BM_QuantizerPreview512(benchmark::State& state) {
  const std::vector<unsigned char> source = Photo(512, 512, 3);
  std::vector<unsigned char> window;
  const int wavelet = static_cast<int>(state.range(0));
  for (auto _ : state) {
    window = source;
    TXquantizerPreview(window.data(), 512, 512, 3, 512 * 3, 0, wavelet, TXcodecStandard, 1000000, 90);
    benchmark::DoNotOptimize(window.data());
  }
}
BENCHMARK(BM_QuantizerPreview512)->Arg(TXwavelet97)->Arg(TXwavelet97Lifting)->Arg(TXwavelet53)->Unit(benchmark::kMillisecond);

void BM_EncodeDecode(benchmark::State& state) {
  TXinit(4, nullptr);
  const int width = 2048, height = 1536;
  const std::vector<unsigned char> source = Photo(width, height, 3);
  TXimageParams image;
  image.width = width;
  image.height = height;
  image.colorType = TXcolorRGB24;
  TXcompressionParams compression;
  compression.waveletType = TXwavelet97Lifting;
  compression.codecType = static_cast<uint16_t>(state.range(0));
  compression.mode = TXmodeFileSize;
  compression.target = width * height / 8;  // 1 bit per pixel
  const bool decode = state.range(1) != 0;
  auto encode = [&] {
    std::ostringstream out;
    TXjob* job = nullptr;
    TXcompressionJob(job, out);
    TXwriteHeader(job, image, compression);
    TXwriteImage(job, source.data(), width * 3, 0, nullptr);
    TXendJob(job);
    return out.str();
  };
  const std::string file = decode ? encode() : std::string();
  std::vector<unsigned char> pixels(source.size());
  for (auto _ : state) {
    if (!decode) {
      benchmark::DoNotOptimize(encode());
      continue;
    }
    std::istringstream in(file);
    TXinputStream input(&in);
    TXjob* job = nullptr;
    TXdecompressionJob(job, input);
    TXimageParams* readImage = nullptr;
    TXcompressionParams* readCompression = nullptr;
    TXreadHeader(job, readImage, readCompression);
    TXreadImage(job, pixels.data(), width * 3, 0, nullptr);
    TXdisposeParams(readImage, readCompression);
    TXendJob(job);
  }
  TXterminate();
}
BENCHMARK(BM_EncodeDecode)->ArgsProduct({{0x01, 0x02, 0x42}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
