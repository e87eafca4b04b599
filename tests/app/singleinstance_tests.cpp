// Single instance between real processes, desktop registration and the help
// context mapping. The executable re-runs itself as the second start
// (--hand-over-child) or as an instance that gets killed (--listen-child).
#include <QApplication>
#include <QDirIterator>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtEndian>
#include <QtTest>
#include <cstdio>
#include <cstring>

#include "app/DesktopIntegration.h"
#include "app/HelpWindow.h"
#include "app/SingleInstance.h"
#include "resources/resource.h"

namespace {

constexpr int kGuardMs = 30000;  // only ends a hung test; nothing is timed
const QString kHelpSource = QStringLiteral(TAVIX_SOURCE_DIR "/resources/help");

QByteArray Frame(const QByteArray& payload, quint32 declaredLength) {
  char length[4];
  qToBigEndian(declaredLength, length);
  return QByteArray("TXPO") + QByteArray(length, 4) + payload;
}

QByteArray Frame(const QByteArray& payload) { return Frame(payload, quint32(payload.size())); }

int RunChild(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList arguments = app.arguments().mid(2);
  if (std::strcmp(argv[1], "--hand-over-child") == 0)
    return CSingleInstance().TryHandOver(arguments, kGuardMs) ? 0 : 3;
  CSingleInstance instance(arguments.value(0), nullptr);  // --listen-child NAME
  if (!instance.Listen()) return 4;
  std::fputs("listening\n", stdout);
  std::fflush(stdout);
  return app.exec();  // until killed
}

}  // namespace

class SingleInstanceTests : public QObject {
  Q_OBJECT
private slots:
  void init() { QVERIFY(m_dir.isValid()); }
  void handsPathsOverBetweenProcesses();
  void liveInstanceKeepsItsName();
  void staleSocketOfKilledInstanceIsReplaced();
  void badMessagesAreDropped_data();
  void badMessagesAreDropped();
  void helpContextMapsToPage_data();
  void helpContextMapsToPage();
  void helpShowsPageOrReportsMissing();
  void helpPagesBesideBuiltProgram();
  void helpLinksResolve();
  void desktopExecQuoting_data();
  void desktopExecQuoting();
  void desktopFilesWrittenOnlyWhenDifferent();

private:
  QString socketPath() const { return m_dir.filePath(QStringLiteral("s")); }
  QTemporaryDir m_dir;
};

void SingleInstanceTests::handsPathsOverBetweenProcesses() {
  qputenv("XDG_RUNTIME_DIR", m_dir.path().toUtf8());
  CSingleInstance server;
  QVERIFY(server.ServerName().startsWith(m_dir.path() + u'/'));
  QVERIFY(server.Listen());
  QSignalSpy received(&server, &CSingleInstance::pathsReceived);

  QDir(m_dir.path()).mkdir(QStringLiteral("work"));
  const QString work = m_dir.filePath(QStringLiteral("work"));
  QProcess child;
  child.setWorkingDirectory(work);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--hand-over-child"), QStringLiteral("b.tvx"),
               QStringLiteral("/data/with space/a.bmp"), QStringLiteral("sub/Über.pgm")});
  QVERIFY(received.wait(kGuardMs));
  QTRY_COMPARE_WITH_TIMEOUT(child.state(), QProcess::NotRunning, kGuardMs);
  QCOMPARE(child.exitStatus(), QProcess::NormalExit);
  QCOMPARE(child.exitCode(), 0);
  QCOMPARE(received.count(), 1);
  QCOMPARE(received.at(0).at(0).toStringList(),
           QStringList({work + QStringLiteral("/b.tvx"), QStringLiteral("/data/with space/a.bmp"),
                        work + QStringLiteral("/sub/Über.pgm")}));
}

void SingleInstanceTests::liveInstanceKeepsItsName() {
  CSingleInstance first(socketPath(), nullptr);
  QVERIFY(first.Listen());
  {
    CSingleInstance second(socketPath(), nullptr);
    QVERIFY(!second.Listen());
  }
  QVERIFY(first.IsListening());
  QVERIFY(QFileInfo::exists(socketPath()));  // the refused one did not remove it
}

void SingleInstanceTests::staleSocketOfKilledInstanceIsReplaced() {
  QProcess child;
  child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--listen-child"), socketPath()});
  QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine() || child.state() == QProcess::NotRunning, kGuardMs);
  QCOMPARE(child.readLine(), QByteArray("listening\n"));
  child.kill();  // SIGKILL: the socket file stays behind
  QVERIFY(child.waitForFinished(kGuardMs));
  QVERIFY(QFileInfo::exists(socketPath()));

  CSingleInstance instance(socketPath(), nullptr);
  QVERIFY(instance.Listen());
  QLocalSocket probe;
  probe.connectToServer(socketPath());
  QVERIFY(probe.waitForConnected(kGuardMs));
}

void SingleInstanceTests::badMessagesAreDropped_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<bool>("serverCloses");  // else it waits for the rest
  QTest::newRow("wrong magic") << QByteArray("XXXX\0\0\0\x05/a.b\0", 13) << true;
  QTest::newRow("length over the cap") << Frame({}, CSingleInstance::kMaxPayload + 1) << true;
  QTest::newRow("length near 4 GiB") << Frame({}, 0xFFFFFFF0u) << true;
  QTest::newRow("bad UTF-8") << Frame(QByteArray("/a\xff\xfe.tvx\0", 9)) << true;
  QTest::newRow("relative path") << Frame(QByteArray("a.tvx\0", 6)) << true;
  QTest::newRow("unterminated path") << Frame(QByteArray("/a.tvx")) << true;
  QTest::newRow("empty path") << Frame(QByteArray("/a.tvx\0\0", 8)) << true;
  QTest::newRow("truncated, then closed") << Frame(QByteArray("/a.tvx\0", 7), 50) << false;
  QTest::newRow("half a header") << QByteArray("TXP") << false;
}

void SingleInstanceTests::badMessagesAreDropped() {
  QFETCH(QByteArray, bytes);
  QFETCH(bool, serverCloses);
  CSingleInstance server(socketPath(), nullptr);
  QVERIFY(server.Listen());
  QSignalSpy received(&server, &CSingleInstance::pathsReceived);
  {
    QLocalSocket bad;
    bad.connectToServer(socketPath());
    QVERIFY(bad.waitForConnected(kGuardMs));
    bad.write(bytes);
    QVERIFY(bad.waitForBytesWritten(kGuardMs));
    if (serverCloses)
      QTRY_COMPARE_WITH_TIMEOUT(bad.state(), QLocalSocket::UnconnectedState, kGuardMs);
    QCOMPARE(bad.bytesAvailable(), 0);  // never acknowledged
  }
  // The server survives and still takes a good message.
  QLocalSocket good;
  good.connectToServer(socketPath());
  QVERIFY(good.waitForConnected(kGuardMs));
  good.write(CSingleInstance::EncodeMessage({QStringLiteral("/x/ok.tvx")}));
  QTRY_VERIFY_WITH_TIMEOUT(good.bytesAvailable() > 0, kGuardMs);
  QCOMPARE(good.read(1), QByteArray(1, CSingleInstance::kAck));
  QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, kGuardMs);
  QCOMPARE(received.at(0).at(0).toStringList(), QStringList{QStringLiteral("/x/ok.tvx")});
}

void SingleInstanceTests::helpContextMapsToPage_data() {
  QTest::addColumn<int>("contextId");
  QTest::addColumn<QString>("page");
  QTest::newRow("Help menu") << HID_MAIN_HELP << "index.html";
  QTest::newRow("File Size 188") << 0x200BC << "filesize.html";
  QTest::newRow("Quality 189") << 0x200BD << "quality.html";
  QTest::newRow("Preview 227") << 0x200E3 << "preview.html";
  QTest::newRow("View Scale 258") << HID_BASE_RESOURCE + 258 << "viewscale.html";
  QTest::newRow("Image Information 194") << HID_BASE_RESOURCE + 194 << "imageinfo.html";
  QTest::newRow("JPEG quality 142") << HID_BASE_RESOURCE + 142 << "jpegquality.html";
  QTest::newRow("colour table 252") << HID_BASE_RESOURCE + IDD_COLORTABLE_WARNING << "colortable.html";
  QTest::newRow("Customize command") << HID_BASE_COMMAND + ID_CUSTOMIZE << "customize.html";
  QTest::newRow("About command") << HID_BASE_COMMAND + ID_APP_ABOUT << "about.html";
  QTest::newRow("unknown") << 0x2FFFF << "index.html";
  QTest::newRow("framework default 0") << 0 << "index.html";
}

void SingleInstanceTests::helpContextMapsToPage() {
  QFETCH(int, contextId);
  QFETCH(QString, page);
  QCOMPARE(HelpPageForContext(contextId), page);
  QVERIFY2(QFileInfo(kHelpSource + u'/' + page).isFile(), qPrintable(page));
}

void SingleInstanceTests::helpShowsPageOrReportsMissing() {
  QVERIFY(!ShowHelp(m_dir.filePath(QStringLiteral("none/index.html")), HID_MAIN_HELP, nullptr));
  QVERIFY(!CHelpWindow::Instance());

  const QString index = kHelpSource + QStringLiteral("/index.html");
  QVERIFY(ShowHelp(index, 0x200BD, nullptr));
  CHelpWindow* window = CHelpWindow::Instance();
  QVERIFY(window && window->isVisible());
  QCOMPARE(window->windowTitle(), QStringLiteral("TAVIX Photo Help"));
  QCOMPARE(QFileInfo(window->Browser()->source().toLocalFile()).fileName(), QStringLiteral("quality.html"));
  QVERIFY(window->Browser()->toPlainText().contains(QStringLiteral("Quality Factor")));

  QVERIFY(ShowHelp(index, HID_BASE_RESOURCE + 258, nullptr));
  QCOMPARE(CHelpWindow::Instance(), window);  // reused
  QCOMPARE(QFileInfo(window->Browser()->source().toLocalFile()).fileName(), QStringLiteral("viewscale.html"));
  delete window;
}

void SingleInstanceTests::helpPagesBesideBuiltProgram() {
  // TavixPhoto sits in the build root and looks for <its folder>/help.
  QVERIFY(QFileInfo(QStringLiteral(TAVIX_BINARY_DIR "/help/index.html")).isFile());
  QVERIFY(QFileInfo(QStringLiteral(TAVIX_BINARY_DIR "/help/help.css")).isFile());
}

void SingleInstanceTests::helpLinksResolve() {
  static const QRegularExpression link(QStringLiteral("href=\"([^\"#:]+)"));
  QDirIterator pages(kHelpSource, {QStringLiteral("*.html")});
  int count = 0;
  while (pages.hasNext()) {
    QFile page(pages.next());
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    for (const QRegularExpressionMatch& match : link.globalMatch(html)) {
      QVERIFY2(QFileInfo::exists(kHelpSource + u'/' + match.captured(1)),
               qPrintable(page.fileName() + QStringLiteral(" -> ") + match.captured(1)));
    }
    ++count;
  }
  QVERIFY(count >= 12);
}

void SingleInstanceTests::desktopExecQuoting_data() {
  QTest::addColumn<QString>("program");
  QTest::addColumn<QString>("execLine");
  QTest::newRow("plain") << "/usr/bin/TavixPhoto" << "Exec=/usr/bin/TavixPhoto %F";
  QTest::newRow("space") << "/opt/My Apps/TavixPhoto" << "Exec=\"/opt/My Apps/TavixPhoto\" %F";
  QTest::newRow("percent") << "/opt/100%/TavixPhoto" << "Exec=/opt/100%%/TavixPhoto %F";
  QTest::newRow("dollar, quote, backslash")
      << "/opt/a$b\"c\\d/TavixPhoto" << "Exec=\"/opt/a\\\\$b\\\\\"c\\\\\\\\d/TavixPhoto\" %F";
}

void SingleInstanceTests::desktopExecQuoting() {
  QFETCH(QString, program);
  QFETCH(QString, execLine);
  const QByteArray entry = DesktopEntryFor(program);
  QVERIFY(entry.contains("\nName=TAVIX Photo\n"));
  QVERIFY2(QString::fromUtf8(entry).split(u'\n').contains(execLine), entry.constData());
  const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
  if (validator.isEmpty()) return;
  const QString path = m_dir.filePath(QStringLiteral("TavixPhoto.desktop"));
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write(entry) == entry.size());
  file.close();
  QProcess validate;
  validate.start(validator, {path});
  QVERIFY(validate.waitForFinished(kGuardMs));
  QVERIFY2(validate.exitCode() == 0, validate.readAllStandardOutput().constData());
}

void SingleInstanceTests::desktopFilesWrittenOnlyWhenDifferent() {
  const QString home = m_dir.filePath(QStringLiteral("data"));
  const QString desktop = home + QStringLiteral("/applications/TavixPhoto.desktop");
  const QString mime = home + QStringLiteral("/mime/packages/tavix-photo.xml");
  const QString icon = home + QStringLiteral("/icons/hicolor/48x48/apps/tavixphoto.png");
  const QString mimeIcon = home + QStringLiteral("/icons/hicolor/48x48/mimetypes/image-x-tavix.png");

  // Through the start-up entry point, with no helper tools on the PATH.
  const QByteArray path = qgetenv("PATH");
  qputenv("XDG_DATA_HOME", home.toUtf8());
  qputenv("PATH", "");
  RegisterDesktopIntegration();
  qputenv("PATH", path);
  for (const QString& file : {desktop, mime, icon, mimeIcon}) QVERIFY2(QFileInfo(file).size() > 0, qPrintable(file));
  QFile mimeFile(mime);
  QVERIFY(mimeFile.open(QIODevice::ReadOnly));
  QVERIFY(mimeFile.readAll().contains("value=\"TVX\\x1a\""));
  mimeFile.close();

  const QString program = QCoreApplication::applicationFilePath();
  QCOMPARE(InstallDesktopFiles(home, program), QStringList());
  QVERIFY(mimeFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
  mimeFile.write("<mime-info/>\n");  // damaged or outdated
  mimeFile.close();
  QCOMPARE(InstallDesktopFiles(home, program), QStringList{mime});
  QCOMPARE(InstallDesktopFiles(home, QStringLiteral("/elsewhere/TavixPhoto")), QStringList{desktop});
}

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--hand-over-child") == 0 ||
                    std::strcmp(argv[1], "--listen-child") == 0))
    return RunChild(argc, argv);
  QApplication app(argc, argv);
  SingleInstanceTests tests;
  return QTest::qExec(&tests, argc, argv);
}

#include "singleinstance_tests.moc"
