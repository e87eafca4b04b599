// How soon the plug-in shows the final image after the last byte of a
// stream, against decoding the same bytes directly with the codec.
//
//   plugin_final_bench FILE.tvx...
//
// For each file: the direct decode (TXreadImage from memory, best of three),
// then the plug-in in the scripted host, fed at full speed and at a pace
// that makes the transfer last about twice the direct decode (a network
// slower than the decoder, where previews are rendered while bytes arrive).
// The figure is the time from the last write to the end of decoding, as a
// ratio of the direct decode. Goal: at most 1.5.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "codec/TavixLib.h"
#include "plugin/host/ScriptedHost.h"

#ifndef NPTAVIX_LIBRARY_PATH
#error "NPTAVIX_LIBRARY_PATH must name the built plug-in"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Wall time of one direct decode; negative when it fails.
double DirectDecode(const std::vector<uint8_t>& bytes) {
  const std::string text(bytes.begin(), bytes.end());
  std::istringstream stream(text, std::ios::binary);
  TXinputStream input(&stream);
  TXjob* job = nullptr;
  TXimageParams* image = nullptr;
  TXcompressionParams* compression = nullptr;
  const auto start = Clock::now();
  if (TXdecompressionJob(job, input) != TX_OK || TXreadHeader(job, image, compression) != TX_OK) return -1;
  const long rowBytes = static_cast<long>(image->width) * TXgetNumberOfPlanes(image->colorType) *
                        (TXgetBitsPerPlane(image->colorType) / 8);
  std::vector<uint8_t> pixels(static_cast<size_t>(rowBytes) * image->height);
  const int result = TXreadImage(job, pixels.data(), rowBytes, 0, nullptr);
  const double ms = Milliseconds(Clock::now() - start);
  TXdisposeParams(image, compression);
  TXendJob(job);
  return result == TX_OK ? ms : -1;
}

struct PluginRun {
  double afterLastByteMs = -1;
  int previews = 0;
};

PluginRun ThroughPlugin(CScriptedHost& host, const std::string& url, std::chrono::milliseconds pace,
                        size_t chunk) {
  auto instance = host.CreateInstance(NP_EMBED, {}, 800, 600);
  PluginRun run;
  if (instance->New() != NPERR_NO_ERROR || instance->SetWindow() != NPERR_NO_ERROR) return run;
  StreamOptions options;
  options.chunkSize = chunk;
  options.pace = pace;
  instance->Deliver(url, options);
  const auto lastByte = Clock::now();
  if (instance->WaitForDecodeEnded(std::chrono::minutes(5))) run.afterLastByteMs = Milliseconds(Clock::now() - lastByte);
  run.previews = instance->PreviewPaintsPosted();
  instance->Destroy();
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE.tvx...\n", argv[0]);
    return 2;
  }
  TXinit(4, nullptr);
  CScriptedHost host;
  std::string error;
  if (!host.Load(NPTAVIX_LIBRARY_PATH, error)) {
    std::fprintf(stderr, "cannot load the plug-in: %s\n", error.c_str());
    return 1;
  }
  std::printf("%-28s %9s %10s %14s %9s %14s %9s\n", "file", "bytes", "direct ms", "full speed ms", "ratio",
              "paced ms", "ratio");
  for (int i = 1; i < argc; ++i) {
    const std::vector<uint8_t> bytes = ReadFile(argv[i]);
    double direct = 1e300;
    for (int k = 0; k < 3; ++k) direct = std::min(direct, DirectDecode(bytes));
    if (bytes.empty() || direct < 0) {
      std::printf("%-28s cannot be decoded\n", argv[i]);
      continue;
    }
    const std::string url = std::string("http://example.org/") + std::to_string(i) + ".tvx";
    host.Serve(url, bytes);
    constexpr size_t kChunk = 64 * 1024;
    const PluginRun fast = ThroughPlugin(host, url, std::chrono::milliseconds(0), kChunk);
    // Chunks spaced so that the whole transfer takes about twice the decode.
    const size_t chunks = std::max<size_t>(1, (bytes.size() + kChunk - 1) / kChunk);
    const auto pace = std::chrono::milliseconds(static_cast<long>(2 * direct / static_cast<double>(chunks)));
    const PluginRun paced = ThroughPlugin(host, url, pace, kChunk);
    std::string name = argv[i];
    if (name.size() > 28) name = "..." + name.substr(name.size() - 25);
    std::printf("%-28s %9zu %10.0f %14.0f %8.2fx %14.0f %8.2fx   (previews %d / %d)\n", name.c_str(), bytes.size(),
                direct, fast.afterLastByteMs, fast.afterLastByteMs / direct, paced.afterLastByteMs,
                paced.afterLastByteMs / direct, fast.previews, paced.previews);
  }
  host.Unload();
  TXterminate();
  return 0;
}
