// CTXPhotoApp: the application object. Start-up in its fixed order, the
// settings, the document manager and template, the deferred colour-table
// warning, About, help and the keyboard and context-menu state.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

#include "app/CommandRouter.h"

class CAboutWnd;
class CContextMenuManager;
class CDocManagerEx;
class CMainFrame;
class CSingleInstance;
class QTimer;

// What the command line asked for.
struct CCommandLineInfo {
  QStringList m_files;            // paths to open, in order
  bool m_bPaletteDisplay = false; // --palette-display: treat the screen as a palette display
  bool m_bNewInstance = false;    // --new-instance: do not hand over to a running instance
  bool m_bNoSplash = false;       // --no-splash
  bool m_bShellOpen = false;      // started by the desktop to open files (the DDE case)
  QString m_strScreenshot;        // --screenshot FILE: save the main window there once shown
  QString m_strCrashReport;       // --show-crash-report FILE: show a crash report and exit
  QString m_strError;             // a bad option
  static CCommandLineInfo Parse(const QStringList& arguments);
};

class CTXPhotoApp : public QObject, public CCmdTarget {
  Q_OBJECT
public:
  CTXPhotoApp();
  ~CTXPhotoApp() override;
  // The one application object (nullptr before it exists).
  static CTXPhotoApp* Instance();

  // Start-up; false ends the program before the event loop.
  bool InitInstance(const CCommandLineInfo& commandLine);
  // Saves the context menus; returns the exit code.
  int ExitInstance();

  CMainFrame* MainFrame() const;
  CDocManagerEx* DocManager() const { return m_pDocManager.get(); }
  CContextMenuManager* ContextMenus() const { return m_pContextMenus.get(); }
  const CCommandLineInfo& CommandLine() const { return m_commandLine; }

  // Opens `path` as a new document; false when it could not be opened (the
  // document has reported why).
  bool OpenDocumentFile(const QString& path);
  void AddToRecentFileList(const QString& path);
  QStringList RecentFiles() const;

  bool IsPaletteDisplay() const;
  bool WantPaletteWarning() const;
  bool ShowPaletteWarning();
  void SaveKeyboardState();
  // Idle processing; returns true while more idle time is wanted.
  bool OnIdle(long count);

  bool OnCommand(int id) override;
  bool OnUpdateCommand(CCmdUI& ui) override;

  QString m_strChmPath;                  // the help pages' index
  bool m_bPaletteWarningPending = false;

private:
  void startIdleCounting();
  void placeMainWindow();

  CCommandLineInfo m_commandLine;
  std::unique_ptr<CDocManagerEx> m_pDocManager;
  std::unique_ptr<CContextMenuManager> m_pContextMenus;
  std::unique_ptr<CSingleInstance> m_pSingleInstance;
  QPointer<CMainFrame> m_pMainFrame;
  QTimer* m_pIdleTimer = nullptr;
  long m_nIdleCount = 0;
};
