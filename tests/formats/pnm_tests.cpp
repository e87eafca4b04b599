#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "formats/format_test_helpers.h"
#include "image/Dib.h"
#include "image/pnm.h"

using namespace formats_test;

namespace {

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes PixelsOf(CDib& dib) {
  if (!dib.MakePixels()) return {};
  const CSize size = dib.GetSize();
  Bytes pixels(dib.GetPixels(), dib.GetPixels() + size_t(size.cx) * size.cy * dib.PixelBytesPerPixel());
  dib.FreePixels();
  return pixels;
}

struct Loaded {
  int code = 0;
  Bytes pixels;
  int colorType = -1;
  bool hasDib = false;
};

Loaded ReadPnmBytes(const Bytes& bytes) {
  TempDir dir;
  WriteBytes(dir.File("in.pnm"), bytes);
  CDib dib;
  Loaded loaded;
  loaded.code = dib.ReadPNM(dir.File("in.pnm"));
  loaded.hasDib = dib.m_pBMI != nullptr;
  if (loaded.hasDib) {
    loaded.colorType = dib.m_nColorType;
    loaded.pixels = PixelsOf(dib);
  }
  return loaded;
}

}  // namespace

// ---- files written by independent tools

TEST(PnmRead, MatchesFilesWrittenByImageMagickAndNetpbm) {
  if (!HaveTool("convert") || !HaveTool("pnmtoplainpnm")) GTEST_SKIP() << "convert or pnmtoplainpnm missing";
  TempDir dir;
  struct Case {
    const char* name;
    const char* command;  // writes {out}
    int planes;
  };
  const Case cases[] = {
      {"binary-grey.pgm", "convert -size 19x7 gradient:black-white -depth 8 {out}", 1},
      {"binary-colour.ppm", "convert -seed 3 -size 23x9 plasma:fractal -depth 8 {out}", 3},
      {"plain-grey.pgm", "convert -size 19x7 gradient:black-white -depth 8 pgm:- | pnmtoplainpnm > {out}", 1},
      {"plain-colour.ppm", "convert -seed 4 -size 41x3 plasma:fractal -depth 8 ppm:- | pnmtoplainpnm > {out}", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = dir.File(c.name);
    std::string command = c.command;
    command.replace(command.find("{out}"), 5, Quote(out));
    ASSERT_EQ(RunCommand(command), 0) << command;
    const Bytes expected = ToolPixels(out, c.planes);
    ASSERT_FALSE(expected.empty());
    const Loaded loaded = ReadPnmBytes(ReadBytes(out));
    ASSERT_EQ(loaded.code, PnmOk);
    EXPECT_EQ(loaded.colorType, c.planes == 1 ? DibGrey : DibRGB);
    EXPECT_EQ(loaded.pixels, expected);
  }
}

// ---- header parsing

TEST(PnmHeader, AcceptsAndRefusesHeaders) {
  struct Case {
    const char* text;
    int code;
    int width = 0, height = 0, planes = 0;
  };
  const Case cases[] = {
      {"P5 3 2 255 ", PnmOk, 3, 2, 1},
      {"P6\n# made by hand\n4\t# w\n5\r\n255\n", PnmOk, 4, 5, 3},
      {"P6\n#cr only\r7 1 255\n", PnmOk, 7, 1, 3},
      {"P2\n32767 1\n255\n", PnmOk, 32767, 1, 1},
      {"P4\n8 1\n", PnmOk, 8, 1, 1},
      {"P1 3 3 ", PnmOk, 3, 3, 1},
      {"P5 3 2 65535\n", PnmInvalidHeader},
      {"P5 3 2 15\n", PnmInvalidHeader},
      {"P5 3 2 0255\n", PnmOk, 3, 2, 1},
      {"P7 3 2 255\n", PnmInvalidHeader},
      {"P0 3 2 255\n", PnmInvalidHeader},
      {"P5# 3 2 255\n", PnmInvalidHeader},
      {"Q5 3 2 255\n", PnmInvalidHeader},
      {"P5 32768 2 255\n", PnmInvalidHeader},
      {"P5 3 65537 255\n", PnmInvalidHeader},
      {"P5 99999999999999999999 2 255\n", PnmInvalidHeader},
      {"P5 0 2 255\n", PnmInvalidHeader},
      {"P5 -3 2 255\n", PnmInvalidHeader},
      {"P5 3 2 255x", PnmInvalidHeader},
      {"P5 3 2 255", PnmInvalidHeader},
      {"P5 3", PnmInvalidHeader},
      {"P5", PnmInvalidHeader},
      {"", PnmInvalidHeader},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    WriteBytes(dir.File("h.pnm"), Text(c.text));
    int width = -1, height = -1, planes = -1, bitsCode = -1;
    ASSERT_EQ(PnmReadHeaderInfo(dir.File("h.pnm"), &width, &height, &planes, &bitsCode), c.code);
    if (c.code != PnmOk) continue;
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
    EXPECT_EQ(planes, c.planes);
    EXPECT_EQ(bitsCode, 2);
  }
  int w, h, p, b;
  EXPECT_EQ(PnmReadHeaderInfo(dir.File("missing.pnm"), &w, &h, &p, &b), PnmCannotOpen);
}

// ---- samples

TEST(PnmRead, SampleDecodingAndResults) {
  struct Case {
    const char* what;
    std::string text;
    int code;
    Bytes pixels;  // expected when a DIB results
  };
  const Case cases[] = {
      {"binary grey", std::string("P5 2 2 255\n") + std::string("\x01\xFF\x00\x80", 4), PnmOk, {1, 255, 0, 128}},
      {"whitespace byte is part of the header", std::string("P5 1 1 255\n\n"), PnmOk, {10}},
      {"plain with comments", "P2 3 1 255\n7 # note\n8\n 9\n", PnmOk, {7, 8, 9}},
      {"plain keeps low 8 bits", "P2 2 1 255 300 256 ", PnmOk, {44, 0}},
      {"plain colour", "P3 1 2 255\n1 2 3\n4 5 6\n", PnmOk, {1, 2, 3, 4, 5, 6}},
      {"plain last sample at end of file", "P2 2 1 255\n5 6", PnmShortData, {5, 0}},
      {"plain garbage stops decoding", "P2 3 1 255\n5 x 7 8 9 1 1 1", PnmShortData, {5, 0, 0}},
      {"bitmap P4 refused", std::string("P4 8 1\n") + "\xAA", PnmMismatch, {}},
      {"bitmap P1 refused", "P1 2 1 1 0 ", PnmMismatch, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Loaded loaded = ReadPnmBytes(Text(c.text));
    EXPECT_EQ(loaded.code, c.code);
    EXPECT_EQ(loaded.hasDib, !c.pixels.empty());
    if (!c.pixels.empty()) {
      EXPECT_EQ(loaded.pixels, c.pixels);
    }
  }
}

TEST(PnmRead, RoutineRefusesAnotherSizeOrPlaneCount) {
  TempDir dir;
  WriteBytes(dir.File("a.pgm"), Text("P5 2 1 255\n\x01\x02"));
  BYTE pixels[6] = {};
  EXPECT_EQ(PnmRead(pixels, 2, 1, 1, dir.File("a.pgm")), PnmOk);
  EXPECT_EQ(pixels[1], 2);
  EXPECT_EQ(PnmRead(pixels, 3, 1, 1, dir.File("a.pgm")), PnmMismatch);
  EXPECT_EQ(PnmRead(pixels, 2, 2, 1, dir.File("a.pgm")), PnmMismatch);
  EXPECT_EQ(PnmRead(pixels, 2, 1, 3, dir.File("a.pgm")), PnmMismatch);
  EXPECT_EQ(PnmRead(pixels, 2, 1, 1, dir.File("none.pgm")), PnmCannotOpen);
}

TEST(PnmRead, ShortAndOversizedFilesFailBeforeAllocating) {
  // Truncated binary data: short read, no image.
  const Loaded truncated = ReadPnmBytes(Text("P6 4 4 255\n0123456789"));
  EXPECT_EQ(truncated.code, PnmShortData);
  EXPECT_FALSE(truncated.hasDib);
  // A 16384 x 16384 grey claim (the whole pixel limit) in a tiny file is
  // short, not a 256 MiB allocation.
  EXPECT_EQ(ReadPnmBytes(Text("P5 16384 16384 255\n\x01")).code, PnmShortData);
  EXPECT_EQ(ReadPnmBytes(Text("P2 16384 16384 255\n1 2 3 ")).code, PnmShortData);
  // Past the pixel limit, whatever follows.
  EXPECT_EQ(ReadPnmBytes(Text("P6 32767 32767 255\n\x01")).code, DIB_ERR_TOO_LARGE);
  EXPECT_EQ(ReadPnmBytes(Text("P5 16385 16384 255\n\x01")).code, DIB_ERR_TOO_LARGE);
  CDib dib;
  EXPECT_EQ(dib.ReadPNM("/nonexistent/x.pgm"), PnmCannotOpen);
}

// ---- writing

TEST(PnmWrite, ToolReadsBackExactPixelsAndHeaderIsThreeLines) {
  TempDir dir;
  for (int planes : {1, 3}) {
    SCOPED_TRACE(planes);
    const Bytes pattern = TestPattern(9, 5, planes, 21);
    CDib dib;
    dib.m_nColorType = planes == 1 ? DibGrey : DibRGB;
    ASSERT_TRUE(dib.AllocPixelBuffer(pattern.size()));
    std::memcpy(dib.GetPixels(), pattern.data(), pattern.size());
    ASSERT_TRUE(dib.CreateFromPixels(9, 5, 8 * planes));
    dib.FreePixels();

    const std::string path = dir.File(planes == 1 ? "o.pgm" : "o.ppm");
    ASSERT_EQ(dib.WritePNM(path), DIB_OK);
    EXPECT_EQ(dib.GetPixels(), nullptr);
    const Bytes file = ReadBytes(path);
    const std::string head = planes == 1 ? "P5\n9 5\n255\n" : "P6\n9 5\n255\n";
    ASSERT_EQ(file.size(), head.size() + pattern.size());
    EXPECT_EQ(std::string(file.begin(), file.begin() + head.size()), head);
    EXPECT_EQ(Bytes(file.begin() + head.size(), file.end()), pattern);
    if (HaveTool("convert")) {
      EXPECT_EQ(ToolPixels(path, planes), pattern);
    }
  }
}

TEST(PnmWrite, PlainKindBreaksLinesAfter17SamplesAndRows) {
  TempDir dir;
  Bytes pixels(20 * 2);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<BYTE>(i * 6);
  ASSERT_EQ(PnmWrite(pixels.data(), 20, 2, 1, dir.File("p.pgm"), true), PnmOk);
  const Bytes file = ReadBytes(dir.File("p.pgm"));
  std::istringstream lines(std::string(file.begin(), file.end()));
  std::vector<std::string> all;
  for (std::string line; std::getline(lines, line);) all.push_back(line);
  ASSERT_EQ(all.size(), 3u + 4u);
  EXPECT_EQ(all[0], "P2");
  EXPECT_EQ(all[1], "20 2");
  EXPECT_EQ(all[3], "0 6 12 18 24 30 36 42 48 54 60 66 72 78 84 90 96");
  EXPECT_EQ(all[4], "102 108 114");
  const Loaded back = ReadPnmBytes(file);
  ASSERT_EQ(back.code, PnmOk);
  EXPECT_EQ(back.pixels, pixels);
  if (HaveTool("convert")) {
    EXPECT_EQ(ToolPixels(dir.File("p.pgm"), 1), pixels);
  }
}

TEST(PnmWrite, RefusesWhatTheFormatCannotHoldAndKeepsOldFile) {
  TempDir dir;
  const BYTE pixels[4] = {};
  EXPECT_EQ(PnmWrite(pixels, 1, 1, 2, dir.File("x.pnm")), PnmMismatch);
  EXPECT_EQ(PnmWrite(pixels, 40000, 1, 1, dir.File("x.pnm")), PnmMismatch);
  EXPECT_EQ(PnmWrite(pixels, 0, 1, 1, dir.File("x.pnm")), PnmMismatch);
  EXPECT_EQ(PnmWrite(pixels, 1, 1, 1, dir.File("no/such/x.pnm")), PnmCannotOpen);

  std::ostringstream failing;
  failing.setstate(std::ios::badbit);
  PnmHeader header;
  header.width = 1;
  header.height = 1;
  EXPECT_EQ(PnmWrite(pixels, header, failing), PnmShortData);

  CDib empty;
  EXPECT_EQ(empty.WritePNM(dir.File("e.pnm")), DIB_ERR_INTERNAL);
  EXPECT_FALSE(std::filesystem::exists(dir.File("e.pnm")));
}

// ---- public corpus

TEST(PnmCorpus, FilesDecodeOrAreRefusedWithPnmCodes) {
  const auto files = CorpusFiles("pnm");
  if (files.empty()) GTEST_SKIP() << "corpus not present";
  const bool haveConvert = HaveTool("convert");
  int decoded = 0;
  for (const auto& path : files) {
    SCOPED_TRACE(path);
    const Loaded loaded = ReadPnmBytes(ReadBytes(path));
    EXPECT_TRUE(loaded.code == PnmOk || loaded.code == PnmShortData || loaded.code == PnmInvalidHeader ||
                loaded.code == PnmMismatch || loaded.code == DIB_ERR_MEMORY)
        << loaded.code;
    if (loaded.code != PnmOk) continue;
    ++decoded;
    if (haveConvert && path.find("netpbm-generated") != std::string::npos) {
      EXPECT_EQ(loaded.pixels, ToolPixels(path, loaded.colorType == DibGrey ? 1 : 3));
    }
  }
  EXPECT_GE(decoded, 3);
}
