// Feeds arbitrary bytes to the PNM reader, which reads files by name, through
// a temporary file; what it accepts is written out again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdlib.h>
#include <string>
#include <unistd.h>

#include "image/Dib.h"
#include "image/pnm.h"

namespace {

std::string TemporaryPath() {
  char name[] = "/tmp/tavix-pnm-fuzz-XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd >= 0) ::close(fd);
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = TemporaryPath();
  static const std::string output = input + ".out";
  std::FILE* file = std::fopen(input.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  int width = 0, height = 0, planes = 0, bitsCode = 0;
  PnmReadHeaderInfo(input, &width, &height, &planes, &bitsCode);
  CDib dib;
  if (dib.ReadPNM(input) == PnmOk) dib.WritePNM(output);
  return 0;
}
