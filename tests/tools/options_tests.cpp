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

  ParseResult several = Parse({"info", "a", "b"});
  ASSERT_EQ(several.error, "");
  EXPECT_EQ(several.options.inputs, (std::vector<std::string>{"a", "b"}));
  EXPECT_NE(Parse({"info"}).error, "");
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
  EXPECT_EQ(Parse({"decompress", "--threads", "3", "a.tvx", "b.ppm"}).options.threads, 3);
  EXPECT_EQ(Parse({"decompress", "a.tvx", "b.ppm"}).options.threads, -1);
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
      {"compress", "--threads", "17", "a", "b.tvx"},      {"compress", "--threads", "-1", "a", "b.tvx"},
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

TEST(ToolOptions, HelpVersionAndBatch) {
  const ParseResult help = Parse({"--quality", "7", "compress", "--help", "a"});
  EXPECT_EQ(help.options.command, Command::Help);
  EXPECT_EQ(help.options.helpTopic, Command::Compress);
  EXPECT_EQ(Parse({"--version"}).options.command, Command::Version);
  EXPECT_NE(UsageText(Command::Compress), UsageText(Command::Help));

  const ParseResult batch = Parse({"compress", "--out-dir", "out", "a.ppm", "b.pgm", "c.bmp"});
  ASSERT_EQ(batch.error, "");
  EXPECT_EQ(batch.options.inputs.size(), 3u);
  EXPECT_EQ(batch.options.outDir, "out");
  EXPECT_EQ(batch.options.output, "");
  const ParseResult quiet = Parse({"compress", "-q", "a", "b.tvx"});
  EXPECT_EQ(quiet.options.verbosity, Verbosity::Quiet);
  EXPECT_FALSE(quiet.options.progress);
  EXPECT_EQ(Parse({"compress", "--size", "57", "a", "b.tvx"}).error, "");
}

TEST(ToolOptions, ContradictionsAreUsageErrors) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"compress", "-q", "-v", "a", "b.tvx"}, "--quiet or --verbose"},
      {{"decompress", "--psnr", "a.tvx", "b.ppm"}, "--psnr"},
      {{"convert", "--out-dir", "d", "a", "b"}, "--out-dir"},
      {{"compress", "--out-dir", "d", "-"}, "standard input"},
      {{"info", "-", "-"}, "only once"},
      {{"compress", "--lossless", "--wavelet", "9/7", "a", "b.tvx"}, "reversible"},
      {{"compress", "--size", "56", "a", "b.tvx"}, "57 bytes"},
      {{"compress", "--to", "bmp", "a", "-"}, "--to bmp"},
      {{"decompress", "--to", "tvx", "a", "-"}, "--to tvx"},
      {{"convert", "--to", "png", "a", "-"}, "--to must name"},
      {{"convert", "--from", "tvx/x", "a", "b.bmp"}, "--from must name"},
      {{"info", "--to", "bmp", "a"}, "--to does not apply"},
      {{"compress", "--quiet=1", "a", "b.tvx"}, "takes no value"},
  };
  for (const auto& test : cases) {
    const ParseResult parsed = Parse(test.args);
    EXPECT_NE(parsed.error.find(test.message), std::string::npos) << test.message << ": '" << parsed.error << "'";
  }
}

}  // namespace
