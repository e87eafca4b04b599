#include "app/MainFrame.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWidgetAction>

#include "app/CustomizeDialog.h"
#include "app/DocManagerEx.h"
#include "app/HelpWindow.h"
#include "app/KeyboardManager.h"
#include "app/Settings.h"
#include "app/TXPhotoApp.h"
#include "app/ToolBarManager.h"
#include "docview/ChildFrame.h"
#include "docview/DocTemplate.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "resources/Bitmaps.h"
#include "resources/MenuData.h"
#include "resources/ResourceSymbols.h"
#include "resources/Strings.h"

namespace {
constexpr const char* kHomepage = "http://www.tavix.com/";
constexpr int kComboWidth = 165;
constexpr int kStateRefreshMs = 300;
// The three items of the compression-mode combo box, as modes 1..3.
constexpr int kModeTexts[] = {IDS_BTN_COMPRESS_FILESIZE, IDS_BTN_COMPRESS_QUALITY, IDS_BTN_COMPRESS_LOSSLESS};

bool IsUserDefinedToolBarCommand(int id) { return id >= ID_USER_TOOLBAR1 && id <= ID_USER_TOOLBAR10; }

// Every command id that the menus, toolbars and accelerators name.
QList<int> AllCommandIds() {
  QList<int> ids;
  auto add = [&ids](int id) {
    if (id != 0 && !ids.contains(id))
      ids.append(id);
  };
  for (int menu : {IDR_TAVIXTYPE, IDR_MAINFRAME, IDR_POPUP_TOOLBAR, IDR_POPUP_VIEW})
    for (const MenuEntry& entry : MenuResource(menu))
      if (entry.depth == 1)
        add(entry.command);
  for (int id : StandardToolbarResource())
    add(id);
  for (const UserImageButton& button : UserToolbarResource())
    add(button.command);
  for (const AcceleratorEntry& accelerator : AcceleratorResource())
    add(accelerator.command);
  return ids;
}

// The first text any menu gives a command.
QString MenuTextOf(int id) {
  for (int menu : {IDR_TAVIXTYPE, IDR_MAINFRAME, IDR_POPUP_TOOLBAR, IDR_POPUP_VIEW})
    for (const MenuEntry& entry : MenuResource(menu))
      if (entry.depth == 1 && entry.command == id && entry.text)
        return QString::fromUtf8(entry.text);
  return CommandTooltip(id);
}

bool ClipboardHasImage() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data && (data->hasImage() || data->hasFormat("image/bmp"));
}
}  // namespace

CMainFrame::CMainFrame(CTXPhotoApp* app)
    : m_pApp(app), m_router([this] {
        std::vector<CCmdTarget*> chain;
        if (CChildFrame* child = ActiveChild()) {
          chain.push_back(child->GetActiveView());
          chain.push_back(child);
        }
        chain.push_back(this);
        chain.push_back(m_pApp);
        return chain;
      }) {
  setObjectName("IDR_MAINFRAME");
  setProperty("tavixId", IDR_MAINFRAME);
  setWindowTitle(LoadStringResource(AFX_IDS_APP_TITLE));
  setWindowIcon(ApplicationIcon());
  setAcceptDrops(true);
  m_pMdiArea = new QMdiArea(this);
  m_pMdiArea->setObjectName("MDIClient");
  m_pMdiArea->setAccessibleName(LoadStringResource(AFX_IDS_APP_TITLE));
  setCentralWidget(m_pMdiArea);
  connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, &CMainFrame::onSubWindowActivated);
}

CMainFrame::~CMainFrame() {
  // Closing the document windows below must not route into half-destroyed bars.
  disconnect(m_pMdiArea, nullptr, this, nullptr);
  disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
}

bool CMainFrame::LoadFrame() {
  createActions();
  createMenus();
  createToolBars();
  if (!m_pToolBars->StandardToolBar() || !m_pToolBars->UserToolBar())
    return false;
  createStatusBar();
  loadBarState();
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::UpdateCommandStates);
  // Toolbars have no "about to show": refresh their states now and then, as
  // the framework does when it is idle.
  auto* refresh = new QTimer(this);
  connect(refresh, &QTimer::timeout, this, &CMainFrame::UpdateCommandStates);
  refresh->start(kStateRefreshMs);
  UpdateCommandStates();
  return true;
}

// ---------------------------------------------------------------- actions and menus

void CMainFrame::createActions() {
  for (int id : AllCommandIds()) {
    auto* action = new QAction(MenuTextOf(id), this);
    action->setData(id);
    action->setObjectName(CommandSymbol(id));
    action->setStatusTip(CommandPrompt(id));
    action->setToolTip(CommandTooltip(id));
    action->setIcon(CommandIcon(id));
    action->setIconText(CommandTooltip(id));
    connect(action, &QAction::triggered, this, [this, id] {
      m_router.Execute(id);
      UpdateCommandStates();
    });
    addAction(action);
    m_actions.insert(id, action);
  }
  m_pKeyboard = new CKeyboardManager([this] { return Actions(); });
  m_pKeyboard->ApplyDefaults();
}

QAction* CMainFrame::Action(int id) const { return m_actions.value(id); }

QList<QAction*> CMainFrame::Actions() const {
  QList<QAction*> actions;
  for (int id : AllCommandIds())
    if (QAction* action = m_actions.value(id))
      actions.append(action);
  return actions;
}

void CMainFrame::createMenus() {
  menuBar()->setObjectName("IDW_MENUBAR");
  menuBar()->setProperty("tavixId", IDW_MENUBAR);
  buildMenuBar(IDR_MAINFRAME);
}

void CMainFrame::buildMenuBar(int menuId) {
  if (m_nMenuShown == menuId)
    return;
  m_nMenuShown = menuId;
  menuBar()->clear();
  int popup = -1;
  for (const MenuEntry& entry : MenuResource(menuId)) {
    if (entry.depth != 0)
      continue;
    ++popup;
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(entry.text));
    menu->setObjectName(QStringLiteral("menu%1_%2").arg(menuId).arg(popup));
    fillMenu(menu, menuId, popup);
    connect(menu, &QMenu::aboutToShow, this, [this, menu, menuId, popup] {
      fillMenu(menu, menuId, popup);
      UpdateCommandStates();
    });
  }
}

// Fills popup number `popupIndex` of the menu table. Menu texts keep the
// table's shortcut text unless the user gave the command other keys.
void CMainFrame::fillMenu(QMenu* menu, int menuId, int popupIndex) {
  menu->clear();
  int popup = -1;
  for (const MenuEntry& entry : MenuResource(menuId)) {
    if (entry.depth == 0) {
      ++popup;
      continue;
    }
    if (popup != popupIndex)
      continue;
    if (entry.command == 0) {
      menu->addSeparator();
      continue;
    }
    if (entry.command == ID_FILE_MRU_FILE1) {
      fillRecentFiles(menu);
      continue;
    }
    QAction* action = m_actions.value(entry.command);
    if (!action)
      continue;
    QString text = QString::fromUtf8(entry.text);
    const QList<QKeySequence> keys = action->shortcuts();
    if (!keys.isEmpty() && keys != m_pKeyboard->DefaultShortcuts(entry.command))
      text = text.section('\t', 0, 0) + '\t' + keys.first().toString(QKeySequence::NativeText);
    action->setText(text);
    menu->addAction(action);
  }
}

void CMainFrame::fillRecentFiles(QMenu* menu) {
  const QStringList files = m_pApp->RecentFiles();
  if (files.isEmpty()) {
    // The "Recent File" line stands, disabled, until a file has been opened.
    menu->addAction(m_actions.value(ID_FILE_MRU_FILE1));
    return;
  }
  for (int i = 0; i < files.size(); ++i) {
    const int id = ID_FILE_MRU_FILE1 + i;
    QAction* item = menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(files[i]).fileName()));
    item->setData(id);
    item->setObjectName(QStringLiteral("ID_FILE_MRU_FILE%1").arg(i + 1));
    item->setStatusTip(files[i]);
    connect(item, &QAction::triggered, this, [this, id] { m_router.Execute(id); });
  }
}

void CMainFrame::UpdateCommandStates() {
  for (QAction* action : std::as_const(m_actions))
    m_router.UpdateAction(action);
}

// ---------------------------------------------------------------- bars

void CMainFrame::createToolBars() {
  m_pToolBars = new CToolBarManager(
      this, [this](int id) { return Action(id); },
      [this](int id, QToolBar* bar) { return id == ID_COMPRESSION_MODE ? makeCompressionModeWidget(bar) : nullptr; });
  if (!m_pToolBars->CreateStandardToolBar(LoadStringResource(IDS_STANDARD_TOOLBAR)) ||
      !m_pToolBars->CreateUserToolBar(LoadStringResource(IDS_USER_TOOLBAR)))
    return;
  addToolBar(Qt::TopToolBarArea, m_pToolBars->StandardToolBar());
  addToolBar(Qt::BottomToolBarArea, m_pToolBars->UserToolBar());
  m_pToolBars->UserToolBar()->hide();
  connect(m_pToolBars, &CToolBarManager::toolBarsChanged, this, &CMainFrame::UpdateCommandStates);
}

QAction* CMainFrame::makeCompressionModeWidget(QToolBar* bar) {
  auto* combo = new QComboBox;
  combo->setObjectName(CommandSymbol(ID_COMPRESSION_MODE));
  combo->setProperty("tavixId", ID_COMPRESSION_MODE);
  combo->setAccessibleName(CommandTooltip(ID_COMPRESSION_MODE));
  combo->setToolTip(CommandTooltip(ID_COMPRESSION_MODE));
  combo->setStatusTip(CommandPrompt(ID_COMPRESSION_MODE));
  combo->setFixedWidth(kComboWidth);
  combo->setFocusPolicy(Qt::ClickFocus);
  for (int textId : kModeTexts)
    combo->addItem(LoadStringResource(textId));
  combo->setCurrentIndex(m_nSelectedMode >= 1 && m_nSelectedMode <= 3 ? m_nSelectedMode - 1 : -1);
  connect(combo, &QComboBox::activated, this, [this, combo] { onCompressionModeConfirmed(combo); });
  auto* action = new QWidgetAction(bar);
  action->setDefaultWidget(combo);
  action->setData(ID_COMPRESSION_MODE);
  action->setObjectName(CommandSymbol(ID_COMPRESSION_MODE) + "_widget");
  action->setText(CommandTooltip(ID_COMPRESSION_MODE));
  return action;
}

void CMainFrame::onCompressionModeConfirmed(QComboBox* combo) {
  if (combo->currentIndex() < 0) {
    m_nSelectedMode = 0;
    return;
  }
  const QString text = combo->currentText();
  m_nSelectedMode = -1;
  for (int mode = 1; mode <= 3; ++mode)
    if (text.compare(LoadStringResource(kModeTexts[mode - 1]), Qt::CaseInsensitive) == 0)
      m_nSelectedMode = mode;
}

QComboBox* CMainFrame::CompressionModeCombo() const {
  if (!m_pToolBars)
    return nullptr;
  for (QToolBar* bar : m_pToolBars->AllToolBars())
    for (auto* combo : bar->findChildren<QComboBox*>())
      if (combo->property("tavixId").toInt() == ID_COMPRESSION_MODE)
        return combo;
  return nullptr;
}

void CMainFrame::SetCompressionMode(int mode) {
  if (QComboBox* combo = CompressionModeCombo())
    combo->setCurrentIndex(mode >= 1 && mode <= 3 ? mode - 1 : -1);
  m_nSelectedMode = mode;
}

void CMainFrame::createStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("AFX_IDW_STATUS_BAR");
  bar->setProperty("tavixId", AFX_IDW_STATUS_BAR);
  m_pMessagePane = new QLabel(LoadStringResource(AFX_IDS_IDLEMESSAGE), bar);
  m_pMessagePane->setObjectName("ID_SEPARATOR");
  m_pMessagePane->setProperty("tavixPane", 0);
  m_pMessagePane->setAccessibleName(QStringLiteral("Status"));
  m_pMessagePane->setMinimumWidth(1);
  bar->addWidget(m_pMessagePane, 1);
}

QLabel* CMainFrame::StatusPane(int index) const { return index == 0 ? m_pMessagePane : nullptr; }

void CMainFrame::SetMessageText(const QString& text) {
  if (m_pMessagePane) {
    m_pMessagePane->setText(text);
    m_pMessagePane->repaint();
  }
}

void CMainFrame::SetIdleText() { SetMessageText(LoadStringResource(AFX_IDS_IDLEMESSAGE)); }

void CMainFrame::loadBarState() {
  QSettings settings = OpenSettings();
  m_pToolBars->LoadState(settings, kSectionControlBars);
}

void CMainFrame::SaveBarState() {
  QSettings settings = OpenSettings();
  m_pToolBars->SaveState(settings, kSectionControlBars);
  m_pKeyboard->SaveState(settings, kSectionKeyboard);
}

QMenu* CMainFrame::BuildToolBarContextMenu() {
  auto* menu = new QMenu(this);
  menu->setObjectName("IDR_POPUP_TOOLBAR");
  for (const MenuEntry& entry : MenuResource(IDR_POPUP_TOOLBAR)) {
    if (entry.depth != 1)
      continue;
    if (entry.command == 0) {
      menu->addSeparator();
      continue;
    }
    QString text = QString::fromUtf8(entry.text);
    if (IsUserDefinedToolBarCommand(entry.command)) {
      QToolBar* bar = m_pToolBars->UserDefinedToolBar(entry.command - ID_USER_TOOLBAR1);
      if (!bar)
        continue;
      text = bar->windowTitle();
    }
    const int id = entry.command;
    QAction* item = menu->addAction(text);
    item->setData(id);
    item->setObjectName(CommandSymbol(id));
    m_router.UpdateAction(item);
    connect(item, &QAction::triggered, this, [this, id] {
      m_router.Execute(id);
      UpdateCommandStates();
    });
  }
  return menu;
}

void CMainFrame::contextMenuEvent(QContextMenuEvent* event) {
  // Right-clicks on the bars and the dock areas; the views show their own menu.
  QWidget* target = childAt(event->pos());
  if (target && (m_pMdiArea->isAncestorOf(target) || target == m_pMdiArea)) {
    QMainWindow::contextMenuEvent(event);
    return;
  }
  QMenu* menu = BuildToolBarContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

// ---------------------------------------------------------------- documents

CChildFrame* CMainFrame::ActiveChild() const {
  QMdiSubWindow* window = m_pMdiArea->activeSubWindow();
  if (!window) {
    // A frame that lost focus to a dialog or another window is still the active one.
    window = m_pMdiArea->currentSubWindow();
  }
  return qobject_cast<CChildFrame*>(window);
}

CTXPhotoView* CMainFrame::ActiveView() const {
  CChildFrame* child = ActiveChild();
  return child ? child->GetActiveView() : nullptr;
}

void CMainFrame::AddChild(CChildFrame* child) {
  m_pMdiArea->addSubWindow(child);
  buildMenuBar(IDR_TAVIXTYPE);
}

void CMainFrame::onSubWindowActivated(QMdiSubWindow* window) {
  if (!window && m_pMdiArea->subWindowList().isEmpty())
    buildMenuBar(IDR_MAINFRAME);
  else
    buildMenuBar(IDR_TAVIXTYPE);
  if (auto* child = qobject_cast<CChildFrame*>(window))
    child->GetActiveView()->OnActivateView();
  UpdateCommandStates();
}

// ---------------------------------------------------------------- commands

bool CMainFrame::OnCommand(int id) {
  if (IsUserDefinedToolBarCommand(id)) {
    toggleUserDefinedToolBar(id - ID_USER_TOOLBAR1);
    return true;
  }
  switch (id) {
  case ID_VIEW_TOOLBAR:
    m_pToolBars->StandardToolBar()->setVisible(m_pToolBars->StandardToolBar()->isHidden());
    return true;
  case ID_VIEW_USER_TOOLBAR:
    m_pToolBars->UserToolBar()->setVisible(m_pToolBars->UserToolBar()->isHidden());
    return true;
  case ID_VIEW_MAIN_STATUSBAR:
  case ID_VIEW_STATUS_BAR:
    toggleMainStatusBar();
    return true;
  case ID_CUSTOMIZE:
    openCustomizeDialog();
    return true;
  case ID_FULL_PAGE:
    toggleFullPage();
    return true;
  case ID_EDIT_PASTE:
    if (CMultiDocTemplate* docTemplate = m_pApp->DocManager()->FirstTemplate())
      docTemplate->OpenClipboardDocument(this);
    return true;
  case ID_INTERNET:
    openHomepage();
    return true;
  case ID_HELP_CONTENTS:
    showHelp(HID_MAIN_HELP);
    return true;
  case ID_HELP:
    showHelp(0);
    return true;
  case ID_FILE_CLOSE:
    if (CChildFrame* child = ActiveChild()) {
      CTXPhotoDoc* doc = child->GetDocument();
      for (QMdiSubWindow* window : m_pMdiArea->subWindowList())
        if (auto* frame = qobject_cast<CChildFrame*>(window); frame && frame->GetDocument() == doc)
          frame->close();
    }
    return true;
  case ID_WINDOW_NEW:
    if (CChildFrame* child = ActiveChild())
      m_pApp->DocManager()->FirstTemplate()->CreateNewFrame(this, child->GetDocument())->show();
    return true;
  case ID_WINDOW_CASCADE:
    m_pMdiArea->cascadeSubWindows();
    return true;
  case ID_WINDOW_TILE_HORZ:
    m_pMdiArea->tileSubWindows();
    return true;
  case ID_WINDOW_ARRANGE:
    // Minimised document windows line up along the bottom by themselves.
    return true;
  case ID_NEXT_PANE:
    m_pMdiArea->activateNextSubWindow();
    return true;
  case ID_PREV_PANE:
    m_pMdiArea->activatePreviousSubWindow();
    return true;
  default:
    return false;
  }
}

bool CMainFrame::OnUpdateCommand(CCmdUI& ui) {
  const int id = ui.m_nID;
  if (IsUserDefinedToolBarCommand(id)) {
    QToolBar* bar = m_pToolBars->UserDefinedToolBar(id - ID_USER_TOOLBAR1);
    ui.Enable(bar != nullptr);
    ui.SetCheck(bar && !bar->isHidden());
    return true;
  }
  const bool hasChild = ActiveChild() != nullptr;
  switch (id) {
  case ID_VIEW_TOOLBAR:
    ui.SetCheck(!m_pToolBars->StandardToolBar()->isHidden());
    return true;
  case ID_VIEW_USER_TOOLBAR:
    ui.SetCheck(!m_pToolBars->UserToolBar()->isHidden());
    return true;
  case ID_VIEW_MAIN_STATUSBAR:
  case ID_VIEW_STATUS_BAR:
    ui.SetCheck(!statusBar()->isHidden());
    return true;
  case ID_FULL_PAGE:
    ui.Enable(hasChild || m_bFullPage);
    ui.SetCheck(m_bFullPage);
    return true;
  case ID_EDIT_PASTE:
    ui.Enable(ClipboardHasImage());
    return true;
  case ID_FILE_CLOSE:
  case ID_WINDOW_NEW:
  case ID_WINDOW_CASCADE:
  case ID_WINDOW_TILE_HORZ:
  case ID_WINDOW_ARRANGE:
  case ID_NEXT_PANE:
  case ID_PREV_PANE:
    ui.Enable(hasChild);
    return true;
  case ID_CUSTOMIZE:
  case ID_INTERNET:
  case ID_HELP_CONTENTS:
  case ID_HELP:
    return true;
  default:
    return false;
  }
}

void CMainFrame::toggleMainStatusBar() { statusBar()->setVisible(statusBar()->isHidden()); }

void CMainFrame::toggleUserDefinedToolBar(int index) {
  if (QToolBar* bar = m_pToolBars->UserDefinedToolBar(index))
    bar->setVisible(bar->isHidden());
}

void CMainFrame::openCustomizeDialog() {
  if (auto* open = findChild<CCustomizeDialog*>()) {
    open->raise();
    open->activateWindow();
    return;
  }
  QList<CommandCategory> categories;
  CommandCategory all{QStringLiteral("All Commands"), {}};
  int popup = -1;
  for (const MenuEntry& entry : MenuResource(IDR_TAVIXTYPE)) {
    if (entry.depth == 0) {
      ++popup;
      categories.append({QString::fromUtf8(entry.text).remove('&'), {}});
      continue;
    }
    if (entry.command == 0 || entry.command == ID_FILE_MRU_FILE1)
      continue;
    categories.last().commands.append(entry.command);
    if (!all.commands.contains(entry.command))
      all.commands.append(entry.command);
  }
  CommandCategory user{LoadStringResource(IDS_USER_TOOLBAR), {}};
  for (const UserImageButton& button : UserToolbarResource())
    if (button.command != 0)
      user.commands.append(button.command);
  categories.append(user);
  for (int id : StandardToolbarResource())
    if (id != 0 && !all.commands.contains(id))
      all.commands.append(id);
  categories.append(all);
  auto* dialog = new CCustomizeDialog(this, m_pToolBars, m_pKeyboard, [this](int id) { return Action(id); },
                                      categories);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
}

// ---------------------------------------------------------------- full page

void CMainFrame::toggleFullPage() {
  if (m_bFullPage)
    LeaveFullPage();
  else
    enterFullPage();
}

void CMainFrame::enterFullPage() {
  CChildFrame* child = ActiveChild();
  if (!child)
    return;
  m_bChildStatusWasVisible = child->IsStatusBarVisible();
  child->ShowStatusBar(false);
  m_bStandardBarWasVisible = !m_pToolBars->StandardToolBar()->isHidden();
  m_bUserBarWasVisible = !m_pToolBars->UserToolBar()->isHidden();
  m_bStatusBarWasVisible = !statusBar()->isHidden();
  m_userDefinedWasVisible.clear();
  for (int i = 0; i < kMaxUserDefinedToolBars; ++i)
    if (QToolBar* bar = m_pToolBars->UserDefinedToolBar(i)) {
      m_userDefinedWasVisible.insert(bar, !bar->isHidden());
      bar->hide();
    }
  m_pToolBars->StandardToolBar()->hide();
  m_pToolBars->UserToolBar()->hide();
  statusBar()->hide();
  m_bWasMaximizedWindow = isMaximized();
  m_rcFrameBeforeFullPage = normalGeometry();
  // Without a caption and covering the whole screen; the menu bar stays.
  showFullScreen();
  m_bChildWasMaximized = child->isMaximized();
  child->showMaximized();
  m_bFullPage = true;
}

void CMainFrame::LeaveFullPage() {
  if (!m_bFullPage)
    return;
  m_pToolBars->StandardToolBar()->setVisible(m_bStandardBarWasVisible);
  m_pToolBars->UserToolBar()->setVisible(m_bUserBarWasVisible);
  statusBar()->setVisible(m_bStatusBarWasVisible);
  for (auto it = m_userDefinedWasVisible.cbegin(); it != m_userDefinedWasVisible.cend(); ++it)
    if (m_pToolBars->AllToolBars().contains(it.key()))
      it.key()->setVisible(it.value());
  CChildFrame* child = ActiveChild();
  if (child && m_bChildStatusWasVisible)
    child->ShowStatusBar(true);
  showNormal();
  setGeometry(m_rcFrameBeforeFullPage);
  if (m_bWasMaximizedWindow)
    showMaximized();
  if (child) {
    if (m_bChildWasMaximized)
      child->showMaximized();
    else
      child->showNormal();
  }
  m_bFullPage = false;
}

// ---------------------------------------------------------------- help, homepage, closing

void CMainFrame::showHelp(int contextId) {
  if (!ShowHelp(m_pApp->m_strChmPath, contextId, this))
    ShowHelpMissingMessage(this);
}

void CMainFrame::openHomepage() {
  if (!QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomepage))))
    QMessageBox::warning(this, LoadStringResource(AFX_IDS_APP_TITLE), LoadStringResource(IDS_NO_INTERNET));
}

void CMainFrame::askAboutClipboard() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard->ownsClipboard())
    return;
  const auto answer = QMessageBox::warning(this, LoadStringResource(AFX_IDS_APP_TITLE),
                                           LoadStringResource(IDS_DELETE_CLIPBOARD),
                                           QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  if (answer == QMessageBox::Yes)
    clipboard->clear();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  LeaveFullPage();
  askAboutClipboard();
  SaveBarState();
  m_pApp->SaveKeyboardState();
  m_pMdiArea->closeAllSubWindows();
  if (!m_pMdiArea->subWindowList().isEmpty()) {
    event->ignore();
    return;
  }
  event->accept();
}

bool CMainFrame::event(QEvent* event) {
  if (event->type() == COpenPathEvent::kType) {
    const QString path = static_cast<COpenPathEvent*>(event)->m_strPath;
    if (CMultiDocTemplate* docTemplate = m_pApp->DocManager()->FirstTemplate())
      docTemplate->OpenDocumentFile(this, path, true);
    return true;
  }
  if (event->type() == QEvent::StatusTip) {
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    if (tip.isEmpty())
      SetIdleText();
    else
      SetMessageText(tip);
    return true;
  }
  if (event->type() == QEvent::DragEnter) {
    auto* drag = static_cast<QDragEnterEvent*>(event);
    if (drag->mimeData()->hasUrls()) {
      drag->acceptProposedAction();
      return true;
    }
  }
  if (event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    for (const QUrl& url : drop->mimeData()->urls())
      if (url.isLocalFile())
        m_pApp->OpenDocumentFile(url.toLocalFile());
    drop->acceptProposedAction();
    return true;
  }
  return QMainWindow::event(event);
}
