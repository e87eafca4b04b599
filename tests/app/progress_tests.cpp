// The status-bar progress bar: where it sits in its pane, what the pane shows
// before and after, how the codec's progress objects and the TIFF callback
// move it.
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QtTest>

#include "app/MainFrame.h"
#include "app/ProgressBar.h"
#include "app/TXPhotoApp.h"
#include "resources/resource.h"

namespace {

const QString kReady = QStringLiteral("Ready");

// A main window whose status bar holds pane 0 at a fixed place (outside the
// status bar's layout, so the test decides its rectangle) and pane 1.
struct TestWindow {
  QMainWindow window;
  QLabel* panes[2] = {};

  explicit TestWindow(const QRect& pane0 = QRect(2, 2, 300, 20)) {
    window.resize(640, 200);
    QStatusBar* bar = window.statusBar();
    for (int i = 0; i < 2; ++i) {
      panes[i] = new QLabel(QStringLiteral("pane %1 text").arg(i), bar);
      panes[i]->setProperty("tavixPane", i);
    }
    panes[0]->setGeometry(pane0);
    panes[1]->setGeometry(QRect(400, 2, 200, 20));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
  }
  // Room the message takes before the bar: its width and four blanks.
  int messageRoom(const QString& message) const {
    const QFontMetrics metrics = window.statusBar()->fontMetrics();
    return message.isEmpty() ? 0 : metrics.horizontalAdvance(message) + 4 * metrics.horizontalAdvance(" ");
  }
};

enum Kind { Bytes, PreviewEncode, PreviewDecode };

}  // namespace

class ProgressTests : public QObject {
  Q_OBJECT
private slots:
  void barPlacement_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("size");
    QTest::addColumn<QRect>("pane");
    // The bar starts after the message; its width (-1: size percent of the room
    // after the message), top and height (a tenth of the pane's height off each side).
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("height");
    QTest::newRow("no message, 40%") << QString() << 40 << QRect(2, 2, 300, 20) << 120 << 4 << 16;
    // 301 - 60 * 301 / 100 truncates to 301 - 180.
    QTest::newRow("odd room") << QString() << 40 << QRect(0, 0, 301, 25) << 121 << 2 << 21;
    QTest::newRow("whole pane") << QString() << 100 << QRect(10, 1, 200, 18) << 200 << 2 << 16;
    QTest::newRow("message") << QStringLiteral("Compression in progress ...") << 40 << QRect(2, 2, 600, 20)
                             << -1 << 4 << 16;
    QTest::newRow("long message, narrow pane") << QString(40, QLatin1Char('W')) << 40 << QRect(2, 2, 60, 20)
                                               << 0 << 4 << 16;
  }
  void barPlacement() {
    QFETCH(QString, message);
    QFETCH(int, size);
    QFETCH(QRect, pane);
    QFETCH(int, width);
    QFETCH(int, top);
    QFETCH(int, height);
    TestWindow test(pane);
    const int left = pane.x() + test.messageRoom(message);
    if (width < 0) {
      const int room = pane.x() + pane.width() - left;
      width = room - (100 - size) * room / 100;
    }
    CProgressBar bar(message, size, 100, true, 0);
    QVERIFY(bar.IsCreated());
    const QRect expected(left, top, width, height);
    QCOMPARE(bar.geometry(), expected);
    QCOMPARE(bar.BarRect(), expected);
    QCOMPARE(test.panes[0]->text(), message);
  }

  void barFollowsTheStatusBar() {
    QMainWindow window;
    window.resize(400, 200);
    auto* pane = new QLabel(window.statusBar());
    pane->setProperty("tavixPane", 0);
    window.statusBar()->addWidget(pane, 1);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CProgressBar bar(QStringLiteral("Loading"), 40, 100, true, 0);
    const int before = bar.width();
    window.resize(800, 200);
    QTRY_VERIFY(bar.width() > before);
    QVERIFY(pane->geometry().contains(bar.geometry()));
  }

  void clearRestoresThePane_data() {
    QTest::addColumn<int>("pane");
    QTest::addColumn<QString>("expected");
    QTest::newRow("pane 0 goes back to Ready") << 0 << kReady;
    QTest::newRow("other panes get their text back") << 1 << QStringLiteral("pane 1 text");
  }
  void clearRestoresThePane() {
    QFETCH(int, pane);
    QFETCH(QString, expected);
    TestWindow test;
    {
      CProgressBar bar(QStringLiteral("Exporting ..."), 40, 100, true, pane);
      QCOMPARE(test.panes[pane]->text(), QStringLiteral("Exporting ..."));
    }
    QCOMPARE(test.panes[pane]->text(), expected);
  }

  void codecProgressMovesTheBar_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("message");
    const QString start = QStringLiteral("Working ...");
    QTest::newRow("bytes: half") << int(Bytes) << 0.5 << 50 << start;
    QTest::newRow("bytes: done") << int(Bytes) << 1.0 << 100 << start;
    QTest::newRow("bytes: count") << int(Bytes) << -12345.0 << 37 << QStringLiteral("12345 Bytes geschrieben");
    QTest::newRow("encode: half") << int(PreviewEncode) << 0.5 << 50 << start;
    QTest::newRow("encode: count") << int(PreviewEncode) << -2048.7 << 37 << QStringLiteral("2048 Byte computed");
    QTest::newRow("decode: start") << int(PreviewDecode) << 0.0 << 100 << start;
    QTest::newRow("decode: half") << int(PreviewDecode) << 0.5 << 150 << start;
    QTest::newRow("decode: done") << int(PreviewDecode) << 1.0 << 200 << start;
    QTest::newRow("decode: count ignored") << int(PreviewDecode) << -500.0 << 37 << start;
  }
  void codecProgressMovesTheBar() {
    QFETCH(int, kind);
    QFETCH(double, value);
    QFETCH(int, position);
    QFETCH(QString, message);
    TestWindow test;
    CProgressBar bar(QStringLiteral("Working ..."), 40, kind == Bytes ? 100 : 200, true, 0);
    bar.SetPos(37);
    CByteProgress bytes(&bar);
    CPreviewEncodeProgress encode(&bar);
    CPreviewDecodeProgress decode(&bar);
    TXprogress* progress[] = {&bytes, &encode, &decode};
    progress[kind]->setProgressValue(value);
    QVERIFY(progress[kind]->progressChanged());
    QCOMPARE(bar.value(), position);
    QCOMPARE(test.panes[0]->text(), message);
  }

  // Last: from here on the application's main frame is the one status bar.
  void tiffCallbackAndOperationUseTheMainFrame_data() {
    QTest::addColumn<unsigned>("done");
    QTest::addColumn<unsigned>("total");
    QTest::addColumn<int>("position");
    QTest::newRow("a third") << 1u << 3u << 33;
    QTest::newRow("large counts do not overflow") << 4000000000u << 4200000000u << 95;
    QTest::newRow("past the end stays full") << 7u << 3u << 100;
    QTest::newRow("no total keeps the position") << 5u << 0u << 0;
  }
  void tiffCallbackAndOperationUseTheMainFrame() {
    QFETCH(unsigned, done);
    QFETCH(unsigned, total);
    QFETCH(int, position);
    QCOMPARE(TavixProgressFunc(1, 2), 1);  // no application: nothing to move
    CTXPhotoApp app;
    CCommandLineInfo commandLine;
    commandLine.m_bNoSplash = commandLine.m_bNewInstance = true;
    QVERIFY(app.InitInstance(commandLine));
    CMainFrame* frame = app.MainFrame();
    QLabel* pane = frame->StatusPane(0);
    {
      CProgressOperation operation(QStringLiteral("Loading TIFF ..."));
      QVERIFY(operation.Bar());
      QCOMPARE(frame->m_pProgressBar, operation.Bar());
      QVERIFY(QApplication::overrideCursor());
      QCOMPARE(pane->text(), QStringLiteral("Loading TIFF ..."));
      QCOMPARE(TavixProgressFunc(done, total), 1);
      QCOMPARE(operation.Bar()->value(), position);
    }
    QVERIFY(!frame->m_pProgressBar);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(pane->text(), kReady);
    QCOMPARE(TavixProgressFunc(1, 2), 1);  // empty slot
  }
};

QTEST_MAIN(ProgressTests)
#include "progress_tests.moc"
