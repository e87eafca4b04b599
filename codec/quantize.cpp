#include "codec/quantize.h"

#include <algorithm>
#include <cmath>

namespace tavix {

void ForEachBand(int width, int height, int levels, const std::function<void(const Band&)>& visit) {
  int w = width, h = height;
  for (int level = 1; level <= levels; ++level) {
    const int lw = (w + 1) / 2, lh = (h + 1) / 2;
    const Band bands[3] = {
        {lw, 0, w, lh, level, true, false},
        {0, lh, lw, h, level, false, true},
        {lw, lh, w, h, level, true, true},
    };
    for (const Band& b : bands)
      if (b.x1 > b.x0 && b.y1 > b.y0) visit(b);
    w = lw;
    h = lh;
  }
  visit(Band{0, 0, w, h, levels, false, false});
}

double BandWeight(Wavelet wavelet, const Band& band) {
  if (band.level == 0) return 1.0;
  return SynthesisGain(wavelet, band.level, band.horizontalHigh) *
         SynthesisGain(wavelet, band.level, band.verticalHigh);
}

BandWeights::BandWeights(Wavelet wavelet, int levels) {
  const int top = std::clamp(levels, 0, kMaxTransformLevels);
  for (int level = 1; level <= top; ++level) {
    m_gain[level][0] = SynthesisGain(wavelet, level, false);
    m_gain[level][1] = SynthesisGain(wavelet, level, true);
  }
}

void Quantise(const float* coefficients, int width, int height, const QuantiserSettings& s, CoefficientPlane& out) {
  out.width = width;
  out.height = height;
  out.levels = s.levels;
  out.data.assign(static_cast<size_t>(width) * height, 0);
  const BandScale scaleOf = QuantiseScales(s);
  ForEachBand(width, height, s.levels, [&](const Band& band) {
    const double scale = scaleOf(band.level, band.horizontalHigh, band.verticalHigh);
    if (scale == 0.0) return;
    for (int y = band.y0; y < band.y1; ++y) {
      const size_t row = static_cast<size_t>(y) * width;
      for (int x = band.x0; x < band.x1; ++x) {
        const double v = std::clamp(coefficients[row + x] * scale, -double{kMaxQuantisedMagnitude},
                                    double{kMaxQuantisedMagnitude});
        out.data[row + x] = static_cast<int32_t>(v);  // truncation toward zero: the dead zone
      }
    }
  });
}

BandScale QuantiseScales(const QuantiserSettings& s) {
  return [s, weights = BandWeights(s.wavelet, s.levels)](int level, bool across, bool down) {
    if (s.dropFinestDetail && level == 1 && (across || down)) return 0.0;
    const Band band{0, 0, 0, 0, level, across, down};
    return weights(band) * s.planeFactor / s.step;
  };
}

void Dequantise(const CoefficientPlane& in, const QuantiserSettings& s, float* coefficients) {
  const int width = in.width;
  const BandScale scaleOf = DequantiseScales(s);
  ForEachBand(in.width, in.height, s.levels, [&](const Band& band) {
    const double scale = scaleOf(band.level, band.horizontalHigh, band.verticalHigh);
    for (int y = band.y0; y < band.y1; ++y) {
      const size_t row = static_cast<size_t>(y) * width;
      for (int x = band.x0; x < band.x1; ++x) {
        const int32_t q = in.data[row + x];
        double v = 0.0;
        if (q > 0) v = (q + kReconstructionOffset) * scale;
        else if (q < 0) v = (q - kReconstructionOffset) * scale;
        coefficients[row + x] = static_cast<float>(v);
      }
    }
  });
}

BandScale DequantiseScales(const QuantiserSettings& s) {
  return [s, weights = BandWeights(s.wavelet, s.levels)](int level, bool across, bool down) {
    const Band band{0, 0, 0, 0, level, across, down};
    return s.step / (weights(band) * s.planeFactor);
  };
}

float QualityStep(int32_t target16_16, int bitsPerSample) {
  // The step grows as a power of x: x = 1 (Q = 50) gives 1.5 grey levels
  // (about 42 to 46 dB on photographs), Q = 40 about 5.7 (about 37 dB and
  // 20-30 : 1, the look of a good JPEG), Q = 25 about 29 and Q = 1 about 240
  // (a rough sketch).
  const double x = std::clamp(target16_16 / 65536.0, 1.0, 50.0);
  const double step = 1.5 * std::pow(x, 1.3);
  return static_cast<float>(step * std::ldexp(1.0, bitsPerSample - 8));
}

float FineStep(int bitsPerSample, double largestWeighted) {
  double step = std::ldexp(1.0 / 16.0, bitsPerSample - 8);
  const double limit = (kMaxQuantisedMagnitude >> 1);
  if (largestWeighted / step > limit) step = largestWeighted / limit;
  return static_cast<float>(step);
}

float ChromaFactor(int portion) {
  const int colourShare = std::clamp(100 - portion, 1, 99);
  return static_cast<float>(std::sqrt(colourShare / 10.0));
}

double LargestWeighted(const float* coefficients, int width, int height, Wavelet wavelet, int levels) {
  double largest = 0.0;
  const BandWeights weights(wavelet, levels);
  ForEachBand(width, height, levels, [&](const Band& band) {
    const double weight = weights(band);
    for (int y = band.y0; y < band.y1; ++y) {
      const size_t row = static_cast<size_t>(y) * width;
      for (int x = band.x0; x < band.x1; ++x) largest = std::max(largest, std::fabs(coefficients[row + x] * weight));
    }
  });
  return largest;
}

}  // namespace tavix
