// Native side of bench/web/wasm_vs_native.mjs: decodes a .tvx file from
// memory through TavixLib, exactly as the WebAssembly module does (one job,
// header, image), and prints the fastest of N runs in milliseconds: wall
// clock, then processor time (steadier on a busy machine).
//   native_decode FILE.tvx RUNS
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "codec/TavixLib.h"

namespace {

int DecodeOnce(const std::string& bytes, std::vector<unsigned char>& pixels) {
  std::istringstream source(bytes);
  TXinputStream input(&source);
  input.setBuffer(64 * 1024);
  TXjob* job = nullptr;
  TXimageParams* image = nullptr;
  TXcompressionParams* compression = nullptr;
  int r = TXdecompressionJob(job, input);
  if (r == TX_OK) r = TXreadHeader(job, image, compression);
  if (r == TX_OK) {
    const long rowBytes = static_cast<long>(image->width) * TXgetNumberOfPlanes(image->colorType) *
                          ((TXgetBitsPerPlane(image->colorType) + 7) / 8);
    pixels.assign(static_cast<size_t>(rowBytes) * image->height, 0);
    r = TXreadImage(job, pixels.data(), rowBytes, 0, nullptr);
  }
  if (job) TXendJob(job);
  if (image || compression) TXdisposeParams(image, compression);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: native_decode FILE.tvx RUNS\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const int runs = std::max(1, std::atoi(argv[2]));
  if (TXinit(4, nullptr) != TX_OK) return 1;
  std::vector<unsigned char> pixels;
  double best = 1e300;
  double bestCpu = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    const int r = DecodeOnce(bytes, pixels);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    bestCpu = std::min(bestCpu, 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    if (r != TX_OK) {
      std::fprintf(stderr, "decode failed: %d\n", r);
      return 1;
    }
    best = std::min(best, ms);
  }
  TXterminate();
  std::printf("%.3f %.3f\n", best, bestCpu);
  return 0;
}
