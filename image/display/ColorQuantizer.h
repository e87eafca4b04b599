// The fixed 216-colour cube and Floyd-Steinberg mapping of 24-bit pixels
// onto it, for displays that show colour through a 256-entry palette.
#pragma once

#include "platform/WinTypes.h"

class CColorQuantizer {
public:
  static constexpr unsigned kCubeLevels = 6;
  static constexpr unsigned kCubeSize = 216;
  static constexpr unsigned kLevelStep = 51;

  CColorQuantizer();
  virtual ~CColorQuantizer() = default;

  void GetPalette(unsigned& count, const BYTE*& rgb) const;

  // Maps width x height top-down R, G, B triples to palette indices,
  // diffusing each pixel's error into its not yet mapped neighbours of `rgb`
  // (which is modified).
  void MapDither(BYTE* rgb, BYTE* indices, int width, int height) const;

private:
  BYTE m_lookup[kCubeSize][4];  // index, R, G, B
  unsigned m_nPaletteSize;
  BYTE m_palette[256][3];
};
