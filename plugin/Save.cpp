#include "plugin/Save.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/MessageSink.h"
#include "plugin/DecoderState.h"
#include "plugin/PluginInstance.h"
#include "plugin/ShowImage.h"

namespace {

constexpr uint32_t kBitmapDataOffset8 = 14 + 40 + 256 * 4;  // 1078
constexpr uint32_t kBitmapDataOffset24 = 14 + 40;
constexpr int32_t kPixelsPerMetre = 2834;

// A file written under a temporary name and renamed into place only when
// every byte is on disk, so a failure never leaves half a file.
class AtomicFile {
public:
  explicit AtomicFile(std::string path) : m_path(std::move(path)), m_temporary(m_path + ".XXXXXX") {
    const int fd = mkstemp(m_temporary.data());
    if (fd < 0) return;
    fchmod(fd, 0644);
    m_file = fdopen(fd, "wb");
    if (!m_file) {
      close(fd);
      std::remove(m_temporary.c_str());
    }
  }
  ~AtomicFile() {
    if (m_file) {
      std::fclose(m_file);
      std::remove(m_temporary.c_str());
    }
  }
  bool IsOpen() const { return m_file != nullptr; }
  bool Write(const void* bytes, size_t count) {
    return count == 0 || (m_file && std::fwrite(bytes, 1, count, m_file) == count);
  }
  bool Commit() {
    if (!m_file) return false;
    const bool flushed = std::fflush(m_file) == 0 && fsync(fileno(m_file)) == 0;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (flushed && closed && std::rename(m_temporary.c_str(), m_path.c_str()) == 0) return true;
    std::remove(m_temporary.c_str());
    return false;
  }

private:
  std::string m_path;
  std::string m_temporary;
  std::FILE* m_file = nullptr;
};

void WriteHeaders(BYTE* out, uint32_t dataOffset, int width, int height, int bitCount, uint32_t imageSize) {
  BITMAPFILEHEADER file{};
  file.bfType = BMP_SIGNATURE;
  file.bfSize = dataOffset + imageSize;
  file.bfOffBits = dataOffset;
  WriteFileHeader(file, out);
  BITMAPINFOHEADER info{};
  info.biSize = 40;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = static_cast<WORD>(bitCount);
  info.biCompression = BI_RGB;
  info.biSizeImage = imageSize;
  info.biXPelsPerMeter = kPixelsPerMetre;
  info.biYPelsPerMeter = kPixelsPerMetre;
  WriteInfoHeader(info, out + kBitmapFileHeaderSize);
}

int WriteBitmapRows(AtomicFile& file, const uint8_t* pixels, bool colour, int width, int height) {
  const size_t sourceRow = static_cast<size_t>(width) * (colour ? 3 : 1);
  const size_t padding = colour ? static_cast<size_t>(width % 4) : (4 - width % 4) % 4;
  std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[sourceRow + padding]());
  if (!row) return BITMAP_ERR_MEMORY;
  for (int y = height - 1; y >= 0; --y) {
    const uint8_t* source = pixels + sourceRow * static_cast<size_t>(y);
    if (colour) {
      for (int x = 0; x < width; ++x) {
        row[3 * x] = source[3 * x + 2];
        row[3 * x + 1] = source[3 * x + 1];
        row[3 * x + 2] = source[3 * x];
      }
    } else {
      std::memcpy(row.get(), source, sourceRow);
    }
    if (!file.Write(row.get(), sourceRow + padding)) return BITMAP_ERR_WRITE;
  }
  return BITMAP_OK;
}

}  // namespace

std::string ReplaceExtension(const std::string& chosen, const std::string& extension) {
  const size_t separator = chosen.find_last_of("/\\");
  const size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  const size_t dot = chosen.find('.', nameStart);
  return chosen.substr(0, dot) + extension;
}

bool WriteRawFile(const std::string& path, size_t count, const uint8_t* bytes) {
  AtomicFile file(path);
  return file.IsOpen() && file.Write(bytes, count) && file.Commit();
}

int WriteBitmapFile(const std::string& path, int format, const uint8_t* pixels, bool colour, int width,
                    int height) {
  if (format != kFormatBitmap || !pixels || width <= 0 || height <= 0) return BITMAP_ERR_WRITE;
  const uint64_t rowLength = colour ? 3ull * width + width % 4 : (static_cast<uint64_t>(width) + 3) / 4 * 4;
  const uint64_t imageSize = rowLength * static_cast<uint64_t>(height);
  const uint32_t dataOffset = colour ? kBitmapDataOffset24 : kBitmapDataOffset8;
  if (imageSize + dataOffset > UINT32_MAX) return BITMAP_ERR_WRITE;

  AtomicFile file(path);
  if (!file.IsOpen()) return BITMAP_ERR_WRITE;
  std::vector<BYTE> head(dataOffset);
  WriteHeaders(head.data(), dataOffset, width, height, colour ? 24 : 8, static_cast<uint32_t>(imageSize));
  if (!colour) {
    BYTE* table = head.data() + kBitmapFileHeaderSize + kBitmapInfoHeaderSize;
    for (int i = 0; i < 256; ++i) {
      table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = static_cast<BYTE>(i);
      table[4 * i + 3] = 0;
    }
  }
  if (!file.Write(head.data(), head.size())) return BITMAP_ERR_WRITE;
  const int result = WriteBitmapRows(file, pixels, colour, width, height);
  if (result != BITMAP_OK) return result;
  return file.Commit() ? BITMAP_OK : BITMAP_ERR_WRITE;
}

void SaveImage(PluginInstance& inst, bool colour) {
  HWND owner = inst.hwnd;
  if (!owner || !inst.decoder || !inst.decodeOK) return;
  SaveFileRequest request;
  request.owner = owner;
  request.filters = {{"TAVIX Image (*.tvx)", "*.tvx"}, {"Windows Bitmap (*.bmp)", "*.bmp"}};
  request.filterIndex = 1;
  request.title = "Save Image as...";
  request.defaultExtension = ".tvx";
  request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  request.file = inst.saveName.substr(0, MAX_PATH - 1);
  if (!owner->GetSaveFileName(request)) return;

  if (request.filterIndex == 2) {
    const DecoderState& decoder = *inst.decoder;
    const PixelGeometry geometry{decoder.width, decoder.height, decoder.planes, decoder.bytesPerSample,
                                 static_cast<long>(decoder.rowBytes)};
    // 16-bit samples are saved as they are shown, one byte per sample.
    std::unique_ptr<uint8_t[]> bytes = ConvertToBytes(geometry, decoder.pixels.get());
    const bool colourPixels = colour && decoder.planes == 3;
    const int result = bytes ? WriteBitmapFile(ReplaceExtension(request.file, ".bmp"), kFormatBitmap, bytes.get(),
                                               colourPixels, decoder.width, decoder.height)
                             : BITMAP_ERR_MEMORY;
    if (result != BITMAP_OK) owner->MessageBox("Save image failed!", "Error", MB_ICONERROR, false);
    return;
  }
  bool written;
  {
    std::lock_guard<std::mutex> guard(inst.decoder->lock);
    written = WriteRawFile(ReplaceExtension(request.file, ".tvx"), inst.received, inst.data.data());
  }
  if (!written) owner->MessageBox("Save Image failed!", "Error", MB_ICONERROR, false);
}
