// CDib from packed DIB blocks: clipboard images and the bitmaps the
// application embeds as resources. Both come from outside, so every size is
// checked in 64-bit arithmetic before anything is copied.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/Dib.h"
#include "image/Limits.h"

namespace {

bool IsKnownBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Colour-table entries that follow a header: biClrUsed, or 2^bits for
// indexed images. A table larger than the indices can address is refused.
bool TableEntries(const BITMAPINFOHEADER& header, uint64_t& entries) {
  const int bits = header.biBitCount;
  if (bits <= 8) {
    const uint64_t most = uint64_t{1} << bits;
    entries = header.biClrUsed ? header.biClrUsed : most;
    return entries <= most;
  }
  entries = header.biClrUsed;
  return entries <= 256;
}

// Colour-table entries a packed block carries (its bits follow them) and
// how many of them the image keeps: no more than the indices can address,
// or 256 for a true-colour image's optional table. The surplus is skipped.
void PackedTableEntries(const BITMAPINFOHEADER& header, uint64_t& stored, uint64_t& kept) {
  const int bits = header.biBitCount;
  const uint64_t most = bits <= 8 ? uint64_t{1} << bits : 256;
  stored = header.biClrUsed ? header.biClrUsed : (bits <= 8 ? most : 0);
  kept = std::min(stored, most);
}

}  // namespace

int CDib::LoadPackedDib(const void* pPacked, void* hGlobal, int nSize) {
  Free();
  FreePixels();
  m_hGlobal = hGlobal;
  const BYTE* packed = static_cast<const BYTE*>(pPacked);
  if (!packed || nSize < static_cast<int>(kBitmapInfoHeaderSize)) return DIB_ERR_INTERNAL;
  const uint64_t blockSize = static_cast<uint64_t>(nSize);

  BITMAPINFOHEADER header = ReadInfoHeader(packed);
  if (header.biSize != kBitmapInfoHeaderSize || !IsKnownBitCount(header.biBitCount) ||
      header.biHeight < -kMaxImageDimension) {
    return DIB_ERR_INTERNAL;
  }
  uint64_t stored = 0;
  uint64_t entries = 0;
  PackedTableEntries(header, stored, entries);
  const uint64_t storedBytes = kBitmapInfoHeaderSize + 4 * stored;
  if (blockSize < storedBytes) return DIB_ERR_INTERNAL;
  const uint64_t headerBytes = kBitmapInfoHeaderSize + 4 * entries;
  if (header.biClrUsed) header.biClrUsed = static_cast<DWORD>(entries);

  // Header and table into an owned block; a top-down block is turned the
  // right way up as its rows are copied below.
  // The owned block always has room for every index the depth can address,
  // so a short table reads as black rather than past the block.
  const bool topDown = header.biHeight < 0;
  const uint64_t addressable = header.biBitCount <= 8 ? (uint64_t{1} << header.biBitCount) : 0;
  if (!AllocHeader(static_cast<size_t>(kBitmapInfoHeaderSize + 4 * std::max(entries, addressable)))) {
    return DIB_ERR_MEMORY;
  }
  std::memcpy(m_pBMI, packed, static_cast<size_t>(headerBytes));
  if (topDown) header.biHeight = -header.biHeight;
  WriteInfoHeader(header, m_pBMI);
  if (!ComputeLayout()) {
    Free();
    return DIB_ERR_INTERNAL;
  }
  m_nColors = static_cast<int>(entries);

  if (blockSize < storedBytes + m_nImageSize) {
    Free();
    return DIB_ERR_INTERNAL;
  }
  if (!AllocBits(m_nImageSize)) {
    Free();
    return DIB_ERR_MEMORY;
  }
  const BYTE* bits = packed + storedBytes;
  if (topDown && header.biCompression == BI_RGB) {
    const size_t stride = static_cast<size_t>(DibStride(header.biWidth, header.biBitCount));
    const int height = header.biHeight;
    for (int row = 0; row < height; ++row) {
      std::memcpy(m_pBits + stride * static_cast<size_t>(height - 1 - row), bits + stride * row, stride);
    }
  } else {
    std::memcpy(m_pBits, bits, m_nImageSize);
  }

  CreatePalette();
  m_nFileSize = m_nImageSize;

  if (header.biCompression != BI_RGB) {
    Free();
    return DIB_ERR_FORMAT;
  }
  switch (header.biBitCount) {
    case 24:
      m_nBitsPerPlane = 8;
      m_nPlanes = 3;
      m_nColorType = DibRGB;
      break;
    case 8:
      m_nBitsPerPlane = 8;
      m_nPlanes = 1;
      if (IsGreyPalette()) {
        m_nColorType = DibGrey;
      } else {
        m_nColorType = DibPaletteColor;
        if (ExpandPaletteTo24() != DIB_OK) return DIB_ERR_MEMORY;
      }
      break;
    case 1:
    case 4:
      // Few-colour clipboard images are expanded to 24-bit colour, like
      // 8-bit images with a colour table; their depth is kept for display.
      m_nBitsPerPlane = header.biBitCount;
      m_nPlanes = 1;
      m_nColorType = DibPaletteColor;
      if (ExpandPaletteTo24() != DIB_OK) return DIB_ERR_MEMORY;
      break;
    default:
      Free();
      return DIB_ERR_FORMAT;
  }
  if (m_pQuantizer && !RefreshDisplayCopy()) return DIB_ERR_MEMORY;
  return DIB_OK;
}

// A bitmap resource, given as the bytes of a .bmp file. The bits stay in a
// block of their own (the "section"), the header gets room for a full table.
int CDib::LoadResourceBitmap(const void* bmpFile, size_t size, CDrawContext*) {
  Free();
  FreePixels();
  const BYTE* file = static_cast<const BYTE*>(bmpFile);
  if (!file || size < kBitmapFileHeaderSize + kBitmapInfoHeaderSize) return 0;
  const BITMAPFILEHEADER fileHeader = ReadFileHeader(file);
  BITMAPINFOHEADER header = ReadInfoHeader(file + kBitmapFileHeaderSize);
  if (fileHeader.bfType != BMP_SIGNATURE || header.biSize != kBitmapInfoHeaderSize ||
      !IsKnownBitCount(header.biBitCount) || header.biHeight <= 0) {
    return 0;
  }
  uint64_t entries = 0;
  if (!TableEntries(header, entries)) return 0;
  if (!AllocHeader(kBitmapInfoHeaderSize + 256 * 4)) return 0;
  WriteInfoHeader(header, m_pBMI);
  if (header.biCompression != BI_RGB) {
    Free();
    return -4;
  }
  if (!ComputeLayout()) {
    Free();
    return 0;
  }
  const uint64_t tableEnd = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + 4 * entries;
  const uint64_t bitsStart = fileHeader.bfOffBits ? fileHeader.bfOffBits : tableEnd;
  if (tableEnd > size || bitsStart > size || size - bitsStart < m_nImageSize) {
    Free();
    return 0;
  }
  m_hBitmap = std::make_unique<std::vector<BYTE>>(file + bitsStart, file + bitsStart + m_nImageSize);
  m_pBits = m_hBitmap->data();
  m_bOwnBits = 0;

  const size_t tableEntries = static_cast<size_t>(std::min<uint64_t>(entries, 256));
  std::memcpy(m_pColorTable, file + kBitmapFileHeaderSize + kBitmapInfoHeaderSize, 4 * tableEntries);
  if (tableEntries > 0) {
    SetColorCount(header.biBitCount);
    m_nColors = static_cast<int>(tableEntries);
    CreatePalette();
    m_nBitsPerPlane = header.biBitCount < 8 ? header.biBitCount : 8;
    m_nPlanes = 1;
    m_nColorType = header.biBitCount < 8 ? DibPaletteColor : DibGrey;
  } else {
    m_nBitsPerPlane = 8;
    m_nPlanes = 3;
    m_nColorType = DibRGB;
  }
  return 1;
}
