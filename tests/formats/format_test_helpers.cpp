#include "formats/format_test_helpers.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <stdlib.h>
#include <sys/wait.h>

namespace formats_test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tavix-formats-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(m_path, error);
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool HaveTool(const std::string& name) {
  return RunCommand("command -v " + Quote(name) + " >/dev/null 2>&1") == 0;
}

int RunCommand(const std::string& command, Bytes* output) {
  std::FILE* pipe = ::popen(("( " + command + " )" + (output ? "" : " >/dev/null") + " 2>/dev/null").c_str(), "r");
  if (!pipe) return -1;
  char chunk[65536];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
    if (output) output->insert(output->end(), chunk, chunk + got);
  }
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

Bytes ToolPixels(const std::string& path, int planes) {
  Bytes pixels;
  const std::string target = planes == 1 ? "gray:-" : "rgb:-";
  if (RunCommand("convert " + Quote(path) + " -depth 8 " + target, &pixels) != 0) pixels.clear();
  return pixels;
}

Bytes TestPattern(int width, int height, int planes, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes pixels(static_cast<size_t>(width) * height * planes);
  size_t i = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < planes; ++c) {
        // Runs of equal values (for run-length coders) next to noise.
        const bool flat = ((x / 8) + (y / 4)) % 2 == 0;
        pixels[i++] = static_cast<uint8_t>(flat ? (x / 8) * 37 + (y / 4) * 11 + c * 60 : random() & 0xFF);
      }
  return pixels;
}

Bytes MakeBinaryPnm(int width, int height, int planes, const Bytes& pixels) {
  const std::string head = (planes == 1 ? "P5\n" : "P6\n") + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  Bytes bytes(head.begin(), head.end());
  bytes.insert(bytes.end(), pixels.begin(), pixels.end());
  return bytes;
}

std::vector<std::string> CorpusFiles(const std::string& folder) {
  std::vector<std::string> files;
  const std::filesystem::path root = std::filesystem::path(TAVIX_CORPORA_DIR) / folder;
  std::error_code error;
  if (!std::filesystem::is_directory(root, error)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root, error))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace formats_test
