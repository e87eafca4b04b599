#include "tools/Summary.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

// Interleaved samples of an image with the value they are scaled to.
struct Samples {
  std::vector<uint16_t> values;
  int planes = 0;
  int peak = 255;
};

bool SamplesOf(SourceImage& image, Samples& samples) {
  if (image.isWide) {
    samples.values = image.wide.samples;
    samples.planes = image.wide.planes;
    samples.peak = image.wide.maxValue;
    return true;
  }
  CDib& dib = image.dib;
  if (!dib.MakePixels()) return false;
  const size_t bytes = dib.GetPixelBytes();
  samples.values.assign(dib.GetPixels(), dib.GetPixels() + bytes);
  samples.planes = dib.PixelBytesPerPixel();
  dib.FreePixels();
  return true;
}

int Planes(const SourceImage& image) {
  if (image.isWide) return image.wide.planes;
  return image.dib.m_nColorType == DibGrey ? 1 : 3;
}

uint64_t RawBytes(const SourceImage& image) {
  const uint64_t pixels = static_cast<uint64_t>(image.Width()) * static_cast<uint64_t>(image.Height());
  return pixels * static_cast<uint64_t>(Planes(image)) * (image.isWide ? 2 : 1);
}

}  // namespace

std::optional<double> PeakSignalToNoise(SourceImage& original, SourceImage& decoded) {
  if (original.Width() != decoded.Width() || original.Height() != decoded.Height()) return std::nullopt;
  Samples a, b;
  if (!SamplesOf(original, a) || !SamplesOf(decoded, b)) return std::nullopt;
  if (a.values.size() != b.values.size() || a.planes != b.planes || a.values.empty()) return std::nullopt;
  double sum = 0.0;
  for (size_t i = 0; i < a.values.size(); ++i) {
    const double difference = static_cast<double>(a.values[i]) - b.values[i];
    sum += difference * difference;
  }
  if (sum == 0.0) return std::numeric_limits<double>::infinity();
  const double peak = a.peak;
  return 10.0 * std::log10(peak * peak * static_cast<double>(a.values.size()) / sum);
}

std::string SummaryLine(const std::string& inName, const std::string& outName, const SourceImage& source,
                        uint64_t outputBytes, std::optional<double> psnr) {
  const double pixels = static_cast<double>(source.Width()) * source.Height();
  const double bytes = static_cast<double>(outputBytes);
  char numbers[160];
  std::snprintf(numbers, sizeof numbers, "ratio %.2f : 1, %.3f bpp", bytes > 0 ? RawBytes(source) / bytes : 0.0,
                pixels > 0 ? bytes * 8.0 / pixels : 0.0);
  std::string line = inName + " -> " + outName + ": " + std::to_string(source.Width()) + " x " +
                     std::to_string(source.Height()) + ", " + std::to_string(source.fileSize) + " -> " +
                     std::to_string(outputBytes) + " bytes, " + numbers;
  if (psnr) {
    char text[48];
    if (std::isinf(*psnr))
      std::snprintf(text, sizeof text, ", PSNR infinite (identical)");
    else
      std::snprintf(text, sizeof text, ", PSNR %.2f dB", *psnr);
    line += text;
  }
  return line;
}

std::string BriefDescription(const SourceImage& source) {
  std::string text = std::string(FormatName(source.format)) + ", " + std::to_string(source.Width()) + " x " +
                     std::to_string(source.Height()) + ", ";
  if (source.isWide)
    return text + (source.wide.planes == 1 ? "Grey" : "RGB") + " 16 bit (maximum value " +
           std::to_string(source.wide.maxValue) + ")";
  switch (source.dib.m_nColorType) {
    case DibGrey: return text + "Grey " + std::to_string(source.dib.m_nBitsPerPlane) + " bit";
    case DibPaletteColor: return text + "Palette " + std::to_string(source.dib.m_nBitsPerPlane) + " bit";
    default: return text + "RGB " + std::to_string(source.dib.m_nPlanes * source.dib.m_nBitsPerPlane) + " bit";
  }
}
