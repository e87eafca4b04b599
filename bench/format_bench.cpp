// Speed of the raster formats against plain I/O of the same bytes, printed
// as ratios from one run:
//   BMP and PNM reading and writing vs a plain copy of the same file (the
//   goal), and, for information, vs only reading or only writing its bytes,
//   JPEG decoding (CDib::ReadJPEG) vs the djpeg program on the same file.
// Usage: format_bench [JPEG file] [scratch folder]
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "image/Dib.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kRepeats = 5;

double BestSeconds(const std::function<bool()>& work) {
  double best = 1e30;
  for (int i = 0; i < kRepeats; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!work()) {
      std::fprintf(stderr, "format_bench: an operation failed\n");
      std::exit(1);
    }
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

bool MakeImage(CDib& dib, bool colour) {
  const int planes = colour ? 3 : 1;
  dib.m_nColorType = colour ? DibRGB : DibGrey;
  dib.m_nBitsPerPlane = 8;
  dib.m_nPlanes = static_cast<DWORD>(planes);
  const size_t bytes = static_cast<size_t>(kWidth) * kHeight * planes;
  if (!dib.AllocPixelBuffer(bytes)) return false;
  BYTE* pixels = dib.GetPixels();
  uint32_t state = 12345;
  for (size_t i = 0; i < bytes; ++i) {
    state = state * 1664525u + 1013904223u;
    pixels[i] = static_cast<BYTE>((i / 7 + (state >> 28)) & 0xFF);
  }
  const bool made = dib.CreateFromPixels(kWidth, kHeight, 8 * planes) != 0;
  dib.FreePixels();
  return made;
}

bool ReadAll(const std::string& path, std::vector<char>& bytes) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  bytes.resize(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  return static_cast<bool>(in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

bool WriteAll(const std::string& path, const std::vector<char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

void Report(const char* what, double ours, double baseline, double goal) {
  const double ratio = ours / baseline;
  std::printf("%-40s %8.1f ms  vs %8.1f ms  ratio %5.2fx  (goal <= %.1fx)  %s\n", what, ours * 1e3, baseline * 1e3,
              ratio, goal, ratio <= goal ? "PASS" : "FALL SHORT");
}

void Inform(const char* what, double ours, double baseline) {
  std::printf("%-40s %8.1f ms  vs %8.1f ms  ratio %5.2fx  (for information)\n", what, ours * 1e3, baseline * 1e3,
              ours / baseline);
}

// A plain file copy as a copying program makes it: a fixed buffer, read
// from the source and written to a new file.
bool CopyFile(const std::string& from, const std::string& to) {
  std::FILE* in = std::fopen(from.c_str(), "rb");
  if (!in) return false;
  std::FILE* out = std::fopen(to.c_str(), "wb");
  if (!out) {
    std::fclose(in);
    return false;
  }
  std::vector<char> buffer(size_t{1} << 20);
  bool ok = true;
  for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;) ok = ok && std::fwrite(buffer.data(), 1, n, out) == n;
  std::fclose(in);
  return std::fclose(out) == 0 && ok;
}

void BenchRaster(const std::string& folder, const char* name, bool colour, bool bmp) {
  CDib source;
  if (!MakeImage(source, colour)) {
    std::fprintf(stderr, "format_bench: cannot build the test image\n");
    std::exit(1);
  }
  const std::string path = folder + "/bench-" + name + (bmp ? ".bmp" : (colour ? ".ppm" : ".pgm"));
  const std::string copy = path + ".copy";
  const double write = BestSeconds([&] { return bmp ? source.SaveBMP(path) == 0 : source.WritePNM(path) == 0; });
  std::vector<char> bytes;
  const double plainRead = BestSeconds([&] { return ReadAll(path, bytes); });
  const double plainWrite = BestSeconds([&] { return WriteAll(copy, bytes); });
  const double read = BestSeconds([&] {
    CDib dib;
    if (bmp) {
      std::ifstream in(path, std::ios::binary);
      return dib.ReadBMP(in) == 0;
    }
    return dib.ReadPNM(path) == 0;
  });
  const double fileCopy = BestSeconds([&] { return CopyFile(path, copy); });
  const std::string size = " (" + std::to_string(bytes.size() / 1000000) + " MB)";
  std::string label = std::string(name) + size + " read vs file copy";
  Report(label.c_str(), read, fileCopy, 2.0);
  label = std::string(name) + size + " write vs file copy";
  Report(label.c_str(), write, fileCopy, 2.0);
  label = std::string(name) + size + " read vs read only";
  Inform(label.c_str(), read, plainRead);
  label = std::string(name) + size + " write vs write only";
  Inform(label.c_str(), write, plainWrite);
  std::filesystem::remove(path);
  std::filesystem::remove(copy);
}

double RunProgram(const std::string& command) {
  return BestSeconds([&] {
    const int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  });
}

}  // namespace

int main(int argc, char** argv) {
  const std::string jpeg = argc > 1 ? argv[1] : "/usr/lib/python3/dist-packages/skimage/data/retina.jpg";
  const std::string folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
  std::printf("BMP and PNM: %d x %d pixels, best of %d; JPEG: %s\n", kWidth, kHeight, kRepeats, jpeg.c_str());
  BenchRaster(folder, "BMP 24-bit", true, true);
  BenchRaster(folder, "BMP 8-bit grey", false, true);
  BenchRaster(folder, "PPM", true, false);
  BenchRaster(folder, "PGM", false, false);

  const double ours = BestSeconds([&] {
    CDib dib;
    return dib.ReadJPEG(jpeg, nullptr) == 0;
  });
  const double djpeg = RunProgram("djpeg -outfile /dev/null '" + jpeg + "'");
  Report("JPEG decode (ReadJPEG vs djpeg)", ours, djpeg, 1.2);
  return 0;
}
