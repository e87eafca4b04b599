#include <gtest/gtest.h>

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

}  // namespace
