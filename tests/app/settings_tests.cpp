// The compression settings: the quality scales, the filter rows, the linked
// file size / ratio / bits-per-pixel rules, the settings a view takes from
// its image, the codec records built from them, and the File Size dialog.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/PrivateMessages.h"
#include "app/TXPhotoApp.h"
#include "app_test_helpers.h"
#include "compression/ColumnComboBox.h"
#include "compression/CompressionSettings.h"
#include "compression/FileSizeDlg.h"
#include "compression/QualityDlg.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "image/Dib.h"
#include "resources/resource.h"

namespace {

std::unique_ptr<CDib> MakeDib(int size, bool grey) {
  auto dib = std::make_unique<CDib>();
  dib->m_nColorType = grey ? DibGrey : DibRGB;
  dib->m_nPlanes = grey ? 1 : 3;
  dib->m_nBitsPerPlane = 8;
  const size_t bytes = size_t(size) * size * dib->PixelBytesPerPixel();
  dib->AllocPixelBuffer(bytes);
  for (size_t i = 0; i < bytes; ++i)
    dib->GetPixels()[i] = BYTE((i * 7 + i / 97) & 0xFF);
  dib->CreateFromPixels(size, size, dib->PixelBytesPerPixel() * 8);
  dib->FreePixels();
  return dib;
}

// A view over `doc`, initialised as when it is first shown.
std::unique_ptr<CTXPhotoView> ViewOf(CTXPhotoDoc& doc) {
  auto view = std::make_unique<CTXPhotoView>(&doc);
  view->OnInitialUpdate();
  view->InitCompressionSettings();
  return view;
}

// Runs `steps` inside the dialog's modal loop.
int RunDialog(CFileSizeDlg& dlg, const std::function<void()>& steps) {
  QTimer::singleShot(0, &dlg, steps);
  return dlg.DoModal();
}

template <class T>
T* Child(QWidget& dlg, const char* symbol) {
  return dlg.findChild<T*>(QString::fromLatin1(symbol));
}

void TypeAndLeave(QLineEdit* edit, const QString& keys) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, keys);
  emit edit->editingFinished();
}

}  // namespace

class SettingsTests : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  std::unique_ptr<CTXPhotoApp> m_app;

private slots:
  void initTestCase() {
    CCommandLineInfo info;
    info.m_bNoSplash = info.m_bNewInstance = true;
    m_app = std::make_unique<CTXPhotoApp>();
    QVERIFY(m_app->InitInstance(info));
  }
  void cleanupTestCase() { m_app.reset(); }

  void qualityScales() {
    QCOMPARE(QualityToTarget(50), 65536L);
    QCOMPARE(QualityToTarget(40), 248707L);
    QCOMPARE(QualityToTarget(10), 1386675L);
    QCOMPARE(QualityToTarget(1), 3276800L);
    QCOMPARE(TargetToQuality(248707), 40);
    QCOMPARE(TargetToQuality(65536), 50);
    QCOMPARE(TargetToQuality(3276800), 1);
    QCOMPARE(QuantizerPreviewValue(50), 131072L);
    QCOMPARE(QuantizerPreviewValue(40), 349144L);
    QCOMPARE(QuantizerPreviewValue(1), 3954195L);
  }

  void filterRows() {
    // choice -> wavelet, codec, forced; -1 = untouched
    const int rows[][4] = {{0, 6, 2, 0},     {10, 6, 2, 0},   {11, 6, 0x42, 0}, {1, 0, 1, 1},  {12, 0, 1, 1},
                           {2, 0, 2, 0},     {13, 0, 2, 0},   {14, 0, 0x42, 0}, {3, 1, 1, 1},  {15, 1, 1, 1},
                           {4, 2, 1, 1},     {16, 2, 1, 1},   {5, -1, -1, 0},   {9, -1, -1, 0}, {17, -1, -1, 0},
                           {-1, -1, -1, 0}};
    for (const auto& row : rows) {
      int wavelet = -1, codec = -1;
      MapFilterChoice(row[0], wavelet, codec);
      QCOMPARE((QList<int>{wavelet, codec, FilterChoiceForcesDownsampling(row[0])}),
               (QList<int>{row[1], row[2], row[3]}));
    }
  }

  void linkedValues_data() {
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QList<double>>("in");   // value, N, B
    QTest::addColumn<QList<double>>("out");  // file size, ratio, bits per pixel, slider position
    auto row = [](const char* name, const char* rule, QList<double> in, QList<double> out) {
      QTest::newRow(name) << QString(rule) << in << out;
    };
    const double colour = 786432, grey = 262144;  // 512 x 512
    row("typed 30000", "size", {30000, colour, 24}, {30000, 26.21, 0.92, 162});
    row("size above N/2", "size", {400000, colour, 24}, {393216, 2, 12, 45});
    row("size below N/200", "size", {1000, colour, 24}, {3932, 200, 0.12, 447});
    row("size 0", "size", {0, colour, 24}, {3932, 200, 0.12, 447});
    row("tiny image, size 10", "size", {10, 1024, 8}, {32, 32, 0.25, 179});
    row("100 N past 32 bits", "size", {1e8, 2e9, 24}, {1e8, 20, 1.2, 141});
    row("ratio 26", "ratio", {26, colour, 24}, {30247, 26, 0.92, 161});
    row("ratio 500", "ratio", {500, grey, 8}, {1310, 200, 0.04, 447});
    row("ratio 1", "ratio", {1, grey, 8}, {131072, 2, 4, 45});
    row("bpp 30", "bpp", {30, colour, 24}, {393216, 2, 12, 45});
    row("bpp 0", "bpp", {0, colour, 24}, {3932, 200, 0.12, 447});
    row("bpp 1 grey", "bpp", {1, grey, 8}, {32768, 8, 1, 89});
    row("slider 45", "slider", {45, colour, 24}, {393216, 2, 12, 45});
    row("slider 141", "slider", {141, colour, 24}, {39321, 20, 1.2, 141});
    row("slider 200", "slider", {200, colour, 24}, {19660, 40, 0.6, 200});
    row("slider 447", "slider", {447, colour, 24}, {3932, 200, 0.12, 447});
    row("slider on a tiny image", "slider", {447, 1024, 8}, {32, 200, 0.04, 447});
  }
  void linkedValues() {
    QFETCH(QString, rule);
    QFETCH(QList<double>, in);
    QFETCH(QList<double>, out);
    const auto raw = uint64_t(in[1]);
    const int bits = int(in[2]);
    FileSizeValues v;
    if (rule == "size")
      v = FromFileSize(uint32_t(in[0]), raw, bits);
    else if (rule == "ratio")
      v = FromRatio(in[0], raw, bits);
    else if (rule == "bpp")
      v = FromBitsPerPixel(in[0], raw, bits);
    else
      v = FromRatioSlider(int(in[0]), raw, bits);
    QCOMPARE((QList<double>{double(v.fileSize), v.ratio, v.bitsPerPixel, double(RatioSliderPosition(v.ratio))}), out);
  }

  void settingsFromSources_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<QList<int>>("file");  // size, grey, mode, wavelet, codec (portion 75)
    QTest::addColumn<int>("sourceMode");
    // file size (-1: the compressed size), ratio (-1: N / size), bits per pixel, row, portion, downsampling
    QTest::addColumn<QList<double>>("fileSizeDlg");
    QTest::addColumn<QList<double>>("qualityDlg");  // Q, row, portion, downsampling
    QTest::addColumn<QString>("filter");
    const QString f97 = "9/7 Tap Filter", f53 = "5/3 Tap Filter";
    const QList<double> q = {40, 12, 10, 1}, c64 = {307, 40, 0.6, 1, 10, 1};
    auto row = [](const char* name, int format, QList<int> file, int source, QList<double> f, QList<double> q,
                  QString filter) { QTest::newRow(name) << format << file << source << f << q << filter; };
    row("bmp colour", FormatBMP, {512, 0}, CompressNone, {19660, 40, 0.6, 1, 10, 1}, q, f97);
    row("bmp grey", FormatBMP, {512, 1}, CompressNone, {13107, 20, 0.4, 1, 10, 1}, q, f97);
    row("size 9/7 SE", FormatTvx, {64, 0, 0, 0, 0x01}, CompressFileSize, {-1, -1, -1, 1, 25, 1}, q, f97);
    row("size 9/7 FE off", FormatTvx, {64, 0, 0, 0, 0x82}, CompressFileSize, {-1, -1, -1, 2, 25, 0}, q, f97);
    row("size 18/10", FormatTvx, {64, 0, 0, 1, 0x01}, CompressFileSize, {-1, -1, -1, 3, 25, 1}, q, f97);
    row("size mixed", FormatTvx, {64, 0, 0, 2, 0x01}, CompressFileSize, {-1, -1, -1, 4, 25, 1}, q, f97);
    row("size 5/3", FormatTvx, {64, 0, 0, 6, 0x02}, CompressFileSize, {-1, -1, -1, 0, 25, 1}, q, f97);
    row("quality 9/7 SE", FormatTvx, {64, 0, 1, 0, 0x01}, CompressQuality, c64, {30, 12, 25, 1}, f97);
    row("quality 9/7 FE", FormatTvx, {64, 0, 1, 0, 0x02}, CompressQuality, c64, {30, 13, 25, 1}, f97);
    row("quality 9/7 FR off", FormatTvx, {64, 0, 1, 0, 0xC2}, CompressQuality, c64, {30, 14, 25, 0}, f97);
    row("quality 18/10", FormatTvx, {64, 0, 1, 1, 0x01}, CompressQuality, c64, {30, 15, 25, 1}, "18/10 Tap Filter");
    row("quality mixed", FormatTvx, {64, 0, 1, 2, 0x01}, CompressQuality, c64, {30, 16, 25, 1}, "Mixed Filter");
    row("quality 5/3 FE", FormatTvx, {64, 0, 1, 6, 0x02}, CompressQuality, c64, {30, 10, 25, 1}, f53);
    row("quality 5/3 FR", FormatTvx, {64, 0, 1, 6, 0x42}, CompressQuality, c64, {30, 11, 25, 1}, f53);
    // N / 20 = 204.8: lossless sources keep at least 32 bytes, not 1
    row("lossless", FormatTvx, {64, 1, 2, 3, 0x01}, CompressLossless, {204, 20, 0.4, 1, 10, 1}, q, f97);
  }
  void settingsFromSources() {
    QFETCH(int, format);
    QFETCH(QList<int>, file);
    QFETCH(int, sourceMode);
    QFETCH(QList<double>, fileSizeDlg);
    QFETCH(QList<double>, qualityDlg);
    QFETCH(QString, filter);
    std::unique_ptr<CDib> image = MakeDib(file[0], file[1]);
    CTXPhotoDoc doc;
    if (format == FormatTvx) {
      TXcompressionParams& p = image->m_compressionParams;
      p.mode = uint16_t(file[2]);
      p.waveletType = uint16_t(file[3]);
      p.codecType = uint16_t(file[4]);
      p.portion = 75;
      p.target = p.mode == TXmodeQuality ? int32_t(QualityToTarget(30)) : 1500;
      p.sizeMode = p.mode == TXmodeFileSize;
      const QString path = m_dir.filePath(QString("%1.tvx").arg(QTest::currentDataTag()).replace('/', '-'));
      QCOMPARE(image->WriteTvx(QFile::encodeName(path).toStdString(), nullptr), DIB_OK);
      QVERIFY(doc.OnOpenDocument(path));
    } else {
      doc.m_pDib = std::move(image);
      doc.m_nFormat = format;
    }
    auto view = ViewOf(doc);
    const CFileSizeDlg& f = *view->m_dlgFileSize;
    const CQualityDlg& q = *view->m_dlgQuality;
    QCOMPARE(view->m_nSourceMode, sourceMode);
    if (fileSizeDlg[0] < 0) {  // file size mode: ratio and bits per pixel follow the file's size
      const FileSizeValues v = FromFileSize(doc.GetDib()->m_nCompressedSize, f.m_nRawSize, 24);
      QVERIFY(v.ratio > 2 && v.ratio < 200 && v.fileSize == doc.GetDib()->m_nCompressedSize);
      fileSizeDlg.replace(0, v.fileSize);
      fileSizeDlg.replace(1, v.ratio);
      fileSizeDlg.replace(2, v.bitsPerPixel);
    }
    QCOMPARE((QList<double>{double(f.m_nFileSize), f.m_dRatio, f.m_dBitsPerPixel, double(f.m_nFilterChoice),
                            double(f.m_nColorPortion), double(f.m_bColorDownsampling)}),
             fileSizeDlg);
    QCOMPARE((QList<double>{q.m_dQuality, double(q.m_nFilterChoice), double(q.m_nColorPortion),
                            double(q.m_bColorDownsampling)}),
             qualityDlg);
    QCOMPARE(q.m_strFilter, filter);
  }

  void buildCompressionParams_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("downsampling");
    QTest::addColumn<QList<int>>("expected");  // ok, wavelet, codec, portion, mode, target, sizeMode, auxLong
    QTest::newRow("file size") << int(CompressFileSize) << 2 << false
                               << QList<int>{1, 0, 0x82, 75, 0, 30000, 1, 0};
    QTest::newRow("quality") << int(CompressQuality) << 11 << true
                             << QList<int>{1, 6, 0x42, 75, 1, 248707, 0, 4000};
    QTest::newRow("lossless ignores the dialogs") << int(CompressLossless) << 7 << false
                                                  << QList<int>{1, 3, 1, 90, 2, 0, 0, 4000};
    QTest::newRow("row without wavelet") << int(CompressQuality) << 7 << true
                                         << QList<int>{0, 9, 9, 9, 9, 9, 9, 9};
  }
  void buildCompressionParams() {
    QFETCH(int, mode);
    QFETCH(int, row);
    QFETCH(bool, downsampling);
    QFETCH(QList<int>, expected);
    CTXPhotoDoc doc;
    doc.m_pDib = MakeDib(64, false);
    auto view = ViewOf(doc);
    TXcompressionParams& p = doc.GetDib()->m_compressionParams;
    p = TXcompressionParams{7, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    view->m_dlgFileSize->m_nFilterChoice = view->m_dlgQuality->m_nFilterChoice = row;
    view->m_dlgFileSize->m_bColorDownsampling = view->m_dlgQuality->m_bColorDownsampling = downsampling;
    view->m_dlgFileSize->m_nColorPortion = view->m_dlgQuality->m_nColorPortion = 25;
    view->m_dlgFileSize->m_nFileSize = 30000;
    view->m_nCompressionMode = mode;
    const bool ok = view->BuildCompressionParams();
    QCOMPARE((QList<int>{ok, p.waveletType, p.codecType, p.portion, p.mode, p.target, p.sizeMode, p.auxLong}),
             expected);
    QCOMPARE(p.auxWord1, uint16_t(7));
    if (ok) {
      const TXimageParams& i = doc.GetDib()->m_imageParams;
      QCOMPARE((QList<int>{i.width, i.height, i.colorType, p.auxWord2, p.auxWord3}), (QList<int>{64, 64, 2, 2, 0}));
    }
  }

  void downsamplingFollowsTheRow() {
    CFileSizeDlg dlg;
    dlg.m_nImageBits = 8;
    dlg.m_nRawSize = 262144;  // 512 x 512 grey
    dlg.m_nFileSize = 13107;
    dlg.m_dRatio = 20;
    dlg.m_dBitsPerPixel = 0.4;
    QList<int> seen;  // (checked, enabled) after each step
    const int result = RunDialog(dlg, [&] {
      auto* box = Child<QCheckBox>(dlg, "IDC_FILESIZE_DOWNSAMPLING");
      auto* combo = Child<CColumnComboBox>(dlg, "IDC_FILESIZE_FILTER");
      auto choose = [&](int row) {
        combo->setCurrentIndex(row);
        emit combo->activated(row);
        seen << box->isChecked() << box->isEnabled();
      };
      seen << box->isChecked() << box->isEnabled();  // row 1 forces it
      choose(2);
      box->setChecked(false);
      choose(3);
      choose(0);
      seen << Child<QLineEdit>(dlg, "IDC_FILESIZE_COLOR_PORTION")->isEnabled()
           << Child<QSlider>(dlg, "IDC_FILESIZE_COLOR_SLIDER")->isEnabled();
      Child<QPushButton>(dlg, "IDCANCEL")->click();
    });
    QCOMPARE(result, IDCANCEL);
    QCOMPARE(seen, (QList<int>{1, 0, 1, 1, 1, 0, 0, 1, 0, 0}));
    QCOMPARE(dlg.m_nFilterChoice, 1);  // "Cancel" keeps the old row
    QCOMPARE(dlg.m_bUserDownsampling, 0);
  }

  void fileSizeDialogLinksItsEdits_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("previewEvents");
    QTest::newRow("Save") << "IDOK" << int(IDOK) << 2 << 0;
    QTest::newRow("Preview") << "IDC_FILESIZE_PREVIEW" << int(IDCANCEL) << 2 << 1;
    QTest::newRow("Cancel") << "IDCANCEL" << int(IDCANCEL) << 1 << 0;
  }
  void fileSizeDialogLinksItsEdits() {
    QFETCH(QString, button);
    QFETCH(int, result);
    QFETCH(int, row);
    QFETCH(int, previewEvents);
    CTXPhotoDoc doc;
    doc.m_pDib = MakeDib(512, false);
    auto view = ViewOf(doc);
    int posted = 0;
    struct Counter : QObject {
      int& count;
      explicit Counter(int& c) : count(c) {}
      bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == kShowPreviewEvent) {
          ++count;
          return true;
        }
        return false;
      }
    } counter(posted);
    view->installEventFilter(&counter);
    CFileSizeDlg& dlg = *view->m_dlgFileSize;
    QStringList shown;
    CMessageBoxRecorder boxes;
    const int answer = RunDialog(dlg, [&] {
      auto* size = Child<QLineEdit>(dlg, "IDC_FILESIZE_BYTES");
      auto* ratio = Child<QLineEdit>(dlg, "IDC_FILESIZE_RATIO");
      auto* bpp = Child<QLineEdit>(dlg, "IDC_FILESIZE_BITS_PER_PIXEL");
      auto* slider = Child<QSlider>(dlg, "IDC_FILESIZE_COMPRESSION_SLIDER");
      auto snapshot = [&] {
        shown << size->text() << ratio->text() << bpp->text() << QString::number(slider->value());
      };
      snapshot();
      TypeAndLeave(size, "30a000");  // the letter is refused
      snapshot();
      if (button == "IDOK")
        QVERIFY(dlg.grab().save(ScreenshotFolder() + "/file-size-dialog.png"));
      TypeAndLeave(bpp, "30");
      snapshot();
      Child<CColumnComboBox>(dlg, "IDC_FILESIZE_FILTER")->setCurrentIndex(2);
      Child<QPushButton>(dlg, button.toLatin1().constData())->click();
    });
    QCoreApplication::processEvents();
    QCOMPARE(answer, result);
    QCOMPARE(shown, (QStringList{"19660", "40", "0.6", "200", "30000", "26.21", "0.92", "162", "393216", "2", "12",
                                 "45"}));
    QCOMPARE(boxes.texts, QStringList{"Please enter a number between 0 and 24."});
    // Members written by the handlers stay, whatever closed the dialog.
    QCOMPARE((QList<double>{double(dlg.m_nFileSize), dlg.m_dRatio, dlg.m_dBitsPerPixel}),
             (QList<double>{393216, 2, 12}));
    QCOMPARE(dlg.m_nFilterChoice, row);
    QCOMPARE(posted, previewEvents);
  }
};

QTEST_MAIN(SettingsTests)
#include "settings_tests.moc"
