#include "codec/pipeline.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace tavix {
namespace {

// Decoded integer coefficients are clamped to this magnitude before the
// inverse integer transforms: no valid stream comes near it (16-bit samples
// grow by a few bits at most), and since the inverse lifting steps grow values
// only additively, it keeps damaged data from overflowing the
// transforms' integer sums.
constexpr int32_t kMaxIntegerCoefficient = 1 << 22;

bool IsColourDifference(const StreamHeader& h, int index) { return h.planes == 3 && index > 0; }

template <typename Sample>
PlaneView<Sample> ViewOf(Plane<Sample>& plane) {
  return PlaneView<Sample>{plane.data.data(), plane.width, plane.height, plane.width};
}

float ChooseStep(const StreamHeader& h, const std::vector<Plane<float>>& planes) {
  const int bits = BitsPerSample(h.image.colorType);
  if (h.compression.mode == TXmodeQuality) return QualityStep(h.compression.target, bits);
  const Wavelet wavelet = static_cast<Wavelet>(h.transformWavelet);
  double largest = 0.0;
  for (size_t i = 0; i < planes.size(); ++i) {
    const QuantiserSettings s = PlaneQuantiser(h, static_cast<int>(i));
    largest = std::max(largest, LargestWeighted(planes[i].data.data(), planes[i].width, planes[i].height, wavelet,
                                                h.levels) * s.planeFactor);
  }
  return FineStep(bits, largest);
}

void QuantisePlanes(const std::vector<Plane<float>>& planes, const StreamHeader& h,
                    std::vector<CoefficientPlane>& out) {
  out.resize(planes.size());
  for (size_t i = 0; i < planes.size(); ++i)
    Quantise(planes[i].data.data(), planes[i].width, planes[i].height, PlaneQuantiser(h, static_cast<int>(i)),
             out[i]);
}

int EncodeFloatPath(const void* pixels, const PixelFormat& format, StreamHeader& h,
                    std::vector<CoefficientPlane>& out, const std::function<bool(double)>& progress) {
  std::vector<Plane<float>> planes;
  PixelsToPlanes(pixels, format, planes);
  const Wavelet wavelet = static_cast<Wavelet>(h.transformWavelet);
  for (size_t i = 0; i < planes.size(); ++i) {
    ForwardTransform(ViewOf(planes[i]), h.levels, wavelet);
    if (progress && !progress(double(i + 1) / planes.size())) return TX_ERR_ABORTED;
  }
  h.step = ChooseStep(h, planes);
  QuantisePlanes(planes, h, out);
  return TX_OK;
}

int EncodeIntegerPath(const void* pixels, const PixelFormat& format, StreamHeader& h,
                      std::vector<CoefficientPlane>& out, const std::function<bool(double)>& progress) {
  std::vector<Plane<int32_t>> planes;
  PixelsToPlanes(pixels, format, planes);
  const Wavelet wavelet = static_cast<Wavelet>(h.transformWavelet);
  for (size_t i = 0; i < planes.size(); ++i) {
    ForwardTransform(ViewOf(planes[i]), h.levels, wavelet);
    if (progress && !progress(double(i + 1) / planes.size())) return TX_ERR_ABORTED;
  }
  if (h.compression.mode == TXmodeLossless) {
    h.step = 1.0f;
    out.resize(planes.size());
    for (size_t i = 0; i < planes.size(); ++i) {
      out[i].width = planes[i].width;
      out[i].height = planes[i].height;
      out[i].levels = h.levels;
      out[i].data = std::move(planes[i].data);
    }
    return TX_OK;
  }
  // Lossy use of a reversible wavelet: quantise its integer coefficients.
  std::vector<Plane<float>> floats(planes.size());
  for (size_t i = 0; i < planes.size(); ++i) {
    floats[i].width = planes[i].width;
    floats[i].height = planes[i].height;
    floats[i].data.assign(planes[i].data.begin(), planes[i].data.end());
    planes[i].data.clear();
    planes[i].data.shrink_to_fit();
  }
  h.step = ChooseStep(h, floats);
  QuantisePlanes(floats, h, out);
  return TX_OK;
}

}  // namespace

void PlanHeader(StreamHeader& h) {
  const TXcompressionParams& c = h.compression;
  h.planes = PlaneCount(h.image.colorType);
  const Wavelet requested = static_cast<Wavelet>(c.waveletType);
  // Lossless coding needs an exact inverse: lossy wavelets give way to 5/3.
  h.transformWavelet = (c.mode == TXmodeLossless && !IsReversible(requested)) ? static_cast<int>(Wavelet::LeGall53)
                                                                              : c.waveletType;
  h.levels = LevelsFor(h.image.width, h.image.height);
  h.flags = 0;
  if (IsReversible(static_cast<Wavelet>(h.transformWavelet))) h.flags |= kFlagIntegerPath;
  if (h.planes == 3 && c.mode != TXmodeLossless && !(c.codecType & TXcodecNoDownsampling) && h.levels > 0)
    h.flags |= kFlagChromaReduced;
}

QuantiserSettings PlaneQuantiser(const StreamHeader& h, int index) {
  QuantiserSettings s;
  s.wavelet = static_cast<Wavelet>(h.transformWavelet);
  s.levels = h.levels;
  s.step = h.step;
  if (IsColourDifference(h, index)) {
    s.planeFactor = ChromaFactor(h.compression.portion);
    s.dropFinestDetail = (h.flags & kFlagChromaReduced) != 0;
  }
  return s;
}

std::vector<CoefficientPlane> PlaneShapes(const StreamHeader& h) {
  std::vector<CoefficientPlane> shapes(h.planes);
  for (auto& s : shapes) {
    s.width = h.image.width;
    s.height = h.image.height;
    s.levels = h.levels;
  }
  return shapes;
}

int PixelsToCoefficients(const void* pixels, long rowBytes, StreamHeader& h, std::vector<CoefficientPlane>& planes,
                         const std::function<bool(double)>& progress) {
  PixelFormat format;
  if (!FormatForColorType(h.image.colorType, h.image.width, h.image.height, rowBytes, format))
    return TX_ERR_ARGUMENT;
  try {
    if (h.flags & kFlagIntegerPath) return EncodeIntegerPath(pixels, format, h, planes, progress);
    return EncodeFloatPath(pixels, format, h, planes, progress);
  } catch (const std::bad_alloc&) {
    return TX_ERR_MEMORY;
  }
}

int CoefficientsToPixels(const std::vector<CoefficientPlane>& coded, const StreamHeader& h, void* pixels,
                         long rowBytes, StopCheck* stop) {
  PixelFormat format;
  if (!FormatForColorType(h.image.colorType, h.image.width, h.image.height, rowBytes, format))
    return TX_ERR_ARGUMENT;
  if (coded.size() != static_cast<size_t>(h.planes)) return TX_ERR_STATE;
  const Wavelet wavelet = static_cast<Wavelet>(h.transformWavelet);
  auto stopped = [stop] { return stop && stop->Stopped(); };
  try {
    if (h.compression.mode == TXmodeLossless) {
      std::vector<Plane<int32_t>> planes(coded.size());
      for (size_t i = 0; i < coded.size(); ++i) {
        planes[i].width = coded[i].width;
        planes[i].height = coded[i].height;
        planes[i].data.resize(coded[i].data.size());
        for (size_t k = 0; k < coded[i].data.size(); ++k)
          planes[i].data[k] = std::clamp(coded[i].data[k], -kMaxIntegerCoefficient, kMaxIntegerCoefficient);
        InverseTransform(ViewOf(planes[i]), h.levels, wavelet, stop);
        if (stopped()) return TX_ERR_ABORTED;
      }
      PlanesToPixels(planes, format, pixels);
      return TX_OK;
    }
    std::vector<Plane<float>> planes(coded.size());
    for (size_t i = 0; i < coded.size(); ++i) {
      if (stopped()) return TX_ERR_ABORTED;
      planes[i].Resize(coded[i].width, coded[i].height);
      Dequantise(coded[i], PlaneQuantiser(h, static_cast<int>(i)), planes[i].data.data());
    }
    if (!(h.flags & kFlagIntegerPath)) {
      for (auto& plane : planes) {
        InverseTransform(ViewOf(plane), h.levels, wavelet, stop);
        if (stopped()) return TX_ERR_ABORTED;
      }
      PlanesToPixels(planes, format, pixels);
      return TX_OK;
    }
    std::vector<Plane<int32_t>> integers(planes.size());
    for (size_t i = 0; i < planes.size(); ++i) {
      integers[i].Resize(planes[i].width, planes[i].height);
      for (size_t k = 0; k < planes[i].data.size(); ++k) {
        const float limit = static_cast<float>(kMaxIntegerCoefficient);
        const float v = std::clamp(planes[i].data[k], -limit, limit);
        integers[i].data[k] = static_cast<int32_t>(std::lrintf(v));
      }
      planes[i].data = {};
      InverseTransform(ViewOf(integers[i]), h.levels, wavelet, stop);
      if (stopped()) return TX_ERR_ABORTED;
    }
    PlanesToPixels(integers, format, pixels);
    return TX_OK;
  } catch (const std::bad_alloc&) {
    return TX_ERR_MEMORY;
  }
}

}  // namespace tavix
