#include <gtest/gtest.h>

#include <cstring>

#include "platform/Bitmap.h"
#include "platform/MemoryCanvas.h"

TEST(BitmapRecords, HeadersRoundTripThroughLittleEndianBytes) {
  BITMAPINFOHEADER header{40, -7, 300000, 1, 24, BI_RGB, 123456, 2834, -1, 17, 3};
  BYTE bytes[40];
  WriteInfoHeader(header, bytes);
  EXPECT_EQ(bytes[4], 0xF9);  // -7 little-endian
  EXPECT_EQ(bytes[7], 0xFF);
  EXPECT_EQ(bytes[8], 0xE0);  // 300000 = 0x000493E0
  EXPECT_EQ(bytes[9], 0x93);
  EXPECT_EQ(bytes[10], 0x04);
  const BITMAPINFOHEADER back = ReadInfoHeader(bytes);
  EXPECT_EQ(0, std::memcmp(&back, &header, sizeof(header)));

  BITMAPFILEHEADER file{BMP_SIGNATURE, 0, 0, 0, 1078};
  BYTE fileBytes[14];
  WriteFileHeader(file, fileBytes);
  EXPECT_EQ(fileBytes[0], 'B');
  EXPECT_EQ(fileBytes[1], 'M');
  EXPECT_EQ(ReadLE32(fileBytes + 10), 1078u);
  const DWORD offBits = ReadFileHeader(fileBytes).bfOffBits;
  EXPECT_EQ(offBits, 1078u);
}

namespace {

// A 2 x 2 bottom-up 24-bit DIB: bottom row blue, green; top row red, white.
struct TinyDib {
  BITMAPINFOHEADER header{40, 2, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  BYTE bits[16] = {
      0xFF, 0, 0, 0, 0xFF, 0, 0, 0,           // bottom: blue, green, pad
      0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0,     // top: red, white, pad
  };
  const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(&header); }
};

}  // namespace

TEST(MemoryCanvas, StretchDIBitsUsesBottomLeftSourceOrigin) {
  TinyDib dib;
  CMemoryCanvas canvas(4, 4);
  EXPECT_EQ(canvas.StretchDIBits(0, 0, 2, 2, 0, 0, 2, 2, dib.bits, dib.info(), DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(canvas.Pixel(0, 0), 0xFF0000u);  // top-left is the DIB's top row
  EXPECT_EQ(canvas.Pixel(1, 0), 0xFFFFFFu);
  EXPECT_EQ(canvas.Pixel(0, 1), 0x0000FFu);
  EXPECT_EQ(canvas.Pixel(1, 1), 0x00FF00u);

  // Source row 1 counted from the bottom is the top row.
  CMemoryCanvas top(2, 1);
  top.StretchDIBits(0, 0, 2, 1, 0, 1, 2, 1, dib.bits, dib.info(), DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(top.Pixel(0, 0), 0xFF0000u);
}

TEST(MemoryCanvas, StretchingRepeatsPixelsAndClipsToTheCanvas) {
  TinyDib dib;
  CMemoryCanvas canvas(3, 3, false, 0x123456);
  canvas.StretchDIBits(-1, -1, 4, 4, 0, 0, 2, 2, dib.bits, dib.info(), DIB_RGB_COLORS, SRCCOPY);
  // Destination (-1..2) x (-1..2) covers 2 x 2 device pixels per source pixel.
  EXPECT_EQ(canvas.Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(canvas.Pixel(1, 0), 0xFFFFFFu);
  EXPECT_EQ(canvas.Pixel(2, 2), 0x00FF00u);
  EXPECT_EQ(canvas.Pixel(0, 2), 0x0000FFu);

  CMemoryCanvas untouched(2, 2, false, 0x123456);
  EXPECT_EQ(untouched.StretchDIBits(0, 0, 0, 2, 0, 0, 2, 2, dib.bits, dib.info(), DIB_RGB_COLORS, SRCCOPY), 0);
  EXPECT_EQ(untouched.Pixel(0, 0), 0x123456u);
}
