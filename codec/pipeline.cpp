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

// Each float plane is freed as soon as it is quantised.
void QuantisePlanes(std::vector<Plane<float>>& planes, const StreamHeader& h, std::vector<CoefficientPlane>& out) {
  out.resize(planes.size());
  for (size_t i = 0; i < planes.size(); ++i) {
    Quantise(planes[i].data.data(), planes[i].width, planes[i].height, PlaneQuantiser(h, static_cast<int>(i)),
             out[i]);
    planes[i].data = {};
  }
}

int EncodeFloatPath(const void* pixels, const PixelFormat& format, StreamHeader& h,
                    std::vector<CoefficientPlane>& out, const std::function<bool(double)>& progress, int threads) {
  std::vector<Plane<float>> planes;
  PixelsToPlanes(pixels, format, planes, threads);
  const Wavelet wavelet = static_cast<Wavelet>(h.transformWavelet);
  for (size_t i = 0; i < planes.size(); ++i) {
    ForwardTransform(ViewOf(planes[i]), h.levels, wavelet, threads);
    if (progress && !progress(double(i + 1) / planes.size())) return TX_ERR_ABORTED;
  }
  h.step = ChooseStep(h, planes);
  QuantisePlanes(planes, h, out);
  return TX_OK;
}

int EncodeIntegerPath(const void* pixels, const PixelFormat& format, StreamHeader& h,
                      std::vector<CoefficientPlane>& out, const std::function<bool(double)>& progress, int threads) {
  std::vector<Plane<int32_t>> planes;
  PixelsToPlanes(pixels, format, planes, threads);
  const Wavelet wavelet = static_cast<Wavelet>(h.transformWavelet);
  for (size_t i = 0; i < planes.size(); ++i) {
    ForwardTransform(ViewOf(planes[i]), h.levels, wavelet, threads);
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
                         const std::function<bool(double)>& progress, int threads) {
  PixelFormat format;
  if (!FormatForColorType(h.image.colorType, h.image.width, h.image.height, rowBytes, format))
    return TX_ERR_ARGUMENT;
  try {
    if (h.flags & kFlagIntegerPath) return EncodeIntegerPath(pixels, format, h, planes, progress, threads);
    return EncodeFloatPath(pixels, format, h, planes, progress, threads);
  } catch (const std::bad_alloc&) {
    return TX_ERR_MEMORY;
  }
}

namespace {

// The integer planes of a lossless stream: coefficients clamped, inverse
// transformed.
int LosslessPlanes(const PlaneSource& source, const StreamHeader& h, StopCheck* stop, int threads,
                   std::vector<Plane<int32_t>>& planes) {
  const Wavelet wavelet = static_cast<Wavelet>(h.transformWavelet);
  planes.resize(h.planes);
  for (int i = 0; i < h.planes; ++i) {
    CoefficientPlane coded;
    if (const int r = source.integers(i, coded); r != TX_OK) return r;
    planes[i].width = coded.width;
    planes[i].height = coded.height;
    planes[i].data = std::move(coded.data);
    for (int32_t& v : planes[i].data) v = std::clamp(v, -kMaxIntegerCoefficient, kMaxIntegerCoefficient);
    InverseTransform(ViewOf(planes[i]), h.levels, wavelet, stop, threads);
    if (stop && stop->Stopped()) return TX_ERR_ABORTED;
  }
  return TX_OK;
}

// Plane i dequantised into floats.
int DequantisedPlane(const PlaneSource& source, const StreamHeader& h, int i, Plane<float>& plane) {
  const QuantiserSettings settings = PlaneQuantiser(h, i);
  if (source.dequantised) {
    const CoefficientPlane shape = PlaneShapes(h)[static_cast<size_t>(i)];
    plane.width = shape.width;
    plane.height = shape.height;
    return source.dequantised(i, settings, plane.data);
  }
  CoefficientPlane coded;
  if (const int r = source.integers(i, coded); r != TX_OK) return r;
  plane.ResizeForOverwrite(coded.width, coded.height);
  Dequantise(coded, settings, plane.data.data());
  return TX_OK;
}

int LossyFloatPlanes(const PlaneSource& source, const StreamHeader& h, StopCheck* stop, int threads,
                     std::vector<Plane<float>>& planes) {
  const Wavelet wavelet = static_cast<Wavelet>(h.transformWavelet);
  planes.resize(h.planes);
  for (int i = 0; i < h.planes; ++i) {
    if (const int r = DequantisedPlane(source, h, i, planes[i]); r != TX_OK) return r;
    InverseTransform(ViewOf(planes[i]), h.levels, wavelet, stop, threads);
    if (stop && stop->Stopped()) return TX_ERR_ABORTED;
  }
  return TX_OK;
}

// Lossy streams of a reversible wavelet: dequantised, rounded to integers,
// inverse transformed with the integer filters.
int LossyIntegerPlanes(const PlaneSource& source, const StreamHeader& h, StopCheck* stop, int threads,
                       std::vector<Plane<int32_t>>& integers) {
  const Wavelet wavelet = static_cast<Wavelet>(h.transformWavelet);
  integers.resize(h.planes);
  for (int i = 0; i < h.planes; ++i) {
    Plane<float> plane;
    if (const int r = DequantisedPlane(source, h, i, plane); r != TX_OK) return r;
    integers[i].ResizeForOverwrite(plane.width, plane.height);
    const float limit = static_cast<float>(kMaxIntegerCoefficient);
    for (size_t k = 0; k < plane.data.size(); ++k)
      integers[i].data[k] = static_cast<int32_t>(std::lrintf(std::clamp(plane.data[k], -limit, limit)));
    plane.data = {};
    InverseTransform(ViewOf(integers[i]), h.levels, wavelet, stop, threads);
    if (stop && stop->Stopped()) return TX_ERR_ABORTED;
  }
  return TX_OK;
}

}  // namespace

int CoefficientsToPixels(const PlaneSource& source, const StreamHeader& h, void* pixels, long rowBytes,
                         StopCheck* stop, int threads) {
  PixelFormat format;
  if (!FormatForColorType(h.image.colorType, h.image.width, h.image.height, rowBytes, format))
    return TX_ERR_ARGUMENT;
  try {
    if (h.compression.mode == TXmodeLossless || (h.flags & kFlagIntegerPath)) {
      std::vector<Plane<int32_t>> planes;
      const int r = h.compression.mode == TXmodeLossless ? LosslessPlanes(source, h, stop, threads, planes)
                                                         : LossyIntegerPlanes(source, h, stop, threads, planes);
      if (r != TX_OK) return r;
      PlanesToPixels(planes, format, pixels, threads);
      return TX_OK;
    }
    std::vector<Plane<float>> planes;
    if (const int r = LossyFloatPlanes(source, h, stop, threads, planes); r != TX_OK) return r;
    PlanesToPixels(planes, format, pixels, threads);
    return TX_OK;
  } catch (const std::bad_alloc&) {
    return TX_ERR_MEMORY;
  }
}

int CoefficientsToPixels(const std::vector<CoefficientPlane>& coded, const StreamHeader& h, void* pixels,
                         long rowBytes, StopCheck* stop, int threads) {
  if (coded.size() != static_cast<size_t>(h.planes)) return TX_ERR_STATE;
  const PlaneSource copyOfPlane{[&coded](int i, CoefficientPlane& out) {
    out = coded[static_cast<size_t>(i)];
    return TX_OK;
  }, nullptr};
  return CoefficientsToPixels(copyOfPlane, h, pixels, rowBytes, stop, threads);
}

}  // namespace tavix
