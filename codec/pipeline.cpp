#include "codec/pipeline.h"

#include <algorithm>
#include <bit>
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

// Bits the samples really use: 16-bit streams may say in auxWord3 that
// their samples stop at a smaller maximum (12-bit data, say); the quantiser
// steps follow that depth, so that a quality value means the same for them
// as for full-range samples. Only the encoder asks: the step is in the
// header.
int SampleBits(const StreamHeader& h) {
  const int bits = BitsPerSample(h.image.colorType);
  const int maxValue = h.compression.auxWord3;
  if (bits != 16 || maxValue == 0) return bits;
  return std::max(8, static_cast<int>(std::bit_width(static_cast<unsigned>(maxValue))));
}

// Hands over transformed float planes one at a time with the step they are
// quantised with. Quality mode knows its step; file-size mode takes a fine
// step unless some plane's largest weighted coefficient would then exceed
// the coder's range. Only known once that plane is transformed, so a plane
// that needs a coarser step restarts the sink (this needs coefficients far
// beyond any real image's).
class FloatPlaneFeed {
public:
  FloatPlaneFeed(StreamHeader& h, const CoefficientSink& sink) : m_h(h), m_sink(sink) {
    const int bits = SampleBits(h);
    m_sizeMode = h.compression.mode != TXmodeQuality;
    m_h.step = m_sizeMode ? FineStep(bits, 0.0) : QualityStep(h.compression.target, bits);
  }
  // TX_OK, an error of the sink, or kRestart when the planes so far must
  // be made again.
  static constexpr int kRestart = 1;
  int Take(int index, const Plane<float>& plane) {
    if (m_sizeMode) {
      const QuantiserSettings s = PlaneQuantiser(m_h, index);
      m_largest = std::max(m_largest, LargestWeighted(plane.data.data(), plane.width, plane.height, s.wavelet,
                                                      s.levels) * s.planeFactor);
      const float needed = FineStep(SampleBits(m_h), m_largest);
      if (needed > m_h.step) {
        m_h.step = needed;
        if (index > 0) {
          if (m_sink.restart) m_sink.restart();
          return kRestart;
        }
      }
    }
    return m_sink.floats(plane, PlaneQuantiser(m_h, index));
  }

private:
  StreamHeader& m_h;
  const CoefficientSink& m_sink;
  bool m_sizeMode = false;
  double m_largest = 0.0;
};

int EncodeFloatPath(const void* pixels, const PixelFormat& format, StreamHeader& h, const CoefficientSink& sink,
                    const std::function<bool(double)>& progress, int threads) {
  const Wavelet wavelet = static_cast<Wavelet>(h.transformWavelet);
  FloatPlaneFeed feed(h, sink);
  // One block serves every plane in turn: the coder has taken the previous
  // one, and memory already mapped costs no page clearing.
  Plane<float> plane;
  for (int i = 0; i < h.planes; ++i) {
    PixelsToPlane(pixels, format, i, plane, threads);
    ForwardTransform(ViewOf(plane), h.levels, wavelet, threads);
    if (progress && !progress(double(i + 1) / h.planes)) return TX_ERR_ABORTED;
    const int r = feed.Take(i, plane);
    if (r == FloatPlaneFeed::kRestart) i = -1;
    else if (r != TX_OK) return r;
  }
  return TX_OK;
}

int EncodeIntegerPath(const void* pixels, const PixelFormat& format, StreamHeader& h, const CoefficientSink& sink,
                      const std::function<bool(double)>& progress, int threads) {
  std::vector<Plane<int32_t>> planes;
  PixelsToPlanes(pixels, format, planes, threads);
  const Wavelet wavelet = static_cast<Wavelet>(h.transformWavelet);
  const bool lossless = h.compression.mode == TXmodeLossless;
  if (lossless) h.step = 1.0f;
  // Lossy use of a reversible wavelet quantises its integer coefficients as
  // floats; file-size mode may need them all again after a restart.
  std::vector<Plane<float>> transformed(lossless ? 0 : planes.size());
  for (size_t i = 0; i < planes.size(); ++i) {
    ForwardTransform(ViewOf(planes[i]), h.levels, wavelet, threads);
    if (progress && !progress(double(i + 1) / planes.size())) return TX_ERR_ABORTED;
    if (lossless) {
      CoefficientPlane out;
      out.width = planes[i].width;
      out.height = planes[i].height;
      out.levels = h.levels;
      out.data = std::move(planes[i].data);
      if (const int r = sink.integers(std::move(out)); r != TX_OK) return r;
      continue;
    }
    transformed[i].width = planes[i].width;
    transformed[i].height = planes[i].height;
    transformed[i].data.assign(planes[i].data.begin(), planes[i].data.end());
    planes[i].data = {};
  }
  if (lossless) return TX_OK;
  FloatPlaneFeed feed(h, sink);
  for (int i = 0; i < h.planes; ++i) {
    const int r = feed.Take(i, transformed[i]);
    if (r == FloatPlaneFeed::kRestart) i = -1;
    else if (r != TX_OK) return r;
  }
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

int PixelsToCoefficients(const void* pixels, long rowBytes, StreamHeader& h, const CoefficientSink& sink,
                         const std::function<bool(double)>& progress, int threads) {
  PixelFormat format;
  if (!FormatForColorType(h.image.colorType, h.image.width, h.image.height, rowBytes, format))
    return TX_ERR_ARGUMENT;
  try {
    if (h.flags & kFlagIntegerPath) return EncodeIntegerPath(pixels, format, h, sink, progress, threads);
    return EncodeFloatPath(pixels, format, h, sink, progress, threads);
  } catch (const std::bad_alloc&) {
    return TX_ERR_MEMORY;
  }
}

int PixelsToCoefficients(const void* pixels, long rowBytes, StreamHeader& h, std::vector<CoefficientPlane>& planes,
                         const std::function<bool(double)>& progress, int threads) {
  planes.clear();
  const CoefficientSink collect{
      [&planes](CoefficientPlane&& plane) {
        planes.push_back(std::move(plane));
        return TX_OK;
      },
      [&planes](const Plane<float>& plane, const QuantiserSettings& settings) {
        Quantise(plane.data.data(), plane.width, plane.height, settings, planes.emplace_back());
        return TX_OK;
      },
      [&planes] { planes.clear(); }};
  return PixelsToCoefficients(pixels, rowBytes, h, collect, progress, threads);
}

namespace {

// What a decode renders: the header's planes, at full size or, with
// `coarserFrom` > 0, the picture left after that many levels.
struct Render {
  const StreamHeader& h;
  StopCheck* stop;
  int threads;
  int coarserFrom;
  Wavelet wavelet() const { return static_cast<Wavelet>(h.transformWavelet); }
  template <typename Sample>
  bool Invert(Plane<Sample>& plane) const {
    InverseTransform(ViewOf(plane), h.levels, wavelet(), stop, threads, coarserFrom);
    return !(stop && stop->Stopped());
  }
};

// The integer planes of a lossless stream: coefficients clamped, inverse
// transformed.
int LosslessPlanes(const PlaneSource& source, const Render& render, std::vector<Plane<int32_t>>& planes) {
  planes.resize(render.h.planes);
  for (int i = 0; i < render.h.planes; ++i) {
    CoefficientPlane coded;
    if (const int r = source.integers(i, coded); r != TX_OK) return r;
    planes[i].width = coded.width;
    planes[i].height = coded.height;
    planes[i].data = std::move(coded.data);
    for (int32_t& v : planes[i].data) v = std::clamp(v, -kMaxIntegerCoefficient, kMaxIntegerCoefficient);
    if (!render.Invert(planes[i])) return TX_ERR_ABORTED;
  }
  return TX_OK;
}

// Plane i dequantised into floats.
int DequantisedPlane(const PlaneSource& source, const Render& render, int i, Plane<float>& plane) {
  const QuantiserSettings settings = PlaneQuantiser(render.h, i);
  if (source.dequantised) {
    plane.width = CoarserSide(render.h.image.width, render.coarserFrom);
    plane.height = CoarserSide(render.h.image.height, render.coarserFrom);
    return source.dequantised(i, settings, plane.data);
  }
  // Only sources that dequantise themselves give coarser pictures.
  if (render.coarserFrom > 0) return TX_ERR_STATE;
  CoefficientPlane coded;
  if (const int r = source.integers(i, coded); r != TX_OK) return r;
  plane.ResizeForOverwrite(coded.width, coded.height);
  Dequantise(coded, settings, plane.data.data());
  return TX_OK;
}

int LossyFloatPlanes(const PlaneSource& source, const Render& render, std::vector<Plane<float>>& planes) {
  planes.resize(render.h.planes);
  for (int i = 0; i < render.h.planes; ++i) {
    if (const int r = DequantisedPlane(source, render, i, planes[i]); r != TX_OK) return r;
    if (!render.Invert(planes[i])) return TX_ERR_ABORTED;
  }
  return TX_OK;
}

// Lossy streams of a reversible wavelet: dequantised, rounded to integers,
// inverse transformed with the integer filters.
int LossyIntegerPlanes(const PlaneSource& source, const Render& render, std::vector<Plane<int32_t>>& integers) {
  integers.resize(render.h.planes);
  for (int i = 0; i < render.h.planes; ++i) {
    Plane<float> plane;
    if (const int r = DequantisedPlane(source, render, i, plane); r != TX_OK) return r;
    integers[i].ResizeForOverwrite(plane.width, plane.height);
    const float limit = static_cast<float>(kMaxIntegerCoefficient);
    for (size_t k = 0; k < plane.data.size(); ++k)
      integers[i].data[k] = static_cast<int32_t>(std::lrintf(std::clamp(plane.data[k], -limit, limit)));
    plane.data = {};
    if (!render.Invert(integers[i])) return TX_ERR_ABORTED;
  }
  return TX_OK;
}

}  // namespace

int CoefficientsToPixels(const PlaneSource& source, const StreamHeader& h, void* pixels, long rowBytes,
                         StopCheck* stop, int threads, int coarserFrom) {
  const Render render{h, stop, threads, std::clamp(coarserFrom, 0, h.levels)};
  PixelFormat format;
  if (!FormatForColorType(h.image.colorType, CoarserSide(h.image.width, render.coarserFrom),
                          CoarserSide(h.image.height, render.coarserFrom), rowBytes, format))
    return TX_ERR_ARGUMENT;
  try {
    if (h.compression.mode == TXmodeLossless || (h.flags & kFlagIntegerPath)) {
      std::vector<Plane<int32_t>> planes;
      const int r = h.compression.mode == TXmodeLossless ? LosslessPlanes(source, render, planes)
                                                         : LossyIntegerPlanes(source, render, planes);
      if (r != TX_OK) return r;
      PlanesToPixels(planes, format, pixels, threads);
      return TX_OK;
    }
    std::vector<Plane<float>> planes;
    if (const int r = LossyFloatPlanes(source, render, planes); r != TX_OK) return r;
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
