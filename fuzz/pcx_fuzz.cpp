// Feeds arbitrary bytes to the PCX reader, which reads files by name, through
// a temporary file. Headers claiming more than 1 M pixels are skipped: the
// reader accepts them (the rest of a short file decodes as zeros), and
// allocating that much on every run would only slow the search.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdlib.h>
#include <string>
#include <unistd.h>

#include "image/Dib.h"

namespace {

std::string TemporaryPath() {
  static std::string path = [] {
    char name[] = "/tmp/tavix-pcx-fuzz-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd >= 0) ::close(fd);
    return std::string(name);
  }();
  return path;
}

int Extent(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 12) {
    const long long width = static_cast<long long>(Extent(data + 8)) - Extent(data + 4) + 1;
    const long long height = static_cast<long long>(Extent(data + 10)) - Extent(data + 6) + 1;
    if (width * height > (1 << 20)) return 0;
  }
  const std::string path = TemporaryPath();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  CRecordingMessageSink sink;
  CDib dib;
  dib.SetMessageSink(&sink);
  if (dib.ReadPCX(path) == DIB_OK && dib.MakePixels()) dib.FreePixels();
  return 0;
}
