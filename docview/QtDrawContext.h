// The drawing context CDib draws into on screen: StretchDIBits over a
// QPainter. Only the part of the bitmap that lands inside the painter's clip
// is converted, and a reduced image is sampled down rather than converted
// whole, so a repaint costs about the pixels shown, not the image's size.
#pragma once

#include <QPainter>

#include "platform/DrawContext.h"

class CQtDrawContext : public CDrawContext {
public:
  // `paletteDevice`: behave as a display of at most 256 colours.
  CQtDrawContext(QPainter* painter, bool paletteDevice);

  bool IsPaletteDevice() const override;
  const CPalette* SelectPalette(const CPalette* palette, bool forceBackground) override;
  UINT RealizePalette() override;
  int SetStretchBltMode(int mode) override;
  int StretchDIBits(int xDst, int yDst, int cxDst, int cyDst, int xSrc, int ySrc, int cxSrc, int cySrc,
                    const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) override;

  // What the last StretchDIBits converted: distinct source rows read and
  // device pixels produced (for tests that check a repaint's cost).
  int RowsConverted() const { return m_nRowsConverted; }
  long long PixelsConverted() const { return m_nPixelsConverted; }

private:
  // The device rectangle drawing can reach, in the painter's coordinates.
  QRect clipRect() const;

  QPainter* m_pPainter;
  bool m_bPaletteDevice;
  const CPalette* m_pPalette = nullptr;
  int m_nStretchMode = COLORONCOLOR;
  int m_nRowsConverted = 0;
  long long m_nPixelsConverted = 0;
};
