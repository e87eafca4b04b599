// Shared helpers of the format tests: a scratch folder, file bytes, running
// the independent tools (ImageMagick, netpbm) and deterministic test images.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace formats_test {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system temp folder, removed with its contents.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return (m_path / name).string(); }
  const std::filesystem::path& Path() const { return m_path; }

private:
  std::filesystem::path m_path;
};

void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);

// Whether a program of that name is on the PATH.
bool HaveTool(const std::string& name);
// Runs a shell command; stdout goes to `output` when given. Returns the exit code.
int RunCommand(const std::string& command, Bytes* output = nullptr);
// Single-quoted for the shell.
std::string Quote(const std::string& text);

// Pixels of any file as ImageMagick decodes them: 8-bit grey (1 byte per
// pixel) or R, G, B, top-down. Empty when the tool fails.
Bytes ToolPixels(const std::string& path, int planes);

// A deterministic image with varied values in every channel (a gradient
// with a pseudo-random part), top-down, `planes` bytes per pixel.
Bytes TestPattern(int width, int height, int planes, uint32_t seed = 1);

// A binary P5 (1 plane) or P6 (3 planes) file built by hand, to feed the tools.
Bytes MakeBinaryPnm(int width, int height, int planes, const Bytes& pixels);

// Files of a corpus folder (recursively), or empty when it is absent.
std::vector<std::string> CorpusFiles(const std::string& folder);

}  // namespace formats_test
