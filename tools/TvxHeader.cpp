#include "tools/TvxHeader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "image/Limits.h"
#include "tools/CodecSettings.h"
#include "tools/Messages.h"

namespace {

// One TXinit ... TXterminate bracket.
class CodecSession {
public:
  CodecSession() : m_result(TXinit(4, nullptr)) {}
  ~CodecSession() {
    if (m_result == TX_OK) TXterminate();
  }
  CodecSession(const CodecSession&) = delete;
  CodecSession& operator=(const CodecSession&) = delete;
  int result() const { return m_result; }

private:
  int m_result;
};

// Ends a job on every path.
class JobGuard {
public:
  ~JobGuard() {
    if (job) TXendJob(job);
  }
  TXjob* job = nullptr;
};

// Disposes the library-allocated header records.
class HeaderGuard {
public:
  ~HeaderGuard() {
    if (image || compression) TXdisposeParams(image, compression);
  }
  TXimageParams* image = nullptr;
  TXcompressionParams* compression = nullptr;
};

Status CodecFailure(const std::string& what, int code) { return Status::Fail(what + ": " + CodecErrorName(code)); }

bool IsSixteenBit(int colorType) { return colorType == TXcolorGrey16 || colorType == TXcolorRGB48; }

uint64_t RawBytes(const TXimageParams& image);

constexpr int kGreyOffset = 32768;

// 16-bit streams keep the samples' maximum value in auxWord3; 0, which every
// older writer stored, means the full range.
uint16_t MaxValueToAux(int maxValue) { return maxValue >= 65535 ? 0 : static_cast<uint16_t>(maxValue); }
int MaxValueFromAux(uint16_t aux) { return aux == 0 ? 65535 : aux; }

// A header the codec refused: an empty file, or one that ends inside the
// header of a .tvx file, says so; anything else is the codec's word.
Status HeaderFailure(const std::string& path, int result, std::istream& file, std::streamoff length) {
  if (length == 0) return Status::Fail("'" + path + "' is empty");
  char magic[4] = {};
  file.clear();
  file.seekg(0);
  file.read(magic, sizeof magic);
  if (length < kTvxHeaderBytes && file.gcount() == 4 && std::memcmp(magic, "TVX\x1a", 4) == 0)
    return Status::Fail("'" + path + "' is truncated: it ends inside its " + std::to_string(kTvxHeaderBytes) +
                        "-byte header, after " + std::to_string(length) + " bytes");
  if (result == TX_ERR_TOO_LARGE) {
    // The format holds at most 2^28 samples: say what the header claims.
    unsigned char size[4] = {};
    file.clear();
    file.seekg(8);
    file.read(reinterpret_cast<char*>(size), sizeof size);
    if (file.gcount() == 4)
      return Status::Fail("cannot read '" + path + "': image too large: " + std::to_string(size[0] | size[1] << 8) +
                          " x " + std::to_string(size[2] | size[3] << 8) +
                          " exceeds the format's limit of 268435456 samples");
  }
  return CodecFailure("'" + path + "'", result);
}

}  // namespace

Status ReadTvxHeader(const std::string& path, TvxHeaderInfo& info) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return Status::Fail("cannot open '" + path + "': it is a folder");
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return Status::Fail("cannot open '" + path + "': " + std::strerror(errno));
  const std::streamoff length = file.tellg();
  file.seekg(0);
  CodecSession session;
  if (session.result() != TX_OK) return CodecFailure("cannot start the codec", session.result());
  TXinputStream input(&file);
  JobGuard job;
  int result = TXdecompressionJob(job.job, input);
  if (result != TX_OK) return CodecFailure("'" + path + "'", result);
  HeaderGuard header;
  result = TXreadHeader(job.job, header.image, header.compression);
  if (result != TX_OK) return HeaderFailure(path, result, file, length);
  if (!header.image || !header.compression) return Status::Fail("'" + path + "': the codec returned no header");
  info.image = *header.image;
  info.compression = *header.compression;
  info.compressedSize = TXgetCompressedSize(job.job);
  info.fileSize = length > 0 ? static_cast<uint64_t>(length) : 0;
  return Status::Ok();
}

std::string DescribeTvxHeader(const TvxHeaderInfo& info) {
  const TXimageParams& image = info.image;
  const TXcompressionParams& compression = info.compression;
  std::ostringstream text;
  text << "format: TAVIX\n"
       << "file size: " << info.fileSize << " bytes\n"
       << "image tag: " << image.imageTag << "\n"
       << "width: " << image.width << "\n"
       << "height: " << image.height << "\n"
       << "colour type: " << ColorTypeName(image.colorType) << " (" << image.colorType << ")\n"
       << "wavelet: " << WaveletName(compression.waveletType) << " (" << compression.waveletType << ")\n"
       << "coding layer: " << CodingLayerName(compression.codecType) << " (0x" << std::hex << compression.codecType
       << std::dec << ")\n"
       << "portion: " << compression.portion << " % luminance, colour portion " << 100 - compression.portion
       << " %\n"
       << "mode: " << ModeName(compression.mode) << " (" << compression.mode << ")\n";
  if (compression.mode == TXmodeFileSize)
    text << "target: " << compression.target << " bytes\n";
  else if (compression.mode == TXmodeQuality)
    text << "target: quality " << TargetToQuality(compression.target) << " (" << compression.target << ")\n";
  else
    text << "target: " << compression.target << "\n";
  text << "sizeMode: " << compression.sizeMode << "\n"
       << "auxLong: " << compression.auxLong << "\n"
       << "auxWords: " << compression.auxWord1 << ", " << compression.auxWord2 << ", " << compression.auxWord3 << "\n";
  if (IsSixteenBit(image.colorType)) text << "maximum sample value: " << MaxValueFromAux(compression.auxWord3) << "\n";
  if (info.compressedSize >= 0)
    text << "compressed size: " << info.compressedSize << " bytes\n";
  else
    text << "compressed size: unknown\n";
  const uint64_t raw = RawBytes(image);
  if (info.fileSize > 0 && raw > 0) {
    text.setf(std::ios::fixed);
    text.precision(2);
    text << "ratio: " << static_cast<double>(raw) / static_cast<double>(info.fileSize) << " : 1\n";
  }
  return text.str();
}

namespace {

uint64_t RawBytes(const TXimageParams& image) {
  const int planes = TXgetNumberOfPlanes(image.colorType);
  return static_cast<uint64_t>(image.width) * image.height * static_cast<uint64_t>(planes > 0 ? planes : 1) *
         (IsSixteenBit(image.colorType) ? 2 : 1);
}

std::string ModeInWords(const TXcompressionParams& compression) {
  switch (compression.mode) {
    case TXmodeFileSize: return "File Size, target " + std::to_string(compression.target) + " bytes";
    case TXmodeQuality: return "Quality, quality " + std::to_string(TargetToQuality(compression.target)) + " of 50";
    case TXmodeLossless: return "Lossless";
    default: return ModeName(compression.mode);
  }
}

}  // namespace

std::string TruncationText(uint64_t statedSize, uint64_t fileSize) {
  return "the header states " + std::to_string(statedSize) + " bytes, the file has " + std::to_string(fileSize) +
         " bytes";
}

std::string DescribeTvxForPeople(const TvxHeaderInfo& info) {
  const TXimageParams& image = info.image;
  const TXcompressionParams& compression = info.compression;
  std::ostringstream text;
  text << "format: TAVIX\n"
       << "file size: " << info.fileSize << " bytes\n";
  if (info.Truncated())
    text << "truncated: " << TruncationText(static_cast<uint64_t>(info.compressedSize), info.fileSize) << "\n";
  text << "width: " << image.width << "\n"
       << "height: " << image.height << "\n"
       << "colour type: " << ColorTypeName(image.colorType) << "\n";
  if (IsSixteenBit(image.colorType)) text << "maximum sample value: " << MaxValueFromAux(compression.auxWord3) << "\n";
  text << "mode: " << ModeInWords(compression) << "\n"
       << "filter: " << WaveletName(compression.waveletType) << "\n"
       << "layer: " << CodingLayerName(compression.codecType) << "\n";
  if (TXgetNumberOfPlanes(image.colorType) == 3) text << "colour portion: " << 100 - compression.portion << " %\n";
  const double pixels = static_cast<double>(image.width) * image.height;
  const uint64_t raw = RawBytes(image);
  text.setf(std::ios::fixed);
  if (info.fileSize > 0 && pixels > 0) {
    text.precision(3);
    text << "bits per pixel: " << static_cast<double>(info.fileSize) * 8.0 / pixels << "\n";
    text.precision(2);
    text << "ratio: " << static_cast<double>(raw) / static_cast<double>(info.fileSize) << " : 1\n";
  }
  return text.str();
}

Status EncodeSamples(const SampleImage& image, const TXimageParams& imageParams,
                     const TXcompressionParams& compression, std::ostream& out, TXprogress* progress) {
  const size_t rowSamples = static_cast<size_t>(image.width) * image.planes;
  std::vector<uint16_t> pixels(image.samples);
  if (image.planes == 1)
    for (uint16_t& sample : pixels) sample = static_cast<uint16_t>(static_cast<int16_t>(sample - kGreyOffset));
  TXcompressionParams withRange = compression;
  withRange.auxWord3 = MaxValueToAux(image.maxValue);
  CodecSession session;
  if (session.result() != TX_OK) return CodecFailure("cannot start the codec", session.result());
  JobGuard job;
  int result = TXcompressionJob(job.job, out);
  if (result == TX_OK) result = TXwriteHeader(job.job, imageParams, withRange);
  if (result == TX_OK)
    result = TXwriteImage(job.job, pixels.data(), static_cast<long>(rowSamples * 2), 0, progress);
  if (result == TX_OK) {
    result = TXendJob(job.job);
    job.job = nullptr;
  }
  if (result != TX_OK) return CodecFailure("compression failed", result);
  return Status::Ok();
}

Status DecodeSamples(const std::string& path, SampleImage& image, TXprogress* progress, uint64_t maxPixels) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return Status::Fail("cannot open '" + path + "'");
  const std::streamoff length = file.tellg();
  file.seekg(0);
  CodecSession session;
  if (session.result() != TX_OK) return CodecFailure("cannot start the codec", session.result());
  TXinputStream input(&file);
  JobGuard job;
  HeaderGuard header;
  int result = TXdecompressionJob(job.job, input);
  if (result == TX_OK) result = TXreadHeader(job.job, header.image, header.compression);
  if (result != TX_OK) return CodecFailure("'" + path + "'", result);
  const int colorType = header.image->colorType;
  if (!IsSixteenBit(colorType)) return Status::Fail("'" + path + "' does not hold 16-bit samples");
  if (!WithinPixelLimit(header.image->width, header.image->height, maxPixels))
    return Status::Fail("cannot read '" + path + "': " +
                        PixelLimitMessage(header.image->width, header.image->height, maxPixels));
  TXsetPixelLimit(job.job, maxPixels);
  SampleImage result16;
  result16.width = header.image->width;
  result16.height = header.image->height;
  result16.planes = colorType == TXcolorGrey16 ? 1 : 3;
  result16.maxValue = MaxValueFromAux(header.compression->auxWord3);
  size_t bytes = 0;
  if (!CheckedImageBytes(result16.width, result16.height, result16.planes * 2, bytes))
    return Status::Fail("'" + path + "' is too large to decode");
  result16.samples.resize(bytes / 2);
  if (progress) progress->setTaskLimit(header.image, header.compression, static_cast<long>(length));
  result = TXreadImage(job.job, result16.samples.data(),
                       static_cast<long>(static_cast<size_t>(result16.width) * result16.planes * 2), 0, progress);
  if (result != TX_OK) return CodecFailure("'" + path + "'", result);
  if (result16.planes == 1)
    for (uint16_t& sample : result16.samples)
      sample = static_cast<uint16_t>(static_cast<int16_t>(sample) + kGreyOffset);
  // Lossy decoding may overshoot the range; the written file must stay valid.
  const uint16_t limit = static_cast<uint16_t>(result16.maxValue);
  for (uint16_t& sample : result16.samples) sample = std::min(sample, limit);
  image = std::move(result16);
  return Status::Ok();
}
