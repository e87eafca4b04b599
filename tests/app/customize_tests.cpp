// Toolbars, shortcuts and the Customize dialog on a plain main window whose
// command actions come from the menu tables.
#include <QAction>
#include <QComboBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeWidget>
#include <QWidgetAction>
#include <QtTest>
#include <memory>

#include "app/CustomizeDialog.h"
#include "app/KeyboardManager.h"
#include "app/Settings.h"
#include "app/ToolBarManager.h"
#include "resources/Bitmaps.h"
#include "resources/MenuData.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

// A main window with one action per command of the menus, toolbars and
// accelerators, and the two managers over them.
struct TestFrame {
  QMainWindow window;
  QHash<int, QAction*> actions;
  CToolBarManager* bars = nullptr;
  std::unique_ptr<CKeyboardManager> keyboard;

  TestFrame() {
    for (int menu : {IDR_MAINFRAME, IDR_TAVIXTYPE})
      for (const MenuEntry& entry : MenuResource(menu))
        if (entry.depth == 1 && entry.command != 0)
          addAction(entry.command, QString::fromUtf8(entry.text));
    for (int command : StandardToolbarResource())
      addAction(command, CommandTooltip(command));
    for (const AcceleratorEntry& entry : AcceleratorResource())
      addAction(entry.command, CommandTooltip(entry.command));
    bars = new CToolBarManager(&window, [this](int id) { return actions.value(id); }, &makeCombo);
    bars->CreateStandardToolBar(LoadStringResource(IDS_STANDARD_TOOLBAR));
    bars->CreateUserToolBar(LoadStringResource(IDS_USER_TOOLBAR));
    keyboard = std::make_unique<CKeyboardManager>([this] { return actions.values(); });
    keyboard->ApplyDefaults();
  }
  void addAction(int command, const QString& text) {
    if (command == 0 || actions.contains(command))
      return;
    auto* action = new QAction(CommandIcon(command), text, &window);
    action->setData(command);
    actions.insert(command, action);
  }
  static QAction* makeCombo(int command, QToolBar* bar) {
    if (command != ID_COMPRESSION_MODE)
      return nullptr;
    auto* action = new QWidgetAction(bar);
    action->setDefaultWidget(new QComboBox);
    return action;
  }
  QToolBar* bar(const QString& name) const { return window.findChild<QToolBar*>(name); }
  void save(QSettings& settings) const {
    bars->SaveState(settings, kSectionControlBars);
    keyboard->SaveState(settings, kSectionKeyboard);
  }
  void load(QSettings& settings) {
    bars->LoadState(settings, kSectionControlBars);
    keyboard->LoadState(settings, kSectionKeyboard);
  }
  // Everything that must survive a save and load, as comparable text.
  QStringList state() const {
    QStringList lines;
    for (QToolBar* toolBar : bars->AllToolBars()) {
      QStringList ids;
      for (int id : bars->Buttons(toolBar))
        ids.append(QString::number(id));
      lines.append(QStringLiteral("%1 '%2' hidden=%3 area=%4 [%5]")
                       .arg(toolBar->objectName(), toolBar->windowTitle())
                       .arg(toolBar->isHidden())
                       .arg(window.toolBarArea(toolBar))
                       .arg(ids.join(QLatin1Char(' '))));
    }
    QList<int> ids = actions.keys();
    std::sort(ids.begin(), ids.end());
    for (int id : ids)
      lines.append(QStringLiteral("%1: %2").arg(id).arg(
          QKeySequence::listToString(actions[id]->shortcuts(), QKeySequence::PortableText)));
    return lines;
  }
  std::unique_ptr<CCustomizeDialog> dialog() {
    QList<CommandCategory> categories;
    for (const MenuEntry& entry : MenuResource(IDR_TAVIXTYPE)) {
      if (entry.depth == 0)
        categories.append({QString::fromUtf8(entry.text), {}});
      else if (entry.command != 0)
        categories.last().commands.append(entry.command);
    }
    CommandCategory user{LoadStringResource(IDS_USER_TOOLBAR), {}};
    for (const UserImageButton& button : UserToolbarResource())
      user.commands.append(button.command);
    categories.append(user);
    categories.append({QStringLiteral("All Commands"), actions.keys()});
    return std::make_unique<CCustomizeDialog>(&window, bars, keyboard.get(),
                                              [this](int id) { return actions.value(id); }, categories);
  }
};

QList<int> defaultStandardButtons() {
  const auto buttons = StandardToolbarResource();
  return QList<int>(buttons.begin(), buttons.end());
}

template <typename T>
T* child(QWidget* parent, const char* name) {
  T* widget = parent->findChild<T*>(QString::fromLatin1(name));
  if (!widget)
    qFatal("no control %s", name);
  return widget;
}

void selectItemWithCommand(QListWidget* list, int command) {
  for (int row = 0; row < list->count(); ++row)
    if (list->item(row)->data(Qt::UserRole).toInt() == command)
      list->setCurrentRow(row);
}

}  // namespace

class CustomizeTests : public QObject {
  Q_OBJECT
private slots:
  void buttonListsAreCleaned_data();
  void buttonListsAreCleaned();
  void dialogEditsToolBarButtons();
  void userDefinedToolBars();
  void shortcutTakenFromOtherCommand();
  void stateRoundTrip();
  void corruptSettingsKeepDefaults_data();
  void corruptSettingsKeepDefaults();
  void screenshots();
};

void CustomizeTests::buttonListsAreCleaned_data() {
  QTest::addColumn<QList<int>>("given");
  QTest::addColumn<QList<int>>("expected");
  QTest::newRow("unknown ids dropped") << QList<int>{57601, 99999, -4, 57604} << QList<int>{57601, 57604};
  QTest::newRow("a command shows once") << QList<int>{57601, 0, 57601} << QList<int>{57601, 0};
  QTest::newRow("widget and separators") << QList<int>{0, 32825, 0, 57601} << QList<int>{0, 32825, 0, 57601};
  QTest::newRow("empty") << QList<int>{} << QList<int>{};
  QTest::newRow("capped") << QList<int>(500, 0) << QList<int>(64, 0);
}

void CustomizeTests::buttonListsAreCleaned() {
  QFETCH(QList<int>, given);
  QFETCH(QList<int>, expected);
  TestFrame frame;
  QToolBar* bar = frame.bars->StandardToolBar();
  frame.bars->SetButtons(bar, given);
  QCOMPARE(frame.bars->Buttons(bar), expected);
  QCOMPARE(bar->actions().size(), expected.size());
}

void CustomizeTests::dialogEditsToolBarButtons() {
  TestFrame frame;
  auto dialog = frame.dialog();
  QToolBar* bar = frame.bars->StandardToolBar();
  QAction* combo = bar->actions().at(6);
  auto* categories = child<QListWidget>(dialog.get(), "IDC_CATEGORIES");
  auto* buttons = child<QListWidget>(dialog.get(), "IDC_TOOLBAR_BUTTONS");
  categories->setCurrentRow(categories->count() - 1);
  selectItemWithCommand(child<QListWidget>(dialog.get(), "IDC_COMMANDS"), ID_APP_ABOUT);
  buttons->setCurrentRow(0);

  QList<int> expected = defaultStandardButtons();
  child<QPushButton>(dialog.get(), "IDC_ADD_BUTTON")->click();
  expected.insert(1, ID_APP_ABOUT);
  QCOMPARE(frame.bars->Buttons(bar), expected);
  QVERIFY(bar->actions().contains(frame.actions[ID_APP_ABOUT]));
  QCOMPARE(buttons->currentRow(), 1);

  child<QPushButton>(dialog.get(), "IDC_MOVE_UP")->click();
  expected.swapItemsAt(0, 1);
  QCOMPARE(frame.bars->Buttons(bar), expected);
  QCOMPARE(bar->actions().at(7), combo);  // the combo box survives the rebuild

  child<QPushButton>(dialog.get(), "IDC_ADD_SEPARATOR")->click();
  expected.insert(1, 0);
  QCOMPARE(frame.bars->Buttons(bar), expected);
  child<QPushButton>(dialog.get(), "IDC_REMOVE_BUTTON")->click();
  expected.removeAt(1);
  QCOMPARE(frame.bars->Buttons(bar), expected);
  QCOMPARE(buttons->count(), expected.size());

  child<QPushButton>(dialog.get(), "IDC_RESET_TOOLBAR")->click();
  QCOMPARE(frame.bars->Buttons(bar), defaultStandardButtons());
}

void CustomizeTests::userDefinedToolBars() {
  TestFrame frame;
  auto dialog = frame.dialog();
  auto* list = child<QListWidget>(dialog.get(), "IDC_TOOLBAR_LIST");
  auto* newButton = child<QPushButton>(dialog.get(), "IDC_NEW_TOOLBAR");
  for (int i = 0; i < kMaxUserDefinedToolBars; ++i)
    newButton->click();
  QVERIFY(!newButton->isEnabled());
  QCOMPARE(frame.bars->CreateUserDefinedToolBar(QStringLiteral("Eleventh")), nullptr);
  QCOMPARE(list->count(), 2 + kMaxUserDefinedToolBars);
  QToolBar* tenth = frame.bar(QStringLiteral("IDW_USER_DEFINED_9"));
  QVERIFY(tenth);
  QCOMPARE(tenth->windowTitle(), QStringLiteral("Anwenderleiste 10"));
  QCOMPARE(tenth->property("tavixId").toInt(), IDW_USER_DEFINED_LAST);

  list->item(2)->setText(QStringLiteral("Mine"));
  QCOMPARE(frame.bars->UserDefinedToolBar(0)->windowTitle(), QStringLiteral("Mine"));
  list->item(0)->setText(QStringLiteral("Not mine"));  // fixed toolbars keep their name
  QCOMPARE(frame.bars->StandardToolBar()->windowTitle(), LoadStringResource(IDS_STANDARD_TOOLBAR));
  QCOMPARE(list->item(0)->text(), LoadStringResource(IDS_STANDARD_TOOLBAR));
  list->item(1)->setCheckState(Qt::Checked);
  QVERIFY(!frame.bars->UserToolBar()->isHidden());

  list->setCurrentRow(4);
  child<QPushButton>(dialog.get(), "IDC_DELETE_TOOLBAR")->click();
  QCOMPARE(frame.bars->UserDefinedToolBar(2), nullptr);
  QVERIFY(!frame.bar(QStringLiteral("IDW_USER_DEFINED_2")));
  QVERIFY(newButton->isEnabled());
  QToolBar* again = frame.bars->CreateUserDefinedToolBar(QString());  // the free slot is used again
  QVERIFY(again);
  QCOMPARE(again->objectName(), QStringLiteral("IDW_USER_DEFINED_2"));
}

void CustomizeTests::shortcutTakenFromOtherCommand() {
  TestFrame frame;
  auto dialog = frame.dialog();
  auto* categories = child<QComboBox>(dialog.get(), "IDC_KEY_CATEGORY");
  auto* commands = child<QTreeWidget>(dialog.get(), "IDC_KEY_COMMANDS");
  categories->setCurrentIndex(categories->count() - 1);
  for (int i = 0; i < commands->topLevelItemCount(); ++i)
    if (commands->topLevelItem(i)->data(0, Qt::UserRole).toInt() == ID_IMAGE_INFO)
      commands->setCurrentItem(commands->topLevelItem(i));
  child<QKeySequenceEdit>(dialog.get(), "IDC_NEW_KEY")->setKeySequence(QKeySequence(QStringLiteral("Ctrl+O")));
  QVERIFY(child<QLabel>(dialog.get(), "IDC_KEY_OWNER")->text().contains(QStringLiteral("Open")));
  child<QPushButton>(dialog.get(), "IDC_ASSIGN_KEY")->click();

  const QList<QKeySequence> expected{QKeySequence(QStringLiteral("Ctrl+I")), QKeySequence(QStringLiteral("Ctrl+O"))};
  QCOMPARE(frame.actions[ID_IMAGE_INFO]->shortcuts(), expected);
  QVERIFY(frame.actions[ID_FILE_OPEN]->shortcuts().isEmpty());
  QVERIFY(child<QLabel>(dialog.get(), "IDC_KEY_OWNER")->text().contains(QStringLiteral("taken from")));
  QCOMPARE(child<QListWidget>(dialog.get(), "IDC_CURRENT_KEYS")->count(), 2);

  child<QPushButton>(dialog.get(), "IDC_RESET_KEYS")->click();
  QCOMPARE(frame.keyboard->Shortcuts(ID_FILE_OPEN), frame.keyboard->DefaultShortcuts(ID_FILE_OPEN));
  QCOMPARE(frame.keyboard->Shortcuts(ID_IMAGE_INFO).size(), 1);
}

void CustomizeTests::stateRoundTrip() {
  QTemporaryDir dir;
  QSettings settings(dir.filePath(QStringLiteral("tavix.ini")), QSettings::IniFormat);
  TestFrame first;
  first.bars->SetButtons(first.bars->StandardToolBar(), {ID_ZOOM_IN, 0, ID_COMPRESSION_MODE, ID_APP_ABOUT});
  first.window.addToolBar(Qt::LeftToolBarArea, first.bars->UserToolBar());
  first.bars->UserToolBar()->show();
  for (int i = 0; i < 3; ++i)
    first.bars->CreateUserDefinedToolBar(QString());
  first.bars->DeleteUserDefinedToolBar(first.bars->UserDefinedToolBar(0));
  first.bars->RenameToolBar(first.bars->UserDefinedToolBar(1), QStringLiteral("Shortcuts, mine; \"quoted\""));
  first.bars->SetButtons(first.bars->UserDefinedToolBar(1), {ID_EDIT_COPY, ID_FULL_PAGE});
  first.bars->UserDefinedToolBar(2)->hide();
  first.keyboard->SetShortcuts(ID_COMPRESS_QUALITY, {QKeySequence(QStringLiteral("Ctrl+Shift+,")), QKeySequence(QStringLiteral("F9"))});
  first.keyboard->SetShortcuts(ID_EDIT_PASTE, {});
  first.keyboard->SetShortcuts(ID_ZOOM_IN, {QKeySequence(QStringLiteral("Ctrl+C"))});
  first.save(settings);
  settings.sync();

  QSettings reread(settings.fileName(), QSettings::IniFormat);
  TestFrame second;
  QVERIFY(second.state() != first.state());
  second.load(reread);
  QCOMPARE(second.state(), first.state());
  QCOMPARE(second.window.toolBarArea(second.bars->UserToolBar()), Qt::LeftToolBarArea);
}

void CustomizeTests::corruptSettingsKeepDefaults_data() {
  QTest::addColumn<QString>("key");
  QTest::addColumn<QVariant>("value");
  const QString bars = QString::fromLatin1(kSectionControlBars) + QLatin1Char('/');
  const QString keys = QString::fromLatin1(kSectionKeyboard) + QLatin1Char('/');
  QTest::newRow("buttons not numbers") << bars + "AFX_IDW_TOOLBAR/Buttons" << QVariant("open 57601 copy");
  QTest::newRow("buttons too long") << bars + "AFX_IDW_TOOLBAR/Buttons" << QVariant(QString("57601 ").repeated(5000));
  QTest::newRow("visible not a flag") << bars + "IDW_USER_TOOLBAR/Visible" << QVariant("perhaps");
  QTest::newRow("user slots out of range") << bars + "UserDefined" << QVariant("10 -1 99999999999");
  QTest::newRow("user slots not numbers") << bars + "UserDefined" << QVariant("0 one");
  QTest::newRow("window state garbage") << bars + "WindowState" << QVariant(QByteArray(300, '\xff'));
  QTest::newRow("window state huge") << bars + "WindowState" << QVariant(QByteArray(2 << 20, '\0'));
  QTest::newRow("key of unknown command") << keys + "99999" << QVariant("Ctrl+K");
  QTest::newRow("key entry not a number") << keys + "open" << QVariant("Ctrl+K");
  QTest::newRow("key text garbage") << keys + "57601" << QVariant("Ctrl+Nonsense+Q");
  QStringList many;
  for (int i = 1; i <= 30; ++i)
    many.append(QStringLiteral("F%1").arg(i));
  QTest::newRow("too many keys") << keys + "57601" << QVariant(many.join(QStringLiteral("; ")));
}

void CustomizeTests::corruptSettingsKeepDefaults() {
  QFETCH(QString, key);
  QFETCH(QVariant, value);
  QTemporaryDir dir;
  QSettings settings(dir.filePath(QStringLiteral("tavix.ini")), QSettings::IniFormat);
  settings.setValue(key, value);
  TestFrame untouched;
  TestFrame frame;
  frame.load(settings);
  QCOMPARE(frame.state(), untouched.state());
}

void CustomizeTests::screenshots() {
  const QString dir = qEnvironmentVariableIsSet("TAVIX_SCREENSHOT_DIR") ? qEnvironmentVariable("TAVIX_SCREENSHOT_DIR")
                                                                        : QDir::currentPath();
  QVERIFY(QDir().mkpath(dir));
  TestFrame frame;
  frame.bars->CreateUserDefinedToolBar(QString());
  auto dialog = frame.dialog();
  dialog->show();
  child<QComboBox>(dialog.get(), "IDC_KEY_CATEGORY")->setCurrentIndex(4);  // "Compression": two keys on a command
  auto* tabs = child<QTabWidget>(dialog.get(), "IDC_CUSTOMIZE_TABS");
  const char* names[] = {"customize-commands.png", "customize-toolbars.png", "customize-keyboard.png"};
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    QVERIFY(dialog->grab().save(QDir(dir).filePath(QString::fromLatin1(names[i]))));
  }
}

QTEST_MAIN(CustomizeTests)
#include "customize_tests.moc"
