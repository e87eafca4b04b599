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
  long compressedSize = -1;  // as the codec reports it; negative when unknown
  uint64_t fileSize = 0;
};

Status ReadTvxHeader(const std::string& path, TvxHeaderInfo& info);

// Every header field in words, one "name: value" per line.
std::string DescribeTvxHeader(const TvxHeaderInfo& info);

// 16-bit samples (colour types 3 and 4) to and from a .tvx stream. Grey
// samples are stored signed: the unsigned PGM value minus 32768. The maximum
// value travels in auxWord3 (0 for 65535) and bounds the decoded samples.
Status EncodeSamples(const SampleImage& image, const TXimageParams& imageParams,
                     const TXcompressionParams& compression, std::ostream& out, TXprogress* progress);
Status DecodeSamples(const std::string& path, SampleImage& image, TXprogress* progress,
                     uint64_t maxPixels = kDefaultMaxPixels);
