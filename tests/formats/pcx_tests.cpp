#include <gtest/gtest.h>

#include <cstring>

#include "formats/format_test_helpers.h"
#include "image/Dib.h"
#include "platform/Bitmap.h"

using namespace formats_test;

namespace {

const char* const kUnknown = "PCX Dateiformat unbekannt";
const char* const kDamaged = "PCX Datei bechädigt";

struct PcxFields {
  BYTE manufacturer = 10;
  BYTE version = 5;
  BYTE encoding = 1;
  BYTE bits = 8;
  int xMin = 0, yMin = 0, xMax = 1, yMax = 0;
  BYTE planes = 1;
  int bytesPerLine = 2;
};

Bytes PcxHeader(const PcxFields& s) {
  Bytes h(128, 0);
  h[0] = s.manufacturer;
  h[1] = s.version;
  h[2] = s.encoding;
  h[3] = s.bits;
  WriteLE16(&h[4], static_cast<uint16_t>(s.xMin));
  WriteLE16(&h[6], static_cast<uint16_t>(s.yMin));
  WriteLE16(&h[8], static_cast<uint16_t>(s.xMax));
  WriteLE16(&h[10], static_cast<uint16_t>(s.yMax));
  h[65] = s.planes;
  WriteLE16(&h[66], static_cast<uint16_t>(s.bytesPerLine));
  return h;
}

// Header, data, and for palette files the marker byte and a palette where
// entry i is (i, i, i) or, with `colour`, (i, 255 - i, 7).
Bytes BuildPcx(const PcxFields& fields, const Bytes& data, bool palette = true, bool colour = false) {
  Bytes bytes = PcxHeader(fields);
  bytes.resize(bytes.size() + data.size());
  std::copy(data.begin(), data.end(), bytes.end() - static_cast<std::ptrdiff_t>(data.size()));
  if (palette) {
    bytes.push_back(12);
    for (int i = 0; i < 256; ++i) {
      bytes.push_back(static_cast<BYTE>(i));
      bytes.push_back(static_cast<BYTE>(colour ? 255 - i : i));
      bytes.push_back(static_cast<BYTE>(colour ? 7 : i));
    }
  }
  return bytes;
}

struct PcxResult {
  int code;
  std::vector<std::string> messages;
  Bytes pixels;
  int colorType = -1;
};

PcxResult ReadPcxBytes(const Bytes& bytes) {
  TempDir dir;
  const std::string path = dir.File("in.pcx");
  WriteBytes(path, bytes);
  CRecordingMessageSink sink;
  CDib dib;
  dib.SetMessageSink(&sink);
  PcxResult result{dib.ReadPCX(path), {}, {}};
  for (const auto& m : sink.messages) result.messages.push_back(m.text);
  if (result.code == DIB_OK) {
    EXPECT_EQ(dib.m_nFileSize, bytes.size());
    result.colorType = dib.m_nColorType;
    if (dib.MakePixels()) {
      const CSize size = dib.GetSize();
      result.pixels.assign(dib.GetPixels(), dib.GetPixels() + size_t(size.cx) * size.cy * dib.PixelBytesPerPixel());
    }
  }
  return result;
}

}  // namespace

// ---- files written by netpbm

TEST(PcxRead, MatchesFilesWrittenByNetpbm) {
  if (!HaveTool("ppmtopcx")) GTEST_SKIP() << "ppmtopcx is not installed";
  TempDir dir;
  struct Case {
    const char* name;
    int width, height, planes;
    const char* options;
    int colorType;
    BYTE mask = 0xFF;  // fewer distinct colours, for a colour palette
  };
  const Case cases[] = {
      {"truecolour-odd-width", 33, 9, 3, "-24bit", DibRGB},
      {"grey-palette", 16, 5, 1, "-8bit", DibGrey},
      {"grey-odd-width", 7, 3, 1, "-8bit", DibGrey},
      {"colour-palette", 11, 4, 3, "-8bit", DibPaletteColor, 0xC0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes pattern = TestPattern(c.width, c.height, c.planes, 11);
    for (auto& v : pattern) v &= c.mask;
    const std::string in = dir.File(std::string(c.name) + ".pnm");
    const std::string out = dir.File(std::string(c.name) + ".pcx");
    WriteBytes(in, MakeBinaryPnm(c.width, c.height, c.planes, pattern));
    ASSERT_EQ(RunCommand(std::string("ppmtopcx ") + c.options + " " + Quote(in) + " > " + Quote(out)), 0);
    const PcxResult result = ReadPcxBytes(ReadBytes(out));
    ASSERT_EQ(result.code, DIB_OK);
    EXPECT_TRUE(result.messages.empty());
    EXPECT_EQ(result.colorType, c.colorType);
    EXPECT_EQ(result.pixels, pattern);
  }
}

// ---- run-length rules

TEST(PcxRead, RunLengthRules) {
  struct Case {
    const char* what;
    Bytes data;  // two lines of 4 bytes, image 3x2
    Bytes expected;
  };
  const Case cases[] = {
      {"literals and runs", {1, 2, 3, 9, 0xC4, 5}, {1, 2, 3, 5, 5, 5}},
      {"zero count reads next byte as code", {0xC0, 4, 5, 6, 0, 0xC0, 0xC3, 7, 0}, {4, 5, 6, 7, 7, 7}},
      {"run crossing line end ends the line", {1, 2, 0xC5, 0xC4, 8}, {1, 2, 0, 8, 8, 8}},
      {"data ending early leaves zeros", {1, 2, 3, 4, 0xC2}, {1, 2, 3, 0, 0, 0}},
      {"runs never write past the line", {0xFF, 1, 0xFF, 2}, {0, 0, 0, 1, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PcxFields fields{.xMax = 2, .yMax = 1, .bytesPerLine = 4};
    const PcxResult result = ReadPcxBytes(BuildPcx(fields, c.data));
    ASSERT_EQ(result.code, DIB_OK);
    EXPECT_EQ(result.pixels, c.expected);
  }
}

TEST(PcxRead, TruecolourLineHoldsThreePlanes) {
  // 2x1 image, 3 bytes per plane line: R0 R1 pad, G0 G1 pad, B0 B1 pad.
  const PcxFields fields{.xMax = 1, .planes = 3, .bytesPerLine = 3};
  const PcxResult result = ReadPcxBytes(BuildPcx(fields, {10, 11, 0, 20, 21, 0, 30, 31, 0}, false));
  ASSERT_EQ(result.code, DIB_OK);
  EXPECT_EQ(result.colorType, DibRGB);
  EXPECT_EQ(result.pixels, (Bytes{10, 20, 30, 11, 21, 31}));
}

TEST(PcxRead, PaletteEntriesAndOffsetOrigin) {
  // Origin (5, 7): only the extent counts.
  const PcxFields fields{.xMin = 5, .yMin = 7, .xMax = 6, .yMax = 7, .bytesPerLine = 2};
  const PcxResult result = ReadPcxBytes(BuildPcx(fields, {0, 0xC1, 200}, true, true));
  ASSERT_EQ(result.code, DIB_OK);
  EXPECT_EQ(result.colorType, DibPaletteColor);
  EXPECT_EQ(result.pixels, (Bytes{0, 255, 7, 200, 55, 7}));
}

// ---- classification and messages

TEST(PcxRead, VariantsAndDamageGiveTheirMessages) {
  struct Case {
    const char* what;
    PcxFields fields;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"not a pcx", {.manufacturer = 0x42}, {kUnknown}},
      {"version 3", {.version = 3}, {kUnknown}},
      {"encoding 0", {.encoding = 0}, {kUnknown}},
      {"two planes", {.planes = 2}, {kUnknown}},
      {"4 bits", {.bits = 4}, {kUnknown}},
      {"1 bit 1 plane", {.bits = 1, .planes = 1}, {}},
      {"1 bit 4 planes", {.bits = 1, .planes = 4}, {}},
      {"negative xmin", {.xMin = -1}, {kDamaged}},
      {"ymax below ymin", {.yMin = 3, .yMax = 2}, {kDamaged}},
      {"line shorter than width", {.xMax = 9, .bytesPerLine = 4}, {kDamaged}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PcxResult result = ReadPcxBytes(BuildPcx(c.fields, {1, 2}));
    EXPECT_EQ(result.code, DIB_ERR_FORMAT);
    EXPECT_EQ(result.messages, c.messages);
  }
}

TEST(PcxRead, HostileFilesAreRefused) {
  // Too short for a header or palette.
  EXPECT_EQ(ReadPcxBytes({10, 5, 1, 8}).code, DIB_ERR_FORMAT);
  EXPECT_EQ(ReadPcxBytes(BuildPcx(PcxFields{}, {1, 2}, false)).code, DIB_ERR_FORMAT);
  EXPECT_EQ(ReadPcxBytes({}).code, DIB_ERR_FORMAT);
  // 32768 x 32768 x 3 is past the pixel limit.
  const PcxFields bomb{.xMax = 32767, .yMax = 32767, .planes = 3, .bytesPerLine = 32768};
  EXPECT_EQ(ReadPcxBytes(BuildPcx(bomb, {0xC1, 0}, false)).code, DIB_ERR_TOO_LARGE);

  CDib dib;
  EXPECT_EQ(dib.ReadPCX("/nonexistent/file.pcx"), DIB_ERR_OPEN);
}

// ---- public corpus

TEST(PcxCorpus, FilesDecodeOrAreRefusedCleanly) {
  const auto files = CorpusFiles("pcx");
  if (files.empty()) GTEST_SKIP() << "corpus not present";
  const bool haveConvert = HaveTool("convert");
  int decoded = 0;
  for (const auto& path : files) {
    SCOPED_TRACE(path);
    const PcxResult result = ReadPcxBytes(ReadBytes(path));
    EXPECT_TRUE(result.code == DIB_OK || result.code == DIB_ERR_FORMAT || result.code == DIB_ERR_MEMORY)
        << result.code;
    if (result.code != DIB_OK) continue;
    ++decoded;
    const bool netpbm = path.find("netpbm-generated") != std::string::npos;
    if (haveConvert && netpbm) {
      EXPECT_EQ(result.pixels, ToolPixels(path, result.colorType == DibGrey ? 1 : 3));
    }
  }
  EXPECT_GE(decoded, 3);
}
