// Two-dimensional dyadic wavelet transforms of one image plane, in place.
//
// Layout after `levels` levels (Mallat order): at each level the current
// low-pass region of w x h samples is split so that the low band takes the
// first ceil(n/2) samples of each row and column and the high band the
// remaining floor(n/2). The LL band of level L is the top-left
// ceil(w/2^L) x ceil(h/2^L) region. A row or column of length 1 is left as it
// is (its single sample counts as low-pass).
//
// Irreversible filters (9/7, 18/10, mixed, 9/7 lifting) work on float
// samples; reversible ones (S+P, two-six, 5/3) on int32 samples and invert
// exactly. Every filter works on any plane size from 1 x 1 up.
//
// The filters:
//  - Cdf97: the CDF 9/7 filter bank, signal mirrored about its end samples.
//    Its lifting factorisation (four lifting steps) gives the same
//    coefficients to float rounding and is faster, so both Cdf97 and
//    Cdf97Lifting run it; the filter bank by convolution stays as the
//    reference the tests hold it to.
//  - Biorthogonal1810: the 18/10 pair; the 10-tap low-pass analyses, the
//    18-tap one synthesises; signal mirrored half a sample outside its ends.
//  - Mixed: 9/7 on the finest level (short support, little ringing at
//    edges), 18/10 on every coarser level (smoother basis where the content
//    is smooth).
//  - SPlusP: S transform on sample pairs (l = floor((a+b)/2), h = a-b), then
//    predictor B: h[n] -= floor((2D[n] + 3D[n+1] - 2h[n+1]) / 8 + 1/2) with
//    D[n] = l[n-1] - l[n]; at the first and last coefficient
//    h -= floor(D/4 + 1/2) with the difference available there.
//  - TwoSix: d1 = b - a, s = a + floor(d1/2), d = d1 + floor((s[i-1] - s[i+1]
//    + 2) / 4), the low band repeated at its ends; the inverse undoes the
//    steps in reverse order with the same rounding, so it is exact.
//  - LeGall53: d = b - floor((a + c)/2), s = a + floor((d- + d + 2)/4).
// In S+P and two-six an odd last sample stays as the last low coefficient.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/stop.h"

namespace tavix {

// Wavelet types, equal to TXcompressionParams::waveletType.
enum class Wavelet : int {
  Cdf97 = 0,
  Biorthogonal1810 = 1,
  Mixed = 2,
  SPlusP = 3,
  Cdf97Lifting = 4,
  TwoSix = 5,
  LeGall53 = 6,
};

constexpr int kWaveletCount = 7;
constexpr int kMaxTransformLevels = 15;

bool IsValidWavelet(int type);
// True for the integer transforms that invert exactly (S+P, two-six, 5/3).
bool IsReversible(Wavelet wavelet);
// Levels that make sense for a plane: while both sides of the LL band stay
// at least `minimumBand` samples (and never more than kMaxTransformLevels).
int LevelsFor(int width, int height, int minimumBand = 8);

// Row-major plane view; stride is in samples.
template <typename Sample>
struct PlaneView {
  Sample* data;
  int width;
  int height;
  ptrdiff_t stride;
  Sample* row(int y) const { return data + static_cast<ptrdiff_t>(y) * stride; }
};

// A side of a plane after `levels` splits: ceil(side / 2^levels), the side
// of the LL band (levels >= 0).
inline int CoarserSide(int side, int levels) {
  return static_cast<int>((static_cast<int64_t>(side < 0 ? 0 : side) + (int64_t{1} << levels) - 1) >> levels);
}

// Irreversible wavelets only. Scaling: the low-pass analysis filter has DC
// gain 1 and the high-pass has gain 2 at Nyquist (the common JPEG 2000-style
// normalisation); SynthesisGain tells the coder how much each band's error
// weighs in the image. Levels beyond kMaxTransformLevels are not done; levels
// past the point where the LL band is 1 x 1 change nothing. Returns false,
// leaving the plane untouched, for a reversible or unknown wavelet or an
// unusable view (null data, empty, stride shorter than the width).
// Reentrant; each call allocates its working buffers once.
bool ForwardTransform(PlaneView<float> plane, int levels, Wavelet wavelet, int threads = 1);
// `stop` is asked before each pass of the inverse; when it says stop the
// plane is left part-way and the call returns false. `threads` share each
// pass; the result is the same for any count.
// `coarserFrom` > 0 inverts only the coarsest levels: the plane is then the
// LL band left after `coarserFrom` levels of a larger plane (its Mallat
// layout is the same), `levels` counts the larger plane's levels, and the
// result is that LL band, a picture at 1 / 2^coarserFrom of the size.
bool InverseTransform(PlaneView<float> plane, int levels, Wavelet wavelet, StopCheck* stop = nullptr,
                      int threads = 1, int coarserFrom = 0);

// Reversible wavelets only (false otherwise, as above). Exact for samples
// within +-2^20.
bool ForwardTransform(PlaneView<int32_t> plane, int levels, Wavelet wavelet, int threads = 1);
bool InverseTransform(PlaneView<int32_t> plane, int levels, Wavelet wavelet, StopCheck* stop = nullptr,
                      int threads = 1, int coarserFrom = 0);

// L2 norm of the one-dimensional synthesis basis function of a band: the
// low-pass band after `level` levels (highPass false), or the high-pass band
// of `level` (1 = finest). A coefficient error e in a 2-D band (level L,
// horizontal h, vertical v) gives about e * gain(L,h) * gain(L,v) of squared-
// root image error, so the coder weighs bands by the product.
// Computed on each call (about a millisecond; no cached state); level 0
// low-pass is 1. Reversible wavelets report the gain of their integer
// filters as if they were linear.
double SynthesisGain(Wavelet wavelet, int level, bool highPass);

}  // namespace tavix
