// PCX reading: 256-colour (8 bits, 1 plane) and true-colour (8 bits,
// 3 planes) images of version 5 with run-length encoding.
//
// Decoding never reads past the image data (for 256-colour files, the
// bytes between the header and the palette block); a file that ends early
// leaves the rest of the image zero, which shows as black, and still loads.
// A header whose bytes per line are fewer than the image's columns is
// damaged: the columns past them would have no data.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "image/Dib.h"
#include "image/Limits.h"

namespace {

constexpr size_t kPcxHeaderSize = 128;
constexpr size_t kPcxPaletteBytes = 768;
constexpr BYTE kPcxManufacturer = 10;
constexpr BYTE kRunFlag = 0xC0;
constexpr BYTE kRunCountMask = 0x3F;

const char* const kUnknownFormatMessage = "PCX Dateiformat unbekannt";
const char* const kDamagedMessage = "PCX Datei bechädigt";

struct PcxHeader {
  BYTE manufacturer = 0;
  BYTE version = 0;
  BYTE encoding = 0;
  BYTE bitsPerPixel = 0;
  int xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  BYTE planes = 0;
  unsigned bytesPerLine = 0;
};

int16_t ReadSigned16(const BYTE* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

PcxHeader ParseHeader(const BYTE* h) {
  PcxHeader header;
  header.manufacturer = h[0];
  header.version = h[1];
  header.encoding = h[2];
  header.bitsPerPixel = h[3];
  header.xMin = ReadSigned16(h + 4);
  header.yMin = ReadSigned16(h + 6);
  header.xMax = ReadSigned16(h + 8);
  header.yMax = ReadSigned16(h + 10);
  header.planes = h[65];
  header.bytesPerLine = static_cast<unsigned>(h[66] | (h[67] << 8));
  return header;
}

// Run-length decoder over [data, end); the position carries over from one
// line to the next.
class PcxLineDecoder {
public:
  PcxLineDecoder(const BYTE* data, const BYTE* end) : m_pos(data), m_end(end) {}

  // Fills `line` with n bytes. A run longer than the rest of the line ends
  // the line, and its value byte becomes the next line's first code. What the
  // data do not reach stays zero.
  void DecodeLine(BYTE* line, size_t n) {
    std::memset(line, 0, n);
    size_t x = 0;
    while (x < n && m_pos < m_end) {
      const BYTE code = *m_pos++;
      if (code < kRunFlag) {
        line[x++] = code;
        continue;
      }
      const size_t count = code & kRunCountMask;
      if (count == 0) continue;
      if (x + count > n) return;
      if (m_pos >= m_end) return;
      std::memset(line + x, *m_pos++, count);
      x += count;
    }
  }

private:
  const BYTE* m_pos;
  const BYTE* m_end;
};

// The whole file, or false when it cannot be read. Files beyond the image
// size limit are not loaded.
bool ReadWholeFile(std::FILE* file, std::vector<BYTE>& bytes, int& error) {
  error = DIB_ERR_IO;
  if (std::fseek(file, 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file);
  if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) return false;
  if (static_cast<uint64_t>(size) > kMaxImageBytes) {
    error = DIB_ERR_MEMORY;
    return false;
  }
  bytes.resize(static_cast<size_t>(size));
  return std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

int CDib::ReadPCX(const std::string& name) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
  if (!file) return DIB_ERR_OPEN;
  std::vector<BYTE> data;
  if (int error = DIB_OK; !ReadWholeFile(file.get(), data, error)) return error;
  m_nFileSize = static_cast<DWORD>(data.size());

  if (data.empty() || data[0] != kPcxManufacturer) {
    ShowMessageTo(GetMessageSink(), kUnknownFormatMessage);
    return DIB_ERR_FORMAT;
  }
  if (data.size() < kPcxHeaderSize) {
    ShowMessageTo(GetMessageSink(), kDamagedMessage);
    return DIB_ERR_FORMAT;
  }
  const PcxHeader header = ParseHeader(data.data());

  const bool eightBit = header.version == 5 && header.encoding == 1 && header.bitsPerPixel == 8;
  const bool paletteImage = eightBit && header.planes == 1;
  const bool rgbImage = eightBit && header.planes == 3;
  if (!paletteImage && !rgbImage) {
    if (header.encoding == 1 && header.bitsPerPixel == 1 && (header.planes == 1 || header.planes == 4))
      return DIB_ERR_FORMAT;
    ShowMessageTo(GetMessageSink(), kUnknownFormatMessage);
    return DIB_ERR_FORMAT;
  }

  const int width = header.xMax - header.xMin + 1;
  const int height = header.yMax - header.yMin + 1;
  const size_t lineLength = header.bytesPerLine;
  const bool boundsOk = header.xMin >= 0 && header.yMin >= 0 && header.xMax >= header.xMin && header.yMax >= header.yMin;
  const bool paletteFits = !paletteImage || data.size() >= kPcxHeaderSize + kPcxPaletteBytes + 1;
  if (!boundsOk || lineLength < static_cast<size_t>(width) || !paletteFits) {
    ShowMessageTo(GetMessageSink(), kDamagedMessage);
    return DIB_ERR_FORMAT;
  }

  if (!AcceptsPixelCount(width, height)) return DIB_ERR_TOO_LARGE;
  size_t pixelBytes = 0;
  if (!CheckedImageBytes(width, height, 3, pixelBytes)) return DIB_ERR_MEMORY;
  // A run of two bytes gives at most 63 bytes: a file too short to hold
  // the stated lines is damaged, whatever its header claims.
  const size_t encodedBytes = data.size() - kPcxHeaderSize - (paletteImage ? kPcxPaletteBytes + 1 : 0);
  const uint64_t decodedBytes = uint64_t{lineLength} * header.planes * static_cast<uint64_t>(height);
  if (decodedBytes > (uint64_t{encodedBytes} * 63 + 1) / 2) {
    ShowMessageTo(GetMessageSink(), kDamagedMessage);
    return DIB_ERR_FORMAT;
  }

  const BYTE* imageEnd = data.data() + data.size() - (paletteImage ? kPcxPaletteBytes + 1 : 0);
  PcxLineDecoder decoder(data.data() + kPcxHeaderSize, imageEnd);
  std::vector<BYTE> line(lineLength * header.planes);

  if (rgbImage) {
    if (!AllocPixelBuffer(pixelBytes)) return DIB_ERR_MEMORY;
    m_nColorType = DibRGB;
    BYTE* out = m_pPixels.get();
    for (int y = 0; y < height; ++y) {
      decoder.DecodeLine(line.data(), line.size());
      for (int x = 0; x < width; ++x) {
        *out++ = line[x];
        *out++ = line[lineLength + x];
        *out++ = line[2 * lineLength + x];
      }
    }
  } else {
    const BYTE* palette = data.data() + data.size() - kPcxPaletteBytes;
    bool grey = true;
    for (size_t i = 0; i < 256 && grey; ++i)
      grey = palette[3 * i] == palette[3 * i + 1] && palette[3 * i + 1] == palette[3 * i + 2];
    m_nColorType = grey ? DibGrey : DibPaletteColor;
    const int outBytes = grey ? 1 : 3;
    if (!AllocPixelBuffer(static_cast<size_t>(width) * height * outBytes)) return DIB_ERR_MEMORY;
    BYTE* out = m_pPixels.get();
    for (int y = 0; y < height; ++y) {
      decoder.DecodeLine(line.data(), line.size());
      for (int x = 0; x < width; ++x) {
        const BYTE* entry = palette + 3 * line[x];
        *out++ = entry[0];
        if (!grey) {
          *out++ = entry[1];
          *out++ = entry[2];
        }
      }
    }
  }

  m_nPlanes = header.planes;
  m_nBitsPerPlane = 8;
  const int created = CreateFromPixels(width, height, m_nColorType == DibGrey ? 8 : 24);
  FreePixels();
  return created ? DIB_OK : DIB_ERR_INTERNAL;
}
