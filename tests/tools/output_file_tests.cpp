#include <gtest/gtest.h>

#include "ToolTestSupport.h"
#include "tools/OutputFile.h"
#include "tools/TerminalProgress.h"

namespace {

TEST(OutputFile, ReplacesTheTargetOnlyOnCommit) {
  ScratchFolder folder;
  const std::string target = folder / "out.bmp";
  WriteBytes(target, "old");
  {
    OutputFile output(target);
    WriteBytes(output.TempPath(), "half");
    EXPECT_NE(output.TempPath(), target);
  }
  EXPECT_EQ(ReadBytes(target), std::vector<unsigned char>({'o', 'l', 'd'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), std::filesystem::directory_iterator()),
            1) << "the abandoned temporary file is removed";
  {
    OutputFile output(target);
    WriteBytes(output.TempPath(), "new");
    EXPECT_TRUE(output.Commit().ok());
  }
  EXPECT_EQ(ReadBytes(target), std::vector<unsigned char>({'n', 'e', 'w'}));

  OutputFile nowhere(folder / "missing/out.bmp");
  EXPECT_FALSE(nowhere.Commit().ok());
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
