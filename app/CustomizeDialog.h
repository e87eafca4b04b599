// CCustomizeDialog: "Customize", the user's own toolbars and keyboard
// shortcuts. Three tabs: "Commands" puts commands on toolbars and orders
// their buttons, "Toolbars" shows, hides, creates, renames and deletes
// toolbars, "Keyboard" assigns shortcuts. Every change applies at once to
// the live toolbars and actions. The dialog has no resource of its own; its
// "tavixId" is 0.
#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <functional>

#include "app/ToolBarManager.h"

class CKeyboardManager;
class QAction;
class QComboBox;
class QIcon;
class QKeySequenceEdit;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;
class QToolBar;
class QTreeWidget;

// A group of commands as the dialog lists them ("File", "User Toolbar", ...).
struct CommandCategory {
  QString name;
  QList<int> commands;
};

class CCustomizeDialog : public QDialog {
  Q_OBJECT
public:
  CCustomizeDialog(QWidget* parent, CToolBarManager* toolBars, CKeyboardManager* keyboard,
                   std::function<QAction*(int)> actionFor, QList<CommandCategory> categories);

  // The name a command goes by in the dialog: its User Toolbar text, else
  // its menu text without mnemonic and shortcut.
  QString CommandText(int command) const;

private:
  QWidget* createCommandsPage();
  QWidget* createToolBarsPage();
  QWidget* createKeyboardPage();
  QPushButton* makeButton(const QString& objectName, const QString& text, const QString& tip);
  QIcon commandIcon(int command) const;
  QListWidgetItem* makeCommandItem(int command) const;
  QList<int> categoryCommands(int category) const;

  // "Commands"
  void fillCommandList();
  void fillToolBarChoice();
  void fillButtonList();
  void updateCommandButtons();
  QToolBar* chosenToolBar() const;
  void addCommand();
  void addSeparator();
  void removeButton();
  void moveButton(int step);
  void resetToolBar();
  int insertPosition(const QList<int>& buttons) const;
  void setButtons(const QList<int>& buttons, int selectRow);

  // "Toolbars"
  void fillToolBarList();
  void updateToolBarButtons();
  void newToolBar();
  void renameToolBar();
  void deleteToolBar();
  void onToolBarItemChanged(QListWidgetItem* item);
  QToolBar* toolBarOfItem(const QListWidgetItem* item) const;

  // "Keyboard"
  void fillKeyCommandList();
  void fillKeyList();
  void updateKeyButtons();
  int keyCommand() const;
  QKeySequence enteredKey() const;
  void onKeyEntered();
  void assignKey();
  void removeKey();
  void resetKeys();

  void onToolBarsChanged();

  QPointer<CToolBarManager> m_pToolBars;  // goes before the dialog when the frame closes
  CKeyboardManager* m_pKeyboard;
  std::function<QAction*(int)> m_actionFor;
  QList<CommandCategory> m_categories;
  bool m_bFilling = false;

  QTabWidget* m_pTabs = nullptr;
  // "Commands"
  QListWidget* m_pCategoryList = nullptr;
  QListWidget* m_pCommandList = nullptr;
  QComboBox* m_pToolBarChoice = nullptr;
  QListWidget* m_pButtonList = nullptr;
  QPushButton* m_pAddButton = nullptr;
  QPushButton* m_pSeparatorButton = nullptr;
  QPushButton* m_pRemoveButton = nullptr;
  QPushButton* m_pUpButton = nullptr;
  QPushButton* m_pDownButton = nullptr;
  QPushButton* m_pResetButton = nullptr;
  // "Toolbars"
  QListWidget* m_pToolBarList = nullptr;
  QPushButton* m_pNewBarButton = nullptr;
  QPushButton* m_pRenameBarButton = nullptr;
  QPushButton* m_pDeleteBarButton = nullptr;
  QLabel* m_pToolBarNote = nullptr;
  // "Keyboard"
  QComboBox* m_pKeyCategory = nullptr;
  QTreeWidget* m_pKeyCommands = nullptr;
  QListWidget* m_pKeyList = nullptr;
  QKeySequenceEdit* m_pKeyEdit = nullptr;
  QPushButton* m_pAssignKeyButton = nullptr;
  QPushButton* m_pRemoveKeyButton = nullptr;
  QPushButton* m_pResetKeysButton = nullptr;
  QLabel* m_pKeyOwner = nullptr;
  QLabel* m_pKeyDescription = nullptr;
};
