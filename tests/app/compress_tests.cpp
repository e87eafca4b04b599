// The compress commands as a user meets them: the size gate, lossless only
// for grey images, the name the .tvx is saved under, the check marks of a
// reopened .tvx, "Open after saving", and a whole round from a photograph
// to reopened files in both lossy modes.
#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/FileDialogEx.h"
#include "app/MainFrame.h"
#include "app/TXPhotoApp.h"
#include "app_test_helpers.h"
#include "compression/CompressionSettings.h"
#include "compression/FileSizeDlg.h"
#include "compression/QualityDlg.h"
#include "docview/ChildFrame.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "image/Dib.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

const char kPhoto[] = TAVIX_SOURCE_DIR "/samples/chelsea.ppm";

// The save dialog: checks the offered name, then saves as `path` (empty: cancel).
void AnswerSaveDialog(const QString& path, QString* offered = nullptr) {
  AnswerModal<CFileDialogEx>([path, offered](CFileDialogEx* dialog) {
    if (offered)
      *offered = dialog->FileNameField()->text();
    if (path.isEmpty())
      return dialog->reject();
    dialog->FileNameField()->setText(path);
    QTest::keyClick(dialog->FileNameField(), Qt::Key_Return);
  });
}

// Types `text` into the edit `name` and leaves it, sets "Open after
// saving" and presses "Save". A dialog without these controls is cancelled.
void FillAndSave(QDialog* dialog, const char* name, const QString& text, bool openAfterSaving) {
  auto* edit = dialog->findChild<QLineEdit*>(name);
  auto* open = dialog->findChild<QCheckBox*>("IDC_OPEN_AFTER_SAVING");
  auto* save = dialog->findChild<QPushButton*>("IDOK");
  if (!QTest::qWaitForWindowActive(dialog) || !edit || !open || !save) {
    qWarning() << "settings dialog without its controls";
    return dialog->reject();
  }
  edit->setFocus();
  edit->setText(text);
  save->setFocus();  // leaving the edit
  open->setChecked(openAfterSaving);
  save->click();
}

// Rejects every dialog that comes up while it lives and counts them.
class CDialogRefuser : public QObject {
public:
  CDialogRefuser() {
    connect(&m_timer, &QTimer::timeout, this, [this] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
          dialog && !qobject_cast<QMessageBox*>(dialog)) {
        ++count;
        dialog->reject();
      }
    });
    m_timer.start(10);
  }
  int count = 0;

private:
  QTimer m_timer;
};

// `image` in a file the application reads (.ppm colour, .pgm grey).
QString Save(const QImage& image, const QString& path) { return image.save(path) ? path : QString(); }

QImage Photo(bool grey) {
  const QImage photo(QString::fromLatin1(kPhoto));
  return grey ? photo.convertToFormat(QImage::Format_Grayscale8) : photo;
}

CCmdUI StateOf(CTXPhotoView* view, int id) {
  CCmdUI ui(id);
  view->OnUpdateCommand(ui);
  return ui;
}

QString Pane(CTXPhotoView* view, int index) { return view->ParentFrame()->StatusPane(index)->text(); }

QString Ratio(qint64 rawBytes, qint64 fileBytes) { return QString::asprintf("%.0f", double(rawBytes) / fileBytes); }

}  // namespace

class CompressTests : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  std::unique_ptr<CTXPhotoApp> m_app;

  CTXPhotoView* open(const QString& path) {
    CMessageBoxRecorder boxes;
    if (path.isEmpty() || !m_app->OpenDocumentFile(path) || !boxes.texts.isEmpty()) {
      qWarning() << "cannot open" << path << boxes.texts;
      return nullptr;
    }
    return m_app->MainFrame()->ActiveView();
  }
  int windows() const { return int(m_app->MainFrame()->MdiArea()->subWindowList().size()); }
  QString file(const QString& name) const { return m_dir.filePath(name); }

private slots:
  void init() {
    m_app = std::make_unique<CTXPhotoApp>();
    CCommandLineInfo info;
    info.m_bNoSplash = info.m_bNewInstance = true;
    QVERIFY(m_app->InitInstance(info));
  }
  void cleanup() {
    ++g_nTestNumber;
    m_app->MainFrame()->MdiArea()->closeAllSubWindows();
    m_app.reset();
  }

  void refusedBelowMinimumSize_data() {
    QTest::addColumn<int>("command");
    QTest::newRow("file size") << ID_COMPRESS_FILESIZE;
    QTest::newRow("quality") << ID_COMPRESS_QUALITY;
    QTest::newRow("lossless") << ID_COMPRESS_LOSSLESS;
    QTest::newRow("toolbar") << ID_COMPRESS;
  }
  void refusedBelowMinimumSize() {
    QFETCH(int, command);
    QImage narrow(31, 500, QImage::Format_Grayscale8);
    narrow.fill(90);
    CTXPhotoView* view = open(Save(narrow, file("narrow.pgm")));
    QVERIFY(view);
    m_app->MainFrame()->SetCompressionMode(CompressLossless);
    CMessageBoxRecorder boxes;
    CDialogRefuser dialogs;
    QVERIFY(view->OnCommand(command));
    QCOMPARE(boxes.texts, QStringList{LoadStringResource(IDS_MIN_IMAGE_SIZE)});
    QCOMPARE(dialogs.count, 0);
    QVERIFY(QDir(m_dir.path()).entryList({"*.tvx"}).isEmpty());
  }

  // Lossless is offered for grey images only; the toolbar's lossless mode
  // on a colour image explains why instead of opening the save dialog.
  void losslessOnlyForGrey_data() {
    QTest::addColumn<bool>("grey");
    QTest::newRow("colour") << false;
    QTest::newRow("grey") << true;
  }
  void losslessOnlyForGrey() {
    QFETCH(bool, grey);
    CTXPhotoView* view = open(Save(Photo(grey), file(grey ? "photo.pgm" : "photo.ppm")));
    QVERIFY(view);
    QCOMPARE(StateOf(view, ID_COMPRESS_LOSSLESS).m_bEnabled, grey);
    QVERIFY(StateOf(view, ID_COMPRESS_FILESIZE).m_bEnabled && StateOf(view, ID_COMPRESS).m_bEnabled);
    m_app->MainFrame()->SetCompressionMode(CompressLossless);
    CMessageBoxRecorder boxes;
    CDialogRefuser dialogs;
    view->OnCompress();
    QCOMPARE(boxes.texts, grey ? QStringList() : QStringList{LoadStringResource(IDS_LOSSLESS_GREY_ONLY)});
    QCOMPARE(boxes.icons, QList<QMessageBox::Icon>(boxes.texts.size(), QMessageBox::Warning));
    QCOMPARE(dialogs.count, grey ? 1 : 0);
  }

  // The file name is cut before its first dot; the folders keep theirs.
  void savedUnderCutName_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("dotted folder") << "out.backup/img.new" << "out.backup/img.tvx";
    QTest::newRow("several dots") << "shot.final.png" << "shot.tvx";
    QTest::newRow("no dot") << "img" << "img.tvx";
    QTest::newRow("already .tvx") << "img.tvx" << "img.tvx";
  }
  void savedUnderCutName() {
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    CTXPhotoView* view = open(Save(Photo(true), file("grey.photo.pgm")));
    QVERIFY(view);
    const QDir folder(file(QTest::currentDataTag()));
    QVERIFY(folder.mkpath("out.backup"));
    CMessageBoxRecorder boxes;
    QString offered;
    AnswerSaveDialog(folder.filePath(chosen), &offered);
    view->OnCompressLossless();

    QCOMPARE(offered, QStringLiteral("grey.tvx"));
    QVERIFY(boxes.texts.isEmpty());
    QCOMPARE(view->m_nLastResult, 0);
    QCOMPARE(view->GetDocument()->m_strSavedPath, folder.filePath(written));
    QVERIFY(QFileInfo(folder.filePath(written)).size() > 0);
    const QStringList files =
        folder.entryList(QDir::Files) + QDir(folder.filePath("out.backup")).entryList(QDir::Files);
    QCOMPARE(files, QStringList{QFileInfo(written).fileName()});
    QCOMPARE(m_app->MainFrame()->m_pProgressBar, nullptr);
    QCOMPARE(m_app->MainFrame()->StatusPane(0)->text(), LoadStringResource(AFX_IDS_IDLEMESSAGE));
  }

  // A reopened .tvx checks the command of the mode it was made with.
  void checkMarksFollowSourceMode_data() {
    QTest::addColumn<int>("mode");  // -1: not a .tvx file
    QTest::addColumn<int>("checked");
    QTest::newRow("BMP source") << -1 << 0;
    QTest::newRow("file size") << int(TXmodeFileSize) << ID_COMPRESS_FILESIZE;
    QTest::newRow("quality") << int(TXmodeQuality) << ID_COMPRESS_QUALITY;
    QTest::newRow("lossless") << int(TXmodeLossless) << ID_COMPRESS_LOSSLESS;
  }
  void checkMarksFollowSourceMode() {
    QFETCH(int, mode);
    QFETCH(int, checked);
    const bool grey = mode == TXmodeLossless;
    QString path = Save(Photo(grey), file(grey ? "source.pgm" : "source.ppm"));
    if (mode >= 0) {
      CDib dib;
      QCOMPARE(dib.ReadPNM(QFile::encodeName(path).toStdString()), DIB_OK);
      TXcompressionParams& params = dib.m_compressionParams;
      params.mode = uint16_t(mode);
      params.target = mode == TXmodeFileSize ? 6000 : mode == TXmodeQuality ? int32_t(QualityToTarget(40)) : 0;
      params.sizeMode = mode == TXmodeFileSize ? 1 : 0;
      if (grey)
        params.waveletType = 3, params.portion = 90;
      path = file("source.tvx");
      QCOMPARE(dib.WriteTvx(QFile::encodeName(path).toStdString(), nullptr), DIB_OK);
    } else {
      path = Save(Photo(false), file("source.bmp"));
    }
    CTXPhotoView* view = open(path);
    QVERIFY(view);
    for (const int id : {ID_COMPRESS_FILESIZE, ID_COMPRESS_QUALITY, ID_COMPRESS_LOSSLESS}) {
      const CCmdUI ui = StateOf(view, id);
      QVERIFY(ui.m_bCheckable);
      QCOMPARE(ui.m_bChecked, id == checked);
    }
  }

  // "Open after saving" opens the written file in a window of its own,
  // even after a failed write (the opening then reports the failure);
  // lossless never opens.
  void openAfterSaving_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("blocked");  // a folder stands where the file goes
    QTest::addColumn<int>("windowsAfter");
    QTest::newRow("file size") << ID_COMPRESS_FILESIZE << false << 2;
    QTest::newRow("quality") << ID_COMPRESS_QUALITY << false << 2;
    QTest::newRow("lossless") << ID_COMPRESS_LOSSLESS << false << 1;
    QTest::newRow("quality, write fails") << ID_COMPRESS_QUALITY << true << 1;
  }
  void openAfterSaving() {
    QFETCH(int, command);
    QFETCH(bool, blocked);
    QFETCH(int, windowsAfter);
    const bool grey = command == ID_COMPRESS_LOSSLESS;
    CTXPhotoView* view = open(Save(Photo(grey), file(grey ? "kept.pgm" : "kept.ppm")));
    QVERIFY(view);
    const QString target = file(QStringLiteral("%1.tvx").arg(QTest::currentDataTag()));
    if (blocked)
      QVERIFY(QDir().mkpath(target));
    if (grey)  // whatever the dialogs hold
      view->m_dlgFileSize->m_bOpenAfterSaving = view->m_dlgQuality->m_bOpenAfterSaving = 1;
    AnswerModal<CFileSizeDlg>([](CFileSizeDlg* dialog) { FillAndSave(dialog, "IDC_FILESIZE_RATIO", "40", true); });
    AnswerModal<CQualityDlg>([](CQualityDlg* dialog) { FillAndSave(dialog, "IDC_QUALITY_FACTOR", "40", true); });
    AnswerSaveDialog(file(QStringLiteral("%1.new").arg(QTest::currentDataTag())));
    CMessageBoxRecorder boxes;
    QVERIFY(view->OnCommand(command));

    QCOMPARE(view->m_nLastResult != 0, blocked);
    if (blocked) {
      QCOMPARE(boxes.texts.value(0),
               LoadStringResource(IDS_COMPRESS_FAILED).replace("%d", QString::number(view->m_nLastResult)));
      QTRY_VERIFY(boxes.texts.size() >= 2);  // then the opening's own message
    }
    QTRY_COMPARE(windows(), windowsAfter);
    QTest::qWait(50);
    QCOMPARE(windows(), windowsAfter);
    if (windowsAfter == 2) {
      const CTXPhotoDoc* reopened = m_app->MainFrame()->ActiveView()->GetDocument();
      QCOMPARE(reopened->GetPathName(), target);
      QCOMPARE(reopened->m_nFormat, int(FormatTvx));
    }
  }

  // A photograph compressed for a file size at ratio 40 and for quality 40,
  // both reopened: the document status bars describe how each was made and
  // the file-size result lands just below its target.
  void photographRoundTrip() {
    CTXPhotoView* view = open(QString::fromLatin1(kPhoto));
    QVERIFY(view);
    const qint64 raw = 300 * 200 * 3;
    CMessageBoxRecorder boxes;
    AnswerModal<CFileSizeDlg>([](CFileSizeDlg* dialog) { FillAndSave(dialog, "IDC_FILESIZE_RATIO", "40", false); });
    AnswerSaveDialog(file("size.new"));
    view->OnCompressFileSize();
    QCOMPARE(view->m_nLastResult, 0);
    const qint64 target = view->m_dlgFileSize->m_nFileSize;
    QCOMPARE(target, raw / 40);
    const qint64 sizeBytes = QFileInfo(file("size.tvx")).size();
    QVERIFY2(sizeBytes <= target && sizeBytes >= target * 0.995, qPrintable(QString::number(sizeBytes)));

    AnswerModal<CQualityDlg>([](CQualityDlg* dialog) { FillAndSave(dialog, "IDC_QUALITY_FACTOR", "40", false); });
    AnswerSaveDialog(file("quality"));
    view->OnCompressQuality();
    QCOMPARE(view->m_nLastResult, 0);
    const qint64 qualityBytes = QFileInfo(file("quality.tvx")).size();
    QVERIFY(qualityBytes > 0);
    QVERIFY(boxes.texts.isEmpty());

    const QStringList expected = {
        "R = " + Ratio(raw, sizeBytes) + " : 1  C = 10  W = 9/7  SD",
        "R = " + Ratio(raw, qualityBytes) + " : 1  Q = 40  C = 10  W = 9/7  SD"};
    QCOMPARE(expected[0], QStringLiteral("R = 40 : 1  C = 10  W = 9/7  SD"));
    const QStringList names = {"size.tvx", "quality.tvx"};
    for (int i = 0; i < names.size(); ++i) {
      CTXPhotoView* reopened = open(file(names[i]));
      QVERIFY(reopened);
      QCOMPARE(Pane(reopened, 1), QStringLiteral("TAVIX"));
      QCOMPARE(Pane(reopened, 2), Pane(view, 2));
      QCOMPARE(Pane(reopened, 4), expected[i]);
    }
  }
};

QTEST_MAIN(CompressTests)
#include "compress_tests.moc"
