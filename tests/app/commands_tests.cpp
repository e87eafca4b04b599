// The image commands as a user meets them: export through the save dialog
// (read back by ImageMagick), the palette-loss question, the JPEG quality
// dialog, copy and paste, Image Information, and the compression size gate.
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cstring>
#include <functional>

#include "app/FileDialogEx.h"
#include "app/MainFrame.h"
#include "app/TXPhotoApp.h"
#include "app_test_helpers.h"
#include "compression/ImageInfoDlg.h"
#include "compression/JpegQualityDlg.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "image/Dib.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

// Two colour bands, so that a flipped or shifted export shows.
const QStringList kBands = {"-size", "64x48", "xc:rgb(200,30,40)", "-fill", "rgb(20,60,220)",
                            "-draw", "rectangle 0,24 63,47"};
const QStringList kPaletteImage = {"-size", "32x32", "gradient:red-blue", "-type", "Palette", "-compress", "None"};

QByteArray Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitCode() != 0)
    return {};
  return process.readAllStandardOutput();
}

// The R, G, B bytes of pixel (x, y) of a file, as ImageMagick reads it.
QByteArray PixelOf(const QString& path, int x, int y) {
  return Run("convert", {path, "-crop", QStringLiteral("1x1+%1+%2").arg(x).arg(y), "-depth", "8", "rgb:-"});
}

bool Near(const QByteArray& pixel, const QByteArray& expected, int tolerance) {
  bool near = pixel.size() == 3 && expected.size() == 3;
  for (int i = 0; near && i < 3; ++i)
    near = std::abs(int(uchar(pixel[i])) - int(uchar(expected[i]))) <= tolerance;
  return near;
}

// The user picks the type `index` (1-based) from the list, types `name`
// and saves; index 0 cancels the dialog.
void AnswerExportDialog(int index, const QString& name) {
  AnswerModal<CFileDialogEx>([index, name](CFileDialogEx* dialog) {
    if (index == 0)
      return dialog->reject();
    for (int i = dialog->GetFilterIndex(); i < index; ++i)
      QTest::keyClick(dialog->FileTypeList(), Qt::Key_Down);
    dialog->FileNameField()->setText(name);
    QTest::keyClick(dialog->FileNameField(), Qt::Key_Return);
  });
}

void AnswerJpegQuality(int quality, bool save) {
  AnswerModal<CJpegQualityDlg>([quality, save](CJpegQualityDlg* dialog) {
    dialog->findChild<QSlider*>("IDC_JPEG_QUALITY_SLIDER")->setValue(quality);
    dialog->findChild<QPushButton*>(save ? "IDOK" : "IDCANCEL")->click();
  });
}

CCommandLineInfo TestCommandLine() {
  CCommandLineInfo info;
  info.m_bNoSplash = true;
  info.m_bNewInstance = true;
  return info;
}

}  // namespace

class CommandsTests : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  std::unique_ptr<CTXPhotoApp> m_app;

  // Writes an ImageMagick fixture (8 bits a sample, BMP with the 40-byte
  // header) into the temporary folder; empty on failure.
  QString make(const QString& name, QStringList arguments) {
    const QString path = m_dir.filePath(name);
    QFile::remove(path);
    Run("convert", arguments << "-depth" << "8" << (name.endsWith(".bmp") ? "BMP3:" + path : path));
    return QFileInfo::exists(path) ? path : QString();
  }

  // The sample photograph compressed to `bytes` bytes.
  QString makeTvx(const QString& name, int bytes) {
    CDib dib;
    if (dib.ReadPNM(TAVIX_SOURCE_DIR "/samples/chelsea.ppm") != DIB_OK)
      return QString();
    dib.m_compressionParams.mode = TXmodeFileSize;
    dib.m_compressionParams.target = bytes;
    const QString path = m_dir.filePath(name);
    return dib.WriteTvx(QFile::encodeName(path).toStdString(), nullptr) == DIB_OK ? path : QString();
  }

  // The fixture's document window; nullptr (with the messages shown) when it does not open.
  CTXPhotoView* open(const QString& path) {
    CMessageBoxRecorder boxes;
    if (path.isEmpty() || !m_app->OpenDocumentFile(path) || !boxes.texts.isEmpty()) {
      qWarning() << "cannot open" << path << boxes.texts;
      return nullptr;
    }
    return m_app->MainFrame()->ActiveView();
  }

private slots:
  void init() {
    m_app = std::make_unique<CTXPhotoApp>();
    QVERIFY(m_app->InitInstance(TestCommandLine()));
  }
  void cleanup() {
    ++g_nTestNumber;
    m_app->MainFrame()->MdiArea()->closeAllSubWindows();
    m_app.reset();
  }

  void exportRoundTrip_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("tolerance");
    QTest::newRow("BMP") << "bands.bmp" << 1 << "BMP3" << ".bmp" << 0;
    QTest::newRow("TIFF") << "bands.bmp" << 2 << "TIFF" << ".tif" << 0;
    QTest::newRow("JPEG") << "bands.bmp" << 3 << "JPEG" << ".jpg" << 12;
    QTest::newRow("PNM") << "bands.bmp" << 4 << "PPM" << ".pnm" << 0;
    QTest::newRow("grey PNM") << "bands.pgm" << 4 << "PGM" << ".pnm" << 0;
  }
  void exportRoundTrip() {
    QFETCH(QString, source);
    QFETCH(int, index);
    QFETCH(QString, format);
    QFETCH(QString, extension);
    QFETCH(int, tolerance);
    const QString sourcePath = make(source, kBands);
    CTXPhotoView* view = open(sourcePath);
    QVERIFY(view);
    QCOMPARE(view->GetDocument()->m_strBaseName, QStringLiteral("bands"));
    const QString folder = m_dir.filePath(QTest::currentDataTag());
    QVERIFY(QDir().mkpath(folder));
    CMessageBoxRecorder boxes;
    AnswerExportDialog(index, folder + "/out.typed.name");
    AnswerJpegQuality(90, true);
    view->OnFileExport();

    const QString written = folder + "/out" + extension;
    QVERIFY(boxes.texts.isEmpty());
    QCOMPARE(view->m_nLastResult, 0);
    QCOMPARE(m_app->MainFrame()->StatusPane(0)->text(), LoadStringResource(AFX_IDS_IDLEMESSAGE));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QFileInfo(written).fileName()});
    QCOMPARE(Run("identify", {"-format", "%m %w %h", written}), (format + " 64 48").toLatin1());
    for (const QPoint point : {QPoint(5, 5), QPoint(40, 40)})
      QVERIFY(Near(PixelOf(written, point.x(), point.y()), PixelOf(sourcePath, point.x(), point.y()), tolerance));
    QCOMPARE(view->m_nJpegQuality, index == 3 ? 90 : 75);
  }

  // Every way an export can stop short: nothing is written that is not
  // complete, and only the expected messages show.
  void exportStopsShort_data() {
    QTest::addColumn<QStringList>("image");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saveQuality");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("files");
    const QString loss = LoadStringResource(IDS_PALETTE_LOSS);
    const int no = QMessageBox::No, yes = QMessageBox::Yes;
    QTest::newRow("save dialog cancelled") << kBands << 0 << yes << true << QString() << 0;
    QTest::newRow("JPEG quality cancelled") << kBands << 3 << yes << false << QString() << 0;
    QTest::newRow("target is a folder") << kBands << 1 << yes << true << LoadStringResource(IDS_SAVE_FAILED) << 0;
    QTest::newRow("palette, TIFF, no") << kPaletteImage << 2 << no << true << QString(loss).replace("%s", "TIFF")
                                       << 0;
    QTest::newRow("palette, PNM, yes") << kPaletteImage << 4 << yes << true << QString(loss).replace("%s", "PNM")
                                       << 1;
  }
  void exportStopsShort() {
    QFETCH(QStringList, image);
    QFETCH(int, index);
    QFETCH(int, answer);
    QFETCH(bool, saveQuality);
    QFETCH(QString, message);
    QFETCH(int, files);
    CTXPhotoView* view = open(make("source.bmp", image));
    QVERIFY(view);
    const QString folder = m_dir.filePath(QTest::currentDataTag());
    const QString blocked = folder + "/out.bmp";
    QVERIFY(QDir().mkpath(blocked));  // a folder where a BMP would go
    CMessageBoxRecorder boxes(static_cast<QMessageBox::StandardButton>(answer));
    AnswerExportDialog(index, folder + "/out");
    AnswerJpegQuality(20, saveQuality);
    view->OnFileExport();

    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), files);
    QCOMPARE(boxes.texts, message.isEmpty() ? QStringList() : QStringList{QString(message).replace("%s", blocked)});
    QCOMPARE(boxes.icons, QList<QMessageBox::Icon>(boxes.texts.size(), QMessageBox::Warning));
    QCOMPARE(view->m_nLastResult != 0, message.startsWith("TAVIX Photo is unable"));
    QCOMPARE(view->m_nJpegQuality, 75);
  }

  void jpegQualityClamps_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("quality");
    QTest::newRow("above the range") << "150" << 100;
    QTest::newRow("below the range") << "-5" << 0;
    QTest::newRow("inside") << "42" << 42;
    QTest::newRow("empty keeps the value") << "" << 75;
  }
  void jpegQualityClamps() {
    QFETCH(QString, typed);
    QFETCH(int, quality);
    CJpegQualityDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* edit = dialog.findChild<QLineEdit*>("IDC_JPEG_QUALITY");
    auto* slider = dialog.findChild<QSlider*>("IDC_JPEG_QUALITY_SLIDER");
    QVERIFY(edit && slider);
    QCOMPARE(edit->text(), QStringLiteral("75"));
    QCOMPARE(slider->value(), 75);
    QCOMPARE(slider->maximum(), 100);
    edit->clear();
    QTest::keyClicks(edit, typed);
    slider->setFocus();  // leaving the box
    QCOMPARE(edit->text(), QString::number(quality));
    QCOMPARE(slider->value(), quality);
    QCOMPARE(dialog.m_nQuality, quality);
    // The track bar moves the box; typing 150 and saving at once still clamps.
    QTest::keyClick(slider, Qt::Key_Home);
    QCOMPARE(edit->text(), QStringLiteral("0"));
    edit->setFocus();
    edit->setText("150");
    dialog.findChild<QPushButton*>("IDOK")->click();
    QCOMPARE(dialog.result(), int(IDOK));
    QCOMPARE(dialog.m_nQuality, 100);
  }

  void copyThenPaste_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("image");
    QTest::newRow("24 bit, padded rows") << "odd.bmp" << QStringList{"-size", "33x7", "gradient:red-blue"};
    QTest::newRow("8 bit grey") << "grey.pgm" << QStringList{"-size", "30x9", "gradient:"};
  }
  void copyThenPaste() {
    QFETCH(QString, name);
    QFETCH(QStringList, image);
    const QString path = make(name, image);
    CTXPhotoView* view = open(path);
    QVERIFY(view);
    const CDib& source = *view->GetDocument()->GetDib();
    CMessageBoxRecorder boxes;
    view->OnEditCopy();
    QVERIFY(boxes.texts.isEmpty());

    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data && data->hasFormat("image/bmp"));
    const QByteArray bmp = data->data("image/bmp");
    const size_t headerBytes = 40 + 4 * static_cast<size_t>(source.m_nColors);
    QVERIFY(bmp.startsWith("BM"));
    const BITMAPFILEHEADER fileHeader = ReadFileHeader(reinterpret_cast<const BYTE*>(bmp.constData()));
    QCOMPARE(qsizetype(fileHeader.bfSize), bmp.size());
    QCOMPARE(size_t(fileHeader.bfOffBits), 14 + headerBytes);
    QCOMPARE(size_t(bmp.size()), 14 + headerBytes + source.m_nImageSize);
    QVERIFY(std::memcmp(bmp.constData() + 14, source.m_pBMI, headerBytes) == 0);
    const QImage picture = data->imageData().value<QImage>();
    QCOMPARE(picture.convertToFormat(QImage::Format_RGB32), QImage(path).convertToFormat(QImage::Format_RGB32));

    CTXPhotoDoc pasted;
    QVERIFY(pasted.PasteFromClipboard());
    const CDib& copy = *pasted.GetDib();
    QCOMPARE(copy.GetSize(), source.GetSize());
    QCOMPARE(copy.Header()->biBitCount, source.Header()->biBitCount);
    QCOMPARE(copy.m_nImageSize, source.m_nImageSize);
    QVERIFY(std::memcmp(copy.m_pBits, source.m_pBits, source.m_nImageSize) == 0);
  }

  void copyWithoutImageFails() {
    CTXPhotoDoc empty;
    empty.m_pDib.reset();
    CTXPhotoView view(&empty);
    CMessageBoxRecorder boxes;
    view.OnEditCopy();
    QCOMPARE(boxes.texts, QStringList{LoadStringResource(IDS_COPY_FAILED)});
  }

  void imageInformation_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("image");
    QTest::addColumn<QStringList>("expected");  // format, mode, colour model, ratio
    QTest::newRow("colour photo") << "photo.tvx" << QStringList()
                                  << QStringList{"TAVIX", "TAVIX", "24 Bit RGB", ""};
    QTest::newRow("JPEG") << "plasma.jpg" << QStringList{"-size", "240x160", "-seed", "7", "plasma:"}
                          << QStringList{"JPEG", "JPEG (DCT)", "24 Bit RGB", ""};
    QTest::newRow("grey PGM") << "grey.pgm" << QStringList{"-size", "100x400", "gradient:"}
                              << QStringList{"PPM", "No Compression", "8 Bit gray table", "1 : 1"};
    QTest::newRow("palette BMP") << "pal.bmp" << kPaletteImage
                                 << QStringList{"BMP", "No Compression", "8 Bit color table", ""};
    QTest::newRow("PCX") << "shape.pcx" << (QStringList(kBands) << "-type" << "TrueColor")
                         << QStringList{"PCX", "Run Length", "24 Bit RGB", ""};
  }
  void imageInformation() {
    QFETCH(QString, name);
    QFETCH(QStringList, image);
    QFETCH(QStringList, expected);
    const QString path = name.endsWith(".tvx") ? makeTvx(name, 9000) : make(name, image);
    CTXPhotoView* view = open(path);
    QVERIFY(view);
    const CTXPhotoDoc& doc = *view->GetDocument();
    const CDib& dib = *doc.GetDib();
    const QSize size(dib.GetSize().cx, dib.GetSize().cy);
    if (expected[3].isEmpty())  // a compressed file: three bytes a pixel over the file's size
      expected[3] = QString::asprintf("%.0f : 1", 3.0 * size.width() * size.height() / QFileInfo(path).size());

    QHash<QString, QString> shown;
    QRect picture, frameInside;
    AnswerModal<CImageInfoDlg>([&](CImageInfoDlg* dialog) {
      for (QLineEdit* edit : dialog->findChildren<QLineEdit*>())
        shown[edit->objectName()] = edit->text();
      shown["IDC_INFO_PARAMS"] = dialog->findChild<QLabel*>("IDC_INFO_PARAMS")->text();
      picture = dialog->PictureFrame()->PictureRect();
      frameInside = dialog->PictureFrame()->contentsRect();
      if (QTest::currentDataTag() == QLatin1String("colour photo"))
        dialog->grab().save(QDir(ScreenshotFolder()).filePath("image-info.png"));
      dialog->accept();
    });
    view->OnImageInfo();

    QCOMPARE(shown["IDC_INFO_FILE_NAME"], QFileInfo(name).completeBaseName());
    QCOMPARE(shown["IDC_INFO_FORMAT"], expected[0]);
    QCOMPARE(shown["IDC_INFO_MODE"], expected[1]);
    QCOMPARE(shown["IDC_INFO_COLOR_MODEL"], expected[2]);
    QCOMPARE(shown["IDC_INFO_RATIO"], expected[3]);
    QCOMPARE(shown["IDC_INFO_FILE_SIZE"], QString::number(QFileInfo(path).size()));
    QCOMPARE(shown["IDC_INFO_WIDTH"], QString::number(size.width()));
    QCOMPARE(shown["IDC_INFO_HEIGHT"], QString::number(size.height()));
    QCOMPARE(shown["IDC_INFO_PARAMS"], doc.m_nFormat == FormatTvx ? doc.m_strInfoLong : QString());
    QCOMPARE(shown["IDC_INFO_PARAMS"].isEmpty(), doc.m_nFormat != FormatTvx);
    QCOMPARE(picture, FitPictureRect(frameInside.size(), size).translated(frameInside.topLeft()));
  }

  // Whole bytes a pixel: a 1-bit image (such as a resource bitmap) counts 0.
  void ratioOfOneBitImageIsZero() {
    QFile file(make("mono.bmp", {"-size", "200x100", "pattern:checkerboard", "-monochrome", "-type", "Bilevel"}));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    CTXPhotoDoc doc;
    QCOMPARE(doc.m_pDib->LoadResourceBitmap(bytes.constData(), size_t(bytes.size()), nullptr), 1);
    QCOMPARE(int(doc.m_pDib->Header()->biBitCount), 1);
    doc.m_pDib->m_nFileSize = DWORD(bytes.size());
    CTXPhotoView view(&doc);
    QString ratio;
    AnswerModal<CImageInfoDlg>([&ratio](CImageInfoDlg* dialog) {
      ratio = dialog->findChild<QLineEdit*>("IDC_INFO_RATIO")->text();
      dialog->accept();
    });
    view.OnImageInfo();
    QCOMPARE(ratio, QStringLiteral("0 : 1"));
  }

  void pictureIsDrawnInItsRectangle() {
    CTXPhotoView* view = open(make("wide.bmp", {"-size", "200x100", "xc:rgb(200,30,40)"}));
    QVERIFY(view);
    CImageInfoDlg dialog;
    dialog.m_pDib = view->GetDocument()->GetDib();
    dialog.show();
    CImagePictureFrame* frame = dialog.PictureFrame();
    const QRect picture = frame->PictureRect();
    QCOMPARE(picture.width(), frame->contentsRect().width());
    QVERIFY(picture.top() > frame->contentsRect().top() + 2);
    const QImage drawn = frame->grab().toImage();
    QCOMPARE(drawn.pixelColor(picture.center()), QColor(200, 30, 40));
    QVERIFY(drawn.pixelColor(picture.center().x(), picture.top() - 2) != QColor(200, 30, 40));
  }

  void fittedPicture_data() {
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("wide image: full width, centred down") << QSize(160, 138) << QSize(200, 100)
                                                          << QRect(0, 29, 160, 80);
    QTest::newRow("tall image: full height, centred across") << QSize(160, 138) << QSize(100, 400)
                                                             << QRect(63, 0, 34, 138);
    QTest::newRow("same proportions: full width") << QSize(160, 138) << QSize(320, 276)
                                                  << QRect(0, 0, 160, 138);
    QTest::newRow("no image") << QSize(160, 138) << QSize(0, 0) << QRect();
  }
  void fittedPicture() {
    QFETCH(QSize, frame);
    QFETCH(QSize, image);
    QFETCH(QRect, expected);
    QCOMPARE(FitPictureRect(frame, image), expected);
  }

  void sizeGate_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("passes");
    QTest::newRow("31 x 500") << QSize(31, 500) << false;
    QTest::newRow("500 x 31") << QSize(500, 31) << false;
    QTest::newRow("32 x 32") << QSize(32, 32) << true;
  }
  void sizeGate() {
    QFETCH(QSize, size);
    QFETCH(bool, passes);
    const QString sizeText = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    CTXPhotoView* view = open(make(sizeText + ".bmp", {"-size", sizeText, "xc:gray"}));
    QVERIFY(view);
    CMessageBoxRecorder boxes;
    QCOMPARE(view->SizeGate(), passes);
    QCOMPARE(boxes.texts, passes ? QStringList() : QStringList{LoadStringResource(IDS_MIN_IMAGE_SIZE)});
  }
};

QTEST_MAIN(CommandsTests)
#include "commands_tests.moc"
