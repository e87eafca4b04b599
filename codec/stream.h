// The .tvx stream header: a fixed 56-byte block in front of the coded body.
// See FORMAT.md for the byte layout. Reading validates every field, so the
// rest of the decoder can trust the values it gets from here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/TavixLib.h"

namespace tavix {

constexpr size_t kHeaderBytes = 56;
constexpr uint8_t kFormatVersion = 1;
constexpr uint8_t kMagic[4] = {'T', 'V', 'X', 0x1A};

// Largest number of coefficients (width x height x planes) one job handles.
// Decoding keeps a few 32-bit copies of them, so this caps a job's working
// memory at a few GiB whatever a header claims.
constexpr uint64_t kMaxCodedSamples = uint64_t{1} << 28;
// Largest coded body the header may announce.
constexpr uint32_t kMaxBodyBytes = 0x7FFFFFFFu;

enum HeaderFlags : uint8_t {
  kFlagChromaReduced = 0x01,  // finest detail bands of the colour-difference planes are not coded
  kFlagIntegerPath = 0x02,    // reversible integer transform and colour conversion
};

struct StreamHeader {
  TXimageParams image;
  TXcompressionParams compression;
  int transformWavelet = 0;  // wavelet actually applied (may differ from compression.waveletType)
  int levels = 0;
  uint8_t flags = 0;
  int planes = 1;
  float step = 1.0f;          // quantiser step of the weighted coefficients
  uint32_t bodyBytes = 0;     // length of the coded body that follows the header
};

// Checks the two caller records as they would go into a header.
int ValidateParams(const TXimageParams& image, const TXcompressionParams& compression);

void SerializeHeader(const StreamHeader& header, uint8_t out[kHeaderBytes]);
// Returns TX_OK, TX_ERR_FORMAT (no magic), TX_ERR_UNSUPPORTED (newer
// version), TX_ERR_CORRUPT (damaged or inconsistent fields) or
// TX_ERR_TOO_LARGE.
int ParseHeader(const uint8_t in[kHeaderBytes], StreamHeader& header);

uint32_t Crc32(const uint8_t* data, size_t size);

// Bits per sample and planes of a colour type; -1 for an unknown type.
int BitsPerSample(int colorType);
int PlaneCount(int colorType);
// Coding layer of a codec word (0x80 ignored); 0 for an unknown word.
int LayerOfCodecType(int codecType);

}  // namespace tavix
