// JPEG adapter: reading files written by ImageMagick (compared with djpeg's
// decoding), writing files that djpeg reads back, the grey triple reduction,
// progress, and hostile input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "formats/glue_test_helpers.h"
#include "image/display/DisplayDib.h"
#include "image/jpeg_glue.h"

namespace {

using namespace glue_test;
using formats_test::Quote;
using formats_test::RunCommand;
using formats_test::TempDir;

// djpeg's decoding with its default settings (which are ours): the samples
// of its binary PNM output.
Bytes DjpegPixels(const std::string& path) {
  Bytes pnm;
  if (RunCommand("djpeg -pnm " + Quote(path), &pnm) != 0) return {};
  size_t newlines = 0;
  size_t i = 0;
  while (i < pnm.size() && newlines < 3) newlines += pnm[i++] == '\n';
  return Bytes(pnm.begin() + static_cast<std::ptrdiff_t>(i), pnm.end());
}

// The frame header of a JPEG: marker (0xC0 baseline, 0xC2 progressive ...)
// and component count; marker 0 when there is none.
struct FrameInfo {
  int marker = 0;
  int components = 0;
};
FrameInfo ReadFrameInfo(const Bytes& file) {
  for (size_t i = 2; i + 9 < file.size();) {
    if (file[i] != 0xFF) return {};
    const int marker = file[i + 1];
    const size_t length = (size_t(file[i + 2]) << 8) | file[i + 3];
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
      return {marker, file[i + 9]};
    i += 2 + length;
  }
  return {};
}

class JpegTest : public ::testing::Test {
protected:
  void SetUp() override { GLUE_REQUIRE_TOOL("convert"); }
  TempDir dir;
};

TEST_F(JpegTest, GreyAndColourFilesLoadWithTheirColourTypeAndDecodeAsDjpegDoes) {
  GLUE_REQUIRE_TOOL("djpeg");
  struct Case {
    const char* name;
    int planes;
    const char* options;
  };
  for (const Case& c : {Case{"grey", 1, "-quality 85"}, Case{"colour", 3, "-quality 85"},
                        Case{"progressive", 3, "-quality 70 -interlace JPEG"},
                        Case{"subsampled", 3, "-quality 60 -sampling-factor 2x2"}}) {
    SCOPED_TRACE(c.name);
    const std::string jpeg = dir.File(std::string(c.name) + ".jpg");
    ASSERT_TRUE(Convert(WritePatternPnm(dir, c.name, 37, 29, c.planes), c.options, jpeg));
    CDib dib;
    ASSERT_EQ(dib.ReadJPEG(jpeg, nullptr), DIB_OK);
    EXPECT_EQ(dib.m_nColorType, c.planes == 1 ? DibGrey : DibRGB);
    EXPECT_EQ(dib.Header()->biBitCount, 8 * c.planes);
    EXPECT_EQ(dib.m_nBitsPerPlane, 8);
    EXPECT_EQ(dib.m_nPlanes, DWORD(c.planes));
    EXPECT_EQ(dib.GetSize(), (CSize{37, 29}));
    EXPECT_LE(MaxDifference(DibPixels(dib), DjpegPixels(jpeg)), 1);
  }
}

// Decoding straight into the DIB's rows gives the bytes that the pixel
// buffer reader followed by CreateFromPixels gives: B, G, R order, bottom-up
// rows, zeroed row padding (odd widths), and on a palette display the same
// dithered copy.
TEST_F(JpegTest, DibRowsMatchThePixelBufferReader) {
  struct Case {
    const char* name;
    int width;
    int planes;
    const char* options;
    bool paletteDisplay;
  };
  for (const Case& c : {Case{"grey", 37, 1, "-quality 85", false}, Case{"colour", 37, 3, "-quality 85", false},
                        Case{"subsampled", 37, 3, "-quality 60 -sampling-factor 2x2", false},
                        Case{"progressive", 38, 3, "-quality 70 -interlace JPEG", false},
                        Case{"cmyk", 37, 3, "-colorspace CMYK -quality 95", false},
                        Case{"palette-display", 37, 3, "-quality 85", true}}) {
    SCOPED_TRACE(c.name);
    const std::string jpeg = dir.File(std::string(c.name) + ".jpg");
    ASSERT_TRUE(Convert(WritePatternPnm(dir, c.name, c.width, 29, c.planes), c.options, jpeg));
    int size[2] = {0, 0};
    int bits = 0;
    int components = 0;
    std::unique_ptr<BYTE[]> pixels = ReadJpegFile(jpeg.c_str(), size, &bits, &components, nullptr);
    ASSERT_TRUE(pixels);
    CDib expected;
    expected.SetPaletteDisplay(c.paletteDisplay);
    const size_t count = size_t(size[0]) * size_t(size[1]) * size_t(components);
    ASSERT_TRUE(MakeDib(expected, size[0], size[1], components, Bytes(pixels.get(), pixels.get() + count)));

    CDib dib;
    dib.SetPaletteDisplay(c.paletteDisplay);
    ASSERT_EQ(dib.ReadJPEG(jpeg, nullptr), DIB_OK);
    EXPECT_EQ(dib.GetPixels(), nullptr);
    EXPECT_EQ(dib.m_nColorType, expected.m_nColorType);
    EXPECT_EQ(Bytes(dib.m_pBMI, dib.m_pBMI + dib.HeaderBytes()),
              Bytes(expected.m_pBMI, expected.m_pBMI + expected.HeaderBytes()));
    ASSERT_EQ(dib.m_nImageSize, expected.m_nImageSize);
    EXPECT_EQ(Bytes(dib.m_pBits, dib.m_pBits + dib.m_nImageSize),
              Bytes(expected.m_pBits, expected.m_pBits + expected.m_nImageSize));
    ASSERT_EQ(dib.m_pDisplayDib != nullptr, c.paletteDisplay);
    if (c.paletteDisplay) {
      const size_t displayBytes = DibStride(size[0], 8) * size_t(size[1]);
      ASSERT_TRUE(dib.m_pDisplayDib->GetBits() && expected.m_pDisplayDib->GetBits());
      EXPECT_EQ(Bytes(dib.m_pDisplayDib->GetBits(), dib.m_pDisplayDib->GetBits() + displayBytes),
                Bytes(expected.m_pDisplayDib->GetBits(), expected.m_pDisplayDib->GetBits() + displayBytes));
    }
  }
}

TEST_F(JpegTest, CmykFilesAreConvertedToRgb) {
  const std::string jpeg = dir.File("cmyk.jpg");
  ASSERT_TRUE(Convert(WritePatternPnm(dir, "cmyk", 24, 16, 3), "-colorspace CMYK -quality 95", jpeg));
  ASSERT_EQ(ReadFrameInfo(formats_test::ReadBytes(jpeg)).components, 4);
  CDib dib;
  ASSERT_EQ(dib.ReadJPEG(jpeg, nullptr), DIB_OK);
  EXPECT_EQ(dib.m_nColorType, DibRGB);
  EXPECT_EQ(dib.m_nPlanes, 3u);
  // ImageMagick's own decoding of the same file, through the same formula.
  EXPECT_LE(MaxDifference(DibPixels(dib), formats_test::ToolPixels(jpeg, 3)), 2);
}

TEST_F(JpegTest, WrittenFilesAreBaselineAndReadBackByDjpeg) {
  GLUE_REQUIRE_TOOL("djpeg");
  for (int planes : {1, 3}) {
    SCOPED_TRACE(planes);
    // Smooth content, so that quality 90 stays close to the source.
    Bytes pixels(40 * 24 * planes);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = BYTE((i / planes) % 40 * 5 + (i % planes) * 20);
    CDib dib;
    ASSERT_TRUE(MakeDib(dib, 40, 24, planes, pixels));
    const std::string jpeg = dir.File("out" + std::to_string(planes) + ".jpg");
    ASSERT_EQ(dib.WriteJPEG(jpeg, 90, nullptr), DIB_OK);
    const FrameInfo frame = ReadFrameInfo(formats_test::ReadBytes(jpeg));
    EXPECT_EQ(frame.marker, 0xC0);
    EXPECT_EQ(frame.components, planes);
    const Bytes decoded = DjpegPixels(jpeg);
    ASSERT_EQ(decoded.size(), pixels.size());
    EXPECT_LE(MaxDifference(decoded, pixels), 12);
    EXPECT_EQ(dib.GetPixels(), nullptr) << "the writer frees the pixel buffer it built";
  }
}

// Flat 8x8 blocks survive quality 100 exactly, so the decoded level of each
// block is exactly what the reduction produced.
TEST_F(JpegTest, GreyReductionTruncatesTheWeightedSum) {
  const int width = 256 * 8 + 16;
  const int height = 8;
  Bytes rgb(size_t(width) * height * 3);
  auto triple = [](int block) -> std::array<int, 3> {
    if (block < 256) return {block, block, block};
    return block == 256 ? std::array<int, 3>{255, 0, 0} : std::array<int, 3>{10, 200, 30};
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) rgb[(size_t(y) * width + x) * 3 + c] = BYTE(triple(x / 8)[c]);
  const std::string jpeg = dir.File("grey.jpg");
  ASSERT_EQ(WriteJpegFile(jpeg.c_str(), rgb.data(), width, height, FALSE, 100, nullptr), 1);
  int size[2];
  int bits = 0;
  int components = 0;
  std::unique_ptr<BYTE[]> grey = ReadJpegFile(jpeg.c_str(), size, &bits, &components, nullptr);
  ASSERT_TRUE(grey);
  ASSERT_EQ(components, 1);
  for (int v = 0; v < 256; ++v) {
    const int got = grey[size_t(v) * 8 + 3];
    EXPECT_TRUE(got == v || got == v - 1) << "level " << v << " came out as " << got;
  }
  EXPECT_EQ(grey[256 * 8 + 3], 76);   // 0.299 * 255
  EXPECT_EQ(grey[257 * 8 + 3], 123);  // 2.99 + 117.4 + 3.42
}

TEST_F(JpegTest, ProgressRunsFromZeroToHundredOnReadAndWrite) {
  const Bytes pixels = formats_test::TestPattern(16, 50, 3);
  CDib source;
  ASSERT_TRUE(MakeDib(source, 16, 50, 3, pixels));
  const std::string jpeg = dir.File("progress.jpg");
  RecordingProgressBar writing;
  ASSERT_EQ(source.WriteJPEG(jpeg, 75, &writing), DIB_OK);
  RecordingProgressBar reading;
  CDib loaded;
  ASSERT_EQ(loaded.ReadJPEG(jpeg, &reading), DIB_OK);
  for (const RecordingProgressBar* bar : {&writing, &reading}) {
    ASSERT_GE(bar->positions.size(), 52u);  // 0, one per scan line, 100
    EXPECT_EQ(bar->positions.front(), 0);
    EXPECT_EQ(bar->positions.back(), 100);
    EXPECT_TRUE(std::is_sorted(bar->positions.begin(), bar->positions.end()));
    EXPECT_EQ(bar->positions[bar->positions.size() - 2], 98);  // line 49 of 50
  }
}

TEST_F(JpegTest, UnreadableFilesFailWithIoErrorAndLeaveTheImageAlone) {
  const std::string good = dir.File("good.jpg");
  ASSERT_TRUE(Convert(WritePatternPnm(dir, "good", 64, 64, 3), "-quality 80", good));
  const Bytes bytes = formats_test::ReadBytes(good);
  const FrameInfo frame = ReadFrameInfo(bytes);
  ASSERT_EQ(frame.marker, 0xC0);

  // A frame header claiming 65000 x 65000 pixels in front of the tiny data.
  Bytes huge = bytes;
  for (size_t i = 2; i + 9 < huge.size(); i += 2 + ((size_t(huge[i + 2]) << 8) | huge[i + 3])) {
    if (huge[i + 1] == 0xC0) {
      huge[i + 5] = huge[i + 7] = 0xFD;
      huge[i + 6] = huge[i + 8] = 0xE8;
      break;
    }
  }
  formats_test::WriteBytes(dir.File("bomb-65000x65000.jpg"), huge);
  formats_test::WriteBytes(dir.File("header-only.jpg"), Bytes(bytes.begin(), bytes.begin() + 20));
  formats_test::WriteBytes(dir.File("not-a-jpeg.jpg"), Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0});
  formats_test::WriteBytes(dir.File("empty.jpg"), Bytes{});
  // Scan tables that were never defined: libjpeg fails only once decoding
  // starts, after the image size is known.
  Bytes badTable = bytes;
  for (size_t i = 2; i + 4 < badTable.size(); i += 2 + ((size_t(badTable[i + 2]) << 8) | badTable[i + 3])) {
    if (badTable[i + 1] == 0xDA) {
      for (int c = 0; c < badTable[i + 4]; ++c) badTable[i + 6 + 2 * size_t(c)] = 0x33;
      break;
    }
  }
  formats_test::WriteBytes(dir.File("undefined-table.jpg"), badTable);

  CDib dib;
  // The earlier image differs in size from the damaged files, so that a
  // read that rebuilt the DIB before failing cannot go unnoticed.
  const std::string earlier = dir.File("earlier.jpg");
  ASSERT_TRUE(Convert(WritePatternPnm(dir, "earlier", 48, 32, 3), "-quality 80", earlier));
  ASSERT_EQ(dib.ReadJPEG(earlier, nullptr), DIB_OK);
  const Bytes before(dib.m_pBits, dib.m_pBits + dib.m_nImageSize);
  for (const char* name : {"missing.jpg", "bomb-65000x65000.jpg", "header-only.jpg", "not-a-jpeg.jpg", "empty.jpg",
                           "undefined-table.jpg"}) {
    SCOPED_TRACE(name);
    RecordingProgressBar bar;
    const bool bomb = std::string(name).starts_with("bomb");
    EXPECT_EQ(dib.ReadJPEG(dir.File(name), &bar), bomb ? DIB_ERR_TOO_LARGE : DIB_ERR_IO);
    EXPECT_EQ(dib.GetSize(), (CSize{48, 32})) << "a failed read keeps the earlier image";
    EXPECT_EQ(Bytes(dib.m_pBits, dib.m_pBits + dib.m_nImageSize), before);
    EXPECT_TRUE(bar.positions.empty() || bar.positions.back() != 100);
  }

  // A file cut short decodes as far as it goes; libjpeg pads the rest.
  formats_test::WriteBytes(dir.File("cut.jpg"), Bytes(bytes.begin(), bytes.begin() + bytes.size() / 2));
  EXPECT_EQ(dib.ReadJPEG(dir.File("cut.jpg"), nullptr), DIB_OK);
}

TEST_F(JpegTest, FailedWritesLeaveNoFileAndKeepAnOlderOne) {
  CDib dib;
  ASSERT_TRUE(MakeDib(dib, 8, 8, 1, Bytes(64, 100)));
  EXPECT_EQ(dib.WriteJPEG(dir.File("no-such-folder/out.jpg"), 75, nullptr), DIB_ERR_IO);

  // JPEG cannot hold more than 65500 pixels a side: libjpeg fails after the
  // file was opened.
  const std::string older = dir.File("older.jpg");
  formats_test::WriteBytes(older, Bytes{1, 2, 3});
  const Bytes wide(70000 * 3, 7);
  EXPECT_EQ(WriteJpegFile(older.c_str(), wide.data(), 70000, 1, TRUE, 75, nullptr), 0);
  EXPECT_EQ(formats_test::ReadBytes(older), (Bytes{1, 2, 3}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "no temporary file is left";

  CDib empty;
  EXPECT_EQ(empty.WriteJPEG(dir.File("empty.jpg"), 75, nullptr), DIB_ERR_IO);
  EXPECT_EQ(WriteJpegFile(older.c_str(), nullptr, 8, 8, TRUE, 75, nullptr), 0);
}

TEST(JpegCorpus, HostileAndOddFilesGiveOkOrAnError) {
  const auto files = formats_test::CorpusFiles("jpeg");
  if (files.empty()) GTEST_SKIP() << "no JPEG corpus";
  for (const std::string& file : files) {
    CDib dib;
    const int result = dib.ReadJPEG(file, nullptr);
    EXPECT_TRUE(result == DIB_OK || result == DIB_ERR_IO || result == DIB_ERR_TOO_LARGE) << file << ": " << result;
    if (result == DIB_OK) {
      EXPECT_GT(dib.GetSize().cx, 0) << file;
    }
  }
}

}  // namespace
