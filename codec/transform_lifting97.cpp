// CDF 9/7 in lifting form: four lifting steps and a scaling, applied to
// whole lines at a time. Gives the same coefficients as the 9/7 filter bank
// of transform_convolution.cpp (up to float rounding) at a fraction of the
// work.
#include <algorithm>

#include "codec/transform_internal.h"

namespace tavix::transform_detail {
namespace {

constexpr float kAlpha = -1.586134342059924f;
constexpr float kBeta = -0.052980118572961f;
constexpr float kGamma = 0.882911075530934f;
constexpr float kDelta = 0.443506852043971f;
// Low band scaled by 1/K, high band by K: low-pass DC gain 1, high-pass
// gain 2 at Nyquist, the same as the filter bank.
constexpr float kScale = 1.230174104914001f;

// target += factor * (a + b), across the line.
void LiftLine(float* target, const float* a, const float* b, int width, float factor) {
  AddToLine(target, width, [=](int x) { return factor * (a[x] + b[x]); });
}

void ScaleLine(float* line, int width, float factor) {
  for (int x = 0; x < width; ++x) line[x] *= factor;
}

// The steps run as one sweep down the lines rather than four passes over
// the whole signal: each line is touched by all steps while it is still in
// cache. Line 2i is low sample s[i], line 2i+1 high sample d[i]; the signal
// is mirrored about its end samples, so a missing neighbour is the one on
// the other side.
class Lifting97Sweep {
 public:
  explicit Lifting97Sweep(const LineSet<float>& lines)
      : lines_(lines), lows_(LowCount(lines.count)), highs_(HighCount(lines.count)) {}

  void Forward() {
    // Iteration i finishes step 1 and 2 at index i and steps 3 and 4 one
    // index behind, whose inputs are then complete.
    for (int i = 0; i <= lows_; ++i) {
      if (i < highs_) High(i, kAlpha);
      if (i < lows_) Low(i, kBeta);
      if (i >= 1 && i - 1 < highs_) High(i - 1, kGamma);
      if (i >= 1 && i - 1 < lows_) {
        Low(i - 1, kDelta);
        Scale(S(i - 1), 1.0f / kScale);
      }
      // d[i-2] has had its last reader (step 4 at i-1).
      if (i >= 2 && i - 2 < highs_) Scale(D(i - 2), kScale);
    }
    for (int j = std::max(0, lows_ - 1); j < highs_; ++j) Scale(D(j), kScale);
  }

  void Inverse() {
    for (int i = 0; i <= lows_ + 1; ++i) {
      if (i < lows_) Scale(S(i), kScale);
      if (i < highs_) Scale(D(i), 1.0f / kScale);
      if (i < lows_) Low(i, -kDelta);
      if (i >= 1 && i - 1 < highs_) High(i - 1, -kGamma);
      if (i >= 1 && i - 1 < lows_) Low(i - 1, -kBeta);
      if (i >= 2 && i - 2 < highs_) High(i - 2, -kAlpha);
    }
  }

 private:
  float* S(int i) const { return lines_.line(2 * i); }
  float* D(int i) const { return lines_.line(2 * i + 1); }

  void High(int i, float factor) const {
    const float* right = i + 1 < lows_ ? S(i + 1) : S(i);
    LiftLine(D(i), S(i), right, lines_.width, factor);
  }

  void Low(int i, float factor) const {
    const float* left = i > 0 ? D(i - 1) : D(0);
    const float* right = i < highs_ ? D(i) : D(i - 1);
    LiftLine(S(i), left, right, lines_.width, factor);
  }

  void Scale(float* line, float factor) const { ScaleLine(line, lines_.width, factor); }

  LineSet<float> lines_;
  int lows_, highs_;
};

}  // namespace

void Lifting97Forward(const LineSet<float>& lines, std::vector<float>& scratch) {
  if (lines.count < 2) return;
  Lifting97Sweep(lines).Forward();
  Deinterleave(lines, scratch);
}

void Lifting97Inverse(const LineSet<float>& lines, std::vector<float>& scratch) {
  if (lines.count < 2) return;
  Interleave(lines, scratch);
  Lifting97Sweep(lines).Inverse();
}

}  // namespace tavix::transform_detail
