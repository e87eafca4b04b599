#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tools/FileFormat.h"

namespace {

TEST(FileFormatChoice, ByExtensionIgnoringCase) {
  EXPECT_EQ(FormatFromPath("a.BMP"), FileFormat::Bmp);
  EXPECT_EQ(FormatFromPath("dir/a.Pcx"), FileFormat::Pcx);
  EXPECT_EQ(FormatFromPath("a.pnm"), FileFormat::Pnm);
  EXPECT_EQ(FormatFromPath("a.ppm"), FileFormat::Pnm);
  EXPECT_EQ(FormatFromPath("a.pgm"), FileFormat::Pnm);
  EXPECT_EQ(FormatFromPath("a.jpeg"), FileFormat::Jpeg);
  EXPECT_EQ(FormatFromPath("a.JPG"), FileFormat::Jpeg);
  EXPECT_EQ(FormatFromPath("a.tif"), FileFormat::Tiff);
  EXPECT_EQ(FormatFromPath("a.tiff"), FileFormat::Tiff);
  EXPECT_EQ(FormatFromPath("a.gif"), FileFormat::Gif);
  EXPECT_EQ(FormatFromPath("x.y/a.tvx"), FileFormat::Tvx);
  EXPECT_EQ(FormatFromPath("x.tvx/a"), FileFormat::Unknown);
  EXPECT_EQ(FormatFromPath("a.png"), FileFormat::Unknown);
  EXPECT_EQ(FormatFromPath("bmp"), FileFormat::Unknown);
}

TEST(FileFormatChoice, ReadableAndWritableSets) {
  for (FileFormat format : {FileFormat::Bmp, FileFormat::Pcx, FileFormat::Pnm, FileFormat::Jpeg, FileFormat::Tiff,
                            FileFormat::Gif, FileFormat::Tvx})
    EXPECT_TRUE(CanRead(format)) << FormatName(format);
  EXPECT_FALSE(CanWrite(FileFormat::Pcx));
  EXPECT_FALSE(CanWrite(FileFormat::Gif));
  EXPECT_FALSE(CanWrite(FileFormat::Unknown));
  EXPECT_FALSE(CanRead(FileFormat::Unknown));
  EXPECT_TRUE(CanWrite(FileFormat::Tvx));
  EXPECT_EQ(PnmFlavourFromPath("a.PGM"), PnmFlavour::Grey);
  EXPECT_EQ(PnmFlavourFromPath("a.ppm"), PnmFlavour::Colour);
  EXPECT_EQ(PnmFlavourFromPath("a.pnm"), PnmFlavour::AsImage);
}

TEST(FileFormatChoice, ByContent) {
  const std::pair<std::string, FileFormat> cases[] = {
      {std::string("TVX\x1a\x01\x38", 6), FileFormat::Tvx},
      {"\xff\xd8\xff\xe0", FileFormat::Jpeg},
      {std::string("II*\0", 4), FileFormat::Tiff},
      {std::string("MM\0*", 4), FileFormat::Tiff},
      {"GIF89a..", FileFormat::Gif},
      {std::string("BM\x36\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18), FileFormat::Bmp},
      {"P6\n300 200", FileFormat::Pnm},
      {"P5 1 1", FileFormat::Pnm},
      {std::string("\x0a\x05\x01\x08", 4), FileFormat::Pcx},
      {"BM", FileFormat::Unknown},         // too short for a bitmap header
      {"P7\nWIDTH", FileFormat::Unknown},  // PAM, which no reader takes
      {"P6x", FileFormat::Unknown},
      {std::string("\x0a\x05\x01\x03", 4), FileFormat::Unknown},
      {"TVX", FileFormat::Unknown},
      {"", FileFormat::Unknown},
  };
  for (const auto& [bytes, format] : cases)
    EXPECT_EQ(FormatFromContent(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), format)
        << bytes;
  EXPECT_EQ(FormatFromName("TIFF"), FileFormat::Tiff);
  EXPECT_EQ(FormatFromName("a/ppm"), FileFormat::Unknown);
}

}  // namespace
