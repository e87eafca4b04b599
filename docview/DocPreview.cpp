// The document's compression preview: compressing its image into memory,
// decoding the bytes again while the Preview dialog shows the intermediate
// images, and writing exactly those bytes when the user saves.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <new>

#include "app/FileDialogEx.h"
#include "app/MainFrame.h"
#include "app/ProgressBar.h"
#include "compression/DocPreviewStream.h"
#include "compression/FileSizeDlg.h"
#include "compression/PreviewDlg.h"
#include "compression/QualityDlg.h"
#include "docview/DocumentLoader.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "docview/SaveNames.h"
#include "image/Dib.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

const char kTvxFilter[] = "TAVIX (*.tvx)|*.tvx||";
const char kTvxExtension[] = ".tvx";

class CPreviewWaitCursor {
public:
  CPreviewWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~CPreviewWaitCursor() { QApplication::restoreOverrideCursor(); }
  CPreviewWaitCursor(const CPreviewWaitCursor&) = delete;
  CPreviewWaitCursor& operator=(const CPreviewWaitCursor&) = delete;
};

// The "Open after saving" setting of the view's current mode; nullptr when
// there is no settings dialog for it.
int* OpenAfterSavingSetting(CTXPhotoView* view) {
  if (!view)
    return nullptr;
  if (view->m_nCompressionMode == CompressFileSize && view->m_dlgFileSize)
    return &view->m_dlgFileSize->m_bOpenAfterSaving;
  if (view->m_nCompressionMode == CompressQuality && view->m_dlgQuality)
    return &view->m_dlgQuality->m_bOpenAfterSaving;
  return nullptr;
}

// File Size asks for exactly 1, Quality for anything set.
bool WantsOpenAfterSaving(const CTXPhotoView* view, int setting) {
  if (view && view->m_nCompressionMode == CompressFileSize)
    return setting == 1;
  return setting != 0;
}

QString TvxPathFor(const QString& chosen) { return PathWithExtension(chosen, QLatin1String(kTvxExtension)); }

// Writes under a temporary name and renames when complete, so a failure
// never leaves a truncated file (nor destroys an older one).
bool WriteBytes(const QString& path, const BYTE* bytes, int length) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return false;
  if (file.write(reinterpret_cast<const char*>(bytes), length) != length) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

int CompressAndDecode(CDib& image, CDib& preview, CDocPreviewStream& stream) {
  const CProgressOperation operation(LoadStringResource(IDS_CREATING_PREVIEW), 200);
  CPreviewEncodeProgress encode(operation.Bar());
  CPreviewDecodeProgress decode(operation.Bar());
  try {
    int result = image.CompressToMemory(&preview, &encode);
    if (result == DIB_OK)
      result = preview.DecompressFromMemory(stream, &decode);
    return result;
  } catch (...) {
    return DIB_ERR_INTERNAL;
  }
}

}  // namespace

bool CTXPhotoDoc::CreatePreview() {
  const CPreviewWaitCursor wait;
  m_pPreviewDib.reset(new (std::nothrow) CDib);
  // Without memory for the preview image the dialog simply shows none.
  if (!m_pPreviewDib || !m_pDib)
    return true;
  m_pPreviewDib->SetPaletteDisplay(m_pDib->IsPaletteDisplay());
  if (m_pView)
    m_pView->BuildCompressionParams();
  CDocPreviewStream stream(this);
  if (CompressAndDecode(*m_pDib, *m_pPreviewDib, stream) != DIB_OK) {
    ShowDocumentMessage(LoadStringResource(IDS_PREVIEW_FAILED), QMessageBox::Warning);
    if (m_pPreviewDlg)
      m_pPreviewDlg->done(IDCANCEL);
  }
  return true;
}

int CTXPhotoDoc::RefreshPreview() { return m_pPreviewDlg ? m_pPreviewDlg->DrawImage() : 0; }

void CTXPhotoDoc::DeletePreviewDib() { m_pPreviewDib.reset(); }

void CTXPhotoDoc::DeletePreviewDlg() {
  delete m_pPreviewDlg;
  m_pPreviewDlg = nullptr;
}

void CTXPhotoDoc::PreviewAndSave() {
  int* setting = OpenAfterSavingSetting(m_pView);
  DeletePreviewDlg();
  m_pPreviewDlg = new CPreviewDlg(MainFrameOrNull());
  m_pPreviewDlg->m_pDoc = this;
  if (setting)
    m_pPreviewDlg->m_bOpenAfterSaving = *setting;
  const QPointer<CPreviewDlg> dialog = m_pPreviewDlg;
  const int result = m_pPreviewDlg->DoModal();
  if (!dialog) {  // taken down with its parent while it ran
    m_pPreviewDlg = nullptr;
    return;
  }
  const int openAfterSaving = m_pPreviewDlg->m_bOpenAfterSaving;
  if (setting)
    *setting = openAfterSaving;
  DeletePreviewDlg();

  // Nothing to save without compressed bytes, whatever button ended it.
  if (result == IDCANCEL || !m_pPreviewDib || !m_pPreviewDib->m_pCompressed || m_pPreviewDib->m_nCompressedLen <= 0) {
    DeletePreviewDib();
    if (m_pView)
      m_pView->RunCompressionCommand();
    return;
  }

  CFileDialogEx saveDialog(false, QString(), m_strBaseName + QLatin1String(kTvxExtension),
                           OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST, QLatin1String(kTvxFilter),
                           MainFrameOrNull());
  if (saveDialog.DoModal() != IDOK)
    return;  // the preview stays
  m_strSavedPath = TvxPathFor(saveDialog.GetPathName());
  bool written = false;
  {
    const CPreviewWaitCursor wait;
    written = WriteBytes(m_strSavedPath, m_pPreviewDib->m_pCompressed.get(), m_pPreviewDib->m_nCompressedLen);
  }
  if (!written) {
    ShowDocumentMessage(LoadStringResource(IDS_SAVE_FAILED).replace(QLatin1String("%s"), m_strSavedPath),
                        QMessageBox::Warning);
    return;
  }
  DeletePreviewDib();
  if (WantsOpenAfterSaving(m_pView, openAfterSaving))
    if (CMainFrame* frame = MainFrameOrNull())
      QCoreApplication::postEvent(frame, new COpenPathEvent(m_strSavedPath));
}
