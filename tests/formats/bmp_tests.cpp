#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "formats/format_test_helpers.h"
#include "image/Dib.h"
#include "platform/Bitmap.h"

using namespace formats_test;

namespace {

// A hand-made BMP: file header, an info header of `infoSize` bytes
// (12 = core), `tableEntries` grey entries, then `bits`.
struct BmpFields {
  int width = 2;
  int height = 2;
  int bits = 24;
  uint32_t compression = BI_RGB;
  uint32_t infoSize = 40;
  uint32_t clrUsed = 0;
  int tableEntries = 0;
  int64_t offBitsDelta = 0;  // added to the natural bfOffBits
  uint32_t sizeImage = 0;
};

Bytes BuildBmp(const BmpFields& fields, const Bytes& bits) {
  const size_t entryBytes = fields.infoSize == 12 ? 3 : 4;
  const size_t offBits = 14 + fields.infoSize + entryBytes * fields.tableEntries;
  Bytes bytes(offBits, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  WriteLE32(&bytes[10], static_cast<uint32_t>(static_cast<int64_t>(offBits) + fields.offBitsDelta));
  BYTE* info = &bytes[14];
  WriteLE32(info, fields.infoSize);
  if (fields.infoSize < 12) {
    // too short to hold more than its size field
  } else if (fields.infoSize == 12) {
    WriteLE16(info + 4, static_cast<uint16_t>(fields.width));
    WriteLE16(info + 6, static_cast<uint16_t>(fields.height));
    WriteLE16(info + 8, 1);
    WriteLE16(info + 10, static_cast<uint16_t>(fields.bits));
  } else {
    WriteLE32(info + 4, static_cast<uint32_t>(fields.width));
    WriteLE32(info + 8, static_cast<uint32_t>(fields.height));
    WriteLE16(info + 12, 1);
    WriteLE16(info + 14, static_cast<uint16_t>(fields.bits));
    WriteLE32(info + 16, fields.compression);
    WriteLE32(info + 20, fields.sizeImage);
    WriteLE32(info + 32, fields.clrUsed);
  }
  BYTE* table = info + fields.infoSize;
  for (int i = 0; i < fields.tableEntries; ++i)
    std::memset(table + i * entryBytes, i & 0xFF, 3);
  bytes.insert(bytes.end(), bits.begin(), bits.end());
  return bytes;
}

int ReadBytesAsBmp(CDib& dib, const Bytes& bytes) {
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  return dib.ReadBMP(in);
}

Bytes PixelsOf(CDib& dib) {
  if (!dib.MakePixels()) return {};
  const CSize size = dib.GetSize();
  const size_t count = static_cast<size_t>(size.cx) * size.cy * dib.PixelBytesPerPixel();
  Bytes pixels(dib.GetPixels(), dib.GetPixels() + count);
  dib.FreePixels();
  return pixels;
}

void BuildDib(CDib& dib, int width, int height, int planes, const Bytes& pixels) {
  dib.m_nColorType = planes == 1 ? DibGrey : DibRGB;
  ASSERT_TRUE(dib.AllocPixelBuffer(pixels.size()));
  std::memcpy(dib.GetPixels(), pixels.data(), pixels.size());
  ASSERT_TRUE(dib.CreateFromPixels(width, height, planes * 8));
  dib.FreePixels();
}

void RequireTools(std::initializer_list<const char*> tools) {
  for (const char* tool : tools)
    if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
}

}  // namespace

// ---- files written by independent tools

TEST(BmpRead, MatchesFilesWrittenByNetpbmAndImageMagick) {
  RequireTools({"ppmtobmp", "convert"});
  if (IsSkipped()) return;
  TempDir dir;
  struct Case {
    const char* name;
    int width, height, planes;
    std::string command;  // {in} -> {out}
    int colorType;
  };
  const Case cases[] = {
      {"rgb24-odd-width", 33, 7, 3, "ppmtobmp -windows -bpp=24 {in} > {out}", DibRGB},
      {"rgb24-core-header", 5, 3, 3, "ppmtobmp -os2 -bpp=24 {in} > {out}", DibRGB},
      {"rgb24-v5-header", 6, 4, 3, "convert {in} BMP:{out}", DibRGB},
      {"grey8", 13, 9, 1, "convert {in} -type Palette -compress None BMP3:{out}", DibGrey},
      {"grey8-v5-header", 13, 9, 1, "convert {in} -type Palette -compress None BMP:{out}", DibGrey},
      {"grey8-core-header", 7, 5, 1, "ppmtobmp -os2 -bpp=8 {in} > {out}", DibGrey},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes pattern = TestPattern(c.width, c.height, c.planes);
    const std::string in = dir.File(std::string(c.name) + ".pnm");
    const std::string out = dir.File(std::string(c.name) + ".bmp");
    WriteBytes(in, MakeBinaryPnm(c.width, c.height, c.planes, pattern));
    std::string command = c.command;
    command.replace(command.find("{in}"), 4, Quote(in));
    command.replace(command.find("{out}"), 5, Quote(out));
    ASSERT_EQ(RunCommand(command), 0) << command;

    CDib dib;
    std::ifstream file(out, std::ios::binary);
    ASSERT_EQ(dib.ReadBMP(file), DIB_OK);
    EXPECT_EQ(dib.m_nColorType, c.colorType);
    EXPECT_EQ(dib.GetSize(), (CSize{c.width, c.height}));
    // ImageMagick's palette reduction may move values: compare with what it decodes.
    EXPECT_EQ(PixelsOf(dib), ToolPixels(out, c.planes));
  }
}

TEST(BmpRead, ColourTableImageBecomes24Bit) {
  RequireTools({"ppmtobmp"});
  if (IsSkipped()) return;
  TempDir dir;
  // Eight colours only, so that the tool writes a colour table.
  Bytes pattern = TestPattern(10, 6, 3);
  for (auto& v : pattern) v &= 0x80;
  WriteBytes(dir.File("in.ppm"), MakeBinaryPnm(10, 6, 3, pattern));
  ASSERT_EQ(RunCommand("ppmtobmp -bpp=8 " + Quote(dir.File("in.ppm")) + " > " + Quote(dir.File("pal.bmp"))), 0);
  CDib dib;
  std::ifstream file(dir.File("pal.bmp"), std::ios::binary);
  ASSERT_EQ(dib.ReadBMP(file), DIB_OK);
  EXPECT_EQ(dib.m_nColorType, DibPaletteColor);
  EXPECT_EQ(dib.Header()->biBitCount, 24);
  EXPECT_EQ(PixelsOf(dib), pattern);
}

// ---- hand-made variants

TEST(BmpRead, TopDownRowsAreTurnedTheRightWayUp) {
  // 1x3, 8-bit grey, rows stored top first: values 10, 20, 30.
  BmpFields fields{.width = 1, .height = -3, .bits = 8, .tableEntries = 256};
  const Bytes bits = {10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0};
  CDib dib;
  ASSERT_EQ(ReadBytesAsBmp(dib, BuildBmp(fields, bits)), DIB_OK);
  EXPECT_EQ(dib.Header()->biHeight, 3);
  EXPECT_EQ(PixelsOf(dib), (Bytes{10, 20, 30}));
}

TEST(BmpRead, HonoursOffBitsGapAndShortColourTable) {
  // Two-entry grey table, then 6 bytes of padding before the bits.
  BmpFields fields{.width = 2, .height = 1, .bits = 8, .clrUsed = 2, .tableEntries = 2, .offBitsDelta = 6};
  const Bytes bits = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 1, 0, 0, 0};
  CDib dib;
  ASSERT_EQ(ReadBytesAsBmp(dib, BuildBmp(fields, bits)), DIB_OK);
  EXPECT_EQ(dib.m_nColors, 2);
  EXPECT_EQ(dib.m_nColorType, DibGrey);
  EXPECT_EQ(PixelsOf(dib), (Bytes{1, 0}));
}

TEST(BmpRead, Skips24BitOptionalTableAndLongHeaders) {
  for (uint32_t infoSize : {40u, 64u, 108u, 124u}) {
    SCOPED_TRACE(infoSize);
    BmpFields fields{.width = 1, .height = 1, .bits = 24, .infoSize = infoSize, .clrUsed = 4, .tableEntries = 4};
    CDib dib;
    ASSERT_EQ(ReadBytesAsBmp(dib, BuildBmp(fields, {1, 2, 3, 0})), DIB_OK);
    EXPECT_EQ(dib.m_nColors, 0);
    EXPECT_EQ(dib.Header()->biSize, 40u);
    EXPECT_EQ(PixelsOf(dib), (Bytes{3, 2, 1}));
  }
}

TEST(BmpRead, UnsupportedDepthsAndCompressionAreFormatErrors) {
  struct Case {
    int bits;
    uint32_t compression;
  };
  for (const Case c : {Case{1, BI_RGB}, Case{4, BI_RGB}, Case{16, BI_RGB}, Case{32, BI_RGB}, Case{8, BI_RLE8},
                       Case{4, BI_RLE4}, Case{32, BI_BITFIELDS}, Case{24, 4}, Case{2, BI_RGB}}) {
    SCOPED_TRACE(c.bits);
    BmpFields fields{.width = 4, .height = 4, .bits = c.bits, .compression = c.compression,
                 .tableEntries = c.bits <= 8 ? (1 << c.bits) : 0};
    CDib dib;
    EXPECT_EQ(ReadBytesAsBmp(dib, BuildBmp(fields, Bytes(64, 0))), DIB_ERR_FORMAT);
  }
}

TEST(BmpRead, HostileHeadersAreRefusedWithoutLargeAllocations) {
  struct Case {
    const char* what;
    BmpFields fields;
    size_t bitsBytes;
    int expected;
  };
  const Case cases[] = {
      {"offbits past end", {.offBitsDelta = 1000}, 16, DIB_ERR_IO},
      {"offbits inside header", {.offBitsDelta = -30}, 16, DIB_ERR_FORMAT},
      {"offbits near 4 GiB", {.offBitsDelta = 0xFFFFFFFFll - 54}, 16, DIB_ERR_IO},
      {"bits shorter than rows", {.width = 100, .height = 100}, 16, DIB_ERR_IO},
      {"huge dimensions", {.width = 0x7FFFFFFF, .height = 0x7FFFFFFF}, 16, DIB_ERR_FORMAT},
      {"pixel count over limit", {.width = 60000, .height = 60000}, 16, DIB_ERR_TOO_LARGE},
      {"zero width", {.width = 0}, 16, DIB_ERR_FORMAT},
      {"negative width", {.width = -5}, 16, DIB_ERR_FORMAT},
      {"most negative height", {.height = INT32_MIN}, 16, DIB_ERR_FORMAT},
      {"header size 200", {.infoSize = 200}, 16, DIB_ERR_FORMAT},
      {"header size 8", {.infoSize = 8}, 16, DIB_ERR_FORMAT},
      {"table past offbits", {.bits = 8, .clrUsed = 256, .tableEntries = 256, .offBitsDelta = -512}, 16,
       DIB_ERR_FORMAT},
      {"lying size image", {.sizeImage = 0x7FFFFFF0}, 16, DIB_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CDib dib;
    EXPECT_EQ(ReadBytesAsBmp(dib, BuildBmp(c.fields, Bytes(c.bitsBytes, 7))), c.expected);
  }
}

TEST(BmpRead, EveryTruncationFailsCleanly) {
  BmpFields fields{.width = 3, .height = 2, .bits = 8, .tableEntries = 256};
  const Bytes whole = BuildBmp(fields, Bytes(8, 5));
  for (size_t length = 0; length < whole.size(); ++length) {
    CDib dib;
    const int result = ReadBytesAsBmp(dib, Bytes(whole.begin(), whole.begin() + length));
    ASSERT_EQ(result, DIB_ERR_IO) << length;
    EXPECT_EQ(dib.m_pBMI, nullptr);
  }
}

TEST(BmpRead, WorksOnStreamsOfUnknownLength) {
  // A stream that cannot seek: the reader must grow its buffer with the data.
  struct NoSeekBuffer : std::stringbuf {
    using std::stringbuf::stringbuf;
    pos_type seekoff(off_type, std::ios::seekdir, std::ios::openmode) override { return pos_type(-1); }
    pos_type seekpos(pos_type, std::ios::openmode) override { return pos_type(-1); }
  };
  BmpFields fields{.width = 1, .height = 2};
  const Bytes bytes = BuildBmp(fields, {1, 2, 3, 0, 4, 5, 6, 0});
  NoSeekBuffer whole(std::string(bytes.begin(), bytes.end()));
  std::istream in(&whole);
  CDib dib;
  ASSERT_EQ(dib.ReadBMP(in), DIB_OK);
  EXPECT_EQ(PixelsOf(dib), (Bytes{6, 5, 4, 3, 2, 1}));

  NoSeekBuffer shortened(std::string(bytes.begin(), bytes.end() - 1));
  std::istream shortIn(&shortened);
  CDib other;
  EXPECT_EQ(other.ReadBMP(shortIn), DIB_ERR_IO);
}

// ---- writing

TEST(BmpWrite, ToolReadsBackExactPixelsAndFileHeaderFields) {
  RequireTools({"convert"});
  if (IsSkipped()) return;
  TempDir dir;
  for (int planes : {1, 3}) {
    SCOPED_TRACE(planes);
    const Bytes pattern = TestPattern(9, 5, planes, 7);
    CDib dib;
    BuildDib(dib, 9, 5, planes, pattern);
    const std::string path = dir.File("out" + std::to_string(planes) + ".bmp");
    ASSERT_EQ(dib.SaveBMP(path), DIB_OK);
    const Bytes file = ReadBytes(path);
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(ReadLE32(&file[2]), file.size());  // bfSize
    EXPECT_EQ(ReadLE32(&file[10]), planes == 1 ? 1078u : 54u);
    EXPECT_EQ(ToolPixels(path, planes), pattern);
  }
}

TEST(BmpWrite, SerializeRoundTripsThroughOneStream) {
  const Bytes pattern = TestPattern(7, 3, 3, 3);
  CDib dib;
  BuildDib(dib, 7, 3, 3, pattern);
  std::stringstream archive;
  ASSERT_EQ(dib.Serialize(archive, true), DIB_OK);
  archive.seekg(0);
  CDib back;
  ASSERT_EQ(back.Serialize(archive, false), DIB_OK);
  EXPECT_EQ(back.m_nColorType, DibRGB);
  EXPECT_EQ(PixelsOf(back), pattern);
}

TEST(BmpWrite, FailedSaveKeepsTheOldFile) {
  TempDir dir;
  CDib empty;
  const std::string path = dir.File("keep.bmp");
  WriteBytes(path, {'o', 'l', 'd'});
  EXPECT_NE(empty.SaveBMP(path), DIB_OK);
  EXPECT_EQ(ReadBytes(path), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  CDib dib;
  BuildDib(dib, 1, 1, 1, {9});
  EXPECT_EQ(dib.SaveBMP(dir.File("no-such-folder/x.bmp")), DIB_ERR_IO);
}

// ---- public corpora

TEST(BmpCorpus, GoodFilesDecodeLikeImageMagickOrAreUnsupported) {
  const auto files = CorpusFiles("bmpsuite/g");
  if (files.empty()) GTEST_SKIP() << "corpus not present";
  const bool haveConvert = HaveTool("convert");
  int decoded = 0;
  for (const auto& path : files) {
    if (path.size() < 4 || path.substr(path.size() - 4) != ".bmp") continue;
    SCOPED_TRACE(path);
    CDib dib;
    std::ifstream file(path, std::ios::binary);
    const int result = dib.ReadBMP(file);
    ASSERT_TRUE(result == DIB_OK || result == DIB_ERR_FORMAT) << result;
    if (result != DIB_OK) continue;
    ++decoded;
    if (haveConvert) {
      EXPECT_EQ(PixelsOf(dib), ToolPixels(path, dib.PixelBytesPerPixel()));
    }
  }
  EXPECT_GE(decoded, 8);
}

TEST(BmpCorpus, BadAndMalformedFilesAreRefused) {
  // Files of the bad set whose only fault is a field this reader ignores.
  const std::set<std::string> harmless = {"baddens1.bmp", "baddens2.bmp", "badfilesize.bmp", "badplanes.bmp",
                                          "pal8badindex.bmp"};
  auto files = CorpusFiles("bmpsuite/b");
  const auto malformed = CorpusFiles("bmp-malformed");
  const auto questionable = CorpusFiles("bmpsuite/q");
  if (files.empty() && malformed.empty()) GTEST_SKIP() << "corpus not present";
  for (const auto& path : files) {
    SCOPED_TRACE(path);
    CDib dib;
    std::ifstream file(path, std::ios::binary);
    const int result = dib.ReadBMP(file);
    if (!harmless.count(std::filesystem::path(path).filename().string())) {
      EXPECT_LT(result, 0);
    }
  }
  for (const auto* set : {&malformed, &questionable}) {
    for (const auto& path : *set) {
      SCOPED_TRACE(path);
      CDib dib;
      std::ifstream file(path, std::ios::binary);
      const int result = dib.ReadBMP(file);
      EXPECT_TRUE(result == DIB_OK || result == DIB_ERR_FORMAT || result == DIB_ERR_IO) << result;
      if (result == DIB_OK) {
        EXPECT_FALSE(PixelsOf(dib).empty());
      }
    }
  }
}
