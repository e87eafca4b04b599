// How the tool's compression options become the codec's header records, and
// the words used to describe those records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "codec/TavixLib.h"
#include "tools/Status.h"

// Quality factor Q (1..50) <-> the 16.16 value stored in `target`:
// x = 1 + 49 ln(0.02 Q) / ln(0.02), so Q = 50 gives x = 1 and Q = 1 gives 50.
// Higher Q gives the better image and the larger file; 50 is the best.
int32_t QualityToTarget(double quality);
int TargetToQuality(int32_t target);

std::optional<uint16_t> WaveletFromName(const std::string& name);
std::optional<uint16_t> LayerFromName(const std::string& name);
bool IsReversibleWavelet(unsigned waveletType);

// Words for the header fields; unknown values give "unknown (N)".
std::string WaveletName(unsigned waveletType);
std::string CodingLayerName(unsigned codecType);
std::string ColorTypeName(int colorType);
std::string ModeName(unsigned mode);

// A .tvx file starts with a header of fixed size; the smallest whole file a
// size target can ask for holds it and one byte of body.
constexpr long long kTvxHeaderBytes = 56;
constexpr long long kMinTvxFileBytes = kTvxHeaderBytes + 1;

enum class RateMode { Default, FileSize, BitsPerPixel, Quality, Lossless };

// What the user asked for on the command line. The defaults are the
// application's: 9/7, standard layer, downsampling on, colour portion 10,
// quality 40 when no rate option is given.
struct CompressionChoice {
  RateMode rate = RateMode::Default;
  int64_t sizeBytes = 0;
  double bitsPerPixel = 0.0;
  double quality = 40.0;
  std::optional<uint16_t> wavelet;
  uint16_t layer = TXcodecStandard;
  bool downsampling = true;
  int colorPortion = 10;

  // True when any option other than the defaults was given.
  bool customised = false;
};

// The sample layout of the image to encode.
enum class SampleKind { Grey8, RGB24, Grey16, RGB48 };

// Fills both records for an image of the given size and kind.
Status BuildCompressionParams(const CompressionChoice& choice, int width, int height, SampleKind kind,
                              TXimageParams& image, TXcompressionParams& compression);
