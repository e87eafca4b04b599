// The tool's own readers of untrusted bytes: the format sniffer, the readers
// of PNM and TIFF files of 16-bit depth, and the .tvx header summary (with
// its check of the stated body length), all fed the same bytes through a
// temporary file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdlib.h>
#include <string>
#include <unistd.h>

#include "tools/FileFormat.h"
#include "tools/Pnm16.h"
#include "tools/Tiff16.h"
#include "tools/TvxHeader.h"

namespace {

std::string TemporaryPath() {
  char name[] = "/tmp/tavix-tool-fuzz-XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd >= 0) ::close(fd);
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = TemporaryPath();
  (void)FormatFromContent(data, size);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  SampleImage image;
  // A small limit keeps hostile headers from slowing the run down.
  (void)ReadPnmSamples(path, image, uint64_t{1} << 20);
  (void)ReadTiffSamples(path, image, uint64_t{1} << 20);
  TvxHeaderInfo header;
  if (ReadTvxHeader(path, header).ok()) (void)DescribeTvxHeader(header);
  return 0;
}
