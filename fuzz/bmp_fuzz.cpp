// Feeds arbitrary bytes to the BMP reader through a memory stream; what it
// accepts must convert to pixels and write out again.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "image/Dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  CDib dib;
  if (dib.ReadBMP(in) != DIB_OK) return 0;
  if (dib.MakePixels()) dib.FreePixels();
  std::ostringstream out;
  dib.WriteBMP(out);
  return 0;
}
