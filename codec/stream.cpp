#include "codec/stream.h"

#include <array>
#include <cmath>
#include <cstring>

#include "codec/transform.h"

namespace tavix {
namespace {

// Byte offsets inside the header.
enum : size_t {
  kOffsetMagic = 0,
  kOffsetVersion = 4,
  kOffsetHeaderBytes = 5,
  kOffsetImage = 6,         // imageTag, width, height, colorType: 4 x 16 bits
  kOffsetCompression = 14,  // seven 16-bit words, then target, sizeMode, auxLong
  kOffsetTransform = 40,
  kOffsetLevels = 41,
  kOffsetFlags = 42,
  kOffsetPlanes = 43,
  kOffsetStep = 44,
  kOffsetBodyBytes = 48,
  kOffsetCrc = 52,
};

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

bool ValidCodecType(int codecType) {
  return LayerOfCodecType(codecType) != 0;
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) c = kCrcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

int BitsPerSample(int colorType) {
  switch (colorType) {
    case TXcolorGrey8: case TXcolorGrey8Alt: case TXcolorRGB24: return 8;
    case TXcolorGrey16: case TXcolorRGB48: return 16;
    default: return -1;
  }
}

int PlaneCount(int colorType) {
  switch (colorType) {
    case TXcolorGrey8: case TXcolorGrey8Alt: case TXcolorGrey16: return 1;
    case TXcolorRGB24: case TXcolorRGB48: return 3;
    default: return -1;
  }
}

int LayerOfCodecType(int codecType) {
  switch (codecType & ~TXcodecNoDownsampling) {
    case TXcodecStandard: return 1;
    case TXcodecFast: return 2;
    case TXcodecFastResolution: return 3;
    default: return 0;
  }
}

int ValidateParams(const TXimageParams& image, const TXcompressionParams& compression) {
  if (image.width < 1 || image.height < 1) return TX_ERR_ARGUMENT;
  if (PlaneCount(image.colorType) < 0) return TX_ERR_ARGUMENT;
  if (!IsValidWavelet(compression.waveletType)) return TX_ERR_ARGUMENT;
  if (!ValidCodecType(compression.codecType)) return TX_ERR_ARGUMENT;
  if (compression.mode > TXmodeLossless) return TX_ERR_ARGUMENT;
  if (compression.portion > 100) return TX_ERR_ARGUMENT;
  if (compression.mode == TXmodeQuality && (compression.target < 65536 || compression.target > 50 * 65536))
    return TX_ERR_ARGUMENT;
  const uint64_t samples = uint64_t{image.width} * image.height * PlaneCount(image.colorType);
  if (samples > kMaxCodedSamples) return TX_ERR_TOO_LARGE;
  return TX_OK;
}

void SerializeHeader(const StreamHeader& h, uint8_t out[kHeaderBytes]) {
  std::memset(out, 0, kHeaderBytes);
  std::memcpy(out + kOffsetMagic, kMagic, sizeof kMagic);
  out[kOffsetVersion] = kFormatVersion;
  out[kOffsetHeaderBytes] = static_cast<uint8_t>(kHeaderBytes);
  uint8_t* p = out + kOffsetImage;
  Put16(p, h.image.imageTag);
  Put16(p + 2, h.image.width);
  Put16(p + 4, h.image.height);
  Put16(p + 6, static_cast<uint16_t>(h.image.colorType));
  const TXcompressionParams& c = h.compression;
  p = out + kOffsetCompression;
  const uint16_t words[7] = {c.auxWord1, c.auxWord2, c.auxWord3, c.waveletType, c.codecType, c.portion, c.mode};
  for (int i = 0; i < 7; ++i) Put16(p + 2 * i, words[i]);
  Put32(p + 14, static_cast<uint32_t>(c.target));
  Put32(p + 18, static_cast<uint32_t>(c.sizeMode));
  Put32(p + 22, static_cast<uint32_t>(c.auxLong));
  out[kOffsetTransform] = static_cast<uint8_t>(h.transformWavelet);
  out[kOffsetLevels] = static_cast<uint8_t>(h.levels);
  out[kOffsetFlags] = h.flags;
  out[kOffsetPlanes] = static_cast<uint8_t>(h.planes);
  uint32_t stepBits;
  std::memcpy(&stepBits, &h.step, sizeof stepBits);
  Put32(out + kOffsetStep, stepBits);
  Put32(out + kOffsetBodyBytes, h.bodyBytes);
  Put32(out + kOffsetCrc, Crc32(out, kOffsetCrc));
}

int ParseHeader(const uint8_t in[kHeaderBytes], StreamHeader& h) {
  if (std::memcmp(in + kOffsetMagic, kMagic, sizeof kMagic) != 0) return TX_ERR_FORMAT;
  if (in[kOffsetVersion] != kFormatVersion) return TX_ERR_UNSUPPORTED;
  if (in[kOffsetHeaderBytes] != kHeaderBytes) return TX_ERR_CORRUPT;
  if (Get32(in + kOffsetCrc) != Crc32(in, kOffsetCrc)) return TX_ERR_CORRUPT;

  StreamHeader r;
  const uint8_t* p = in + kOffsetImage;
  r.image.imageTag = Get16(p);
  r.image.width = Get16(p + 2);
  r.image.height = Get16(p + 4);
  r.image.colorType = static_cast<int16_t>(Get16(p + 6));
  p = in + kOffsetCompression;
  TXcompressionParams& c = r.compression;
  c.auxWord1 = Get16(p);
  c.auxWord2 = Get16(p + 2);
  c.auxWord3 = Get16(p + 4);
  c.waveletType = Get16(p + 6);
  c.codecType = Get16(p + 8);
  c.portion = Get16(p + 10);
  c.mode = Get16(p + 12);
  c.target = static_cast<int32_t>(Get32(p + 14));
  c.sizeMode = static_cast<int32_t>(Get32(p + 18));
  c.auxLong = static_cast<int32_t>(Get32(p + 22));
  r.transformWavelet = in[kOffsetTransform];
  r.levels = in[kOffsetLevels];
  r.flags = in[kOffsetFlags];
  r.planes = in[kOffsetPlanes];
  const uint32_t stepBits = Get32(in + kOffsetStep);
  std::memcpy(&r.step, &stepBits, sizeof stepBits);
  r.bodyBytes = Get32(in + kOffsetBodyBytes);

  // Fields a writer of this format cannot produce mean damage.
  if (r.image.width < 1 || r.image.height < 1) return TX_ERR_CORRUPT;
  if (PlaneCount(r.image.colorType) < 0 || r.planes != PlaneCount(r.image.colorType)) return TX_ERR_CORRUPT;
  if (!IsValidWavelet(c.waveletType) || !ValidCodecType(c.codecType) || c.mode > TXmodeLossless)
    return TX_ERR_CORRUPT;
  if (!IsValidWavelet(r.transformWavelet)) return TX_ERR_CORRUPT;
  const bool integerPath = (r.flags & kFlagIntegerPath) != 0;
  if (integerPath != IsReversible(static_cast<Wavelet>(r.transformWavelet))) return TX_ERR_CORRUPT;
  if (c.mode == TXmodeLossless && (!integerPath || (r.flags & kFlagChromaReduced))) return TX_ERR_CORRUPT;
  if ((r.flags & ~(kFlagChromaReduced | kFlagIntegerPath)) != 0) return TX_ERR_CORRUPT;
  if (r.levels > kMaxTransformLevels) return TX_ERR_CORRUPT;
  if (!std::isfinite(r.step) || r.step <= 0.0f || r.step > 1.0e9f) return TX_ERR_CORRUPT;
  if (r.bodyBytes > kMaxBodyBytes) return TX_ERR_CORRUPT;
  const uint64_t samples = uint64_t{r.image.width} * r.image.height * r.planes;
  if (samples > kMaxCodedSamples) return TX_ERR_TOO_LARGE;
  h = r;
  return TX_OK;
}

}  // namespace tavix
