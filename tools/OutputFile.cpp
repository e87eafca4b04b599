#include "tools/OutputFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tools/Interrupt.h"

OutputFile::OutputFile(std::string finalPath) : m_finalPath(std::move(finalPath)) {
  const size_t slash = m_finalPath.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : m_finalPath.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? m_finalPath : m_finalPath.substr(slash + 1);
  // A private folder beside the target (same file system, so the final
  // rename is atomic); the file inside keeps the target's name.
  m_tempFolder = folder + "." + name + ".tavix-" + std::to_string(getpid());
  std::error_code error;
  if (std::filesystem::create_directory(m_tempFolder, error)) {
    m_tempPath = m_tempFolder + "/" + name;
    SetPendingFolder(m_tempFolder.c_str());
  } else {
    m_tempFolder.clear();
    m_tempPath = folder + "." + name + ".tavix-" + std::to_string(getpid()) + ".tmp";
  }
}

OutputFile::~OutputFile() {
  ClearPendingFolder();
  std::error_code error;
  if (!m_committed) std::filesystem::remove(m_tempPath, error);
  if (!m_tempFolder.empty()) std::filesystem::remove_all(m_tempFolder, error);
}

Status OutputFile::Commit() {
  if (std::rename(m_tempPath.c_str(), m_finalPath.c_str()) != 0)
    return Status::Fail("cannot write '" + m_finalPath + "': " + std::strerror(errno));
  m_committed = true;
  return Status::Ok();
}
