#include "tools/CodecSettings.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

struct NamedValue {
  const char* name;
  uint16_t value;
};

constexpr NamedValue kWaveletOptions[] = {
    {"9/7", TXwavelet97},  {"18/10", TXwavelet1810},         {"mixed", TXwaveletMixed}, {"sp", TXwaveletSP},
    {"9/7-lifted", TXwavelet97Lifting}, {"ts", TXwaveletTS}, {"5/3", TXwavelet53},
};

constexpr NamedValue kLayerOptions[] = {
    {"standard", TXcodecStandard},
    {"fast", TXcodecFast},
    {"fast-res", TXcodecFastResolution},
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Unknown(long value) { return "unknown (" + std::to_string(value) + ")"; }

constexpr double kLn002 = -3.912023005428146;  // ln(0.02)

}  // namespace

int32_t QualityToTarget(double quality) {
  const double x = 1.0 + 49.0 * std::log(0.02 * quality) / kLn002;
  return static_cast<int32_t>(x * 65536.0);
}

int TargetToQuality(int32_t target) {
  const double x = static_cast<double>(static_cast<uint32_t>(target)) / 65536.0;
  return static_cast<int>(50.0 * std::pow(0.02, (x - 1.0) / 49.0) + 0.5);
}

std::optional<uint16_t> WaveletFromName(const std::string& name) {
  const std::string key = Lower(name);
  for (const NamedValue& entry : kWaveletOptions)
    if (key == entry.name) return entry.value;
  return std::nullopt;
}

std::optional<uint16_t> LayerFromName(const std::string& name) {
  const std::string key = Lower(name);
  for (const NamedValue& entry : kLayerOptions)
    if (key == entry.name) return entry.value;
  return std::nullopt;
}

bool IsReversibleWavelet(unsigned waveletType) {
  return waveletType == TXwaveletSP || waveletType == TXwaveletTS || waveletType == TXwavelet53;
}

std::string WaveletName(unsigned waveletType) {
  switch (waveletType) {
    case TXwavelet97: return "9/7 Filter";
    case TXwavelet1810: return "18/10 Filter";
    case TXwaveletMixed: return "Mixed Filter";
    case TXwaveletSP: return "SP Transformation";
    case TXwavelet97Lifting: return "9/7 Lifted Filter";
    case TXwaveletTS: return "TS Transformation";
    case TXwavelet53: return "5/3 Filter";
    default: return Unknown(waveletType);
  }
}

std::string CodingLayerName(unsigned codecType) {
  std::string name;
  const unsigned layer = codecType & 0x7F;
  if (layer == TXcodecStandard)
    name = "Standard Embedded Progressive";
  else if (layer == TXcodecFast)
    name = "Fast Embedded Progressive";
  else if (layer == TXcodecFastResolution)
    name = "Fast Resolution Progressive";
  else
    name = Unknown(layer);
  name += (codecType & TXcodecNoDownsampling) ? ", no colour downsampling" : ", colour downsampling";
  return name;
}

std::string ColorTypeName(int colorType) {
  switch (colorType) {
    case TXcolorGrey8:
    case TXcolorGrey8Alt: return "Grayscale (8 bit)";
    case TXcolorRGB24: return "True Color (24 bit)";
    case TXcolorGrey16: return "Grayscale (16 bit)";
    case TXcolorRGB48: return "True Color (48 bit)";
    default: return Unknown(colorType);
  }
}

std::string ModeName(unsigned mode) {
  switch (mode) {
    case TXmodeFileSize: return "File Size";
    case TXmodeQuality: return "Quality";
    case TXmodeLossless: return "Lossless";
    default: return Unknown(mode);
  }
}

namespace {

int16_t ColorTypeFor(SampleKind kind) {
  switch (kind) {
    case SampleKind::Grey8: return TXcolorGrey8;
    case SampleKind::RGB24: return TXcolorRGB24;
    case SampleKind::Grey16: return TXcolorGrey16;
    case SampleKind::RGB48: return TXcolorRGB48;
  }
  return TXcolorGrey8;
}

// A size target below the smallest file: says what the option gave and
// what it takes.
Status TooSmall(const CompressionChoice& choice, int64_t bytes, int width, int height) {
  std::string text = "the target of " + std::to_string(bytes) + " bytes is too small: the smallest .tvx file is " +
                     std::to_string(kMinTvxFileBytes) + " bytes";
  if (choice.rate == RateMode::BitsPerPixel) {
    // Bits per pixel that give at least the minimum, rounded up to 4 decimals.
    const double pixels = static_cast<double>(width) * height;
    const double minimum = std::ceil(kMinTvxFileBytes * 8.0 / pixels * 10000.0) / 10000.0;
    char number[32];
    std::snprintf(number, sizeof number, "%.6g", minimum);
    text += ", --bpp " + std::string(number) + " or more for " + std::to_string(width) + " x " +
            std::to_string(height) + " pixels";
  }
  return Status::Fail(text);
}

Status SetRate(const CompressionChoice& choice, int width, int height, TXcompressionParams& compression) {
  int64_t bytes = 0;
  switch (choice.rate) {
    case RateMode::FileSize:
      bytes = choice.sizeBytes;
      break;
    case RateMode::BitsPerPixel:
      bytes = static_cast<int64_t>(choice.bitsPerPixel * static_cast<double>(width) * height / 8.0);
      break;
    case RateMode::Default:
    case RateMode::Quality:
      compression.mode = TXmodeQuality;
      compression.target = QualityToTarget(choice.rate == RateMode::Default ? 40.0 : choice.quality);
      compression.sizeMode = 0;
      compression.auxLong = 4000;
      return Status::Ok();
    case RateMode::Lossless:
      compression.mode = TXmodeLossless;
      compression.target = 0;
      compression.portion = 90;
      compression.sizeMode = 0;
      compression.auxLong = 4000;
      return Status::Ok();
  }
  if (bytes < kMinTvxFileBytes) return TooSmall(choice, bytes, width, height);
  if (bytes > std::numeric_limits<int32_t>::max()) return Status::Fail("the target file size is too large");
  compression.mode = TXmodeFileSize;
  compression.target = static_cast<int32_t>(bytes);
  compression.sizeMode = 1;
  compression.auxLong = 0;
  return Status::Ok();
}

}  // namespace

Status BuildCompressionParams(const CompressionChoice& choice, int width, int height, SampleKind kind,
                              TXimageParams& image, TXcompressionParams& compression) {
  if (width < 1 || height < 1 || width > 65535 || height > 65535)
    return Status::Fail("the image is " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels; the codec takes 1 to 65535 in each direction");

  const bool lossless = choice.rate == RateMode::Lossless;
  uint16_t wavelet = choice.wavelet.value_or(lossless ? TXwaveletSP : TXwavelet97);
  if (lossless && !IsReversibleWavelet(wavelet))
    return Status::Fail("lossless compression needs a reversible wavelet (sp, ts or 5/3), not " +
                        WaveletName(wavelet));

  TXimageParams newImage;
  TXcompressionParams newCompression;
  newImage.imageTag = image.imageTag;
  newImage.width = static_cast<uint16_t>(width);
  newImage.height = static_cast<uint16_t>(height);
  newImage.colorType = ColorTypeFor(kind);

  newCompression.auxWord1 = compression.auxWord1;
  newCompression.waveletType = wavelet;
  newCompression.codecType = static_cast<uint16_t>(choice.layer | (choice.downsampling ? 0 : TXcodecNoDownsampling));
  newCompression.portion = static_cast<uint16_t>(100 - choice.colorPortion);
  Status status = SetRate(choice, width, height, newCompression);
  if (!status.ok()) return status;

  image = newImage;
  compression = newCompression;
  return Status::Ok();
}
