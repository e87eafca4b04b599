// Two-dimensional multi-level transforms: picks the kernel for each wavelet
// and level, runs it over the columns (rows of the plane as lines) and over
// the rows (strips transposed into a buffer), and computes band gains.
#include "codec/transform.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/parallel.h"
#include "codec/transform_internal.h"

namespace tavix {
namespace {

using transform_detail::LineSet;

// Rows transposed at a time for the horizontal pass: wide enough for the
// inner loops to vectorise, small enough for the strip to stay in cache.
constexpr int kStripRows = 64;
constexpr int kTileColumns = 16;

template <typename Sample>
struct Scratch {
  std::vector<Sample> strip;   // transposed rows
  std::vector<Sample> kernel;  // the kernels' own working space
};

template <typename Sample>
using Kernel = void (*)(const LineSet<Sample>&, std::vector<Sample>&);

void Conv1810Forward(const LineSet<float>& l, std::vector<float>& s) {
  transform_detail::ConvolutionForward(l, transform_detail::FilterBankKind::Biorthogonal1810, s);
}
void Conv1810Inverse(const LineSet<float>& l, std::vector<float>& s) {
  transform_detail::ConvolutionInverse(l, transform_detail::FilterBankKind::Biorthogonal1810, s);
}

struct FloatKernels {
  Kernel<float> forward, inverse;
};
struct IntegerKernels {
  Kernel<int32_t> forward, inverse;
};

// Mixed: the short 9/7 on the finest level keeps ringing around edges low;
// the smoother 18/10 on the coarser levels suits the smooth content there.
// The 9/7 filter bank and its lifting factorisation give the same
// coefficients (the tests hold them to each other), so type 0 runs the
// faster lifting form as type 4 does.
FloatKernels FloatKernelsFor(Wavelet wavelet, int level) {
  switch (wavelet) {
    case Wavelet::Biorthogonal1810:
      return {Conv1810Forward, Conv1810Inverse};
    case Wavelet::Mixed:
      if (level > 1) return {Conv1810Forward, Conv1810Inverse};
      return {transform_detail::Lifting97Forward, transform_detail::Lifting97Inverse};
    default:
      return {transform_detail::Lifting97Forward, transform_detail::Lifting97Inverse};
  }
}

IntegerKernels IntegerKernelsFor(Wavelet wavelet) {
  switch (wavelet) {
    case Wavelet::SPlusP:
      return {transform_detail::SPlusPForward, transform_detail::SPlusPInverse};
    case Wavelet::TwoSix:
      return {transform_detail::TwoSixForward, transform_detail::TwoSixInverse};
    default:
      return {transform_detail::LeGall53Forward, transform_detail::LeGall53Inverse};
  }
}

// Below this many samples a pass runs on one thread: starting threads would
// cost more than they save.
constexpr int64_t kParallelSamples = int64_t{1} << 16;

int ThreadsFor(int width, int height, int threads) {
  return static_cast<int64_t>(width) * height < kParallelSamples ? 1 : threads;
}

// Columns of the top-left width x height region: the plane's rows are the
// lines. Bands of columns are independent and go to the threads.
template <typename Sample>
void VerticalPass(const PlaneView<Sample>& plane, int width, int height, Kernel<Sample> kernel,
                  std::vector<Scratch<Sample>>& scratch) {
  if (height < 2) return;
  const LineSet<Sample> lines{plane.data, height, width, plane.stride};
  const int threads = ThreadsFor(width, height, static_cast<int>(scratch.size()));
  if (threads == 1) {
    kernel(lines, scratch[0].kernel);
    return;
  }
  // Whole multiples of the kernels' own chunk keep every band's work the
  // same as in a single run.
  const int chunks = (width + transform_detail::kColumnChunk - 1) / transform_detail::kColumnChunk;
  const int perBand = (chunks + threads - 1) / threads * transform_detail::kColumnChunk;
  std::atomic<int> slot{0};
  ParallelFor(threads, threads, [&](int band) {
    const int first = band * perBand;
    if (first >= width) return;
    Scratch<Sample>& own = scratch[static_cast<size_t>(slot.fetch_add(1))];
    kernel(transform_detail::ColumnChunk(lines, first, std::min(perBand, width - first)), own.kernel);
  });
}

// Copies a rows x columns block of samples from rows `source` (stride
// sourceStride) to `target` transposed (stride targetStride).
template <typename Sample>
void TransposeBlock(const Sample* source, ptrdiff_t sourceStride, Sample* target,
                    ptrdiff_t targetStride, int rows, int columns) {
  int x = 0;
#if defined(__SSE2__)
  // 4 x 4 blocks through vector registers; 32-bit samples of either type
  // move as raw lanes.
  if constexpr (sizeof(Sample) == 4) {
    if (rows % 4 == 0 && columns >= 4) {
      const int blockColumns = columns - columns % 4;
      auto block = [&](int r, int c) {
        const float* in = reinterpret_cast<const float*>(source + r * sourceStride + c);
        __m128 a = _mm_loadu_ps(in);
        __m128 b = _mm_loadu_ps(in + sourceStride);
        __m128 d = _mm_loadu_ps(in + 2 * sourceStride);
        __m128 e = _mm_loadu_ps(in + 3 * sourceStride);
        _MM_TRANSPOSE4_PS(a, b, d, e);
        float* out = reinterpret_cast<float*>(target + c * targetStride + r);
        _mm_storeu_ps(out, a);
        _mm_storeu_ps(out + targetStride, b);
        _mm_storeu_ps(out + 2 * targetStride, d);
        _mm_storeu_ps(out + 3 * targetStride, e);
      };
      // Finish the lines of the side with the longer stride one after the
      // other: such lines (plane rows) tend to share cache sets, so
      // revisiting them evicts each other.
      if (sourceStride >= targetStride) {
        for (int r = 0; r < rows; r += 4)
          for (int c = 0; c < blockColumns; c += 4) block(r, c);
      } else {
        for (int c = 0; c < blockColumns; c += 4)
          for (int r = 0; r < rows; r += 4) block(r, c);
      }
      x = blockColumns;
    }
  }
#endif
  for (; x < columns; ++x)
    for (int r = 0; r < rows; ++r) target[x * targetStride + r] = source[r * sourceStride + x];
}

// Rows of the region: strips of rows are transposed so that each column of
// the strip becomes a line, filtered, and transposed back.
template <typename Sample>
void HorizontalStrip(const PlaneView<Sample>& plane, int width, int height, int top, Kernel<Sample> kernel,
                     Scratch<Sample>& scratch) {
  const size_t needed = static_cast<size_t>(width) * kStripRows;
  if (scratch.strip.size() < needed) scratch.strip.resize(needed);
  Sample* strip = scratch.strip.data();
  {
    const int rows = std::min(kStripRows, height - top);
    // Column tiles keep the strip lines being written in the first-level cache.
    for (int left = 0; left < width; left += kTileColumns) {
      const int columns = std::min(kTileColumns, width - left);
      TransposeBlock(plane.row(top) + left, plane.stride, strip + static_cast<ptrdiff_t>(left) * rows,
                     rows, rows, columns);
    }
    kernel(LineSet<Sample>{strip, width, rows, rows}, scratch.kernel);
    for (int left = 0; left < width; left += kTileColumns) {
      const int columns = std::min(kTileColumns, width - left);
      // The strip's lines `left..` hold columns; transposing them back is the
      // same operation with rows and columns swapped.
      TransposeBlock(strip + static_cast<ptrdiff_t>(left) * rows, rows, plane.row(top) + left,
                     plane.stride, columns, rows);
    }
  }
}

// Strips of rows are independent and go to the threads, each with its own
// scratch.
template <typename Sample>
void HorizontalPass(const PlaneView<Sample>& plane, int width, int height, Kernel<Sample> kernel,
                    std::vector<Scratch<Sample>>& scratch) {
  if (width < 2) return;
  const int strips = (height + kStripRows - 1) / kStripRows;
  const int threads = ThreadsFor(width, height, static_cast<int>(scratch.size()));
  if (threads == 1) {
    for (int s = 0; s < strips; ++s) HorizontalStrip(plane, width, height, s * kStripRows, kernel, scratch[0]);
    return;
  }
  const int perThread = (strips + threads - 1) / threads;
  std::atomic<int> slot{0};
  ParallelFor(threads, threads, [&](int part) {
    Scratch<Sample>& own = scratch[static_cast<size_t>(slot.fetch_add(1))];
    const int end = std::min(strips, (part + 1) * perThread);
    for (int s = part * perThread; s < end; ++s) HorizontalStrip(plane, width, height, s * kStripRows, kernel, own);
  });
}

int ScaledSize(int size, int level) { return CoarserSide(size, level); }

template <typename Sample>
bool PlaneUsable(const PlaneView<Sample>& plane) {
  return plane.data != nullptr && plane.width > 0 && plane.height > 0 &&
         plane.stride >= plane.width;
}

template <typename Sample, typename KernelsFor>
void RunForward(const PlaneView<Sample>& plane, int levels, KernelsFor kernelsFor, int threads) {
  std::vector<Scratch<Sample>> scratch(static_cast<size_t>(std::clamp(threads, 1, kMaxThreads)));
  for (int level = 1; level <= levels; ++level) {
    const int width = ScaledSize(plane.width, level - 1);
    const int height = ScaledSize(plane.height, level - 1);
    if (width < 2 && height < 2) break;
    const auto kernels = kernelsFor(level);
    HorizontalPass(plane, width, height, kernels.forward, scratch);
    VerticalPass(plane, width, height, kernels.forward, scratch);
  }
}

// False when `stop` ended the work part-way.
// The plane is the LL band after `skipped` levels of a larger one: its level
// l is the larger plane's level l + skipped, which chooses the filters.
template <typename Sample, typename KernelsFor>
bool RunInverse(const PlaneView<Sample>& plane, int levels, KernelsFor kernelsFor, StopCheck* stop, int threads,
                int skipped = 0) {
  std::vector<Scratch<Sample>> scratch(static_cast<size_t>(std::clamp(threads, 1, kMaxThreads)));
  for (int level = levels; level > skipped; --level) {
    const int width = ScaledSize(plane.width, level - skipped - 1);
    const int height = ScaledSize(plane.height, level - skipped - 1);
    if (width < 2 && height < 2) continue;
    const auto kernels = kernelsFor(level);
    if (stop && stop->Stopped()) return false;
    VerticalPass(plane, width, height, kernels.inverse, scratch);
    if (stop && stop->Stopped()) return false;
    HorizontalPass(plane, width, height, kernels.inverse, scratch);
  }
  return true;
}

int ClampLevels(int levels) { return std::clamp(levels, 0, kMaxTransformLevels); }

}  // namespace

bool IsValidWavelet(int type) { return type >= 0 && type < kWaveletCount; }

bool IsReversible(Wavelet wavelet) {
  return wavelet == Wavelet::SPlusP || wavelet == Wavelet::TwoSix ||
         wavelet == Wavelet::LeGall53;
}

int LevelsFor(int width, int height, int minimumBand) {
  if (width <= 0 || height <= 0) return 0;
  minimumBand = std::max(minimumBand, 1);
  int levels = 0;
  while (levels < kMaxTransformLevels && ScaledSize(width, levels + 1) >= minimumBand &&
         ScaledSize(height, levels + 1) >= minimumBand)
    ++levels;
  return levels;
}

bool ForwardTransform(PlaneView<float> plane, int levels, Wavelet wavelet, int threads) {
  if (!IsValidWavelet(static_cast<int>(wavelet)) || IsReversible(wavelet) || !PlaneUsable(plane))
    return false;
  RunForward(plane, ClampLevels(levels), [wavelet](int l) { return FloatKernelsFor(wavelet, l); }, threads);
  return true;
}

bool InverseTransform(PlaneView<float> plane, int levels, Wavelet wavelet, StopCheck* stop, int threads,
                      int coarserFrom) {
  if (!IsValidWavelet(static_cast<int>(wavelet)) || IsReversible(wavelet) || !PlaneUsable(plane))
    return false;
  return RunInverse(plane, ClampLevels(levels), [wavelet](int l) { return FloatKernelsFor(wavelet, l); }, stop,
                    threads, std::clamp(coarserFrom, 0, kMaxTransformLevels));
}

bool ForwardTransform(PlaneView<int32_t> plane, int levels, Wavelet wavelet, int threads) {
  if (!IsValidWavelet(static_cast<int>(wavelet)) || !IsReversible(wavelet) || !PlaneUsable(plane))
    return false;
  RunForward(plane, ClampLevels(levels), [wavelet](int) { return IntegerKernelsFor(wavelet); }, threads);
  return true;
}

bool InverseTransform(PlaneView<int32_t> plane, int levels, Wavelet wavelet, StopCheck* stop, int threads,
                      int coarserFrom) {
  if (!IsValidWavelet(static_cast<int>(wavelet)) || !IsReversible(wavelet) || !PlaneUsable(plane))
    return false;
  return RunInverse(plane, ClampLevels(levels), [wavelet](int) { return IntegerKernelsFor(wavelet); }, stop,
                    threads, std::clamp(coarserFrom, 0, kMaxTransformLevels));
}

// ---- Synthesis gains -------------------------------------------------------
// An impulse in the middle of the band goes through the one-dimensional
// inverse; the L2 norm of the result is the gain. The signal is long enough
// (32 coefficients per band at the impulse's level) that the basis function
// never reaches a border. Beyond kExactGainLevels the norm grows by sqrt(2)
// per level (to within 1e-4 relative, checked against exact values up to
// level 15), so deeper levels are extrapolated instead of transforming ever
// longer signals; a call then costs well under 2 ms.

namespace {

constexpr int kExactGainLevels = 8;
constexpr int kGainBandLength = 32;
// Reversible transforms run on integers: a large impulse keeps the rounding
// of the lifting steps negligible in the norm.
constexpr int32_t kIntegerImpulse = 1 << 16;

template <typename Sample, typename InverseFn>
double ImpulseResponseNorm(int length, int impulseAt, Sample amplitude, InverseFn inverse) {
  std::vector<Sample> signal(static_cast<size_t>(length), Sample{0});
  signal[static_cast<size_t>(impulseAt)] = amplitude;
  inverse(PlaneView<Sample>{signal.data(), length, 1, length});
  double sum = 0;
  for (Sample v : signal) sum += static_cast<double>(v) * static_cast<double>(v);
  return std::sqrt(sum) / static_cast<double>(amplitude);
}

}  // namespace

double SynthesisGain(Wavelet wavelet, int level, bool highPass) {
  if (!IsValidWavelet(static_cast<int>(wavelet)) || level < 0 || (highPass && level < 1))
    return 1.0;
  if (level == 0) return 1.0;  // the image itself
  const int exactLevel = std::min(level, kExactGainLevels);
  const int length = kGainBandLength << exactLevel;
  // The band of `exactLevel`: low band [0, bandLow), high band [bandLow, bandAll).
  const int bandAll = ScaledSize(length, exactLevel - 1);
  const int bandLow = ScaledSize(length, exactLevel);
  const int impulseAt = highPass ? (bandLow + bandAll) / 2 : bandLow / 2;
  double norm;
  if (IsReversible(wavelet)) {
    norm = ImpulseResponseNorm<int32_t>(length, impulseAt, kIntegerImpulse,
                                        [&](PlaneView<int32_t> p) {
                                          InverseTransform(p, exactLevel, wavelet);
                                        });
  } else {
    norm = ImpulseResponseNorm<float>(length, impulseAt, 1.0f, [&](PlaneView<float> p) {
      InverseTransform(p, exactLevel, wavelet);
    });
  }
  return norm * std::pow(std::sqrt(2.0), level - exactLevel);
}

}  // namespace tavix
