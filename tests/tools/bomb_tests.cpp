// Files whose headers claim far more pixels than they hold: the tool refuses
// each with a clear message, exit status 1, and without allocating for the
// claimed size (its peak memory stays small).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ToolTestSupport.h"
#include "image/jpeg_glue.h"

#ifndef TAVIX_TOOL_PATH
#error "TAVIX_TOOL_PATH must name the built tavix program"
#endif

extern char** environ;

namespace {

using Bytes = std::string;

void PutLE(Bytes& b, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) b.push_back(static_cast<char>(value >> (8 * i)));
}

Bytes BmpClaim(uint32_t width, uint32_t height) {
  Bytes b = "BM";
  PutLE(b, 54, 4);  // file size as stated; the bits never follow
  PutLE(b, 0, 4);
  PutLE(b, 54, 4);
  PutLE(b, 40, 4);
  PutLE(b, width, 4);
  PutLE(b, height, 4);
  PutLE(b, 1, 2);
  PutLE(b, 24, 2);
  b.append(24, '\0');
  return b;
}

// 128-byte header of a run-length 8-bit RGB PCX, then a few runs: the 144
// bytes of a classic decompression bomb.
Bytes PcxClaim(uint16_t width, uint16_t height) {
  Bytes b = {10, 5, 1, 8};
  PutLE(b, 0, 2);
  PutLE(b, 0, 2);
  PutLE(b, width - 1u, 2);
  PutLE(b, height - 1u, 2);
  b.resize(65, '\0');
  b.push_back(3);  // planes
  PutLE(b, width, 2);
  b.resize(128, '\0');
  for (int i = 0; i < 8; ++i) b += "\xff\x00";
  return b;
}

Bytes GifClaim(uint16_t width, uint16_t height) {
  Bytes b = "GIF89a";
  PutLE(b, width, 2);
  PutLE(b, height, 2);
  b += std::string("\x80\x00\x00", 3);
  b += std::string("\x00\x00\x00\xff\xff\xff", 6);
  b += ";";
  return b;
}

Bytes TiffClaim(uint32_t width, uint32_t height) {
  const std::vector<std::pair<uint16_t, uint32_t>> entries = {
      {256, width}, {257, height}, {258, 8}, {259, 1}, {262, 1}, {273, 8 + 2 + 12 * 9 + 4},
      {277, 1}, {278, height}, {279, 16}};
  Bytes b = "II";
  PutLE(b, 42, 2);
  PutLE(b, 8, 4);
  PutLE(b, static_cast<uint32_t>(entries.size()), 2);
  for (auto [tag, value] : entries) {
    const bool isLong = tag == 256 || tag == 257 || tag == 273 || tag == 278 || tag == 279;
    PutLE(b, tag, 2);
    PutLE(b, isLong ? 4 : 3, 2);
    PutLE(b, 1, 4);
    PutLE(b, value, 4);
  }
  PutLE(b, 0, 4);
  b.append(16, '\x55');
  return b;
}

// A real 8 x 8 grey JPEG whose frame header is rewritten to claim the size.
Bytes JpegClaim(const std::string& scratch, uint16_t width, uint16_t height) {
  const std::vector<unsigned char> rgb(8 * 8 * 3, 128);
  if (!WriteJpegFile(scratch.c_str(), rgb.data(), 8, 8, FALSE, 75, nullptr)) return {};
  const std::vector<unsigned char> raw = ReadBytes(scratch);
  Bytes b(raw.begin(), raw.end());
  const size_t sof = b.find("\xff\xc0");
  if (sof == Bytes::npos || sof + 9 > b.size()) return {};
  b[sof + 5] = static_cast<char>(height >> 8);
  b[sof + 6] = static_cast<char>(height & 0xFF);
  b[sof + 7] = static_cast<char>(width >> 8);
  b[sof + 8] = static_cast<char>(width & 0xFF);
  return b;
}

uint32_t Crc32(const Bytes& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A .tvx header (grey, 9/7, quality mode) claiming the size, with a body
// length of a few bytes that never follow.
Bytes TvxClaim(uint16_t width, uint16_t height) {
  Bytes b = "TVX\x1a";
  b += std::string("\x01\x38", 2);
  PutLE(b, 1, 2);
  PutLE(b, width, 2);
  PutLE(b, height, 2);
  PutLE(b, 0, 2);                      // grey
  PutLE(b, 1, 2);
  PutLE(b, 2, 2);
  PutLE(b, 0, 2);
  PutLE(b, 0, 2);                      // 9/7
  PutLE(b, 1, 2);                      // standard layer
  PutLE(b, 90, 2);
  PutLE(b, 1, 2);                      // quality mode
  PutLE(b, 20u << 16, 4);
  PutLE(b, 1, 4);
  PutLE(b, 0, 4);
  b += std::string("\x00\x0c\x00\x01", 4);  // 9/7, 12 levels, no flags, one plane
  PutLE(b, 0x40800000u, 4);            // step 4.0
  PutLE(b, 16, 4);
  PutLE(b, Crc32(b), 4);
  return b;
}

struct ToolRun {
  int status = -1;
  long peakKilobytes = 0;
  std::string stderrText;
};

// Runs the tool with stderr in a file and reads its peak memory from wait4.
ToolRun RunTool(const std::vector<std::string>& args, const std::string& stderrPath) {
  std::vector<char*> argv;
  std::string program = TAVIX_TOOL_PATH;
  argv.push_back(program.data());
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ToolRun run;
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.peakKilobytes = usage.ru_maxrss;
  const std::vector<unsigned char> text = ReadBytes(stderrPath);
  run.stderrText.assign(text.begin(), text.end());
  return run;
}

constexpr long kPeakLimitKilobytes = 64 * 1024;
const std::string kRefusal30000 = "image too large: 30000 x 30000 exceeds the limit of 268435456 pixels";

TEST(HostileSizes, EveryFormatRefusesAClaimedHugeImageCheaply) {
  ScratchFolder folder;
  struct Case {
    const char* name;
    Bytes bytes;
    std::string message;
  };
  const Case cases[] = {
      {"bomb.bmp", BmpClaim(30000, 30000), kRefusal30000},
      {"bomb.pcx", PcxClaim(30000, 30000), kRefusal30000},
      {"bomb.pgm", "P5 30000 30000 255\n\x01", kRefusal30000},
      {"bomb16.pgm", "P5 30000 30000 65535\n\x01\x02", kRefusal30000},
      {"bomb.gif", GifClaim(30000, 30000), kRefusal30000},
      {"bomb.tif", TiffClaim(30000, 30000), kRefusal30000},
      {"bomb.jpg", JpegClaim(folder / "small.jpg", 30000, 30000), kRefusal30000},
      {"bomb.tvx", TvxClaim(30000, 30000), "image too large: 30000 x 30000 exceeds the format's limit"},
      // Within the pixel limit, but the file cannot hold what its header states.
      {"short.pcx", PcxClaim(2000, 2000), "PCX Datei bech"},
      {"short16.pgm", "P5 4000 4000 1023\n\x01\x02\x03", "is truncated"},
      {"short.bmp", BmpClaim(4000, 4000), "cannot read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(c.bytes.empty());
    WriteBytes(folder / c.name, c.bytes);
    const ToolRun run = RunTool({"convert", folder / c.name, folder / "out.bmp"}, folder / "stderr.txt");
    EXPECT_EQ(run.status, 1) << run.stderrText;
    EXPECT_NE(run.stderrText.find(c.message), std::string::npos) << run.stderrText;
    EXPECT_LT(run.peakKilobytes, kPeakLimitKilobytes);
    EXPECT_FALSE(Exists(folder / "out.bmp"));
  }
}

TEST(HostileSizes, MaxPixelsSetsTheLimitForEveryReader) {
  ScratchFolder folder;
  const std::string sample = std::string(TAVIX_SOURCE_DIR) + "/samples/chelsea.ppm";  // 300 x 200
  const std::string tvx = folder / "sample.tvx";
  ASSERT_EQ(RunTool({"compress", sample, tvx}, folder / "stderr.txt").status, 0);
  for (const std::string& input : {sample, tvx}) {
    SCOPED_TRACE(input);
    const ToolRun refused =
        RunTool({"convert", "--max-pixels", "59999", input, folder / "out.bmp"}, folder / "stderr.txt");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.stderrText.find("image too large: 300 x 200 exceeds the limit of 59999 pixels"),
              std::string::npos)
        << refused.stderrText;
    EXPECT_EQ(RunTool({"convert", "--max-pixels=60000", input, folder / "out.bmp"}, folder / "stderr.txt").status,
              0);
  }
}

}  // namespace
