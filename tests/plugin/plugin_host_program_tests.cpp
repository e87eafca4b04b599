// The command-line host: streams a file with a limit, asks for the rest and
// leaves one picture per painted preview.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "plugin/plugin_test_helpers.h"

namespace {

using namespace plugin_test;

TEST(HostProgramTest, WritesASnapshotOfEveryPictureAndEndsWithTheFinalImage) {
  const auto bytes = CompressToSize(MakePicture(64, 48, TXcolorRGB24), 4000);
  ASSERT_FALSE(bytes.empty());
  const auto dir = std::filesystem::temp_directory_path() / ("nptavix-host-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const auto file = dir / "small.tvx";
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  const auto shots = dir / "shots";
  const std::string command = std::string(NPTAVIX_HOST_PATH) + " " + file.string() +
                              " --limit 1000 --chunk 300 --improve --snapshots " + shots.string() + " > " +
                              (dir / "out.txt").string();
  ASSERT_EQ(std::system(command.c_str()), 0);

  std::vector<std::filesystem::path> pictures;
  for (const auto& entry : std::filesystem::directory_iterator(shots)) pictures.push_back(entry.path());
  std::sort(pictures.begin(), pictures.end());
  ASSERT_GE(pictures.size(), 2u);  // at least the paused preview and the final image
  const auto last = ReadFile(pictures.back().string());
  const std::string header = "P6\n64 48\n255\n";
  ASSERT_EQ(last.size(), header.size() + 64 * 48 * 3);
  EXPECT_EQ(std::string(last.begin(), last.begin() + static_cast<long>(header.size())), header);
  EXPECT_EQ(std::vector<uint8_t>(last.begin() + static_cast<long>(header.size()), last.end()),
            ExpectedRgb(DecodeDirectly(bytes)));

  const auto out = ReadFile((dir / "out.txt").string());
  const std::string text(out.begin(), out.end());
  EXPECT_NE(text.find("improve: asked for the rest"), std::string::npos);
  EXPECT_NE(text.find("range requests: 1"), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
