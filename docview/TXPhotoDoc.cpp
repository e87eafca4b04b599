#include "docview/TXPhotoDoc.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>

#include "app/MainFrame.h"
#include "app/TXPhotoApp.h"
#include "docview/DocumentLoader.h"
#include "image/Dib.h"
#include "image/Limits.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

// Our own text for a file that cannot be opened at all (the string table has
// none for it).
const char kCannotOpen[] = "Cannot open the file '%1'.";
const char kClipboardBmp[] = "image/bmp";

class CWaitCursor {
public:
  CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};

void ShowReady() {
  if (CMainFrame* frame = MainFrameOrNull())
    frame->SetIdleText();
}

// String `id` as a printf format with one argument.
QString Format(int id, int value) { return QString::asprintf(LoadStringResource(id).toUtf8().constData(), value); }
QString Format(int id, const QString& value) {
  return QString::asprintf(LoadStringResource(id).toUtf8().constData(), value.toUtf8().constData());
}

void TakeNames(CTXPhotoDoc& doc, const QFileInfo& info) {
  doc.m_strFilePath = info.absoluteFilePath();
  doc.m_strFileName = info.fileName();
  const qsizetype first = doc.m_strFileName.indexOf(QLatin1Char('.'));
  const qsizetype last = doc.m_strFileName.lastIndexOf(QLatin1Char('.'));
  doc.m_strBaseName = first < 0 ? doc.m_strFileName : doc.m_strFileName.left(first);
  doc.m_strExt = last < 0 ? QString() : doc.m_strFileName.mid(last + 1);
}

// Loads the open file into the document's image by its extension. An empty
// file counts as damaged, and so does an image that cannot be allocated: an
// exception (memory running out on a huge image) ends the load with a result
// code instead of leaving it.
int LoadByExtension(CTXPhotoDoc& doc, std::ifstream& file, qint64 length) {
  if (!doc.m_pDib)
    return DIB_ERR_MEMORY;
  if (length <= 0)
    return DIB_ERR_IO;
  doc.m_pDib->m_nFileSize = static_cast<DWORD>(std::min<qint64>(length, 0xFFFFFFFF));
  const CFormatReader* reader = FindFormatReader(doc.m_strExt);
  if (!reader) {
    ShowDocumentMessage(Format(IDS_FORMAT_NOT_HANDLED_EXT, QStringLiteral("  *.") + doc.m_strExt),
                        QMessageBox::Warning);
    return DIB_ERR_FORMAT;
  }
  doc.m_nFormat = ReaderFormat(*reader);
  const CLoadSource source{QFile::encodeName(doc.m_strFilePath).toStdString(), &file};
  CWaitCursor wait;
  try {
    const int result = RunFormatReader(*reader, *doc.m_pDib, source, DocumentMessageSink());
    if (result == DIB_OK && doc.m_nFormat == FormatTvx)
      doc.BuildCompressionInfo();
    return result;
  } catch (const std::bad_alloc&) {
    return DIB_ERR_MEMORY;
  } catch (...) {
    return DIB_ERR_INTERNAL;
  }
}

void ReportLoadResult(const CTXPhotoDoc& doc) {
  // A refused size was already explained by the reader's own message.
  if (doc.m_nResult == DIB_ERR_TOO_LARGE)
    return;
  if (doc.m_nResult == DIB_ERR_FORMAT)
    ShowDocumentMessage(LoadStringResource(IDS_FORMAT_NOT_HANDLED), QMessageBox::Critical);
  else if (doc.m_nResult != DIB_OK)
    ShowDocumentMessage(Format(IDS_FILE_CORRUPTED, doc.m_strFilePath), QMessageBox::Critical);
}

// ---- compression description

// Uncompressed bytes per compressed byte; 0 without a file size.
double CompressionRatio(const CDib& dib) {
  if (dib.m_nFileSize == 0)
    return 0;
  const double height = std::abs(static_cast<double>(dib.Header()->biHeight));
  return static_cast<double>(dib.RowBytes()) * height / static_cast<double>(dib.m_nFileSize);
}

// The quality factor Q from the 16.16 value x that the Quality settings store.
int QualityFactor(int32_t target) {
  const double x = static_cast<double>(static_cast<uint32_t>(target)) / 65536.0;
  return static_cast<int>(50.0 * std::pow(0.02, (x - 1.0) / 49.0) + 0.5);
}

struct WaveletNames {
  const char* shortPiece;
  const char* longPiece;
};
constexpr WaveletNames kWavelets[] = {
    {" = 9/7", "): 9/7 Filter"},  {" = 18/10", "): 18/10 Filter"},     {" = Mixed", "): Mixed Filter"},
    {" = SP", "): SP Transformation"}, {" = 9/7 L", "): 9/7 Lifted Filter"}, {" = TS", "): TS Transformation"},
    {" = 5/3", "): 5/3 Filter"},
};

// S for standard coding; else F and, for quality mode, R or E by the
// progression order; then D while colour downsampling is on.
QString CodingLetters(const TXcompressionParams& params) {
  QString letters;
  if ((params.codecType & 0x3F) == TXcodecStandard) {
    letters = LoadStringResource(IDS_LAYER_STANDARD);
  } else {
    letters = LoadStringResource(IDS_LAYER_FAST);
    if (params.mode == TXmodeQuality)
      letters += LoadStringResource(params.codecType & TXcodecResolution ? IDS_LAYER_RESOLUTION : IDS_LAYER_EMBEDDED);
  }
  if (!(params.codecType & TXcodecNoDownsampling))
    letters += LoadStringResource(IDS_LAYER_DOWNSAMPLING);
  return letters;
}

// ---- clipboard

// A packed DIB from .bmp file bytes: the file header goes, and the bits are
// moved up to the table's end when the file placed them elsewhere.
QByteArray PackedFromBmpFile(const QByteArray& bytes) {
  if (bytes.size() < qsizetype(kBitmapFileHeaderSize + kBitmapInfoHeaderSize))
    return bytes.mid(kBitmapFileHeaderSize);
  const auto* data = reinterpret_cast<const BYTE*>(bytes.constData());
  const uint64_t offBits = ReadFileHeader(data).bfOffBits;
  const BITMAPINFOHEADER header = ReadInfoHeader(data + kBitmapFileHeaderSize);
  const uint64_t entries = header.biClrUsed ? header.biClrUsed : (header.biBitCount <= 8 ? 1u << header.biBitCount : 0);
  const uint64_t tableEnd = kBitmapFileHeaderSize + uint64_t{header.biSize} + 4 * entries;
  if (offBits <= tableEnd || offBits >= uint64_t(bytes.size()))
    return bytes.mid(kBitmapFileHeaderSize);
  return bytes.mid(kBitmapFileHeaderSize, qsizetype(tableEnd - kBitmapFileHeaderSize)) + bytes.mid(qsizetype(offBits));
}

// A packed DIB from an image: 8-bit with a grey table for grey images,
// otherwise 24-bit; rows bottom-up, padded to 4 bytes. Empty when too big.
QByteArray PackedFromImage(const QImage& image) {
  const int width = image.width();
  const int height = image.height();
  const bool grey = image.isGrayscale();
  const int bits = grey ? 8 : 24;
  const uint64_t stride = DibStride(width, bits);
  if (image.isNull() || width > kMaxImageDimension || height > kMaxImageDimension ||
      stride * uint64_t(height) > kMaxImageBytes)
    return {};
  const QImage rows = image.convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
  const size_t tableBytes = grey ? 256 * 4 : 0;
  QByteArray block(qsizetype(kBitmapInfoHeaderSize + tableBytes + stride * height), '\0');
  auto* out = reinterpret_cast<BYTE*>(block.data());
  BITMAPINFOHEADER header{};
  header.biSize = kBitmapInfoHeaderSize;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = WORD(bits);
  header.biCompression = BI_RGB;
  header.biSizeImage = DWORD(stride * height);
  header.biClrUsed = grey ? 256 : 0;
  WriteInfoHeader(header, out);
  BYTE* table = out + kBitmapInfoHeaderSize;
  for (size_t i = 0; i < tableBytes / 4; ++i)
    std::memset(table + 4 * i, int(i), 3);
  BYTE* bitsStart = table + tableBytes;
  for (int y = 0; y < height; ++y) {
    BYTE* row = bitsStart + stride * size_t(height - 1 - y);
    if (grey)
      std::memcpy(row, rows.constScanLine(y), size_t(width));
    else
      CDib::SwapRedBlue(rows.constScanLine(y), row, size_t(width));
  }
  return block;
}

int LoadPacked(CDib& dib, const QByteArray& packed) {
  if (packed.isEmpty() || packed.size() > qsizetype(kMaxImageBytes))
    return DIB_ERR_INTERNAL;
  return dib.LoadPackedDib(packed.constData(), nullptr, int(packed.size()));
}

// The clipboard's "image/bmp" first; any other image it offers when that
// is missing or unreadable.
int LoadClipboardImage(CDib& dib, const QMimeData& data) {
  int result = DIB_ERR_INTERNAL;
  if (data.hasFormat(QLatin1String(kClipboardBmp))) {
    const QByteArray bytes = data.data(QLatin1String(kClipboardBmp));
    result = LoadPacked(dib, bytes.startsWith("BM") ? PackedFromBmpFile(bytes) : bytes);
  }
  if (result != DIB_OK && data.hasImage())
    result = LoadPacked(dib, PackedFromImage(qvariant_cast<QImage>(data.imageData())));
  return result;
}

}  // namespace

CTXPhotoDoc::CTXPhotoDoc() : m_pDib(new (std::nothrow) CDib) {
  if (CTXPhotoApp* app = CTXPhotoApp::Instance(); app && m_pDib)
    m_pDib->SetPaletteDisplay(app->IsPaletteDisplay());
}

CTXPhotoDoc::~CTXPhotoDoc() { DeletePreviewDlg(); }

bool CTXPhotoDoc::OnOpenDocument(const QString& path) {
  const QFileInfo info(path);
  std::ifstream file;
  if (info.isFile())
    file.open(QFile::encodeName(info.absoluteFilePath()).toStdString(), std::ios::in | std::ios::binary);
  if (!file.is_open()) {
    m_pDib.reset();
    ShowReady();
    ShowDocumentMessage(QString::fromLatin1(kCannotOpen).arg(info.absoluteFilePath()), QMessageBox::Critical);
    return false;
  }
  SetModifiedFlag(true);
  TakeNames(*this, info);
  m_nResult = LoadByExtension(*this, file, info.size());
  file.close();
  ShowReady();
  SetTitle(m_strFileName);
  ReportLoadResult(*this);
  if (m_nResult != DIB_OK) {
    m_pDib.reset();
    return false;
  }
  SetModifiedFlag(false);
  return true;
}

bool CTXPhotoDoc::PasteFromClipboard() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !(data->hasFormat(QLatin1String(kClipboardBmp)) || data->hasImage()))
    return false;
  int result = DIB_ERR_MEMORY;
  try {
    if (m_pDib)
      result = LoadClipboardImage(*m_pDib, *data);
  } catch (...) {
    result = DIB_ERR_MEMORY;
  }
  if (result != DIB_OK) {
    m_pDib.reset();
    ShowDocumentMessage(LoadStringResource(IDS_PASTE_FAILED), QMessageBox::Warning);
    return false;
  }
  m_strBaseName = m_strFilePath = m_strFileName = LoadStringResource(IDS_CLIPBOARD_NAME);
  m_strExt = QStringLiteral(".*");
  m_nFormat = FormatClipboard;
  SetModifiedFlag(false);
  return true;
}

void CTXPhotoDoc::BuildCompressionInfo() {
  m_strInfoShort.clear();
  m_strInfoLong.clear();
  if (!m_pDib || !m_pDib->Header())
    return;
  const CDib& dib = *m_pDib;
  const TXcompressionParams& params = dib.m_compressionParams;
  const QString gap = QStringLiteral("  ");
  m_strInfoShort = LoadStringResource(IDS_INFO_R) + QString::asprintf(" = %.0f : 1", CompressionRatio(dib));
  if (params.mode == TXmodeFileSize) {
    m_strInfoLong = Format(IDS_INFO_MODE_FILESIZE, int(dib.m_nFileSize));
  } else if (params.mode == TXmodeQuality) {
    const int quality = QualityFactor(params.target);
    m_strInfoShort += gap + LoadStringResource(IDS_INFO_Q) + QString::asprintf(" = %d", quality);
    m_strInfoLong = Format(IDS_INFO_MODE_QUALITY, quality);
  } else if (params.mode == TXmodeLossless) {
    m_strInfoShort += gap + LoadStringResource(IDS_INFO_LL);
    m_strInfoLong = LoadStringResource(IDS_INFO_MODE_LOSSLESS);
  }
  if (dib.Header()->biBitCount == 24) {
    const int colourPortion = 100 - params.portion;
    m_strInfoShort += gap + LoadStringResource(IDS_INFO_C) + QString::asprintf(" = %d", colourPortion);
    m_strInfoLong += Format(IDS_INFO_COLOR_PORTION, colourPortion);
  }
  const QString wavelet = LoadStringResource(IDS_INFO_W);
  m_strInfoShort += gap + wavelet;
  m_strInfoLong += QStringLiteral("Wavelet (") + wavelet;
  if (params.waveletType < std::size(kWavelets)) {
    m_strInfoShort += QLatin1String(kWavelets[params.waveletType].shortPiece);
    m_strInfoLong += QLatin1String(kWavelets[params.waveletType].longPiece);
  }
  if (params.mode == TXmodeFileSize || params.mode == TXmodeQuality) {
    const QString letters = CodingLetters(params);
    m_strInfoShort += gap + letters;
    m_strInfoLong += QStringLiteral("\nCoding Layer: ") + letters;
  }
}

void CTXPhotoDoc::SetTitle(const QString& title) {
  if (title == m_strTitle)
    return;
  m_strTitle = title;
  emit titleChanged(title);
}

void CTXPhotoDoc::RemoveFrame() {
  if (--m_nFrames <= 0)
    deleteLater();
}
