#include "tools/Pnm16.h"

#include <cctype>
#include <fstream>

#include "image/Limits.h"
#include "image/staged_file.h"

namespace {

// Reads the next header number, skipping white space and # comments.
bool ReadHeaderNumber(std::istream& in, long& value) {
  int c = in.get();
  while (c != EOF) {
    if (c == '#') {
      while (c != EOF && c != '\n' && c != '\r') c = in.get();
    } else if (!std::isspace(c)) {
      break;
    }
    c = in.get();
  }
  if (c == EOF || !std::isdigit(c)) return false;
  value = 0;
  while (c != EOF && std::isdigit(c)) {
    value = value * 10 + (c - '0');
    if (value > 1000000) return false;
    c = in.get();
  }
  if (c != EOF) in.unget();
  return true;
}

// A plain sample: digits after white space (no comments inside the data).
bool ReadPlainSample(std::istream& in, long& value) {
  int c = in.get();
  while (c != EOF && std::isspace(c)) c = in.get();
  if (c == EOF || !std::isdigit(c)) return false;
  value = 0;
  while (c != EOF && std::isdigit(c)) {
    value = value * 10 + (c - '0');
    if (value > 65535) return false;
    c = in.get();
  }
  return true;
}

Status ReadBinary(std::istream& in, SampleImage& image, const std::string& path) {
  const size_t bytesPerSample = image.maxValue > 255 ? 2 : 1;
  const size_t rowSamples = static_cast<size_t>(image.width) * image.planes;
  std::vector<unsigned char> row(rowSamples * bytesPerSample);
  for (int y = 0; y < image.height; ++y) {
    if (!in.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(row.size())))
      return Status::Fail("'" + path + "' is truncated");
    uint16_t* out = image.samples.data() + static_cast<size_t>(y) * rowSamples;
    for (size_t i = 0; i < rowSamples; ++i) {
      const unsigned value = bytesPerSample == 2 ? (row[2 * i] << 8) | row[2 * i + 1] : row[i];
      if (value > static_cast<unsigned>(image.maxValue))
        return Status::Fail("'" + path + "' has a sample above its maximum value");
      out[i] = static_cast<uint16_t>(value);
    }
  }
  return Status::Ok();
}

Status ReadPlain(std::istream& in, SampleImage& image, const std::string& path) {
  for (uint16_t& sample : image.samples) {
    long value = 0;
    if (!ReadPlainSample(in, value)) return Status::Fail("'" + path + "' is truncated or has a bad sample");
    if (value > image.maxValue) return Status::Fail("'" + path + "' has a sample above its maximum value");
    sample = static_cast<uint16_t>(value);
  }
  return Status::Ok();
}

// Bytes from the read position to the end of a seekable file; -1 otherwise.
int64_t BytesLeft(std::istream& in) {
  const std::streampos here = in.tellg();
  if (here < 0 || !in.seekg(0, std::ios::end)) return -1;
  const std::streampos end = in.tellg();
  in.seekg(here);
  return end < here ? -1 : static_cast<int64_t>(end - here);
}

}  // namespace

Status ReadPnmSamples(const std::string& path, SampleImage& image, uint64_t maxPixels) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::Fail("cannot open '" + path + "'");
  char magic[2] = {};
  if (!in.read(magic, 2) || magic[0] != 'P' || magic[1] < '2' || magic[1] > '6' || magic[1] == '4')
    return Status::Fail("'" + path + "' is not a supported format (not a grey or colour PNM)");
  const int kind = magic[1] - '0';
  long width = 0, height = 0, maxValue = 0;
  if (!ReadHeaderNumber(in, width) || !ReadHeaderNumber(in, height) || !ReadHeaderNumber(in, maxValue))
    return Status::Fail("'" + path + "' has an invalid PNM header");
  if (maxValue < 1 || maxValue > 65535) return Status::Fail("'" + path + "' has an invalid maximum value");
  const int c = in.get();
  if (c == EOF || !std::isspace(c)) return Status::Fail("'" + path + "' has an invalid PNM header");

  SampleImage result;
  result.planes = (kind % 3 == 0) ? 3 : 1;
  result.maxValue = static_cast<int>(maxValue);
  if (width > 0 && height > 0 && !WithinPixelLimit(width, height, maxPixels))
    return Status::Fail("cannot read '" + path + "': " + PixelLimitMessage(width, height, maxPixels));
  size_t bytes = 0;
  if (!CheckedImageBytes(width, height, static_cast<int64_t>(result.planes) * 2, bytes))
    return Status::Fail("'" + path + "' is " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels, beyond the size limits");
  // Binary samples take one or two bytes each, plain ones at least two.
  const uint64_t samples = bytes / 2;
  const uint64_t needed = kind >= 5 ? samples * (maxValue > 255 ? 2 : 1) : samples * 2 - 1;
  const int64_t left = BytesLeft(in);
  if (left >= 0 && static_cast<uint64_t>(left) < needed)
    return Status::Fail("'" + path + "' is truncated: its header states " + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels, which need " + std::to_string(needed) +
                        " bytes of samples, but only " + std::to_string(left) + " follow");
  result.width = static_cast<int>(width);
  result.height = static_cast<int>(height);
  result.samples.resize(bytes / 2);
  Status status = kind >= 5 ? ReadBinary(in, result, path) : ReadPlain(in, result, path);
  if (!status.ok()) return status;
  image = std::move(result);
  return Status::Ok();
}

Status WritePnmSamples(const std::string& path, const SampleImage& image) {
  if (image.planes != 1 && image.planes != 3) return Status::Fail("only 1 or 3 planes can be written as PNM");
  StagedFile staged(path);
  std::ofstream out(staged.TempName(), std::ios::binary | std::ios::trunc);
  if (!out) return Status::Fail("cannot open '" + path + "' for writing");
  out << (image.planes == 1 ? "P5" : "P6") << '\n'
      << image.width << ' ' << image.height << '\n'
      << image.maxValue << '\n';
  const bool wide = image.maxValue > 255;
  const size_t rowSamples = static_cast<size_t>(image.width) * image.planes;
  std::vector<unsigned char> row(rowSamples * (wide ? 2 : 1));
  for (int y = 0; y < image.height && out; ++y) {
    const uint16_t* in = image.samples.data() + static_cast<size_t>(y) * rowSamples;
    for (size_t i = 0; i < rowSamples; ++i) {
      if (wide) {
        row[2 * i] = static_cast<unsigned char>(in[i] >> 8);
        row[2 * i + 1] = static_cast<unsigned char>(in[i] & 0xFF);
      } else {
        row[i] = static_cast<unsigned char>(in[i]);
      }
    }
    out.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size()));
  }
  out.close();
  if (!out || !staged.Commit()) return Status::Fail("cannot write '" + path + "'");
  return Status::Ok();
}

std::vector<uint8_t> ScaleTo8Bit(const SampleImage& image) {
  std::vector<uint8_t> result(image.samples.size());
  const uint32_t maxValue = static_cast<uint32_t>(image.maxValue > 0 ? image.maxValue : 1);
  for (size_t i = 0; i < image.samples.size(); ++i)
    result[i] = static_cast<uint8_t>((image.samples[i] * 255u + maxValue / 2) / maxValue);
  return result;
}
