// GIF adapter: grey and colour classification, interlacing, colour map
// choice, canvas composition of several images, and hostile files.
// Fixtures come from ImageMagick and from giflib's encoder, which lets a test
// place images, maps and interlacing exactly.
#include <gtest/gtest.h>

#include <gif_lib.h>

#include "formats/glue_test_helpers.h"
#include "image/gif_glue.h"

namespace {

using namespace glue_test;
using formats_test::TempDir;

struct Frame {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool interlace = false;
  std::vector<GifColorType> localMap;  // empty: none
  Bytes indices;                       // width * height, top-down
};

// A map object for giflib; the entry count must be a power of two.
struct MapHolder {
  explicit MapHolder(const std::vector<GifColorType>& colours)
      : map(colours.empty() ? nullptr : GifMakeMapObject(int(colours.size()), colours.data())) {}
  ~MapHolder() { GifFreeMapObject(map); }
  ColorMapObject* map;
};

bool WriteGif(const std::string& path, int screenWidth, int screenHeight, int background,
              const std::vector<GifColorType>& globalMap, const std::vector<Frame>& frames) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  if (!gif) return false;
  MapHolder global(globalMap);
  bool ok = EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, background, global.map) == GIF_OK;
  for (const Frame& frame : frames) {
    MapHolder local(frame.localMap);
    ok = ok && EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlace, local.map) ==
                   GIF_OK;
    std::vector<int> order;
    if (frame.interlace) {
      static constexpr int kStart[4] = {0, 4, 2, 1};
      static constexpr int kStep[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < frame.height; y += kStep[pass]) order.push_back(y);
    } else {
      for (int y = 0; y < frame.height; ++y) order.push_back(y);
    }
    for (int y : order) {
      Bytes row(frame.indices.begin() + y * frame.width, frame.indices.begin() + (y + 1) * frame.width);
      ok = ok && EGifPutLine(gif, row.data(), frame.width) == GIF_OK;
    }
  }
  return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

std::vector<GifColorType> GreyRamp(int count) {
  std::vector<GifColorType> map(count);
  for (int i = 0; i < count; ++i) map[i] = {GifByteType(i * 255 / (count - 1)), GifByteType(i * 255 / (count - 1)),
                                            GifByteType(i * 255 / (count - 1))};
  return map;
}

// A 1 x 1 GIF written byte by byte: optional two-entry global map, one image
// at (left, top) whose single pixel has `index` (0..3).
Bytes TinyGif(bool globalMap, int left, int index) {
  Bytes b = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, BYTE(globalMap ? 0x80 : 0x00), 0, 0};
  if (globalMap) b.insert(b.end(), {10, 20, 30, 40, 50, 60});
  b.insert(b.end(), {0x2C, BYTE(left), 0, 0, 0, 1, 0, 1, 0, 0});
  // LZW, minimum code size 2: clear (4), the index, end (5) as 3-bit codes.
  b.insert(b.end(), {2, 2, BYTE(4 | index << 3 | (5 & 3) << 6), 1, 0, 0x3B});
  return b;
}

class GifTest : public ::testing::Test {
protected:
  TempDir dir;
};

TEST_F(GifTest, GreyFilesLoadAsGreyAndColourFilesAsPaletteColour) {
  GLUE_REQUIRE_TOOL("convert");
  const std::string grey = dir.File("grey.gif");
  const std::string colour = dir.File("colour.gif");
  ASSERT_TRUE(Convert(WritePatternPnm(dir, "grey", 33, 21, 1), "", grey));
  ASSERT_TRUE(Convert(WritePatternPnm(dir, "colour", 33, 21, 3), "-colors 100", colour));

  CDib dib;
  ASSERT_EQ(dib.ReadGIF(grey), DIB_OK);
  EXPECT_EQ(dib.m_nColorType, DibGrey);
  EXPECT_EQ(dib.Header()->biBitCount, 8);
  EXPECT_EQ(dib.m_nPlanes, 1u);
  EXPECT_EQ(dib.m_nBitsPerPlane, 8);
  EXPECT_EQ(DibPixels(dib), formats_test::ToolPixels(grey, 1));

  ASSERT_EQ(dib.ReadGIF(colour), DIB_OK);
  EXPECT_EQ(dib.m_nColorType, DibPaletteColor);
  EXPECT_EQ(dib.Header()->biBitCount, 24);
  EXPECT_EQ(dib.m_nBitsPerPlane, 7);  // 100 colours need a map of 128
  EXPECT_EQ(dib.GetSize(), (CSize{33, 21}));
  EXPECT_EQ(DibPixels(dib), formats_test::ToolPixels(colour, 3));
}

TEST_F(GifTest, InterlacedAndPlainFilesLoadIdentically) {
  Frame frame;
  frame.width = 7;
  frame.height = 19;  // every pass has rows, and the last ones are partial
  for (int i = 0; i < 7 * 19; ++i) frame.indices.push_back(BYTE(i * 7 % 16));
  std::vector<GifColorType> map(16);
  for (int i = 0; i < 16; ++i) map[i] = {GifByteType(i * 16), GifByteType(255 - i * 9), GifByteType(i * 3)};
  ASSERT_TRUE(WriteGif(dir.File("plain.gif"), 7, 19, 0, map, {frame}));
  frame.interlace = true;
  ASSERT_TRUE(WriteGif(dir.File("interlaced.gif"), 7, 19, 0, map, {frame}));

  CDib plain;
  CDib interlaced;
  ASSERT_EQ(plain.ReadGIF(dir.File("plain.gif")), DIB_OK);
  ASSERT_EQ(interlaced.ReadGIF(dir.File("interlaced.gif")), DIB_OK);
  Bytes expected;
  for (BYTE index : frame.indices) expected.insert(expected.end(), {map[index].Red, map[index].Green, map[index].Blue});
  EXPECT_EQ(DibPixels(plain), expected);
  EXPECT_EQ(DibPixels(interlaced), expected);

  if (formats_test::HaveTool("convert")) {
    const std::string source = WritePatternPnm(dir, "pattern", 30, 30, 3);
    ASSERT_TRUE(Convert(source, "-colors 50 -interlace GIF", dir.File("im-interlaced.gif")));
    ASSERT_TRUE(Convert(source, "-colors 50 -interlace none", dir.File("im-plain.gif")));
    ASSERT_NE(formats_test::ReadBytes(dir.File("im-interlaced.gif")), formats_test::ReadBytes(dir.File("im-plain.gif")));
    ASSERT_EQ(plain.ReadGIF(dir.File("im-plain.gif")), DIB_OK);
    ASSERT_EQ(interlaced.ReadGIF(dir.File("im-interlaced.gif")), DIB_OK);
    EXPECT_EQ(DibPixels(plain), DibPixels(interlaced));
  }
}

TEST_F(GifTest, ImagesComposeOnTheScreenThroughTheLastImagesMap) {
  // Screen 6 x 4 of background index 1; image A (indices 2) at (0, 0) 4 x 3;
  // image B (indices 3) at (2, 1) 3 x 2 overwrites part of A.
  Frame a{0, 0, 4, 3, false, {}, Bytes(12, 2)};
  Frame b{2, 1, 3, 2, true, {}, Bytes(6, 3)};
  const std::vector<GifColorType> global = GreyRamp(4);  // 0, 85, 170, 255
  ASSERT_TRUE(WriteGif(dir.File("global.gif"), 6, 4, 1, global, {a, b}));
  CDib dib;
  ASSERT_EQ(dib.ReadGIF(dir.File("global.gif")), DIB_OK);
  EXPECT_EQ(dib.m_nColorType, DibGrey);
  EXPECT_EQ(dib.m_nBitsPerPlane, 2);
  EXPECT_EQ(DibPixels(dib), (Bytes{170, 170, 170, 170, 85,  85,  //
                                   170, 170, 255, 255, 255, 85,  //
                                   170, 170, 255, 255, 255, 85,  //
                                   85,  85,  85,  85,  85,  85}));

  // With a local map on the last image, that map colours the whole canvas.
  b.localMap = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}, {5, 0, 0}, {6, 0, 0}, {7, 0, 0}};
  ASSERT_TRUE(WriteGif(dir.File("local.gif"), 6, 4, 1, global, {a, b}));
  ASSERT_EQ(dib.ReadGIF(dir.File("local.gif")), DIB_OK);
  EXPECT_EQ(dib.m_nColorType, DibPaletteColor);
  EXPECT_EQ(dib.m_nBitsPerPlane, 3);
  const Bytes pixels = DibPixels(dib);
  ASSERT_EQ(pixels.size(), 6u * 4 * 3);
  EXPECT_EQ(Bytes(pixels.begin(), pixels.begin() + 18), (Bytes{2, 0, 0, 2, 0, 0, 2, 0, 0, 2, 0, 0, 1, 0, 0, 1, 0, 0}));

  // A local map on an earlier image only: the global map wins.
  std::swap(a.localMap, b.localMap);
  ASSERT_TRUE(WriteGif(dir.File("early-local.gif"), 6, 4, 1, global, {a, b}));
  ASSERT_EQ(dib.ReadGIF(dir.File("early-local.gif")), DIB_OK);
  EXPECT_EQ(dib.m_nColorType, DibGrey);
  EXPECT_EQ(DibPixels(dib)[0], 170);
}

TEST_F(GifTest, BrokenFilesFailWithOpenErrorAndLeaveTheImageAlone) {
  Frame past{3, 0, 4, 2, false, {}, Bytes(8, 1)};
  ASSERT_TRUE(WriteGif(dir.File("image-past-screen.gif"), 6, 4, 0, GreyRamp(2), {past}));
  Frame fine{0, 0, 6, 4, false, {}, Bytes(24, 1)};
  ASSERT_TRUE(WriteGif(dir.File("fine.gif"), 6, 4, 0, GreyRamp(2), {fine}));
  const Bytes good = formats_test::ReadBytes(dir.File("fine.gif"));
  formats_test::WriteBytes(dir.File("truncated.gif"), Bytes(good.begin(), good.end() - 4));
  formats_test::WriteBytes(dir.File("no-colour-map.gif"), TinyGif(false, 0, 1));
  formats_test::WriteBytes(dir.File("tiny-past-screen.gif"), TinyGif(true, 1, 1));
  Bytes zeroScreen = TinyGif(true, 0, 1);
  zeroScreen[6] = 0;
  formats_test::WriteBytes(dir.File("zero-screen.gif"), zeroScreen);
  Bytes hugeScreen = TinyGif(true, 0, 1);
  hugeScreen[6] = hugeScreen[7] = hugeScreen[8] = hugeScreen[9] = 0xFF;
  formats_test::WriteBytes(dir.File("bomb-65535x65535.gif"), hugeScreen);
  formats_test::WriteBytes(dir.File("not-a-gif.gif"), Bytes{'P', '6', '\n', '1'});

  CDib dib;
  ASSERT_EQ(dib.ReadGIF(dir.File("fine.gif")), DIB_OK);
  for (const char* name : {"image-past-screen.gif", "truncated.gif", "no-colour-map.gif", "tiny-past-screen.gif",
                           "zero-screen.gif", "bomb-65535x65535.gif", "not-a-gif.gif", "missing.gif"}) {
    SCOPED_TRACE(name);
    const bool bomb = std::string(name).starts_with("bomb");
    EXPECT_EQ(dib.ReadGIF(dir.File(name)), bomb ? DIB_ERR_TOO_LARGE : DIB_ERR_OPEN);
    EXPECT_EQ(dib.GetSize(), (CSize{6, 4}));
  }
}

TEST_F(GifTest, IndicesBeyondTheMapBecomeBlack) {
  formats_test::WriteBytes(dir.File("index-1.gif"), TinyGif(true, 0, 1));
  formats_test::WriteBytes(dir.File("index-3.gif"), TinyGif(true, 0, 3));
  CDib dib;
  ASSERT_EQ(dib.ReadGIF(dir.File("index-1.gif")), DIB_OK);
  EXPECT_EQ(DibPixels(dib), (Bytes{40, 50, 60}));
  ASSERT_EQ(dib.ReadGIF(dir.File("index-3.gif")), DIB_OK);
  EXPECT_EQ(DibPixels(dib), (Bytes{0}));
  EXPECT_EQ(dib.m_nColorType, DibGrey);
}

TEST(GifCorpus, HostileAndOddFilesGiveOkOrAnError) {
  const auto files = formats_test::CorpusFiles("gif");
  if (files.empty()) GTEST_SKIP() << "no GIF corpus";
  for (const std::string& file : files) {
    CDib dib;
    const int result = dib.ReadGIF(file);
    EXPECT_TRUE(result == DIB_OK || result == DIB_ERR_OPEN || result == DIB_ERR_TOO_LARGE) << file << ": " << result;
  }
}

}  // namespace
