#include "docview/DocumentLoader.h"

#include <QApplication>
#include <algorithm>
#include <istream>
#include <iterator>

#include "app/MainFrame.h"
#include "app/ProgressBar.h"
#include "app/TXPhotoApp.h"
#include "image/Dib.h"
#include "platform/MessageSink.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

// The string table has no loading text for PCX files.
const char kLoadingPcx[] = "Loading PCX file";

enum class Feedback { StatusText, ProgressBar };

using ReaderCall = int (*)(CDib&, const CLoadSource&, CProgressBar*);

}  // namespace

struct CFormatReader {
  const char* ext;
  DocFormat format;
  Feedback feedback;
  int textId;        // 0: kLoadingPcx
  ReaderCall probe;  // runs before any feedback; nullptr when there is none
  ReaderCall read;
};

namespace {

int ProbeTvxFile(CDib& dib, const CLoadSource& source, CProgressBar*) { return dib.ProbeTvx(source.path); }

int ReadTvxFile(CDib& dib, const CLoadSource& source, CProgressBar* bar) {
  CByteProgress progress(bar);
  return dib.ReadTvx(source.path, &progress);
}

int ReadBmpFile(CDib& dib, const CLoadSource& source, CProgressBar*) {
  if (!source.file)
    return DIB_ERR_OPEN;
  source.file->clear();
  source.file->seekg(0);
  return dib.ReadBMP(*source.file);
}

int ReadTiffFile(CDib& dib, const CLoadSource& source, CProgressBar*) {
  return dib.ReadTIFF(source.path, TavixProgressFunc);
}

int ReadJpegFile(CDib& dib, const CLoadSource& source, CProgressBar* bar) { return dib.ReadJPEG(source.path, bar); }
int ReadPnmFile(CDib& dib, const CLoadSource& source, CProgressBar*) { return dib.ReadPNM(source.path); }
int ReadGifFile(CDib& dib, const CLoadSource& source, CProgressBar*) { return dib.ReadGIF(source.path); }
int ReadPcxFile(CDib& dib, const CLoadSource& source, CProgressBar*) { return dib.ReadPCX(source.path); }

constexpr CFormatReader kReaders[] = {
    {"tvx", FormatTvx, Feedback::ProgressBar, IDS_DECOMPRESSING, ProbeTvxFile, ReadTvxFile},
    {"bmp", FormatBMP, Feedback::StatusText, IDS_LOADING_BMP, nullptr, ReadBmpFile},
    {"tif", FormatTIFF, Feedback::ProgressBar, IDS_LOADING_TIFF, nullptr, ReadTiffFile},
    {"tiff", FormatTIFF, Feedback::ProgressBar, IDS_LOADING_TIFF, nullptr, ReadTiffFile},
    {"jpg", FormatJPEG, Feedback::ProgressBar, IDS_LOADING_JPEG, nullptr, ReadJpegFile},
    {"jpeg", FormatJPEG, Feedback::ProgressBar, IDS_LOADING_JPEG, nullptr, ReadJpegFile},
    {"pnm", FormatPNM, Feedback::StatusText, IDS_LOADING_PNM, nullptr, ReadPnmFile},
    {"ppm", FormatPNM, Feedback::StatusText, IDS_LOADING_PNM, nullptr, ReadPnmFile},
    {"pgm", FormatPNM, Feedback::StatusText, IDS_LOADING_PNM, nullptr, ReadPnmFile},
    {"gif", FormatGIF, Feedback::StatusText, IDS_LOADING_GIF, nullptr, ReadGifFile},
    {"pcx", FormatPCX, Feedback::StatusText, 0, nullptr, ReadPcxFile},
};

QString FeedbackText(const CFormatReader& reader) {
  return reader.textId ? LoadStringResource(reader.textId) : QString::fromLatin1(kLoadingPcx);
}

// Lends the image a message sink for the time of one read.
class CSinkScope {
public:
  CSinkScope(CDib& dib, CMessageSink* sink) : m_dib(dib), m_pOld(dib.GetMessageSink()) { dib.SetMessageSink(sink); }
  ~CSinkScope() { m_dib.SetMessageSink(m_pOld); }
  CSinkScope(const CSinkScope&) = delete;
  CSinkScope& operator=(const CSinkScope&) = delete;

private:
  CDib& m_dib;
  CMessageSink* m_pOld;
};

// Runs a message box with the normal cursor, also in the middle of a load.
void ExecMessageBox(QMessageBox& box) {
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  QApplication::restoreOverrideCursor();
}

class CMessageBoxSink : public CMessageSink {
public:
  int ShowMessage(const std::string& text, const std::string& caption, unsigned style) override {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if ((style & 0xF0) == MB_ICONERROR)
      icon = QMessageBox::Critical;
    else if ((style & 0xF0) == MB_ICONWARNING)
      icon = QMessageBox::Warning;
    else if ((style & 0xF0) == MB_ICONINFORMATION)
      icon = QMessageBox::Information;
    const QString title = caption.empty() ? LoadStringResource(AFX_IDS_APP_TITLE) : QString::fromStdString(caption);
    QMessageBox box(icon, title, QString::fromStdString(text), QMessageBox::Ok, MainFrameOrNull());
    ExecMessageBox(box);
    return 1;  // IDOK
  }
};

}  // namespace

CMainFrame* MainFrameOrNull() {
  CTXPhotoApp* app = CTXPhotoApp::Instance();
  return app ? app->MainFrame() : nullptr;
}

const CFormatReader* FindFormatReader(const QString& ext) {
  const auto row = std::find_if(std::begin(kReaders), std::end(kReaders), [&ext](const CFormatReader& reader) {
    return ext.compare(QLatin1String(reader.ext), Qt::CaseInsensitive) == 0;
  });
  return row == std::end(kReaders) ? nullptr : row;
}

DocFormat ReaderFormat(const CFormatReader& reader) { return reader.format; }

int RunFormatReader(const CFormatReader& reader, CDib& dib, const CLoadSource& source, CMessageSink* sink) {
  CSinkScope sinkScope(dib, sink);
  if (reader.probe)
    if (const int probed = reader.probe(dib, source, nullptr); probed != DIB_OK)
      return probed;
  if (reader.feedback == Feedback::ProgressBar) {
    CProgressOperation operation(FeedbackText(reader));
    return reader.read(dib, source, operation.Bar());
  }
  if (CMainFrame* frame = MainFrameOrNull())
    frame->SetMessageText(FeedbackText(reader));
  return reader.read(dib, source, nullptr);
}

void ShowDocumentMessage(const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, LoadStringResource(AFX_IDS_APP_TITLE), text, QMessageBox::Ok, MainFrameOrNull());
  ExecMessageBox(box);
}

CMessageSink* DocumentMessageSink() {
  static CMessageBoxSink sink;
  return &sink;
}
