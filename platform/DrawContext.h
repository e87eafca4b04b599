// The drawing surface CDib and the plug-in paint through. The application
// implements it over QPainter; tests use CMemoryCanvas.
#pragma once

#include "Bitmap.h"
#include "Palette.h"

enum : int { COLORONCOLOR = 3 };
enum : DWORD { SRCCOPY = 0x00CC0020 };

class CDrawContext {
public:
  virtual ~CDrawContext() = default;

  // True for a device that shows at most 256 colours through a palette.
  virtual bool IsPaletteDevice() const = 0;

  // Selects a palette for the next drawing; returns the one selected before
  // (nullptr for the default palette).
  virtual const CPalette* SelectPalette(const CPalette* palette, bool forceBackground) = 0;
  // Maps the selected palette into the device; returns the number of entries mapped.
  virtual UINT RealizePalette() = 0;

  virtual int SetStretchBltMode(int mode) = 0;

  // Copies the DIB rectangle (xSrc, ySrc, cxSrc, cySrc) to the device
  // rectangle (xDst, yDst, cxDst, cyDst), stretching as needed. Source
  // coordinates are DIB coordinates: the origin is the bottom-left pixel of
  // a bottom-up bitmap. Returns the number of scan lines drawn, 0 on failure.
  virtual int StretchDIBits(int xDst, int yDst, int cxDst, int cyDst, int xSrc, int ySrc, int cxSrc, int cySrc,
                            const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) = 0;
};
