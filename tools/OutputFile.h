// An output written under a temporary name beside its target and renamed
// into place only when complete, so a failed or interrupted run neither
// leaves a partial file nor clobbers the file it would have replaced.
#pragma once

#include <string>

#include "tools/Status.h"

// A temporary file that becomes `finalPath` on Commit(); removed otherwise.
class OutputFile {
public:
  explicit OutputFile(std::string finalPath);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& TempPath() const { return m_tempPath; }
  Status Commit();

private:
  std::string m_finalPath;
  std::string m_tempFolder;  // empty when it could not be made
  std::string m_tempPath;
  bool m_committed = false;
};
