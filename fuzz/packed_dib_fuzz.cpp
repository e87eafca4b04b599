// Clipboard blocks: arbitrary bytes through CDib::LoadPackedDib, then the
// conversions and drawing that a pasted image goes through.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/Dib.h"
#include "platform/MemoryCanvas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  // A copy, so reads past the block are caught exactly at its end.
  std::vector<uint8_t> block(data, data + size);
  for (bool paletteDisplay : {false, true}) {
    CDib dib;
    dib.SetPaletteDisplay(paletteDisplay);
    if (dib.LoadPackedDib(block.data(), nullptr, static_cast<int>(block.size())) != DIB_OK) continue;
    CMemoryCanvas canvas(8, 8, paletteDisplay);
    dib.Draw(&canvas, 0, 0, 8, 8);
    if (dib.MakePixels()) dib.UpdateBitsFromPixels();
  }
  return 0;
}
