// Wavelet filter banks applied by direct convolution: CDF 9/7 and the 18/10
// biorthogonal pair.
//
// Analysis: low[i] = sum_k aL[k] x[2i + k], high[i] = sum_k aH[k] x[2i + c + k]
// Synthesis: x[m] = sum_i low[i] sL[m - 2i] + high[i] sH[m - 2i - c]
// with c = 1 for the odd-length 9/7 filters (high band centred on odd
// samples) and c = 0 for the even-length 18/10 filters (both bands centred
// between sample pairs).
//
// Borders: the odd-length filters extend the signal symmetrically about its
// end samples (x[-1] = x[1]), the even-length ones about the points half a
// sample outside (x[-1] = x[0]). With either, the bands come out symmetric
// or antisymmetric again, so ceil(n/2) + floor(n/2) coefficients hold all
// the information for any n, and synthesis extends them the matching way.
#include <algorithm>
#include <cmath>

#include "codec/transform_internal.h"

namespace tavix::transform_detail {
namespace {

// CDF 9/7 analysis filters, centre tap first, then taps +-1, +-2, ...
constexpr double kCdf97Low[] = {0.602949018236, 0.266864118443, -0.078223266529,
                                -0.016864118443, 0.026748757411};
constexpr double kCdf97High[] = {1.115087052457, -0.591271763114, -0.057543526229,
                                 0.091271763114};

// 18/10 pair: first half of each symmetric low-pass (the second half
// mirrors it); the 10-tap filter starts at index -4, the 18-tap at -8.
constexpr double k10TapHalf[] = {2.885256501123136e-02, 8.244478227504624e-05,
                                 -1.575264469076351e-01, 7.679048884691438e-02,
                                 7.589077294537618e-01};
constexpr double k18TapHalf[] = {9.544158682436510e-04, -2.727196296995984e-06,
                                 -9.452462998353147e-03, -2.528037293949898e-03,
                                 3.083373438534281e-02, -1.376513483818621e-02,
                                 -8.566118833165798e-02, 1.633685405569902e-01,
                                 6.233596410344172e-01};

template <size_t N>
FilterTaps SymmetricOddTaps(const double (&centreFirst)[N]) {
  FilterTaps taps{-static_cast<int>(N - 1), std::vector<double>(2 * N - 1)};
  for (size_t k = 0; k < N; ++k) {
    taps.taps[N - 1 - k] = centreFirst[k];
    taps.taps[N - 1 + k] = centreFirst[k];
  }
  return taps;
}

template <size_t N>
FilterTaps SymmetricEvenTaps(const double (&firstHalf)[N]) {
  FilterTaps taps{-static_cast<int>(N - 1), std::vector<double>(2 * N)};
  for (size_t k = 0; k < N; ++k) {
    taps.taps[k] = firstHalf[k];
    taps.taps[2 * N - 1 - k] = firstHalf[k];
  }
  return taps;
}

double Tap(const FilterTaps& f, int k) {
  const int j = k - f.first;
  return (j >= 0 && j < static_cast<int>(f.taps.size())) ? f.taps[j] : 0.0;
}

// (-1)^k f[offset - k]: the quadrature-mirror partner of a low-pass.
FilterTaps Modulated(const FilterTaps& f, int offset, bool reflect) {
  const int count = static_cast<int>(f.taps.size());
  FilterTaps out{reflect ? offset - (f.first + count - 1) : f.first + offset,
                 std::vector<double>(count)};
  for (int j = 0; j < count; ++j) {
    const int k = out.first + j;
    out.taps[j] = ((k % 2 == 0) ? 1.0 : -1.0) * Tap(f, reflect ? offset - k : k - offset);
  }
  return out;
}

void ScaleToGain(FilterTaps& f, double wanted, bool atNyquist) {
  double sum = 0;
  for (size_t j = 0; j < f.taps.size(); ++j) {
    const int k = f.first + static_cast<int>(j);
    sum += (atNyquist && (k % 2 != 0)) ? -f.taps[j] : f.taps[j];
  }
  for (double& t : f.taps) t *= wanted / sum;
}

// How a band continues past one of its ends.
enum class Extension {
  Whole,           // mirrored about the end sample
  Half,            // mirrored about the point half a sample outside
  HalfAnti,        // as Half, negated
  WholeAntiAfter,  // zero one sample outside, negated mirror beyond
};

struct Source {
  int index;
  float sign;  // +1, -1 or 0 (the zero of an antisymmetric band)
};

Source Reflect(int i, int length, Extension left, Extension right) {
  if (length == 1 && left == Extension::Whole && right == Extension::Whole) return {0, 1.0f};
  float sign = 1.0f;
  while (i < 0 || i >= length) {
    if (i < 0) {
      if (left == Extension::Whole) {
        i = -i;
      } else {
        i = -1 - i;
        if (left == Extension::HalfAnti) sign = -sign;
      }
    } else if (right == Extension::Whole) {
      i = 2 * (length - 1) - i;
    } else if (right == Extension::WholeAntiAfter) {
      if (i == length) return {0, 0.0f};
      i = 2 * length - i;
      sign = -sign;
    } else {
      i = 2 * length - 1 - i;
      if (right == Extension::HalfAnti) sign = -sign;
    }
  }
  return {i, sign};
}

struct BandExtensions {
  Extension signalLeft, signalRight;
  Extension lowLeft, lowRight, highLeft, highRight;
};

// The extensions of the signal and of both bands for a signal of length n.
BandExtensions ExtensionsFor(int highOffset, int n) {
  const bool odd = n % 2 != 0;
  if (highOffset == 1) {
    return {Extension::Whole, Extension::Whole,
            Extension::Whole, odd ? Extension::Whole : Extension::Half,
            Extension::Half,  odd ? Extension::Half : Extension::Whole};
  }
  return {Extension::Half,     Extension::Half,
          Extension::Half,     odd ? Extension::Whole : Extension::Half,
          Extension::HalfAnti, odd ? Extension::WholeAntiAfter : Extension::HalfAnti};
}

// Float copy of a filter for the inner loops.
struct Kernel {
  int first;
  std::vector<float> taps;
};

Kernel ToKernel(const FilterTaps& f) {
  return {f.first, std::vector<float>(f.taps.begin(), f.taps.end())};
}

void AccumulateLine(float* target, const float* source, int width, float weight) {
  AddToLine(target, width, [=](int x) { return weight * source[x]; });
}

// Copies the lines into `scratch` (contiguous, `width` apart) and returns a
// view of the copy.
LineSet<float> CopyLines(const LineSet<float>& lines, std::vector<float>& scratch) {
  const size_t width = static_cast<size_t>(lines.width);
  const size_t needed = static_cast<size_t>(lines.count) * width;
  if (scratch.size() < needed) scratch.resize(needed);
  for (int i = 0; i < lines.count; ++i)
    std::copy_n(lines.line(i), width, scratch.data() + i * width);
  return {scratch.data(), lines.count, lines.width, static_cast<ptrdiff_t>(width)};
}

// target = sum over taps of tap * source line at (centre + k), extended.
void FilterIntoLine(float* target, const LineSet<float>& source, const Kernel& kernel,
                    int centre, Extension left, Extension right) {
  std::fill_n(target, source.width, 0.0f);
  for (size_t j = 0; j < kernel.taps.size(); ++j) {
    const Source s = Reflect(centre + kernel.first + static_cast<int>(j), source.count, left, right);
    if (s.sign != 0.0f)
      AccumulateLine(target, source.line(s.index), source.width, s.sign * kernel.taps[j]);
  }
}

// Adds the contribution of one band to output line m: taps k with
// m - offset - k even, coefficient (m - offset - k) / 2.
void SynthesiseBand(float* target, const LineSet<float>& band, const Kernel& kernel, int m,
                    int offset, Extension left, Extension right) {
  for (size_t j = 0; j < kernel.taps.size(); ++j) {
    const int twice = m - offset - (kernel.first + static_cast<int>(j));
    if (twice % 2 != 0) continue;
    const Source s = Reflect(twice / 2, band.count, left, right);
    if (s.sign != 0.0f)
      AccumulateLine(target, band.line(s.index), band.width, s.sign * kernel.taps[j]);
  }
}

}  // namespace

FilterBank MakeFilterBank(FilterBankKind kind) {
  if (kind == FilterBankKind::Cdf97) {
    FilterBank bank;
    bank.analysisLow = SymmetricOddTaps(kCdf97Low);
    bank.analysisHigh = SymmetricOddTaps(kCdf97High);
    // Synthesis low-pass (-1)^k aH[k], high-pass (-1)^k aL[k], both about
    // their own centres.
    bank.synthesisLow = Modulated(bank.analysisHigh, 0, false);
    bank.synthesisHigh = Modulated(bank.analysisLow, 0, false);
    bank.highOffset = 1;
    return bank;
  }
  // The 10-tap filter analyses and the 18-tap one synthesises: the longer,
  // smoother filter then shapes the reconstruction, so quantisation error
  // shows as smooth rather than blocky patterns. Both assignments reconstruct
  // perfectly.
  const FilterTaps shortLow = SymmetricEvenTaps(k10TapHalf);
  const FilterTaps longLow = SymmetricEvenTaps(k18TapHalf);
  FilterBank bank;
  bank.analysisLow = shortLow;
  bank.synthesisLow = longLow;
  bank.analysisHigh = Modulated(longLow, 1, true);
  bank.synthesisHigh = Modulated(shortLow, 1, true);
  bank.highOffset = 0;
  // Same gains as the 9/7 bank: analysis low 1 at DC, analysis high 2 at
  // Nyquist; the synthesis filters take the reciprocal scales.
  ScaleToGain(bank.analysisLow, 1.0, false);
  ScaleToGain(bank.analysisHigh, 2.0, true);
  ScaleToGain(bank.synthesisLow, 2.0, false);
  ScaleToGain(bank.synthesisHigh, 1.0, true);
  return bank;
}

void ConvolutionForward(const LineSet<float>& lines, FilterBankKind kind,
                        std::vector<float>& scratch) {
  const int n = lines.count;
  if (n < 2) return;
  const FilterBank bank = MakeFilterBank(kind);
  const Kernel low = ToKernel(bank.analysisLow);
  const Kernel high = ToKernel(bank.analysisHigh);
  const BandExtensions ext = ExtensionsFor(bank.highOffset, n);
  const int lows = LowCount(n);
  for (int first = 0; first < lines.width; first += kColumnChunk) {
    const LineSet<float> chunk =
        ColumnChunk(lines, first, std::min(kColumnChunk, lines.width - first));
    const LineSet<float> source = CopyLines(chunk, scratch);
    for (int i = 0; i < lows; ++i)
      FilterIntoLine(chunk.line(i), source, low, 2 * i, ext.signalLeft, ext.signalRight);
    for (int i = 0; i < HighCount(n); ++i)
      FilterIntoLine(chunk.line(lows + i), source, high, 2 * i + bank.highOffset,
                     ext.signalLeft, ext.signalRight);
  }
}

void ConvolutionInverse(const LineSet<float>& lines, FilterBankKind kind,
                        std::vector<float>& scratch) {
  const int n = lines.count;
  if (n < 2) return;
  const FilterBank bank = MakeFilterBank(kind);
  const Kernel low = ToKernel(bank.synthesisLow);
  const Kernel high = ToKernel(bank.synthesisHigh);
  const BandExtensions ext = ExtensionsFor(bank.highOffset, n);
  const int lows = LowCount(n);
  for (int first = 0; first < lines.width; first += kColumnChunk) {
    const LineSet<float> chunk =
        ColumnChunk(lines, first, std::min(kColumnChunk, lines.width - first));
    const LineSet<float> source = CopyLines(chunk, scratch);
    const LineSet<float> lowBand{source.base, lows, source.width, source.stride};
    const LineSet<float> highBand{source.line(lows), HighCount(n), source.width, source.stride};
    for (int m = 0; m < n; ++m) {
      float* target = chunk.line(m);
      std::fill_n(target, chunk.width, 0.0f);
      SynthesiseBand(target, lowBand, low, m, 0, ext.lowLeft, ext.lowRight);
      SynthesiseBand(target, highBand, high, m, bank.highOffset, ext.highLeft, ext.highRight);
    }
  }
}

}  // namespace tavix::transform_detail
