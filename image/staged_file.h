// A file written under a temporary name beside its final name and moved into
// place only once it is complete. Until Commit succeeds the final name is
// untouched, so a failed export neither leaves a truncated file behind nor
// destroys the file it would have replaced. The writers of the outside
// libraries (JPEG, TIFF) use it.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

class StagedFile {
public:
  explicit StagedFile(std::string finalName) : m_finalName(std::move(finalName)) {
    std::error_code error;
    for (int attempt = 0; attempt < 1000; ++attempt) {
      std::string candidate = m_finalName + ".~part" + std::to_string(attempt);
      if (!std::filesystem::exists(candidate, error)) {
        m_tempName = std::move(candidate);
        return;
      }
    }
    m_tempName = m_finalName + ".~part";
  }
  ~StagedFile() {
    if (!m_committed) {
      std::error_code error;
      std::filesystem::remove(m_tempName, error);
    }
  }
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  const std::string& TempName() const { return m_tempName; }

  // Replaces the final file by the temporary one; false when that fails (the
  // temporary file is then removed by the destructor).
  bool Commit() {
    std::error_code error;
    std::filesystem::rename(m_tempName, m_finalName, error);
    m_committed = !error;
    return m_committed;
  }

private:
  std::string m_finalName;
  std::string m_tempName;
  bool m_committed = false;
};
