#include "app/DocManagerEx.h"

#include "app/FileDialogEx.h"
#include "app/MainFrame.h"
#include "app/TXPhotoApp.h"
#include "docview/DocTemplate.h"
#include "resources/Strings.h"
#include "resources/resource.h"

QList<FileFilter> OpenFileFilters() {
  return {
      {LoadStringResource(IDS_ALL_IMAGE_FILES),
       QStringLiteral("*.tvx;*.bmp;*.tif;*.tiff;*.jpg;*.jpeg;*.pnm;*.ppm;*.pgm;*.gif;*.pcx")},
      {QStringLiteral("TAVIX (*.tvx)"), QStringLiteral("*.tvx")},
      {QStringLiteral("BMP (*.bmp)"), QStringLiteral("*.bmp")},
      {QStringLiteral("TIFF (*.tif)"), QStringLiteral("*.tif")},
      {QStringLiteral("JPEG (*.jpg)"), QStringLiteral("*.jpg")},
      {QStringLiteral("PNM (*.pnm *.ppm *.pgm)"), QStringLiteral("*.pnm;*.ppm;*.pgm")},
      {QStringLiteral("GIF (*.gif)"), QStringLiteral("*.gif")},
      {QStringLiteral("PCX (*.pcx)"), QStringLiteral("*.pcx")},
      {LoadStringResource(AFX_IDS_ALLFILTER), QStringLiteral("*.*")},
  };
}

namespace {

// The filters in the dialog's "text|patterns|...||" form.
QString FilterString(const QList<FileFilter>& filters) {
  QString result;
  for (const FileFilter& filter : filters)
    result += filter.text + QLatin1Char('|') + filter.patterns + QLatin1Char('|');
  return result + QLatin1Char('|');
}

}  // namespace

CDocManagerEx::CDocManagerEx() = default;
CDocManagerEx::~CDocManagerEx() = default;

void CDocManagerEx::AddDocTemplate(std::unique_ptr<CMultiDocTemplate> docTemplate) {
  m_pTemplate = std::move(docTemplate);
}

bool CDocManagerEx::DoPromptFileName(QStringList& paths, int titleId, bool openFileDialog, QWidget* parent) {
  int flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  if (openFileDialog)
    flags |= OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT;
  CFileDialogEx dialog(openFileDialog, QString(), QString(), flags, FilterString(OpenFileFilters()), parent);
  dialog.setWindowTitle(LoadStringResource(titleId));
  if (dialog.DoModal() != IDOK)
    return false;
  paths += dialog.GetPathNames();
  return true;
}

void CDocManagerEx::OnFileOpen(QWidget* parent) {
  QStringList paths;
  if (!DoPromptFileName(paths, AFX_IDS_OPENFILE, true, parent))
    return;
  CTXPhotoApp* app = CTXPhotoApp::Instance();
  if (!app)
    return;
  // Each path becomes its own document or reports its own failure; a failure
  // does not keep the others from opening.
  for (const QString& path : paths)
    app->OpenDocumentFile(path);
}
