#include "docview/QtDrawContext.h"

#include <QImage>
#include <QPaintDevice>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// The bitmap StretchDIBits reads, with its colour table turned into QRgb.
struct SourceDib {
  const BYTE* base = nullptr;
  size_t stride = 0;
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bitCount = 0;
  std::array<QRgb, 256> table{};
};

bool DescribeSource(const BITMAPINFO* info, const void* bits, SourceDib& src) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const int bitCount = h.biBitCount;
  if (h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN)
    return false;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
    return false;
  src.base = static_cast<const BYTE*>(bits);
  src.width = h.biWidth;
  src.topDown = h.biHeight < 0;
  src.height = src.topDown ? -h.biHeight : h.biHeight;
  src.bitCount = bitCount;
  src.stride = ((static_cast<size_t>(bitCount) * static_cast<size_t>(src.width) + 31) / 32) * 4;
  if (bitCount <= 8) {
    // Indices beyond the table draw black, as a screen device does.
    const size_t entries = h.biClrUsed ? h.biClrUsed : (size_t{1} << bitCount);
    const size_t used = entries < src.table.size() ? entries : src.table.size();
    src.table.fill(qRgb(0, 0, 0));
    for (size_t i = 0; i < used; ++i) {
      const RGBQUAD& q = info->bmiColors[i];
      src.table[i] = qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
  }
  return true;
}

// Converts the source pixels `cols` of stored row `row` into `out`.
void ConvertRow(const SourceDib& src, int row, const std::vector<int>& cols, QRgb* out) {
  const BYTE* line = src.base + src.stride * static_cast<size_t>(row);
  const size_t count = cols.size();
  switch (src.bitCount) {
    case 1:
      for (size_t i = 0; i < count; ++i) {
        const int x = cols[i];
        out[i] = src.table[(line[x >> 3] >> (7 - (x & 7))) & 1];
      }
      break;
    case 4:
      for (size_t i = 0; i < count; ++i) {
        const int x = cols[i];
        out[i] = src.table[(line[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
      }
      break;
    case 8:
      for (size_t i = 0; i < count; ++i)
        out[i] = src.table[line[cols[i]]];
      break;
    default: {
      const size_t step = static_cast<size_t>(src.bitCount / 8);
      for (size_t i = 0; i < count; ++i) {
        const BYTE* p = line + step * static_cast<size_t>(cols[i]);
        out[i] = qRgb(p[2], p[1], p[0]);
      }
    }
  }
}

// Offset `d` of a destination extent `dstExtent` lands on source offset
// d * srcExtent / dstExtent: nearest-neighbour, exact pixels when enlarging,
// one picked pixel per device pixel when reducing.
int MapOffset(int d, int srcExtent, int dstExtent) {
  return static_cast<int>(static_cast<int64_t>(d) * srcExtent / dstExtent);
}

}  // namespace

CQtDrawContext::CQtDrawContext(QPainter* painter, bool paletteDevice)
    : m_pPainter(painter), m_bPaletteDevice(paletteDevice) {}

bool CQtDrawContext::IsPaletteDevice() const { return m_bPaletteDevice; }

const CPalette* CQtDrawContext::SelectPalette(const CPalette* palette, bool) {
  const CPalette* old = m_pPalette;
  m_pPalette = palette;
  return old;
}

// The bitmaps drawn on a palette device already hold only the selected
// palette's colours (a grey table or the dithered display copy), so the
// mapping is the identity; what counts is how many entries there are.
UINT CQtDrawContext::RealizePalette() { return m_pPalette ? static_cast<UINT>(m_pPalette->Size()) : 0; }

int CQtDrawContext::SetStretchBltMode(int mode) {
  const int old = m_nStretchMode;
  m_nStretchMode = mode;
  return old;
}

QRect CQtDrawContext::clipRect() const {
  const QPaintDevice* device = m_pPainter->device();
  QRect area = device ? QRect(0, 0, device->width(), device->height()) : QRect();
  area = m_pPainter->worldTransform().inverted().mapRect(area);
  if (m_pPainter->hasClipping())
    area &= m_pPainter->clipBoundingRect().toAlignedRect();
  return area;
}

// Builds only the device pixels inside the clip: every visible device
// column and row is mapped to its source pixel once, runs of device rows
// that show the same source row are copied, and the result is one image of
// the visible size handed to the painter.
int CQtDrawContext::StretchDIBits(int xDst, int yDst, int cxDst, int cyDst, int xSrc, int ySrc, int cxSrc,
                                  int cySrc, const void* bits, const BITMAPINFO* info, UINT usage, DWORD) {
  m_nRowsConverted = 0;
  m_nPixelsConverted = 0;
  SourceDib src;
  if (!m_pPainter || !bits || !info || usage != DIB_RGB_COLORS || !DescribeSource(info, bits, src))
    return 0;
  if (cxDst <= 0 || cyDst <= 0 || cxSrc <= 0 || cySrc <= 0)
    return 0;
  QRect visible = QRect(xDst, yDst, cxDst, cyDst) & clipRect();
  if (visible.isEmpty())
    return 0;

  // Source columns of the visible device columns; those outside the bitmap
  // are left undrawn (the mapping is monotonic, so they sit at the ends).
  std::vector<int> cols;
  cols.reserve(static_cast<size_t>(visible.width()));
  int firstX = visible.right() + 1;
  for (int x = visible.left(); x <= visible.right(); ++x) {
    const int sx = xSrc + MapOffset(x - xDst, cxSrc, cxDst);
    if (sx < 0 || sx >= src.width)
      continue;
    if (cols.empty())
      firstX = x;
    cols.push_back(sx);
  }
  std::vector<int> rows;  // stored row of each visible device row, top first
  int firstY = visible.bottom() + 1;
  for (int y = visible.top(); y <= visible.bottom(); ++y) {
    // Device rows run downwards; the source rectangle's bottom row is ySrc.
    const int fromBottom = ySrc + MapOffset(cyDst - 1 - (y - yDst), cySrc, cyDst);
    if (fromBottom < 0 || fromBottom >= src.height)
      continue;
    if (rows.empty())
      firstY = y;
    rows.push_back(src.topDown ? src.height - 1 - fromBottom : fromBottom);
  }
  if (cols.empty() || rows.empty())
    return 0;

  QImage image(static_cast<int>(cols.size()), static_cast<int>(rows.size()), QImage::Format_RGB32);
  if (image.isNull())
    return 0;
  const size_t rowBytes = cols.size() * sizeof(QRgb);
  for (int i = 0; i < image.height(); ++i) {
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(i));
    if (i > 0 && rows[static_cast<size_t>(i)] == rows[static_cast<size_t>(i) - 1]) {
      std::memcpy(out, image.constScanLine(i - 1), rowBytes);
      continue;
    }
    ConvertRow(src, rows[static_cast<size_t>(i)], cols, out);
    ++m_nRowsConverted;
    m_nPixelsConverted += static_cast<long long>(cols.size());
  }
  m_pPainter->drawImage(QPoint(firstX, firstY), image);
  return image.height();
}
