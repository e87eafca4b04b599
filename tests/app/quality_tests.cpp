// The Quality dialog: its settings controls and the in-dialog preview pane.
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>
#include <algorithm>
#include <cstring>
#include <memory>

#include "app/PrivateMessages.h"
#include "app_test_helpers.h"
#include "compression/ColumnComboBox.h"
#include "compression/QualityDlg.h"
#include "compression/QualityPreviewPane.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "image/Dib.h"

namespace {

// An image with detail everywhere, so that quantizing shows.
std::unique_ptr<CDib> MakeImage(int width, int height, int bytes = 3) {
  auto dib = std::make_unique<CDib>();
  dib->m_nColorType = bytes == 3 ? DibRGB : DibGrey;
  dib->AllocPixelBuffer(size_t(width) * height * bytes);
  BYTE* p = dib->GetPixels();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < bytes; ++c)
        *p++ = BYTE(c == 0 ? x * 7 + y : c == 1 ? (x ^ y) * 13 : y * 5 + ((x / 3) % 2) * 90);
  dib->CreateFromPixels(width, height, bytes * 8);
  dib->FreePixels();
  return dib;
}

// Takes the events posted to the view instead of letting it run them.
class CEventCatcher : public QObject {
public:
  int shown = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != kShowPreviewEvent)
      return false;
    ++shown;
    return true;
  }
};

QRgb ImagePixel(CDib& dib, int x, int y) {
  dib.MakePixels();
  const int bytes = dib.PixelBytesPerPixel();
  const BYTE* p = dib.GetPixels() + (size_t(y) * dib.GetSize().cx + x) * bytes;
  return bytes == 1 ? qRgb(p[0], p[0], p[0]) : qRgb(p[0], p[1], p[2]);
}

struct Fixture {
  std::unique_ptr<CDib> image;
  CQualityDlg dlg;
  Fixture(int width, int height, bool preview = true, int bytes = 3) : image(MakeImage(width, height, bytes)) {
    dlg.m_pImage = image.get();
    dlg.m_nWidth = width;
    dlg.m_nHeight = height;
    dlg.m_nImageBits = bytes * 8;
    dlg.m_bPreview = preview;
    dlg.show();
  }
  template <typename T> T* control(const char* name) { return dlg.findChild<T*>(QString::fromLatin1(name)); }
  void click(const char* name) { control<QAbstractButton>(name)->click(); }
  void drag(int dx, int dy) { emit dlg.m_pPane->dragged(dx, dy); }
  void chooseRow(int row) {
    auto* combo = control<CColumnComboBox>("IDC_QUALITY_FILTER");
    combo->setCurrentIndex(row);
    emit combo->activated(row);
  }
  void leaveEdit(const char* name, const QString& text) {
    auto* edit = control<QLineEdit>(name);
    edit->setText(text);
    emit edit->editingFinished();
  }
  // The inside of the pane as drawn.
  QImage pane() { return dlg.m_pPane->grab(dlg.m_pPane->contentsRect()).toImage(); }
};

}  // namespace

class QualityTests : public QObject {
  Q_OBJECT
private slots:
  void openingShowsSettings();
  void greyImage();
  void buttonsClose_data();
  void buttonsClose();
  void downsamplingFollowsRows();
  void zoomStopsAtLimits();
  void windowNearEdgeShowsImagePixels();
  void dragWithHandCursor();
  void originalAndCompressed();
  void smallImageDisablesPreview_data();
  void smallImageDisablesPreview();
  void settingChanges_data();
  void settingChanges();
  void screenshot();
};

void QualityTests::openingShowsSettings() {
  Fixture f(400, 300, false);
  QCOMPARE(f.control<QLineEdit>("IDC_QUALITY_FACTOR")->text(), QStringLiteral("40"));
  QCOMPARE(f.control<QSlider>("IDC_QUALITY_SLIDER")->value(), 40);
  QCOMPARE(f.control<QLineEdit>("IDC_QUALITY_COLOR_PORTION")->text(), QStringLiteral("10"));
  auto* combo = f.control<CColumnComboBox>("IDC_QUALITY_FILTER");
  QCOMPARE(combo->count(), 7);
  QCOMPARE(combo->FilterText(combo->currentIndex()), QStringLiteral("9/7 Tap Filter"));
  QVERIFY(!f.control<QPushButton>("IDC_QUALITY_ZOOM_IN")->isEnabled());
  QVERIFY(!f.control<QRadioButton>("IDC_QUALITY_SHOW_COMPRESSED")->isEnabled());
  QVERIFY(f.control<QRadioButton>("IDC_QUALITY_SHOW_COMPRESSED")->isChecked());
}

void QualityTests::greyImage() {
  Fixture f(400, 300, true, 1);
  for (const char* name : {"IDC_QUALITY_COLOR_PORTION", "IDC_QUALITY_COLOR_SLIDER", "IDC_QUALITY_COLOR_LABEL",
                           "IDC_QUALITY_COLOR_UNIT", "IDC_QUALITY_COLOR_MIN", "IDC_QUALITY_COLOR_MAX"})
    QVERIFY(!f.control<QWidget>(name)->isEnabled());
  f.chooseRow(0);
  QVERIFY(f.control<QCheckBox>("IDC_QUALITY_DOWNSAMPLING")->isEnabled());
  f.click("IDC_QUALITY_SHOW_ORIGINAL");
  const QImage original = f.pane();
  QCOMPARE(original.pixel(0, 0), ImagePixel(*f.image, f.dlg.m_nOriginX, f.dlg.m_nOriginY));
  f.click("IDC_QUALITY_SHOW_COMPRESSED");
  QVERIFY(f.pane() != original);
}

void QualityTests::buttonsClose_data() {
  QTest::addColumn<QString>("button");
  QTest::addColumn<int>("result");
  QTest::addColumn<int>("posted");
  QTest::addColumn<int>("openAfterSaving");
  QTest::newRow("Save") << "IDOK" << int(QDialog::Accepted) << 0 << 1;
  QTest::newRow("Preview") << "IDC_QUALITY_PREVIEW" << int(QDialog::Rejected) << 1 << 1;
  QTest::newRow("Cancel") << "IDCANCEL" << int(QDialog::Rejected) << 0 << 0;
}

// "Save" and "Preview" take what the controls show; "Cancel" does not.
// Closing takes the work image and the image's pixel buffer away.
void QualityTests::buttonsClose() {
  QFETCH(QString, button);
  QFETCH(int, result);
  QFETCH(int, posted);
  QFETCH(int, openAfterSaving);
  Fixture f(400, 300);
  CTXPhotoDoc doc;
  CTXPhotoView view(&doc);
  CEventCatcher catcher;
  view.installEventFilter(&catcher);
  doc.m_pView = &view;
  f.dlg.m_pDoc = &doc;
  f.control<QCheckBox>("IDC_OPEN_AFTER_SAVING")->setChecked(true);
  f.click(qPrintable(button));
  QCoreApplication::processEvents();
  QVERIFY(!f.dlg.isVisible());
  QCOMPARE(f.dlg.result(), result);
  QCOMPARE(catcher.shown, posted);
  QCOMPARE(f.dlg.m_bOpenAfterSaving, openAfterSaving);
  QVERIFY(!f.dlg.m_pWork && !f.image->GetPixels());
}

void QualityTests::downsamplingFollowsRows() {
  Fixture f(400, 300);
  auto* box = f.control<QCheckBox>("IDC_QUALITY_DOWNSAMPLING");
  QVERIFY(box->isChecked() && !box->isEnabled());  // row 12 forces it
  f.chooseRow(0);                                  // 5/3 Fast (FE): free
  QVERIFY(box->isEnabled() && box->isChecked());
  box->click();
  QCOMPARE(f.dlg.m_bColorDownsampling, 0);
  f.chooseRow(5);  // 18/10 Standard: forced on
  QVERIFY(box->isChecked() && !box->isEnabled());
  QCOMPARE(f.dlg.m_bColorDownsampling, 1);
  f.chooseRow(4);  // back to a free row: the user's choice returns
  QVERIFY(box->isEnabled() && !box->isChecked());
  QCOMPARE(f.dlg.m_bColorDownsampling, 0);
  QCOMPARE(f.dlg.m_nFilterChoice, 14);
}

void QualityTests::zoomStopsAtLimits() {
  Fixture f(800, 600);
  auto* in = f.control<QPushButton>("IDC_QUALITY_ZOOM_IN");
  auto* out = f.control<QPushButton>("IDC_QUALITY_ZOOM_OUT");
  QVERIFY(in->isEnabled() && !out->isEnabled());
  for (double expected : {1.4142, 2.0, 2.8284, 4.0}) {
    f.click("IDC_QUALITY_ZOOM_IN");
    QVERIFY(qAbs(f.dlg.m_dZoom - expected) < 0.001);
    QCOMPARE(int(f.dlg.m_wVisWidth), int(f.dlg.m_nPaneWidth / f.dlg.m_dZoom));
  }
  QVERIFY(!in->isEnabled() && out->isEnabled());
  f.click("IDC_QUALITY_ZOOM_IN");
  QVERIFY(qAbs(f.dlg.m_dZoom - 4.0) < 0.001);
  QCOMPARE(int(f.dlg.m_wWorkWidth), qMax(int(f.dlg.m_wVisWidth), int(f.dlg.m_wMinWidth)));
  for (int i = 0; i < 5; ++i)
    f.click("IDC_QUALITY_ZOOM_OUT");
  QCOMPARE(f.dlg.m_dZoom, 1.0);
  QVERIFY(in->isEnabled() && !out->isEnabled());
  // The image must cover the pane at the new zoom (pane 200 x 100 here).
  QVERIFY(!QualityZoomAllowed(kZoomInFactor, 140, 100, 200, 100));
  QVERIFY(QualityZoomAllowed(2.0, 100, 50, 200, 100));
  QVERIFY(!QualityZoomAllowed(4.0001, 2000, 2000, 200, 100));
}

// Zoomed in at the lower right corner the work window is cut by the image's
// edge, so the visible part sits off-centre in it; the pane must still show
// the image pixels at the origin, each as a 4 x 4 block.
void QualityTests::windowNearEdgeShowsImagePixels() {
  Fixture f(300, 200);
  f.click("IDC_QUALITY_SHOW_ORIGINAL");
  for (int i = 0; i < 4; ++i)
    f.click("IDC_QUALITY_ZOOM_IN");
  f.drag(-5000, -5000);
  const int visW = f.dlg.m_wVisWidth, visH = f.dlg.m_wVisHeight;
  QCOMPARE(f.dlg.m_nOriginX, 300 - int(visW + 1.5));
  QCOMPARE(f.dlg.m_nOriginY, 200 - int(visH + 1.5));
  // The window ends at the image's edge; the visible part stays inside it.
  QCOMPARE(f.dlg.m_nOriginX - f.dlg.m_nMarginX + f.dlg.m_wWorkWidth, 300);
  QCOMPARE(f.dlg.m_nOriginY - f.dlg.m_nMarginY + f.dlg.m_wWorkHeight, 200);
  QVERIFY(f.dlg.m_nMarginY > (f.dlg.m_wWorkHeight - visH) / 2);  // pushed off-centre
  QVERIFY(f.dlg.m_nMarginY + visH <= f.dlg.m_wWorkHeight);
  const QImage shown = f.pane();
  const int scaleX = f.dlg.m_nPaneWidth / visW, scaleY = f.dlg.m_nPaneHeight / visH;
  QCOMPARE(scaleX * visW, f.dlg.m_nPaneWidth);
  for (int y : {0, visH / 2, visH - 1})
    for (int x : {0, visW - 1}) {
      const QPoint at(x * scaleX + scaleX / 2, y * scaleY + scaleY / 2);
      QCOMPARE(shown.pixel(at), ImagePixel(*f.image, f.dlg.m_nOriginX + x, f.dlg.m_nOriginY + y));
    }
  f.drag(5000, 5000);
  QCOMPARE(f.dlg.m_nOriginX, 0);
  QCOMPARE(f.dlg.m_nMarginY, 0);
}

void QualityTests::dragWithHandCursor() {
  Fixture f(800, 600);
  CQualityPreviewPane* pane = f.dlg.m_pPane;
  QCOMPARE(pane->cursor().shape(), Qt::OpenHandCursor);
  const int x0 = f.dlg.m_nOriginX, y0 = f.dlg.m_nOriginY;
  QTest::mousePress(pane, Qt::LeftButton, {}, QPoint(100, 100));
  QCOMPARE(pane->cursor().shape(), Qt::ClosedHandCursor);
  const auto move = [&](QPoint at) {
    QMouseEvent event(QEvent::MouseMove, at, pane->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(pane, &event);
  };
  move(QPoint(80, 90));   // inside: the picture follows
  move(QPoint(-40, 90));  // outside: nothing moves
  QCOMPARE(f.dlg.m_nOriginX, x0 + 20);
  QCOMPARE(f.dlg.m_nOriginY, y0 + 10);
  QTest::mouseRelease(pane, Qt::LeftButton, {}, QPoint(80, 90));
  QCOMPARE(pane->cursor().shape(), Qt::OpenHandCursor);
  f.click("IDC_QUALITY_SHOW_PREVIEW");
  QVERIFY(!pane->testAttribute(Qt::WA_SetCursor));
}

void QualityTests::originalAndCompressed() {
  Fixture f(500, 400);
  f.click("IDC_QUALITY_SHOW_ORIGINAL");
  const QImage original = f.pane();
  QCOMPARE(original.pixel(0, 0), ImagePixel(*f.image, f.dlg.m_nOriginX, f.dlg.m_nOriginY));
  f.control<QSlider>("IDC_QUALITY_SLIDER")->setValue(3);
  QCOMPARE(f.pane(), original);
  f.click("IDC_QUALITY_SHOW_COMPRESSED");
  QCOMPARE(f.dlg.m_nPreviewImage, 1);
  const QImage compressed = f.pane();
  QVERIFY(compressed != original);
  f.control<QSlider>("IDC_QUALITY_SLIDER")->setValue(50);
  QVERIFY(f.pane() != compressed);
  f.click("IDC_QUALITY_SHOW_ORIGINAL");
  QCOMPARE(f.pane(), original);
  f.click("IDC_QUALITY_SHOW_PREVIEW");  // off: grey, the image's pixel buffer goes
  QVERIFY(!f.dlg.m_pWork && !f.image->GetPixels());
  QCOMPARE(f.pane().pixel(10, 10), qRgb(100, 100, 100));
}

void QualityTests::smallImageDisablesPreview_data() {
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  QTest::addColumn<bool>("possible");
  QTest::newRow("tiny") << 48 << 48 << false;
  QTest::newRow("low") << 1000 << 100 << false;
  QTest::newRow("large") << 1000 << 1000 << true;
}

void QualityTests::smallImageDisablesPreview() {
  QFETCH(int, width);
  QFETCH(int, height);
  QFETCH(bool, possible);
  Fixture f(width, height);
  QCOMPARE(bool(f.dlg.m_bPreviewPossible), possible);
  for (const char* name : {"IDC_QUALITY_PREVIEW_GROUP", "IDC_QUALITY_PANE", "IDC_QUALITY_SHOW_PREVIEW",
                           "IDC_QUALITY_ZOOM_IN", "IDC_QUALITY_SHOW_ORIGINAL"})
    QCOMPARE(f.control<QWidget>(name)->isEnabled(), possible);
  QCOMPARE(bool(f.dlg.m_pWork), possible);
  QCOMPARE(f.pane().pixel(5, 5) == qRgb(100, 100, 100), !possible);
}

void QualityTests::settingChanges_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<int>("value");
  QTest::addColumn<int>("expected");
  QTest::addColumn<bool>("recomputed");
  QTest::newRow("quality slider, same") << "IDC_QUALITY_SLIDER" << 40 << 40 << false;
  QTest::newRow("quality slider, new") << "IDC_QUALITY_SLIDER" << 39 << 39 << true;
  QTest::newRow("colour slider, same") << "IDC_QUALITY_COLOR_SLIDER" << 10 << 10 << false;
  QTest::newRow("colour slider, new") << "IDC_QUALITY_COLOR_SLIDER" << 11 << 11 << true;
  QTest::newRow("quality edit, same") << "IDC_QUALITY_FACTOR" << 40 << 40 << false;
  QTest::newRow("quality edit 0") << "IDC_QUALITY_FACTOR" << 0 << 1 << true;
  QTest::newRow("quality edit 75") << "IDC_QUALITY_FACTOR" << 75 << 50 << true;
  QTest::newRow("colour edit 0") << "IDC_QUALITY_COLOR_PORTION" << 0 << 1 << true;
  QTest::newRow("colour edit 41") << "IDC_QUALITY_COLOR_PORTION" << 41 << 40 << true;
}

// Edits clamp and move their slider; only a value that differs from the one
// last acted on recomputes the pane. A recompute copies the window out of
// the image again, which shows as the wiped work pixels coming back.
void QualityTests::settingChanges() {
  QFETCH(QString, control);
  QFETCH(int, value);
  QFETCH(int, expected);
  QFETCH(bool, recomputed);
  Fixture f(500, 400);
  std::memset(f.dlg.m_pWork->GetPixels(), 0, f.dlg.m_pWork->GetPixelBytes());
  if (auto* slider = f.control<QSlider>(qPrintable(control)))
    emit slider->valueChanged(value);  // what a repeated notification delivers
  else
    f.leaveEdit(qPrintable(control), QString::number(value));
  const bool quality = control == "IDC_QUALITY_SLIDER" || control == "IDC_QUALITY_FACTOR";
  QCOMPARE(quality ? int(f.dlg.m_dQuality) : int(f.dlg.m_nColorPortion), expected);
  QCOMPARE(quality ? f.dlg.m_nLastQuality : f.dlg.m_nLastColorPortion, expected);
  const char* edit = quality ? "IDC_QUALITY_FACTOR" : "IDC_QUALITY_COLOR_PORTION";
  const char* slider = quality ? "IDC_QUALITY_SLIDER" : "IDC_QUALITY_COLOR_SLIDER";
  QCOMPARE(f.control<QLineEdit>(edit)->text(), QString::number(expected));
  QCOMPARE(f.control<QSlider>(slider)->value(), expected);
  const BYTE* pixels = f.dlg.m_pWork->GetPixels();
  QCOMPARE(std::any_of(pixels, pixels + f.dlg.m_pWork->GetPixelBytes(), [](BYTE b) { return b; }), recomputed);
}

void QualityTests::screenshot() {
  CDib photo;
  QCOMPARE(photo.ReadPNM(TAVIX_SOURCE_DIR "/samples/chelsea.ppm"), 0);
  CQualityDlg dlg;
  dlg.m_pImage = &photo;
  dlg.m_nWidth = photo.GetSize().cx;
  dlg.m_nHeight = photo.GetSize().cy;
  dlg.m_nImageBits = 24;
  dlg.m_dQuality = 12;
  dlg.m_bPreview = 1;
  dlg.show();
  QVERIFY(dlg.m_pWork);
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  QVERIFY(dlg.grab().save(QDir(ScreenshotFolder()).filePath(QStringLiteral("quality-dialog.png"))));
}

QTEST_MAIN(QualityTests)
#include "quality_tests.moc"
