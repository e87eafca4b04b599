#include "Bitmap.h"

BITMAPFILEHEADER ReadFileHeader(const BYTE* b) {
  BITMAPFILEHEADER h;
  h.bfType = ReadLE16(b);
  h.bfSize = ReadLE32(b + 2);
  h.bfReserved1 = ReadLE16(b + 6);
  h.bfReserved2 = ReadLE16(b + 8);
  h.bfOffBits = ReadLE32(b + 10);
  return h;
}

void WriteFileHeader(const BITMAPFILEHEADER& h, BYTE* b) {
  WriteLE16(b, h.bfType);
  WriteLE32(b + 2, h.bfSize);
  WriteLE16(b + 6, h.bfReserved1);
  WriteLE16(b + 8, h.bfReserved2);
  WriteLE32(b + 10, h.bfOffBits);
}

BITMAPINFOHEADER ReadInfoHeader(const BYTE* b) {
  BITMAPINFOHEADER h;
  h.biSize = ReadLE32(b);
  h.biWidth = static_cast<LONG>(ReadLE32(b + 4));
  h.biHeight = static_cast<LONG>(ReadLE32(b + 8));
  h.biPlanes = ReadLE16(b + 12);
  h.biBitCount = ReadLE16(b + 14);
  h.biCompression = ReadLE32(b + 16);
  h.biSizeImage = ReadLE32(b + 20);
  h.biXPelsPerMeter = static_cast<LONG>(ReadLE32(b + 24));
  h.biYPelsPerMeter = static_cast<LONG>(ReadLE32(b + 28));
  h.biClrUsed = ReadLE32(b + 32);
  h.biClrImportant = ReadLE32(b + 36);
  return h;
}

void WriteInfoHeader(const BITMAPINFOHEADER& h, BYTE* b) {
  WriteLE32(b, h.biSize);
  WriteLE32(b + 4, static_cast<uint32_t>(h.biWidth));
  WriteLE32(b + 8, static_cast<uint32_t>(h.biHeight));
  WriteLE16(b + 12, h.biPlanes);
  WriteLE16(b + 14, h.biBitCount);
  WriteLE32(b + 16, h.biCompression);
  WriteLE32(b + 20, h.biSizeImage);
  WriteLE32(b + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
  WriteLE32(b + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
  WriteLE32(b + 32, h.biClrUsed);
  WriteLE32(b + 36, h.biClrImportant);
}
