// CMainFrame: the main window. A QMainWindow over a QMdiArea with the menu
// bar, the Standard and User toolbars, up to ten user-defined toolbars, the
// one-pane main status bar and the slot of the progress bar under way.
#pragma once

#include <QEvent>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QRect>

#include "app/CommandRouter.h"
#include "resources/resource.h"

class CChildFrame;
class CKeyboardManager;
class CProgressBar;
class CTXPhotoApp;
class CTXPhotoView;
class CToolBarManager;
class QComboBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

// WM_OPENPATH: open the path as a new document (posted by "Open after saving").
class COpenPathEvent : public QEvent {
public:
  static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + WM_OPENPATH);
  explicit COpenPathEvent(QString path) : QEvent(kType), m_strPath(std::move(path)) {}
  QString m_strPath;
};

class CMainFrame : public QMainWindow, public CCmdTarget {
  Q_OBJECT
public:
  explicit CMainFrame(CTXPhotoApp* app);
  ~CMainFrame() override;

  // Creates the bars and restores their saved layout; false when a bar
  // cannot be made.
  bool LoadFrame();

  // ---- for other parts of the application
  CProgressBar* m_pProgressBar = nullptr;  // the bar of the operation under way, not owned
  int GetCompressionMode() const { return m_nSelectedMode; }
  void SetCompressionMode(int mode);
  void LeaveFullPage();
  bool IsFullPage() const { return m_bFullPage; }

  QMdiArea* MdiArea() const { return m_pMdiArea; }
  CChildFrame* ActiveChild() const;
  CTXPhotoView* ActiveView() const;
  void AddChild(CChildFrame* child);

  // The command QAction of `id` (nullptr for an unknown id) and all of them.
  QAction* Action(int id) const;
  QList<QAction*> Actions() const;
  const CCommandRouter& Router() const { return m_router; }
  // Asks the routing chain for the state of every command now.
  void UpdateCommandStates();
  CToolBarManager* ToolBars() const { return m_pToolBars; }
  CKeyboardManager* Keyboard() const { return m_pKeyboard; }

  // The main status bar's single pane (index 0).
  QLabel* StatusPane(int index = 0) const;
  void SetMessageText(const QString& text);
  void SetIdleText();

  // The toolbar context menu as it would show now (menu 214 with only the
  // existing user-defined toolbars). The caller owns it.
  QMenu* BuildToolBarContextMenu();
  // The combo box of command 32825 on the standard toolbar, if any.
  QComboBox* CompressionModeCombo() const;

  // Command handling (routing chain member).
  bool OnCommand(int id) override;
  bool OnUpdateCommand(CCmdUI& ui) override;

  // Saves toolbars, docking state and shortcuts (done on close).
  void SaveBarState();

protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

private:
  void createActions();
  void createMenus();
  void createToolBars();
  void createStatusBar();
  void loadBarState();
  void buildMenuBar(int menuId);
  void fillMenu(QMenu* menu, int menuId, int popupIndex);
  void fillRecentFiles(QMenu* menu);
  QAction* makeCompressionModeWidget(QToolBar* bar);
  void onCompressionModeConfirmed(QComboBox* combo);
  void onSubWindowActivated(QMdiSubWindow* window);
  void enterFullPage();
  void toggleFullPage();
  void toggleMainStatusBar();
  void toggleUserDefinedToolBar(int index);
  void openCustomizeDialog();
  void showHelp(int contextId);
  void openHomepage();
  void askAboutClipboard();

  CTXPhotoApp* m_pApp;
  CCommandRouter m_router;
  QMdiArea* m_pMdiArea = nullptr;
  QLabel* m_pMessagePane = nullptr;
  QHash<int, QAction*> m_actions;
  CToolBarManager* m_pToolBars = nullptr;
  CKeyboardManager* m_pKeyboard = nullptr;
  int m_nMenuShown = 0;
  int m_nSelectedMode = 0;

  // Full-page memory.
  bool m_bFullPage = false;
  bool m_bChildWasMaximized = false;
  bool m_bStandardBarWasVisible = false;
  bool m_bUserBarWasVisible = false;
  bool m_bStatusBarWasVisible = false;
  bool m_bChildStatusWasVisible = false;
  QHash<QToolBar*, bool> m_userDefinedWasVisible;
  QRect m_rcFrameBeforeFullPage;
  bool m_bWasMaximizedWindow = false;
};
