// PNM export of grey images whose colour table is not the identity, and
// PNM reads into a CDib that already holds an image.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "formats/format_test_helpers.h"
#include "image/Dib.h"
#include "image/display/DisplayDib.h"
#include "image/pnm.h"

using namespace formats_test;

namespace {

constexpr int kWidth = 13;  // odd, so 4-bit rows end in half a byte and need padding
constexpr int kHeight = 5;

int TableIndex(int x, int y, int entries) { return (5 * x + 3 * y) % entries; }

// A grey DIB of `bits` per pixel with an `entries`-entry table, entry i
// being (level(i), level(i), level(i)).
bool BuildGreyTableDib(CDib& dib, int bits, int entries, BYTE (*level)(int)) {
  const BITMAPINFOHEADER header{40, kWidth, kHeight, 1, static_cast<WORD>(bits), BI_RGB, 0, 0, 0,
                                static_cast<DWORD>(entries), 0};
  if (!dib.AllocHeader(40 + 4 * static_cast<size_t>(entries))) return false;
  WriteInfoHeader(header, dib.m_pBMI);
  if (!dib.ComputeLayout()) return false;
  dib.SetColorCount(bits);
  for (int i = 0; i < entries; ++i) dib.m_pColorTable[i] = RGBQUAD{level(i), level(i), level(i), 0};
  if (!dib.AllocBits(dib.m_nImageSize)) return false;
  std::memset(dib.m_pBits, 0, dib.m_nImageSize);
  const size_t stride = dib.m_nImageSize / kHeight;
  for (int y = 0; y < kHeight; ++y) {
    BYTE* row = dib.m_pBits + stride * (kHeight - 1 - y);
    for (int x = 0; x < kWidth; ++x) {
      const int index = TableIndex(x, y, entries);
      if (bits == 8) row[x] = static_cast<BYTE>(index);
      else row[x / 2] |= static_cast<BYTE>(x % 2 ? index : index << 4);
    }
  }
  dib.m_nColorType = DibGrey;
  dib.m_nBitsPerPlane = 8;
  dib.m_nPlanes = 1;
  return true;
}

Bytes PixelsOf(CDib& dib) {
  if (!dib.MakePixels()) return {};
  const CSize size = dib.GetSize();
  Bytes pixels(dib.GetPixels(), dib.GetPixels() + size_t(size.cx) * size.cy * dib.PixelBytesPerPixel());
  dib.FreePixels();
  return pixels;
}

Bytes DisplayBits(const CDib& dib) {
  if (!dib.m_pDisplayDib || !dib.m_pDisplayDib->GetBits()) return {};
  const CDisplayDib& copy = *dib.m_pDisplayDib;
  const size_t stride = (static_cast<size_t>(copy.GetWidth()) * copy.GetHeader().biBitCount + 31) / 32 * 4;
  return Bytes(copy.GetBits(), copy.GetBits() + stride * copy.GetHeight());
}

}  // namespace

TEST(PnmWrite, GreyImagesExportTheirTableLevelsNotIndices) {
  struct Case {
    const char* what;
    int bits;
    int entries;
    BYTE (*level)(int);
  };
  const Case cases[] = {
      {"8-bit, 16 grey entries", 8, 16, +[](int i) { return static_cast<BYTE>(17 * i); }},
      {"4-bit, 16 grey entries", 4, 16, +[](int i) { return static_cast<BYTE>(17 * i); }},
      {"8-bit, inverted table", 8, 256, +[](int i) { return static_cast<BYTE>(255 - i); }},
      {"8-bit, identity table", 8, 256, +[](int i) { return static_cast<BYTE>(i); }},
  };
  const bool haveConvert = HaveTool("convert");
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes expected;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) expected.push_back(c.level(TableIndex(x, y, c.entries)));

    CDib built;
    ASSERT_TRUE(BuildGreyTableDib(built, c.bits, c.entries, c.level));
    const std::string bmp = dir.File("in.bmp");
    ASSERT_EQ(built.SaveBMP(bmp), DIB_OK);
    if (haveConvert) {
      ASSERT_EQ(ToolPixels(bmp, 1), expected) << "test image is not what it claims";
    }
    // 8-bit grey BMPs are what the reader holds; a 4-bit one is exported as built.
    CDib read;
    CDib* source = &built;
    if (c.bits == 8) {
      std::ifstream in(bmp, std::ios::binary);
      ASSERT_EQ(read.ReadBMP(in), DIB_OK);
      ASSERT_EQ(read.m_nColorType, DibGrey);
      source = &read;
    }

    const std::string pgm = dir.File("out.pgm");
    ASSERT_EQ(source->WritePNM(pgm), DIB_OK);
    CDib back;
    ASSERT_EQ(back.ReadPNM(pgm), PnmOk);
    EXPECT_EQ(back.m_nColorType, DibGrey);
    EXPECT_EQ(PixelsOf(back), expected);
    if (haveConvert) {
      EXPECT_EQ(ToolPixels(pgm, 1), expected);
    }
  }
}

TEST(PnmRead, ReadIntoAUsedDibReplacesPixelsAndDisplayCopy) {
  struct Case {
    const char* what;
    int width, height, planes;
    bool makePixels;  // leave a pixel buffer of the first image behind
  };
  const Case firsts[] = {
      {"colour of the same size", 9, 5, 3, true},
      {"larger colour", 16, 8, 3, true},
      {"grey with a buffer big enough for the colour image", 30, 5, 1, true},
      {"colour, display copy only", 9, 5, 3, false},
  };
  TempDir dir;
  const Bytes second = TestPattern(9, 5, 3, 7);
  WriteBytes(dir.File("b.ppm"), MakeBinaryPnm(9, 5, 3, second));
  CDib fresh;
  fresh.SetPaletteDisplay(true);
  ASSERT_EQ(fresh.ReadPNM(dir.File("b.ppm")), PnmOk);
  const Bytes expectedDisplay = DisplayBits(fresh);
  ASSERT_FALSE(expectedDisplay.empty());

  for (const Case& c : firsts) {
    SCOPED_TRACE(c.what);
    const Bytes first = TestPattern(c.width, c.height, c.planes, 3);
    const std::string firstPath = dir.File("a.pnm");
    WriteBytes(firstPath, MakeBinaryPnm(c.width, c.height, c.planes, first));
    CDib dib;
    dib.SetPaletteDisplay(true);
    ASSERT_EQ(dib.ReadPNM(firstPath), PnmOk);
    if (c.makePixels) {
      ASSERT_TRUE(dib.MakePixels());
    }

    ASSERT_EQ(dib.ReadPNM(dir.File("b.ppm")), PnmOk);
    EXPECT_EQ(dib.GetPixels(), nullptr);
    EXPECT_EQ(DisplayBits(dib), expectedDisplay);
    EXPECT_EQ(PixelsOf(dib), second);
  }
}
