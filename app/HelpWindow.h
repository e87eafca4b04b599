// Help: HTML pages shipped beside the program, shown in one help window.
// Help requests carry a context id: 0x20000 + a dialog's template id for its
// "Help" button, 0x20081 for the "Help" menu command, 0x10000 + a command id
// for a command; each maps to a page, anything unknown to the index page.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QUrl>

class QTextBrowser;

constexpr int HID_BASE_COMMAND = 0x10000;
constexpr int HID_BASE_RESOURCE = 0x20000;

// The folder of the help pages: <program folder>/help when it holds the
// index, else <program folder>/../share/TavixPhoto/help (an installed
// program). The first of the two when neither exists.
QString HelpDirectory();

// The page (a file name inside the help folder) for a context id.
QString HelpPageForContext(int contextId);

// Shows the page of `contextId` from the folder of `pagesIndex` (the index
// page's full path) in the help window, reusing the window when it is open.
// False when the pages are missing; the caller then shows
// ShowHelpMissingMessage.
bool ShowHelp(const QString& pagesIndex, int contextId, QWidget* parent);

// Message 61289 with the stop icon.
void ShowHelpMissingMessage(QWidget* parent);

class CHelpWindow : public QMainWindow {
  Q_OBJECT
public:
  // The open help window, or nullptr.
  static CHelpWindow* Instance();
  // The help window, created on first use; owned by `owner`'s top window.
  static CHelpWindow* Open(QWidget* owner);

  void ShowPage(const QUrl& page, const QUrl& home);
  QTextBrowser* Browser() const { return m_pBrowser; }

private:
  explicit CHelpWindow(QWidget* owner);
  void createToolBar();

  QTextBrowser* m_pBrowser = nullptr;
  QUrl m_home;
};
