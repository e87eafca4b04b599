// PNM reading and writing, and CDib's PNM operations.
//
// Choices where the format leaves room:
// - Bitmaps (P1/P4) pass the header routines, but PnmRead refuses their
//   samples with 5, so they never reach a CDib.
// - Width and height must be 1..32767, the range of the header's 16-bit
//   fields; larger values are an invalid header (4), never wrapped.
// - Plain data stop at the end of the file or at the first byte that cannot
//   start a number: the read fails with 2 and the samples not reached stay
//   zero. A binary file too short for its size fails with 2 before any pixel
//   memory is allocated.
#include "image/pnm.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <istream>
#include <ostream>
#include <vector>

#include "image/Dib.h"
#include "image/Limits.h"
#include "image/staged_file.h"

int PnmReader::read(void* buffer, size_t& count) {
  const size_t wanted = count;
  m_in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(wanted));
  count = static_cast<size_t>(m_in.gcount());
  return count == wanted ? PnmOk : PnmShortData;
}

void PnmReader::unget() {
  m_in.clear();
  m_in.unget();
}

int PnmReader::get() {
  const auto c = m_in.get();
  return c == std::istream::traits_type::eof() ? -1 : static_cast<int>(c);
}

int PnmWriter::write(const void* buffer, size_t& count) {
  m_out.write(static_cast<const char*>(buffer), static_cast<std::streamsize>(count));
  return m_out ? PnmOk : PnmShortData;
}

namespace {

constexpr int kPnmMaxValue = 255;
constexpr size_t kStreamBufferBytes = size_t{1} << 20;
constexpr int kSamplesPerPlainLine = 17;

bool IsPnmSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// Skips white space and "#" comments; returns the first other byte, or -1.
int SkipSpaceAndComments(PnmReader& reader) {
  for (;;) {
    int c = reader.get();
    if (c == '#') {
      do c = reader.get();
      while (c != -1 && c != '\n' && c != '\r');
    }
    if (c == -1 || !IsPnmSpace(c)) return c;
  }
}

enum class NumberRead { Ok, EndOfData, NotANumber, TooLarge };

// A decimal number after white space and comments. It ends only at a
// non-digit, which is put back; the end of the data inside it is EndOfData.
// Values above `limit` are TooLarge (the digits are still consumed).
NumberRead ReadHeaderNumber(PnmReader& reader, int limit, int& value) {
  int c = SkipSpaceAndComments(reader);
  if (c == -1) return NumberRead::EndOfData;
  if (!IsDigit(c)) return NumberRead::NotANumber;
  bool tooLarge = false;
  value = 0;
  for (; IsDigit(c); c = reader.get()) {
    if (!tooLarge) value = value * 10 + (c - '0');
    if (value > limit) tooLarge = true;
  }
  if (c == -1) return NumberRead::EndOfData;
  reader.unget();
  return tooLarge ? NumberRead::TooLarge : NumberRead::Ok;
}

// A plain sample: its low 8 bits, whatever its length.
NumberRead ReadPlainSample(PnmReader& reader, BYTE& sample) {
  int c = SkipSpaceAndComments(reader);
  if (c == -1) return NumberRead::EndOfData;
  if (!IsDigit(c)) return NumberRead::NotANumber;
  unsigned low = 0;
  for (; IsDigit(c); c = reader.get()) low = (low * 10 + static_cast<unsigned>(c - '0')) & 0xFF;
  if (c == -1) return NumberRead::EndOfData;
  reader.unget();
  sample = static_cast<BYTE>(low);
  return NumberRead::Ok;
}

int Invalid(PnmHeader& header) {
  header.kind = -1;
  return PnmInvalidHeader;
}

int ReadPlainSamples(PnmReader& reader, BYTE* pixels, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (ReadPlainSample(reader, pixels[i]) != NumberRead::Ok) return PnmShortData;
  }
  return PnmOk;
}

int ReadBinaryRows(PnmReader& reader, BYTE* pixels, size_t rowBytes, int height) {
  for (int y = 0; y < height; ++y) {
    size_t count = rowBytes;
    if (reader.read(pixels + static_cast<size_t>(y) * rowBytes, count) != PnmOk) return PnmShortData;
  }
  return PnmOk;
}

// printf-style "%d%c" through the writer.
int WriteNumber(PnmWriter& writer, int value, char separator) {
  char text[16];
  const int length = std::snprintf(text, sizeof text, "%d%c", value, separator);
  size_t count = static_cast<size_t>(length);
  return writer.write(text, count);
}

int WriteText(PnmWriter& writer, const std::string& text) {
  size_t count = text.size();
  return writer.write(text.data(), count);
}

int WritePlainSamples(PnmWriter& writer, const BYTE* pixels, size_t rowSamples, int height) {
  for (int y = 0; y < height; ++y) {
    const BYTE* row = pixels + static_cast<size_t>(y) * rowSamples;
    for (size_t i = 0; i < rowSamples; ++i) {
      const bool lineEnd = (i + 1) % kSamplesPerPlainLine == 0 || i + 1 == rowSamples;
      if (WriteNumber(writer, row[i], lineEnd ? '\n' : ' ') != PnmOk) return PnmShortData;
    }
  }
  return PnmOk;
}

bool SizeFits(int width, int height) {
  return width > 0 && height > 0 && width <= kPnmMaxDimension && height <= kPnmMaxDimension;
}

// Bytes left in the stream from its current position, or -1 when unknown.
int64_t RemainingBytes(std::istream& in) {
  const auto here = in.tellg();
  if (here < 0) return -1;
  in.seekg(0, std::ios::end);
  const auto end = in.tellg();
  in.seekg(here);
  return end < 0 ? -1 : static_cast<int64_t>(end - here);
}

}  // namespace

int PnmReadHeader(PnmReader& reader, PnmHeader& header) {
  BYTE magic[3];
  size_t count = sizeof magic;
  if (reader.read(magic, count) != PnmOk) return Invalid(header);
  if (magic[0] != 'P' || magic[1] < '1' || magic[1] > '6' || !IsPnmSpace(magic[2])) return Invalid(header);
  const int kind = magic[1] - '0';
  header.planes = kind % 3 == 0 ? 3 : 1;
  header.bits = kind % 3 == 1 ? 1 : 8;
  header.plain = kind <= 3 ? 1 : 0;

  int width = 0;
  int height = 0;
  if (ReadHeaderNumber(reader, kPnmMaxDimension, width) != NumberRead::Ok) return Invalid(header);
  if (ReadHeaderNumber(reader, kPnmMaxDimension, height) != NumberRead::Ok) return Invalid(header);
  if (!SizeFits(width, height)) return Invalid(header);
  if (header.bits != 1) {
    int maxValue = 0;
    if (ReadHeaderNumber(reader, 65535, maxValue) != NumberRead::Ok || maxValue != kPnmMaxValue)
      return Invalid(header);
  }
  if (!header.plain && !IsPnmSpace(reader.get())) return Invalid(header);

  header.kind = static_cast<int16_t>(kind);
  header.width = static_cast<int16_t>(width);
  header.height = static_cast<int16_t>(height);
  return PnmOk;
}

int PnmReadHeaderInfo(const std::string& name, int* width, int* height, int* planes, int* bitsCode) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return PnmCannotOpen;
  PnmReader reader(in);
  PnmHeader header;
  if (const int result = PnmReadHeader(reader, header); result != PnmOk) return result;
  *width = header.width;
  *height = header.height;
  *planes = header.planes;
  *bitsCode = 2;
  return PnmOk;
}

int PnmRead(BYTE* pixels, int width, int height, int planes, std::istream& in) {
  PnmReader reader(in);
  PnmHeader header;
  if (const int result = PnmReadHeader(reader, header); result != PnmOk) return result;
  if (header.width != width || header.height != height || header.planes != planes || header.bits == 1)
    return PnmMismatch;
  const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(planes);
  if (header.plain) return ReadPlainSamples(reader, pixels, rowBytes * static_cast<size_t>(height));
  return ReadBinaryRows(reader, pixels, rowBytes, height);
}

int PnmRead(BYTE* pixels, int width, int height, int planes, const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return PnmCannotOpen;
  return PnmRead(pixels, width, height, planes, in);
}

static int WritePnmHeader(PnmWriter& writer, const PnmHeader& header) {
  const int kind = (header.planes == 1 ? 2 : 3) + (header.plain ? 0 : 3);
  int result = WriteText(writer, "P" + std::to_string(kind) + "\n");
  if (result == PnmOk && !header.comment.empty()) result = WriteText(writer, "# " + header.comment + "\n");
  if (result == PnmOk) result = WriteNumber(writer, header.width, ' ');
  if (result == PnmOk) result = WriteNumber(writer, header.height, '\n');
  if (result == PnmOk) result = WriteNumber(writer, kPnmMaxValue, '\n');
  return result;
}

int PnmWrite(const BYTE* pixels, const PnmHeader& header, std::ostream& out) {
  if ((header.planes != 1 && header.planes != 3) || !SizeFits(header.width, header.height)) return PnmMismatch;
  PnmWriter writer(out);
  if (const int result = WritePnmHeader(writer, header); result != PnmOk) return result;

  const size_t rowBytes = static_cast<size_t>(header.width) * static_cast<size_t>(header.planes);
  if (header.plain) return WritePlainSamples(writer, pixels, rowBytes, header.height);
  for (int y = 0; y < header.height; ++y) {
    size_t count = rowBytes;
    if (writer.write(pixels + static_cast<size_t>(y) * rowBytes, count) != PnmOk) return PnmShortData;
  }
  return PnmOk;
}

int PnmWrite(const BYTE* pixels, int width, int height, int planes, const std::string& name, bool plain) {
  if ((planes != 1 && planes != 3) || !SizeFits(width, height)) return PnmMismatch;
  PnmHeader header;
  header.kind = static_cast<int16_t>((planes == 1 ? 2 : 3) + (plain ? 0 : 3));
  header.width = static_cast<int16_t>(width);
  header.height = static_cast<int16_t>(height);
  header.planes = static_cast<int16_t>(planes);
  header.plain = plain ? 1 : 0;

  StagedFile staged(name);
  std::ofstream out(staged.TempName(), std::ios::binary | std::ios::trunc);
  if (!out) return PnmCannotOpen;
  if (const int result = PnmWrite(pixels, header, out); result != PnmOk) return result;
  out.close();
  if (out.fail()) return PnmShortData;
  return staged.Commit() ? PnmOk : PnmShortData;
}

// ---- CDib

static int ReadBinaryPnmRows(CDib& dib, std::istream& in, const PnmHeader& header);
static bool HasIdentityGreyTable(const CDib& dib);

int CDib::ReadPNM(const std::string& name) {
  std::vector<char> streamBuffer(kStreamBufferBytes);
  std::ifstream in;
  in.rdbuf()->pubsetbuf(streamBuffer.data(), static_cast<std::streamsize>(streamBuffer.size()));
  in.open(name, std::ios::binary);
  if (!in) return PnmCannotOpen;
  PnmHeader header;
  {
    PnmReader reader(in);
    if (const int result = PnmReadHeader(reader, header); result != PnmOk) return result;
  }
  if (header.bits == 1) return PnmMismatch;
  const int width = header.width;
  const int height = header.height;
  const int planes = header.planes;

  if (!AcceptsPixelCount(width, height)) return DIB_ERR_TOO_LARGE;
  size_t bytes = 0;
  if (!CheckedImageBytes(width, height, planes, bytes)) return DIB_ERR_MEMORY;
  // A file that cannot hold the samples fails now rather than after the
  // allocation: a binary sample is one byte, a plain one at least a digit and
  // the byte that ends it.
  const int64_t remaining = RemainingBytes(in);
  const uint64_t needed = header.plain ? 2 * static_cast<uint64_t>(bytes) : bytes;
  if (remaining >= 0 && static_cast<uint64_t>(remaining) < needed) return PnmShortData;

  if (!header.plain) return ReadBinaryPnmRows(*this, in, header);

  if (!AllocPixelBuffer(bytes)) return DIB_ERR_MEMORY;
  in.clear();
  in.seekg(0);
  const int result = PnmRead(m_pPixels.get(), width, height, planes, in);
  if (result != PnmOk && result != PnmShortData) {
    FreePixels();
    return result;
  }
  m_nBitsPerPlane = 8;
  m_nPlanes = static_cast<DWORD>(planes);
  m_nColorType = planes == 1 ? DibGrey : DibRGB;
  const int created = CreateFromPixels(width, height, 8 * planes);
  FreePixels();
  if (!created) return DIB_ERR_INTERNAL;
  return result;
}

// Binary rows go straight from the file into the DIB, a row at a time, so
// no whole-image pixel buffer is needed. Rows a short file does not reach
// stay black and the read reports 2, as for plain files.
static int ReadBinaryPnmRows(CDib& dib, std::istream& in, const PnmHeader& header) {
  const int width = header.width;
  const int height = header.height;
  const int planes = header.planes;
  const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(planes);
  dib.m_nBitsPerPlane = 8;
  dib.m_nPlanes = static_cast<DWORD>(planes);
  dib.m_nColorType = planes == 1 ? DibGrey : DibRGB;
  // A pixel buffer left from the previous image is stale, and FinishRows
  // would build the display copy from it instead of from the new rows.
  dib.FreePixels();
  if (!dib.PrepareRows(width, height, 8 * planes)) return DIB_ERR_MEMORY;
  std::vector<BYTE> rgb(planes == 3 ? rowBytes : 0);
  PnmReader reader(in);
  int result = PnmOk;
  for (int y = 0; y < height; ++y) {
    BYTE* target = planes == 3 ? rgb.data() : dib.TopDownRow(y);
    size_t count = result == PnmOk ? rowBytes : 0;
    if (count > 0 && reader.read(target, count) != PnmOk) result = PnmShortData;
    std::fill(target + count, target + rowBytes, BYTE{0});
    if (planes == 3) CDib::SwapRedBlue(rgb.data(), dib.TopDownRow(y), static_cast<size_t>(width));
  }
  if (!dib.FinishRows()) return DIB_ERR_INTERNAL;
  return result;
}

// Whether every index an 8-bit DIB can hold maps to the grey level of the
// same value, so that its rows are already the samples of a grey file.
static bool HasIdentityGreyTable(const CDib& dib) {
  const size_t available =
      dib.HeaderBytes() > kBitmapInfoHeaderSize ? (dib.HeaderBytes() - kBitmapInfoHeaderSize) / 4 : 0;
  if (!dib.m_pColorTable || dib.m_nColors < 256 || available < 256) return false;
  for (int i = 0; i < 256; ++i) {
    const RGBQUAD& q = dib.m_pColorTable[i];
    if (q.rgbRed != i || q.rgbGreen != i || q.rgbBlue != i) return false;
  }
  return true;
}

// Rows that already hold the samples (24-bit colour, 8-bit grey with the
// identity table) go straight from the DIB to the file; everything else is
// converted through the pixel buffer.
int CDib::WritePNM(const std::string& name) {
  const BITMAPINFOHEADER* info = Header();
  if (!m_pBMI || !m_pBits || !info) return DIB_ERR_INTERNAL;
  const int bitCount = info->biBitCount;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) return DIB_ERR_INTERNAL;
  const CSize size = GetSize();
  const int planes = m_nColorType == DibGrey ? 1 : 3;
  if (planes != bitCount / 8 || (planes == 1 && !HasIdentityGreyTable(*this))) {
    // Grey levels are the table entries the indices name, which only the
    // identity table turns into the indices themselves.
    if (!MakePixels()) return DIB_ERR_INTERNAL;
    const int result = PnmWrite(m_pPixels.get(), size.cx, size.cy, planes, name);
    FreePixels();
    return result == PnmOk ? DIB_OK : result;
  }
  if (!SizeFits(size.cx, size.cy)) return PnmMismatch;
  PnmHeader header;
  header.kind = static_cast<int16_t>(planes == 1 ? 5 : 6);
  header.width = static_cast<int16_t>(size.cx);
  header.height = static_cast<int16_t>(size.cy);
  header.planes = static_cast<int16_t>(planes);

  StagedFile staged(name);
  // Rows are small; a large stream buffer keeps system calls few.
  std::vector<char> streamBuffer(kStreamBufferBytes);
  std::ofstream out;
  out.rdbuf()->pubsetbuf(streamBuffer.data(), static_cast<std::streamsize>(streamBuffer.size()));
  out.open(staged.TempName(), std::ios::binary | std::ios::trunc);
  if (!out) return PnmCannotOpen;
  PnmWriter writer(out);
  int result = WritePnmHeader(writer, header);
  const size_t rowBytes = static_cast<size_t>(size.cx) * static_cast<size_t>(planes);
  std::vector<BYTE> rgb(planes == 3 ? rowBytes : 0);
  for (int y = 0; y < size.cy && result == PnmOk; ++y) {
    const BYTE* row = TopDownRow(y);
    if (planes == 3) {
      SwapRedBlue(row, rgb.data(), static_cast<size_t>(size.cx));
      row = rgb.data();
    }
    size_t count = rowBytes;
    result = writer.write(row, count);
  }
  if (result != PnmOk) return result;
  out.close();
  if (out.fail()) return PnmShortData;
  return staged.Commit() ? DIB_OK : static_cast<int>(PnmShortData);
}
