// The compress commands of a view: for a file size, for a quality factor,
// lossless, and the toolbar's "Compress" with the mode chosen in the main
// frame. Each passes the size gate, runs its settings dialog and then the
// shared save step, which writes the .tvx file with a progress bar.
#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <string>

#include "app/FileDialogEx.h"
#include "app/MainFrame.h"
#include "app/ProgressBar.h"
#include "app/TXPhotoApp.h"
#include "compression/FileSizeDlg.h"
#include "compression/QualityDlg.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "docview/SaveNames.h"
#include "image/Dib.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

const char kTvxFilter[] = "TAVIX (*.tvx)|*.tvx||";
constexpr int kSaveFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
constexpr int kProgressDone = 100;

CMainFrame* MainFrame() {
  CTXPhotoApp* app = CTXPhotoApp::Instance();
  return app ? app->MainFrame() : nullptr;
}

void Warn(QWidget* parent, const QString& text) {
  QMessageBox::warning(parent, LoadStringResource(AFX_IDS_APP_TITLE), text);
}

QString TvxPath(const QString& chosen) { return PathWithExtension(chosen, QStringLiteral(".tvx")); }

bool IsValidMode(int mode) { return mode >= CompressFileSize && mode <= CompressLossless; }

}  // namespace

void CTXPhotoView::OnCompressFileSize() {
  if (!SizeGate())
    return;
  m_nCompressionMode = CompressFileSize;
  if (m_dlgFileSize->DoModal() != IDCANCEL)
    CompressAndSave();
}

void CTXPhotoView::OnCompressQuality() {
  if (!SizeGate())
    return;
  m_dlgQuality->m_pImage = m_pDoc->GetDib();
  m_nCompressionMode = CompressQuality;
  if (m_dlgQuality->DoModal() != IDCANCEL)
    CompressAndSave();
}

void CTXPhotoView::OnCompressLossless() {
  if (!SizeGate())
    return;
  m_nCompressionMode = CompressLossless;
  CompressAndSave();
}

void CTXPhotoView::OnCompress() {
  m_pDoc->DeletePreviewDib();
  if (!SizeGate())
    return;
  const CMainFrame* frame = MainFrame();
  const int mode = frame ? frame->GetCompressionMode() : CompressNone;
  if (!IsValidMode(mode))
    return;
  const CDib* dib = m_pDoc->GetDib();
  if (mode == CompressLossless && dib->m_nColorType != DibGrey) {
    Warn(this, LoadStringResource(IDS_LOSSLESS_GREY_ONLY));
    return;
  }
  m_nCompressionMode = mode;
  RunCompressionCommand();
}

void CTXPhotoView::RunCompressionCommand() {
  switch (m_nCompressionMode) {
    case CompressFileSize: OnCompressFileSize(); break;
    case CompressQuality: OnCompressQuality(); break;
    case CompressLossless: OnCompressLossless(); break;
    default: break;
  }
}

void CTXPhotoView::CompressAndSave() {
  CDib* dib = m_pDoc->GetDib();
  if (!dib || !BuildCompressionParams())
    return;
  m_nLastResult = 0;
  CFileDialogEx dialog(false, QString(), m_pDoc->m_strBaseName + QLatin1String(".tvx"), kSaveFlags,
                       QLatin1String(kTvxFilter), this);
  if (dialog.DoModal() != IDOK)
    return;
  const QString path = TvxPath(dialog.GetPathName());
  m_pDoc->m_strSavedPath = path;
  {
    const CProgressOperation feedback(LoadStringResource(IDS_COMPRESSING));
    CByteProgress progress(feedback.Bar());
    m_nLastResult = dib->WriteTvx(QFile::encodeName(path).toStdString(), &progress);
    if (CProgressBar* bar = feedback.Bar())
      bar->SetPos(kProgressDone);
  }
  if (m_nLastResult != 0)
    Warn(this, QString::asprintf(LoadStringResource(IDS_COMPRESS_FAILED).toUtf8().constData(), m_nLastResult));

  // Also after a failure: opening the path then reports what is wrong with it.
  const bool open = (m_nCompressionMode == CompressFileSize && m_dlgFileSize->m_bOpenAfterSaving == 1) ||
                    (m_nCompressionMode == CompressQuality && m_dlgQuality->m_bOpenAfterSaving != 0);
  if (CMainFrame* frame = MainFrame(); open && frame)
    QCoreApplication::postEvent(frame, new COpenPathEvent(path));
}
