// The program's file dialog: the name follows the picked type, and the type
// list shows the texts as written while Qt filters by their patterns.
#include <QComboBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QtTest>

#include "app/DocManagerEx.h"
#include "app/FileDialogEx.h"
#include "resources/resource.h"

namespace {

const QString kExportFilter =
    QStringLiteral("BMP (*.bmp)|*.bmp|TIFF (*.tif)|*.tif|JPEG (*.jpg)|*.jpg|PNM (*.pnm)|*.pnm||");

QString OpenFilterString() {
  QString result;
  for (const FileFilter& filter : OpenFileFilters())
    result += filter.text + '|' + filter.patterns + '|';
  return result + '|';
}

// The user picks the next entry of the type list with the keyboard.
void PickNextType(QComboBox* types) { QTest::keyClick(types, Qt::Key_Down); }

}  // namespace

class FileDialogTests : public QObject {
  Q_OBJECT
private slots:
  void nameFollowsType_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no extension yet") << "photo" << "TIFF (*.tif)" << "photo.tif";
    QTest::newRow("extension replaced") << "photo.tif" << "JPEG (*.jpg)" << "photo.jpg";
    QTest::newRow("cut at the first dot") << "my.photo.bmp" << "PNM (*.pnm)" << "my.pnm";
    QTest::newRow("several patterns") << "my.photo.bmp" << "PNM (*.pnm *.ppm *.pgm)" << "my.pnm *.ppm *.pgm";
    QTest::newRow("empty name becomes a filter") << "" << "BMP (*.bmp)" << "*.bmp";
    QTest::newRow("all files") << "photo.bmp" << "All Files (*.*)" << "photo.*";
    QTest::newRow("no pattern in the text") << "photo.bmp" << "Alle Bilddateien" << "photo.bmp";
    QTest::newRow("dotted folder kept") << "/home/me/.cache/photo.bmp" << "TAVIX (*.tvx)"
                                        << "/home/me/.cache/photo.tvx";
  }
  void nameFollowsType() {
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, expected);
    QCOMPARE(FileNameForType(name, type), expected);
  }

  void exportDialogRewritesTheName() {
    CFileDialogEx dialog(false, QString(), QStringLiteral("photo"), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                         kExportFilter);
    dialog.show();
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("IDC_FILE_NAME"));
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("IDC_FILE_TYPE"));
    QVERIFY(name && types);
    QCOMPARE(name->property("tavixId").toInt(), IDC_FILE_NAME);
    QCOMPARE(types->property("tavixId").toInt(), IDC_FILE_TYPE);
    QCOMPARE(name->text(), QStringLiteral("photo"));
    QCOMPARE(dialog.GetFilterIndex(), 1);
    PickNextType(types);
    QCOMPARE(name->text(), QStringLiteral("photo.tif"));
    PickNextType(types);
    QCOMPARE(name->text(), QStringLiteral("photo.jpg"));
    QCOMPARE(dialog.GetFilterIndex(), 3);
  }

  void dialogIsTaller() {
    CFileDialogEx dialog(false, QString(), QString(), OFN_HIDEREADONLY, kExportFilter);
    QFileDialog plain;
    plain.setOption(QFileDialog::DontUseNativeDialog);
    plain.setAcceptMode(QFileDialog::AcceptSave);
    plain.setNameFilters(QStringList{"BMP (*.bmp)", "TIFF (*.tif)", "JPEG (*.jpg)", "PNM (*.pnm)"});
    plain.show();
    dialog.show();
    QCOMPARE(dialog.height(), plain.height() + 100);
    QCOMPARE(dialog.width(), plain.width());
  }

  void openListShowsTextsAndFiltersByPatterns() {
    CFileDialogEx dialog(true, QString(), QString(), OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT, OpenFilterString());
    dialog.show();
    auto* types = dialog.FileTypeList();
    auto* model = dialog.findChild<QFileSystemModel*>();
    QVERIFY(types && model);
    const QList<FileFilter> filters = OpenFileFilters();
    QCOMPARE(types->count(), filters.size());
    for (int i = 0; i < filters.size(); ++i)
      QCOMPARE(types->itemText(i), filters[i].text);
    QCOMPARE(filters.last().text, QStringLiteral("All Files (*.*)"));
    // The first entry has no patterns in its text, yet filters by them.
    QVERIFY(model->nameFilters().contains(QStringLiteral("*.tiff")));
    QVERIFY(model->nameFilters().contains(QStringLiteral("*.jpeg")));
    dialog.FileNameField()->setText(QStringLiteral("photo.bmp"));
    PickNextType(types);  // TAVIX
    QCOMPARE(dialog.FileNameField()->text(), QStringLiteral("photo.tvx"));
    QTest::keyClick(types, Qt::Key_Up);  // back to "Alle Bilddateien"
    QCOMPARE(dialog.FileNameField()->text(), QStringLiteral("photo.tvx"));
    QCOMPARE(dialog.GetFilterIndex(), 1);
    // "*.*" lists every file, also those without a dot.
    dialog.SetFilterIndex(filters.size());
    QCOMPARE(model->nameFilters(), QStringList{QStringLiteral("*")});
    QCOMPARE(dialog.GetFilterIndex(), int(filters.size()));
  }
};

QTEST_MAIN(FileDialogTests)
#include "filedialog_tests.moc"
