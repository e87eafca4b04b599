// The image commands of a view: export to BMP, TIFF, JPEG or PNM, copy to
// the clipboard, the Image Information dialog, and the size gate of the
// compression commands.
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QMessageBox>
#include <QMimeData>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>

#include "app/FileDialogEx.h"
#include "app/MainFrame.h"
#include "app/ProgressBar.h"
#include "app/TXPhotoApp.h"
#include "compression/ImageInfoDlg.h"
#include "compression/JpegQualityDlg.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "docview/SaveNames.h"
#include "image/Dib.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

const char kExportFilter[] = "BMP (*.bmp)|*.bmp|TIFF (*.tif)|*.tif|JPEG (*.jpg)|*.jpg|PNM (*.pnm)|*.pnm||";
constexpr int kExportFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
constexpr int kMinCompressSize = 32;

// Export formats by their 1-based filter index.
enum ExportFormat : int { ExportBMP = 1, ExportTIFF = 2, ExportJPEG = 3, ExportPNM = 4 };

struct ExportType {
  const char* name;       // in the palette-loss question
  const char* extension;  // of the written file
};
constexpr ExportType kExportTypes[] = {{"BMP", ".bmp"}, {"TIFF", ".tif"}, {"JPEG", ".jpg"}, {"PNM", ".pnm"}};

CMainFrame* MainFrame() {
  CTXPhotoApp* app = CTXPhotoApp::Instance();
  return app ? app->MainFrame() : nullptr;
}

QString Formatted(int id, const QString& text) {
  return QString::asprintf(LoadStringResource(id).toUtf8().constData(), text.toUtf8().constData());
}

QString Formatted(int id, int value) { return QString::asprintf(LoadStringResource(id).toUtf8().constData(), value); }

QMessageBox::StandardButton Ask(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton) {
  return QMessageBox::warning(parent, LoadStringResource(AFX_IDS_APP_TITLE), text, buttons, defaultButton);
}

void Warn(QWidget* parent, const QString& text) { Ask(parent, text, QMessageBox::Ok, QMessageBox::Ok); }

QString ExportPath(const QString& chosen, const char* extension) {
  return PathWithExtension(chosen, QLatin1String(extension));
}

// Wait cursor and a text in the main status bar's first pane while a
// writer without progress runs.
class CStatusTextOperation {
public:
  explicit CStatusTextOperation(int textId) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (CMainFrame* frame = MainFrame())
      frame->SetMessageText(LoadStringResource(textId));
  }
  ~CStatusTextOperation() { QApplication::restoreOverrideCursor(); }
  CStatusTextOperation(const CStatusTextOperation&) = delete;
  CStatusTextOperation& operator=(const CStatusTextOperation&) = delete;
};

// Runs the format's writer with its feedback. Every writer builds the file
// under a temporary name and moves it into place only when it is complete.
int WriteExport(CDib& dib, int format, const QString& path, int jpegQuality) {
  const std::string name = QFile::encodeName(path).toStdString();
  switch (format) {
    case ExportBMP: {
      const CStatusTextOperation feedback(IDS_EXPORTING_BMP);
      return dib.SaveBMP(name);
    }
    case ExportTIFF: {
      const CProgressOperation feedback(LoadStringResource(IDS_EXPORTING_TIFF));
      return dib.WriteTIFF(name, TavixProgressFunc);
    }
    case ExportJPEG: {
      const CProgressOperation feedback(LoadStringResource(IDS_EXPORTING_JPEG));
      return dib.WriteJPEG(name, jpegQuality, feedback.Bar());
    }
    default: {
      const CStatusTextOperation feedback(IDS_EXPORTING_PNM);
      return dib.WritePNM(name);
    }
  }
}

// The image as the bytes of a .bmp file: a BITMAPFILEHEADER, then the packed
// DIB (header, colour table, bits). Empty when there is no image or the
// memory cannot be had.
QByteArray BmpFileBytes(const CDib& dib) {
  const BITMAPINFOHEADER* header = dib.Header();
  if (!header || !dib.m_pBits || dib.m_nColors < 0 || dib.m_nImageSize == 0)
    return {};
  const size_t headerBytes = kBitmapInfoHeaderSize + 4 * static_cast<size_t>(dib.m_nColors);
  if (headerBytes > dib.HeaderBytes())
    return {};
  const size_t total = kBitmapFileHeaderSize + headerBytes + dib.m_nImageSize;
  if (total > static_cast<size_t>(std::numeric_limits<DWORD>::max()))
    return {};

  QByteArray bytes;
  try {
    bytes.resize(static_cast<qsizetype>(total));
  } catch (const std::bad_alloc&) {
    return {};
  }
  if (static_cast<size_t>(bytes.size()) != total)
    return {};
  BITMAPFILEHEADER fileHeader{};
  fileHeader.bfType = BMP_SIGNATURE;
  fileHeader.bfSize = static_cast<DWORD>(total);
  fileHeader.bfOffBits = static_cast<DWORD>(kBitmapFileHeaderSize + headerBytes);
  auto* out = reinterpret_cast<BYTE*>(bytes.data());
  WriteFileHeader(fileHeader, out);
  std::memcpy(out + kBitmapFileHeaderSize, dib.m_pBMI, headerBytes);
  std::memcpy(out + kBitmapFileHeaderSize + headerBytes, dib.m_pBits, dib.m_nImageSize);
  return bytes;
}

// The same image for programs that take any image format. The size was
// bounded when the image was made, so Qt's reader limit does not apply.
QImage ImageFromBmp(const QByteArray& bmp) {
  QBuffer buffer;
  buffer.setData(bmp);
  QImageReader reader(&buffer, "bmp");
  reader.setAllocationLimit(0);
  return reader.read();
}

// The clipboard data of a copy; nullptr when it cannot be built.
std::unique_ptr<QMimeData> ClipboardData(const CDib& dib) {
  try {
    const QByteArray bmp = BmpFileBytes(dib);
    if (bmp.isEmpty())
      return nullptr;
    const QImage image = ImageFromBmp(bmp);
    if (image.isNull())
      return nullptr;
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("image/bmp"), bmp);
    data->setImageData(image);
    return data;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// Format name and compression mode of the Image Information dialog.
void DescribeFormat(int format, QString& name, QString& mode) {
  const QString none = LoadStringResource(IDS_NO_COMPRESSION);
  switch (format) {
    case FormatTvx: name = mode = QStringLiteral("TAVIX"); break;
    case FormatBMP: name = QStringLiteral("BMP"), mode = none; break;
    case FormatTIFF: name = mode = QStringLiteral("TIFF"); break;
    case FormatJPEG: name = QStringLiteral("JPEG"), mode = QStringLiteral("JPEG (DCT)"); break;
    case FormatPNM: name = QStringLiteral("PPM"), mode = none; break;
    case FormatGIF: name = mode = QStringLiteral("GIF"); break;
    case FormatClipboard: name = QStringLiteral("CLP"), mode = none; break;
    case FormatPCX: name = QStringLiteral("PCX"), mode = LoadStringResource(IDS_RUN_LENGTH); break;
    default: name.clear(), mode.clear(); break;
  }
}

QString ColorModelText(const CDib& dib) {
  switch (dib.m_nColorType) {
    case DibGrey: return Formatted(IDS_GRAY_TABLE_BITS, dib.m_nBitsPerPlane);
    case DibPaletteColor: return Formatted(IDS_COLOR_TABLE_BITS, dib.m_nBitsPerPlane);
    default: return Formatted(IDS_RGB_BITS, static_cast<int>(dib.m_nPlanes) * dib.m_nBitsPerPlane);
  }
}

// Uncompressed bytes (whole bytes per pixel, so 1- and 4-bit images count 0)
// over the file size. Without a file size there is no ratio to show.
QString RatioText(const BITMAPINFOHEADER& header, DWORD fileSize) {
  if (fileSize == 0)
    return QString();
  const double bytes = static_cast<double>(header.biBitCount / 8) * header.biHeight * header.biWidth;
  return QString::asprintf("%.0f : 1", bytes / fileSize);
}

void FillImageInfo(CImageInfoDlg& dialog, const CTXPhotoDoc& doc, CDib& dib) {
  const BITMAPINFOHEADER& header = *dib.Header();
  dialog.m_strFileName = doc.m_strBaseName;
  DescribeFormat(doc.m_nFormat, dialog.m_strFormat, dialog.m_strMode);
  dialog.m_nFileSize = static_cast<long>(dib.m_nFileSize);
  dialog.m_strColorModel = ColorModelText(dib);
  dialog.m_nWidth = static_cast<unsigned>(header.biWidth);
  dialog.m_nHeight = static_cast<unsigned>(header.biHeight);
  dialog.m_strRatio = RatioText(header, dib.m_nFileSize);
  dialog.m_strParams = doc.m_nFormat == FormatTvx ? doc.m_strInfoLong : QString();
  dialog.m_pDib = &dib;
}

}  // namespace

void CTXPhotoView::OnFileExport() {
  m_nLastResult = 0;
  CDib* dib = m_pDoc ? m_pDoc->GetDib() : nullptr;
  if (!dib || !dib->Header())
    return;
  CFileDialogEx dialog(false, QString(), m_pDoc->m_strBaseName + QLatin1String(".bmp"), kExportFlags,
                       QLatin1String(kExportFilter), this);
  dialog.SetFilterIndex(1);
  if (dialog.DoModal() != IDOK)
    return;
  const int format = dialog.GetFilterIndex();
  if (format < ExportBMP || format > ExportPNM)
    return;
  const ExportType& type = kExportTypes[format - 1];
  if (dib->m_nColorType == DibPaletteColor &&
      Ask(this, Formatted(IDS_PALETTE_LOSS, QLatin1String(type.name)), QMessageBox::Yes | QMessageBox::No,
          QMessageBox::Yes) != QMessageBox::Yes)
    return;
  const QString path = ExportPath(dialog.GetPathName(), type.extension);

  if (format == ExportJPEG) {
    CJpegQualityDlg quality(this);
    quality.m_nQuality = m_nJpegQuality;
    if (quality.DoModal() != IDOK)
      return;
    m_nJpegQuality = quality.m_nQuality;
  }
  m_nLastResult = WriteExport(*dib, format, path, m_nJpegQuality);
  if (CMainFrame* frame = MainFrame())
    frame->SetIdleText();
  if (m_nLastResult != 0)
    Warn(this, Formatted(IDS_SAVE_FAILED, QDir::toNativeSeparators(path)));
}

void CTXPhotoView::OnEditCopy() {
  const CDib* dib = m_pDoc ? m_pDoc->GetDib() : nullptr;
  std::unique_ptr<QMimeData> data = dib ? ClipboardData(*dib) : nullptr;
  if (!data) {
    Warn(this, LoadStringResource(IDS_COPY_FAILED));
    return;
  }
  QGuiApplication::clipboard()->setMimeData(data.release());
}

// The dialog stays over the main window (a window without an owner would be
// placed and listed by the desktop as an application window of its own).
void CTXPhotoView::OnImageInfo() {
  CDib* dib = m_pDoc ? m_pDoc->GetDib() : nullptr;
  if (!dib || !dib->Header())
    return;
  CImageInfoDlg dialog(MainFrame() ? static_cast<QWidget*>(MainFrame()) : window());
  FillImageInfo(dialog, *m_pDoc, *dib);
  dialog.DoModal();
}

bool CTXPhotoView::SizeGate() {
  const CDib* dib = m_pDoc ? m_pDoc->GetDib() : nullptr;
  const CSize size = dib ? dib->GetSize() : CSize{};
  if (size.cx >= kMinCompressSize && size.cy >= kMinCompressSize)
    return true;
  Warn(this, LoadStringResource(IDS_MIN_IMAGE_SIZE));
  return false;
}
