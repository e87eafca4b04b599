#include "MemoryCanvas.h"

#include <algorithm>
#include <cstdlib>

CMemoryCanvas::CMemoryCanvas(int width, int height, bool paletteDevice, uint32_t background)
    : m_nWidth(std::max(width, 0)), m_nHeight(std::max(height, 0)), m_bPaletteDevice(paletteDevice) {
  m_rgb.resize(static_cast<size_t>(m_nWidth) * m_nHeight * 3);
  FillRect(0, 0, m_nWidth, m_nHeight, background);
}

const CPalette* CMemoryCanvas::SelectPalette(const CPalette* palette, bool) {
  const CPalette* old = m_pSelected;
  m_pSelected = palette;
  return old;
}

UINT CMemoryCanvas::RealizePalette() {
  ++m_nRealizeCount;
  return m_pSelected ? static_cast<UINT>(m_pSelected->Size()) : 0;
}

int CMemoryCanvas::SetStretchBltMode(int mode) {
  int old = m_nStretchMode;
  m_nStretchMode = mode;
  return old;
}

void CMemoryCanvas::FillRect(int left, int top, int right, int bottom, uint32_t rgb) {
  left = std::clamp(left, 0, m_nWidth);
  right = std::clamp(right, 0, m_nWidth);
  top = std::clamp(top, 0, m_nHeight);
  bottom = std::clamp(bottom, 0, m_nHeight);
  for (int y = top; y < bottom; ++y) {
    uint8_t* p = &m_rgb[(static_cast<size_t>(y) * m_nWidth + left) * 3];
    for (int x = left; x < right; ++x, p += 3) {
      p[0] = static_cast<uint8_t>(rgb >> 16);
      p[1] = static_cast<uint8_t>(rgb >> 8);
      p[2] = static_cast<uint8_t>(rgb);
    }
  }
}

uint32_t CMemoryCanvas::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) return 0;
  const uint8_t* p = &m_rgb[(static_cast<size_t>(y) * m_nWidth + x) * 3];
  return (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
}

namespace {

// Reads DIB pixel (x, row) where row 0 is the first stored row.
uint32_t DibPixel(const BYTE* bits, const BITMAPINFO* info, size_t stride, int x, int row) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const BYTE* line = bits + stride * static_cast<size_t>(row);
  // Indices beyond the table draw black, as a screen device does.
  const unsigned tableSize = h.biClrUsed ? h.biClrUsed : (1u << h.biBitCount);
  auto fromTable = [&](unsigned index) -> uint32_t {
    if (index >= tableSize) return 0;
    const RGBQUAD& q = info->bmiColors[index];
    return (static_cast<uint32_t>(q.rgbRed) << 16) | (static_cast<uint32_t>(q.rgbGreen) << 8) | q.rgbBlue;
  };
  switch (h.biBitCount) {
    case 1: return fromTable((line[x >> 3] >> (7 - (x & 7))) & 1);
    case 4: return fromTable((line[x >> 1] >> ((x & 1) ? 0 : 4)) & 15);
    case 8: return fromTable(line[x]);
    case 24: {
      const BYTE* p = line + 3 * static_cast<size_t>(x);
      return (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
    }
    case 32: {
      const BYTE* p = line + 4 * static_cast<size_t>(x);
      return (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
    }
    default: return 0;
  }
}

}  // namespace

int CMemoryCanvas::StretchDIBits(int xDst, int yDst, int cxDst, int cyDst, int xSrc, int ySrc, int cxSrc,
                                 int cySrc, const void* bits, const BITMAPINFO* info, UINT usage, DWORD) {
  if (!bits || !info || usage != DIB_RGB_COLORS) return 0;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const int bitCount = h.biBitCount;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) return 0;
  if (cxDst <= 0 || cyDst <= 0 || cxSrc <= 0 || cySrc <= 0 || h.biWidth <= 0 || h.biHeight == 0) return 0;
  ++m_nDrawCount;

  const int dibWidth = h.biWidth;
  const bool topDown = h.biHeight < 0;
  const int dibHeight = topDown ? -h.biHeight : h.biHeight;
  const size_t stride = ((static_cast<size_t>(bitCount) * dibWidth + 31) / 32) * 4;
  const BYTE* base = static_cast<const BYTE*>(bits);

  int linesDrawn = 0;
  for (int dy = 0; dy < cyDst; ++dy) {
    const int y = yDst + dy;
    if (y < 0 || y >= m_nHeight) continue;
    // Destination rows run downwards; the source rectangle's bottom row is ySrc.
    const int fromBottom = ySrc + static_cast<int>((static_cast<int64_t>(cyDst - 1 - dy) * cySrc) / cyDst);
    if (fromBottom < 0 || fromBottom >= dibHeight) continue;
    const int storedRow = topDown ? dibHeight - 1 - fromBottom : fromBottom;
    uint8_t* out = &m_rgb[static_cast<size_t>(y) * m_nWidth * 3];
    bool any = false;
    for (int dx = 0; dx < cxDst; ++dx) {
      const int x = xDst + dx;
      if (x < 0 || x >= m_nWidth) continue;
      const int sx = xSrc + static_cast<int>((static_cast<int64_t>(dx) * cxSrc) / cxDst);
      if (sx < 0 || sx >= dibWidth) continue;
      const uint32_t rgb = DibPixel(base, info, stride, sx, storedRow);
      uint8_t* p = out + 3 * static_cast<size_t>(x);
      p[0] = static_cast<uint8_t>(rgb >> 16);
      p[1] = static_cast<uint8_t>(rgb >> 8);
      p[2] = static_cast<uint8_t>(rgb);
      any = true;
    }
    if (any) ++linesDrawn;
  }
  return linesDrawn;
}
