// The tool's outputs respect what the target is: links are followed,
// devices written directly with their errors reported, and an over-large
// write fails cleanly.
#include <gtest/gtest.h>

#include <filesystem>

#include "ToolTestSupport.h"

namespace {

const std::string kSample = std::string(TAVIX_SOURCE_DIR) + "/samples/chelsea.ppm";

class SafeWrite : public ::testing::Test {
protected:
  int Tavix(const std::string& args, std::string* output) {
    return RunShell(Quote(TAVIX_TOOL_PATH) + " " + args, output);
  }
  void ExpectNoStagingFiles(const std::string& where) {
    for (const auto& entry : std::filesystem::directory_iterator(where))
      EXPECT_EQ(entry.path().filename().string().find(".tavix-"), std::string::npos) << entry.path();
  }
  ScratchFolder folder;
};

TEST_F(SafeWrite, ALinkStaysALinkAndItsFileIsReplaced) {
  std::filesystem::create_directory(folder / "real");
  for (const char* extension : {"bmp", "ppm", "tvx", "jpg", "tif"}) {
    SCOPED_TRACE(extension);
    const std::string real = folder / (std::string("real/out.") + extension);
    const std::string link = folder / (std::string("link.") + extension);
    WriteBytes(real, "old");
    std::filesystem::create_symlink(real, link);
    std::string output;
    EXPECT_EQ(Tavix("convert " + Quote(kSample) + " " + Quote(link), &output), 0) << output;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_GT(std::filesystem::file_size(real), 1000u);
  }
  ExpectNoStagingFiles(folder.path());
  ExpectNoStagingFiles(folder / "real");
}

TEST_F(SafeWrite, DevicesAreWrittenDirectlyAndTheirErrorsReported) {
  const struct {
    const char* device;
    const char* link;
    int exitCode;
    const char* message;
  } cases[] = {
      {"/dev/null", "null.bmp", 0, ""},
      {"/dev/null", "null.tvx", 0, ""},
      {"/dev/full", "full.bmp", 1, "no space left on device"},
      {"/dev/full", "full.ppm", 1, "no space left on device"},
      {"/dev/full", "full.tvx", 1, "cannot write"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.link);
    const std::string link = folder / test.link;
    std::filesystem::create_symlink(test.device, link);
    std::string output;
    EXPECT_EQ(Tavix("convert " + Quote(kSample) + " " + Quote(link), &output), test.exitCode) << output;
    EXPECT_NE(output.find(test.message), std::string::npos) << output;
    if (test.exitCode != 0) {
      EXPECT_NE(output.find("'" + link + "'"), std::string::npos) << output;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
  }
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
  ExpectNoStagingFiles(folder.path());
}

TEST_F(SafeWrite, AWritePastTheFileSizeLimitFailsWithAMessage) {
  const std::string target = folder / "out.bmp";
  std::string output;
  // The paths here have no quotes or spaces, so the inner command needs none.
  const std::string inner = "ulimit -f 10; exec " + std::string(TAVIX_TOOL_PATH) + " convert " + kSample + " " + target;
  const int code = RunShell("sh -c " + Quote(inner), &output);
  EXPECT_NE(code, 0) << output;
  EXPECT_NE(output.find("file too large"), std::string::npos) << output;
  EXPECT_NE(output.find("'" + target + "'"), std::string::npos) << output;
  EXPECT_FALSE(Exists(target));
  ExpectNoStagingFiles(folder.path());
}

}  // namespace
