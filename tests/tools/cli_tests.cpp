// The tool for everyday work: summary line, messages, info over several
// files, damaged files, standard input and output, 16-bit TIFF output and
// batch compression, through the built program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <regex>

#include "ToolTestSupport.h"
#include "tools/Pnm16.h"

#ifndef TAVIX_TOOL_PATH
#error "TAVIX_TOOL_PATH must name the built tavix program"
#endif

namespace {

const std::string kSample = std::string(TAVIX_SOURCE_DIR) + "/samples/chelsea.ppm";  // 300 x 200 RGB

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class ToolCli : public ::testing::Test {
protected:
  // Runs the tool with its scratch folder for "-" inside our folder.
  int Tavix(const std::string& args, std::string* output = nullptr) {
    return RunShell("TMPDIR=" + Quote(folder / "tmp") + " " + Quote(TAVIX_TOOL_PATH) + " " + args, output);
  }
  void SetUp() override { std::filesystem::create_directory(folder / "tmp"); }
  bool ScratchIsEmpty() { return std::filesystem::is_empty(folder / "tmp"); }
  double PsnrOf(const std::string& summary) {
    std::smatch match;
    const std::regex psnr("PSNR ([0-9.]+) dB");
    return std::regex_search(summary, match, psnr) ? std::stod(match[1]) : -1.0;
  }
  ScratchFolder folder;
};

TEST_F(ToolCli, SummaryLineWithPsnrAndTheQualityScaleItsHelpDescribes) {
  std::string output;
  ASSERT_EQ(Tavix("compress --bpp 1 --psnr " + Quote(kSample) + " " + Quote(folder / "a.tvx"), &output), 0);
  EXPECT_TRUE(Has(output, "300 x 200, 180015 -> 7500 bytes, ratio 24.00 : 1, 1.000 bpp, PSNR ")) << output;
  // The same PSNR computed here from the decoded file.
  ASSERT_EQ(Tavix("decompress " + Quote(folder / "a.tvx") + " " + Quote(folder / "a.ppm")), 0);
  const std::vector<unsigned char> a = ReadBytes(kSample), b = ReadBytes(folder / "a.ppm");
  ASSERT_EQ(a.size(), b.size());
  double sum = 0.0;
  for (size_t i = 15; i < a.size(); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
  EXPECT_NEAR(PsnrOf(output), 10.0 * std::log10(255.0 * 255.0 * (a.size() - 15) / sum), 0.01);

  ASSERT_EQ(Tavix("compress -q " + Quote(kSample) + " " + Quote(folder / "b.tvx"), &output), 0);
  EXPECT_EQ(output, "") << "--quiet prints no summary";

  ASSERT_EQ(Tavix("compress --help", &output), 0);
  EXPECT_TRUE(Has(output, "higher is better: 50 gives the best")) << output;
  std::string low, high;
  ASSERT_EQ(Tavix("compress --psnr --quality 10 " + Quote(kSample) + " " + Quote(folder / "q10.tvx"), &low), 0);
  ASSERT_EQ(Tavix("compress --psnr --quality 50 " + Quote(kSample) + " " + Quote(folder / "q50.tvx"), &high), 0);
  EXPECT_GT(PsnrOf(high), PsnrOf(low) + 5.0) << low << high;
  EXPECT_GT(ReadBytes(folder / "q50.tvx").size(), ReadBytes(folder / "q10.tvx").size());

  ASSERT_EQ(Tavix("--version", &output), 0);
  EXPECT_TRUE(std::regex_search(output, std::regex("^tavix [0-9]+\\.[0-9]+\\.[0-9]+"))) << output;
}

TEST_F(ToolCli, MessagesSayWhatWentWrong) {
  std::filesystem::create_directory(folder / "dir.bmp");
  WriteBytes(folder / "bad.jpg", "\xff\xd8\xff\xe0 this is no JPEG stream");
  ASSERT_EQ(Tavix("compress " + Quote(kSample) + " " + Quote(folder / "whole.tvx")), 0);
  WriteBytes(folder / "cut.tvx", std::string(reinterpret_cast<const char*>(ReadBytes(folder / "whole.tvx").data()), 30));
  WriteBytes(folder / "empty.tvx", "");
  ASSERT_EQ(RunShell("convert " + Quote(kSample) + " -depth 16 -define tiff:tile-geometry=64x64 " +
                     Quote(folder / "deep.tif")),
            0);
  const struct {
    std::string args;
    int exitCode;
    const char* message;
  } cases[] = {
      {"compress " + Quote(kSample) + " " + Quote(folder / "no/such/x.tvx"), 1, "No such file or directory"},
      {"convert " + Quote(kSample) + " " + Quote(folder / "dir.bmp"), 1, "it is a folder"},
      {"convert " + Quote(folder / "bad.jpg") + " " + Quote(folder / "x.bmp"), 1,
       "damaged or unreadable JPEG data (JPEG datastream contains no image)"},
      {"decompress " + Quote(kSample) + " " + Quote(folder / "x.bmp"), 1, "is a PNM file"},
      {"compress --size 20 " + Quote(kSample) + " " + Quote(folder / "x.tvx"), 2, "smallest .tvx file is 57 bytes"},
      {"compress --bpp 0.001 " + Quote(kSample) + " " + Quote(folder / "x.tvx"), 1, "--bpp 0.0076 or more"},
      {"convert --quality 20 " + Quote(kSample) + " " + Quote(folder / "x.bmp"), 2, "only to .tvx output"},
      {"compress --lossless --wavelet 18/10 " + Quote(kSample) + " " + Quote(folder / "x.tvx"), 2, "reversible"},
      {"convert " + Quote(kSample) + " -", 2, "needs --to"},
      {"info " + Quote(folder / "cut.tvx"), 1, "is truncated: it ends inside its 56-byte header, after 30 bytes"},
      {"info " + Quote(folder / "empty.tvx"), 1, "is empty"},
      {"info " + Quote(folder / "deep.tif"), 1, "16-bit files must be grey or RGB, in strips"},
  };
  for (const auto& test : cases) {
    std::string output;
    EXPECT_EQ(Tavix(test.args, &output), test.exitCode) << test.args << "\n" << output;
    EXPECT_TRUE(Has(output, test.message)) << test.args << "\n" << output;
  }
  EXPECT_FALSE(Exists(folder / "x.tvx"));
  EXPECT_FALSE(Exists(folder / "x.bmp"));
}

TEST_F(ToolCli, InfoDescribesSeveralFilesAndTruncatedOnes) {
  const std::string colour = folder / "colour.tvx", grey = folder / "grey.tvx", cut = folder / "cut.tvx";
  ASSERT_EQ(Tavix("compress --size 7000 " + Quote(kSample) + " " + Quote(colour)), 0);
  ASSERT_EQ(RunShell("ppmtopgm " + Quote(kSample) + " > " + Quote(folder / "grey.pgm")), 0);
  ASSERT_EQ(Tavix("compress --quality 30 " + Quote(folder / "grey.pgm") + " " + Quote(grey)), 0);
  const std::vector<unsigned char> bytes = ReadBytes(colour);
  ASSERT_EQ(bytes.size(), 7000u);
  WriteBytes(cut, std::string(bytes.begin(), bytes.begin() + 3000));

  std::string output;
  EXPECT_EQ(Tavix("info " + Quote(colour) + " " + Quote(folder / "missing.tvx") + " " + Quote(grey) + " " +
                      Quote(cut),
                  &output),
            1)
      << "one file failed";
  const size_t greyAt = output.find("file: " + grey), cutAt = output.find("file: " + cut);
  ASSERT_NE(greyAt, std::string::npos) << output;
  ASSERT_NE(cutAt, std::string::npos) << output;
  const std::string colourPart = output.substr(0, greyAt), greyPart = output.substr(greyAt, cutAt - greyAt),
                    cutPart = output.substr(cutAt);
  for (const char* expected : {"mode: File Size, target 7000 bytes", "filter: 9/7 Filter", "colour portion: 10 %",
                               "layer: Standard Embedded Progressive"})
    EXPECT_TRUE(Has(colourPart, expected)) << expected << "\n" << colourPart;
  EXPECT_TRUE(Has(greyPart, "mode: Quality, quality 30 of 50")) << greyPart;
  EXPECT_FALSE(Has(greyPart, "colour portion")) << "grey images have no colour portion";
  EXPECT_FALSE(Has(output, "sizeMode")) << "raw records only with --verbose";
  EXPECT_TRUE(Has(output, "cannot open '" + folder / "missing.tvx" + "'")) << output;
  EXPECT_TRUE(Has(cutPart, "truncated: the header states 7000 bytes, the file has 3000 bytes")) << cutPart;
  EXPECT_FALSE(Has(colourPart, "truncated")) << colourPart;

  // Decoding it warns and succeeds, as a premature end does elsewhere.
  ASSERT_EQ(Tavix("decompress " + Quote(cut) + " " + Quote(folder / "cut.ppm"), &output), 0) << output;
  EXPECT_TRUE(Has(output, "warning: '" + cut + "' is truncated: the header states 7000 bytes")) << output;
  EXPECT_EQ(ReadBytes(folder / "cut.ppm").size(), ReadBytes(kSample).size());
}

TEST_F(ToolCli, StandardStreamsAndFormatsByContent) {
  const std::string tvx = folder / "a.tvx";
  ASSERT_EQ(Tavix("compress " + Quote(kSample) + " " + Quote(tvx)), 0);
  std::string output;
  ASSERT_EQ(Tavix("-q compress - - < " + Quote(kSample) + " > " + Quote(folder / "piped.tvx"), &output), 0)
      << output;
  EXPECT_EQ(ReadBytes(folder / "piped.tvx"), ReadBytes(tvx));
  ASSERT_EQ(Tavix("decompress " + Quote(tvx) + " " + Quote(folder / "a.ppm")), 0);
  ASSERT_EQ(Tavix("decompress - - < " + Quote(tvx) + " > " + Quote(folder / "piped.ppm")), 0);
  EXPECT_EQ(ReadBytes(folder / "piped.ppm"), ReadBytes(folder / "a.ppm"));
  ASSERT_EQ(Tavix("convert --to bmp - - < " + Quote(kSample) + " > " + Quote(folder / "piped.bmp")), 0);
  const std::vector<unsigned char> bmp = ReadBytes(folder / "piped.bmp");
  EXPECT_EQ(bmp.size(), 54u + 300u * 200u * 3u);
  EXPECT_EQ(std::string(bmp.begin(), bmp.begin() + std::min<size_t>(2, bmp.size())), "BM");
  ASSERT_EQ(Tavix("info - < " + Quote(tvx), &output), 0);
  EXPECT_TRUE(Has(output, "file: -\nformat: TAVIX")) << output;

  // Content wins over a wrong extension; --from wins over content.
  std::filesystem::copy_file(tvx, folder / "really-tvx.ppm");
  ASSERT_EQ(Tavix("decompress " + Quote(folder / "really-tvx.ppm") + " " + Quote(folder / "b.ppm"), &output), 0)
      << output;
  EXPECT_EQ(ReadBytes(folder / "b.ppm"), ReadBytes(folder / "a.ppm"));
  EXPECT_EQ(Tavix("convert --from bmp " + Quote(kSample) + " " + Quote(folder / "c.ppm"), &output), 1) << output;

  // A reader that stops early, and a failure, leave no scratch files.
  Tavix("decompress - - < " + Quote(tvx) + " | head -c 10 > /dev/null");
  EXPECT_EQ(Tavix("decompress - - < /dev/null", &output), 1);
  EXPECT_TRUE(ScratchIsEmpty());
}

TEST_F(ToolCli, SixteenBitImagesStaySixteenBitInTiff) {
  const std::string deep = folder / "deep.pgm", tvx = folder / "deep.tvx", tiff = folder / "deep.tif";
  ASSERT_EQ(RunShell("ppmtopgm " + Quote(kSample) + " | pamdepth 65535 | pamtopnm > " + Quote(deep)), 0);
  ASSERT_EQ(Tavix("compress --lossless " + Quote(deep) + " " + Quote(tvx)), 0);
  std::string output;
  ASSERT_EQ(Tavix("decompress " + Quote(tvx) + " " + Quote(tiff), &output), 0) << output;
  ASSERT_EQ(RunShell("identify -format %z " + Quote(tiff), &output), 0);
  EXPECT_EQ(output, "16");
  ASSERT_EQ(RunShell("convert " + Quote(tiff) + " -depth 16 pgm:" + Quote(folder / "back.pgm")), 0);
  SampleImage original, back;
  ASSERT_TRUE(ReadPnmSamples(deep, original).ok());
  ASSERT_TRUE(ReadPnmSamples(folder / "back.pgm", back).ok());
  EXPECT_EQ(back.samples, original.samples);
  // The tool reads its own 16-bit TIFF back at full depth.
  ASSERT_EQ(Tavix("convert " + Quote(tiff) + " " + Quote(folder / "ours.pgm"), &output), 0) << output;
  SampleImage ours;
  ASSERT_TRUE(ReadPnmSamples(folder / "ours.pgm", ours).ok());
  EXPECT_EQ(ours.samples, original.samples);
}

TEST_F(ToolCli, BatchCompressionGoesOnPastFailures) {
  ASSERT_EQ(RunShell("ppmtopgm " + Quote(kSample) + " > " + Quote(folder / "grey.pgm")), 0);
  std::filesystem::create_directory(folder / "out");
  std::filesystem::create_directory(folder / "other");
  std::filesystem::copy_file(kSample, folder / "other/grey.ppm");
  std::string output;
  EXPECT_EQ(Tavix("compress -q --bpp 1 --out-dir " + Quote(folder / "out") + " " + Quote(kSample) + " " +
                      Quote(folder / "missing.ppm") + " " + Quote(folder / "grey.pgm") + " " +
                      Quote(folder / "other/grey.ppm"),
                  &output),
            1);
  EXPECT_TRUE(Has(output, "cannot open '" + folder / "missing.ppm" + "'")) << output;
  EXPECT_TRUE(Has(output, "already written")) << output;
  EXPECT_EQ(ReadBytes(folder / "out/chelsea.tvx").size(), 7500u);
  EXPECT_EQ(ReadBytes(folder / "out/grey.tvx").size(), 7500u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "out"), {}), 2);

  // An input in the output folder is not replaced by its own output.
  std::filesystem::copy_file(folder / "out/grey.tvx", folder / "out/again.tvx");
  EXPECT_EQ(Tavix("compress -q --out-dir " + Quote(folder / "out") + " " + Quote(folder / "out/again.tvx"), &output),
            1);
  EXPECT_TRUE(Has(output, "would replace it")) << output;
  EXPECT_EQ(ReadBytes(folder / "out/again.tvx"), ReadBytes(folder / "out/grey.tvx"));

  EXPECT_EQ(Tavix("compress --out-dir " + Quote(folder / "none") + " " + Quote(kSample), &output), 1);
  EXPECT_TRUE(Has(output, "no such folder")) << output;
}

// Percentages shown on a terminal, in order, with the labels they carried.
std::vector<std::pair<std::string, int>> ProgressSeen(const std::string& typescript) {
  std::vector<std::pair<std::string, int>> seen;
  const std::regex step("([a-z]+) ([0-9]+) %");
  for (std::sregex_iterator it(typescript.begin(), typescript.end(), step), end; it != end; ++it)
    seen.emplace_back((*it)[1], std::stoi((*it)[2]));
  return seen;
}

TEST_F(ToolCli, ProgressCountsUpOnceOverAllPhases) {
  const std::string jpeg = folder / "big.jpg", tvx = folder / "big.tvx";
  ASSERT_EQ(RunShell("convert -size 1200x900 plasma:fractal " + Quote(jpeg)), 0);
  ASSERT_EQ(Tavix("compress " + Quote(jpeg) + " " + Quote(tvx)), 0);
  for (const std::string& job : {"compress " + Quote(jpeg) + " " + Quote(folder / "again.tvx"),
                                  "decompress " + Quote(tvx) + " " + Quote(folder / "big.tif"),
                                  "convert " + Quote(tvx) + " " + Quote(folder / "big2.jpg")}) {
    SCOPED_TRACE(job);
    // `script` gives the tool a terminal, where it shows progress.
    std::string typescript;
    ASSERT_EQ(RunShell("script -q -e -c " + Quote(Quote(TAVIX_TOOL_PATH) + " " + job) + " /dev/null", &typescript),
              0);
    const auto seen = ProgressSeen(typescript);
    ASSERT_GT(seen.size(), 2u) << typescript;
    EXPECT_NE(seen.front().first, seen.back().first) << "two phases in one display";
    EXPECT_EQ(seen.back().second, 100);
    for (size_t i = 1; i < seen.size(); ++i)
      EXPECT_GE(seen[i].second, seen[i - 1].second) << seen[i].first << " after " << seen[i - 1].first;
  }
}

}  // namespace
