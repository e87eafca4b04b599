// The image view and its window: fitting, zoom steps and their limits, the
// View Scale dialog, scrolling and panning, the document status bar, and
// drawing through QPainter against the reference memory canvas.
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QtTest>
#include <functional>
#include <memory>
#include <random>

#include "app/DocManagerEx.h"
#include "app/MainFrame.h"
#include "app/TXPhotoApp.h"
#include "app_test_helpers.h"
#include "docview/ChildFrame.h"
#include "docview/DocTemplate.h"
#include "docview/QtDrawContext.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "docview/ViewScaleDlg.h"
#include "image/Dib.h"
#include "platform/MemoryCanvas.h"
#include "resources/resource.h"

namespace {

constexpr double kOut = 0.7071135624381276;
using Pattern = std::function<uint32_t(int x, int y)>;  // 0xRRGGBB of a top-down pixel

uint32_t Checker(int x, int y) { return ((x / 8 + y / 8) & 1) ? 0xC03020 : 0x2050E0; }

// An image built in memory: 8-bit grey or 24-bit colour.
std::unique_ptr<CDib> MakeDib(int width, int height, int colorType, const Pattern& pattern = Checker,
                              bool paletteDisplay = false) {
  auto dib = std::make_unique<CDib>();
  dib->SetPaletteDisplay(paletteDisplay);
  dib->m_nColorType = colorType;
  dib->m_nPlanes = colorType == DibGrey ? 1 : 3;
  dib->m_nBitsPerPlane = 8;
  const int bytes = dib->PixelBytesPerPixel();
  dib->AllocPixelBuffer(size_t(width) * height * bytes);
  BYTE* p = dib->GetPixels();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, p += bytes) {
      const uint32_t rgb = pattern(x, y);
      p[0] = BYTE(rgb >> 16);
      if (bytes == 3) {
        p[1] = BYTE(rgb >> 8);
        p[2] = BYTE(rgb);
      }
    }
  dib->CreateFromPixels(width, height, bytes * 8);
  dib->FreePixels();
  return dib;
}

CTXPhotoDoc* MakeDoc(std::unique_ptr<CDib> dib, int format = FormatBMP, const QString& title = "image.bmp") {
  auto* doc = new CTXPhotoDoc;
  doc->m_pDib = std::move(dib);
  doc->m_nFormat = format;
  doc->SetTitle(title);
  return doc;
}

// The application with its main window at a known size.
struct App {
  CTXPhotoApp app;
  explicit App(QSize size = {1000, 800}) {
    CCommandLineInfo info;
    info.m_bNoSplash = info.m_bNewInstance = true;
    if (!app.InitInstance(info))
      qFatal("no application");
    app.MainFrame()->resize(size);
    QCoreApplication::processEvents();
  }
  CTXPhotoView* Open(CTXPhotoDoc* doc) {
    CChildFrame* frame = app.DocManager()->FirstTemplate()->CreateNewFrame(app.MainFrame(), doc);
    frame->show();
    return frame->GetActiveView();
  }
  QSize Client() const { return app.MainFrame()->MdiArea()->viewport()->size(); }
};

bool Fits(QSize client, QSize display) {
  return client.width() >= 1.1 * display.width() && client.height() >= 1.1 * display.height();
}

bool Enabled(CTXPhotoView* view, int id) {
  CCmdUI ui(id);
  return view->OnUpdateCommand(ui) && ui.m_bEnabled;
}

QString Pane(CTXPhotoView* view, int index) { return view->ParentFrame()->StatusPane(index)->text(); }

void Drag(QWidget* viewport, QPoint from, QPoint to) {
  QMouseEvent press(QEvent::MouseButtonPress, from, viewport->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &press);
  QApplication::sendEvent(viewport, &move);
}

// A DIB of any depth with random bits and a random colour table.
struct RawDib {
  std::vector<BYTE> info, bits;
  RawDib(int width, int height, int bitCount, std::mt19937& random) : info(40 + 256 * 4) {
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    *h = BITMAPINFOHEADER{40, width, height, 1, WORD(bitCount), BI_RGB, 0, 0, 0, 0, 0};
    for (size_t i = 40; i < info.size(); ++i)
      info[i] = BYTE(random());
    bits.resize(((size_t(bitCount) * width + 31) / 32) * 4 * height);
    for (BYTE& b : bits)
      b = BYTE(random());
  }
  const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(info.data()); }
};

}  // namespace

class ViewTests : public QObject {
  Q_OBJECT
private slots:
  void zoomSteps_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QList<double>>("zooms");
    QTest::addColumn<QStringList>("panes");
    QTest::newRow("in") << int(ID_ZOOM_IN) << QList<double>{1.4142, 2.0, 2.8284, 4.0}
                        << QStringList{"141 %", "200 %", "283 %", "400 %"};
    QTest::newRow("out") << int(ID_ZOOM_OUT) << QList<double>{0.707114, 0.50001, 0.353564, 0.25001, 0.176785}
                         << QStringList{"71 %", "50 %", "35 %", "25 %", "18 %"};
  }
  void zoomSteps() {
    QFETCH(int, command);
    QFETCH(QList<double>, zooms);
    QFETCH(QStringList, panes);
    App app;
    CTXPhotoView* view = app.Open(MakeDoc(MakeDib(64, 48, DibRGB)));
    QCOMPARE(view->m_dZoom, 1.0);
    QVERIFY(!Enabled(view, ID_ORIGINAL_SIZE));
    for (int i = 0; i < zooms.size(); ++i) {
      QVERIFY(Enabled(view, command));
      QVERIFY(view->OnCommand(command));
      if (zooms[i] == std::round(zooms[i]))
        QCOMPARE(view->m_dZoom, zooms[i]);  // snapped exactly
      else
        QVERIFY2(std::abs(view->m_dZoom - zooms[i]) < 1e-6, qPrintable(QString::number(view->m_dZoom)));
      QCOMPARE(view->m_sizeDisplay, QSize(int(64 * view->m_dZoom), int(48 * view->m_dZoom)));
      QCOMPARE(Pane(view, 0), panes[i]);
    }
    QVERIFY(!Enabled(view, command));
    QVERIFY(Enabled(view, ID_ORIGINAL_SIZE));
    view->OnCommand(ID_ORIGINAL_SIZE);
    QCOMPARE(view->m_dZoom, 1.0);
    QCOMPARE(Pane(view, 0), QString("100 %"));
  }

  void snapping_data() {
    QTest::addColumn<double>("zoom");
    QTest::addColumn<double>("expected");
    for (double zoom : {0.01, 0.02, 0.98})  // never to 0, whose image could not come back
      QTest::addRow("%g stays", zoom) << zoom << zoom;
    QTest::newRow("2.985") << 2.985 << 3.0;
  }
  void snapping() {
    QFETCH(double, zoom);
    QFETCH(double, expected);
    App app;
    CTXPhotoView* view = app.Open(MakeDoc(MakeDib(64, 48, DibGrey)));
    view->m_dZoom = zoom;
    view->ZoomBy(1.0);
    QCOMPARE(view->m_dZoom, expected);
  }

  void fitToMainWindow_data() {
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QSize>("image");
    QTest::newRow("large") << QSize(1000, 800) << QSize(3000, 2000);
    QTest::newRow("wide") << QSize(700, 560) << QSize(2400, 300);
    QTest::newRow("fits") << QSize(1000, 800) << QSize(500, 400);
  }
  void fitToMainWindow() {
    QFETCH(QSize, window);
    QFETCH(QSize, image);
    App app(window);
    CTXPhotoView* view = app.Open(MakeDoc(MakeDib(image.width(), image.height(), DibRGB)));
    QCOMPARE(view->m_nCompressionMode, int(CompressNone));
    // The first of the steps 1, 0.7071, 0.5, ... whose displayed size fits.
    QVERIFY(Fits(app.Client(), view->m_sizeDisplay));
    if (view->m_dZoom < 1.0)
      QVERIFY(!Fits(app.Client(), Scaled(image, view->m_dZoom / kOut)));
    QCOMPARE(view->m_sizeDisplay, Scaled(image, view->m_dZoom));
    // The window was made to show it whole, without scroll bars.
    QCoreApplication::processEvents();
    QCOMPARE(view->viewport()->size(), view->m_sizeDisplay);
  }

  void viewScaleValidation_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<double>("zoom");  // 0: refused
    QTest::addColumn<QString>("message");
    QTest::newRow("10") << 5 << "10" << 0.0 << "Please enter an integer between 25 and 400.";
    QTest::newRow("text") << 5 << "x" << 0.0 << "Please enter an integer.";
    QTest::newRow("25") << 5 << "25" << 0.25 << "";
    QTest::newRow("400") << 5 << "400" << 4.0 << "";
    QTest::newRow("75 % ignores the edit") << 2 << "10" << 0.75 << "";
  }
  void viewScaleValidation() {
    QFETCH(int, choice);
    QFETCH(QString, percent);
    QFETCH(double, zoom);
    QFETCH(QString, message);
    CViewScaleDlg dialog;
    dialog.show();
    QCOMPARE(dialog.findChild<QRadioButton*>("IDC_SCALE_USER")->isChecked(), true);
    dialog.findChildren<QRadioButton*>()[choice]->setChecked(true);
    dialog.findChild<QLineEdit*>("IDC_SCALE_PERCENT")->setText(percent);
    CMessageBoxRecorder boxes;
    dialog.findChild<QPushButton*>("IDOK")->click();
    QCOMPARE(boxes.texts, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(dialog.isVisible(), zoom == 0.0);
    if (zoom != 0.0)
      QCOMPARE(dialog.Zoom(), zoom);
  }

  void viewScaleOpensAtCurrentZoom() {
    App app;
    CTXPhotoView* view = app.Open(MakeDoc(MakeDib(64, 48, DibGrey)));
    view->OnCommand(ID_ZOOM_IN);
    QString shown;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<CViewScaleDlg*>(QApplication::activeModalWidget());
      QVERIFY(dialog && dialog->findChild<QRadioButton*>("IDC_SCALE_USER")->isChecked());
      auto* edit = dialog->findChild<QLineEdit*>("IDC_SCALE_PERCENT");
      shown = edit->text();
      edit->setText("50");
      dialog->findChild<QPushButton*>("IDOK")->click();
    });
    view->OnCommand(ID_VIEW_SCALE);
    QCOMPARE(shown, QString("141"));
    QCOMPARE(view->m_dZoom, 0.5);
    QCOMPARE(Pane(view, 0), QString("50 %"));
  }

  void scrolling_data() {
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QPoint>("position");
    // 500 x 400 at 400 %: 2000 x 1600 shown, page 1000 x 800, line 40 x 32.
    QTest::newRow("page down") << QList<int>{Qt::Key_PageDown} << QPoint(0, 800);
    QTest::newRow("page up") << QList<int>{Qt::Key_End, Qt::Key_PageUp} << QPoint(-1, -801);
    QTest::newRow("arrows") << QList<int>{Qt::Key_Right, Qt::Key_Down, Qt::Key_Down} << QPoint(40, 64);
    QTest::newRow("end") << QList<int>{Qt::Key_End} << QPoint(-1, -1);  // negative: from the maximum
    QTest::newRow("home") << QList<int>{Qt::Key_End, Qt::Key_Home} << QPoint(0, 0);
  }
  void scrolling() {
    QFETCH(QList<int>, keys);
    QFETCH(QPoint, position);
    App app;
    CTXPhotoView* view = app.Open(MakeDoc(MakeDib(500, 400, DibRGB)));
    view->m_dZoom = 4.0;
    view->ZoomBy(1.0);
    for (int key : keys)
      QTest::keyClick(view, Qt::Key(key));
    QScrollBar* h = view->horizontalScrollBar();
    QScrollBar* v = view->verticalScrollBar();
    const auto resolve = [](int want, int maximum) { return want < 0 ? maximum + 1 + want : want; };
    position = QPoint(resolve(position.x(), h->maximum()), resolve(position.y(), v->maximum()));
    QCOMPARE(QPoint(h->value(), v->value()), position);
  }

  void panning_data() {
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QPoint>("moved");
    QTest::newRow("larger than the window") << 4.0 << QPoint(40, 30);
    QTest::newRow("all visible") << 1.0 << QPoint(0, 0);
  }
  void panning() {
    QFETCH(double, zoom);
    QFETCH(QPoint, moved);
    App app;
    CTXPhotoView* view = app.Open(MakeDoc(MakeDib(300, 200, DibRGB)));
    view->m_dZoom = zoom;
    view->ZoomBy(1.0);
    view->horizontalScrollBar()->setValue(100);
    view->verticalScrollBar()->setValue(100);
    const QPoint before(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    Drag(view->viewport(), {100, 100}, {60, 70});
    QCOMPARE(QPoint(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value()) - before, moved);
  }

  void statusBarToggle_data() {
    QTest::addColumn<bool>("maximized");
    QTest::newRow("restored") << false;
    QTest::newRow("maximized") << true;
  }
  void statusBarToggle() {
    QFETCH(bool, maximized);
    App app;
    CTXPhotoView* view = app.Open(MakeDoc(MakeDib(400, 300, DibRGB)));
    CChildFrame* frame = view->ParentFrame();
    if (maximized)
      frame->showMaximized();
    QCoreApplication::processEvents();
    const QSize frameSize = frame->size(), viewSize = view->size();
    const int bar = frame->DocumentStatusBar()->height();
    QVERIFY(bar > 0);
    CCmdUI ui(ID_VIEW_DOC_STATUSBAR);
    QVERIFY(frame->OnUpdateCommand(ui) && ui.m_bChecked);
    QVERIFY(frame->OnCommand(ID_VIEW_DOC_STATUSBAR));
    QVERIFY(frame->DocumentStatusBar()->isHidden());
    QVERIFY(frame->OnUpdateCommand(ui) && !ui.m_bChecked);
    QCOMPARE(frame->size(), maximized ? frameSize : frameSize - QSize(0, bar));
    QCOMPARE(view->size(), maximized ? viewSize + QSize(0, bar) : viewSize);
    frame->OnCommand(ID_VIEW_DOC_STATUSBAR);
    QCOMPARE(frame->size(), frameSize);
    QCOMPARE(view->size(), viewSize);
  }

  void statusPanes_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("colorType");
    QTest::addColumn<int>("bitsPerPlane");
    QTest::addColumn<int>("codecMode");
    QTest::addColumn<int>("modeBefore");
    QTest::addColumn<QStringList>("panes");
    QTest::addColumn<int>("modeAfter");
    const QString info = "Q 5.0 W 9/7 C 10";
    QTest::newRow("grey bmp") << int(FormatBMP) << int(DibGrey) << 8 << 0 << 3
                              << QStringList{"BMP", "64 x 48  8 Bit Grau", "24680 Byte", ""} << 3;
    QTest::newRow("rgb jpeg") << int(FormatJPEG) << int(DibRGB) << 8 << 2 << 0
                              << QStringList{"JPEG", "64 x 48  24 Bit RGB ", "24680 Byte", ""} << 1;
    QTest::newRow("palette gif") << int(FormatGIF) << int(DibPaletteColor) << 4 << 0 << 2
                                 << QStringList{"GIF", "64 x 48  4 Bit Palette", "24680 Byte", ""} << 2;
    QTest::newRow("tvx quality") << int(FormatTvx) << int(DibRGB) << 8 << 1 << 3
                                 << QStringList{"TAVIX", "64 x 48  24 Bit RGB ", "24680 Byte", info} << 2;
    QTest::newRow("tvx lossless") << int(FormatTvx) << int(DibGrey) << 8 << 2 << 1
                                  << QStringList{"TAVIX", "64 x 48  8 Bit Grau", "24680 Byte", info} << 3;
  }
  void statusPanes() {
    QFETCH(int, format);
    QFETCH(int, colorType);
    QFETCH(int, bitsPerPlane);
    QFETCH(int, codecMode);
    QFETCH(int, modeBefore);
    QFETCH(QStringList, panes);
    QFETCH(int, modeAfter);
    App app;
    auto dib = MakeDib(64, 48, colorType);
    dib->m_nColorType = colorType;
    dib->m_nBitsPerPlane = bitsPerPlane;
    dib->m_nFileSize = 24680;
    dib->m_compressionParams.mode = uint16_t(codecMode);
    CTXPhotoDoc* doc = MakeDoc(std::move(dib), format);
    doc->m_strInfoShort = "Q 5.0 W 9/7 C 10";
    CTXPhotoView* view = app.Open(doc);
    app.app.MainFrame()->SetCompressionMode(modeBefore);
    view->OnActivateView();
    QCOMPARE(app.app.MainFrame()->GetCompressionMode(), modeAfter);
    QCOMPARE(Pane(view, 0), QString("100 %"));
    for (int i = 0; i < panes.size(); ++i)
      QCOMPARE(Pane(view, i + 1), panes[i]);
    // A long summary is cut: neither the window nor the fixed panes grow.
    const int frameWidth = view->ParentFrame()->width(), paneWidth = view->ParentFrame()->StatusPane(2)->width();
    doc->m_strInfoShort = QString(400, 'x');
    view->OnActivateView();
    QCoreApplication::processEvents();
    QCOMPARE(view->ParentFrame()->width(), frameWidth);
    QCOMPARE(view->ParentFrame()->StatusPane(2)->width(), paneWidth);
  }

  // Every depth, enlarged, reduced and shifted, clipped: the same pixels as
  // the reference canvas inside the clip, nothing outside it.
  void drawMatchesMemoryCanvas_data() {
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<QRect>("dst");
    QTest::addColumn<QRect>("src");
    for (int bits : {1, 4, 8, 24}) {
      QTest::addRow("%d bit enlarged", bits) << bits << QRect(-7, 3, 104, 65) << QRect(0, 0, 37, 23);
      QTest::addRow("%d bit reduced", bits) << bits << QRect(5, 5, 13, 9) << QRect(0, 0, 37, 23);
      QTest::addRow("%d bit part", bits) << bits << QRect(2, -4, 80, 70) << QRect(10, 4, 20, 15);
    }
  }
  void drawMatchesMemoryCanvas() {
    QFETCH(int, bitCount);
    QFETCH(QRect, dst);
    QFETCH(QRect, src);
    std::mt19937 random{uint32_t(bitCount)};
    const RawDib dib(37, 23, bitCount, random);
    const QRect clip(3, 2, 50, 40);
    CMemoryCanvas canvas(64, 48, false, 0x808080);
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor(0x80, 0x80, 0x80));
    {
      QPainter painter(&image);
      painter.setClipRect(clip);
      CQtDrawContext dc(&painter, false);
      for (CDrawContext* context : {static_cast<CDrawContext*>(&dc), static_cast<CDrawContext*>(&canvas)})
        context->StretchDIBits(dst.x(), dst.y(), dst.width(), dst.height(), src.x(), src.y(), src.width(),
                               src.height(), dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    }
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        const uint32_t expected = clip.contains(x, y) ? canvas.Pixel(x, y) : 0x808080;
        QVERIFY2((image.pixel(x, y) & 0xFFFFFF) == expected, qPrintable(QString("at %1,%2").arg(x).arg(y)));
      }
  }

  // On a palette display a colour image is drawn from its dithered copy:
  // the same pixels as the reference canvas, every one on the colour cube.
  void paletteDisplayDrawsTheCubeColours() {
    auto dib = MakeDib(40, 30, DibRGB, [](int x, int y) { return uint32_t(x * 6) << 16 | uint32_t(y * 8) << 8 | 0x70; },
                       true);
    CMemoryCanvas canvas(80, 60, true);
    QImage image(80, 60, QImage::Format_RGB32);
    QPainter painter(&image);
    CQtDrawContext dc(&painter, true);
    QVERIFY(dc.IsPaletteDevice());
    QVERIFY(dib->Draw(&dc, 0, 0, 80, 60) && dib->Draw(&canvas, 0, 0, 80, 60));
    painter.end();
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 80; ++x) {
        const QRgb pixel = image.pixel(x, y);
        QCOMPARE(pixel & 0xFFFFFF, canvas.Pixel(x, y));
        QVERIFY(qRed(pixel) % 51 == 0 && qGreen(pixel) % 51 == 0 && qBlue(pixel) % 51 == 0);
      }
  }

  // A large image reduced to a small window converts about the pixels shown.
  void reducedDrawConvertsOnlyShownPixels() {
    auto dib = MakeDib(3200, 2400, DibRGB, [](int x, int) { return x < 1600 ? 0xFF0000u : 0x0000FFu; });
    QImage image(400, 300, QImage::Format_RGB32);
    QPainter painter(&image);
    CQtDrawContext dc(&painter, false);
    dib->Draw(&dc, 0, 0, 400, 300);
    QCOMPARE(dc.RowsConverted(), 300);
    QCOMPARE(dc.PixelsConverted(), 400LL * 300);
    QCOMPARE(image.pixel(10, 10) & 0xFFFFFF, 0xFF0000u);
    QCOMPARE(image.pixel(390, 290) & 0xFFFFFF, 0x0000FFu);
    painter.setClipRect(100, 50, 60, 40);  // a small repaint
    dib->Draw(&dc, 0, 0, 400, 300);
    QCOMPARE(dc.RowsConverted(), 40);
    QCOMPARE(dc.PixelsConverted(), 60LL * 40);
  }

  void screenshotOfTwoDocuments() {
    App app({980, 540});
    auto grey = [](int x, int y) { return uint32_t((x + y) * 255 / 778) * 0x010101u; };
    auto colour = [](int x, int y) { return uint32_t(x * 255 / 459) << 16 | uint32_t(y * 255 / 319) << 8 | 0x80u; };
    auto colourDib = MakeDib(460, 320, DibRGB, colour), greyDib = MakeDib(460, 320, DibGrey, grey);
    colourDib->m_nFileSize = 14802;
    greyDib->m_nFileSize = 76815;
    CTXPhotoView* left = app.Open(MakeDoc(std::move(colourDib), FormatJPEG, "colour.jpg"));
    CTXPhotoView* right = app.Open(MakeDoc(std::move(greyDib), FormatPNM, "grey.pgm"));
    left->ParentFrame()->move(10, 10);
    right->ParentFrame()->move(490, 10);
    for (CTXPhotoView* view : {left, right})
      view->OnActivateView();
    QCOMPARE(Pane(right, 2), QString("460 x 320  8 Bit Grau"));
    QCoreApplication::processEvents();
    QVERIFY(app.app.MainFrame()->grab().save(QDir(ScreenshotFolder()).filePath("documents.png")));
    // The window colour around a picture smaller than its view.
    left->ParentFrame()->resize(left->ParentFrame()->size() + QSize(40, 40));
    QCoreApplication::processEvents();
    const QImage shot = left->viewport()->grab().toImage();
    QCOMPARE(shot.pixelColor(0, 0), QColor(0, 0, 0x80));
    QCOMPARE(shot.pixelColor(shot.width() - 2, shot.height() - 2), left->palette().color(QPalette::Base));
  }

private:
  static QSize Scaled(QSize size, double zoom) { return QSize(int(size.width() * zoom), int(size.height() * zoom)); }
};

QTEST_MAIN(ViewTests)
#include "view_tests.moc"
