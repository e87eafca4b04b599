// Builds a small image and codec settings from the input bytes, encodes,
// decodes, and checks that lossless files come back exactly and that every
// file decodes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "codec/TavixLib.h"

namespace {

class ByteReader {
public:
  ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  uint8_t Next() { return m_pos < m_size ? m_data[m_pos++] : 0; }
  size_t Remaining() const { return m_size - m_pos; }

private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

const uint16_t kCodecTypes[] = {0x01, 0x02, 0x42, 0x81, 0x82, 0xC2};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  ByteReader in(data, size);
  TXimageParams image;
  image.width = static_cast<uint16_t>(1 + in.Next() % 48);
  image.height = static_cast<uint16_t>(1 + in.Next() % 48);
  image.colorType = static_cast<int16_t>(in.Next() % 5);
  TXcompressionParams compression;
  compression.waveletType = static_cast<uint16_t>(in.Next() % 7);
  compression.codecType = kCodecTypes[in.Next() % 6];
  compression.mode = static_cast<uint16_t>(in.Next() % 3);
  compression.portion = static_cast<uint16_t>(60 + in.Next() % 40);
  const uint8_t targetByte = in.Next();
  const int planes = TXgetNumberOfPlanes(image.colorType);
  const int sampleBytes = TXgetBitsPerPlane(image.colorType) / 8;
  const long rowBytes = static_cast<long>(image.width) * planes * sampleBytes;
  const size_t rawBytes = static_cast<size_t>(rowBytes) * image.height;
  if (compression.mode == TXmodeQuality) compression.target = 65536 + targetByte * 12800;
  if (compression.mode == TXmodeFileSize) compression.target = static_cast<int32_t>(60 + rawBytes * targetByte / 255);

  // Pixels: the rest of the input, repeated.
  std::vector<unsigned char> pixels(rawBytes);
  const size_t rest = in.Remaining();
  for (size_t i = 0; i < rawBytes; ++i) pixels[i] = rest ? data[size - rest + i % rest] : 0;

  TXinit(4, nullptr);
  std::ostringstream out(std::ios::binary);
  TXjob* job = nullptr;
  int r = TXcompressionJob(job, out);
  if (r == TX_OK) r = TXwriteHeader(job, image, compression);
  if (r == TX_OK) r = TXwriteImage(job, pixels.data(), rowBytes, 0, nullptr);
  TXendJob(job);
  if (r != TX_OK) {
    TXterminate();
    return 0;
  }
  const std::string file = out.str();
  if (compression.mode == TXmodeFileSize && file.size() > static_cast<size_t>(compression.target)) std::abort();

  std::istringstream source(file, std::ios::binary);
  TXinputStream input(&source);
  std::vector<unsigned char> decoded(rawBytes);
  TXimageParams* readImage = nullptr;
  TXcompressionParams* readCompression = nullptr;
  r = TXdecompressionJob(job, input);
  if (r == TX_OK) r = TXreadHeader(job, readImage, readCompression);
  if (r == TX_OK) r = TXreadImage(job, decoded.data(), rowBytes, 0, nullptr);
  if (r != TX_OK) std::abort();  // the library must read what it wrote
  if (readImage->width != image.width || readCompression->mode != compression.mode) std::abort();
  if (compression.mode == TXmodeLossless && std::memcmp(decoded.data(), pixels.data(), rawBytes) != 0) std::abort();
  TXdisposeParams(readImage, readCompression);
  TXendJob(job);
  TXterminate();
  return 0;
}
