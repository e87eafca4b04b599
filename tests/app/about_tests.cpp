// The colour-table warning, the About window with its animation and the
// splash window.
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>
#include <cmath>
#include <numeric>
#include <vector>

#include "app/AboutWnd.h"
#include "app/ColorTableWarningDlg.h"
#include "app/SplashWnd.h"
#include "app/TXPhotoApp.h"
#include "codec/TavixLib.h"
#include "image/Dib.h"
#include "resources/Bitmaps.h"
#include "resources/resource.h"

namespace {

enum class WarningAction { Continue, Enter, Exit, Escape, CloseWindow };

QString ScreenshotPath(const QString& name) {
  const QString dir = qEnvironmentVariable("TAVIX_SCREENSHOT_DIR", QDir::currentPath());
  QDir().mkpath(dir);
  return QDir(dir).filePath(name);
}

// Picture 176 as the About window animates it: grey bytes, top row first.
std::vector<uint8_t> AboutPicturePixels(int& width, int& height) {
  const QByteArray bytes = ResourceBitmapBytes(IDB_ABOUT_PICTURE);
  CDib picture;
  if (picture.LoadResourceBitmap(bytes.constData(), bytes.size(), nullptr) != 1 || !picture.MakePixels() ||
      picture.PixelBytesPerPixel() != 1)
    return {};
  width = picture.GetSize().cx;
  height = picture.GetSize().cy;
  return std::vector<uint8_t>(picture.GetPixels(), picture.GetPixels() + size_t(width) * height);
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i)
    sum += double(a[i] - b[i]) * (a[i] - b[i]);
  return sum == 0 ? 200.0 : 10.0 * std::log10(255.0 * 255.0 * a.size() / sum);
}

QList<CAboutWnd*> OpenAboutWindows() {
  QList<CAboutWnd*> windows;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* about = qobject_cast<CAboutWnd*>(widget); about && about->isVisible())
      windows.append(about);
  return windows;
}

}  // namespace

Q_DECLARE_METATYPE(WarningAction)

class AboutTests : public QObject {
  Q_OBJECT
private slots:
  void warningOutcome_data() {
    QTest::addColumn<WarningAction>("action");
    QTest::addColumn<bool>("untick");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("showAgain");
    QTest::newRow("continue") << WarningAction::Continue << false << int(IDOK) << true;
    QTest::newRow("continue, unticked") << WarningAction::Continue << true << int(IDOK) << false;
    QTest::newRow("enter, unticked") << WarningAction::Enter << true << int(IDOK) << false;
    QTest::newRow("exit") << WarningAction::Exit << false << -1 << true;
    QTest::newRow("exit, unticked") << WarningAction::Exit << true << -1 << false;
    QTest::newRow("escape, unticked: box not read") << WarningAction::Escape << true << int(IDCANCEL) << true;
    QTest::newRow("closed, unticked: box not read") << WarningAction::CloseWindow << true << int(IDCANCEL) << true;
  }

  void warningOutcome() {
    QFETCH(WarningAction, action);
    QFETCH(bool, untick);
    QFETCH(int, result);
    QFETCH(bool, showAgain);
    CColorTableWarningDlg dialog;
    auto* box = dialog.findChild<QCheckBox*>(QStringLiteral("IDC_SHOW_AGAIN"));
    auto* exitButton = dialog.findChild<QPushButton*>(QStringLiteral("IDC_EXIT"));
    auto* continueButton = dialog.findChild<QPushButton*>(QStringLiteral("IDOK"));
    QVERIFY(box && exitButton && continueButton);
    QVERIFY(box->isChecked());
    QTimer::singleShot(0, &dialog, [&] {
      if (untick)
        box->click();
      switch (action) {
      case WarningAction::Continue: continueButton->click(); break;
      case WarningAction::Enter: QTest::keyClick(&dialog, Qt::Key_Return); break;
      case WarningAction::Exit: exitButton->click(); break;
      case WarningAction::Escape: QTest::keyClick(&dialog, Qt::Key_Escape); break;
      case WarningAction::CloseWindow: dialog.close(); break;
      }
    });
    QCOMPARE(dialog.exec(), result);
    QCOMPARE(bool(dialog.m_bShowAgain), showAgain);
  }

  void warningScreenshot() {
    CColorTableWarningDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.grab().save(ScreenshotPath(QStringLiteral("palette-warning.png"))));
  }

  // The animation's quantiser values, and the frames they make of picture
  // 176: each differs from the one before, and they come closer to the
  // picture overall.
  void aboutFramesSharpen() {
    std::vector<double> sequence;
    for (double q = CAboutWnd::kFirstQuantizer; q > 0; q = CAboutWnd::NextQuantizer(q))
      sequence.push_back(q);
    QCOMPARE(sequence, (std::vector<double>{3000, 2700, 2400, 2100, 1800, 1500, 1200, 900, 600, 300, 150, 135,
                                            120, 105, 90, 75, 60, 45, 35, 25, 15, 5}));
    int width = 0, height = 0;
    const std::vector<uint8_t> original = AboutPicturePixels(width, height);
    QVERIFY(!original.empty());
    std::vector<uint8_t> last;
    std::vector<double> psnr;
    for (double q : sequence) {
      std::vector<uint8_t> frame = original;
      QCOMPARE(TXquantizerPreview(frame.data(), width, height, 1, width, 0, 0, 1, long(q * 65536), 90), 0);
      QVERIFY2(frame != last, qPrintable(QString::number(q)));
      psnr.push_back(Psnr(original, frame));
      last = std::move(frame);
    }
    const size_t half = psnr.size() / 2;
    const double early = std::accumulate(psnr.begin(), psnr.begin() + half, 0.0) / half;
    const double late = std::accumulate(psnr.begin() + half, psnr.end(), 0.0) / (psnr.size() - half);
    QVERIFY(early < late);
    QVERIFY(psnr.front() < psnr.back());
  }

  void aboutOpensOnceAtATime() {
    CTXPhotoApp app;
    app.OnCommand(ID_APP_ABOUT);
    QCOMPARE(OpenAboutWindows().size(), 1);
    QCOMPARE(CAboutWnd::OpenCount(), 1);
    app.OnCommand(ID_APP_ABOUT);
    QCOMPARE(OpenAboutWindows().size(), 1);
    QPointer<CAboutWnd> about = OpenAboutWindows().first();
    about->close();
    QTRY_VERIFY(about.isNull());
    QCOMPARE(CAboutWnd::OpenCount(), 0);
  }

  // Animation frames keep coming and differ; a screenshot is kept.
  void aboutAnimates() {
    QPointer<CAboutWnd> about = new CAboutWnd;
    QVERIFY(about->Create());
    QTRY_VERIFY(about->FrameCount() >= 1);
    double firstQuantizer = 0, nextQuantizer = 0;
    const QImage first = about->PictureSnapshot(&firstQuantizer);
    QImage next;
    auto nextFrame = [&] {
      next = about->PictureSnapshot(&nextQuantizer);
      return nextQuantizer != firstQuantizer;
    };
    QTRY_VERIFY(nextFrame());
    QVERIFY(!first.isNull() && next != first);
    QTRY_VERIFY(about->FrameCount() >= 18);
    QVERIFY(about->grab().save(ScreenshotPath(QStringLiteral("about.png"))));
    about->close();
    QTRY_VERIFY(about.isNull());
  }

  void aboutClosesOnInput_data() {
    QTest::addColumn<int>("input");  // a key, or 0 / 1 / 2 for the left / right / middle button
    QTest::newRow("space") << int(Qt::Key_Space);
    QTest::newRow("escape") << int(Qt::Key_Escape);
    QTest::newRow("left button") << 0;
    QTest::newRow("right button") << 1;
    QTest::newRow("middle button") << 2;
  }

  // The input closes the window, reaches nothing else, and the worker has
  // ended by the time the window goes.
  void aboutClosesOnInput() {
    QFETCH(int, input);
    QLineEdit elsewhere;
    elsewhere.show();
    QPointer<CAboutWnd> about = new CAboutWnd;
    QVERIFY(about->Create());
    QTRY_VERIFY(about->FrameCount() >= 2);
    const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
    if (input > 2)
      QTest::keyClick(&elsewhere, Qt::Key(input));
    else
      QTest::mouseClick(about, buttons[input], {}, QPoint(20, 20));
    QVERIFY(about.isNull() || !about->isVisible());
    if (about)
      QCOMPARE(about->RunFlag(), -1);
    QTRY_VERIFY(about.isNull());
    QCOMPARE(CAboutWnd::OpenCount(), 0);
    QVERIFY(elsewhere.text().isEmpty());
  }

  void splashCloses_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("click") << QStringLiteral("click");
    QTest::newRow("key") << QStringLiteral("key");
    QTest::newRow("time") << QStringLiteral("time");
  }

  void splashCloses() {
    QFETCH(QString, how);
    QPointer<CSplashWnd> splash = new CSplashWnd(IDB_SPLASH, QStringLiteral("Version 2.5"), how == "time" ? 1 : 600000);
    QVERIFY(splash->Create());
    QCOMPARE(splash->size(), QSize(485, 251));
    if (how == "click") {
      QVERIFY(splash->grab().save(ScreenshotPath(QStringLiteral("splash.png"))));
      QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(10, 10));
    } else if (how == "key") {
      QTest::keyClick(splash, Qt::Key_A);
    }
    QTRY_VERIFY(splash.isNull());
  }

  void splashWithoutBitmapIsNotShown() {
    CSplashWnd splash(4711, QString(), 1000);
    QVERIFY(!splash.Create());
    QVERIFY(!splash.isVisible());
  }
};

QTEST_MAIN(AboutTests)
#include "about_tests.moc"
