// CDib: construction, release, ownership of its blocks, and layout.
#include "image/Dib.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "image/Limits.h"
#include "image/display/ColorQuantizer.h"
#include "image/display/DisplayDib.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

// Asks the kernel to back the whole 2 MiB stretches inside a large new block
// with huge pages, so that filling a photograph's bits takes a few dozen
// page faults instead of tens of thousands. Advice only: the block stays an
// ordinary new[] allocation, and a refusal changes nothing. Call it before
// the block is first written.
void PreferHugePages(BYTE* block, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  if (bytes < 4 * kHugePage) return;
  const uintptr_t start = reinterpret_cast<uintptr_t>(block);
  const uintptr_t begin = (start + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (start + bytes) & ~(kHugePage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace

CDib::CDib() = default;

CDib::CDib(int width, int height, int bitsPerPixel) {
  SetColorCount(bitsPerPixel);
  InstallNewHeader(width, height, bitsPerPixel);
}

BYTE* CDib::InstallNewHeader(int width, int height, int bitsPerPixel) {
  BYTE* block = AllocHeader(kBitmapInfoHeaderSize + 4 * static_cast<size_t>(m_nColors));
  if (!block) return nullptr;
  BITMAPINFOHEADER header{};
  header.biSize = kBitmapInfoHeaderSize;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bitsPerPixel);
  header.biCompression = BI_RGB;
  header.biClrUsed = static_cast<DWORD>(m_nColors);
  header.biClrImportant = static_cast<DWORD>(m_nColors);
  std::memcpy(block, &header, sizeof(header));
  m_pColorTable = reinterpret_cast<RGBQUAD*>(block + kBitmapInfoHeaderSize);
  return block;
}

CDib::~CDib() {
  m_pQuantizer.reset();
  m_pDisplayDib.reset();
  Free();
  FreePixels();
  FreeCompressed();
}

void CDib::Free() {
  m_headerBlock.reset();
  m_nHeaderBytes = 0;
  m_pBMI = nullptr;
  m_nHeaderOwner = HeaderOwnerNone;
  m_bitsBlock.reset();
  m_pBits = nullptr;
  m_bOwnBits = 0;
  m_hPalette.reset();
  m_hBitmap.reset();
  m_pColorTable = nullptr;
  m_nColors = 0;
  m_nImageSize = 0;
  m_nRowPadBits = 0;
  m_wRowBytes = 0;
}

void CDib::FreePixels() {
  m_pPixels.reset();
  m_nPixelBytes = 0;
}

void CDib::FreeCompressed() {
  m_pCompressed.reset();
  m_nCompressedLen = 0;
}

BYTE* CDib::AllocHeader(size_t bytes) {
  if (bytes < kBitmapInfoHeaderSize) bytes = kBitmapInfoHeaderSize;
  std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[bytes]());
  if (!block) return nullptr;
  m_headerBlock = std::move(block);
  m_nHeaderBytes = bytes;
  m_pBMI = m_headerBlock.get();
  m_nHeaderOwner = HeaderOwnerHeap;
  return m_pBMI;
}

BYTE* CDib::AllocBits(size_t bytes) {
  if (bytes == 0 || bytes > kMaxImageBytes) return nullptr;
  std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[bytes]);
  if (!block) return nullptr;
  PreferHugePages(block.get(), bytes);
  m_hBitmap.reset();
  m_bitsBlock = std::move(block);
  m_pBits = m_bitsBlock.get();
  m_bOwnBits = 1;
  return m_pBits;
}

bool CDib::AcceptsPixelCount(int64_t width, int64_t height) {
  if (WithinPixelLimit(width, height, m_nMaxPixels)) return true;
  ShowMessageTo(m_pMessageSink, PixelLimitMessage(width, height, m_nMaxPixels), "", MB_ICONERROR);
  return false;
}

int CDib::RefusalResult(const PixelLimit& limit, int otherwise) {
  if (!limit.Refused()) return otherwise;
  ShowMessageTo(m_pMessageSink, limit.Message(), "", MB_ICONERROR);
  return DIB_ERR_TOO_LARGE;
}

bool CDib::AllocPixelBuffer(size_t bytes) {
  FreePixels();
  if (bytes == 0 || bytes > kMaxImageBytes) return false;
  m_pPixels.reset(new (std::nothrow) BYTE[bytes]());
  if (!m_pPixels) return false;
  m_nPixelBytes = bytes;
  return true;
}

bool CDib::EnsurePixelBuffer(size_t bytes) {
  if (m_pPixels && m_nPixelBytes == bytes) return true;
  FreePixels();
  if (bytes == 0 || bytes > kMaxImageBytes) return false;
  m_pPixels.reset(new (std::nothrow) BYTE[bytes]);
  if (!m_pPixels) return false;
  PreferHugePages(m_pPixels.get(), bytes);
  m_nPixelBytes = bytes;
  return true;
}

void CDib::AdoptPixels(std::unique_ptr<BYTE[]> pixels, size_t bytes) {
  m_pPixels = std::move(pixels);
  m_nPixelBytes = m_pPixels ? bytes : 0;
}

void CDib::SetColorCount(int bitsPerPixel) {
  const BITMAPINFOHEADER* header = Header();
  if (header && header->biClrUsed != 0) {
    m_nColors = static_cast<int>(std::min<DWORD>(header->biClrUsed, 0x7FFFFFFF));
    return;
  }
  switch (bitsPerPixel) {
    case 1: m_nColors = 2; break;
    case 4: m_nColors = 16; break;
    case 8: m_nColors = 256; break;
    case 16:
    case 24:
    case 32: m_nColors = 0; break;
    default: break;
  }
}

// Derives the bits size, table position and row figures from the header.
// Sizes are computed in 64 bits and checked against the image limits, so a
// hostile header can only make this fail. An uncompressed image never gets
// a bits size below what its rows need, whatever biSizeImage claims; a
// negative height (top-down rows) counts by its magnitude.
BOOL CDib::ComputeLayout() {
  BITMAPINFOHEADER* header = Header();
  if (!header || header->biSize != kBitmapInfoHeaderSize) return FALSE;
  const int64_t width = header->biWidth;
  const int64_t height = std::llabs(static_cast<int64_t>(header->biHeight));
  const int64_t bitCount = header->biBitCount;
  if (width <= 0 || height <= 0 || width > kMaxImageDimension || height > kMaxImageDimension) return FALSE;
  if (bitCount <= 0 || bitCount > 32) return FALSE;

  const uint64_t rowsSize = DibStride(width, bitCount) * static_cast<uint64_t>(height);
  uint64_t imageSize = header->biSizeImage;
  if (imageSize == 0 || (header->biCompression == BI_RGB && imageSize < rowsSize)) imageSize = rowsSize;
  if (imageSize > kMaxImageBytes) return FALSE;

  m_nImageSize = static_cast<DWORD>(imageSize);
  m_pColorTable = reinterpret_cast<RGBQUAD*>(m_pBMI + kBitmapInfoHeaderSize);
  const int64_t unpadded = (bitCount / 8) * width;
  const int64_t padBytes = static_cast<int64_t>(m_nImageSize / height) - unpadded;
  m_nRowPadBits = static_cast<DWORD>(padBytes > 0 ? padBytes * 8 : 0);
  m_wRowBytes = static_cast<WORD>(unpadded);
  return TRUE;
}

CSize CDib::GetSize() const {
  const BITMAPINFOHEADER* header = Header();
  if (!header) return CSize{0, 0};
  return CSize{header->biWidth, header->biHeight};
}

size_t CDib::RowBytes() const {
  const BITMAPINFOHEADER* header = Header();
  if (!header || header->biWidth <= 0) return 0;
  return static_cast<size_t>(header->biBitCount / 8) * static_cast<size_t>(header->biWidth);
}

BOOL CDib::IsGreyPalette() const {
  if (!m_pColorTable) return TRUE;
  const size_t available = m_nHeaderBytes > kBitmapInfoHeaderSize ? (m_nHeaderBytes - kBitmapInfoHeaderSize) / 4 : 0;
  const size_t count = std::min(static_cast<size_t>(std::max(m_nColors, 0)), available);
  for (size_t i = 0; i < count; ++i) {
    const RGBQUAD& q = m_pColorTable[i];
    if (q.rgbRed != q.rgbGreen || q.rgbGreen != q.rgbBlue) return FALSE;
  }
  return TRUE;
}

BOOL CDib::IsGreyPixels(int width, int height) const {
  if (!m_pPixels || width <= 0 || height <= 0) return FALSE;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (count > m_nPixelBytes / 3) return FALSE;
  const BYTE* p = m_pPixels.get();
  for (size_t i = 0; i < count; ++i, p += 3) {
    if (p[0] != p[1] || p[1] != p[2]) return FALSE;
  }
  return TRUE;
}

int CDib::AllocPixels() {
  const BITMAPINFOHEADER* header = Header();
  if (m_nHeaderOwner != HeaderOwnerNone && header) {
    size_t bytes = 0;
    if (CheckedImageBytes(header->biWidth, std::llabs(static_cast<int64_t>(header->biHeight)),
                          header->biBitCount / 8, bytes)) {
      AllocPixelBuffer(bytes);
    }
  }
  return m_pPixels != nullptr;
}
