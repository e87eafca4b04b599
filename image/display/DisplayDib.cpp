#include "image/display/DisplayDib.h"

#include <cstring>
#include <new>

#include "image/display/ColorQuantizer.h"

namespace {
constexpr LONG kPixelsPerMetre = 2834;  // 72 dots per inch
}

CDisplayDib::CDisplayDib() : m_pInfo(reinterpret_cast<BITMAPINFO*>(&m_info)) {
  std::memset(&m_info, 0, sizeof(m_info));
  m_info.header.biSize = kBitmapInfoHeaderSize;
  m_info.header.biPlanes = 1;
}

void CDisplayDib::SetImage(std::unique_ptr<BYTE[]> rgb, int width, int height) {
  BITMAPINFOHEADER& h = m_info.header;
  h.biSize = kBitmapInfoHeaderSize;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biCompression = BI_RGB;
  h.biSizeImage = 0;
  h.biXPelsPerMeter = kPixelsPerMetre;
  h.biYPelsPerMeter = kPixelsPerMetre;
  h.biClrUsed = 0;
  h.biClrImportant = 0;
  m_pSource = std::move(rgb);
  m_bHasRGB = 1;
}

BOOL CDisplayDib::Dither(const CColorQuantizer* quantizer) {
  const int width = m_info.header.biWidth;
  const int height = m_info.header.biHeight;
  if (!quantizer || !m_bHasRGB || !m_pSource || width <= 0 || height <= 0) return FALSE;
  std::unique_ptr<BYTE[]> indices(new (std::nothrow) BYTE[static_cast<size_t>(width) * height]);
  if (!indices) return FALSE;
  quantizer->MapDither(m_pSource.get(), indices.get(), width, height);
  m_pSource = std::move(indices);
  m_bHasRGB = 0;

  unsigned count = 0;
  const BYTE* palette = nullptr;
  quantizer->GetPalette(count, palette);
  for (unsigned i = 0; i < count && i < 256; ++i) {
    m_info.colors[i] = RGBQUAD{palette[3 * i + 2], palette[3 * i + 1], palette[3 * i], 0};
  }
  m_info.header.biClrUsed = count;
  return TRUE;
}

BOOL CDisplayDib::BuildBits() {
  m_pDisplayBits.reset();
  BITMAPINFOHEADER& h = m_info.header;
  const int width = h.biWidth;
  const int height = h.biHeight;
  if (!m_pSource || width <= 0 || height <= 0) return FALSE;

  // 24-bit rows take 3 * width + (width & 3) bytes, which is always a
  // multiple of 4; 8-bit rows are padded up to the next multiple of 4.
  const size_t sourceRow = static_cast<size_t>(width) * (m_bHasRGB ? 3 : 1);
  const size_t padding = m_bHasRGB ? static_cast<size_t>(width & 3) : static_cast<size_t>(-width & 3);
  const size_t stride = sourceRow + padding;
  const size_t total = stride * static_cast<size_t>(height);
  std::unique_ptr<BYTE[]> bits(new (std::nothrow) BYTE[total]);
  if (!bits) return FALSE;

  for (int y = 0; y < height; ++y) {
    const BYTE* src = m_pSource.get() + sourceRow * static_cast<size_t>(y);
    BYTE* dst = bits.get() + stride * static_cast<size_t>(height - 1 - y);
    if (m_bHasRGB) {
      for (size_t i = 0; i < sourceRow; i += 3) {
        dst[i] = src[i + 2];
        dst[i + 1] = src[i + 1];
        dst[i + 2] = src[i];
      }
    } else {
      std::memcpy(dst, src, sourceRow);
    }
    std::memset(dst + sourceRow, 0, padding);
  }
  h.biBitCount = m_bHasRGB ? 24 : 8;
  h.biSizeImage = static_cast<DWORD>(total);
  m_pDisplayBits = std::move(bits);
  m_pSource.reset();
  return TRUE;
}
