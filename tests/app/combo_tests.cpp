// The two-column filter combo box: closed-field texts, colours of the
// selection field, the open list's width and place on screen.
#include <QAbstractItemView>
#include <QDir>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QtTest>

#include "app_test_helpers.h"
#include "compression/ColumnComboBox.h"

class ComboTests : public QObject {
  Q_OBJECT
private slots:
  void closedText_data();
  void closedText();
  void selectionFieldColours_data();
  void selectionFieldColours();
  void popupStaysOnScreen_data();
  void popupStaysOnScreen();
};

// Row 1 of the File Size combo (set 1), row 11 of the Quality combo (set 2);
// full texts are matched exactly, and one without a short form shows none.
void ComboTests::closedText_data() {
  QTest::addColumn<int>("set");
  QTest::addColumn<QString>("filter");
  QTest::addColumn<QString>("codingLayer");
  QTest::addColumn<QString>("expected");
  QTest::newRow("file size row 1") << 1 << "9/7 Tap Filter" << "Standard Embedded Progressive"
                                   << "9/7 Tap Filter, Standard";
  QTest::newRow("set 1 fast") << 1 << "9/7 Tap Filter" << "Fast Embedded Progressive" << "9/7 Tap Filter, Fast";
  QTest::newRow("set 1 resolution") << 1 << "9/7 Tap Filter" << "Fast Resolution Progressive" << "9/7 Tap Filter";
  QTest::newRow("quality row 11") << 2 << "5/3 Tap Filter" << "Fast Resolution Progressive"
                                  << "5/3 Tap Filter, Fast (FR)";
  QTest::newRow("set 2 embedded") << 2 << "Mixed Filter" << "Fast Embedded Progressive" << "Mixed Filter, Fast (FE)";
  QTest::newRow("set 2 standard") << 2 << "Mixed Filter" << "Standard Embedded Progressive"
                                  << "Mixed Filter, Standard";
  QTest::newRow("case differs") << 2 << "Mixed Filter" << "standard embedded progressive" << "Mixed Filter";
  QTest::newRow("trailing blank") << 1 << "Mixed Filter" << "Standard Embedded Progressive " << "Mixed Filter";
}

void ComboTests::closedText() {
  QFETCH(int, set);
  QFETCH(QString, filter);
  QFETCH(QString, codingLayer);
  QFETCH(QString, expected);
  CColumnComboBox combo;
  combo.SetAbbreviationSet(set);
  combo.AddRow("18/10 Tap Filter", "Standard Embedded Progressive");
  combo.AddRow(filter, codingLayer);
  combo.setCurrentIndex(1);
  QCOMPARE(combo.ClosedText(1), expected);
  QCOMPARE(combo.currentText(), filter);
  QCOMPARE(combo.CodingLayerText(1), codingLayer);
  QCOMPARE(combo.itemData(1, Qt::AccessibleTextRole).toString(), filter + ", " + codingLayer);
  QCOMPARE(combo.accessibleDescription(), filter + ", " + codingLayer);
}

// Text keeps the window-text colour in both states; the field's background is
// the window colour, or the button face when the combo is disabled. The
// palette's disabled colours are set apart so that using them shows up.
void ComboTests::selectionFieldColours_data() {
  QTest::addColumn<bool>("enabled");
  QTest::addColumn<QColor>("background");
  QTest::newRow("enabled") << true << QColor(Qt::blue);
  QTest::newRow("disabled") << false << QColor(Qt::green);
}

void ComboTests::selectionFieldColours() {
  QFETCH(bool, enabled);
  QFETCH(QColor, background);
  CColumnComboBox combo;
  QPalette palette = combo.palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Text, Qt::red);
    palette.setColor(group, QPalette::Base, Qt::blue);
    palette.setColor(group, QPalette::Button, Qt::green);
  }
  palette.setColor(QPalette::Disabled, QPalette::Text, Qt::magenta);
  palette.setColor(QPalette::Disabled, QPalette::Base, Qt::cyan);
  palette.setColor(QPalette::Disabled, QPalette::Button, Qt::cyan);
  combo.setPalette(palette);
  combo.AddRow("9/7 Tap Filter", "Standard Embedded Progressive");
  combo.setEnabled(enabled);
  combo.resize(320, combo.sizeHint().height());

  const QImage image = combo.grab().toImage().convertToFormat(QImage::Format_RGB32);
  QStyleOptionComboBox option;
  option.initFrom(&combo);
  const QRect field = combo.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo);
  QCOMPARE(QColor(image.pixel(field.right() - 2, field.center().y())), background);
  int red = 0, magenta = 0;
  for (int y = field.top(); y <= field.bottom(); ++y)
    for (int x = field.left(); x <= field.right(); ++x) {
      const QRgb pixel = image.pixel(x, y);
      red += qRed(pixel) >= 200 && qGreen(pixel) <= 60 && qBlue(pixel) <= 60 ? 1 : 0;
      magenta += qRed(pixel) > 60 && qBlue(pixel) > 60 && qGreen(pixel) < 128 ? 1 : 0;
    }
  QVERIFY2(red > 10, "the texts are drawn in the window-text colour");
  if (!enabled)  // red over blue blends to purple, so only the green field can tell
    QCOMPARE(magenta, 0);
}

// The open list is at least as wide as its two columns and never leaves the
// screen, also when the combo sits at the screen's right edge.
void ComboTests::popupStaysOnScreen_data() {
  QTest::addColumn<bool>("atRightEdge");
  QTest::newRow("left") << false;
  QTest::newRow("right edge") << true;
}

void ComboTests::popupStaysOnScreen() {
  QFETCH(bool, atRightEdge);
  QWidget window;
  CColumnComboBox combo(&window);
  combo.SetAbbreviationSet(2);
  for (const char* filter : {"5/3 Tap Filter", "9/7 Tap Filter", "18/10 Tap Filter", "Mixed Filter"}) {
    combo.AddRow(filter, "Fast Resolution Progressive");
    combo.AddRow(filter, "Standard Embedded Progressive");
  }
  combo.setCurrentIndex(1);
  combo.setGeometry(0, 0, 200, combo.sizeHint().height());
  window.resize(200, combo.height());
  const QRect screen = window.screen()->availableGeometry();
  window.move(atRightEdge ? screen.right() - 200 : screen.left() + 20, screen.top() + 40);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));

  combo.showPopup();
  QWidget* popup = combo.view()->window();
  QTRY_VERIFY(popup->isVisible());
  QVERIFY(popup != &window);
  QVERIFY(popup->width() >= CColumnComboBox::kListWidth);
  QVERIFY(popup->width() >= combo.ListWidth());
  QVERIFY2(screen.contains(popup->geometry()), "the open list lies on the screen");
  if (atRightEdge) {
    QVERIFY(popup->grab().save(QDir(ScreenshotFolder()).filePath("combo-list.png")));
    QVERIFY(combo.grab().save(QDir(ScreenshotFolder()).filePath("combo-field.png")));
  }
  combo.hidePopup();
}

QTEST_MAIN(ComboTests)
#include "combo_tests.moc"
