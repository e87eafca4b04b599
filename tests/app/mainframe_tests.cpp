// The application shell as a user meets it: start-up, menus, the
// compression-mode box, full-page mode, the toolbar context menu and the
// colour-table warning.
#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include "app/MainFrame.h"
#include "app_test_helpers.h"
#include "app/Settings.h"
#include "app/TXPhotoApp.h"
#include "app/ToolBarManager.h"
#include "docview/ChildFrame.h"
#include "resources/MenuData.h"
#include "resources/resource.h"

namespace {
CCommandLineInfo TestCommandLine(const QStringList& files = {}) {
  CCommandLineInfo info;
  info.m_files = files;
  info.m_bNoSplash = true;
  info.m_bNewInstance = true;
  return info;
}

// Answers the next modal dialog: `key` pressed on it, after `untick` clears
// its check box.
void AnswerNextDialog(Qt::Key key, bool untick) {
  QTimer::singleShot(50, [key, untick] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog)
      return AnswerNextDialog(key, untick);
    if (untick)
      if (auto* box = dialog->findChild<QCheckBox*>("IDC_SHOW_AGAIN"))
        box->setChecked(false);
    if (key == Qt::Key_Escape || key == Qt::Key_Return)
      QTest::keyClick(dialog, key);
    else if (auto* exit = dialog->findChild<QPushButton*>("IDC_EXIT"))
      exit->click();
  });
}

int StoredPaletteEntry() {
  QSettings settings = OpenSettings();
  return settings.value(QStringLiteral("Warning/Palette"), 0).toInt();
}

void SaveScreenshot(QWidget* widget, const QString& name) {
  const QString folder = qEnvironmentVariable("TAVIX_SCREENSHOT_DIR", QDir::currentPath());
  QDir().mkpath(folder);
  QVERIFY(widget->grab().save(QDir(folder).filePath(name)));
}
}  // namespace

class MainFrameTests : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;

  QString imageFile(const QString& name) {
    const QString path = m_dir.filePath(name);
    QImage image(64, 48, QImage::Format_RGB888);
    image.fill(Qt::darkCyan);
    image.save(path);
    return path;
  }

private slots:
  void init() { OpenSettings().clear(); }

  void plainStartOpensNoDocument() {
    CTXPhotoApp app;
    QVERIFY(app.InitInstance(TestCommandLine()));
    QVERIFY(app.MainFrame()->MdiArea()->subWindowList().isEmpty());
    QCOMPARE(app.MainFrame()->menuBar()->actions().size(), 4);  // menu 128
  }

  void commandLineFilesOpenInOrder() {
    const QString first = imageFile("first.bmp"), second = imageFile("second.bmp");
    CTXPhotoApp app;
    QVERIFY(app.InitInstance(TestCommandLine({first, second})));
    const auto windows = app.MainFrame()->MdiArea()->subWindowList(QMdiArea::CreationOrder);
    QCOMPARE(windows.size(), 2);
    QCOMPARE(windows[0]->windowTitle(), QStringLiteral("first.bmp"));
    QCOMPARE(windows[1]->windowTitle(), QStringLiteral("second.bmp"));
    QCOMPARE(app.MainFrame()->menuBar()->actions().size(), 7);  // menu 129
    QCOMPARE(app.RecentFiles().first(), second);
  }

  void startFailsWhenNoNamedFileOpens() {
    CMessageBoxRecorder boxes;
    CTXPhotoApp app;
    QVERIFY(!app.InitInstance(TestCommandLine({m_dir.filePath("missing.tvx")})));
    QCOMPARE(boxes.texts.size(), 1);
  }

  void closingSavesTheLayout() {
    {
      CTXPhotoApp app;
      QVERIFY(app.InitInstance(TestCommandLine()));
      app.MainFrame()->ToolBars()->UserToolBar()->show();
      app.MainFrame()->close();
      app.ExitInstance();
    }
    QSettings settings = OpenSettings();
    QVERIFY(!settings.childGroups().isEmpty());
    CTXPhotoApp again;
    QVERIFY(again.InitInstance(TestCommandLine()));
    QVERIFY(!again.MainFrame()->ToolBars()->UserToolBar()->isHidden());
  }

  void everyMenuCommandHasAnAction() {
    CTXPhotoApp app;
    QVERIFY(app.InitInstance(TestCommandLine()));
    for (int menu : {IDR_MAINFRAME, IDR_TAVIXTYPE})
      for (const MenuEntry& entry : MenuResource(menu)) {
        if (entry.depth != 1 || entry.command == 0)
          continue;
        QAction* action = app.MainFrame()->Action(entry.command);
        QVERIFY2(action, qPrintable(QString::number(entry.command)));
        QCOMPARE(action->data().toInt(), entry.command);
        QVERIFY(!action->objectName().isEmpty());
      }
    QCOMPARE(app.MainFrame()->Action(ID_FILE_OPEN)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    // Commands of later work are routed to the view and disabled without one.
    app.MainFrame()->UpdateCommandStates();
    QVERIFY(!app.MainFrame()->Action(ID_ZOOM_IN)->isEnabled());
    QVERIFY(app.MainFrame()->Action(ID_FILE_OPEN)->isEnabled());
  }

  void compressionModeRules_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("extraItem");
    QTest::addColumn<int>("mode");
    QTest::newRow("file size") << 0 << QString() << 1;
    QTest::newRow("quality") << 1 << QString() << 2;
    QTest::newRow("lossless") << 2 << QString() << 3;
    QTest::newRow("case-insensitive") << 3 << QStringLiteral("COMPRESS LOSSLESS") << 3;
    QTest::newRow("foreign text") << 3 << QStringLiteral("Compress for Speed") << -1;
    QTest::newRow("no item") << -1 << QString() << 0;
  }
  void compressionModeRules() {
    QFETCH(int, index);
    QFETCH(QString, extraItem);
    QFETCH(int, mode);
    CTXPhotoApp app;
    QVERIFY(app.InitInstance(TestCommandLine()));
    QComboBox* combo = app.MainFrame()->CompressionModeCombo();
    QVERIFY(combo);
    QCOMPARE(combo->width(), 165);
    if (!extraItem.isEmpty())
      combo->addItem(extraItem);
    app.MainFrame()->SetCompressionMode(2);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    QCOMPARE(app.MainFrame()->GetCompressionMode(), mode);
  }

  void setCompressionModeSelectsItem() {
    CTXPhotoApp app;
    QVERIFY(app.InitInstance(TestCommandLine()));
    QComboBox* combo = app.MainFrame()->CompressionModeCombo();
    app.MainFrame()->SetCompressionMode(3);
    QCOMPARE(combo->currentIndex(), 2);
    app.MainFrame()->SetCompressionMode(7);
    QCOMPARE(combo->currentIndex(), -1);
    QCOMPARE(app.MainFrame()->GetCompressionMode(), 7);
  }

  void fullPageRestoresEverything() {
    CTXPhotoApp app;
    QVERIFY(app.InitInstance(TestCommandLine({imageFile("full.bmp")})));
    CMainFrame* frame = app.MainFrame();
    QToolBar* userBar = frame->ToolBars()->UserToolBar();
    QVERIFY(userBar->isHidden());
    const QRect before = frame->geometry();
    const QString title = frame->windowTitle();
    CChildFrame* child = frame->ActiveChild();
    QVERIFY(child);
    QVERIFY(frame->Router().Execute(ID_FULL_PAGE));
    QVERIFY(frame->IsFullPage());
    QVERIFY(frame->ToolBars()->StandardToolBar()->isHidden());
    QVERIFY(frame->statusBar()->isHidden());
    QVERIFY(!child->IsStatusBarVisible());
    QVERIFY(child->isMaximized());
    QVERIFY(frame->Router().Execute(ID_FULL_PAGE));
    QVERIFY(!frame->IsFullPage());
    QVERIFY(!frame->ToolBars()->StandardToolBar()->isHidden());
    QVERIFY(userBar->isHidden());
    QVERIFY(!frame->statusBar()->isHidden());
    QVERIFY(child->IsStatusBarVisible());
    QVERIFY(!child->isMaximized());
    QCOMPARE(frame->geometry(), before);
    QCOMPARE(frame->windowTitle(), title);
  }

  void fullPageNeedsADocument() {
    CTXPhotoApp app;
    QVERIFY(app.InitInstance(TestCommandLine()));
    app.MainFrame()->Router().Execute(ID_FULL_PAGE);
    QVERIFY(!app.MainFrame()->IsFullPage());
  }

  void toolBarMenuListsOnlyExistingToolBars() {
    CTXPhotoApp app;
    QVERIFY(app.InitInstance(TestCommandLine()));
    CToolBarManager* bars = app.MainFrame()->ToolBars();
    bars->CreateUserDefinedToolBar(QStringLiteral("Mine"));
    bars->CreateUserDefinedToolBar(QStringLiteral("Second"));
    bars->DeleteUserDefinedToolBar(bars->UserDefinedToolBar(0));
    std::unique_ptr<QMenu> menu(app.MainFrame()->BuildToolBarContextMenu());
    QStringList userEntries;
    for (QAction* item : menu->actions()) {
      const int id = item->data().toInt();
      if (id >= ID_USER_TOOLBAR1 && id <= ID_USER_TOOLBAR10)
        userEntries << QStringLiteral("%1 %2").arg(id).arg(item->text());
    }
    QCOMPARE(userEntries, QStringList{QStringLiteral("32832 Second")});
  }

  void paletteWarningOutcomes_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("untick");
    QTest::addColumn<bool>("goesOn");
    QTest::addColumn<int>("stored");
    QTest::newRow("continue") << int(Qt::Key_Return) << false << true << 0;
    QTest::newRow("continue, never again") << int(Qt::Key_Return) << true << true << 1;
    QTest::newRow("exit, never again") << int(Qt::Key_X) << true << false << 1;
    QTest::newRow("escape keeps the warning") << int(Qt::Key_Escape) << true << false << 0;
  }
  void paletteWarningOutcomes() {
    QFETCH(int, key);
    QFETCH(bool, untick);
    QFETCH(bool, goesOn);
    QFETCH(int, stored);
    CCommandLineInfo info = TestCommandLine();
    info.m_bPaletteDisplay = true;
    CTXPhotoApp app;
    AnswerNextDialog(Qt::Key(key), untick);
    QCOMPARE(app.InitInstance(info), goesOn);
    QCOMPARE(StoredPaletteEntry(), stored);
  }

  void paletteWarningWaitsForIdleWhenStartedByTheDesktop() {
    CCommandLineInfo info = TestCommandLine({imageFile("dde.bmp")});
    info.m_bPaletteDisplay = true;
    info.m_bShellOpen = true;
    CTXPhotoApp app;
    QVERIFY(app.InitInstance(info));
    QVERIFY(app.m_bPaletteWarningPending);
    QCOMPARE(app.MainFrame()->MdiArea()->subWindowList().size(), 1);
    AnswerNextDialog(Qt::Key_Return, true);
    QTRY_VERIFY_WITH_TIMEOUT(!app.m_bPaletteWarningPending, 20000);
    QTRY_COMPARE(StoredPaletteEntry(), 1);
  }

  void screenshotWithBothToolBars() {
    CTXPhotoApp app;
    QVERIFY(app.InitInstance(TestCommandLine({imageFile("shot.bmp")})));
    CMainFrame* frame = app.MainFrame();
    frame->ToolBars()->UserToolBar()->show();
    frame->resize(900, 560);
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QCOMPARE(frame->StatusPane(0)->text(), QStringLiteral("Ready"));
    SaveScreenshot(frame, QStringLiteral("main-window.png"));
  }
};

QTEST_MAIN(MainFrameTests)
#include "mainframe_tests.moc"
