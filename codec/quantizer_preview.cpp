// In-place preview of what quality-mode compression does to a window of an
// image: colour conversion, forward transform, quantisation, and back. The
// entropy coder is lossless in quality mode, so this is exactly the image a
// file of these settings decodes to (for the window's own level count).
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
    return CoefficientsToPixels(planes, header, pixels, rowBytes);
  } catch (const std::bad_alloc&) {
    return TX_ERR_MEMORY;
  }
}
