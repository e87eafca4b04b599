// The plug-in's pure pieces: embed attributes, names, pixel conversion and
// the bitmap writer's exact layout.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/Bitmap.h"
#include "plugin/Attributes.h"
#include "plugin/Save.h"
#include "plugin/ShowImage.h"
#include "plugin/plugin_test_helpers.h"

namespace {

using plugin_test::ReadFile;

EmbedAttributes Read(std::vector<std::pair<const char*, const char*>> pairs, bool fullPage = false) {
  std::vector<const char*> names, values;
  for (auto& [n, v] : pairs) {
    names.push_back(n);
    values.push_back(v);
  }
  return ReadEmbedAttributes(static_cast<int>(names.size()), names.data(), values.data(), fullPage);
}

TEST(EmbedAttributesTest, ProgressiveIsOnUnlessTheValueIsTrue) {
  EXPECT_TRUE(Read({}).progressive);
  EXPECT_FALSE(Read({{"progressive", "FALSE"}}).progressive);
  EXPECT_FALSE(Read({{"progressive", "yes"}}).progressive);
  EXPECT_TRUE(Read({{"PROGRESSIVE", "TrUe"}}).progressive);
  EXPECT_TRUE(Read({{"progressive", "false"}, {"Progressive", "true"}}).progressive);  // last one wins
}

TEST(EmbedAttributesTest, LimitIsADecimalNumberAndNegativeMeansNone) {
  EXPECT_EQ(Read({{"limit", "2000"}}).limit, 2000);
  EXPECT_EQ(Read({{"limit", "-5"}}).limit, 0);
  EXPECT_EQ(Read({{"limit", "abc"}}).limit, 0);
  EXPECT_EQ(Read({{"limit", ""}}).limit, 0);
  EXPECT_EQ(Read({{"LIMIT", " 300"}}).limit, 300);
  EXPECT_EQ(ParseLimit("99999999999999999999"), INT32_MAX);
  EXPECT_EQ(ParseLimit(nullptr), 0);
}

TEST(EmbedAttributesTest, FullPageReadsOnlyAutorefresh) {
  const EmbedAttributes full = Read({{"progressive", "false"}, {"limit", "100"}, {"autorefresh", "TRUE"}}, true);
  EXPECT_TRUE(full.progressive);
  EXPECT_EQ(full.limit, 0);
  EXPECT_TRUE(full.noMenu);
  EXPECT_FALSE(Read({{"autorefresh", "1"}}).noMenu);
}

TEST(SaveNamesTest, SaveNameIsTheLastPathComponentUpToItsFirstDot) {
  EXPECT_EQ(SaveNameFromUrl("http://host/a/pic.large.tvx"), "pic");
  EXPECT_EQ(SaveNameFromUrl("http://host/a/picture"), "picture");
  EXPECT_EQ(SaveNameFromUrl("pic.tvx"), "pic");
  EXPECT_EQ(SaveNameFromUrl("http://host/a/b.tvx?x=1.2/3"), "b");
}

TEST(SaveNamesTest, ChosenNameLosesItsExtensionButNotTheFolders) {
  EXPECT_EQ(ReplaceExtension("C:\\my.dir\\pic.jpeg", ".bmp"), "C:\\my.dir\\pic.bmp");
  EXPECT_EQ(ReplaceExtension("/tmp/my.dir/pic.large.tvx", ".tvx"), "/tmp/my.dir/pic.tvx");
  EXPECT_EQ(ReplaceExtension("/tmp/my.dir/pic", ".bmp"), "/tmp/my.dir/pic.bmp");
}

std::vector<uint8_t> Grey16(std::initializer_list<int16_t> samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  size_t i = 0;
  for (int16_t s : samples) std::memcpy(&bytes[2 * i++], &s, 2);
  return bytes;
}

TEST(ConvertToRgbTest, Grey16IsStretchedFromMinimumToMaximum) {
  auto source = Grey16({-100, 0, 100});
  auto rgb = ConvertToRgb({3, 1, 1, 2, 6}, source.data());
  ASSERT_TRUE(rgb);
  // 255 / 200 as a float is just below 1.275, so 100 shows as 254.
  EXPECT_EQ(rgb[0], 0);
  EXPECT_EQ(rgb[3], 127);
  EXPECT_EQ(rgb[6], 254);
  EXPECT_EQ(rgb[7], 254);
  EXPECT_EQ(rgb[8], 254);

  auto full = Grey16({0, 255});
  auto rgbFull = ConvertToRgb({2, 1, 1, 2, 4}, full.data());
  EXPECT_EQ(rgbFull[3], 255);
}

TEST(ConvertToRgbTest, FlatGrey16ShowsMidGrey) {
  auto source = Grey16({-7, -7, -7, -7});
  auto rgb = ConvertToRgb({2, 2, 1, 2, 4}, source.data());
  ASSERT_TRUE(rgb);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(rgb[i], 128);
}

TEST(ConvertToRgbTest, Rgb48KeepsTheHighByteAndRowStrideIsHonoured) {
  // Two rows of one pixel, rows 8 bytes apart (2 bytes of padding).
  std::vector<uint8_t> source(16, 0xEE);
  const uint16_t row0[3] = {0x1234, 0xABCD, 0x00FF};
  const uint16_t row1[3] = {0xFF00, 0x0100, 0x8080};
  std::memcpy(&source[0], row0, 6);
  std::memcpy(&source[8], row1, 6);
  auto rgb = ConvertToRgb({1, 2, 3, 2, 8}, source.data());
  ASSERT_TRUE(rgb);
  const uint8_t expected[6] = {0x12, 0xAB, 0x00, 0xFF, 0x01, 0x80};
  EXPECT_EQ(0, std::memcmp(rgb.get(), expected, 6));

  auto bytes = ConvertToBytes({1, 2, 3, 2, 8}, source.data());
  EXPECT_EQ(0, std::memcmp(bytes.get(), expected, 6));
}

TEST(ConvertToRgbTest, RefusesImpossibleGeometry) {
  uint8_t pixel[4] = {};
  EXPECT_FALSE(ConvertToRgb({0, 1, 1, 1, 1}, pixel));
  EXPECT_FALSE(ConvertToRgb({1, 1, 2, 1, 2}, pixel));
  EXPECT_FALSE(ConvertToRgb({2, 1, 3, 1, 3}, pixel));  // rows shorter than the pixels
  EXPECT_FALSE(ConvertToRgb({1, 1, 1, 1, 1}, nullptr));
}

class BitmapWriterTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("nptavix-bmp-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string Path(const char* name) { return (dir / name).string(); }
  std::filesystem::path dir;
};

TEST_F(BitmapWriterTest, ColourRowsAreReversedBottomUpAndPaddedByWidthMod4) {
  // 3 x 2 pixels, top row first.
  const uint8_t pixels[18] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  ASSERT_EQ(WriteBitmapFile(Path("c.bmp"), kFormatBitmap, pixels, true, 3, 2), BITMAP_OK);
  const auto file = ReadFile(Path("c.bmp"));
  ASSERT_EQ(file.size(), 54u + 2 * 12);
  const auto fh = ReadFileHeader(file.data());
  const auto ih = ReadInfoHeader(file.data() + 14);
  EXPECT_EQ(+fh.bfType, 0x4D42);
  EXPECT_EQ(+fh.bfSize, 78u);
  EXPECT_EQ(+fh.bfReserved1, 0);
  EXPECT_EQ(+fh.bfReserved2, 0);
  EXPECT_EQ(+fh.bfOffBits, 54u);
  EXPECT_EQ(+ih.biSize, 40u);
  EXPECT_EQ(+ih.biWidth, 3);
  EXPECT_EQ(+ih.biHeight, 2);
  EXPECT_EQ(+ih.biPlanes, 1);
  EXPECT_EQ(+ih.biBitCount, 24);
  EXPECT_EQ(+ih.biCompression, 0u);
  EXPECT_EQ(+ih.biSizeImage, 24u);
  EXPECT_EQ(+ih.biXPelsPerMeter, 2834);
  EXPECT_EQ(+ih.biYPelsPerMeter, 2834);
  EXPECT_EQ(+ih.biClrUsed, 0u);
  EXPECT_EQ(+ih.biClrImportant, 0u);
  const std::vector<uint8_t> rows(file.begin() + 54, file.end());
  const std::vector<uint8_t> expected = {12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0,
                                         3,  2,  1,  6,  5,  4,  9,  8,  7,  0, 0, 0};
  EXPECT_EQ(rows, expected);
}

TEST_F(BitmapWriterTest, GreyHasA256EntryGreyTableAndRowsPaddedTo4) {
  const uint8_t pixels[6] = {10, 20, 30, 40, 50, 60};
  ASSERT_EQ(WriteBitmapFile(Path("g.bmp"), kFormatBitmap, pixels, false, 3, 2), BITMAP_OK);
  const auto file = ReadFile(Path("g.bmp"));
  ASSERT_EQ(file.size(), 1078u + 2 * 4);
  EXPECT_EQ(+ReadFileHeader(file.data()).bfOffBits, 1078u);
  EXPECT_EQ(+ReadInfoHeader(file.data() + 14).biBitCount, 8);
  EXPECT_EQ(+ReadInfoHeader(file.data() + 14).biSizeImage, 8u);
  for (int i = 0; i < 256; ++i) {
    const uint8_t* q = file.data() + 54 + 4 * i;
    ASSERT_TRUE(q[0] == i && q[1] == i && q[2] == i && q[3] == 0) << "entry " << i;
  }
  const std::vector<uint8_t> rows(file.begin() + 1078, file.end());
  EXPECT_EQ(rows, (std::vector<uint8_t>{40, 50, 60, 0, 10, 20, 30, 0}));
}

TEST_F(BitmapWriterTest, FailureLeavesNoFileAndKeepsAnExistingOne) {
  const uint8_t pixels[3] = {1, 2, 3};
  EXPECT_EQ(WriteBitmapFile(Path("missing-dir/x.bmp"), kFormatBitmap, pixels, true, 1, 1), BITMAP_ERR_WRITE);
  EXPECT_FALSE(std::filesystem::exists(Path("missing-dir/x.bmp")));
  EXPECT_EQ(WriteBitmapFile(Path("y.bmp"), 7, pixels, true, 1, 1), BITMAP_ERR_WRITE);

  const uint8_t old[2] = {'o', 'k'};
  ASSERT_TRUE(WriteRawFile(Path("keep.tvx"), 2, old));
  EXPECT_FALSE(WriteRawFile(Path("missing-dir/keep.tvx"), 2, old));
  EXPECT_EQ(ReadFile(Path("keep.tvx")), (std::vector<uint8_t>{'o', 'k'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary files left
}

}  // namespace
