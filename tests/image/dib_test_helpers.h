// Small builders shared by the image-model tests.
#pragma once

#include <cstring>
#include <memory>
#include <vector>

#include "image/Dib.h"

// Fills `dib` from top-down pixels (1 byte grey or 3 bytes RGB per pixel)
// through CreateFromPixels, as the readers do.
inline bool BuildDib(CDib& dib, const std::vector<BYTE>& pixels, int width, int height, bool grey) {
  dib.m_nColorType = grey ? DibGrey : DibRGB;
  dib.m_nBitsPerPlane = 8;
  dib.m_nPlanes = grey ? 1 : 3;
  if (!dib.AllocPixelBuffer(pixels.size())) return false;
  std::memcpy(dib.GetPixels(), pixels.data(), pixels.size());
  const bool ok = dib.CreateFromPixels(width, height, grey ? 8 : 24) != 0;
  dib.FreePixels();
  return ok;
}

// Deterministic pseudo-random bytes.
inline std::vector<BYTE> PatternBytes(size_t count, unsigned seed) {
  std::vector<BYTE> bytes(count);
  unsigned state = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<BYTE>(state >> 16);
  }
  return bytes;
}

// A packed DIB block: header, table, then bits (as on the clipboard).
struct PackedDib {
  std::vector<BYTE> bytes;
  BITMAPINFOHEADER header{};

  PackedDib(int width, int height, int bitCount, int tableEntries) {
    header = BITMAPINFOHEADER{40, width, height, 1, static_cast<WORD>(bitCount), BI_RGB, 0, 0, 0,
                              static_cast<DWORD>(tableEntries), 0};
    const int absHeight = height < 0 ? -height : height;
    const size_t stride = ((static_cast<size_t>(bitCount) * width + 31) / 32) * 4;
    bytes.resize(40 + 4 * static_cast<size_t>(tableEntries) + stride * absHeight);
    WriteInfoHeader(header, bytes.data());
  }
  RGBQUAD* table() { return reinterpret_cast<RGBQUAD*>(bytes.data() + 40); }
  BYTE* bits() { return bytes.data() + 40 + 4 * header.biClrUsed; }
  void rewriteHeader() { WriteInfoHeader(header, bytes.data()); }
  int size() const { return static_cast<int>(bytes.size()); }
};
