#include "image/display/ColorQuantizer.h"

#include <algorithm>

CColorQuantizer::CColorQuantizer() : m_nPaletteSize(kCubeSize) {
  std::fill(&m_palette[0][0], &m_palette[0][0] + sizeof(m_palette), BYTE{0});
  unsigned k = 0;
  for (unsigned ri = 0; ri < kCubeLevels; ++ri) {
    for (unsigned gi = 0; gi < kCubeLevels; ++gi) {
      for (unsigned bi = 0; bi < kCubeLevels; ++bi, ++k) {
        const BYTE r = static_cast<BYTE>(kLevelStep * ri);
        const BYTE g = static_cast<BYTE>(kLevelStep * gi);
        const BYTE b = static_cast<BYTE>(kLevelStep * bi);
        m_palette[k][0] = r;
        m_palette[k][1] = g;
        m_palette[k][2] = b;
        m_lookup[k][0] = static_cast<BYTE>(k);
        m_lookup[k][1] = r;
        m_lookup[k][2] = g;
        m_lookup[k][3] = b;
      }
    }
  }
}

void CColorQuantizer::GetPalette(unsigned& count, const BYTE*& rgb) const {
  count = m_nPaletteSize;
  rgb = &m_palette[0][0];
}

namespace {

// Per component value v: its part of the cell index (36, 6 or 1 times the
// truncated level v / 51) and what truncation leaves over (v % 51), looked
// up instead of divided.
struct CubeTables {
  BYTE cellPart[3][256];
  BYTE remainder[256];
};

constexpr CubeTables MakeCubeTables() {
  CubeTables t{};
  for (int v = 0; v < 256; ++v) {
    const int level = v / 51;
    t.cellPart[0][v] = static_cast<BYTE>(36 * level);
    t.cellPart[1][v] = static_cast<BYTE>(6 * level);
    t.cellPart[2][v] = static_cast<BYTE>(level);
    t.remainder[v] = static_cast<BYTE>(v - 51 * level);
  }
  return t;
}

constexpr CubeTables kCube = MakeCubeTables();

// Components stay within 0..255 and the cell truncates, so an error is
// always 0..50 and a diffused share never negative: only the upper bound
// needs clamping.
struct Rgb {
  int r, g, b;
};

inline Rgb Load(const BYTE* p) { return Rgb{p[0], p[1], p[2]}; }
inline void Store(BYTE* p, Rgb c) {
  p[0] = static_cast<BYTE>(c.r);
  p[1] = static_cast<BYTE>(c.g);
  p[2] = static_cast<BYTE>(c.b);
}
inline int AddClamped(int value, int error, int weight) {
  const int sum = value + ((error * weight) >> 4);
  return sum > 255 ? 255 : sum;
}
template <int Weight>
inline Rgb Diffuse(Rgb c, Rgb e) {
  return Rgb{AddClamped(c.r, e.r, Weight), AddClamped(c.g, e.g, Weight), AddClamped(c.b, e.b, Weight)};
}

}  // namespace

// Floyd-Steinberg on the fixed cube, top to bottom, left to right (no
// serpentine). The cell choice truncates each component to the cube level at
// or below it rather than rounding to the nearest level, so the error it
// leaves is never negative. Every neighbour gets (error * weight) >> 4 and is
// clamped after each addition: right 7, below-right 1, below 5, below-left 3;
// errors that would leave the image are dropped.
//
// A pixel of the next row receives its three shares in the order of the
// pixels above it, so the loop keeps the two pending pixels of the next row
// (below-left and below) in registers and writes each of them once.
void CColorQuantizer::MapDither(BYTE* rgb, BYTE* indices, int width, int height) const {
  if (!rgb || !indices || width <= 0 || height <= 0) return;
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    BYTE* row = rgb + rowBytes * static_cast<size_t>(y);
    BYTE* under = (y < height - 1) ? row + rowBytes : nullptr;
    BYTE* out = indices + static_cast<size_t>(width) * static_cast<size_t>(y);

    Rgb current = Load(row);
    Rgb belowLeft{0, 0, 0};
    Rgb below = under ? Load(under) : Rgb{0, 0, 0};
    for (int x = 0; x < width; ++x) {
      const int cell = kCube.cellPart[0][current.r] + kCube.cellPart[1][current.g] + kCube.cellPart[2][current.b];
      out[x] = m_lookup[cell][0];
      const Rgb error{kCube.remainder[current.r], kCube.remainder[current.g], kCube.remainder[current.b]};
      const bool hasRight = x < width - 1;
      Rgb right{0, 0, 0};
      if (hasRight) {
        right = Diffuse<7>(Load(row + 3 * static_cast<size_t>(x + 1)), error);
        Store(row + 3 * static_cast<size_t>(x + 1), right);
      }
      if (under) {
        Rgb belowRight{0, 0, 0};
        if (hasRight) belowRight = Diffuse<1>(Load(under + 3 * static_cast<size_t>(x + 1)), error);
        below = Diffuse<5>(below, error);
        if (x > 0) Store(under + 3 * static_cast<size_t>(x - 1), Diffuse<3>(belowLeft, error));
        belowLeft = below;
        below = belowRight;
      }
      current = right;
    }
    if (under) Store(under + 3 * static_cast<size_t>(width - 1), belowLeft);
  }
}
