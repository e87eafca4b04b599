// Feeds arbitrary bytes to the JPEG reader, through both of its paths: into
// a pixel buffer and straight into the rows of a CDib.
#include <cstdint>

#include "glue_fuzz_file.h"
#include "image/Dib.h"
#include "image/jpeg_glue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzScratchFile scratch(".jpg");
  const char* name = scratch.Write(data, size);
  int dimensions[2] = {0, 0};
  int bitsPerSample = 0;
  int components = 0;
  std::unique_ptr<BYTE[]> pixels =
      ReadJpegFile(name, dimensions, &bitsPerSample, &components, nullptr, kFuzzMaxPixelBytes);
  if (pixels) {
    // Touch the last byte so that a buffer shorter than reported shows up.
    const size_t bytes = static_cast<size_t>(dimensions[0]) * dimensions[1] * components;
    volatile BYTE last = pixels[bytes - 1];
    (void)last;
  }
  CDib dib;
  int rowComponents = 0;
  ReadJpegRows(name, dib, &rowComponents, nullptr, kFuzzMaxPixelBytes);
  return 0;
}
