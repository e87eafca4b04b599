// A logical palette: what CreatePalette builds from a colour table or from
// the display quantiser, and what a palette device realises before drawing.
#pragma once

#include <vector>

#include "WinTypes.h"

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
  friend bool operator==(const PALETTEENTRY&, const PALETTEENTRY&) = default;
};

constexpr WORD kLogPaletteVersion = 0x300;

class CPalette {
public:
  CPalette() = default;
  explicit CPalette(std::vector<PALETTEENTRY> entries) : m_entries(std::move(entries)) {}

  WORD Version() const { return kLogPaletteVersion; }
  const std::vector<PALETTEENTRY>& Entries() const { return m_entries; }
  size_t Size() const { return m_entries.size(); }

private:
  std::vector<PALETTEENTRY> m_entries;
};
