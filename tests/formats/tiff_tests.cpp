// TIFF adapter: the probe's acceptance rules, reading every layout libtiff
// delivers (strips, tiles, separate planes, compression, no RowsPerStrip),
// the nine-tag writer read back by ImageMagick, progress, handler muting and
// hostile files.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <map>
#include <utility>

#include "formats/glue_test_helpers.h"
#include "image/tiff_glue.h"

namespace {

using namespace glue_test;
using formats_test::TempDir;

uint32_t Get(const Bytes& b, size_t at, int size) {
  if (at + size > b.size()) return 0;
  return size == 2 ? uint32_t(b[at] | b[at + 1] << 8) : uint32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}

// Tags of the first IFD of a little-endian TIFF, with their SHORT or LONG
// values (read from wherever they are stored).
std::map<int, std::vector<uint32_t>> ReadTags(const std::string& path) {
  const Bytes b = formats_test::ReadBytes(path);
  std::map<int, std::vector<uint32_t>> tags;
  if (b.size() < 8 || b[0] != 'I') return tags;
  const uint32_t ifd = Get(b, 4, 4);
  const uint32_t count = Get(b, ifd, 2);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = ifd + 2 + 12 * size_t(i);
    const int type = int(Get(b, entry + 2, 2));
    const uint32_t n = Get(b, entry + 4, 4);
    const int size = type == 3 ? 2 : 4;
    const size_t at = n * size <= 4 ? entry + 8 : Get(b, entry + 8, 4);
    std::vector<uint32_t>& values = tags[int(Get(b, entry, 2))];
    for (uint32_t k = 0; k < n && k < 4096; ++k) values.push_back(Get(b, at + size_t(k) * size, size));
  }
  return tags;
}

// A little-endian, uncompressed, single-strip TIFF built by hand from
// (tag, value) pairs; kAtData stands for the offset of the pixel data.
constexpr uint32_t kAtData = 0xFFFFFFFF;
Bytes HandMadeTiff(std::vector<std::pair<uint16_t, uint32_t>> entries, const Bytes& data) {
  std::sort(entries.begin(), entries.end());
  const uint32_t dataOffset = 8 + 2 + 12 * uint32_t(entries.size()) + 4;
  Bytes b = {'I', 'I', 42, 0, 8, 0, 0, 0};
  auto put = [&b](uint32_t v, int size) {
    for (int i = 0; i < size; ++i) b.push_back(BYTE(v >> (8 * i)));
  };
  put(uint32_t(entries.size()), 2);
  for (auto [tag, value] : entries) {
    const bool isLong = tag == 256 || tag == 257 || tag == 273 || tag == 278 || tag == 279;
    put(tag, 2);
    put(isLong ? 4 : 3, 2);
    put(1, 4);
    put(value == kAtData ? dataOffset : value, 4);
  }
  put(0, 4);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

std::vector<std::pair<unsigned, unsigned>> g_progressCalls;
unsigned g_stopAfterRow = 0;

int RecordProgress(unsigned done, unsigned total) {
  g_progressCalls.emplace_back(done, total);
  return g_stopAfterRow == 0 || done < g_stopAfterRow;
}

class TiffTest : public ::testing::Test {
protected:
  void SetUp() override {
    GLUE_REQUIRE_TOOL("convert");
    g_progressCalls.clear();
    g_stopAfterRow = 0;
  }
  // Converts the test pattern with ImageMagick and returns the TIFF's path.
  std::string Fixture(const std::string& name, int width, int height, int planes, const std::string& options) {
    const std::string tiff = dir.File(name + ".tif");
    EXPECT_TRUE(Convert(WritePatternPnm(dir, name, width, height, planes), "-depth 8 " + options, tiff)) << name;
    return tiff;
  }
  TempDir dir;
};

TEST_F(TiffTest, EveryLayoutReadsTheExactPixels) {
  struct Case {
    const char* name;
    int planes;
    const char* options;
    int tellTag;  // a tag that proves the fixture has the layout
    uint32_t tellValue;
  };
  const Case cases[] = {
      {"grey-strips", 1, "-define tiff:rows-per-strip=5", 278, 5},
      {"rgb-strips", 3, "-define tiff:rows-per-strip=3", 278, 3},
      {"rgb-one-strip", 3, "-define tiff:rows-per-strip=1000", 278, 1000},
      {"grey-tiles", 1, "-define tiff:tile-geometry=16x16", 322, 16},
      {"rgb-tiles", 3, "-define tiff:tile-geometry=16x32", 323, 32},
      {"rgb-planar", 3, "-interlace plane", 284, 2},
      {"rgb-lzw", 3, "-compress lzw", 259, 5},
      {"grey-deflate", 1, "-compress zip", 259, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string tiff = Fixture(c.name, 37, 23, c.planes, c.options);
    const auto tags = ReadTags(tiff);
    ASSERT_TRUE(tags.count(c.tellTag));
    ASSERT_EQ(tags.at(c.tellTag)[0], c.tellValue);
    CDib dib;
    ASSERT_EQ(dib.ReadTIFF(tiff, nullptr), DIB_OK);
    EXPECT_EQ(dib.m_nColorType, c.planes == 1 ? DibGrey : DibRGB);
    EXPECT_EQ(dib.Header()->biBitCount, 8 * c.planes);
    EXPECT_EQ(dib.m_nBitsPerPlane, 8);
    EXPECT_EQ(dib.m_nPlanes, DWORD(c.planes));
    EXPECT_EQ(dib.GetSize(), (CSize{37, 23}));
    EXPECT_EQ(DibPixels(dib), formats_test::TestPattern(37, 23, c.planes));
  }
}

TEST_F(TiffTest, StripsWithoutRowsPerStripReadAsOneBlock) {
  const Bytes pixels = formats_test::TestPattern(5, 7, 1);
  const std::string tiff = dir.File("no-rows-per-strip.tif");
  formats_test::WriteBytes(tiff, HandMadeTiff({{256, 5}, {257, 7}, {258, 8}, {259, 1}, {262, 1}, {273, kAtData},
                                               {277, 1}, {279, 35}},
                                              pixels));
  CDib dib;
  ASSERT_EQ(dib.ReadTIFF(tiff, RecordProgress), DIB_OK);
  EXPECT_EQ(DibPixels(dib), pixels);
  EXPECT_EQ(g_progressCalls, (std::vector<std::pair<unsigned, unsigned>>{{35, 35}}));
}

TEST_F(TiffTest, VariantsTheImageModelCannotHoldAreRefused) {
  struct Case {
    const char* name;
    int planes;
    const char* options;
    int expected;
  };
  const Case cases[] = {
      {"bottom-left", 3, "-orient bottom-left", DIB_ERR_IO},
      {"palette", 3, "-colors 16 -type palette", DIB_ERR_IO},
      {"min-is-white", 1, "-define quantum:polarity=min-is-white", DIB_ERR_IO},
      {"grey16", 1, "-depth 16", DIB_ERR_FORMAT},
      {"rgba", 3, "-alpha set", DIB_ERR_FORMAT},
  };
  CDib dib;
  ASSERT_EQ(dib.ReadTIFF(Fixture("earlier", 3, 2, 1, ""), nullptr), DIB_OK);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dib.ReadTIFF(Fixture(c.name, 9, 6, c.planes, c.options), nullptr), c.expected);
    EXPECT_EQ(dib.GetSize(), (CSize{3, 2})) << "a refused file leaves the image alone";
    EXPECT_EQ(dib.m_nColorType, DibGrey);
  }
  EXPECT_EQ(ReadTags(dir.File("palette.tif")).at(262)[0], 3u);
  EXPECT_EQ(ReadTags(dir.File("min-is-white.tif")).at(262)[0], 0u);
  EXPECT_EQ(ReadTags(dir.File("rgba.tif")).at(277)[0], 4u);
}

TEST_F(TiffTest, WrittenFilesCarryTheNineTagsAndReadBackExactly) {
  for (int planes : {1, 3}) {
    SCOPED_TRACE(planes);
    const int width = 40;
    const int height = 250;
    const Bytes pixels = formats_test::TestPattern(width, height, planes);
    CDib dib;
    ASSERT_TRUE(MakeDib(dib, width, height, planes, pixels));
    const std::string tiff = dir.File("out" + std::to_string(planes) + ".tif");
    g_progressCalls.clear();
    ASSERT_EQ(dib.WriteTIFF(tiff, RecordProgress), DIB_OK);
    EXPECT_EQ(g_progressCalls.size(), size_t(height));
    EXPECT_EQ(g_progressCalls.back(), (std::pair<unsigned, unsigned>(height, height)));

    const auto tags = ReadTags(tiff);
    std::vector<int> names;
    for (const auto& entry : tags) names.push_back(entry.first);
    // The nine tags plus the strip offsets and byte counts libtiff adds.
    EXPECT_EQ(names, (std::vector<int>{256, 257, 258, 259, 262, 273, 274, 277, 278, 279, 284}));
    EXPECT_EQ(tags.at(256)[0], uint32_t(width));
    EXPECT_EQ(tags.at(257)[0], uint32_t(height));
    EXPECT_EQ(tags.at(258)[0], 8u);
    EXPECT_EQ(tags.at(259)[0], 1u);
    EXPECT_EQ(tags.at(262)[0], planes == 1 ? 1u : 2u);
    EXPECT_EQ(tags.at(274)[0], 1u);
    EXPECT_EQ(tags.at(277)[0], uint32_t(planes));
    EXPECT_EQ(tags.at(284)[0], 1u);
    // libtiff's default strips hold about 8 KiB of uncompressed rows.
    const uint32_t rowBytes = uint32_t(width * planes);
    const uint32_t rowsPerStrip = std::max(1u, 8192u / rowBytes);
    EXPECT_EQ(tags.at(278)[0], rowsPerStrip);
    const std::vector<uint32_t>& counts = tags.at(279);
    ASSERT_EQ(counts.size(), (height + rowsPerStrip - 1) / rowsPerStrip);
    EXPECT_EQ(counts.front(), std::min<uint32_t>(rowsPerStrip, height) * rowBytes);
    EXPECT_EQ(counts.back(), (height - (counts.size() - 1) * rowsPerStrip) * rowBytes);

    EXPECT_EQ(formats_test::ToolPixels(tiff, planes), pixels);
    CDib again;
    ASSERT_EQ(again.ReadTIFF(tiff, nullptr), DIB_OK);
    EXPECT_EQ(DibPixels(again), pixels);
  }
}

TEST_F(TiffTest, ReadProgressCountsPixelsOfEachBlock) {
  const std::string tiff = Fixture("progress", 20, 10, 1, "-define tiff:rows-per-strip=4");
  CDib dib;
  ASSERT_EQ(dib.ReadTIFF(tiff, RecordProgress), DIB_OK);
  EXPECT_EQ(g_progressCalls, (std::vector<std::pair<unsigned, unsigned>>{{80, 200}, {160, 200}, {200, 200}}));
}

TEST_F(TiffTest, WriterStopsWhenProgressSaysSoAndLeavesNoFile) {
  CDib dib;
  ASSERT_TRUE(MakeDib(dib, 10, 10, 3, formats_test::TestPattern(10, 10, 3)));
  const std::string tiff = dir.File("stopped.tif");
  formats_test::WriteBytes(tiff, Bytes{9, 9});
  g_stopAfterRow = 3;
  EXPECT_EQ(dib.WriteTIFF(tiff, RecordProgress), DIB_ERR_IO);
  EXPECT_EQ(g_progressCalls.size(), 3u);
  EXPECT_EQ(formats_test::ReadBytes(tiff), (Bytes{9, 9})) << "the older file is kept";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

  EXPECT_EQ(dib.WriteTIFF(dir.File("missing/x.tif"), nullptr), DIB_ERR_IO);
  const BYTE pixel[3] = {1, 2, 3};
  EXPECT_FALSE(TiffWriteImage(dir.File("two.tif").c_str(), pixel, 1, 1, 2, 8, 3, 0, nullptr));
  EXPECT_FALSE(TiffWriteImage(dir.File("twelve.tif").c_str(), pixel, 1, 1, 1, 12, 3, 0, nullptr));
}

int g_handlerCalls = 0;
void CountingHandler(const char*, const char*, va_list) { ++g_handlerCalls; }

TEST_F(TiffTest, LibraryHandlersAreSilentDuringACallAndRestoredAfter) {
  formats_test::WriteBytes(dir.File("junk.tif"), Bytes{'I', 'I', 42, 0, 0xFF, 0xFF, 0, 0});
  const TIFFErrorHandler oldError = TIFFSetErrorHandler(CountingHandler);
  const TIFFErrorHandler oldWarning = TIFFSetWarningHandler(CountingHandler);
  g_handlerCalls = 0;
  CDib dib;
  EXPECT_EQ(dib.ReadTIFF(dir.File("junk.tif"), nullptr), DIB_ERR_IO);
  EXPECT_EQ(dib.ReadTIFF(Fixture("grey16", 4, 4, 1, "-depth 16"), nullptr), DIB_ERR_FORMAT);
  EXPECT_EQ(dib.WriteTIFF(dir.File("nothing.tif"), nullptr), DIB_ERR_IO);
  EXPECT_EQ(g_handlerCalls, 0);
  EXPECT_EQ(TIFFSetErrorHandler(oldError), CountingHandler);
  EXPECT_EQ(TIFFSetWarningHandler(oldWarning), CountingHandler);
}

TEST_F(TiffTest, HostileFilesAreRefusedWithIoError) {
  const Bytes pixels(35, 0x55);
  auto grey = [&](uint32_t width, uint32_t height, uint32_t offset, uint32_t count) {
    return HandMadeTiff({{256, width}, {257, height}, {258, 8}, {259, 1}, {262, 1}, {273, offset}, {277, 1},
                         {278, height}, {279, count}},
                        pixels);
  };
  const std::pair<const char*, Bytes> files[] = {
      {"bomb-70000x70000.tif", grey(70000, 70000, kAtData, 35)},
      {"bomb-65535x65535.tif", grey(65535, 65535, kAtData, 35)},
      {"zero-width.tif", grey(0, 7, kAtData, 35)},
      {"strip-past-end.tif", grey(5, 7, 1u << 30, 35)},
      {"truncated-ifd.tif", Bytes{'I', 'I', 42, 0, 8, 0, 0, 0, 20, 0, 0, 1}},
      {"not-a-tiff.tif", Bytes{'P', '5', '\n'}},
  };
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    formats_test::WriteBytes(dir.File(name), bytes);
    CDib dib;
    const bool pastLimit = std::string(name) == "bomb-65535x65535.tif";
    EXPECT_EQ(dib.ReadTIFF(dir.File(name), nullptr), pastLimit ? DIB_ERR_TOO_LARGE : DIB_ERR_IO);
    EXPECT_EQ(dib.GetSize(), (CSize{0, 0}));
  }
  CDib dib;
  EXPECT_EQ(dib.ReadTIFF(dir.File("missing.tif"), nullptr), DIB_ERR_IO);
}

TEST(TiffCorpus, HostileAndOddFilesGiveSensibleCodes) {
  const auto files = formats_test::CorpusFiles("tiff");
  if (files.empty()) GTEST_SKIP() << "no TIFF corpus";
  for (const std::string& file : files) {
    CDib dib;
    const int result = dib.ReadTIFF(file, nullptr);
    EXPECT_TRUE(result == DIB_OK || result == DIB_ERR_IO || result == DIB_ERR_FORMAT) << file << ": " << result;
  }
}

}  // namespace
