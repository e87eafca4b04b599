// Building blocks shared by the transform files; not part of the codec's
// interface.
//
// Every filter is written once, as a one-dimensional kernel over a set of
// "lines": n lines of `width` samples each, `stride` samples apart. A kernel
// filters along the line index (line i plays the role of sample i of a 1-D
// signal, for all width positions at once) and leaves the result in Mallat
// order: ceil(n/2) low-pass lines first, then floor(n/2) high-pass lines.
// The vertical pass hands the kernel the plane's rows directly; the
// horizontal pass transposes strips of rows into a buffer and runs the same
// kernel there, so inner loops always run across contiguous samples.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/transform.h"

namespace tavix::transform_detail {

template <typename Sample>
struct LineSet {
  Sample* base;
  int count;         // number of lines (the 1-D signal length)
  int width;         // samples per line
  ptrdiff_t stride;  // distance between lines, in samples
  Sample* line(int i) const { return base + static_cast<ptrdiff_t>(i) * stride; }
};

// target[x] += increment(x) for x in [0, width), where increment reads only
// other lines. Blocks of 8 increments are computed before any is stored, so
// the compiler can vectorise them without proving that `target` is distinct
// from the lines read (its cheapest vectoriser model, used at -O2, gives up
// on loops that would need such checks or a scalar remainder).
template <typename Sample, typename Increment>
inline void AddToLine(Sample* target, int width, Increment increment) {
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    Sample block[8];
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) block[j] = increment(x + j);
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) target[x + j] += block[j];
  }
  for (; x < width; ++x) target[x] += increment(x);
}

// Samples of the low-pass and high-pass halves of a signal of length n.
inline int LowCount(int n) { return (n + 1) / 2; }
inline int HighCount(int n) { return n / 2; }

// Kernels that need a copy of their lines work through the lines in
// column chunks of this many samples, so their scratch stays within
// count x kColumnChunk samples however wide the plane is.
constexpr int kColumnChunk = 256;

// The lines restricted to columns [first, first + width).
template <typename Sample>
LineSet<Sample> ColumnChunk(const LineSet<Sample>& lines, int first, int width) {
  return {lines.base + first, lines.count, width, lines.stride};
}

// Reorders lines 0..n-1 of an interleaved result (even = low, odd = high)
// into Mallat order (Deinterleave), and back (Interleave).
template <typename Sample>
void Deinterleave(const LineSet<Sample>& lines, std::vector<Sample>& scratch) {
  const int n = lines.count;
  const int lows = LowCount(n), highs = HighCount(n);
  for (int first = 0; first < lines.width; first += kColumnChunk) {
    const int width = std::min(kColumnChunk, lines.width - first);
    const LineSet<Sample> chunk = ColumnChunk(lines, first, width);
    const size_t w = static_cast<size_t>(width);
    if (scratch.size() < highs * w) scratch.resize(highs * w);
    for (int i = 0; i < highs; ++i) std::copy_n(chunk.line(2 * i + 1), w, scratch.data() + i * w);
    // Line 2i moves up to line i; ascending order never overwrites a line
    // that is still to be read.
    for (int i = 1; i < lows; ++i) std::copy_n(chunk.line(2 * i), w, chunk.line(i));
    for (int i = 0; i < highs; ++i) std::copy_n(scratch.data() + i * w, w, chunk.line(lows + i));
  }
}

template <typename Sample>
void Interleave(const LineSet<Sample>& lines, std::vector<Sample>& scratch) {
  const int n = lines.count;
  const int lows = LowCount(n), highs = HighCount(n);
  for (int first = 0; first < lines.width; first += kColumnChunk) {
    const int width = std::min(kColumnChunk, lines.width - first);
    const LineSet<Sample> chunk = ColumnChunk(lines, first, width);
    const size_t w = static_cast<size_t>(width);
    if (scratch.size() < highs * w) scratch.resize(highs * w);
    for (int i = 0; i < highs; ++i) std::copy_n(chunk.line(lows + i), w, scratch.data() + i * w);
    // Descending: line i goes down to line 2i after every line above it moved.
    for (int i = lows - 1; i >= 1; --i) std::copy_n(chunk.line(i), w, chunk.line(2 * i));
    for (int i = 0; i < highs; ++i) std::copy_n(scratch.data() + i * w, w, chunk.line(2 * i + 1));
  }
}

// CDF 9/7 in lifting form (the fast path).
void Lifting97Forward(const LineSet<float>& lines, std::vector<float>& scratch);
void Lifting97Inverse(const LineSet<float>& lines, std::vector<float>& scratch);

// Filter banks applied by direct convolution with symmetric extension.
enum class FilterBankKind { Cdf97, Biorthogonal1810 };
void ConvolutionForward(const LineSet<float>& lines, FilterBankKind kind,
                        std::vector<float>& scratch);
void ConvolutionInverse(const LineSet<float>& lines, FilterBankKind kind,
                        std::vector<float>& scratch);

// Taps of a filter bank, for tests and gain computations. Filter k has
// taps[k][j] at index first[k] + j; the high-pass filters are centred
// `highOffset` samples after the low-pass ones.
struct FilterTaps {
  int first;
  std::vector<double> taps;
};
struct FilterBank {
  FilterTaps analysisLow, analysisHigh, synthesisLow, synthesisHigh;
  int highOffset;  // 1 for odd-length filters, 0 for even-length ones
};
FilterBank MakeFilterBank(FilterBankKind kind);

// Integer reversible transforms.
void LeGall53Forward(const LineSet<int32_t>& lines, std::vector<int32_t>& scratch);
void LeGall53Inverse(const LineSet<int32_t>& lines, std::vector<int32_t>& scratch);
void SPlusPForward(const LineSet<int32_t>& lines, std::vector<int32_t>& scratch);
void SPlusPInverse(const LineSet<int32_t>& lines, std::vector<int32_t>& scratch);
void TwoSixForward(const LineSet<int32_t>& lines, std::vector<int32_t>& scratch);
void TwoSixInverse(const LineSet<int32_t>& lines, std::vector<int32_t>& scratch);

}  // namespace tavix::transform_detail
