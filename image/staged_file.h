// A file written under a temporary name beside its final name and moved into
// place only once it is complete. Until Commit succeeds the final name is
// untouched, so a failed export neither leaves a truncated file behind nor
// destroys the file it would have replaced. The image writers use it.
//
// The target is respected: a symbolic link is followed and the file it names
// is replaced (staged in that file's folder, so the link stays a link), and a
// target that exists but is not a regular file (a device, a FIFO) is written
// directly, since renaming over it would replace the device by a plain file.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

class StagedFile {
public:
  explicit StagedFile(const std::string& finalName) : m_finalName(ResolveLinks(finalName)) {
    std::error_code error;
    const auto status = std::filesystem::status(m_finalName, error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
      m_direct = true;
      m_tempName = m_finalName;
      return;
    }
    m_tempName = StagingName(m_finalName);
  }
  ~StagedFile() {
    if (!m_committed && !m_direct) std::remove(m_tempName.c_str());
  }
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // The name to write to: the staging file, or the target itself when it is
  // written directly.
  const std::string& TempName() const { return m_tempName; }
  bool Direct() const { return m_direct; }

  // Replaces the final file by the temporary one; false when that fails (the
  // temporary file is then removed by the destructor).
  bool Commit() {
    if (m_direct) return m_committed = true;
    m_committed = std::rename(m_tempName.c_str(), m_finalName.c_str()) == 0;
    return m_committed;
  }

  // The file a write to `name` ends up in: symbolic links followed, also a
  // dangling last one (the file it names is created).
  static std::string ResolveLinks(const std::string& name) {
    std::filesystem::path path(name);
    std::error_code error;
    for (int hop = 0; hop < 40 && std::filesystem::is_symlink(path, error); ++hop) {
      const std::filesystem::path link = std::filesystem::read_symlink(path, error);
      if (error) break;
      path = link.is_absolute() ? link : path.parent_path() / link;
    }
    return path.string();
  }

  // The staging name for a write to `resolved`: one hidden file in the same
  // folder (so the final rename is atomic), named after the target and the
  // process, skipping names that are taken. The tool computes it ahead to
  // remove the file if it is interrupted.
  static std::string StagingName(const std::string& resolved) {
    const size_t slash = resolved.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : resolved.substr(0, slash + 1);
    const std::string base = "." + resolved.substr(slash == std::string::npos ? 0 : slash + 1) + ".tavix-" +
                             std::to_string(getpid());
    std::error_code error;
    for (int attempt = 0; attempt < 1000; ++attempt) {
      std::string candidate = folder + base + (attempt ? "-" + std::to_string(attempt) : "") + ".part";
      if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error))) return candidate;
    }
    return folder + base + ".part";
  }

private:
  std::string m_finalName;
  std::string m_tempName;
  bool m_direct = false;
  bool m_committed = false;
};
