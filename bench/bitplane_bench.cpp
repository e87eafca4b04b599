// Embedded coder benchmark: a grey photo through the 9/7 transform and the
// quantiser, then each coding layer at 0.25 / 0.5 / 1.0 bits per pixel.
// Prints PSNR per rate and layer, then times encoding and decoding.
//
//   bitplane_bench [--pgm=photo.pgm] [Google Benchmark flags]
// bench/bitplane_vs_openjpeg.sh converts a sample photo and runs the peer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "codec/bitplane.h"
#include "codec/quantize.h"
#include "codec/transform.h"

namespace {

using namespace tavix;

struct GreyImage {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
};

// Next header number of a PNM file, skipping comments.
int PnmNumber(std::istream& in) {
  in >> std::ws;
  while (in.peek() == '#') {
    std::string comment;
    std::getline(in, comment);
    in >> std::ws;
  }
  int value = -1;
  in >> value;
  return value;
}

bool ReadPgm(const std::string& path, GreyImage& image) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  in >> magic;
  image.width = PnmNumber(in);
  image.height = PnmNumber(in);
  const int maxValue = PnmNumber(in);
  in.get();
  if (!in || magic != "P5" || maxValue != 255 || image.width <= 0 || image.height <= 0) return false;
  image.pixels.resize(static_cast<size_t>(image.width) * image.height);
  in.read(reinterpret_cast<char*>(image.pixels.data()), static_cast<std::streamsize>(image.pixels.size()));
  return static_cast<bool>(in);
}

// A synthetic photo-like image when no file is given.
GreyImage Synthetic(int width, int height) {
  GreyImage image{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height)};
  uint32_t noise = 1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      noise = noise * 1664525u + 1013904223u;
      const double v = 128 + 60 * std::sin(x * 0.02) * std::cos(y * 0.03) + 30 * ((x / 40 + y / 50) % 2) +
                       static_cast<double>(noise >> 28) - 8;
      image.pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
    }
  return image;
}

struct Pipeline {
  GreyImage image;
  int levels = 5;
  QuantiserSettings quantiser;
  CoefficientPlane coefficients;

  void Prepare() {
    std::vector<float> samples(image.pixels.begin(), image.pixels.end());
    for (float& s : samples) s -= 128.0f;
    ForwardTransform(PlaneView<float>{samples.data(), image.width, image.height, image.width}, levels,
                     Wavelet::Cdf97);
    quantiser.wavelet = Wavelet::Cdf97;
    quantiser.levels = levels;
    quantiser.step = FineStep(8, LargestWeighted(samples.data(), image.width, image.height, Wavelet::Cdf97, levels));
    Quantise(samples.data(), image.width, image.height, quantiser, coefficients);
    coefficients.levels = levels;
  }

  double Psnr(const std::vector<uint8_t>& coded, CodingLayer layer) const {
    std::vector<CoefficientPlane> shapes(1);
    shapes[0].width = image.width;
    shapes[0].height = image.height;
    shapes[0].levels = levels;
    PlaneDecoder decoder(shapes, layer);
    struct Source : ByteSource {
      const std::vector<uint8_t>* bytes;
      size_t pos = 0;
      int NextByte(uint8_t& b) override {
        if (pos >= bytes->size()) return 0;
        b = (*bytes)[pos++];
        return 1;
      }
    } source;
    source.bytes = &coded;
    decoder.Run(source, nullptr);
    std::vector<CoefficientPlane> planes;
    decoder.Reconstruct(planes);
    std::vector<float> samples(planes[0].data.size());
    Dequantise(planes[0], quantiser, samples.data());
    InverseTransform(PlaneView<float>{samples.data(), image.width, image.height, image.width}, levels,
                     Wavelet::Cdf97);
    double sum = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
      const double v = std::clamp(std::round(samples[i] + 128.0), 0.0, 255.0) - image.pixels[i];
      sum += v * v;
    }
    const double mse = sum / static_cast<double>(samples.size());
    return 10 * std::log10(255.0 * 255.0 / std::max(mse, 1e-12));
  }

  size_t Budget(double bitsPerPixel) const {
    return static_cast<size_t>(bitsPerPixel * image.width * image.height / 8);
  }
};

Pipeline& Shared() {
  static Pipeline pipeline;
  return pipeline;
}

const char* LayerName(CodingLayer layer) {
  switch (layer) {
    case CodingLayer::Standard: return "standard";
    case CodingLayer::Fast: return "fast";
    case CodingLayer::FastResolution: return "fast-resolution";
  }
  return "?";
}

constexpr CodingLayer kLayers[] = {CodingLayer::Standard, CodingLayer::Fast, CodingLayer::FastResolution};
constexpr double kRates[] = {0.25, 0.5, 1.0};

void PrintRateDistortion() {
  const Pipeline& p = Shared();
  std::printf("image %dx%d, 9/7, %d levels\n%-16s", p.image.width, p.image.height, p.levels, "bpp");
  for (double rate : kRates) std::printf("%10.2f", rate);
  std::printf("   (PSNR dB)\n");
  for (CodingLayer layer : kLayers) {
    std::printf("%-16s", LayerName(layer));
    for (double rate : kRates) {
      EncodeSettings settings;
      settings.layer = layer;
      settings.byteBudget = p.Budget(rate);
      std::vector<uint8_t> coded;
      EncodePlanes({p.coefficients}, settings, coded);
      std::printf("%10.2f", p.Psnr(coded, layer));
    }
    std::printf("\n");
  }
  std::fflush(stdout);
}

void BM_Encode(benchmark::State& state, CodingLayer layer, double rate) {
  const Pipeline& p = Shared();
  EncodeSettings settings;
  settings.layer = layer;
  settings.byteBudget = rate > 0 ? p.Budget(rate) : SIZE_MAX;
  std::vector<uint8_t> coded;
  for (auto _ : state) {
    EncodePlanes({p.coefficients}, settings, coded);
    benchmark::DoNotOptimize(coded.data());
  }
  state.counters["MP/s"] = benchmark::Counter(static_cast<double>(p.image.pixels.size()) * state.iterations() / 1e6,
                                              benchmark::Counter::kIsRate);
  state.counters["bytes"] = static_cast<double>(coded.size());
}

void BM_Decode(benchmark::State& state, CodingLayer layer, double rate) {
  const Pipeline& p = Shared();
  EncodeSettings settings;
  settings.layer = layer;
  settings.byteBudget = rate > 0 ? p.Budget(rate) : SIZE_MAX;
  std::vector<uint8_t> coded;
  EncodePlanes({p.coefficients}, settings, coded);
  std::vector<CoefficientPlane> shapes(1);
  shapes[0].width = p.image.width;
  shapes[0].height = p.image.height;
  shapes[0].levels = p.levels;
  struct Source : ByteSource {
    const std::vector<uint8_t>* bytes;
    size_t pos = 0;
    int NextByte(uint8_t& b) override {
      if (pos >= bytes->size()) return 0;
      b = (*bytes)[pos++];
      return 1;
    }
  };
  std::vector<CoefficientPlane> planes;
  for (auto _ : state) {
    PlaneDecoder decoder(shapes, layer);
    Source source;
    source.bytes = &coded;
    decoder.Run(source, nullptr);
    decoder.Reconstruct(planes);
    benchmark::DoNotOptimize(planes.data());
  }
  state.counters["MP/s"] = benchmark::Counter(static_cast<double>(p.image.pixels.size()) * state.iterations() / 1e6,
                                              benchmark::Counter::kIsRate);
}

void RegisterTimings() {
  for (CodingLayer layer : kLayers) {
    for (double rate : {1.0, 0.0}) {
      const std::string suffix = std::string(LayerName(layer)) + (rate > 0 ? "/1bpp" : "/all-planes");
      benchmark::RegisterBenchmark(("Encode/" + suffix).c_str(), BM_Encode, layer, rate)->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("Decode/" + suffix).c_str(), BM_Decode, layer, rate)->Unit(benchmark::kMillisecond);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string pgm;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--pgm=", 6) == 0) pgm = argv[i] + 6;
  Pipeline& p = Shared();
  if (pgm.empty() || !ReadPgm(pgm, p.image)) {
    if (!pgm.empty()) std::fprintf(stderr, "cannot read %s, using a synthetic image\n", pgm.c_str());
    p.image = Synthetic(1024, 768);
  }
  p.Prepare();
  PrintRateDistortion();
  RegisterTimings();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
