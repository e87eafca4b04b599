#include "app/HelpWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>

#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

// Dialog templates with a page of their own.
constexpr int kJpegQualityDialog = 142;
constexpr int kFileSizeDialog = 188;
constexpr int kQualityDialog = 189;
constexpr int kImageInfoDialog = 194;
constexpr int kPreviewDialog = 227;
constexpr int kColorTableDialog = IDD_COLORTABLE_WARNING;
constexpr int kViewScaleDialog = 258;

const QString kIndexPage = QStringLiteral("index.html");

struct ContextPage {
  int contextId;
  const char* page;
};

constexpr ContextPage kContextPages[] = {
    {HID_MAIN_HELP, "index.html"},
    {HID_BASE_RESOURCE + IDR_MAINFRAME, "index.html"},
    {HID_BASE_RESOURCE + kFileSizeDialog, "filesize.html"},
    {HID_BASE_RESOURCE + kQualityDialog, "quality.html"},
    {HID_BASE_RESOURCE + kPreviewDialog, "preview.html"},
    {HID_BASE_RESOURCE + kViewScaleDialog, "viewscale.html"},
    {HID_BASE_RESOURCE + kImageInfoDialog, "imageinfo.html"},
    {HID_BASE_RESOURCE + kJpegQualityDialog, "jpegquality.html"},
    {HID_BASE_RESOURCE + kColorTableDialog, "colortable.html"},
    {HID_BASE_COMMAND + ID_FILE_OPEN, "opening.html"},
    {HID_BASE_COMMAND + ID_FILE_EXPORT, "opening.html"},
    {HID_BASE_COMMAND + ID_EDIT_COPY, "opening.html"},
    {HID_BASE_COMMAND + ID_EDIT_PASTE, "opening.html"},
    {HID_BASE_COMMAND + ID_COMPRESS, "compression.html"},
    {HID_BASE_COMMAND + ID_COMPRESS_FILESIZE, "filesize.html"},
    {HID_BASE_COMMAND + ID_COMPRESS_QUALITY, "quality.html"},
    {HID_BASE_COMMAND + ID_COMPRESS_LOSSLESS, "compression.html"},
    {HID_BASE_COMMAND + ID_IMAGE_INFO, "imageinfo.html"},
    {HID_BASE_COMMAND + ID_VIEW_SCALE, "viewscale.html"},
    {HID_BASE_COMMAND + ID_CUSTOMIZE, "customize.html"},
    {HID_BASE_COMMAND + ID_APP_ABOUT, "about.html"},
    {HID_BASE_COMMAND + ID_INTERNET, "about.html"},
};

QPointer<CHelpWindow>& HelpWindowSlot() {
  static QPointer<CHelpWindow> window;  // the one help window of the program
  return window;
}

bool HasIndex(const QString& folder) { return QFileInfo(QDir(folder).filePath(kIndexPage)).isFile(); }

}  // namespace

QString HelpDirectory() {
  const QString programDir = QCoreApplication::applicationDirPath();
  const QString beside = QDir::cleanPath(programDir + QStringLiteral("/help"));
  const QString installed = QDir::cleanPath(programDir + QStringLiteral("/../share/TavixPhoto/help"));
  if (!HasIndex(beside) && HasIndex(installed)) return installed;
  return beside;
}

QString HelpPageForContext(int contextId) {
  for (const ContextPage& entry : kContextPages) {
    if (entry.contextId == contextId) return QString::fromLatin1(entry.page);
  }
  return kIndexPage;
}

bool ShowHelp(const QString& pagesIndex, int contextId, QWidget* parent) {
  const QFileInfo index(pagesIndex);
  if (!index.isFile()) return false;
  QString page = index.dir().filePath(HelpPageForContext(contextId));
  if (!QFileInfo(page).isFile()) page = index.absoluteFilePath();
  CHelpWindow::Open(parent)->ShowPage(QUrl::fromLocalFile(page),
                                      QUrl::fromLocalFile(index.absoluteFilePath()));
  return true;
}

void ShowHelpMissingMessage(QWidget* parent) {
  QMessageBox box(QMessageBox::Critical, LoadStringResource(AFX_IDS_APP_TITLE),
                  LoadStringResource(IDS_HELP_MISSING), QMessageBox::Ok, parent);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

CHelpWindow* CHelpWindow::Instance() { return HelpWindowSlot().data(); }

CHelpWindow* CHelpWindow::Open(QWidget* owner) {
  // Inside a modal dialog the help window must belong to that dialog, or the
  // dialog's modality would block it.
  QWidget* top = QApplication::activeModalWidget();
  if (!top && owner) top = owner->window();
  CHelpWindow* window = Instance();
  if (!window) {
    window = new CHelpWindow(top);
    HelpWindowSlot() = window;
  } else if (top != window && window->parentWidget() != top) {
    window->setParent(top, window->windowFlags());
  }
  return window;
}

CHelpWindow::CHelpWindow(QWidget* owner) : QMainWindow(owner, Qt::Window) {
  setObjectName(QStringLiteral("CHelpWindow"));
  setWindowTitle(QStringLiteral("TAVIX Photo Help"));
  setAttribute(Qt::WA_QuitOnClose, false);  // closing the main window still ends the program
  m_pBrowser = new QTextBrowser(this);
  m_pBrowser->setObjectName(QStringLiteral("helpBrowser"));
  m_pBrowser->setAccessibleName(windowTitle());
  m_pBrowser->setOpenExternalLinks(true);
  setCentralWidget(m_pBrowser);
  createToolBar();
  resize(760, 620);
}

void CHelpWindow::createToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("Navigation"));
  bar->setObjectName(QStringLiteral("helpNavigation"));
  bar->setMovable(false);
  bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  QAction* back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Back"));
  QAction* forward =
      bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Forward"));
  QAction* home = bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("Home"));
  back->setObjectName(QStringLiteral("helpBack"));
  forward->setObjectName(QStringLiteral("helpForward"));
  home->setObjectName(QStringLiteral("helpHome"));
  back->setShortcut(QKeySequence::Back);
  forward->setShortcut(QKeySequence::Forward);
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(back, &QAction::triggered, m_pBrowser, &QTextBrowser::backward);
  connect(forward, &QAction::triggered, m_pBrowser, &QTextBrowser::forward);
  connect(home, &QAction::triggered, this, [this] { m_pBrowser->setSource(m_home); });
  connect(m_pBrowser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(m_pBrowser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
}

void CHelpWindow::ShowPage(const QUrl& page, const QUrl& home) {
  m_home = home;
  if (m_pBrowser->source() != page) m_pBrowser->setSource(page);
  show();
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}
