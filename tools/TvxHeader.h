// Direct use of the codec where the image model cannot help: reading a .tvx
// header without decoding (info), and coding 16-bit samples, which the
// 8-bit image model does not hold.
#pragma once

#include <cstdint>
#include <string>

#include "codec/TavixLib.h"
#include "tools/Pnm16.h"
#include "image/Limits.h"
#include "tools/Status.h"

struct TvxHeaderInfo {
  TXimageParams image;
  TXcompressionParams compression;
  long compressedSize = -1;  // header and body as the header states them; negative when unknown
  uint64_t fileSize = 0;

  // The file ends before the body its header announces.
  bool Truncated() const { return compressedSize >= 0 && static_cast<uint64_t>(compressedSize) > fileSize; }
};

Status ReadTvxHeader(const std::string& path, TvxHeaderInfo& info);

// Every header field in words, one "name: value" per line.
std::string DescribeTvxHeader(const TvxHeaderInfo& info);

// What a person wants to know, one "name: value" per line: size, colour
// type, mode with quality or target, filter, layer, colour portion (colour
// images only), bits per pixel, ratio, and "truncated" with both sizes when
// the file is shorter than its header says.
std::string DescribeTvxForPeople(const TvxHeaderInfo& info);

// "'NAME' is truncated: ..." for a warning or an info line.
std::string TruncationText(uint64_t statedSize, uint64_t fileSize);

// 16-bit samples (colour types 3 and 4) to and from a .tvx stream. Grey
// samples are stored signed: the unsigned PGM value minus 32768. The maximum
// value travels in auxWord3 (0 for 65535) and bounds the decoded samples.
Status EncodeSamples(const SampleImage& image, const TXimageParams& imageParams,
                     const TXcompressionParams& compression, std::ostream& out, TXprogress* progress);
Status DecodeSamples(const std::string& path, SampleImage& image, TXprogress* progress,
                     uint64_t maxPixels = kDefaultMaxPixels);
