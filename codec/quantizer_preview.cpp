// In-place preview of what quality-mode compression does to a window of an
// image: colour conversion, forward transform, quantisation, and back. The
// entropy coder is lossless in quality mode, so inside the quality scale this
// is exactly the image a file of these settings decodes to (for the window's
// own level count); above it the preview coarsens further (for demonstrations).
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "codec/TavixLib.h"
#include "codec/pipeline.h"
#include "codec/stream.h"

using namespace tavix;

namespace {

// Smallest window: three transform levels with bands of at least 8 samples.
constexpr uint16_t kMinPreviewWindow = 64;
// The preview's own 16.16 quality scale: q = (2 + 48 ln(50 / Q) / ln 25) * 65536.
constexpr long kPreviewScaleBest = 131072;   // Q = 50
constexpr long kPreviewScaleWorst = 3954195;  // Q = 1

// Above the scale's worst end the preview goes on coarsening up to
// kPreviewScaleCoarsest, where the picture's largest coefficient keeps only
// kCoarsestCells quantiser cell: a few blobs of its strongest structure. The extra step factor is that end's
// factor raised to the square root of the position between the two ends:
// evenly spaced values then still change the look near both of them. Values
// inside the scale get factor 1: there the preview stays what a file decodes to.
constexpr long kPreviewScaleCoarsest = 3000L * 65536;
constexpr double kCoarsestCells = 1.0;

double CoarseningFactor(long quality16_16, const std::vector<CoefficientPlane>& planes) {
  if (quality16_16 <= kPreviewScaleWorst) return 1.0;
  int32_t largest = 0;
  for (const CoefficientPlane& plane : planes)
    for (int32_t v : plane.data) largest = std::max(largest, std::abs(v));
  const double widest = std::max(1.0, largest / kCoarsestCells);
  const double t = static_cast<double>(std::min(quality16_16, kPreviewScaleCoarsest) - kPreviewScaleWorst) /
                   (kPreviewScaleCoarsest - kPreviewScaleWorst);
  return std::pow(widest, std::sqrt(t));
}

// Quantises already quantised planes by a further factor (> 1): each value
// is taken at its reconstruction point and cut again into cells f times wider.
void Coarsen(std::vector<CoefficientPlane>& planes, StreamHeader& header, double factor) {
  for (CoefficientPlane& plane : planes)
    for (int32_t& v : plane.data) {
      const int32_t magnitude = static_cast<int32_t>((std::abs(v) + 0.375) / factor);
      v = v < 0 ? -magnitude : magnitude;
    }
  header.step = static_cast<float>(header.step * factor);
}

// Quality factor Q (1..50) of a preview scale value.
double PreviewQuality(long quality16_16) {
  const double q = std::clamp(quality16_16, kPreviewScaleBest, kPreviewScaleWorst) / 65536.0;
  return 50.0 / std::exp((q - 2.0) * std::log(25.0) / 48.0);
}

// The file's quality value x (16.16) for a quality factor Q.
int32_t QualityTarget(double quality) {
  const double x = 1.0 + 49.0 * std::log(0.02 * quality) / std::log(0.02);
  return static_cast<int32_t>(std::clamp(x, 1.0, 50.0) * 65536.0);
}

bool ValidWindowArguments(int width, int height, int bytesPerPixel, int waveletType, int codecType) {
  return width >= 1 && height >= 1 && width <= 65535 && height <= 65535 &&
         (bytesPerPixel == 1 || bytesPerPixel == 3) && waveletType >= 0 && waveletType < kWaveletCount &&
         LayerOfCodecType(codecType) != 0;
}

}  // namespace

int TXquantizerPreviewSize(int width, int height, int bytesPerPixel, int waveletType, int codecType,
                           uint16_t& outWidth, uint16_t& outHeight) {
  if (!ValidWindowArguments(width, height, bytesPerPixel, waveletType, codecType)) return TX_ERR_ARGUMENT;
  outWidth = kMinPreviewWindow;
  outHeight = kMinPreviewWindow;
  return TX_OK;
}

int TXquantizerPreview(unsigned char* pixels, int width, int height, int bytesPerPixel, long rowBytes, int,
                       int waveletType, int codecType, long quality16_16, int portion) {
  if (pixels == nullptr || !ValidWindowArguments(width, height, bytesPerPixel, waveletType, codecType))
    return TX_ERR_ARGUMENT;
  if (rowBytes < static_cast<long>(width) * bytesPerPixel || portion < 0 || portion > 100) return TX_ERR_ARGUMENT;
  StreamHeader header;
  header.image.width = static_cast<uint16_t>(width);
  header.image.height = static_cast<uint16_t>(height);
  header.image.colorType = bytesPerPixel == 1 ? TXcolorGrey8 : TXcolorRGB24;
  // The convolution and lifting forms of 9/7 give the same coefficients;
  // the preview takes the faster one.
  if (waveletType == TXwavelet97) waveletType = TXwavelet97Lifting;
  header.compression.waveletType = static_cast<uint16_t>(waveletType);
  header.compression.codecType = static_cast<uint16_t>(codecType);
  header.compression.portion = static_cast<uint16_t>(portion);
  header.compression.mode = TXmodeQuality;
  header.compression.target = QualityTarget(PreviewQuality(quality16_16));
  if (ValidateParams(header.image, header.compression) != TX_OK) return TX_ERR_ARGUMENT;
  PlanHeader(header);
  try {
    std::vector<CoefficientPlane> planes;
    const int r = PixelsToCoefficients(pixels, rowBytes, header, planes, {});
    if (r != TX_OK) return r;
    const double factor = CoarseningFactor(quality16_16, planes);
    if (factor > 1.0) Coarsen(planes, header, factor);
    return CoefficientsToPixels(planes, header, pixels, rowBytes);
  } catch (const std::bad_alloc&) {
    return TX_ERR_MEMORY;
  }
}
