// Builds a drawable bottom-up DIB from a top-down RGB image: 24-bit as it
// is, or dithered to 8-bit indices of the quantiser's palette.
#pragma once

#include <memory>

#include "platform/Bitmap.h"

class CColorQuantizer;

class CDisplayDib {
public:
  CDisplayDib();
  ~CDisplayDib() = default;
  CDisplayDib(const CDisplayDib&) = delete;
  CDisplayDib& operator=(const CDisplayDib&) = delete;

  // Takes ownership of width x height top-down R, G, B triples.
  void SetImage(std::unique_ptr<BYTE[]> rgb, int width, int height);
  // Replaces the RGB data by palette indices; FALSE when there is no
  // quantiser, no RGB data, or no memory.
  BOOL Dither(const CColorQuantizer* quantizer);
  // Builds the bottom-up bits from the current data and frees the source.
  BOOL BuildBits();

  const BITMAPINFO* GetInfo() const { return m_pInfo; }
  const BITMAPINFOHEADER& GetHeader() const { return m_info.header; }
  const BYTE* GetBits() const { return m_pDisplayBits.get(); }
  int GetWidth() const { return m_info.header.biWidth; }
  int GetHeight() const { return m_info.header.biHeight; }
  BOOL HasRGB() const { return m_bHasRGB; }

private:
  struct InfoBlock {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  };

  InfoBlock m_info;
  BITMAPINFO* m_pInfo;
  BOOL m_bHasRGB = 0;
  std::unique_ptr<BYTE[]> m_pDisplayBits;
  std::unique_ptr<BYTE[]> m_pSource;
};
