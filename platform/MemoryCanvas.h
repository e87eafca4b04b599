// An RGB canvas in memory that implements the drawing context exactly as a
// screen device would (StretchDIBits with COLORONCOLOR). Used by tests, the
// plug-in's headless window layer and tools that render snapshots.
#pragma once

#include <cstdint>
#include <vector>

#include "DrawContext.h"

class CMemoryCanvas : public CDrawContext {
public:
  CMemoryCanvas(int width, int height, bool paletteDevice = false, uint32_t background = 0x000000);

  bool IsPaletteDevice() const override { return m_bPaletteDevice; }
  const CPalette* SelectPalette(const CPalette* palette, bool forceBackground) override;
  UINT RealizePalette() override;
  int SetStretchBltMode(int mode) override;
  int StretchDIBits(int xDst, int yDst, int cxDst, int cyDst, int xSrc, int ySrc, int cxSrc, int cySrc,
                    const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) override;

  // Fills a rectangle (clipped) with an 0xRRGGBB colour.
  void FillRect(int left, int top, int right, int bottom, uint32_t rgb);

  int Width() const { return m_nWidth; }
  int Height() const { return m_nHeight; }
  // 0xRRGGBB of a device pixel; 0 outside the canvas.
  uint32_t Pixel(int x, int y) const;
  // Top-down R, G, B bytes of the whole canvas.
  const std::vector<uint8_t>& Rgb() const { return m_rgb; }

  // What the context has been asked to do, for tests.
  const CPalette* SelectedPalette() const { return m_pSelected; }
  int StretchMode() const { return m_nStretchMode; }
  int RealizeCount() const { return m_nRealizeCount; }
  int DrawCount() const { return m_nDrawCount; }

private:
  int m_nWidth;
  int m_nHeight;
  bool m_bPaletteDevice;
  std::vector<uint8_t> m_rgb;
  const CPalette* m_pSelected = nullptr;
  int m_nStretchMode = 0;
  int m_nRealizeCount = 0;
  int m_nDrawCount = 0;
};
