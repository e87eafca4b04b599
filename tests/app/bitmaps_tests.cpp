// The embedded pictures: sizes and formats the windows rely on, loading
// through CDib, and an image for every toolbar button.
#include <QtTest>

#include <cmath>

#include "image/Dib.h"
#include "resources/Bitmaps.h"
#include "resources/MenuData.h"
#include "resources/resource.h"

class BitmapsTests : public QObject {
  Q_OBJECT

private slots:
  void bitmapLoadsThroughDib_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("bits");
    QTest::newRow("toolbar") << IDR_MAINFRAME << QSize(10 * 16, 16) << 24;
    QTest::newRow("user images") << IDB_USER_IMAGES << QSize(9 * 16, 15) << 24;
    QTest::newRow("splash") << IDB_SPLASH << QSize(485, 251) << 8;
    QTest::newRow("about background") << IDB_ABOUT_BACKGROUND << QSize(532, 218) << 8;
    QTest::newRow("about picture") << IDB_ABOUT_PICTURE << QSize(256, 128) << 8;
  }
  void bitmapLoadsThroughDib() {
    QFETCH(int, id);
    QFETCH(QSize, size);
    QFETCH(int, bits);
    const QByteArray bytes = ResourceBitmapBytes(id);
    CDib dib;
    QCOMPARE(dib.LoadResourceBitmap(bytes.constData(), static_cast<size_t>(bytes.size()), nullptr), 1);
    QCOMPARE(QSize(dib.GetSize().cx, dib.GetSize().cy), size);
    QCOMPARE(int(dib.Header()->biBitCount), bits);
    QCOMPARE(ResourceImage(id).size(), size);
    QVERIFY(ResourceBitmapBytes(IDI_WARNING_ICON).isEmpty());
  }

  // The About animation keeps the picture's bytes in a 16-bit count and
  // quantises it as grey; it must also carry real detail to show that.
  void aboutPictureIsDetailedGrey() {
    QVERIFY(ResourceBitmapBytes(IDB_ABOUT_PICTURE).size() < 65536);
    const QImage picture = ResourceImage(IDB_ABOUT_PICTURE);
    QCOMPARE(picture.format(), QImage::Format_Indexed8);
    QVERIFY(picture.allGray());
    double sum = 0, squares = 0, steps = 0;
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) {
        const double v = picture.constScanLine(y)[x];
        sum += v;
        squares += v * v;
        if (x > 0) steps += std::abs(v - picture.constScanLine(y)[x - 1]);
      }
    }
    const double n = double(picture.width()) * picture.height();
    QVERIFY2(std::sqrt(squares / n - (sum / n) * (sum / n)) > 30, "too little contrast");
    QVERIFY2(steps / n > 6, "too little fine detail");
  }

  void everyToolbarButtonHasAnImage() {
    int images = 0;
    for (int command : StandardToolbarResource()) {
      if (command == 0) continue;
      QVERIFY2(!CommandIcon(command).isNull(), qPrintable(QString::number(command)));
      ++images;
    }
    QVERIFY(!ToolbarImage(images - 1).isNull());
    QVERIFY(ToolbarImage(images).isNull());
    for (const UserImageButton& button : UserToolbarResource()) {
      QVERIFY2(button.command == 0 || !CommandIcon(button.command).isNull(), qPrintable(QString::number(button.command)));
    }
    QVERIFY(CommandIcon(ID_WINDOW_CASCADE).isNull());
    // The key colour becomes transparent; the drawing itself stays opaque.
    const QImage open = ToolbarImage(0).pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(qAlpha(open.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(open.pixel(8, 10)), 255);
  }

  void iconsHaveEverySize() {
    for (const QIcon& icon : {ApplicationIcon(), DocumentIcon()}) {
      const QList<QSize> sizes = icon.availableSizes();
      for (int side : {16, 32, 48, 64, 128, 256}) QVERIFY(sizes.contains(QSize(side, side)));
    }
    QCOMPARE(WarningIcon().availableSizes().value(0), QSize(32, 32));
  }
};

QTEST_MAIN(BitmapsTests)
#include "bitmaps_tests.moc"
