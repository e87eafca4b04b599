// nptavix-host: streams a .tvx file through the plug-in as a browser would
// and writes every picture the plug-in painted.
//
//   nptavix-host FILE.tvx [--limit N] [--chunk N] [--pace MS] [--snapshots DIR]
//                [--no-progressive] [--non-seekable] [--full] [--improve]
//                [--palette] [--compare] [--library PATH]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "codec/TavixLib.h"
#include "plugin/host/ScriptedHost.h"
#include "plugin/host/Snapshot.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr UINT kImproveCommand = 1113;

struct Options {
  std::string file;
  std::string library = NPTAVIX_DEFAULT_LIBRARY;
  std::string snapshots;
  long limit = 0;
  size_t chunk = 1000;
  int paceMs = 0;
  bool progressive = true;
  bool seekable = true;
  bool fullPage = false;
  bool improve = false;
  bool palette = false;
  bool compare = false;
};

int Usage() {
  std::fprintf(stderr,
               "usage: nptavix-host FILE.tvx [--limit N] [--chunk N] [--pace MS] [--snapshots DIR]\n"
               "                    [--no-progressive] [--non-seekable] [--full] [--improve]\n"
               "                    [--palette] [--compare] [--library PATH]\n");
  return 2;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--limit" || arg == "--chunk" || arg == "--pace" || arg == "--snapshots" || arg == "--library") {
      const char* v = value();
      if (!v) return false;
      if (arg == "--limit") options.limit = std::strtol(v, nullptr, 10);
      if (arg == "--chunk") options.chunk = std::max<long>(1, std::strtol(v, nullptr, 10));
      if (arg == "--pace") options.paceMs = static_cast<int>(std::strtol(v, nullptr, 10));
      if (arg == "--snapshots") options.snapshots = v;
      if (arg == "--library") options.library = v;
    } else if (arg == "--no-progressive") {
      options.progressive = false;
    } else if (arg == "--non-seekable") {
      options.seekable = false;
    } else if (arg == "--full") {
      options.fullPage = true;
    } else if (arg == "--improve") {
      options.improve = true;
    } else if (arg == "--palette") {
      options.palette = true;
    } else if (arg == "--compare") {
      options.compare = true;
    } else if (!arg.empty() && arg[0] != '-' && options.file.empty()) {
      options.file = arg;
    } else {
      return false;
    }
  }
  return !options.file.empty();
}

// Decodes the whole file in one job, as a program reading it from disk would.
// Returns seconds, or a negative value on failure; fills the image size.
double DecodeDirectly(const std::vector<uint8_t>& bytes, int& width, int& height) {
  std::istringstream source(std::string(bytes.begin(), bytes.end()));
  const auto start = Clock::now();
  if (TXinit(4, nullptr) != 0) return -1;
  TXinputStream input(&source);
  TXjob* job = nullptr;
  TXimageParams* image = nullptr;
  TXcompressionParams* compression = nullptr;
  double seconds = -1;
  if (TXdecompressionJob(job, input) == 0 && TXreadHeader(job, image, compression) == 0) {
    width = image->width;
    height = image->height;
    const int planes = TXgetNumberOfPlanes(image->colorType);
    const int bytesPerSample = (TXgetBitsPerPlane(image->colorType) + 7) / 8;
    const long rowBytes = static_cast<long>(width) * planes * bytesPerSample;
    std::vector<uint8_t> pixels(static_cast<size_t>(rowBytes) * height);
    if (TXreadImage(job, pixels.data(), rowBytes, 0, nullptr) == 0)
      seconds = std::chrono::duration<double>(Clock::now() - start).count();
  }
  if (job) TXendJob(job);
  if (image || compression) TXdisposeParams(image, compression);
  TXterminate();
  return seconds;
}

void PrintMenu(const RecordedMenu& menu) {
  for (const MenuItem& item : menu.items) {
    if (item.flags & MF_SEPARATOR) continue;
    std::printf("  menu: %s%s\n", item.text.c_str(), (item.flags & (MF_GRAYED)) ? " (greyed)" : "");
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) return Usage();
  std::ifstream in(options.file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", options.file.c_str());
    return 1;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  int width = 400, height = 300;
  const double directSeconds = DecodeDirectly(bytes, width, height);
  width = std::clamp(width, 1, 4096);
  height = std::clamp(height, 1, 4096);

  CScriptedHost host;
  std::string error;
  if (!host.Load(options.library, error)) {
    std::fprintf(stderr, "cannot load %s: %s\n", options.library.c_str(), error.c_str());
    return 1;
  }
  const std::string url = "http://localhost/images/" + std::filesystem::path(options.file).filename().string();
  host.Serve(url, bytes);

  std::vector<std::pair<std::string, std::string>> attributes;
  attributes.emplace_back("progressive", options.progressive ? "true" : "false");
  if (options.limit) attributes.emplace_back("limit", std::to_string(options.limit));
  auto instance = host.CreateInstance(options.fullPage ? NP_FULL : NP_EMBED, attributes, width, height,
                                      options.palette);
  instance->RecordSnapshots(true);
  if (instance->New() != NPERR_NO_ERROR || instance->SetWindow() != NPERR_NO_ERROR) {
    std::fprintf(stderr, "the plug-in refused the instance\n");
    return 1;
  }

  StreamOptions stream;
  stream.chunkSize = options.chunk;
  stream.seekable = options.seekable;
  stream.pace = std::chrono::milliseconds(options.paceMs);
  const size_t blankPictures = instance->Snapshots().size();  // the empty window
  const auto start = Clock::now();
  instance->Deliver(url, stream);
  bool ended = instance->WaitForDecodeEnded();
  if (ended && options.improve && instance->RightClick(1, 1, kImproveCommand) &&
      instance->Desktop().menus.back()->chosen == kImproveCommand) {
    std::printf("improve: asked for the rest\n");
    instance->ProcessRequests(stream);
    ended = instance->WaitForDecodeEnded();
  }
  const double pluginSeconds = std::chrono::duration<double>(Clock::now() - start).count();

  for (const std::string& text : instance->statusTexts) std::printf("status: %s\n", text.c_str());
  size_t writes = 0, accepted = 0;
  for (const auto& s : instance->streams) {
    writes += s->writes.size();
    accepted += s->BytesSent();
  }
  std::printf("file: %zu bytes, %d x %d\n", bytes.size(), width, height);
  std::printf("streams: %zu, writes: %zu, bytes sent: %zu, range requests: %zu\n", instance->streams.size(),
              writes, accepted, instance->rangeRequests.size());
  std::printf("decoding %s\n", ended ? "stopped" : "did not stop in time");
  std::printf("images shown: %d (paints posted by the decoder), distinct pictures painted: %zu\n",
              instance->PreviewPaintsPosted(), instance->Snapshots().size());
  if (instance->Snapshots().size() > blankPictures) {
    const auto first = instance->Snapshots()[blankPictures].paintedAt;
    std::printf("first picture after %.3f s\n", std::chrono::duration<double>(first - start).count());
  }
  if (const RecordedMenu* menu = instance->RightClick(1, 1, 0)) PrintMenu(*menu);

  if (!options.snapshots.empty()) {
    std::filesystem::create_directories(options.snapshots);
    int index = 0;
    for (const Snapshot& snapshot : instance->Snapshots()) {
      char name[64];
      std::snprintf(name, sizeof name, "preview-%03d.ppm", index++);
      const std::string path = (std::filesystem::path(options.snapshots) / name).string();
      if (!WritePpm(path, snapshot)) std::fprintf(stderr, "cannot write %s\n", path.c_str());
    }
    std::printf("snapshots: %d written to %s\n", index, options.snapshots.c_str());
  }
  if (options.compare) {
    std::printf("direct decode: %.3f s, through the plug-in: %.3f s (ratio %.2f)\n", directSeconds, pluginSeconds,
                directSeconds > 0 ? pluginSeconds / directSeconds : 0.0);
  }
  instance->Destroy();
  return ended ? 0 : 1;
}
