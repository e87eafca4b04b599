// The adapters read files by name, as libjpeg's, libtiff's and giflib's file
// interfaces do; the fuzz targets hand them each input through one scratch
// file per process, removed at exit.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

class FuzzScratchFile {
public:
  explicit FuzzScratchFile(const char* suffix) {
    const std::filesystem::path folder =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string pattern = (folder / "tavix-fuzz-XXXXXX").string() + suffix;
    const int fd = ::mkstemps(pattern.data(), static_cast<int>(std::string(suffix).size()));
    if (fd < 0) std::abort();
    ::close(fd);
    m_path = pattern;
  }
  ~FuzzScratchFile() { std::remove(m_path.c_str()); }
  FuzzScratchFile(const FuzzScratchFile&) = delete;
  FuzzScratchFile& operator=(const FuzzScratchFile&) = delete;

  // Replaces the file's contents; returns its name.
  const char* Write(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(m_path.c_str(), "wb");
    if (!file) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    return m_path.c_str();
  }

private:
  std::string m_path;
};

// Decoded images above this size are refused in the fuzz runs: hostile
// headers then cannot spend the fuzzer's memory and time on huge empty
// canvases, while every parsing path stays reachable.
constexpr uint64_t kFuzzMaxPixelBytes = 16u << 20;
