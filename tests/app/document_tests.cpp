// The image document: opening every format by its extension, the names it
// takes from the path, the messages of a failed load and their order, the
// compression summary of a .tvx image, and pasting from the clipboard.
#include <QBuffer>
#include <QClipboard>
#include <QLabel>
#include <QMdiArea>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <memory>

#include "app/DocManagerEx.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "app/TXPhotoApp.h"
#include "app_test_helpers.h"
#include "docview/DocTemplate.h"
#include "docview/TXPhotoDoc.h"
#include "image/Dib.h"
#include "resources/Strings.h"
#include "resources/resource.h"

using Icons = QList<QMessageBox::Icon>;

namespace {

bool Convert(const QStringList& arguments) {
  QProcess process;
  process.start("convert", arguments);
  return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The 16.16 value of x that the Quality settings store for factor `quality`.
int32_t StoredQuality(int quality) {
  return int32_t(std::lround((1.0 + 49.0 * std::log(0.02 * quality) / std::log(0.02)) * 65536.0));
}

QString Text(int id, const QString& arg = {}) {
  return QString::asprintf(LoadStringResource(id).toUtf8().constData(), arg.toUtf8().constData());
}

// Top-down pixels, unpadded: R, G, B or grey.
QByteArray PixelsOf(CDib& dib) {
  dib.MakePixels();
  return QByteArray(reinterpret_cast<const char*>(dib.GetPixels()), qsizetype(dib.GetPixelBytes()));
}

QByteArray PixelsOf(const QImage& image) {
  const QImage rows = image.isGrayscale() ? image : image.convertToFormat(QImage::Format_RGB888);
  QByteArray pixels;
  for (int y = 0; y < rows.height(); ++y)
    pixels.append(reinterpret_cast<const char*>(rows.constScanLine(y)), rows.width() * rows.depth() / 8);
  return pixels;
}

}  // namespace

class DocumentTests : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  std::unique_ptr<CTXPhotoApp> m_app;

  QString path(const QString& name) const { return m_dir.filePath(name); }
  std::string localPath(const QString& name) const { return QFile::encodeName(path(name)).toStdString(); }
  CMainFrame* frame() const { return m_app->MainFrame(); }
  int windowCount() const { return frame()->MdiArea()->subWindowList().size(); }
  void copyFixture(const QString& from, const QString& to) { QVERIFY(QFile::copy(path(from), path(to))); }

private slots:
  void initTestCase() {
    OpenSettings().clear();
    const QString base = path("base.ppm");
    QVERIFY(Convert({"-size", "20x12", "gradient:red-blue", "-depth", "8", base}));
    for (const char* name : {"photo.bmp", "photo.tif", "photo.tiff", "photo.jpg", "photo.JPG", "photo.Jpeg",
                             "photo.gif", "photo.pgm", "photo.pnm", "photo.ppm", "photo.pcx"})
      QVERIFY2(Convert({base, "-depth", "8", path(name)}), name);
    CDib tvx;  // a grey .tvx from our own codec
    QCOMPARE(tvx.ReadPNM(localPath("photo.pgm")), DIB_OK);
    tvx.m_compressionParams.mode = TXmodeLossless;
    QCOMPARE(tvx.WriteTvx(localPath("photo.tvx"), nullptr), DIB_OK);
    for (const char* name : {"photo.TVX", "archive.tar.tvx", "bad.tvx"})
      copyFixture("photo.tvx", name);
    copyFixture("photo.bmp", "photo.xyz");
    copyFixture("photo.bmp", "image");
    QFile bad(path("bad.tvx"));
    QVERIFY(bad.open(QIODevice::ReadWrite) && bad.seek(20));
    QVERIFY(bad.write(QByteArray(1, char(bad.peek(1)[0] ^ 0x40))) == 1);  // a bit inside the header records

    CCommandLineInfo info;
    info.m_bNoSplash = info.m_bNewInstance = true;
    m_app = std::make_unique<CTXPhotoApp>();
    QVERIFY(m_app->InitInstance(info));
  }
  void cleanupTestCase() { m_app.reset(); }

  void opensEveryFormat_data() {
    QTest::addColumn<int>("format");
    const std::pair<const char*, DocFormat> rows[] = {
        {"photo.bmp", FormatBMP}, {"photo.tif", FormatTIFF}, {"photo.tiff", FormatTIFF}, {"photo.jpg", FormatJPEG},
        {"photo.JPG", FormatJPEG}, {"photo.Jpeg", FormatJPEG}, {"photo.gif", FormatGIF}, {"photo.ppm", FormatPNM},
        {"photo.pgm", FormatPNM}, {"photo.pnm", FormatPNM}, {"photo.pcx", FormatPCX}, {"photo.tvx", FormatTvx},
        {"photo.TVX", FormatTvx}, {"archive.tar.tvx", FormatTvx}};
    for (const auto& [name, format] : rows)
      QTest::newRow(name) << int(format);
  }
  void opensEveryFormat() {
    QFETCH(int, format);
    const QString name = QTest::currentDataTag();
    CMessageBoxRecorder boxes;
    frame()->SetMessageText("busy");
    CTXPhotoDoc doc;
    QVERIFY(doc.OnOpenDocument(path(name)));
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(doc.m_nFormat, format);
    // The base name ends at the first dot, the extension starts after the last.
    QCOMPARE((QStringList{doc.m_strFilePath, doc.m_strFileName, doc.GetTitle(), doc.m_strBaseName, doc.m_strExt}),
             (QStringList{path(name), name, name, name.section('.', 0, 0), name.section('.', -1)}));
    QVERIFY(!doc.IsModified());
    QCOMPARE(QSize(doc.m_pDib->GetSize().cx, doc.m_pDib->GetSize().cy), QSize(20, 12));
    QCOMPARE(doc.m_strInfoShort.isEmpty(), format != FormatTvx);
    QCOMPARE(frame()->StatusPane(0)->text(), QStringLiteral("Ready"));
    QVERIFY(!frame()->m_pProgressBar);
  }

  void failedLoadsExplainInOrder_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");  // "none": a fixture, or no file
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<Icons>("icons");
    const QString notHandled = Text(IDS_FORMAT_NOT_HANDLED);
    const Icons warnThenStop{QMessageBox::Warning, QMessageBox::Critical}, stop{QMessageBox::Critical};
    // A BMP header claiming 65535 x 65535 x 24 bit, and no pixels.
    const QByteArray bomb = QByteArray::fromHex("424d00000000000000003600000028000000ffff0000ffff0000010018") +
                            QByteArray(25, '\0');
    QTest::newRow("unknown extension") << "photo.xyz" << QByteArray("none")
                                       << QStringList{Text(IDS_FORMAT_NOT_HANDLED_EXT, "  *.xyz"), notHandled}
                                       << warnThenStop;
    QTest::newRow("no dot") << "image" << QByteArray("none")
                            << QStringList{Text(IDS_FORMAT_NOT_HANDLED_EXT, "  *."), notHandled} << warnThenStop;
    QTest::newRow("damaged") << "damaged.bmp" << QByteArray("not a bitmap")
                             << QStringList{Text(IDS_FILE_CORRUPTED, path("damaged.bmp"))} << stop;
    QTest::newRow("empty") << "empty.jpg" << QByteArray() << QStringList{Text(IDS_FILE_CORRUPTED, path("empty.jpg"))}
                           << stop;
    QTest::newRow("bomb") << "bomb-65535x65535.bmp" << bomb
                          << QStringList{"image too large: 65535 x 65535 exceeds the limit of 268435456 pixels"}
                          << stop;
    QTest::newRow("not a tvx: -4") << "text.tvx" << QByteArray("plain text") << QStringList{notHandled} << stop;
    QTest::newRow("damaged tvx") << "bad.tvx" << QByteArray("none")
                                 << QStringList{Text(IDS_FILE_CORRUPTED, path("bad.tvx"))} << stop;
    QTest::newRow("reader's message first") << "bad.pcx" << QByteArray("no PCX header")
                                            << QStringList{"PCX Dateiformat unbekannt", notHandled}
                                            << Icons{QMessageBox::NoIcon, QMessageBox::Critical};
    QTest::newRow("missing") << "missing.bmp" << QByteArray("none")
                             << QStringList{QString("Cannot open the file '%1'.").arg(path("missing.bmp"))} << stop;
  }
  void failedLoadsExplainInOrder() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, messages);
    QFETCH(Icons, icons);
    QFile file(path(name));
    QVERIFY(content == "none" || (file.open(QIODevice::WriteOnly) && file.write(content) == content.size()));
    file.close();
    const int windowsBefore = windowCount();
    CMessageBoxRecorder boxes;
    QVERIFY(!m_app->OpenDocumentFile(path(name)));
    QCOMPARE(boxes.texts, messages);
    QCOMPARE(boxes.icons, icons);
    QCOMPARE(windowCount(), windowsBefore);
    QCOMPARE(frame()->StatusPane(0)->text(), QStringLiteral("Ready"));
  }

  void imageThatCannotBeAllocatedIsRefused() {
    CMessageBoxRecorder boxes;
    CTXPhotoDoc doc;
    doc.m_pDib.reset();
    QVERIFY(!doc.OnOpenDocument(path("photo.bmp")));
    QCOMPARE(boxes.texts, QStringList{Text(IDS_FILE_CORRUPTED, path("photo.bmp"))});
  }

  void compressionSummary_data() {
    // width (height 512), bits, file size; mode, target, wavelet, codec (portion 90)
    QTest::addColumn<QList<int>>("image");
    QTest::addColumn<QString>("shortText");
    QTest::addColumn<QString>("longText");  // empty: not checked
    const int q30 = StoredQuality(30);
    QTest::newRow("quality example") << QList{512, 24, 26214, 1, q30, 0, 1}
                                     << "R = 30 : 1  Q = 30  C = 10  W = 9/7  SD"
                                     << "Compressed for Quality\nQuality Factor(Q): 30\nColor Portion (C): 10 % "
                                        "\nWavelet (W): 9/7 Filter\nCoding Layer: SD";
    QTest::newRow("file size FD") << QList{64, 24, 12288, 0, 0, 6, 2} << "R = 8 : 1  C = 10  W = 5/3  FD"
                                  << "Compressed for File Size\nFile Size (T): 12288 byte\nColor Portion (C): 10 % "
                                     "\nWavelet (W): 5/3 Filter\nCoding Layer: FD";
    QTest::newRow("quality FR") << QList{512, 24, 26214, 1, StoredQuality(50), 1, 0xC2}
                                << "R = 30 : 1  Q = 50  C = 10  W = 18/10  FR" << QString();
    QTest::newRow("quality FED") << QList{512, 24, 26214, 1, StoredQuality(1), 4, 2}
                                 << "R = 30 : 1  Q = 1  C = 10  W = 9/7 L  FED" << QString();
    QTest::newRow("lossless grey") << QList{512, 8, 131072, 2, 0, 3, 1} << "R = 2 : 1  LL  W = SP"
                                   << "Compressed Lossless (LL)\nWavelet (W): SP Transformation";
    QTest::newRow("grey quality") << QList{512, 8, 65536, 1, q30, 5, 0x81} << "R = 4 : 1  Q = 30  W = TS  S"
                                  << "Compressed for Quality\nQuality Factor(Q): 30\nWavelet (W): TS Transformation"
                                     "\nCoding Layer: S";
    // Rows longer than 65535 bytes still count in full.
    QTest::newRow("wide rows") << QList{30000, 24, 4608000, 2, 0, 2, 1} << "R = 10 : 1  LL  C = 10  W = Mixed"
                               << QString();
    QTest::newRow("no file size") << QList{512, 24, 0, 2, 0, 7, 1} << "R = 0 : 1  LL  C = 10  W" << QString();
  }
  void compressionSummary() {
    QFETCH(QList<int>, image);
    QFETCH(QString, shortText);
    QFETCH(QString, longText);
    CTXPhotoDoc doc;
    doc.m_pDib = std::make_unique<CDib>(image[0], 512, image[1]);
    QVERIFY(doc.m_pDib->ComputeLayout());
    doc.m_pDib->m_nFileSize = DWORD(image[2]);
    TXcompressionParams& p = doc.m_pDib->m_compressionParams;
    p.mode = uint16_t(image[3]);
    p.target = image[4];
    p.waveletType = uint16_t(image[5]);
    p.codecType = uint16_t(image[6]);
    p.portion = 90;
    doc.BuildCompressionInfo();
    QCOMPARE(doc.m_strInfoShort, shortText);
    if (!longText.isEmpty())
      QCOMPARE(doc.m_strInfoLong, longText);
  }

  void paste_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("grey");
    QTest::addColumn<QStringList>("messages");  // a document when there are none
    for (const char* kind : {"bmp file", "packed DIB", "image"})
      QTest::newRow(kind) << kind << false << QStringList();
    QTest::newRow("grey image") << "image" << true << QStringList();
    QTest::newRow("nothing") << "nothing" << false << QStringList();
    QTest::newRow("unreadable") << "unreadable" << false << QStringList{Text(IDS_PASTE_FAILED)};
  }
  void paste() {
    QFETCH(QString, kind);
    QFETCH(bool, grey);
    QFETCH(QStringList, messages);
    QImage image(13, 7, QImage::Format_RGB888);
    for (int i = 0; i < 13 * 7; ++i)
      image.setPixelColor(i % 13, i / 13, QColor(i * 19 & 255, i * 5, i * 47 & 255));
    if (grey)
      image = image.convertToFormat(QImage::Format_Grayscale8);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "BMP"));
    auto* data = new QMimeData;
    if (kind == "image")
      data->setImageData(image);
    else if (kind != "nothing")
      data->setData("image/bmp", kind == "bmp file" ? bmp : kind == "packed DIB" ? bmp.mid(14) : "BM, no more");
    QGuiApplication::clipboard()->setMimeData(data);

    CMessageBoxRecorder boxes;
    const int windowsBefore = windowCount();
    CTXPhotoDoc* doc = m_app->DocManager()->FirstTemplate()->OpenClipboardDocument(frame());
    QCOMPARE(boxes.texts, messages);
    const bool expected = messages.isEmpty() && kind != "nothing";
    QCOMPARE(windowCount(), windowsBefore + (expected ? 1 : 0));
    QCOMPARE(doc != nullptr, expected);
    if (!doc)
      return;
    QCOMPARE((QStringList{doc->GetTitle(), doc->m_strFileName, doc->m_strBaseName, doc->m_strExt}),
             (QStringList{"Clipboard", "Clipboard", "Clipboard", ".*"}));
    QCOMPARE(doc->m_nFormat, int(FormatClipboard));
    QVERIFY(!doc->IsModified());
    QCOMPARE(doc->m_pDib->m_nColorType, grey ? int(DibGrey) : int(DibRGB));
    QCOMPARE(PixelsOf(*doc->m_pDib), PixelsOf(image));
    frame()->MdiArea()->closeAllSubWindows();
  }
};

QTEST_MAIN(DocumentTests)
#include "document_tests.moc"
