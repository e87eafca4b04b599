#include <gtest/gtest.h>

#include "ToolTestSupport.h"
#include "image/staged_file.h"
#include "tools/TerminalProgress.h"

namespace {

size_t EntryCount(const std::string& folder) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                           std::filesystem::directory_iterator()));
}

TEST(StagedFile, ReplacesTheTargetOnlyOnCommit) {
  ScratchFolder folder;
  const std::string target = folder / "out.bmp";
  WriteBytes(target, "old");
  {
    StagedFile staged(target);
    WriteBytes(staged.TempName(), "half");
    EXPECT_NE(staged.TempName(), target);
  }
  EXPECT_EQ(ReadBytes(target), std::vector<unsigned char>({'o', 'l', 'd'}));
  EXPECT_EQ(EntryCount(folder.path()), 1u) << "the abandoned staging file is removed";
  {
    StagedFile staged(target);
    WriteBytes(staged.TempName(), "new");
    EXPECT_TRUE(staged.Commit());
  }
  EXPECT_EQ(ReadBytes(target), std::vector<unsigned char>({'n', 'e', 'w'}));

  StagedFile nowhere(folder / "missing/out.bmp");
  EXPECT_FALSE(nowhere.Commit());
}

TEST(StagedFile, FollowsLinksAndWritesDevicesDirectly) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder / "real");
  const std::string real = folder / "real/picture.bmp";
  WriteBytes(real, "old");
  const struct {
    std::string link, pointsTo, writtenFile;
  } cases[] = {
      {folder / "link.bmp", real, real},                        // existing file elsewhere
      {folder / "relative.bmp", "real/picture.bmp", real},      // relative link
      {folder / "dangling.bmp", "real/new.bmp", folder / "real/new.bmp"},
      {folder / "chain.bmp", folder / "link.bmp", real},        // link to a link
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.link);
    std::filesystem::create_symlink(test.pointsTo, test.link);
    StagedFile staged(test.link);
    EXPECT_FALSE(staged.Direct());
    EXPECT_EQ(std::filesystem::path(staged.TempName()).parent_path(), folder / "real") << "staged beside the file";
    WriteBytes(staged.TempName(), "new");
    ASSERT_TRUE(staged.Commit());
    EXPECT_TRUE(std::filesystem::is_symlink(test.link));
    EXPECT_EQ(ReadBytes(test.writtenFile), std::vector<unsigned char>({'n', 'e', 'w'}));
    WriteBytes(real, "old");
  }
  for (const char* device : {"/dev/null", "/dev/full"}) {
    StagedFile staged(device);
    EXPECT_TRUE(staged.Direct());
    EXPECT_EQ(staged.TempName(), device);
    EXPECT_TRUE(staged.Commit());
  }
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST(ProgressDisplay, SilentWhenNotATerminal) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    ProgressLine line("working", true, file);
    EXPECT_FALSE(line.Active());
    CodecProgress progress(line);
    progress.setProgressValue(0.5);
    progress.setProgressValue(-4096);
    LineProgressBar bar(line);
    bar.SetPos(30);
    EXPECT_EQ(bar.SetPos(60), 30);
    RowProgressScope scope(line);
    EXPECT_EQ(RowProgress(5, 10), 1);
    EXPECT_EQ(RowProgress(5, 0), 1);
  }
  EXPECT_EQ(std::ftell(file), 0);
  std::fclose(file);
}

}  // namespace
