// The main frame's toolbars: the Standard Toolbar (59392), the User Toolbar
// (59413) and up to ten user-defined toolbars (59432..59441). Every toolbar
// is a QToolBar whose buttons are the application's command QActions; what
// each toolbar holds, its title and its visibility are saved under
// "Toolbar/Control Bars" and restored at the next start.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>

class QAction;
class QMainWindow;
class QSettings;
class QToolBar;

inline constexpr int kMaxUserDefinedToolBars = 10;

class CToolBarManager : public QObject {
  Q_OBJECT
public:
  // `actionFor` gives the application's QAction of a command id (nullptr
  // for an unknown id). `makeWidgetAction` builds a fresh toolbar widget for
  // commands shown as a control rather than a button (the compression-mode
  // combo box, 32825): returns nullptr for ordinary commands.
  CToolBarManager(QMainWindow* frame, std::function<QAction*(int)> actionFor,
                  std::function<QAction*(int, QToolBar*)> makeWidgetAction);

  // Creates the two fixed toolbars with their default buttons. False when a
  // toolbar cannot be made.
  bool CreateStandardToolBar(const QString& title);
  bool CreateUserToolBar(const QString& title);
  QToolBar* StandardToolBar() const;
  QToolBar* UserToolBar() const;

  // User-defined toolbars: index 0..9 (command 32831 + index); nullptr when
  // that toolbar does not exist.
  QToolBar* UserDefinedToolBar(int index) const;
  // Creates a new user-defined toolbar in the first free slot; nullptr when
  // all ten exist.
  QToolBar* CreateUserDefinedToolBar(const QString& title);
  bool RenameToolBar(QToolBar* bar, const QString& title);
  bool DeleteUserDefinedToolBar(QToolBar* bar);
  // All toolbars: standard, user, then the user-defined ones.
  QList<QToolBar*> AllToolBars() const;

  // Buttons: command ids in order, 0 for a separator.
  QList<int> Buttons(QToolBar* bar) const;
  void SetButtons(QToolBar* bar, const QList<int>& commands);
  // Puts the default buttons back on the two fixed toolbars.
  void ResetToolBar(QToolBar* bar);

  // Contents, titles and the window state (docking, visibility) under
  // `section` of `settings`.
  void SaveState(QSettings& settings, const QString& section) const;
  void LoadState(QSettings& settings, const QString& section);

  // Added for the Customize dialog and the saved state.
  // The default title of user-defined toolbar `index`: the user category
  // name (string 61306) and index + 1, "Anwenderleiste 1".
  static QString DefaultUserDefinedTitle(int index);
  // 0..9 for a user-defined toolbar, -1 for any other.
  int UserDefinedIndex(const QToolBar* bar) const;
  // True for the Standard and the User Toolbar (they have default buttons).
  bool HasDefaultButtons(const QToolBar* bar) const;

signals:
  void toolBarsChanged();

private:
  QToolBar* makeBar(const QString& objectName, int tavixId, const QString& title);
  QToolBar* createUserDefinedAt(int index, const QString& title);
  void deleteUserDefinedAt(int index);
  bool isManaged(const QToolBar* bar) const;
  QList<int> defaultButtons(const QToolBar* bar) const;
  QAction* actionForButton(QToolBar* bar, int command, QList<QAction*>& spareWidgets);
  void loadUserDefinedSet(QSettings& settings);
  void loadBar(QSettings& settings, QToolBar* bar);

  QMainWindow* m_pFrame;
  std::function<QAction*(int)> m_actionFor;
  std::function<QAction*(int, QToolBar*)> m_makeWidgetAction;
  QPointer<QToolBar> m_pStandardBar;
  QPointer<QToolBar> m_pUserBar;
  std::array<QPointer<QToolBar>, kMaxUserDefinedToolBars> m_userDefined;
};
