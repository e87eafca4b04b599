#include "tools/OutputFile.h"

#include <cerrno>
#include <cstring>

#include "image/staged_file.h"
#include "tools/Interrupt.h"

OutputFile::OutputFile(std::string finalPath) : m_finalPath(std::move(finalPath)) {
  // The same name the writers' StagedFile will choose: nothing is created
  // in between.
  StagedFile plan(m_finalPath);
  if (!plan.Direct()) {
    m_stagingPath = plan.TempName();
    SetPendingFile(m_stagingPath.c_str());
  }
  errno = 0;
}

OutputFile::~OutputFile() { ClearPendingFile(); }

Status OutputFile::Finish(Status written) const {
  if (written.ok()) return written;
  if (errno == EFBIG) return Status::Fail("cannot write '" + m_finalPath + "': file too large");
  if (errno == ENOSPC) return Status::Fail("cannot write '" + m_finalPath + "': no space left on device");
  // Other failures of the device itself, in the system's words.
  if (errno == EDQUOT || errno == EIO || errno == EROFS)
    return Status::Fail("cannot write '" + m_finalPath + "': " + std::strerror(errno));
  return written;
}
