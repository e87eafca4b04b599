// The .tvx operations of CDib: each binds a file or a memory block to one
// codec job between TXinit and TXterminate, moves pixels between m_pPixels
// and the codec, and takes the file's header records over after a complete
// decode. Resources (streams, job, header copies, the TXinit itself) are held
// by small guards, so every path out of an operation releases them.
#include <climits>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <streambuf>

#include "image/Dib.h"
#include "image/Limits.h"
#include "image/staged_file.h"

namespace {

constexpr int kCodecVersion = 4;

// TXinit ... TXterminate.
class CodecSession {
public:
  CodecSession() : m_result(TXinit(kCodecVersion, nullptr)) {}
  ~CodecSession() {
    if (m_result == TX_OK) TXterminate();
  }
  CodecSession(const CodecSession&) = delete;
  CodecSession& operator=(const CodecSession&) = delete;
  int Result() const { return m_result; }

private:
  int m_result;
};

class JobGuard {
public:
  JobGuard() = default;
  ~JobGuard() {
    if (job != nullptr) TXendJob(job);
  }
  JobGuard(const JobGuard&) = delete;
  JobGuard& operator=(const JobGuard&) = delete;
  TXjob* job = nullptr;
};

class HeaderGuard {
public:
  HeaderGuard() = default;
  ~HeaderGuard() {
    if (image != nullptr || compression != nullptr) TXdisposeParams(image, compression);
  }
  HeaderGuard(const HeaderGuard&) = delete;
  HeaderGuard& operator=(const HeaderGuard&) = delete;
  TXimageParams* image = nullptr;
  TXcompressionParams* compression = nullptr;
};

// A read-only stream buffer over a block of memory (seekable).
class MemoryReadBuffer : public std::streambuf {
public:
  MemoryReadBuffer(const BYTE* data, size_t size) {
    char* begin = reinterpret_cast<char*>(const_cast<BYTE*>(data));
    setg(begin, begin, begin + size);
  }

protected:
  pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    const off_type size = egptr() - eback();
    off_type target = offset;
    if (dir == std::ios_base::cur) target += gptr() - eback();
    else if (dir == std::ios_base::end) target += size;
    if (target < 0 || target > size) return pos_type(off_type(-1));
    setg(eback(), eback() + target, egptr());
    return pos_type(target);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode mode) override {
    return seekoff(off_type(pos), std::ios_base::beg, mode);
  }
};

// Clears the caller's preview stream of everything this operation lent it,
// so that it holds no pointer to a stream or buffer that is about to go.
class PreviewStreamLoan {
public:
  explicit PreviewStreamLoan(TXpreviewInputStream& stream) : m_stream(stream) {}
  ~PreviewStreamLoan() {
    m_stream.stream = nullptr;
    m_stream.setExternalBuffer(nullptr, 0, 0, 0);
  }
  PreviewStreamLoan(const PreviewStreamLoan&) = delete;
  PreviewStreamLoan& operator=(const PreviewStreamLoan&) = delete;

private:
  TXpreviewInputStream& m_stream;
};

// Frees a CDib's pixel buffer when the operation ends, however it ends.
class PixelRelease {
public:
  explicit PixelRelease(CDib& dib) : m_dib(dib) {}
  ~PixelRelease() { m_dib.FreePixels(); }
  PixelRelease(const PixelRelease&) = delete;
  PixelRelease& operator=(const PixelRelease&) = delete;

private:
  CDib& m_dib;
};

bool ModelTakes(int bits, int planes) { return bits >= 1 && bits <= 8 && (planes == 1 || planes == 3); }

// Opens `name` for the probe and the read: file length into `fileSize`,
// positioned at offset 0. False when the file cannot be opened or measured.
bool OpenCodecFile(const std::string& name, std::ifstream& file, DWORD& fileSize) {
  file.open(name, std::ios::in | std::ios::binary);
  if (!file) return false;
  file.seekg(0, std::ios::end);
  const std::streamoff length = file.tellg();
  if (length < 0) return false;
  fileSize = length > static_cast<std::streamoff>(UINT32_MAX) ? UINT32_MAX : static_cast<DWORD>(length);
  file.seekg(0, std::ios::beg);
  return static_cast<bool>(file);
}

// Header of a decoding job, with bits and planes of its colour type.
int ReadCodecHeader(TXinputStream& input, JobGuard& job, HeaderGuard& header, int& bits, int& planes) {
  int r = TXdecompressionJob(job.job, input);
  if (r != TX_OK) return r;
  r = TXreadHeader(job.job, header.image, header.compression);
  if (r != TX_OK) return r;
  bits = TXgetBitsPerPlane(header.image->colorType);
  planes = TXgetNumberOfPlanes(header.image->colorType);
  return TX_OK;
}

// The model's pixel buffer for a decoded header. Rows wider than 16 bits
// are fine: the codec takes a long.
struct ModelGeometry {
  int width = 0;
  int height = 0;
  long rowBytes = 0;
  size_t bytes = 0;
};

bool ModelGeometryFor(const TXimageParams& image, int bits, int planes, ModelGeometry& geometry) {
  geometry.width = image.width;
  geometry.height = image.height;
  const int bytesPerPixel = planes * ((bits + 7) >> 3);
  geometry.rowBytes = static_cast<long>(bytesPerPixel) * image.width;
  return CheckedImageBytes(geometry.width, geometry.height, bytesPerPixel, geometry.bytes);
}

// After a complete decode into the pixel buffer: builds the DIB and takes
// over the file's records and the codec's compressed size.
int TakeOverDecodedImage(CDib& dib, const ModelGeometry& geometry, const HeaderGuard& header, long compressedSize) {
  const int bitsPerPixel = static_cast<int>(dib.m_nPlanes) * dib.m_nBitsPerPlane;
  if (!dib.CreateFromPixels(geometry.width, geometry.height, bitsPerPixel)) return DIB_ERR_INTERNAL;
  dib.m_imageParams = *header.image;
  dib.m_compressionParams = *header.compression;
  dib.m_nCompressedSize = compressedSize > 0 ? static_cast<DWORD>(compressedSize) : 0;
  return DIB_OK;
}

}  // namespace

bool CDib::AcceptsCodecImage(TXjob* job, const TXimageParams& image) {
  if (!AcceptsPixelCount(image.width, image.height)) return false;
  TXsetPixelLimit(job, m_nMaxPixels);
  return true;
}

int CDib::ProbeTvx(const std::string& name) {
  std::ifstream file;
  TXinputStream input(nullptr);
  CodecSession session;
  if (session.Result() != TX_OK) return session.Result();
  if (!OpenCodecFile(name, file, m_nFileSize) || m_nFileSize < 2) return DIB_ERR_INTERNAL;
  input.stream = &file;
  JobGuard job;
  HeaderGuard header;
  int bits = 0, planes = 0;
  const int r = ReadCodecHeader(input, job, header, bits, planes);
  if (r != TX_OK) return r;
  return ModelTakes(bits, planes) ? DIB_OK : DIB_ERR_FORMAT;
}

int CDib::ReadTvx(const std::string& name, TXprogress* progress) {
  std::ifstream file;
  TXinputStream input(nullptr);
  CodecSession session;
  if (session.Result() != TX_OK) return session.Result();
  DWORD fileSize = 0;
  if (!OpenCodecFile(name, file, fileSize)) return DIB_ERR_INTERNAL;
  m_nFileSize = fileSize;
  input.stream = &file;
  JobGuard job;
  HeaderGuard header;
  int bits = 0, planes = 0;
  int r = ReadCodecHeader(input, job, header, bits, planes);
  if (r != TX_OK) return r;
  if (!ModelTakes(bits, planes)) return DIB_ERR_FORMAT;

  if (!AcceptsCodecImage(job.job, *header.image)) return DIB_ERR_TOO_LARGE;
  // Decode into a buffer of our own: the image keeps its old pixels and
  // records until the decode has succeeded.
  ModelGeometry geometry;
  if (!ModelGeometryFor(*header.image, bits, planes, geometry)) return DIB_ERR_MEMORY;
  // Not cleared: the codec writes every pixel, and untouched pages cost
  // nothing while the coefficients take the memory.
  std::unique_ptr<BYTE[]> pixels(new (std::nothrow) BYTE[geometry.bytes]);
  if (!pixels) return DIB_ERR_MEMORY;
  if (progress != nullptr) progress->setTaskLimit(header.image, header.compression, static_cast<long>(m_nFileSize));
  r = TXreadImage(job.job, pixels.get(), geometry.rowBytes, 0, progress);
  if (r != TX_OK) return r;
  const long compressedSize = TXgetCompressedSize(job.job);
  TXendJob(job.job);
  file.close();

  m_nPlanes = static_cast<DWORD>(planes);
  m_nBitsPerPlane = (bits + 7) & ~7;
  m_nColorType = planes == 1 ? DibGrey : DibRGB;
  AdoptPixels(std::move(pixels), geometry.bytes);
  PixelRelease release(*this);
  return TakeOverDecodedImage(*this, geometry, header, compressedSize);
}

namespace {

// The image record the codec gets: the caller's, with the geometry of the
// pixel buffer actually handed over (the codec reads exactly that much).
TXimageParams RecordForPixels(const TXimageParams& given, int width, int height, bool grey) {
  TXimageParams image = given;
  image.width = static_cast<uint16_t>(width);
  image.height = static_cast<uint16_t>(height);
  if (grey) {
    if (image.colorType != TXcolorGrey8Alt) image.colorType = TXcolorGrey8;
  } else {
    image.colorType = TXcolorRGB24;
  }
  return image;
}

int EncodeInto(std::ostream& out, const TXimageParams& image, const TXcompressionParams& compression,
               const BYTE* pixels, long rowBytes, TXprogress* progress) {
  JobGuard job;
  int r = TXcompressionJob(job.job, out);
  if (r != TX_OK) return r;
  r = TXwriteHeader(job.job, image, compression);
  if (r != TX_OK) return r;
  r = TXwriteImage(job.job, pixels, rowBytes, 0, progress);
  if (r != TX_OK) return r;
  return TXendJob(job.job);
}

}  // namespace

int CDib::WriteTvx(const std::string& name, TXprogress* progress) {
  if (!MakePixels()) return DIB_ERR_IO;
  PixelRelease release(*this);
  CodecSession session;
  if (session.Result() != TX_OK) return session.Result();
  const BITMAPINFOHEADER* header = Header();
  const bool grey = m_nColorType == DibGrey;
  const long rowBytes = (grey ? 1L : 3L) * header->biWidth;
  const TXimageParams image = RecordForPixels(m_imageParams, header->biWidth, header->biHeight, grey);
  // Written under a temporary name and moved into place when complete, so a
  // failed write never leaves a truncated .tvx (or destroys an old one).
  StagedFile staged(name);
  std::ofstream file(staged.TempName(), std::ios::out | std::ios::binary | std::ios::trunc);
  if (!file) return DIB_ERR_INTERNAL;
  const int r = EncodeInto(file, image, m_compressionParams, m_pPixels.get(), rowBytes, progress);
  if (r != TX_OK) return r;
  file.close();
  if (!file || !staged.Commit()) return DIB_ERR_IO;
  return DIB_OK;
}

int CDib::CompressToMemory(CDib* target, TXprogress* progress) {
  std::ostringstream memory(std::ios::out | std::ios::binary);
  if (!MakePixels()) return DIB_ERR_IO;
  PixelRelease release(*this);
  if (target == nullptr) return DIB_ERR_INTERNAL;
  CodecSession session;
  if (session.Result() != TX_OK) return session.Result();
  const BITMAPINFOHEADER* header = Header();
  const bool grey = m_nColorType == DibGrey;
  const long rowBytes = (grey ? 1L : 3L) * header->biWidth;
  const TXimageParams image = RecordForPixels(m_imageParams, header->biWidth, header->biHeight, grey);
  const int r = EncodeInto(memory, image, m_compressionParams, m_pPixels.get(), rowBytes, progress);
  if (r != TX_OK) return r;
  const std::string bytes = memory.str();
  if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) return DIB_ERR_INTERNAL;
  std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[bytes.size()]);
  if (!block) return DIB_ERR_INTERNAL;
  std::memcpy(block.get(), bytes.data(), bytes.size());
  target->m_pCompressed = std::move(block);
  target->m_nCompressedLen = static_cast<int>(bytes.size());
  return DIB_OK;
}

int CDib::DecompressFromMemory(TXpreviewInputStream& stream, TXprogress* progress) {
  CodecSession session;
  if (session.Result() != TX_OK) return session.Result();
  if (!m_pCompressed || m_nCompressedLen <= 0) return DIB_ERR_INTERNAL;
  MemoryReadBuffer memoryBuffer(m_pCompressed.get(), static_cast<size_t>(m_nCompressedLen));
  std::istream memory(&memoryBuffer);
  memory.seekg(0);
  PreviewStreamLoan loan(stream);
  stream.stream = &memory;
  stream.setBuffer(2048);
  stream.setTransferSize(512);
  JobGuard job;
  HeaderGuard header;
  int bits = 0, planes = 0;
  int r = ReadCodecHeader(stream, job, header, bits, planes);
  if (r != TX_OK) return r;
  // 16-bit samples do not fit the model's 8-bit pixel buffer.
  if (!ModelTakes(bits, planes)) return DIB_ERR_FORMAT;
  if (!AcceptsCodecImage(job.job, *header.image)) return DIB_ERR_TOO_LARGE;
  ModelGeometry geometry;
  if (!ModelGeometryFor(*header.image, bits, planes, geometry) || !AllocPixelBuffer(geometry.bytes)) {
    return DIB_ERR_MEMORY;
  }
  PixelRelease release(*this);
  m_nPlanes = static_cast<DWORD>(planes);
  m_nBitsPerPlane = (bits + 7) & ~7;
  m_nColorType = planes == 1 ? DibGrey : DibRGB;
  // Previews land in the image's own pixel buffer.
  stream.setExternalBuffer(m_pPixels.get(), geometry.width, geometry.height, geometry.rowBytes);
  if (progress != nullptr) progress->setTaskLimit(header.image, header.compression, static_cast<long>(m_nFileSize));
  r = TXreadImage(job.job, m_pPixels.get(), geometry.rowBytes, 0, progress);
  if (r != TX_OK) return r;
  const long compressedSize = TXgetCompressedSize(job.job);
  TXendJob(job.job);
  return TakeOverDecodedImage(*this, geometry, header, compressedSize);
}
