#include "tools/StdStreams.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tools/Interrupt.h"

namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

StdStreams::~StdStreams() {
  if (m_folder.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(m_folder, ignored);
  ClearScratchFolder();
}

Status StdStreams::Open() {
  if (!m_folder.empty()) return Status::Ok();
  const char* variable = std::getenv("TMPDIR");
  const std::string base = variable && *variable ? variable : "/tmp";
  const std::string pattern = base + "/tavix-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data()))
    return Status::Fail("cannot make a scratch folder in '" + base + "': " + std::strerror(errno));
  m_folder = buffer.data();
  SetScratchFolder(m_folder.c_str());
  return Status::Ok();
}

Status StdStreams::TakeInput(std::istream& in, std::string& path) {
  Status status = Open();
  if (!status.ok()) return status;
  path = m_folder + "/in";
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return Status::Fail("cannot store standard input: " + std::string(std::strerror(errno)));
  char chunk[1 << 16];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    file.write(chunk, in.gcount());
    if (!file) return Status::Fail("cannot store standard input: " + std::string(std::strerror(errno)));
  }
  if (in.bad()) return Status::Fail("cannot read standard input");
  file.close();
  if (!file) return Status::Fail("cannot store standard input: " + std::string(std::strerror(errno)));
  return Status::Ok();
}

Status StdStreams::OutputPath(std::string& path) {
  Status status = Open();
  if (!status.ok()) return status;
  path = m_folder + "/out";
  return Status::Ok();
}

Status StdStreams::DeliverOutput(std::ostream& out) {
  std::ifstream file(m_folder + "/out", std::ios::binary);
  if (!file) return Status::Fail("the output for standard output is missing");
  char chunk[1 << 16];
  while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
    out.write(chunk, file.gcount());
    if (!out) return Status::Fail("cannot write standard output");
  }
  out.flush();
  return out ? Status::Ok() : Status::Fail("cannot write standard output");
}

std::string StdStreams::Renamed(std::string text) const {
  if (m_folder.empty()) return text;
  ReplaceAll(text, "'" + m_folder + "/in'", "standard input");
  ReplaceAll(text, "'" + m_folder + "/out'", "standard output");
  return text;
}
