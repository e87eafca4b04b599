// Feeds arbitrary bytes to the GIF reader.
#include <cstdint>

#include "glue_fuzz_file.h"
#include "image/gif_glue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzScratchFile scratch(".gif");
  const char* name = scratch.Write(data, size);
  int dimensions[2] = {0, 0};
  int bitsPerPixel = 0;
  int planes = 0;
  std::unique_ptr<BYTE[]> rgb = GifReadImage(name, dimensions, &bitsPerPixel, &planes, kFuzzMaxPixelBytes);
  if (rgb) {
    const size_t bytes = static_cast<size_t>(dimensions[0]) * dimensions[1] * 3;
    volatile BYTE last = rgb[bytes - 1];
    (void)last;
  }
  return 0;
}
