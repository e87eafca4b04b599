#include "app/CustomizeDialog.h"

#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/KeyboardManager.h"
#include "app/ToolBarManager.h"
#include "resources/Bitmaps.h"
#include "resources/MenuData.h"
#include "resources/Strings.h"

namespace {

constexpr int kCommandRole = Qt::UserRole;
constexpr int kBarNameRole = Qt::UserRole + 1;

QString withoutMnemonic(QString text) {
  text.replace(QLatin1String("&&"), QString(QChar(0x1)));
  text.remove(QLatin1Char('&'));
  text.replace(QChar(0x1), QLatin1Char('&'));
  return text;
}

void describe(QWidget* widget, const QString& objectName, const QString& accessibleName,
              const QString& tip) {
  widget->setObjectName(objectName);
  widget->setAccessibleName(withoutMnemonic(accessibleName));
  widget->setToolTip(tip);
}

// A label for `buddy`, which takes the label's text as its accessible name.
QLabel* labelFor(QWidget* buddy, const QString& text) {
  auto* label = new QLabel(text);
  label->setObjectName(buddy->objectName() + QStringLiteral("Label"));
  label->setBuddy(buddy);
  buddy->setAccessibleName(withoutMnemonic(text).remove(QLatin1Char(':')));
  return label;
}

QListWidget* makeList(const QString& objectName, const QString& tip, int minimumWidth) {
  auto* list = new QListWidget;
  describe(list, objectName, QString(), tip);
  list->setMinimumSize(minimumWidth, 220);
  list->setIconSize(QSize(16, 16));
  list->setUniformItemSizes(true);
  return list;
}

QString keysText(const QList<QKeySequence>& keys) {
  QStringList texts;
  for (const QKeySequence& key : keys)
    texts.append(key.toString(QKeySequence::NativeText));
  return texts.join(QStringLiteral(", "));
}

int currentCommand(const QListWidget* list) {
  const QListWidgetItem* item = list->currentItem();
  return item ? item->data(kCommandRole).toInt() : 0;
}

}  // namespace

CCustomizeDialog::CCustomizeDialog(QWidget* parent, CToolBarManager* toolBars, CKeyboardManager* keyboard,
                                   std::function<QAction*(int)> actionFor, QList<CommandCategory> categories)
    : QDialog(parent),
      m_pToolBars(toolBars),
      m_pKeyboard(keyboard),
      m_actionFor(std::move(actionFor)),
      m_categories(std::move(categories)) {
  setObjectName(QStringLiteral("CCustomizeDialog"));
  setProperty("tavixId", 0);
  setWindowTitle(QStringLiteral("Customize"));
  setAccessibleName(windowTitle());

  m_pTabs = new QTabWidget;
  describe(m_pTabs, QStringLiteral("IDC_CUSTOMIZE_TABS"), QStringLiteral("Customize"),
           QStringLiteral("Commands, toolbars and keyboard shortcuts"));
  m_pTabs->addTab(createCommandsPage(), QStringLiteral("&Commands"));
  m_pTabs->addTab(createToolBarsPage(), QStringLiteral("&Toolbars"));
  m_pTabs->addTab(createKeyboardPage(), QStringLiteral("&Keyboard"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->setObjectName(QStringLiteral("IDC_CUSTOMIZE_BUTTONS"));
  QPushButton* close = buttons->button(QDialogButtonBox::Close);
  describe(close, QStringLiteral("IDCANCEL"), close->text(), QStringLiteral("Close this dialog"));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(11, 11, 11, 11);
  layout->addWidget(m_pTabs);
  layout->addWidget(buttons);

  connect(m_pToolBars, &CToolBarManager::toolBarsChanged, this, &CCustomizeDialog::onToolBarsChanged);
  m_pCategoryList->setCurrentRow(0);
  m_pKeyCategory->setCurrentIndex(0);
  onToolBarsChanged();
  fillKeyCommandList();
  resize(minimumSizeHint().expandedTo(QSize(820, 480)));
}

QString CCustomizeDialog::CommandText(int command) const {
  for (const UserImageButton& button : UserToolbarResource())
    if (button.command == command && button.textId != 0)
      return LoadStringResource(button.textId);
  const QAction* action = m_actionFor ? m_actionFor(command) : nullptr;
  QString text = action ? withoutMnemonic(action->text().section(QLatin1Char('\t'), 0, 0)).trimmed() : QString();
  if (text.isEmpty())
    text = CommandTooltip(command);
  return text.isEmpty() ? QStringLiteral("Command %1").arg(command) : text;
}

QPushButton* CCustomizeDialog::makeButton(const QString& objectName, const QString& text, const QString& tip) {
  auto* button = new QPushButton(text);
  describe(button, objectName, text, tip);
  button->setAutoDefault(false);
  return button;
}

QIcon CCustomizeDialog::commandIcon(int command) const {
  const QAction* action = m_actionFor ? m_actionFor(command) : nullptr;
  QIcon icon = action ? action->icon() : QIcon();
  if (icon.isNull())
    icon = CommandIcon(command);
  if (icon.isNull()) {  // a blank keeps the texts of the list in one column
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    icon = QIcon(blank);
  }
  return icon;
}

QListWidgetItem* CCustomizeDialog::makeCommandItem(int command) const {
  auto* item = new QListWidgetItem(commandIcon(command), CommandText(command));
  item->setData(kCommandRole, command);
  item->setToolTip(CommandPrompt(command));
  return item;
}

QList<int> CCustomizeDialog::categoryCommands(int category) const {
  QList<int> commands;
  if (category < 0 || category >= m_categories.size())
    return commands;
  for (int command : m_categories[category].commands)
    if (command != 0 && !commands.contains(command) && m_actionFor && m_actionFor(command))
      commands.append(command);
  return commands;
}

// ---------------------------------------------------------------- "Commands"

QWidget* CCustomizeDialog::createCommandsPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("IDC_PAGE_COMMANDS"));
  m_pCategoryList = makeList(QStringLiteral("IDC_CATEGORIES"), QStringLiteral("Groups of commands"), 130);
  for (const CommandCategory& category : m_categories)
    m_pCategoryList->addItem(withoutMnemonic(category.name));
  m_pCommandList = makeList(QStringLiteral("IDC_COMMANDS"), QStringLiteral("Commands of the chosen group"), 210);
  m_pToolBarChoice = new QComboBox;
  describe(m_pToolBarChoice, QStringLiteral("IDC_TOOLBAR_CHOICE"), QString(),
           QStringLiteral("The toolbar whose buttons are edited"));
  m_pButtonList = makeList(QStringLiteral("IDC_TOOLBAR_BUTTONS"), QStringLiteral("Buttons of the chosen toolbar, in order"), 210);

  m_pAddButton = makeButton(QStringLiteral("IDC_ADD_BUTTON"), QStringLiteral("&Add >"),
                            QStringLiteral("Put the selected command on the toolbar, after the selected button"));
  m_pSeparatorButton = makeButton(QStringLiteral("IDC_ADD_SEPARATOR"), QStringLiteral("Add &Separator"),
                                  QStringLiteral("Put a separator after the selected button"));
  m_pUpButton = makeButton(QStringLiteral("IDC_MOVE_UP"), QStringLiteral("Move &Up"),
                           QStringLiteral("Move the selected button one place to the left"));
  m_pDownButton = makeButton(QStringLiteral("IDC_MOVE_DOWN"), QStringLiteral("Move &Down"),
                             QStringLiteral("Move the selected button one place to the right"));
  m_pRemoveButton = makeButton(QStringLiteral("IDC_REMOVE_BUTTON"), QStringLiteral("&Remove"),
                               QStringLiteral("Take the selected button off the toolbar"));
  m_pResetButton = makeButton(QStringLiteral("IDC_RESET_TOOLBAR"), QStringLiteral("R&eset"),
                              QStringLiteral("Give the toolbar its original buttons back"));

  auto* middle = new QVBoxLayout;
  middle->addStretch();
  middle->addWidget(m_pAddButton);
  middle->addWidget(m_pSeparatorButton);
  middle->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(m_pUpButton);
  right->addWidget(m_pDownButton);
  right->addWidget(m_pRemoveButton);
  right->addStretch();
  right->addWidget(m_pResetButton);

  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(11, 11, 11, 11);
  grid->addWidget(labelFor(m_pCategoryList, QStringLiteral("C&ategories:")), 0, 0);
  grid->addWidget(labelFor(m_pCommandList, QStringLiteral("Co&mmands:")), 0, 1);
  grid->addWidget(labelFor(m_pToolBarChoice, QStringLiteral("Too&lbar:")), 0, 3);
  grid->addWidget(m_pToolBarChoice, 0, 4);
  grid->addWidget(m_pCategoryList, 1, 0, 2, 1);
  grid->addWidget(m_pCommandList, 1, 1, 2, 1);
  grid->addLayout(middle, 1, 2, 2, 1);
  grid->addWidget(labelFor(m_pButtonList, QStringLiteral("&Buttons:")), 1, 3, Qt::AlignTop);
  grid->addWidget(m_pButtonList, 2, 3, 1, 2);
  grid->addLayout(right, 2, 5);
  grid->setColumnStretch(0, 2);
  grid->setColumnStretch(1, 3);
  grid->setColumnStretch(4, 3);

  connect(m_pCategoryList, &QListWidget::currentRowChanged, this, &CCustomizeDialog::fillCommandList);
  connect(m_pCommandList, &QListWidget::currentRowChanged, this, &CCustomizeDialog::updateCommandButtons);
  connect(m_pButtonList, &QListWidget::currentRowChanged, this, &CCustomizeDialog::updateCommandButtons);
  connect(m_pToolBarChoice, &QComboBox::currentIndexChanged, this, &CCustomizeDialog::fillButtonList);
  connect(m_pAddButton, &QPushButton::clicked, this, &CCustomizeDialog::addCommand);
  connect(m_pSeparatorButton, &QPushButton::clicked, this, &CCustomizeDialog::addSeparator);
  connect(m_pRemoveButton, &QPushButton::clicked, this, &CCustomizeDialog::removeButton);
  connect(m_pUpButton, &QPushButton::clicked, this, [this] { moveButton(-1); });
  connect(m_pDownButton, &QPushButton::clicked, this, [this] { moveButton(1); });
  connect(m_pResetButton, &QPushButton::clicked, this, &CCustomizeDialog::resetToolBar);
  return page;
}

void CCustomizeDialog::fillCommandList() {
  const int previous = currentCommand(m_pCommandList);
  m_pCommandList->clear();
  for (int command : categoryCommands(m_pCategoryList->currentRow())) {
    QListWidgetItem* item = makeCommandItem(command);
    m_pCommandList->addItem(item);
    if (command == previous)
      m_pCommandList->setCurrentItem(item);
  }
  if (!m_pCommandList->currentItem())
    m_pCommandList->setCurrentRow(0);
  updateCommandButtons();
}

void CCustomizeDialog::fillToolBarChoice() {
  const QString previous = m_pToolBarChoice->currentData().toString();
  m_bFilling = true;
  m_pToolBarChoice->clear();
  for (QToolBar* bar : m_pToolBars->AllToolBars())
    m_pToolBarChoice->addItem(bar->windowTitle(), bar->objectName());
  m_pToolBarChoice->setCurrentIndex(std::max(0, m_pToolBarChoice->findData(previous)));
  m_bFilling = false;
  fillButtonList();
}

QToolBar* CCustomizeDialog::chosenToolBar() const {
  const QString name = m_pToolBarChoice->currentData().toString();
  for (QToolBar* bar : m_pToolBars->AllToolBars())
    if (bar->objectName() == name)
      return bar;
  return nullptr;
}

void CCustomizeDialog::fillButtonList() {
  if (m_bFilling)
    return;
  const int row = m_pButtonList->currentRow();
  m_pButtonList->clear();
  for (int command : m_pToolBars->Buttons(chosenToolBar())) {
    if (command != 0) {
      m_pButtonList->addItem(makeCommandItem(command));
      continue;
    }
    auto* separator = new QListWidgetItem(QStringLiteral("\u2014 Separator \u2014"));
    separator->setData(kCommandRole, 0);
    separator->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
    m_pButtonList->addItem(separator);
  }
  m_pButtonList->setCurrentRow(std::min(row, m_pButtonList->count() - 1));
  updateCommandButtons();
}

void CCustomizeDialog::updateCommandButtons() {
  const bool haveBar = chosenToolBar() != nullptr;
  const int row = m_pButtonList->currentRow();
  m_pAddButton->setEnabled(haveBar && m_pCommandList->currentItem());
  m_pSeparatorButton->setEnabled(haveBar);
  m_pRemoveButton->setEnabled(row >= 0);
  m_pUpButton->setEnabled(row > 0);
  m_pDownButton->setEnabled(row >= 0 && row + 1 < m_pButtonList->count());
  m_pResetButton->setEnabled(m_pToolBars->HasDefaultButtons(chosenToolBar()));
}

void CCustomizeDialog::setButtons(const QList<int>& buttons, int selectRow) {
  m_pToolBars->SetButtons(chosenToolBar(), buttons);
  m_pButtonList->setCurrentRow(std::min(selectRow, m_pButtonList->count() - 1));
}

// New buttons go after the selected one, or at the end.
int CCustomizeDialog::insertPosition(const QList<int>& buttons) const {
  const int row = m_pButtonList->currentRow();
  return row >= 0 && row < buttons.size() ? row + 1 : static_cast<int>(buttons.size());
}

void CCustomizeDialog::addCommand() {
  const int command = currentCommand(m_pCommandList);
  if (command == 0)
    return;
  QList<int> buttons = m_pToolBars->Buttons(chosenToolBar());
  // A command shows once per toolbar: adding it again just points at it.
  const qsizetype existing = buttons.indexOf(command);
  if (existing >= 0) {
    m_pButtonList->setCurrentRow(static_cast<int>(existing));
    return;
  }
  const int at = insertPosition(buttons);
  buttons.insert(at, command);
  setButtons(buttons, at);
}

void CCustomizeDialog::addSeparator() {
  QList<int> buttons = m_pToolBars->Buttons(chosenToolBar());
  const int at = insertPosition(buttons);
  buttons.insert(at, 0);
  setButtons(buttons, at);
}

void CCustomizeDialog::removeButton() {
  QList<int> buttons = m_pToolBars->Buttons(chosenToolBar());
  const int row = m_pButtonList->currentRow();
  if (row < 0 || row >= buttons.size())
    return;
  buttons.removeAt(row);
  setButtons(buttons, row);
}

void CCustomizeDialog::moveButton(int step) {
  QList<int> buttons = m_pToolBars->Buttons(chosenToolBar());
  const int row = m_pButtonList->currentRow();
  const int to = row + step;
  if (row < 0 || to < 0 || row >= buttons.size() || to >= buttons.size())
    return;
  buttons.swapItemsAt(row, to);
  setButtons(buttons, to);
}

void CCustomizeDialog::resetToolBar() { m_pToolBars->ResetToolBar(chosenToolBar()); }

// ---------------------------------------------------------------- "Toolbars"

QWidget* CCustomizeDialog::createToolBarsPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("IDC_PAGE_TOOLBARS"));
  m_pToolBarList = makeList(QStringLiteral("IDC_TOOLBAR_LIST"),
                            QStringLiteral("Tick a toolbar to show it; double-click a toolbar of your own to rename it"), 260);
  m_pNewBarButton = makeButton(QStringLiteral("IDC_NEW_TOOLBAR"), QStringLiteral("&New"),
                               QStringLiteral("Make a new, empty toolbar of your own"));
  m_pRenameBarButton = makeButton(QStringLiteral("IDC_RENAME_TOOLBAR"), QStringLiteral("Rena&me"),
                                  QStringLiteral("Change the name of the selected toolbar"));
  m_pDeleteBarButton = makeButton(QStringLiteral("IDC_DELETE_TOOLBAR"), QStringLiteral("&Delete"),
                                  QStringLiteral("Delete the selected toolbar"));
  m_pToolBarNote = new QLabel;
  describe(m_pToolBarNote, QStringLiteral("IDC_TOOLBAR_NOTE"), QStringLiteral("Note"),
           QStringLiteral("What can be done with the selected toolbar"));
  m_pToolBarNote->setWordWrap(true);

  auto* side = new QVBoxLayout;
  side->addWidget(m_pNewBarButton);
  side->addWidget(m_pRenameBarButton);
  side->addWidget(m_pDeleteBarButton);
  side->addStretch();
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(11, 11, 11, 11);
  grid->addWidget(labelFor(m_pToolBarList, QStringLiteral("Tool&bars:")), 0, 0);
  grid->addWidget(m_pToolBarList, 1, 0);
  grid->addLayout(side, 1, 1);
  grid->addWidget(m_pToolBarNote, 2, 0, 1, 2);
  grid->setColumnStretch(0, 1);

  connect(m_pToolBarList, &QListWidget::itemChanged, this, &CCustomizeDialog::onToolBarItemChanged);
  connect(m_pToolBarList, &QListWidget::currentRowChanged, this, &CCustomizeDialog::updateToolBarButtons);
  connect(m_pNewBarButton, &QPushButton::clicked, this, &CCustomizeDialog::newToolBar);
  connect(m_pRenameBarButton, &QPushButton::clicked, this, &CCustomizeDialog::renameToolBar);
  connect(m_pDeleteBarButton, &QPushButton::clicked, this, &CCustomizeDialog::deleteToolBar);
  return page;
}

QToolBar* CCustomizeDialog::toolBarOfItem(const QListWidgetItem* item) const {
  const QString name = item ? item->data(kBarNameRole).toString() : QString();
  for (QToolBar* bar : m_pToolBars->AllToolBars())
    if (bar->objectName() == name)
      return bar;
  return nullptr;
}

// Updates the items in place while the same toolbars exist, so that an
// item being edited is never deleted under its editor.
void CCustomizeDialog::fillToolBarList() {
  if (!m_pToolBars)
    return;
  const QList<QToolBar*> bars = m_pToolBars->AllToolBars();
  bool same = m_pToolBarList->count() == bars.size();
  for (int i = 0; same && i < bars.size(); ++i)
    same = m_pToolBarList->item(i)->data(kBarNameRole).toString() == bars[i]->objectName();
  m_bFilling = true;
  if (!same) {
    const int row = m_pToolBarList->currentRow();
    m_pToolBarList->clear();
    for (QToolBar* bar : bars) {
      auto* item = new QListWidgetItem(m_pToolBarList);
      item->setData(kBarNameRole, bar->objectName());
      Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
      if (m_pToolBars->UserDefinedIndex(bar) >= 0)
        flags |= Qt::ItemIsEditable;
      item->setFlags(flags);
      connect(bar, &QToolBar::visibilityChanged, this, &CCustomizeDialog::fillToolBarList, Qt::UniqueConnection);
    }
    m_pToolBarList->setCurrentRow(std::min(std::max(row, 0), static_cast<int>(bars.size()) - 1));
  }
  for (int i = 0; i < bars.size(); ++i) {
    QListWidgetItem* item = m_pToolBarList->item(i);
    item->setText(bars[i]->windowTitle());
    item->setCheckState(bars[i]->isHidden() ? Qt::Unchecked : Qt::Checked);
  }
  m_bFilling = false;
  updateToolBarButtons();
}

void CCustomizeDialog::updateToolBarButtons() {
  int count = 0;
  for (QToolBar* bar : m_pToolBars->AllToolBars())
    count += m_pToolBars->UserDefinedIndex(bar) >= 0 ? 1 : 0;
  const bool own = m_pToolBars->UserDefinedIndex(toolBarOfItem(m_pToolBarList->currentItem())) >= 0;
  m_pNewBarButton->setEnabled(count < kMaxUserDefinedToolBars);
  m_pRenameBarButton->setEnabled(own);
  m_pDeleteBarButton->setEnabled(own);
  m_pToolBarNote->setText(count < kMaxUserDefinedToolBars
                              ? QStringLiteral("Tick a toolbar to show it. You can make up to %1 toolbars of your own.")
                                    .arg(kMaxUserDefinedToolBars)
                              : QStringLiteral("There are already %1 toolbars of your own; delete one to make a new one.")
                                    .arg(kMaxUserDefinedToolBars));
}

void CCustomizeDialog::onToolBarItemChanged(QListWidgetItem* item) {
  QToolBar* bar = toolBarOfItem(item);
  if (m_bFilling || !bar)
    return;
  const bool shown = item->checkState() == Qt::Checked;
  if (bar->isHidden() == shown)
    bar->setVisible(shown);
  if (item->text() != bar->windowTitle() && !m_pToolBars->RenameToolBar(bar, item->text())) {
    m_bFilling = true;
    item->setText(bar->windowTitle());  // fixed toolbars and empty names keep their title
    m_bFilling = false;
  }
}

void CCustomizeDialog::newToolBar() {
  QToolBar* bar = m_pToolBars->CreateUserDefinedToolBar(QString());
  if (!bar)
    return;
  const int row = static_cast<int>(m_pToolBars->AllToolBars().indexOf(bar));
  m_pToolBarList->setCurrentRow(row);
  m_pToolBarChoice->setCurrentIndex(m_pToolBarChoice->findData(bar->objectName()));
  m_pToolBarList->editItem(m_pToolBarList->item(row));
}

void CCustomizeDialog::renameToolBar() {
  QListWidgetItem* item = m_pToolBarList->currentItem();
  if (item && m_pToolBars->UserDefinedIndex(toolBarOfItem(item)) >= 0)
    m_pToolBarList->editItem(item);
}

void CCustomizeDialog::deleteToolBar() { m_pToolBars->DeleteUserDefinedToolBar(toolBarOfItem(m_pToolBarList->currentItem())); }

void CCustomizeDialog::onToolBarsChanged() {
  if (!m_pToolBars)
    return;
  fillToolBarChoice();
  fillToolBarList();
}

// ---------------------------------------------------------------- "Keyboard"

QWidget* CCustomizeDialog::createKeyboardPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("IDC_PAGE_KEYBOARD"));
  m_pKeyCategory = new QComboBox;
  describe(m_pKeyCategory, QStringLiteral("IDC_KEY_CATEGORY"), QString(), QStringLiteral("Groups of commands"));
  for (const CommandCategory& category : m_categories)
    m_pKeyCategory->addItem(withoutMnemonic(category.name));
  m_pKeyCommands = new QTreeWidget;
  describe(m_pKeyCommands, QStringLiteral("IDC_KEY_COMMANDS"), QString(),
           QStringLiteral("Commands of the chosen group with their shortcuts"));
  m_pKeyCommands->setHeaderLabels({QStringLiteral("Command"), QStringLiteral("Shortcuts")});
  m_pKeyCommands->setRootIsDecorated(false);
  m_pKeyCommands->setUniformRowHeights(true);
  m_pKeyCommands->setMinimumSize(320, 220);
  m_pKeyCommands->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_pKeyCommands->header()->setStretchLastSection(false);
  m_pKeyCommands->header()->resizeSection(1, 110);
  m_pKeyList = makeList(QStringLiteral("IDC_CURRENT_KEYS"), QStringLiteral("Shortcuts of the selected command"), 200);
  m_pKeyList->setMinimumHeight(80);
  m_pKeyEdit = new QKeySequenceEdit;
  describe(m_pKeyEdit, QStringLiteral("IDC_NEW_KEY"), QString(), QStringLiteral("Press the new shortcut here"));
  m_pAssignKeyButton = makeButton(QStringLiteral("IDC_ASSIGN_KEY"), QStringLiteral("A&ssign"),
                                  QStringLiteral("Give the pressed shortcut to the selected command"));
  m_pRemoveKeyButton = makeButton(QStringLiteral("IDC_REMOVE_KEY"), QStringLiteral("&Remove"),
                                  QStringLiteral("Take the selected shortcut away from the command"));
  m_pResetKeysButton = makeButton(QStringLiteral("IDC_RESET_KEYS"), QStringLiteral("Reset &All"),
                                  QStringLiteral("Give every command its original shortcuts back"));
  m_pKeyOwner = new QLabel;
  describe(m_pKeyOwner, QStringLiteral("IDC_KEY_OWNER"), QStringLiteral("Assigned to"),
           QStringLiteral("Which command holds the pressed shortcut now"));
  m_pKeyOwner->setWordWrap(true);
  m_pKeyDescription = new QLabel;
  describe(m_pKeyDescription, QStringLiteral("IDC_KEY_DESCRIPTION"), QStringLiteral("Description"),
           QStringLiteral("What the selected command does"));
  m_pKeyDescription->setWordWrap(true);

  auto* newKey = new QHBoxLayout;
  newKey->addWidget(m_pKeyEdit, 1);
  newKey->addWidget(m_pAssignKeyButton);
  auto* right = new QVBoxLayout;
  right->addWidget(labelFor(m_pKeyList, QStringLiteral("C&urrent keys:")));
  right->addWidget(m_pKeyList);
  right->addWidget(m_pRemoveKeyButton, 0, Qt::AlignRight);
  right->addSpacing(8);
  right->addWidget(labelFor(m_pKeyEdit, QStringLiteral("&Press new shortcut:")));
  right->addLayout(newKey);
  right->addWidget(m_pKeyOwner);
  right->addStretch();
  right->addWidget(m_pResetKeysButton, 0, Qt::AlignRight);

  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(11, 11, 11, 11);
  grid->addWidget(labelFor(m_pKeyCategory, QStringLiteral("C&ategory:")), 0, 0);
  grid->addWidget(m_pKeyCategory, 0, 1);
  grid->addWidget(labelFor(m_pKeyCommands, QStringLiteral("Co&mmands:")), 1, 0, 1, 2);
  grid->addWidget(m_pKeyCommands, 2, 0, 1, 2);
  grid->addLayout(right, 0, 2, 3, 1);
  grid->addWidget(m_pKeyDescription, 3, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnMinimumWidth(2, 220);

  connect(m_pKeyCategory, &QComboBox::currentIndexChanged, this, &CCustomizeDialog::fillKeyCommandList);
  connect(m_pKeyCommands, &QTreeWidget::currentItemChanged, this, &CCustomizeDialog::fillKeyList);
  connect(m_pKeyList, &QListWidget::currentRowChanged, this, &CCustomizeDialog::updateKeyButtons);
  connect(m_pKeyEdit, &QKeySequenceEdit::keySequenceChanged, this, &CCustomizeDialog::onKeyEntered);
  connect(m_pAssignKeyButton, &QPushButton::clicked, this, &CCustomizeDialog::assignKey);
  connect(m_pRemoveKeyButton, &QPushButton::clicked, this, &CCustomizeDialog::removeKey);
  connect(m_pResetKeysButton, &QPushButton::clicked, this, &CCustomizeDialog::resetKeys);
  return page;
}

int CCustomizeDialog::keyCommand() const {
  const QTreeWidgetItem* item = m_pKeyCommands->currentItem();
  return item ? item->data(0, kCommandRole).toInt() : 0;
}

// Only the first key combination counts: a shortcut is one chord here.
QKeySequence CCustomizeDialog::enteredKey() const {
  const QKeySequence keys = m_pKeyEdit->keySequence();
  return keys.isEmpty() ? QKeySequence() : QKeySequence(keys[0]);
}

void CCustomizeDialog::fillKeyCommandList() {
  const int previous = keyCommand();
  m_pKeyCommands->clear();
  for (int command : categoryCommands(m_pKeyCategory->currentIndex())) {
    auto* item = new QTreeWidgetItem(m_pKeyCommands, {CommandText(command), keysText(m_pKeyboard->Shortcuts(command))});
    item->setIcon(0, commandIcon(command));
    item->setToolTip(0, CommandPrompt(command));
    item->setData(0, kCommandRole, command);
    if (command == previous)
      m_pKeyCommands->setCurrentItem(item);
  }
  if (!m_pKeyCommands->currentItem() && m_pKeyCommands->topLevelItemCount() > 0)
    m_pKeyCommands->setCurrentItem(m_pKeyCommands->topLevelItem(0));
  fillKeyList();
}

void CCustomizeDialog::fillKeyList() {
  const int command = keyCommand();
  const QList<QKeySequence> keys = m_pKeyboard->Shortcuts(command);
  if (QTreeWidgetItem* item = m_pKeyCommands->currentItem())
    item->setText(1, keysText(keys));
  m_pKeyList->clear();
  for (const QKeySequence& key : keys) {
    auto* item = new QListWidgetItem(key.toString(QKeySequence::NativeText), m_pKeyList);
    item->setData(kCommandRole, key.toString(QKeySequence::PortableText));
  }
  m_pKeyList->setCurrentRow(keys.isEmpty() ? -1 : 0);
  m_pKeyDescription->setText(command ? CommandPrompt(command) : QString());
  updateKeyButtons();
}

void CCustomizeDialog::updateKeyButtons() {
  m_pRemoveKeyButton->setEnabled(m_pKeyList->currentItem() != nullptr);
  m_pAssignKeyButton->setEnabled(keyCommand() != 0 && !enteredKey().isEmpty());
}

void CCustomizeDialog::onKeyEntered() {
  const QKeySequence key = enteredKey();
  const int owner = m_pKeyboard->CommandForShortcut(key);
  if (key.isEmpty())
    m_pKeyOwner->clear();
  else if (owner == 0)
    m_pKeyOwner->setText(QStringLiteral("Not assigned."));
  else
    m_pKeyOwner->setText(QStringLiteral("Currently assigned to \"%1\".").arg(CommandText(owner)));
  updateKeyButtons();
}

void CCustomizeDialog::assignKey() {
  const int command = keyCommand();
  const QKeySequence key = enteredKey();
  if (command == 0 || key.isEmpty())
    return;
  const int owner = m_pKeyboard->CommandForShortcut(key);
  QList<QKeySequence> keys = m_pKeyboard->Shortcuts(command);
  if (owner != command) {
    keys.append(key);
    m_pKeyboard->SetShortcuts(command, keys);
  }
  m_pKeyEdit->clear();
  fillKeyCommandList();  // the previous owner's row changes too
  const QString name = key.toString(QKeySequence::NativeText);
  m_pKeyOwner->setText(owner != 0 && owner != command
                           ? QStringLiteral("%1 was taken from \"%2\".").arg(name, CommandText(owner))
                           : QStringLiteral("%1 is assigned to \"%2\".").arg(name, CommandText(command)));
}

void CCustomizeDialog::removeKey() {
  const QListWidgetItem* item = m_pKeyList->currentItem();
  if (!item)
    return;
  const QKeySequence key = QKeySequence::fromString(item->data(kCommandRole).toString(), QKeySequence::PortableText);
  QList<QKeySequence> keys = m_pKeyboard->Shortcuts(keyCommand());
  keys.removeAll(key);
  m_pKeyboard->SetShortcuts(keyCommand(), keys);
  fillKeyList();
}

void CCustomizeDialog::resetKeys() {
  m_pKeyboard->ResetAll();
  fillKeyCommandList();
  m_pKeyOwner->setText(QStringLiteral("Every command has its original shortcuts again."));
}
