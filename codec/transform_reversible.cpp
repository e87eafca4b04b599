// Reversible integer transforms: LeGall 5/3, S+P and two-six. Each is a
// chain of integer lifting steps whose rounding the inverse repeats exactly,
// so every plane comes back bit for bit. `>>` is a floor division by a power
// of two (arithmetic shift of signed values).
//
// Growth: for inputs within +-2^20 the intermediate sums stay below 2^28,
// far from the int32 limits; the S+P prediction sums in 64 bits anyway.
#include "codec/transform_internal.h"

namespace tavix::transform_detail {
namespace {

using Line = int32_t*;
using ConstLine = const int32_t*;

// ---- LeGall 5/3 -----------------------------------------------------------
// d[n] = x[2n+1] - floor((x[2n] + x[2n+2]) / 2)
// s[n] = x[2n] + floor((d[n-1] + d[n] + 2) / 4)
// with the signal mirrored about its end samples.

void Predict53(Line target, ConstLine a, ConstLine b, int width, int sign) {
  AddToLine(target, width, [=](int x) { return sign * ((a[x] + b[x]) >> 1); });
}

void Update53(Line target, ConstLine a, ConstLine b, int width, int sign) {
  AddToLine(target, width, [=](int x) { return sign * ((a[x] + b[x] + 2) >> 2); });
}

// One sweep down the lines: the update of s[i] follows the prediction of
// d[i] at once, while both are in cache.
void HighStep53(const LineSet<int32_t>& lines, int i, int sign) {
  const int n = lines.count;
  ConstLine right = 2 * i + 2 < n ? lines.line(2 * i + 2) : lines.line(2 * i);
  Predict53(lines.line(2 * i + 1), lines.line(2 * i), right, lines.width, sign);
}

void LowStep53(const LineSet<int32_t>& lines, int i, int sign) {
  const int n = lines.count;
  ConstLine left = i > 0 ? lines.line(2 * i - 1) : lines.line(1);
  ConstLine right = 2 * i + 1 < n ? lines.line(2 * i + 1) : lines.line(2 * i - 1);
  Update53(lines.line(2 * i), left, right, lines.width, sign);
}

// ---- S+P ------------------------------------------------------------------
// S: l = floor((x0 + x1) / 2), h = x0 - x1 on each pair; an odd last sample
// stays as the last low coefficient. P (predictor B): with
// D[n] = l[n-1] - l[n], h[n] -= floor((2 D[n] + 3 D[n+1] - 2 h[n+1]) / 8 + 1/2),
// and at the first and last coefficients h[n] -= floor(D / 4 + 1/2) with
// the one neighbouring difference there is (D[1] first, D[n] last). The
// prediction of h[n] reads only low coefficients and the unpredicted h[n+1],
// so the inverse restores h from the end backwards.

void PairSum(const LineSet<int32_t>& lines) {
  for (int i = 0; i + 1 < lines.count; i += 2) {
    Line x0 = lines.line(i);
    Line x1 = lines.line(i + 1);
    for (int x = 0; x < lines.width; ++x) {
      const int32_t difference = x0[x] - x1[x];
      x0[x] = (x0[x] + x1[x]) >> 1;
      x1[x] = difference;
    }
  }
}

void PairRestore(const LineSet<int32_t>& lines) {
  for (int i = 0; i + 1 < lines.count; i += 2) {
    Line low = lines.line(i);
    Line high = lines.line(i + 1);
    for (int x = 0; x < lines.width; ++x) {
      const int32_t first = low[x] + ((high[x] + 1) >> 1);
      high[x] = first - high[x];
      low[x] = first;
    }
  }
}

// Prediction for h[k] (line 2k+1) across the line, added with `sign`.
void PredictSPlusP(const LineSet<int32_t>& lines, int k, int sign) {
  const int lows = LowCount(lines.count);
  const int highs = HighCount(lines.count);
  auto low = [&](int j) { return static_cast<ConstLine>(lines.line(2 * j)); };
  Line h = lines.line(2 * k + 1);
  const int width = lines.width;
  if (k == 0) {
    if (lows < 2) return;
    ConstLine l0 = low(0);
    ConstLine l1 = low(1);
    for (int x = 0; x < width; ++x) {
      const int64_t d = int64_t{l0[x]} - l1[x];
      h[x] += sign * static_cast<int32_t>((d + 2) >> 2);
    }
  } else if (k == highs - 1) {
    ConstLine before = low(k - 1);
    ConstLine here = low(k);
    for (int x = 0; x < width; ++x) {
      const int64_t d = int64_t{before[x]} - here[x];
      h[x] += sign * static_cast<int32_t>((d + 2) >> 2);
    }
  } else {
    ConstLine before = low(k - 1);
    ConstLine here = low(k);
    ConstLine after = low(k + 1);
    ConstLine nextHigh = lines.line(2 * k + 3);
    for (int x = 0; x < width; ++x) {
      const int64_t d0 = int64_t{before[x]} - here[x];
      const int64_t d1 = int64_t{here[x]} - after[x];
      const int64_t estimate = 2 * d0 + 3 * d1 - 2 * int64_t{nextHigh[x]};
      h[x] += sign * static_cast<int32_t>((estimate + 4) >> 3);
    }
  }
}

// ---- Two-six --------------------------------------------------------------
// d1 = x1 - x0, s = x0 + floor(d1 / 2) on each pair (an odd last sample
// stays as the last low coefficient), then
// d = d1 + floor((s[i-1] - s[i+1] + 2) / 4), the low band continued past its
// ends by repeating the end coefficient.

void TwoSixPairs(const LineSet<int32_t>& lines) {
  for (int i = 0; i + 1 < lines.count; i += 2) {
    Line x0 = lines.line(i);
    Line x1 = lines.line(i + 1);
    for (int x = 0; x < lines.width; ++x) {
      x1[x] -= x0[x];
      x0[x] += x1[x] >> 1;
    }
  }
}

void TwoSixUnpairs(const LineSet<int32_t>& lines) {
  for (int i = 0; i + 1 < lines.count; i += 2) {
    Line s = lines.line(i);
    Line d = lines.line(i + 1);
    for (int x = 0; x < lines.width; ++x) {
      s[x] -= d[x] >> 1;
      d[x] += s[x];
    }
  }
}

void TwoSixRefine(const LineSet<int32_t>& lines, int sign) {
  const int n = lines.count;
  const int lows = LowCount(n);
  for (int i = 0; i < HighCount(n); ++i) {
    ConstLine before = lines.line(2 * (i > 0 ? i - 1 : 0));
    ConstLine after = lines.line(2 * (i + 1 < lows ? i + 1 : lows - 1));
    Line d = lines.line(2 * i + 1);
    for (int x = 0; x < lines.width; ++x) d[x] += sign * ((before[x] - after[x] + 2) >> 2);
  }
}

}  // namespace

void LeGall53Forward(const LineSet<int32_t>& lines, std::vector<int32_t>& scratch) {
  if (lines.count < 2) return;
  const int lows = LowCount(lines.count), highs = HighCount(lines.count);
  for (int i = 0; i < lows; ++i) {
    if (i < highs) HighStep53(lines, i, -1);
    LowStep53(lines, i, 1);
  }
  Deinterleave(lines, scratch);
}

void LeGall53Inverse(const LineSet<int32_t>& lines, std::vector<int32_t>& scratch) {
  if (lines.count < 2) return;
  Interleave(lines, scratch);
  const int lows = LowCount(lines.count), highs = HighCount(lines.count);
  for (int i = 0; i <= lows; ++i) {
    if (i < lows) LowStep53(lines, i, -1);
    if (i >= 1 && i - 1 < highs) HighStep53(lines, i - 1, 1);
  }
}

void SPlusPForward(const LineSet<int32_t>& lines, std::vector<int32_t>& scratch) {
  if (lines.count < 2) return;
  PairSum(lines);
  for (int k = 0; k < HighCount(lines.count); ++k) PredictSPlusP(lines, k, -1);
  Deinterleave(lines, scratch);
}

void SPlusPInverse(const LineSet<int32_t>& lines, std::vector<int32_t>& scratch) {
  if (lines.count < 2) return;
  Interleave(lines, scratch);
  for (int k = HighCount(lines.count) - 1; k >= 0; --k) PredictSPlusP(lines, k, 1);
  PairRestore(lines);
}

void TwoSixForward(const LineSet<int32_t>& lines, std::vector<int32_t>& scratch) {
  if (lines.count < 2) return;
  TwoSixPairs(lines);
  TwoSixRefine(lines, 1);
  Deinterleave(lines, scratch);
}

void TwoSixInverse(const LineSet<int32_t>& lines, std::vector<int32_t>& scratch) {
  if (lines.count < 2) return;
  Interleave(lines, scratch);
  TwoSixRefine(lines, -1);
  TwoSixUnpairs(lines);
}

}  // namespace tavix::transform_detail
