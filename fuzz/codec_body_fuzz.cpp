// Feeds untrusted bytes to the embedded coder's decoder.
//
// Byte 0: bits 0-1 layer, bits 2-3 plane count - 1, bit 7 round-trip mode.
// Then three bytes per plane: width - 1, height - 1 (both below 64) and
// levels (below 6). In decode mode the rest is a coded body; in round-trip
// mode the rest gives coefficients that must come back exactly, and a budget
// that the coded stream must respect.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codec/bitplane.h"

namespace {

using namespace tavix;

class FuzzSource : public ByteSource {
public:
  FuzzSource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  PlaneDecoder* decoder = nullptr;
  int NextByte(uint8_t& byte) override {
    if (m_pos % 64 == 63 && decoder) {
      std::vector<CoefficientPlane> preview;
      decoder->Reconstruct(preview);
    }
    if (m_pos >= m_size) return 0;
    byte = m_data[m_pos++];
    return 1;
  }

private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

void RoundTrip(std::vector<CoefficientPlane> planes, CodingLayer layer, const uint8_t* data, size_t size) {
  size_t pos = 0;
  for (auto& plane : planes)
    for (auto& v : plane.data) {
      if (pos + 2 > size) break;
      const int shift = data[pos] & 31;
      v = static_cast<int32_t>((static_cast<uint32_t>(data[pos + 1]) << shift) >> 1) * ((data[pos] & 32) ? -1 : 1);
      pos += 2;
    }
  EncodeSettings settings;
  settings.layer = layer;
  std::vector<uint8_t> coded;
  if (EncodePlanes(planes, settings, coded) != 0) abort();
  std::vector<CoefficientPlane> shapes = planes;
  PlaneDecoder decoder(shapes, layer);
  FuzzSource source(coded.data(), coded.size());
  if (decoder.Run(source, nullptr) != 0) abort();
  std::vector<CoefficientPlane> back;
  decoder.Reconstruct(back);
  for (size_t c = 0; c < planes.size(); ++c)
    if (back[c].data != planes[c].data) abort();
  settings.byteBudget = size > 0 ? data[0] * 3u : 0;
  if (EncodePlanes(planes, settings, coded) != 0 || coded.size() > settings.byteBudget) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const CodingLayer layer = static_cast<CodingLayer>(1 + (data[0] & 3) % 3);
  const int count = 1 + ((data[0] >> 2) & 3);
  const bool roundTrip = (data[0] & 0x80) != 0;
  if (size < 1 + 3u * count) return 0;
  std::vector<CoefficientPlane> shapes(count);
  for (int c = 0; c < count; ++c) {
    shapes[c].width = 1 + data[1 + 3 * c] % 64;
    shapes[c].height = 1 + data[2 + 3 * c] % 64;
    shapes[c].levels = data[3 + 3 * c] % 6;
    shapes[c].data.assign(static_cast<size_t>(shapes[c].width) * shapes[c].height, 0);
  }
  data += 1 + 3 * count;
  size -= 1 + 3 * count;
  if (roundTrip) {
    RoundTrip(shapes, layer, data, size);
    return 0;
  }
  PlaneDecoder decoder(shapes, layer);
  FuzzSource source(data, size);
  source.decoder = &decoder;
  const int result = decoder.Run(source, [](size_t) { return PassAction::Continue; });
  if (result != 0 && result != -6) abort();
  std::vector<CoefficientPlane> out;
  decoder.Reconstruct(out);
  return 0;
}
