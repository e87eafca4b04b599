// The Preview dialog over a real compression of a real photograph: zooming
// back to exactly 1, a narrow image centred between grey bands and the
// enable rules, Original/Compressed, dragging, intermediate images shown
// while the decoder runs, saving exactly the previewed bytes, and failures.
#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/FileDialogEx.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "app/TXPhotoApp.h"
#include "app_test_helpers.h"
#include "compression/FileSizeDlg.h"
#include "compression/PreviewDlg.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "image/Dib.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

const QColor kGrey(100, 100, 100);

bool Convert(const QStringList& arguments) {
  QProcess process;
  process.start("convert", arguments);
  return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// File-size mode at ratio 40 with the standard 9/7 row, as the File Size
// dialog starts.
void SetRatio40(CDib& dib) {
  TXcompressionParams& params = dib.m_compressionParams;
  params.mode = TXmodeFileSize;
  params.target = int32_t(dib.RowBytes() * dib.GetSize().cy / 40);
  params.waveletType = TXwavelet97;
  params.codecType = TXcodecStandard;
  params.portion = 90;
}

QByteArray Bits(const CDib& dib) { return QByteArray(reinterpret_cast<const char*>(dib.m_pBits), dib.m_nImageSize); }

template <class T>
T* Child(QWidget* parent, const char* name) {
  T* child = parent->findChild<T*>(QLatin1String(name));
  if (!child)
    qWarning("no control %s", name);
  return child;
}

void Click(QWidget* dialog, const char* name) { Child<QAbstractButton>(dialog, name)->click(); }

// Calls `answer` with the modal dialog of type T once `ready` holds for it.
template <class T>
void AnswerModalWhen(std::function<void(T*)> answer, std::function<bool(T*)> ready = nullptr, int triesLeft = 1500) {
  QTimer::singleShot(20, [=] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (dialog && (!ready || ready(dialog)))
      return answer(dialog);
    if (triesLeft > 0)
      AnswerModalWhen<T>(answer, ready, triesLeft - 1);
  });
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

// Calls `onPaint` for each paint of the widgets it watches.
class PaintWatcher : public QObject {
public:
  PaintWatcher(QObject* parent, std::function<void()> onPaint) : QObject(parent), m_onPaint(std::move(onPaint)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      m_onPaint();
    return false;
  }

private:
  std::function<void()> m_onPaint;
};

CCommandLineInfo TestCommandLine() {
  CCommandLineInfo info;
  info.m_bNoSplash = info.m_bNewInstance = true;
  return info;
}

}  // namespace

class PreviewTests : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  std::unique_ptr<CTXPhotoApp> m_app;
  std::unique_ptr<CTXPhotoDoc> m_doc;

  QString path(const QString& name) const { return m_dir.filePath(name); }
  CMainFrame* frame() const { return m_app->MainFrame(); }
  int windowCount() const { return frame()->MdiArea()->subWindowList().size(); }

  // A document of `name` (no view) with its Preview dialog shown and the
  // preview made.
  CPreviewDlg* showPreview(const QString& name) {
    m_doc = std::make_unique<CTXPhotoDoc>();
    if (!m_doc->OnOpenDocument(path(name)))
      return nullptr;
    SetRatio40(*m_doc->m_pDib);
    auto* dialog = new CPreviewDlg;  // the document deletes it
    dialog->m_pDoc = m_doc.get();
    m_doc->m_pPreviewDlg = dialog;
    dialog->show();
    if (!QTest::qWaitFor([dialog] { return dialog->m_nFileSize > 0; }, 30000))
      return nullptr;
    return dialog;
  }

private slots:
  void initTestCase() {
    OpenSettings().clear();
    const QString photo = TAVIX_SOURCE_DIR "/samples/chelsea.ppm";
    QVERIFY(Convert({photo, "-resize", "1024x768!", path("photo.ppm")}));
    QVERIFY(Convert({"-size", "100x600", "gradient:red-yellow", "-depth", "8", path("narrow.ppm")}));
    QVERIFY(QDir(m_dir.path()).mkdir("blocked.tvx"));  // a name no file can take
    m_app = std::make_unique<CTXPhotoApp>();
    QVERIFY(m_app->InitInstance(TestCommandLine()));
  }
  void cleanup() { m_doc.reset(); }
  void cleanupTestCase() { m_app.reset(); }

  // Zoom In goes 1.4142, 2.0, 2.83, 4.0 and stops; Zoom Out lands on exactly 1.
  void zoomSequenceReturnsToExactlyOne() {
    CPreviewDlg* dialog = showPreview("photo.ppm");
    QVERIFY(dialog);
    QVERIFY(!Child<QPushButton>(dialog, "IDC_PREVIEW_ORIGINAL_SIZE")->isEnabled());
    const double steps[] = {1.4142, 2.0, 2.83, 4.0};
    for (double expected : steps) {
      Click(dialog, "IDC_PREVIEW_ZOOM_IN");
      QVERIFY2(qAbs(dialog->m_dZoom - expected) < 0.01, qPrintable(QString::number(dialog->m_dZoom)));
      QCOMPARE(Child<QPushButton>(dialog, "IDC_PREVIEW_ZOOM_IN")->isEnabled(), expected < 4);
    }
    const std::unique_ptr<QMenu> menu(dialog->BuildContextMenu());
    QCOMPARE(menu->findChild<QAction*>("IDC_PREVIEW_ZOOM_IN")->isEnabled(), false);
    QCOMPARE(menu->findChild<QAction*>("IDC_PREVIEW_ZOOM_OUT")->isEnabled(), true);
    QCOMPARE(menu->findChild<QAction*>("IDOK")->isEnabled(), true);
    for (int i = 0; i < 4; ++i)
      Click(dialog, "IDC_PREVIEW_ZOOM_OUT");
    QCOMPARE(dialog->m_dZoom, 1.0);
    QVERIFY(!Child<QPushButton>(dialog, "IDC_PREVIEW_ORIGINAL_SIZE")->isEnabled());
  }

  // Rows count from the bottom: dragging down shows higher rows, so the
  // vertical bar (counting from the top) moves up, as the horizontal one
  // moves left when dragging right.
  void draggingMovesTheImageWithThePointer() {
    CPreviewDlg* dialog = showPreview("photo.ppm");
    QVERIFY(dialog);
    auto* horizontal = Child<QScrollBar>(dialog, "IDC_PREVIEW_HSCROLL");
    auto* vertical = Child<QScrollBar>(dialog, "IDC_PREVIEW_VSCROLL");
    QCOMPARE(horizontal->value(), 500);  // centred
    QCOMPARE(vertical->value(), 500);
    QWidget* pane = Child<QWidget>(dialog, "IDC_PREVIEW_PANE");
    const QPoint centre = pane->rect().center();
    SendMouse(pane, QEvent::MouseButtonPress, centre, Qt::LeftButton);
    SendMouse(pane, QEvent::MouseMove, centre + QPoint(10, 10), Qt::LeftButton);
    SendMouse(pane, QEvent::MouseButtonRelease, centre + QPoint(10, 10), Qt::NoButton);
    // Origin (292, 219) -> (282, 229) over the ranges 584 and 438.
    QCOMPARE(horizontal->value(), 482);
    QCOMPARE(vertical->value(), 477);
    horizontal->setValue(1000);
    vertical->setValue(1000);
    const QImage shown = pane->grab().toImage();
    CDib* preview = m_doc->m_pPreviewDib.get();
    // At the lower right end the pane's last pixel is the image's last one.
    const BYTE* last = preview->m_pBits + (preview->GetSize().cx - 1) * 3;  // bottom row, stored first
    QCOMPARE(shown.pixelColor(pane->width() - 1, pane->height() - 1), QColor(last[2], last[1], last[0]));
  }

  void narrowImageIsCentredBetweenGreyBands_data() {
    QTest::addColumn<int>("zoomOuts");
    QTest::addColumn<bool>("zoomOutEnabled");
    QTest::addColumn<QPoint>("greyPixel");
    QTest::addColumn<QPoint>("imagePixel");
    // Pane 440 x 330: 100 columns drawn from 170; at zoom 0.5 the 600 rows fit too.
    QTest::newRow("zoom 1") << 0 << true << QPoint(169, 100) << QPoint(170, 100);
    QTest::newRow("right band") << 0 << true << QPoint(270, 100) << QPoint(269, 100);
    QTest::newRow("zoom 0.71") << 1 << true << QPoint(183, 100) << QPoint(184, 100);
    QTest::newRow("zoom 0.5, fits") << 2 << false << QPoint(220, 13) << QPoint(220, 14);
  }
  void narrowImageIsCentredBetweenGreyBands() {
    QFETCH(int, zoomOuts);
    QFETCH(bool, zoomOutEnabled);
    QFETCH(QPoint, greyPixel);
    QFETCH(QPoint, imagePixel);
    CPreviewDlg* dialog = showPreview("narrow.ppm");
    QVERIFY(dialog);
    for (int i = 0; i < zoomOuts; ++i)
      Click(dialog, "IDC_PREVIEW_ZOOM_OUT");
    QCOMPARE(Child<QPushButton>(dialog, "IDC_PREVIEW_ZOOM_OUT")->isEnabled(), zoomOutEnabled);
    QVERIFY(!Child<QScrollBar>(dialog, "IDC_PREVIEW_HSCROLL")->isEnabled());
    QCOMPARE(Child<QScrollBar>(dialog, "IDC_PREVIEW_VSCROLL")->isEnabled(), zoomOutEnabled);
    const QImage shown = Child<QWidget>(dialog, "IDC_PREVIEW_PANE")->grab().toImage();
    QCOMPARE(shown.pixelColor(greyPixel), kGrey);
    QVERIFY(shown.pixelColor(imagePixel) != kGrey);
  }

  void originalAndCompressedToggleTheFileSize() {
    CPreviewDlg* dialog = showPreview("narrow.ppm");
    QVERIFY(dialog);
    auto* fileSize = Child<QLineEdit>(dialog, "IDC_PREVIEW_FILE_SIZE");
    auto* ratio = Child<QLineEdit>(dialog, "IDC_PREVIEW_RATIO");
    const QString compressed = QString::number(m_doc->m_pPreviewDib->m_nCompressedLen);
    const QString ratioText = QString::number(int(100 * 600 * 3.0 / compressed.toInt() + 0.5));
    QCOMPARE(fileSize->text(), compressed);
    QCOMPARE(ratio->text(), ratioText);
    Click(dialog, "IDC_PREVIEW_ORIGINAL");
    QCOMPARE(fileSize->text(), QStringLiteral("180000"));
    QCOMPARE(ratio->text(), ratioText);
    QCOMPARE(dialog->m_nImage, 0);
    Click(dialog, "IDC_PREVIEW_COMPRESSED");
    QCOMPARE(fileSize->text(), compressed);
    QCOMPARE(dialog->m_nImage, 1);
  }

  // The pane repaints while the decoder runs: a paint with the preview's
  // pixel buffer still alive happens only during decoding.
  void intermediateImagesArriveWhileDecoding() {
    m_doc = std::make_unique<CTXPhotoDoc>();
    QVERIFY(m_doc->OnOpenDocument(path("photo.ppm")));
    SetRatio40(*m_doc->m_pDib);
    auto* dialog = new CPreviewDlg;
    dialog->m_pDoc = m_doc.get();
    m_doc->m_pPreviewDlg = dialog;
    int paintsWhileDecoding = 0;
    auto* counter = new PaintWatcher(dialog, [&] {
      const CDib* preview = m_doc->m_pPreviewDib.get();
      if (preview && preview->m_pPixels && preview->m_pBits)
        ++paintsWhileDecoding;
    });
    Child<QWidget>(dialog, "IDC_PREVIEW_PANE")->installEventFilter(counter);
    dialog->show();
    QTRY_VERIFY_WITH_TIMEOUT(dialog->m_nFileSize > 0, 30000);
    QVERIFY2(paintsWhileDecoding >= 2, qPrintable(QString::number(paintsWhileDecoding)));
    QVERIFY(!m_doc->m_pPreviewDib->GetPixels());  // freed once decoded
  }

  void saveWritesExactlyThePreviewedBytes_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");  // empty: the write fails
    QTest::newRow("name cut at its first dot") << "saved.final.png" << "saved.tvx";
    QTest::newRow("unwritable name") << "blocked" << QString();
  }
  void saveWritesExactlyThePreviewedBytes() {
    QFETCH(QString, typed);
    QFETCH(QString, written);
    const int windowsBefore = windowCount();
    QVERIFY(m_app->OpenDocumentFile(path("photo.ppm")));
    CTXPhotoView* view = frame()->ActiveView();
    QVERIFY(view);
    CTXPhotoDoc* doc = view->GetDocument();
    view->m_nCompressionMode = CompressFileSize;
    QByteArray bytes, bits;
    AnswerModalWhen<CPreviewDlg>(
        [&](CPreviewDlg* dialog) {
          bytes = QByteArray(reinterpret_cast<const char*>(doc->m_pPreviewDib->m_pCompressed.get()),
                             doc->m_pPreviewDib->m_nCompressedLen);
          bits = Bits(*doc->m_pPreviewDib);
          Click(dialog, "IDC_PREVIEW_ZOOM_OUT");
          Click(dialog, "IDC_PREVIEW_ZOOM_OUT");
          dialog->grab().save(QDir(ScreenshotFolder()).filePath("preview-dialog.png"));
          Click(dialog, "IDC_PREVIEW_OPEN_AFTER_SAVING");
          Click(dialog, "IDOK");
        },
        [](CPreviewDlg* dialog) { return dialog->m_nFileSize > 0; });
    AnswerModalWhen<CFileDialogEx>([&](CFileDialogEx* dialog) {
      dialog->FileNameField()->setText(path(typed));
      QTest::keyClick(dialog->FileNameField(), Qt::Key_Return);
    });
    CMessageBoxRecorder boxes;
    doc->PreviewAndSave();
    QVERIFY(!doc->m_pPreviewDlg);
    QVERIFY(!bytes.isEmpty());
    if (view->m_dlgFileSize)
      QCOMPARE(view->m_dlgFileSize->m_bOpenAfterSaving, 1);
    if (written.isEmpty()) {
      const QString target = path(typed + ".tvx");
      QCOMPARE(boxes.texts, QStringList{LoadStringResource(IDS_SAVE_FAILED).replace("%s", target)});
      QVERIFY(doc->m_pPreviewDib);  // kept, nothing opened, no stray file
      QCOMPARE(QDir(m_dir.path()).entryList({typed + "*"}), QStringList{typed + ".tvx"});
      QTest::qWait(50);
      QCOMPARE(windowCount(), windowsBefore + 1);
      return;
    }
    QCOMPARE(doc->m_strSavedPath, path(written));
    QVERIFY(!doc->m_pPreviewDib);
    QFile file(path(written));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
    // "Open after saving" opens it, showing what the preview showed.
    QTRY_COMPARE(windowCount(), windowsBefore + 2);
    const CTXPhotoDoc* opened = frame()->ActiveView()->GetDocument();
    QCOMPARE(opened->m_strFilePath, path(written));
    QCOMPARE(Bits(*opened->m_pDib), bits);
  }

  void failedPreviewTellsTheUserAndCloses() {
    CTXPhotoDoc doc;
    QVERIFY(doc.OnOpenDocument(path("narrow.ppm")));
    SetRatio40(*doc.m_pDib);
    doc.m_pDib->m_compressionParams.waveletType = 99;
    CMessageBoxRecorder boxes;
    doc.PreviewAndSave();
    QCOMPARE(boxes.texts, QStringList{LoadStringResource(IDS_PREVIEW_FAILED)});
    QVERIFY(!doc.m_pPreviewDib);
    QVERIFY(!doc.m_pPreviewDlg);
  }
};

QTEST_MAIN(PreviewTests)
#include "preview_tests.moc"
