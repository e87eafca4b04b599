// Decodes arbitrary bytes as a .tvx stream through the public interface,
// once as a plain stream and twice through a preview stream with small
// transfers (full-size and smaller previews), so that previews and refills
// run on hostile data too.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "codec/TavixLib.h"

namespace {

class PreviewSink : public TXpreviewInputStream {
public:
  using TXpreviewInputStream::TXpreviewInputStream;
  bool previewReady() override { return true; }
};

void DecodeThrough(TXinputStream& input, bool preview) {
  TXjob* job = nullptr;
  if (TXdecompressionJob(job, input) != TX_OK) return;
  TXimageParams* image = nullptr;
  TXcompressionParams* compression = nullptr;
  if (TXreadHeader(job, image, compression) == TX_OK) {
    const long rowBytes = static_cast<long>(image->width) * TXgetNumberOfPlanes(image->colorType) *
                          (TXgetBitsPerPlane(image->colorType) / 8);
    const size_t bytes = static_cast<size_t>(rowBytes) * image->height;
    // Keep the fuzzer's memory small: large (valid) images are the codec
    // tests' business.
    if (bytes <= (size_t{1} << 22)) {
      std::vector<unsigned char> pixels(bytes);
      if (preview) {
        PreviewSink& sink = static_cast<PreviewSink&>(input);
        sink.setExternalBuffer(pixels.data(), image->width, image->height, rowBytes);
      }
      TXreadImage(job, pixels.data(), rowBytes, 0, nullptr);
      TXgetCompressedSize(job);
    }
  }
  TXdisposeParams(image, compression);
  TXendJob(job);
}

// Small transfers, and a preview wherever one is possible.
void DecodeWithPreviews(const std::string& bytes, int shownWidth, int shownHeight) {
  std::istringstream stream(bytes, std::ios::binary);
  PreviewSink input(&stream);
  input.setBuffer(64);
  input.setTransferSize(7);
  input.previewTuningBytes = 0;
  input.previewTuning[2] = 0.0f;
  input.previewShownWidth = shownWidth;
  input.previewShownHeight = shownHeight;
  DecodeThrough(input, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TXinit(4, nullptr);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    std::istringstream stream(bytes, std::ios::binary);
    TXinputStream input(&stream);
    DecodeThrough(input, false);
  }
  DecodeWithPreviews(bytes, 0, 0);
  // Previews shown smaller than the image: the coarser-level path, at a size
  // taken from the input so that every level count gets its turn.
  DecodeWithPreviews(bytes, size > 0 ? 1 + data[size - 1] % 64 : 1, size > 1 ? 1 + data[size - 2] % 64 : 1);
  TXterminate();
  return 0;
}
