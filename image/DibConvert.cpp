// CDib conversions between the top-down pixel buffer and the bottom-up DIB.
// Rows are walked with pointers and copied whole where the layout allows;
// no per-pixel calls.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "image/Dib.h"
#include "image/Limits.h"
#include "image/display/ColorQuantizer.h"
#include "image/display/DisplayDib.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace {

void SwapRedBlueScalar(const BYTE* __restrict src, BYTE* __restrict dst, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i, src += 3, dst += 3) {
    const BYTE r = src[0];
    const BYTE g = src[1];
    const BYTE b = src[2];
    dst[0] = b;
    dst[1] = g;
    dst[2] = r;
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
// Five pixels per 16-byte shuffle. Each store writes one byte beyond the
// five pixels, which the next step overwrites, so the loop stops while at
// least one whole pixel remains after the block.
__attribute__((target("ssse3"))) void SwapRedBlueSsse3(const BYTE* src, BYTE* dst, size_t pixels) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  size_t i = 0;
  for (; i + 6 <= pixels; i += 5, src += 15, dst += 15) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_shuffle_epi8(block, order));
  }
  SwapRedBlueScalar(src, dst, pixels - i);
}

bool HasSsse3() {
  static const bool supported = __builtin_cpu_supports("ssse3");
  return supported;
}
#endif

}  // namespace

// R, G, B <-> B, G, R for one row of `pixels` pixels; src and dst do not overlap.
void CDib::SwapRedBlue(const BYTE* src, BYTE* dst, size_t pixels) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (HasSsse3()) {
    SwapRedBlueSsse3(src, dst, pixels);
    return;
  }
#endif
  SwapRedBlueScalar(src, dst, pixels);
}

namespace {

// DIB row holding top-down pixel row y.
inline size_t DibRowFor(int y, int height) { return static_cast<size_t>(height - 1 - y); }

}  // namespace

int CDib::PrepareRows(int width, int height, int bitsPerPixel) {
  // A rebuild of the same size reuses the old bits block.
  std::unique_ptr<BYTE[]> oldBits = m_bOwnBits ? std::move(m_bitsBlock) : nullptr;
  const size_t oldBitsSize = oldBits ? m_nImageSize : 0;
  Free();
  SetColorCount(bitsPerPixel);
  if (bitsPerPixel != 8 && bitsPerPixel != 24) return 0;
  size_t pixelBytes = 0;
  if (!CheckedImageBytes(width, height, bitsPerPixel / 8, pixelBytes)) return 0;

  if (!InstallNewHeader(width, height, bitsPerPixel) || !ComputeLayout()) return 0;
  if (oldBits && oldBitsSize == m_nImageSize) {
    m_bitsBlock = std::move(oldBits);
    m_pBits = m_bitsBlock.get();
    m_bOwnBits = 1;
  } else if (!AllocBits(m_nImageSize)) {
    return 0;
  }
  if (bitsPerPixel == 8) {
    for (int i = 0; i < 256; ++i) {
      const BYTE v = static_cast<BYTE>(i);
      m_pColorTable[i] = RGBQUAD{v, v, v, 0};
    }
  }
  return 1;
}

BYTE* CDib::TopDownRow(int y) {
  const BITMAPINFOHEADER* header = Header();
  return m_pBits + (m_nImageSize / header->biHeight) * DibRowFor(y, header->biHeight);
}

const BYTE* CDib::TopDownRow(int y) const {
  const BITMAPINFOHEADER* header = Header();
  return m_pBits + (m_nImageSize / header->biHeight) * DibRowFor(y, header->biHeight);
}

int CDib::FinishRows() {
  const BITMAPINFOHEADER* header = Header();
  const size_t stride = m_nImageSize / header->biHeight;
  const size_t rowBytes = RowBytes();
  for (int y = 0; y < header->biHeight; ++y) std::memset(TopDownRow(y) + rowBytes, 0, stride - rowBytes);
  if (!CreatePalette()) return 0;
  if (m_pQuantizer && !RefreshDisplayCopy()) return 0;
  return 1;
}

int CDib::CreateFromPixels(int width, int height, int bitsPerPixel) {
  if (!PrepareRows(width, height, bitsPerPixel)) return 0;
  const size_t rowBytes = static_cast<size_t>(width) * (bitsPerPixel / 8);
  if (!m_pPixels || m_nPixelBytes < rowBytes * static_cast<size_t>(height)) {
    Free();
    return 0;
  }
  const BYTE* src = m_pPixels.get();
  for (int y = 0; y < height; ++y, src += rowBytes) {
    if (bitsPerPixel == 8) {
      std::memcpy(TopDownRow(y), src, rowBytes);
    } else {
      SwapRedBlue(src, TopDownRow(y), static_cast<size_t>(width));
    }
  }
  return FinishRows();
}

int CDib::UpdateBitsFromPixels() {
  const BITMAPINFOHEADER* header = Header();
  if (!header || !m_pBits || !m_pPixels) return 0;
  const int width = header->biWidth;
  const int height = header->biHeight;
  const int bytesPerPixel = header->biBitCount / 8;
  if ((bytesPerPixel != 1 && bytesPerPixel != 3) || width <= 0 || height <= 0) return 0;
  const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel;
  if (m_nPixelBytes < rowBytes * static_cast<size_t>(height)) return 0;
  const size_t stride = m_nImageSize / static_cast<size_t>(height);

  const BYTE* src = m_pPixels.get();
  for (int y = 0; y < height; ++y, src += rowBytes) {
    BYTE* dst = m_pBits + stride * DibRowFor(y, height);
    if (bytesPerPixel == 1) {
      std::memcpy(dst, src, rowBytes);
    } else {
      SwapRedBlue(src, dst, static_cast<size_t>(width));
    }
  }
  if (m_pQuantizer) RefreshDisplayCopy();
  return 1;
}

int CDib::MakePixels() {
  const BITMAPINFOHEADER* header = Header();
  if (!header || !m_pBits) return 0;
  const int width = header->biWidth;
  const int height = header->biHeight;
  const int bitCount = header->biBitCount;
  if (width <= 0 || height <= 0) return 0;
  const int outBytes = m_nColorType == DibGrey ? 1 : 3;
  size_t bytes = 0;
  if (!CheckedImageBytes(width, height, outBytes, bytes)) return 0;
  const uint64_t stride = DibStride(width, bitCount);
  if (stride * static_cast<uint64_t>(height) > m_nImageSize) return 0;
  if (bitCount <= 8 && !m_pColorTable) return 0;
  if (!EnsurePixelBuffer(bytes)) return 0;

  // Colour-table lookups go through one 256-entry table per component, so a
  // non-identity grey table is applied as it stands.
  BYTE red[256] = {}, green[256] = {}, blue[256] = {};
  if (bitCount <= 8) {
    const size_t available =
        m_nHeaderBytes > kBitmapInfoHeaderSize ? (m_nHeaderBytes - kBitmapInfoHeaderSize) / 4 : 0;
    const size_t entries = std::min<size_t>({static_cast<size_t>(std::max(m_nColors, 0)), available, 256});
    for (size_t i = 0; i < entries; ++i) {
      red[i] = m_pColorTable[i].rgbRed;
      green[i] = m_pColorTable[i].rgbGreen;
      blue[i] = m_pColorTable[i].rgbBlue;
    }
  }

  const size_t rowOut = static_cast<size_t>(width) * outBytes;
  BYTE* dst = m_pPixels.get();
  for (int y = 0; y < height; ++y, dst += rowOut) {
    const BYTE* src = m_pBits + stride * DibRowFor(y, height);
    if (bitCount == 24 && outBytes == 3) {
      SwapRedBlue(src, dst, static_cast<size_t>(width));
    } else if (bitCount == 24) {  // a colour DIB asked for grey: take red
      for (int x = 0; x < width; ++x) dst[x] = src[3 * x + 2];
    } else if (bitCount == 8 && outBytes == 1) {
      for (int x = 0; x < width; ++x) dst[x] = red[src[x]];
    } else if (bitCount <= 8) {
      const int perByte = 8 / bitCount;
      const int mask = (1 << bitCount) - 1;
      for (int x = 0; x < width; ++x) {
        const int shift = (perByte - 1 - x % perByte) * bitCount;
        const int index = (src[x / perByte] >> shift) & mask;
        if (outBytes == 1) {
          dst[x] = red[index];
        } else {
          dst[3 * x] = red[index];
          dst[3 * x + 1] = green[index];
          dst[3 * x + 2] = blue[index];
        }
      }
    } else {
      FreePixels();
      return 0;  // 16- and 32-bit DIBs are not held by the model
    }
  }
  return 1;
}

int CDib::ExpandPaletteTo24() {
  const BITMAPINFOHEADER* header = Header();
  if (!header || header->biBitCount > 8) return DIB_ERR_INTERNAL;
  const int width = header->biWidth;
  const int height = header->biHeight;
  const int savedBits = m_nBitsPerPlane;
  const DWORD savedPlanes = m_nPlanes;
  const int savedType = m_nColorType;

  m_nColorType = DibPaletteColor;  // makes MakePixels look the indices up as R, G, B
  const bool madePixels = MakePixels() != 0;
  m_nColorType = savedType;
  if (!madePixels) return DIB_ERR_MEMORY;

  Free();
  const int created = CreateFromPixels(width, height, 24);
  m_nBitsPerPlane = savedBits;
  m_nPlanes = savedPlanes;
  m_nColorType = savedType;
  FreePixels();
  return created ? DIB_OK : DIB_ERR_INTERNAL;
}

// The dithered copy that palette displays draw instead of the DIB. Only a
// 24-bit DIB needs one: images with a colour table draw through their own
// palette.
bool CDib::RefreshDisplayCopy() {
  if (!m_pQuantizer) return true;
  const BITMAPINFOHEADER* header = Header();
  if (!header || header->biBitCount != 24) return true;
  const int width = header->biWidth;
  const int height = header->biHeight;
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;

  std::unique_ptr<BYTE[]> copy(new (std::nothrow) BYTE[bytes]);
  if (!copy) return false;
  if (m_pPixels && m_nPixelBytes >= bytes && m_nColorType != DibGrey) {
    std::memcpy(copy.get(), m_pPixels.get(), bytes);
  } else {
    for (int y = 0; y < height; ++y) {
      const BYTE* src = m_pBits + (m_nImageSize / height) * DibRowFor(y, height);
      SwapRedBlue(src, copy.get() + static_cast<size_t>(y) * width * 3, static_cast<size_t>(width));
    }
  }
  m_nColorType = DibPaletteColor;
  if (!m_pDisplayDib) m_pDisplayDib.reset(new (std::nothrow) CDisplayDib);
  if (!m_pDisplayDib) return false;
  m_pDisplayDib->SetImage(std::move(copy), width, height);
  return m_pDisplayDib->Dither(m_pQuantizer.get()) && m_pDisplayDib->BuildBits();
}
