#include <gtest/gtest.h>

#include "tools/Options.h"

namespace {

ParseResult Parse(std::vector<std::string> args) { return ParseCommandLine(args); }

TEST(ToolOptions, CommandsTakeTheirFiles) {
  ParseResult compress = Parse({"compress", "a.ppm", "b.tvx"});
  ASSERT_EQ(compress.error, "");
  EXPECT_EQ(compress.options.command, Command::Compress);
  EXPECT_EQ(compress.options.input, "a.ppm");
  EXPECT_EQ(compress.options.output, "b.tvx");

  ParseResult info = Parse({"info", "x.tvx"});
  ASSERT_EQ(info.error, "");
  EXPECT_EQ(info.options.command, Command::Info);
  EXPECT_EQ(info.options.input, "x.tvx");

  EXPECT_NE(Parse({"info", "a", "b"}).error, "");
  EXPECT_NE(Parse({"convert", "a.bmp"}).error, "");
  EXPECT_NE(Parse({"squash", "a", "b"}).error, "");
  EXPECT_NE(Parse({}).error, "");
  EXPECT_EQ(Parse({"--help"}).options.command, Command::Help);
  EXPECT_EQ(Parse({"compress", "--help"}).options.command, Command::Help);
}

TEST(ToolOptions, DefaultsAreTheApplicationsSettings) {
  const CompressionChoice choice = Parse({"compress", "a.ppm", "b.tvx"}).options.compression;
  EXPECT_EQ(choice.rate, RateMode::Default);
  EXPECT_FALSE(choice.wavelet.has_value());
  EXPECT_EQ(choice.layer, TXcodecStandard);
  EXPECT_TRUE(choice.downsampling);
  EXPECT_EQ(choice.colorPortion, 10);
  EXPECT_FALSE(choice.customised);
}

TEST(ToolOptions, CodecOptionsAreRead) {
  ParseResult parsed = Parse({"compress", "--wavelet", "18/10", "--layer=fast-res", "--no-downsampling",
                              "--color-portion", "25", "--quality=12.5", "a.pgm", "b.tvx"});
  ASSERT_EQ(parsed.error, "");
  const CompressionChoice& choice = parsed.options.compression;
  EXPECT_EQ(choice.wavelet, TXwavelet1810);
  EXPECT_EQ(choice.layer, TXcodecFastResolution);
  EXPECT_FALSE(choice.downsampling);
  EXPECT_EQ(choice.colorPortion, 25);
  EXPECT_EQ(choice.rate, RateMode::Quality);
  EXPECT_DOUBLE_EQ(choice.quality, 12.5);
  EXPECT_TRUE(choice.customised);

  EXPECT_EQ(Parse({"compress", "--size", "1234", "a", "b.tvx"}).options.compression.sizeBytes, 1234);
  EXPECT_DOUBLE_EQ(Parse({"compress", "--bpp", "0.25", "a", "b.tvx"}).options.compression.bitsPerPixel, 0.25);
  EXPECT_EQ(Parse({"compress", "--lossless", "a", "b.tvx"}).options.compression.rate, RateMode::Lossless);
  EXPECT_EQ(Parse({"convert", "--jpeg-quality", "90", "a.bmp", "b.jpg"}).options.jpegQuality, 90);
  EXPECT_FALSE(Parse({"info", "--no-progress", "a.bmp"}).options.progress);
}

TEST(ToolOptions, BadValuesAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {"compress", "--quality", "0", "a", "b.tvx"},       {"compress", "--quality", "51", "a", "b.tvx"},
      {"compress", "--quality", "abc", "a", "b.tvx"},     {"compress", "--size", "0", "a", "b.tvx"},
      {"compress", "--size", "12x", "a", "b.tvx"},        {"compress", "--size", "9999999999", "a", "b.tvx"},
      {"compress", "--bpp", "-1", "a", "b.tvx"},          {"compress", "--bpp", "nan", "a", "b.tvx"},
      {"compress", "--wavelet", "haar", "a", "b.tvx"},    {"compress", "--layer", "slow", "a", "b.tvx"},
      {"compress", "--color-portion", "41", "a", "b.tvx"}, {"compress", "--color-portion", "0", "a", "b.tvx"},
      {"compress", "a", "b.tvx", "--size"},               {"compress", "--lossless=1", "a", "b.tvx"},
      {"compress", "--frobnicate", "a", "b.tvx"},         {"convert", "--jpeg-quality", "101", "a", "b.jpg"},
  };
  for (const std::vector<std::string>& args : bad) {
    std::string joined;
    for (const std::string& arg : args) joined += arg + " ";
    EXPECT_NE(Parse(args).error, "") << joined;
  }
}

TEST(ToolOptions, OneRateOnlyAndCodecOptionsOnlyWhereTheyApply) {
  EXPECT_NE(Parse({"compress", "--size", "100", "--quality", "20", "a", "b.tvx"}).error, "");
  EXPECT_NE(Parse({"compress", "--lossless", "--bpp", "1", "a", "b.tvx"}).error, "");
  EXPECT_EQ(Parse({"compress", "--quality", "20", "--quality", "30", "a", "b.tvx"}).error, "");
  EXPECT_NE(Parse({"decompress", "--quality", "20", "a.tvx", "b.ppm"}).error, "");
  EXPECT_NE(Parse({"info", "--wavelet", "5/3", "a.tvx"}).error, "");
  EXPECT_EQ(Parse({"convert", "--wavelet", "5/3", "a.bmp", "b.tvx"}).error, "");
}

}  // namespace
