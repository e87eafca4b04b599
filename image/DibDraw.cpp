// CDib palettes and drawing through the platform drawing context.
#include <algorithm>
#include <new>

#include "image/Dib.h"
#include "image/display/ColorQuantizer.h"
#include "image/display/DisplayDib.h"

BOOL CDib::Draw(CDrawContext* pDC, int x, int y, int cx, int cy) {
  const CSize size = GetSize();
  return Draw(pDC, x, y, cx, cy, 0, 0, size.cx, size.cy);
}

BOOL CDib::Draw(CDrawContext* pDC, int xDst, int yDst, int cxDst, int cyDst, int xSrc, int ySrc, int cxSrc,
                int cySrc) {
  if (!pDC || !m_pBMI || !m_pBits) return FALSE;
  const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(m_pBMI);
  const void* bits = m_pBits;
  if (m_pQuantizer && m_pDisplayDib && m_pDisplayDib->GetBits()) {
    info = m_pDisplayDib->GetInfo();
    bits = m_pDisplayDib->GetBits();
  }
  if (m_hPalette) {
    pDC->SelectPalette(m_hPalette.get(), false);
    pDC->RealizePalette();
  }
  pDC->SetStretchBltMode(COLORONCOLOR);
  pDC->StretchDIBits(xDst, yDst, cxDst, cyDst, xSrc, ySrc, cxSrc, cySrc, bits, info, DIB_RGB_COLORS, SRCCOPY);
  return TRUE;
}

// A palette from the colour table, or for a true-colour image on a palette
// display the quantiser's 216-colour cube together with the display copy
// that is dithered onto it. Images with a colour table need no display
// copy, so an older quantiser is dropped for them.
BOOL CDib::CreatePalette() {
  m_hPalette.reset();
  std::vector<PALETTEENTRY> entries;
  if (m_nColors > 0 && m_pColorTable) {
    const size_t available =
        HeaderBytes() > kBitmapInfoHeaderSize ? (HeaderBytes() - kBitmapInfoHeaderSize) / 4 : 0;
    const size_t count = std::min(static_cast<size_t>(m_nColors), available);
    entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      const RGBQUAD& q = m_pColorTable[i];
      entries.push_back(PALETTEENTRY{q.rgbRed, q.rgbGreen, q.rgbBlue, 0});
    }
    m_pQuantizer.reset();
    m_pDisplayDib.reset();
  } else {
    m_pQuantizer.reset();
    m_pDisplayDib.reset();
    if (!IsPaletteDisplay()) return TRUE;
    m_pDisplayDib.reset(new (std::nothrow) CDisplayDib);
    m_pQuantizer.reset(new (std::nothrow) CColorQuantizer);
    if (!m_pDisplayDib || !m_pQuantizer) {
      m_pDisplayDib.reset();
      m_pQuantizer.reset();
      return FALSE;
    }
    unsigned count = 0;
    const BYTE* rgb = nullptr;
    m_pQuantizer->GetPalette(count, rgb);
    entries.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
      entries.push_back(PALETTEENTRY{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 0});
    }
  }
  m_hPalette.reset(new (std::nothrow) CPalette(std::move(entries)));
  return m_hPalette != nullptr;
}

UINT CDib::RealizePalette(CDrawContext* pDC, BOOL bForceBackground) {
  if (!m_hPalette || !pDC) return 0;
  pDC->SelectPalette(m_hPalette.get(), bForceBackground != FALSE);
  return pDC->RealizePalette();
}
