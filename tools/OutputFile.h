// Guards the writing of one output file. The writers stage it themselves
// (image/staged_file.h: a temporary file beside the real target, renamed
// into place when complete; devices and FIFOs written directly); this
// remembers that staging file so an interrupted run removes it, and turns a
// failed write into a message that names the target.
#pragma once

#include <string>

#include "tools/Status.h"

class OutputFile {
public:
  explicit OutputFile(std::string finalPath);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The staging file the writers will use, or empty when they write the
  // target directly.
  const std::string& StagingPath() const { return m_stagingPath; }

  // `written` as is, except that a write that failed for lack of room or
  // through the device says so ("file too large", "no space left on
  // device", the system's text for a quota, read-only or I/O error).
  Status Finish(Status written) const;

private:
  std::string m_finalPath;
  std::string m_stagingPath;
};
