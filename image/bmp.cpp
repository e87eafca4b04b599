// Windows BMP reading and writing.
//
// The reader holds what the image model keeps: uncompressed 8-bit (grey or
// colour table) and 24-bit images. Beside the 40-byte info header it reads
// the headers users meet in practice, all of them through the 40-byte form:
// - the 12-byte core header (16-bit size fields, 3-byte table entries);
// - the OS/2 2.x header of 16 to 64 bytes (missing fields count as zero);
// - the 52/56/108/124-byte headers, as their 40-byte prefix. Their extra
//   fields (masks, colour space, profile) only matter for bit-field and
//   16/32-bit images, which are refused anyway.
// Negative heights (top-down rows) are turned the right way up. A 24-bit
// file's optional colour table is skipped. An 8-bit table longer than 256
// entries is cut to 256. Every size is checked against the stream length and
// the image limits before memory is allocated.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>
#include <vector>

#include "image/Dib.h"
#include "image/Limits.h"
#include "image/staged_file.h"
#include "platform/Bitmap.h"

namespace {

constexpr size_t kCoreHeaderSize = 12;
constexpr size_t kShortestOs2HeaderSize = 16;
constexpr size_t kLongestInfoHeaderSize = 124;
constexpr size_t kMaxTableEntries = 256;
// Reading a stream of unknown length grows the bits in steps of this size,
// so a lying header cannot make us allocate ahead of the data.
constexpr size_t kReadChunk = size_t{1} << 20;

// The file's headers as the image model will hold them.
struct BmpLayout {
  BITMAPINFOHEADER header{};
  size_t infoSize = 0;     // bytes of the info header in the file
  size_t entryBytes = 4;   // 3 in core files
  size_t tableEntries = 0; // entries read into the colour table
  uint64_t bitsSize = 0;
  uint64_t maxPixels = kDefaultMaxPixels;  // the reader's limit, given in
};

bool ReadExactly(std::istream& in, void* buffer, size_t count) {
  in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
  return static_cast<size_t>(in.gcount()) == count;
}

bool Skip(std::istream& in, uint64_t count) {
  while (count > 0) {
    const auto step = static_cast<std::streamsize>(std::min<uint64_t>(count, kReadChunk));
    in.ignore(step);
    if (in.gcount() != step) return false;
    count -= static_cast<uint64_t>(step);
  }
  return true;
}

// Bytes from the current position to the end, or -1 when the stream cannot tell.
int64_t RemainingBytes(std::istream& in) {
  const auto here = in.tellg();
  if (here < 0) return -1;
  in.seekg(0, std::ios::end);
  const auto end = in.tellg();
  in.seekg(here);
  if (end < 0 || !in) {
    in.clear();
    return -1;
  }
  return static_cast<int64_t>(end - here);
}

// Turns the info header bytes into the 40-byte form. Returns DIB_OK or why not.
int ParseInfoHeader(const BYTE* bytes, size_t size, BmpLayout& layout) {
  BITMAPINFOHEADER& h = layout.header;
  layout.infoSize = size;
  if (size == kCoreHeaderSize) {
    h.biWidth = ReadLE16(bytes + 4);
    h.biHeight = ReadLE16(bytes + 6);
    h.biPlanes = ReadLE16(bytes + 8);
    h.biBitCount = ReadLE16(bytes + 10);
    layout.entryBytes = 3;
  } else {
    BYTE full[kBitmapInfoHeaderSize] = {};
    std::memcpy(full, bytes, std::min(size, kBitmapInfoHeaderSize));
    h = ReadInfoHeader(full);
  }
  h.biSize = kBitmapInfoHeaderSize;
  if (h.biCompression != BI_RGB) return DIB_ERR_FORMAT;
  if (h.biBitCount != 8 && h.biBitCount != 24) return DIB_ERR_FORMAT;

  const int64_t width = h.biWidth;
  const int64_t height = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
  if (width <= 0 || height <= 0 || width > kMaxImageDimension || height > kMaxImageDimension)
    return DIB_ERR_FORMAT;
  if (!WithinPixelLimit(width, height, layout.maxPixels)) return DIB_ERR_TOO_LARGE;
  layout.bitsSize = DibStride(width, h.biBitCount) * static_cast<uint64_t>(height);
  size_t pixelBytes = 0;
  if (layout.bitsSize > kMaxImageBytes || !CheckedImageBytes(width, height, 3, pixelBytes))
    return DIB_ERR_FORMAT;
  // Keep a stated bits size only in its exact form, so that every row
  // computation agrees on the row length.
  if (h.biSizeImage != 0) h.biSizeImage = static_cast<DWORD>(layout.bitsSize);

  if (h.biBitCount == 24) {
    h.biClrUsed = 0;
    h.biClrImportant = 0;
    layout.tableEntries = 0;
  } else {
    const size_t used = h.biClrUsed == 0 ? kMaxTableEntries : std::min<size_t>(h.biClrUsed, kMaxTableEntries);
    if (h.biClrUsed != 0) h.biClrUsed = static_cast<DWORD>(used);
    h.biClrImportant = std::min<DWORD>(h.biClrImportant, static_cast<DWORD>(used));
    layout.tableEntries = used;
  }
  return DIB_OK;
}

// Reads the info header and tells how many bytes of colour table follow it.
int ReadInfoHeaderFrom(std::istream& in, DWORD offBits, BmpLayout& layout) {
  BYTE sizeField[4];
  if (!ReadExactly(in, sizeField, sizeof sizeField)) return DIB_ERR_IO;
  const size_t infoSize = ReadLE32(sizeField);
  if (infoSize != kCoreHeaderSize && (infoSize < kShortestOs2HeaderSize || infoSize > kLongestInfoHeaderSize))
    return DIB_ERR_FORMAT;
  if (kBitmapFileHeaderSize + infoSize > offBits) return DIB_ERR_FORMAT;

  BYTE info[kLongestInfoHeaderSize] = {};
  std::memcpy(info, sizeField, sizeof sizeField);
  if (!ReadExactly(in, info + 4, infoSize - 4)) return DIB_ERR_IO;
  if (const int result = ParseInfoHeader(info, infoSize, layout); result != DIB_OK) return result;

  // The table sits between the info header and the bits; a bigger gap is skipped.
  const uint64_t tableEnd = kBitmapFileHeaderSize + infoSize + layout.tableEntries * layout.entryBytes;
  if (tableEnd > offBits) return DIB_ERR_FORMAT;
  return DIB_OK;
}

void ReadTableEntries(const BYTE* raw, const BmpLayout& layout, RGBQUAD* table) {
  for (size_t i = 0; i < layout.tableEntries; ++i) {
    const BYTE* entry = raw + i * layout.entryBytes;
    table[i] = RGBQUAD{entry[0], entry[1], entry[2], 0};
  }
}

// Reads `size` bytes of bits into a block of exactly that size. With the
// length unknown, the block grows only as data arrive.
bool ReadBits(std::istream& in, uint64_t size, bool lengthChecked, std::vector<BYTE>& staging, BYTE* target) {
  if (lengthChecked) return ReadExactly(in, target, static_cast<size_t>(size));
  while (staging.size() < size) {
    const size_t step = static_cast<size_t>(std::min<uint64_t>(size - staging.size(), kReadChunk));
    const size_t start = staging.size();
    staging.resize(start + step);
    if (!ReadExactly(in, staging.data() + start, step)) return false;
  }
  return true;
}

void FlipRows(BYTE* bits, size_t stride, size_t rows) {
  std::vector<BYTE> temp(stride);
  for (size_t top = 0, bottom = rows - 1; top < bottom; ++top, --bottom) {
    BYTE* a = bits + top * stride;
    BYTE* b = bits + bottom * stride;
    std::memcpy(temp.data(), a, stride);
    std::memcpy(a, b, stride);
    std::memcpy(b, temp.data(), stride);
  }
}

}  // namespace

int CDib::ReadBMP(std::istream& file) {
  BYTE fileHeader[kBitmapFileHeaderSize];
  if (!ReadExactly(file, fileHeader, sizeof fileHeader)) return DIB_ERR_IO;
  const BITMAPFILEHEADER fh = ReadFileHeader(fileHeader);
  if (fh.bfType != BMP_SIGNATURE) return DIB_ERR_IO;
  if (fh.bfOffBits < kBitmapFileHeaderSize + kCoreHeaderSize) return DIB_ERR_FORMAT;
  const int64_t afterFileHeader = RemainingBytes(file);
  if (afterFileHeader >= 0 && fh.bfOffBits - kBitmapFileHeaderSize > static_cast<uint64_t>(afterFileHeader))
    return DIB_ERR_IO;

  BmpLayout layout;
  layout.maxPixels = m_nMaxPixels;
  if (const int result = ReadInfoHeaderFrom(file, fh.bfOffBits, layout); result != DIB_OK) {
    const int64_t height = layout.header.biHeight;
    if (result == DIB_ERR_TOO_LARGE)
      ShowMessageTo(GetMessageSink(), PixelLimitMessage(layout.header.biWidth, height < 0 ? -height : height, m_nMaxPixels),
                    "", MB_ICONERROR);
    return result;
  }
  std::vector<BYTE> rawTable(layout.tableEntries * layout.entryBytes);
  if (!ReadExactly(file, rawTable.data(), rawTable.size())) return DIB_ERR_IO;
  const uint64_t headerEnd = kBitmapFileHeaderSize + layout.infoSize + rawTable.size();
  if (!Skip(file, fh.bfOffBits - headerEnd)) return DIB_ERR_IO;
  const int64_t bitsAvailable = RemainingBytes(file);
  if (bitsAvailable >= 0 && static_cast<uint64_t>(bitsAvailable) < layout.bitsSize) return DIB_ERR_IO;

  // Everything checked that can be: replace the image.
  Free();
  FreePixels();
  BYTE* block = AllocHeader(kBitmapInfoHeaderSize + 4 * layout.tableEntries);
  if (!block) return DIB_ERR_MEMORY;
  WriteInfoHeader(layout.header, block);
  if (!ComputeLayout() || m_nImageSize != layout.bitsSize) {
    Free();
    return DIB_ERR_INTERNAL;
  }
  ReadTableEntries(rawTable.data(), layout, m_pColorTable);
  SetColorCount(layout.header.biBitCount);
  CreatePalette();

  std::vector<BYTE> staging;
  BYTE* bits = bitsAvailable >= 0 ? AllocBits(m_nImageSize) : nullptr;
  if (bitsAvailable >= 0 && !bits) {
    Free();
    return DIB_ERR_MEMORY;
  }
  if (!ReadBits(file, m_nImageSize, bitsAvailable >= 0, staging, bits)) {
    Free();
    return DIB_ERR_IO;
  }
  if (!bits) {
    bits = AllocBits(m_nImageSize);
    if (!bits) {
      Free();
      return DIB_ERR_MEMORY;
    }
    std::memcpy(bits, staging.data(), m_nImageSize);
  }

  BITMAPINFOHEADER* header = Header();
  if (header->biHeight < 0) {
    header->biHeight = -header->biHeight;
    FlipRows(bits, m_nImageSize / static_cast<size_t>(header->biHeight), static_cast<size_t>(header->biHeight));
  }

  m_nBitsPerPlane = 8;
  if (header->biBitCount == 24) {
    m_nPlanes = 3;
    m_nColorType = DibRGB;
  } else {
    m_nPlanes = 1;
    m_nColorType = IsGreyPalette() ? DibGrey : DibPaletteColor;
    if (m_nColorType == DibPaletteColor) {
      if (const int result = ExpandPaletteTo24(); result != DIB_OK) {
        Free();
        return result;
      }
    }
  }
  if (m_pQuantizer && !RefreshDisplayCopy()) return DIB_ERR_INTERNAL;
  return DIB_OK;
}

int CDib::WriteBMP(std::ostream& file) {
  const BITMAPINFOHEADER* header = Header();
  if (!header || !m_pBits || m_nColors < 0) return DIB_ERR_INTERNAL;
  const size_t headerBytes = kBitmapInfoHeaderSize + 4 * static_cast<size_t>(m_nColors);
  if (headerBytes > HeaderBytes()) return DIB_ERR_INTERNAL;

  // bfSize holds the real file length: common readers refuse a file whose
  // stated length differs from its size.
  BITMAPFILEHEADER fh{};
  fh.bfType = BMP_SIGNATURE;
  fh.bfOffBits = static_cast<DWORD>(kBitmapFileHeaderSize + headerBytes);
  fh.bfSize = fh.bfOffBits + m_nImageSize;
  BYTE fileHeader[kBitmapFileHeaderSize];
  WriteFileHeader(fh, fileHeader);

  file.write(reinterpret_cast<const char*>(fileHeader), sizeof fileHeader);
  file.write(reinterpret_cast<const char*>(m_pBMI), static_cast<std::streamsize>(headerBytes));
  file.write(reinterpret_cast<const char*>(m_pBits), static_cast<std::streamsize>(m_nImageSize));
  return file ? DIB_OK : DIB_ERR_IO;
}

int CDib::SaveBMP(const std::string& name) {
  StagedFile staged(name);
  std::ofstream file(staged.TempName(), std::ios::binary | std::ios::trunc);
  if (!file) return DIB_ERR_IO;
  if (const int result = WriteBMP(file); result != DIB_OK) return result;
  file.close();
  if (file.fail()) return DIB_ERR_IO;
  return staged.Commit() ? DIB_OK : DIB_ERR_IO;
}

int CDib::Serialize(std::iostream& archive, bool storing) {
  archive.flush();
  return storing ? WriteBMP(archive) : ReadBMP(archive);
}
