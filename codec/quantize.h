// Float wavelet coefficients <-> the weighted integers the embedded coder
// codes. Each coefficient is scaled by its band's synthesis gain before the
// uniform quantiser, so that one unit of every integer costs about the same
// image error; the coder's bit-plane order then sends the most useful bits
// first and a cut anywhere in the stream is close to the best image for its
// size.
#pragma once

#include <cstdint>
#include <functional>

#include "codec/bitplane.h"
#include "codec/transform.h"

namespace tavix {

// One subband in the Mallat layout: a rectangle of the plane.
struct Band {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  int level = 0;             // 1 = finest; the LL band carries the coarsest level (0 with no levels)
  bool horizontalHigh = false;
  bool verticalHigh = false;
  bool IsLowPass() const { return !horizontalHigh && !verticalHigh; }
};

// Calls `visit` for every band of a width x height plane after `levels`
// levels, detail bands from the finest level up, the LL band last. Empty
// bands (of a side that could not split further) are skipped.
void ForEachBand(int width, int height, int levels, const std::function<void(const Band&)>& visit);

// Image-domain weight of a band's coefficients.
double BandWeight(Wavelet wavelet, const Band& band);

// The weights of every band of one plane, with each synthesis gain computed
// once (a gain runs an impulse through the inverse filter, so asking for it
// per band and per pass would add up).
class BandWeights {
public:
  BandWeights(Wavelet wavelet, int levels);
  double operator()(const Band& band) const {
    if (band.level <= 0) return 1.0;
    return m_gain[band.level][band.horizontalHigh] * m_gain[band.level][band.verticalHigh];
  }

private:
  double m_gain[kMaxTransformLevels + 1][2] = {};
};

struct QuantiserSettings {
  Wavelet wavelet = Wavelet::Cdf97;
  int levels = 0;
  float step = 1.0f;            // step of the weighted coefficients
  float planeFactor = 1.0f;     // extra weight of this plane (colour portion)
  bool dropFinestDetail = false;  // colour-difference planes with downsampling
};

// q = trunc(c * weight / step): a dead-zone quantiser.
void Quantise(const float* coefficients, int width, int height, const QuantiserSettings& settings,
              CoefficientPlane& out);
// Reconstructs inside the cell: (|q| + 0.375) * step / weight, with sign.
constexpr double kReconstructionOffset = 0.375;
void Dequantise(const CoefficientPlane& in, const QuantiserSettings& settings, float* coefficients);
// The step / weight of each band, for decoders that dequantise as they
// reconstruct (PlaneDecoder::ReconstructDequantised).
BandScale DequantiseScales(const QuantiserSettings& settings);
// The weight / step of each band (0 for a dropped band), for coders that
// quantise as they take a plane in (QuantisingPlane).
BandScale QuantiseScales(const QuantiserSettings& settings);

// Quantiser step for a quality value x (16.16, 1 best .. 50 worst) at a
// sample depth of `bitsPerSample`.
float QualityStep(int32_t target16_16, int bitsPerSample);
// Step for file-size mode: fine enough that the coder's cut, not the
// quantiser, decides the quality; raised when needed to keep the largest
// weighted coefficient within `maxMagnitude`.
float FineStep(int bitsPerSample, double largestWeighted);
// Weight factor of the colour-difference planes for a luminance portion
// (percent): 90 gives 1; a larger colour share gives finer colour planes.
float ChromaFactor(int portion);

// Largest |c * weight| of a plane (to choose a step before quantising).
double LargestWeighted(const float* coefficients, int width, int height, Wavelet wavelet, int levels);

// Largest integer magnitude the quantiser produces.
constexpr int32_t kMaxQuantisedMagnitude = (1 << 28) - 1;

}  // namespace tavix
