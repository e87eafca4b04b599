#include "compression/CompressionSettings.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "codec/TavixLib.h"

namespace {

constexpr double kFixedOne = 65536.0;  // 1.0 in 16.16
constexpr double kMinQuality = 1.0;
constexpr double kMaxQuality = 50.0;
constexpr double kMinRatio = 2.0;
constexpr double kMaxRatio = 200.0;
constexpr uint32_t kMinFileSize = 32;

// The logarithmic scales are only defined for Q > 0; the dialogs keep Q in
// 1..50, and anything else (or NaN) is taken as the nearer end.
double ClampQuality(double quality) {
  if (!(quality >= kMinQuality))
    return kMinQuality;
  return std::min(quality, kMaxQuality);
}

// Integer part of a non-negative size, at least 32 bytes and at most what a
// 32-bit size can hold.
uint32_t FileSizeAtLeast32(double bytes) {
  if (!(bytes >= kMinFileSize))
    return kMinFileSize;
  if (bytes >= static_cast<double>(std::numeric_limits<uint32_t>::max()))
    return std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(bytes);
}

// floor(100 B / ratio) / 100 with the ratio's fraction dropped first, in
// integers: two decimals, truncated.
double BitsPerPixelForRatio(double ratio, int bits) {
  const long wholeRatio = std::max(1L, static_cast<long>(ratio));
  return static_cast<double>(100L * bits / wholeRatio) / 100.0;
}

struct FilterRow {
  int choice;
  int wavelet;
  int codec;
};

constexpr FilterRow kFilterRows[] = {
    {0, TXwavelet53, TXcodecFast},           {10, TXwavelet53, TXcodecFast},
    {11, TXwavelet53, TXcodecFastResolution}, {1, TXwavelet97, TXcodecStandard},
    {12, TXwavelet97, TXcodecStandard},      {2, TXwavelet97, TXcodecFast},
    {13, TXwavelet97, TXcodecFast},          {14, TXwavelet97, TXcodecFastResolution},
    {3, TXwavelet1810, TXcodecStandard},     {15, TXwavelet1810, TXcodecStandard},
    {4, TXwaveletMixed, TXcodecStandard},    {16, TXwaveletMixed, TXcodecStandard},
};

const FilterRow* FindRow(int choice) {
  for (const FilterRow& row : kFilterRows)
    if (row.choice == choice)
      return &row;
  return nullptr;
}

}  // namespace

long QualityToTarget(double quality) {
  const double x = 1.0 + 49.0 * std::log(0.02 * ClampQuality(quality)) / std::log(0.02);
  return static_cast<long>(x * kFixedOne);
}

int TargetToQuality(uint32_t target) {
  // 0.02^(...) lies in (0, 1.09] for every 32-bit target, so the cast is safe.
  const double exponent = (target / kFixedOne - 1.0) / 49.0;
  return static_cast<int>(50.0 * std::pow(0.02, exponent) + 0.5);
}

long QuantizerPreviewValue(double quality) {
  const double q = 2.0 + 48.0 * std::log(50.0 / ClampQuality(quality)) / std::log(25.0);
  return static_cast<long>(q * kFixedOne);
}

void MapFilterChoice(int choice, int& wavelet, int& codec) {
  if (const FilterRow* row = FindRow(choice)) {
    wavelet = row->wavelet;
    codec = row->codec;
  }
}

// The standard embedded coder always works with downsampled colour.
bool FilterChoiceForcesDownsampling(int choice) {
  const FilterRow* row = FindRow(choice);
  return row && row->codec == TXcodecStandard;
}

int RatioSliderPosition(double ratio) {
  const double bounded = std::clamp(std::isnan(ratio) ? 0.0 : ratio, 0.0, 1e9);
  return static_cast<int>(std::floor(std::sqrt(1000.0 * bounded) + 0.5));
}

FileSizeValues FromRatioSlider(int position, uint64_t rawSize, int bits) {
  FileSizeValues values;
  const double p = position;
  // Whole ratios 2..200 over the slider's range 45..447; kept there for any
  // position so that nothing below divides by zero.
  values.ratio = std::clamp(std::trunc(p * p * 0.001 + 0.5), kMinRatio, kMaxRatio);
  values.fileSize = FileSizeAtLeast32(std::trunc(rawSize / values.ratio));
  values.bitsPerPixel = BitsPerPixelForRatio(values.ratio, bits);
  return values;
}

FileSizeValues FromFileSize(uint32_t fileSize, uint64_t rawSize, int bits) {
  FileSizeValues values;
  // No file is smaller than 32 bytes; this also keeps a typed 0 from
  // dividing by zero (it ends at the ratio-200 limit like any tiny size).
  values.fileSize = std::max(fileSize, kMinFileSize);
  // 100 N in 64 bits: in 32 bits it wraps from about 42.9 million raw bytes.
  values.ratio = static_cast<double>(rawSize * 100u / values.fileSize) * 0.01;
  if (values.ratio < kMinRatio) {
    values.ratio = kMinRatio;
    values.fileSize = FileSizeAtLeast32(std::trunc(rawSize * 0.5));
  } else if (values.ratio > kMaxRatio) {
    values.ratio = kMaxRatio;
    values.fileSize = FileSizeAtLeast32(std::trunc(rawSize * 0.005));
  }
  values.bitsPerPixel = BitsPerPixelForRatio(values.ratio, bits);
  return values;
}

FileSizeValues FromRatio(double ratio, uint64_t rawSize, int bits) {
  FileSizeValues values;
  values.ratio = std::isnan(ratio) ? kMinRatio : std::clamp(ratio, kMinRatio, kMaxRatio);
  values.fileSize = FileSizeAtLeast32(std::trunc(rawSize / values.ratio));
  values.bitsPerPixel = BitsPerPixelForRatio(values.ratio, bits);
  return values;
}

FileSizeValues FromBitsPerPixel(double bitsPerPixel, uint64_t rawSize, int bits) {
  FileSizeValues values;
  values.bitsPerPixel = bitsPerPixel;
  // 0 (or less) bits per pixel would divide by zero: it asks for the
  // smallest file, like any value below the ratio-200 limit.
  const double hundredths = bitsPerPixel > 0 ? std::trunc(100.0 * bits / bitsPerPixel)
                                             : std::numeric_limits<double>::infinity();
  values.ratio = hundredths * 0.01;
  if (values.ratio < kMinRatio) {
    values.ratio = kMinRatio;
    values.bitsPerPixel = BitsPerPixelForRatio(kMinRatio, bits);
  } else if (values.ratio > kMaxRatio) {
    values.ratio = kMaxRatio;
    values.bitsPerPixel = BitsPerPixelForRatio(kMaxRatio, bits);
  }
  values.fileSize = FileSizeAtLeast32(std::trunc(rawSize / values.ratio));
  return values;
}
