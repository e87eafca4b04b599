#include "app/TXPhotoApp.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "app/AboutWnd.h"
#include "app/ColorTableWarningDlg.h"
#include "app/ContextMenuManager.h"
#include "app/DesktopIntegration.h"
#include "app/DocManagerEx.h"
#include "app/HelpWindow.h"
#include "app/KeyboardManager.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "app/SingleInstance.h"
#include "app/SplashWnd.h"
#include "docview/DocTemplate.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {
CTXPhotoApp* g_pApp = nullptr;

constexpr int kSplashTimeMs = 4000;
constexpr long kPaletteWarningIdleCount = 20000;
constexpr int kBottomMargin = 50;
}  // namespace

CCommandLineInfo CCommandLineInfo::Parse(const QStringList& arguments) {
  CCommandLineInfo info;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    auto takeValue = [&](QString& target) {
      if (i + 1 < arguments.size())
        target = arguments[++i];
      else
        info.m_strError = QStringLiteral("%1 needs a value").arg(argument);
    };
    if (argument == "--palette-display")
      info.m_bPaletteDisplay = true;
    else if (argument == "--new-instance")
      info.m_bNewInstance = true;
    else if (argument == "--no-splash")
      info.m_bNoSplash = true;
    else if (argument == "--dde")
      info.m_bShellOpen = true;
    else if (argument == "--screenshot")
      takeValue(info.m_strScreenshot);
    else if (argument == "--show-crash-report")
      takeValue(info.m_strCrashReport);
    else if (argument == "--")
      info.m_files += arguments.mid(i + 1), i = arguments.size();
    else if (argument.startsWith("--"))
      info.m_strError = QStringLiteral("unknown option %1").arg(argument);
    else
      info.m_files.append(QFileInfo(argument).absoluteFilePath());
  }
  return info;
}

CTXPhotoApp::CTXPhotoApp() { g_pApp = this; }

CTXPhotoApp::~CTXPhotoApp() {
  delete m_pMainFrame.data();
  if (g_pApp == this)
    g_pApp = nullptr;
}

CTXPhotoApp* CTXPhotoApp::Instance() { return g_pApp; }

CMainFrame* CTXPhotoApp::MainFrame() const { return m_pMainFrame.data(); }

bool CTXPhotoApp::InitInstance(const CCommandLineInfo& commandLine) {
  m_commandLine = commandLine;
  // The crash report is installed by the program's entry before anything else.
  QCoreApplication::setOrganizationName(kSettingsOrganization);
  QCoreApplication::setApplicationName(kSettingsApplication);

  if (!m_commandLine.m_bNoSplash) {
    auto* splash = new CSplashWnd(IDB_SPLASH, QString(), kSplashTimeMs);
    if (!splash->Create())
      delete splash;
  }

  m_pDocManager = std::make_unique<CDocManagerEx>();
  m_pDocManager->AddDocTemplate(std::make_unique<CMultiDocTemplate>(IDR_TAVIXTYPE));

  m_pMainFrame = new CMainFrame(this);
  if (!m_pMainFrame->LoadFrame())
    return false;

  // Paths handed over by a second start open like command-line paths.
  if (!m_commandLine.m_bNewInstance) {
    m_pSingleInstance = std::make_unique<CSingleInstance>();
    connect(m_pSingleInstance.get(), &CSingleInstance::pathsReceived, this, [this](const QStringList& paths) {
      for (const QString& path : paths)
        OpenDocumentFile(path);
      if (m_pMainFrame) {
        if (m_pMainFrame->isMinimized())
          m_pMainFrame->showNormal();
        m_pMainFrame->raise();
        m_pMainFrame->activateWindow();
      }
    });
    m_pSingleInstance->Listen();
  }
  RegisterDesktopIntegration();

  m_pContextMenus = std::make_unique<CContextMenuManager>();
  m_pContextMenus->SetRouter(&m_pMainFrame->Router());
  m_pContextMenus->AddMenu(LoadStringResource(IDS_STANDARD_MENU), IDR_POPUP_VIEW);
  {
    QSettings settings = OpenSettings();
    m_pContextMenus->LoadState(settings, kSectionMenus);
    m_pMainFrame->Keyboard()->LoadState(settings, kSectionKeyboard);
  }

  // A plain start opens nothing: no empty document. Every named file is
  // tried; the start fails only when none of them could be opened.
  if (!m_commandLine.m_files.isEmpty()) {
    bool anyOpened = false;
    for (const QString& path : m_commandLine.m_files)
      anyOpened |= OpenDocumentFile(path);
    if (!anyOpened)
      return false;
  }

  placeMainWindow();
  m_strChmPath = QDir(HelpDirectory()).filePath(QStringLiteral("index.html"));

  m_bPaletteWarningPending = IsPaletteDisplay() && WantPaletteWarning();
  if (m_commandLine.m_bShellOpen || !m_bPaletteWarningPending) {
    if (m_bPaletteWarningPending)
      startIdleCounting();
    return true;
  }
  m_bPaletteWarningPending = false;
  return ShowPaletteWarning();
}

void CTXPhotoApp::placeMainWindow() {
  QRect area(0, 0, 1024, 768);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    area = screen->availableGeometry();
  area.setBottom(area.bottom() - kBottomMargin);
  m_pMainFrame->hide();
  m_pMainFrame->setGeometry(area);
  m_pMainFrame->show();
}

int CTXPhotoApp::ExitInstance() {
  if (m_pContextMenus) {
    QSettings settings = OpenSettings();
    m_pContextMenus->SaveState(settings, kSectionMenus);
  }
  return 0;
}

bool CTXPhotoApp::OpenDocumentFile(const QString& path) {
  if (!m_pMainFrame || !m_pDocManager->FirstTemplate())
    return false;
  if (!m_pDocManager->FirstTemplate()->OpenDocumentFile(m_pMainFrame, path, true))
    return false;
  AddToRecentFileList(path);
  return true;
}

void CTXPhotoApp::AddToRecentFileList(const QString& path) {
  QStringList files = RecentFiles();
  const QString absolute = QFileInfo(path).absoluteFilePath();
  files.removeAll(absolute);
  files.prepend(absolute);
  while (files.size() > kRecentFileCount)
    files.removeLast();
  QSettings settings = OpenSettings();
  settings.beginGroup(kSectionRecentFiles);
  for (int i = 0; i < kRecentFileCount; ++i) {
    const QString key = QStringLiteral("File%1").arg(i + 1);
    if (i < files.size())
      settings.setValue(key, files[i]);
    else
      settings.remove(key);
  }
  settings.endGroup();
}

QStringList CTXPhotoApp::RecentFiles() const {
  QSettings settings = OpenSettings();
  settings.beginGroup(kSectionRecentFiles);
  QStringList files;
  for (int i = 0; i < kRecentFileCount; ++i) {
    const QString file = settings.value(QStringLiteral("File%1").arg(i + 1)).toString();
    if (!file.isEmpty())
      files.append(file);
  }
  return files;
}

// ---------------------------------------------------------------- colour-table warning

bool CTXPhotoApp::IsPaletteDisplay() const {
  if (m_commandLine.m_bPaletteDisplay)
    return true;
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen && screen->depth() <= 8;
}

bool CTXPhotoApp::WantPaletteWarning() const {
  QSettings settings = OpenSettings();
  return settings.value(QStringLiteral("%1/%2").arg(kSectionWarning, kEntryPalette), 0).toInt() == 0;
}

bool CTXPhotoApp::ShowPaletteWarning() {
  CColorTableWarningDlg dialog(m_pMainFrame);
  const int result = dialog.exec();
  QSettings settings = OpenSettings();
  settings.setValue(QStringLiteral("%1/%2").arg(kSectionWarning, kEntryPalette), dialog.m_bShowAgain ? 0 : 1);
  return result == IDOK;
}

void CTXPhotoApp::startIdleCounting() {
  m_nIdleCount = 0;
  m_pIdleTimer = new QTimer(this);
  m_pIdleTimer->setInterval(0);
  connect(m_pIdleTimer, &QTimer::timeout, this, [this] {
    if (!OnIdle(m_nIdleCount++)) {
      m_pIdleTimer->stop();
      m_pIdleTimer->deleteLater();
      m_pIdleTimer = nullptr;
    }
  });
  m_pIdleTimer->start();
}

// A zero-interval timer fires only when no other event waits, so its count
// is the count of idle passes.
bool CTXPhotoApp::OnIdle(long count) {
  if (count != kPaletteWarningIdleCount)
    return m_bPaletteWarningPending;
  if (m_bPaletteWarningPending) {
    m_bPaletteWarningPending = false;
    if (!ShowPaletteWarning())
      OnCommand(ID_APP_EXIT);
  }
  return false;
}

void CTXPhotoApp::SaveKeyboardState() {
  if (!m_pMainFrame)
    return;
  QSettings settings = OpenSettings();
  m_pMainFrame->Keyboard()->SaveState(settings, kSectionKeyboard);
}

// ---------------------------------------------------------------- commands

bool CTXPhotoApp::OnCommand(int id) {
  if (id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + kRecentFileCount) {
    const QStringList files = RecentFiles();
    const int index = id - ID_FILE_MRU_FILE1;
    if (index < files.size() && !OpenDocumentFile(files[index])) {
      // A file that cannot be opened any more leaves the list.
      QStringList rest = files;
      rest.removeAt(index);
      QSettings settings = OpenSettings();
      settings.remove(kSectionRecentFiles);
      for (auto it = rest.crbegin(); it != rest.crend(); ++it)
        AddToRecentFileList(*it);
    }
    return true;
  }
  switch (id) {
  case ID_FILE_OPEN:
    m_pDocManager->OnFileOpen(m_pMainFrame);
    return true;
  case ID_APP_ABOUT:
    if (CAboutWnd::OpenCount() == 0) {
      auto* about = new CAboutWnd;
      if (!about->Create())
        delete about;
    }
    return true;
  case ID_APP_EXIT:
    if (m_pMainFrame)
      QTimer::singleShot(0, m_pMainFrame.data(), &QWidget::close);
    return true;
  default:
    return false;
  }
}

bool CTXPhotoApp::OnUpdateCommand(CCmdUI& ui) {
  switch (ui.m_nID) {
  case ID_FILE_OPEN:
  case ID_APP_ABOUT:
  case ID_APP_EXIT:
    return true;
  case ID_FILE_MRU_FILE1:
    ui.Enable(!RecentFiles().isEmpty());
    return true;
  default:
    return ui.m_nID > ID_FILE_MRU_FILE1 && ui.m_nID < ID_FILE_MRU_FILE1 + kRecentFileCount;
  }
}
