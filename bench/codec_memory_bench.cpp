// Peak memory of one encode and one decode through the library's public
// interface, as a multiple of the raw image, beside OpenJPEG's programs on
// the same image at the same size.
//
//   codec_memory_bench IMAGE.ppm [BITS_PER_PIXEL]
//
// Each measurement runs in a child process of its own (this program again,
// or opj_compress / opj_decompress), and its peak resident size comes from
// wait4. Our child holds the raw image it reads (1x) plus what the codec
// needs; the figure is the whole child, program and libraries included.
// Goal: at most 6x the raw image for a 25-megapixel colour image.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "codec/TavixLib.h"

extern char** environ;

namespace {

struct Raw {
  int width = 0, height = 0, planes = 0;
  std::vector<uint8_t> samples;
};

// Binary 8-bit PGM or PPM without comments (what the other benches write).
bool ReadPnm(const std::string& path, Raw& raw) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  in >> magic >> raw.width >> raw.height >> maxValue;
  in.get();
  if (!in || maxValue != 255 || (magic != "P5" && magic != "P6")) return false;
  raw.planes = magic == "P6" ? 3 : 1;
  raw.samples.resize(static_cast<size_t>(raw.width) * raw.height * raw.planes);
  in.read(reinterpret_cast<char*>(raw.samples.data()), static_cast<std::streamsize>(raw.samples.size()));
  return static_cast<bool>(in);
}

int Encode(const std::string& in, const std::string& out, double bpp, int layer) {
  Raw raw;
  if (!ReadPnm(in, raw)) return 2;
  TXimageParams image;
  image.width = static_cast<uint16_t>(raw.width);
  image.height = static_cast<uint16_t>(raw.height);
  image.colorType = raw.planes == 3 ? TXcolorRGB24 : TXcolorGrey8;
  TXcompressionParams compression;
  compression.codecType = static_cast<uint16_t>(layer);
  compression.target = static_cast<int32_t>(bpp * raw.width * raw.height / 8);
  std::ofstream file(out, std::ios::binary | std::ios::trunc);
  TXjob* job = nullptr;
  int r = TXcompressionJob(job, file);
  if (r == TX_OK) r = TXwriteHeader(job, image, compression);
  if (r == TX_OK) r = TXwriteImage(job, raw.samples.data(), static_cast<long>(raw.width) * raw.planes, 0, nullptr);
  if (job != nullptr) TXendJob(job);
  return r == TX_OK ? 0 : 1;
}

int Decode(const std::string& in) {
  std::ifstream file(in, std::ios::binary);
  TXinputStream input(&file);
  TXjob* job = nullptr;
  TXimageParams* image = nullptr;
  TXcompressionParams* compression = nullptr;
  if (TXdecompressionJob(job, input) != TX_OK || TXreadHeader(job, image, compression) != TX_OK) return 1;
  const long rowBytes = static_cast<long>(image->width) * TXgetNumberOfPlanes(image->colorType);
  // Not cleared, as an application's image buffer: the decoder writes it.
  std::unique_ptr<uint8_t[]> pixels(new uint8_t[static_cast<size_t>(rowBytes) * image->height]);
  const int r = TXreadImage(job, pixels.get(), rowBytes, 0, nullptr);
  TXdisposeParams(image, compression);
  TXendJob(job);
  return r == TX_OK ? 0 : 1;
}

// Peak resident megabytes of a child running `args`; negative when it fails.
double PeakMegabytes(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss / 1024.0;
}

void Row(const char* what, double mb, double rawMb, double peerMb) {
  if (mb < 0) {
    std::printf("%-34s %10s\n", what, "failed or not installed");
    return;
  }
  std::printf("%-34s %8.0f MB %6.2f x raw", what, mb, mb / rawMb);
  if (peerMb > 0) std::printf("  %5.2f x OpenJPEG", mb / peerMb);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "--child") {
    if (TXinit(4, nullptr) != TX_OK) return 1;
    int r = 1;
    if (argc == 6 && std::string(argv[2]) == "encode")
      r = Encode(argv[3], argv[4], std::atof(argv[5]), TXcodecStandard);
    else if (argc == 6 && std::string(argv[2]) == "encode-fast")
      r = Encode(argv[3], argv[4], std::atof(argv[5]), TXcodecFast);
    else if (argc == 4 && std::string(argv[2]) == "decode")
      r = Decode(argv[3]);
    TXterminate();
    return r;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s IMAGE.ppm [BITS_PER_PIXEL]\n", argv[0]);
    return 2;
  }
  const std::string image = argv[1];
  const double bpp = argc > 2 ? std::atof(argv[2]) : 1.0;
  Raw raw;
  if (!ReadPnm(image, raw)) {
    std::fprintf(stderr, "cannot read %s (binary 8-bit PGM/PPM)\n", image.c_str());
    return 2;
  }
  const double rawMb = raw.samples.size() / (1024.0 * 1024.0);
  const std::string self = argv[0];
  const std::string tmp = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/memory_bench_" +
                          std::to_string(getpid());
  const std::string tvx = tmp + ".tvx", j2k = tmp + ".j2k", decoded = tmp + ".ppm", input = tmp + "_in.pnm";
  // OpenJPEG's reader wants the header on separate lines: give both sides
  // the same file written that way.
  {
    std::ofstream copy(input, std::ios::binary | std::ios::trunc);
    copy << (raw.planes == 3 ? "P6" : "P5") << "\n" << raw.width << " " << raw.height << "\n255\n";
    copy.write(reinterpret_cast<const char*>(raw.samples.data()), static_cast<std::streamsize>(raw.samples.size()));
    raw.samples = {};
    if (!copy) {
      std::fprintf(stderr, "cannot write %s\n", input.c_str());
      return 2;
    }
  }
  const std::string rate = std::to_string(bpp);
  // OpenJPEG's ratio for the same size: raw bits over the target bits.
  std::ostringstream ratio;
  ratio << (raw.planes * 8.0) / bpp;

  std::printf("%s: %d x %d, %d plane(s), raw %.1f MB, %.2f bits per pixel\n", image.c_str(), raw.width, raw.height,
              raw.planes, rawMb, bpp);
  const double opjEncode = PeakMegabytes({"opj_compress", "-i", input, "-o", j2k, "-I", "-r", ratio.str()});
  const double opjDecode = PeakMegabytes({"opj_decompress", "-i", j2k, "-o", decoded});
  const double encode = PeakMegabytes({self, "--child", "encode", input, tvx, rate});
  const double decode = PeakMegabytes({self, "--child", "decode", tvx});
  const double encodeFast = PeakMegabytes({self, "--child", "encode-fast", input, tvx, rate});
  const double decodeFast = PeakMegabytes({self, "--child", "decode", tvx});
  Row("encode, standard layer", encode, rawMb, opjEncode);
  Row("decode, standard layer", decode, rawMb, opjDecode);
  Row("encode, fast layer", encodeFast, rawMb, opjEncode);
  Row("decode, fast layer", decodeFast, rawMb, opjDecode);
  Row("OpenJPEG encode (opj_compress -I)", opjEncode, rawMb, -1);
  Row("OpenJPEG decode (opj_decompress)", opjDecode, rawMb, -1);
  const bool met = encode > 0 && decode > 0 && encode <= 6 * rawMb && decode <= 6 * rawMb &&
                   encodeFast <= 6 * rawMb && decodeFast <= 6 * rawMb;
  std::printf("goal: peak memory at most 6 x raw for encode and decode: %s\n", met ? "PASS" : "FALL SHORT");
  for (const std::string& path : {tvx, j2k, decoded, input}) std::remove(path.c_str());
  return 0;
}
