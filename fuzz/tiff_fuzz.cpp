// Feeds arbitrary bytes to the TIFF probe and reader, following the steps of
// CDib::ReadTIFF with a smaller size limit.
#include <cstdint>
#include <memory>
#include <new>

#include "glue_fuzz_file.h"
#include "image/Limits.h"
#include "image/tiff_glue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzScratchFile scratch(".tif");
  const char* name = scratch.Write(data, size);
  TIFFRGBAImage img{};
  if (!TiffProbe(name, &img)) return 0;
  const int planes = img.samplesperpixel;
  size_t bytes = 0;
  if ((planes != 1 && planes != 3) || img.bitspersample > 8 ||
      !CheckedImageBytes(img.width, img.height, planes, bytes) || bytes > kFuzzMaxPixelBytes) {
    TiffEndImage(&img);
    return 0;
  }
  std::unique_ptr<BYTE[]> pixels(new BYTE[bytes]());
  TiffReadImage(&img, pixels.get(), planes * static_cast<int>(img.width), 0, nullptr);
  return 0;
}
