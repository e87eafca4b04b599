// Clipboard blocks and resource bitmaps, valid and hostile.
#include <gtest/gtest.h>

#include <limits>

#include "dib_test_helpers.h"
#include "platform/MemoryCanvas.h"

TEST(PackedDib, GreyTableStaysEightBitAndColourStays24) {
  PackedDib grey(3, 2, 8, 256);
  for (int i = 0; i < 256; ++i) grey.table()[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  grey.bits()[0] = 9;
  CDib dib;
  ASSERT_EQ(dib.LoadPackedDib(grey.bytes.data(), reinterpret_cast<void*>(0x1234), grey.size()), DIB_OK);
  EXPECT_EQ(dib.m_nColorType, DibGrey);
  EXPECT_EQ(dib.Header()->biBitCount, 8);
  EXPECT_EQ(dib.m_nFileSize, dib.m_nImageSize);
  EXPECT_EQ(dib.m_hGlobal, reinterpret_cast<void*>(0x1234));
  ASSERT_TRUE(dib.MakePixels());
  EXPECT_EQ(dib.GetPixels()[3], 9);  // bottom-left pixel is the first of the last row

  PackedDib colour(2, 2, 24, 0);
  colour.bits()[0] = 1;  // blue of the bottom-left pixel
  CDib rgb;
  ASSERT_EQ(rgb.LoadPackedDib(colour.bytes.data(), nullptr, colour.size()), DIB_OK);
  EXPECT_EQ(rgb.m_nColorType, DibRGB);
  EXPECT_EQ(rgb.m_nPlanes, 3u);
  ASSERT_TRUE(rgb.MakePixels());
  EXPECT_EQ(rgb.GetPixels()[2 * 3 * 1 + 2], 1);
}

TEST(PackedDib, TopDownBlockIsTakenTheRightWayUp) {
  PackedDib topDown(1, -2, 24, 0);
  BYTE* bits = topDown.bits();
  bits[2] = 200;      // first stored row = top row: red 200
  bits[4 + 0] = 100;  // second stored row = bottom row: blue 100
  CDib dib;
  ASSERT_EQ(dib.LoadPackedDib(topDown.bytes.data(), nullptr, topDown.size()), DIB_OK);
  EXPECT_EQ(dib.GetSize(), (CSize{1, 2}));
  ASSERT_TRUE(dib.MakePixels());
  const BYTE* p = dib.GetPixels();
  EXPECT_EQ(p[0], 200);  // top pixel red
  EXPECT_EQ(p[5], 100);  // bottom pixel blue
}

TEST(PackedDib, FewColourBlocksExpandToColour) {
  PackedDib mono(9, 1, 1, 2);
  mono.table()[0] = RGBQUAD{0, 0, 0, 0};
  mono.table()[1] = RGBQUAD{0, 0, 255, 0};  // red
  mono.bits()[0] = 0x80;                    // first pixel uses entry 1
  mono.bits()[1] = 0x80;                    // ninth pixel too
  CDib dib;
  ASSERT_EQ(dib.LoadPackedDib(mono.bytes.data(), nullptr, mono.size()), DIB_OK);
  EXPECT_EQ(dib.m_nColorType, DibPaletteColor);
  EXPECT_EQ(dib.m_nBitsPerPlane, 1);
  ASSERT_TRUE(dib.MakePixels());
  EXPECT_EQ(dib.GetPixels()[0], 255);
  EXPECT_EQ(dib.GetPixels()[3], 0);
  EXPECT_EQ(dib.GetPixels()[24], 255);
}

TEST(PackedDib, UnsupportedKindsAreFormatErrors) {
  for (int bits : {16, 32}) {
    PackedDib block(2, 2, bits, 0);
    CDib dib;
    EXPECT_EQ(dib.LoadPackedDib(block.bytes.data(), nullptr, block.size()), DIB_ERR_FORMAT) << bits;
  }
  PackedDib rle(4, 4, 8, 256);
  rle.header.biCompression = BI_RLE8;
  rle.rewriteHeader();
  CDib dib;
  EXPECT_EQ(dib.LoadPackedDib(rle.bytes.data(), nullptr, rle.size()), DIB_ERR_FORMAT);
  EXPECT_EQ(dib.m_pBits, nullptr);
}

// Blocks that lie about their sizes: each must be refused before anything
// is drawn, without reading past the block or allocating what it claims.
TEST(PackedDib, HostileBlocksAreRefusedWithoutSideEffects) {
  PackedDib valid(4, 4, 24, 0);
  constexpr int kOwnSize = std::numeric_limits<int>::min();

  struct Case {
    const char* name;
    void (*mutate)(PackedDib&);
    int size;  // kOwnSize: the block's own size
  };
  const Case cases[] = {
      {"shorter than a header", [](PackedDib&) {}, 39},
      {"empty", [](PackedDib&) {}, 0},
      {"negative size", [](PackedDib&) {}, -100},
      {"bits cut short", [](PackedDib&) {}, 40 + 48 - 1},
      {"core header", [](PackedDib& p) { p.header.biSize = 12; }, kOwnSize},
      {"zero width", [](PackedDib& p) { p.header.biWidth = 0; }, kOwnSize},
      {"negative width", [](PackedDib& p) { p.header.biWidth = -4; }, kOwnSize},
      {"huge width", [](PackedDib& p) { p.header.biWidth = 0x7FFFFFFF; }, kOwnSize},
      {"huge height", [](PackedDib& p) { p.header.biHeight = std::numeric_limits<LONG>::min(); }, kOwnSize},
      {"table larger than the block", [](PackedDib& p) { p.header.biClrUsed = 0x40000000; }, kOwnSize},
      {"odd bit count", [](PackedDib& p) { p.header.biBitCount = 7; }, kOwnSize},
      {"zero bit count", [](PackedDib& p) { p.header.biBitCount = 0; }, kOwnSize},
      {"overflowing rows", [](PackedDib& p) { p.header.biWidth = 65535; p.header.biHeight = 65535; }, kOwnSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PackedDib block = valid;
    c.mutate(block);
    block.rewriteHeader();
    const int size = c.size == kOwnSize ? block.size() : c.size;
    CDib dib;
    EXPECT_EQ(dib.LoadPackedDib(block.bytes.data(), nullptr, size), DIB_ERR_INTERNAL);
    EXPECT_EQ(dib.m_pBits, nullptr);
    EXPECT_EQ(dib.m_pBMI, nullptr);
  }
}

TEST(PackedDib, ShortIndexedBlocksAreRefused) {
  PackedDib block(4, 4, 8, 256);
  CDib dib;
  EXPECT_EQ(dib.LoadPackedDib(block.bytes.data(), nullptr, 40 + 4 * 255), DIB_ERR_INTERNAL);
  EXPECT_EQ(dib.LoadPackedDib(block.bytes.data(), nullptr, block.size() - 1), DIB_ERR_INTERNAL);
  EXPECT_EQ(dib.LoadPackedDib(block.bytes.data(), nullptr, block.size()), DIB_OK);
}

namespace {

std::vector<BYTE> BmpFile(int width, int height, int bitCount, int tableEntries, DWORD compression = BI_RGB) {
  PackedDib packed(width, height, bitCount, tableEntries);
  packed.header.biCompression = compression;
  packed.rewriteHeader();
  std::vector<BYTE> file(14);
  BITMAPFILEHEADER header{BMP_SIGNATURE, static_cast<DWORD>(14 + packed.bytes.size()), 0, 0,
                          static_cast<DWORD>(14 + 40 + 4 * tableEntries)};
  WriteFileHeader(header, file.data());
  file.insert(file.end(), packed.bytes.begin(), packed.bytes.end());
  return file;
}

}  // namespace

TEST(ResourceBitmap, KeepsItsDepthAndClassification) {
  const auto eight = BmpFile(4, 2, 8, 256);
  CDib grey;
  EXPECT_EQ(grey.LoadResourceBitmap(eight.data(), eight.size(), nullptr), 1);
  EXPECT_EQ(grey.m_nColorType, DibGrey);
  EXPECT_EQ(grey.m_bOwnBits, 0);
  EXPECT_NE(grey.m_hBitmap, nullptr);

  const auto four = BmpFile(4, 2, 4, 16);
  CDib low;
  EXPECT_EQ(low.LoadResourceBitmap(four.data(), four.size(), nullptr), 1);
  EXPECT_EQ(low.m_nColorType, DibPaletteColor);
  EXPECT_EQ(low.m_nBitsPerPlane, 4);

  const auto colour = BmpFile(3, 3, 24, 0);
  CDib rgb;
  EXPECT_EQ(rgb.LoadResourceBitmap(colour.data(), colour.size(), nullptr), 1);
  EXPECT_EQ(rgb.m_nColorType, DibRGB);
  EXPECT_EQ(rgb.m_nPlanes, 3u);

  const auto rle = BmpFile(4, 4, 8, 256, BI_RLE8);
  CDib compressed;
  EXPECT_EQ(compressed.LoadResourceBitmap(rle.data(), rle.size(), nullptr), -4);

  CDib truncated;
  EXPECT_EQ(truncated.LoadResourceBitmap(colour.data(), colour.size() - 1, nullptr), 0);
  EXPECT_EQ(truncated.LoadResourceBitmap(nullptr, 0, nullptr), 0);
}

TEST(PackedDib, ShortTableNeverLetsIndicesReadPastIt) {
  PackedDib block(4, 1, 8, 2);
  block.table()[0] = RGBQUAD{9, 9, 9, 0};
  block.table()[1] = RGBQUAD{7, 7, 7, 0};
  const BYTE indices[4] = {0, 1, 200, 255};
  std::memcpy(block.bits(), indices, 4);
  CDib dib;
  ASSERT_EQ(dib.LoadPackedDib(block.bytes.data(), nullptr, block.size()), DIB_OK);
  EXPECT_EQ(dib.m_nColorType, DibGrey);
  ASSERT_TRUE(dib.MakePixels());
  EXPECT_EQ(dib.GetPixels()[0], 9);
  EXPECT_EQ(dib.GetPixels()[1], 7);
  EXPECT_EQ(dib.GetPixels()[2], 0);  // no such entry
  EXPECT_EQ(dib.GetPixels()[3], 0);
}

// A table longer than 8-bit indices can address: the surplus entries are
// skipped (the bits follow them) and the image is the one the first 256 make.
TEST(PackedDib, SurplusTableEntriesAreIgnored) {
  for (bool grey : {true, false}) {
    SCOPED_TRACE(grey ? "grey table" : "colour table");
    CMemoryCanvas expected(3, 2);
    CMemoryCanvas drawn(3, 2);
    for (int used : {256, 300}) {
      PackedDib block(3, 2, 8, used);
      for (int i = 0; i < used; ++i)
        block.table()[i] = RGBQUAD{BYTE(i), BYTE(grey ? i : 255 - i), BYTE(grey ? i : i / 2), 0};
      const BYTE indices[] = {0, 7, 255, 0, 128, 64, 1, 2};  // two rows of 3, padded to 4
      std::memcpy(block.bits(), indices, sizeof indices);
      CDib dib;
      ASSERT_EQ(dib.LoadPackedDib(block.bytes.data(), nullptr, block.size()), DIB_OK) << used;
      EXPECT_EQ(dib.m_nColorType, grey ? DibGrey : DibPaletteColor);
      EXPECT_LE(dib.m_nColors, 256);
      EXPECT_TRUE(dib.Draw(used == 256 ? &expected : &drawn, 0, 0, 3, 2));
      EXPECT_EQ(dib.LoadPackedDib(block.bytes.data(), nullptr, block.size() - 1), DIB_ERR_INTERNAL);
    }
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) EXPECT_EQ(drawn.Pixel(x, y), expected.Pixel(x, y)) << x << "," << y;
    }
    EXPECT_EQ(expected.Pixel(2, 1), grey ? 0xFFFFFFu : 0x7F00FFu);  // index 255, bottom right
  }
}
