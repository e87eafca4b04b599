// The crash report: its text, the mapping of signals to exception codes, and
// real crashes of a child copy of this executable ("--crash-child KIND"),
// which must die by the signal and leave a report file behind.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/prctl.h>

#include "app/CrashReport.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

constexpr auto Code = [](ExceptionCode code) { return static_cast<std::uint32_t>(code); };

QString Report(const CrashRecord& record) {
  char buffer[4096];
  FormatCrashReport(record, buffer, sizeof buffer);
  return QString::fromLatin1(buffer);
}

// ---------------------------------------------------------------- the crashing child

volatile int g_sink = 0;
volatile int g_stopDepth = -1;

// Each frame hands its own address down, so the calls cannot become a loop.
[[gnu::noinline]] int Recurse(volatile char* caller, int depth) {
  volatile char frame[1024];
  frame[0] = caller[0];
  if (depth == g_stopDepth) return frame[0];
  return Recurse(frame, depth + 1) + frame[0];
}

int RunCrashChild(const char* kind) {
  prctl(PR_SET_DUMPABLE, 0);  // no core files from these crashes
  InstallCrashReport(nullptr);
  void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  std::printf("0x%08llx\n", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(page)));
  std::fflush(stdout);
  volatile int* target = static_cast<volatile int*>(page);
  volatile int zero = 0;
  volatile int one = 1;
  volatile char start = 0;
  if (std::strcmp(kind, "read") == 0) g_sink = *target;
  if (std::strcmp(kind, "write") == 0) *target = 1;
  if (std::strcmp(kind, "divide") == 0) g_sink = one / zero;
  if (std::strcmp(kind, "overflow") == 0) g_sink = Recurse(&start, 0);
  if (std::strcmp(kind, "terminate") == 0) throw std::runtime_error("not caught");
  return 0;
}

}  // namespace

class CrashTests : public QObject {
  Q_OBJECT
private slots:
  void report_data();
  void report();
  void message();
  void signalMapping_data();
  void signalMapping();
  void crash_data();
  void crash();
};

void CrashTests::report_data() {
  QTest::addColumn<std::uint32_t>("code");
  QTest::addColumn<std::uint32_t>("flags");
  QTest::addColumn<std::uint32_t>("parameterCount");
  QTest::addColumn<QString>("expected");
  const QString head = "\nException Code: \t\t%1\nException Flag: \t\t%2\nException Address: \t\t0x00401000";
  QTest::newRow("write, two parameters")
      << Code(ExceptionCode::AccessViolation) << 0u << 2u
      << head.arg("EXCEPTION_ACCESS_VIOLATION", "EXECUTION CONTINUABLE") +
             "\nException Operation: \tWRITE\nVirtual Address: \t\t0x7fffdeadbeef\n\n";
  QTest::newRow("one parameter") << Code(ExceptionCode::StackOverflow) << 1u << 1u
                                 << head.arg("EXCEPTION_STACK_OVERFLOW", "EXECUTION NON CONTINUABLE") +
                                        "\nException Operation: \tWRITE\n\n";
  QTest::newRow("unknown code and flag")
      << 0x12345678u << 2u << 0u << head.arg("EXCEPTION_UNKNOWN", "UNKNOWN") + "\n\n";
}

void CrashTests::report() {
  QFETCH(std::uint32_t, code);
  QFETCH(std::uint32_t, flags);
  QFETCH(std::uint32_t, parameterCount);
  QFETCH(QString, expected);
  CrashRecord record{code, flags, 0x401000, parameterCount, {1, 0x7fffdeadbeef}, nullptr};
  QCOMPARE(Report(record), expected);
}

void CrashTests::message() {
  // A chained record's block sits inside its parent's: both blank lines come last.
  const CrashRecord inner{Code(ExceptionCode::IntDivideByZero), 0, 0x1234, 2, {0, 0x10}, nullptr};
  const CrashRecord outer{Code(ExceptionCode::Breakpoint), 0, 0x123456789, 0, {}, &inner};
  char buffer[1024];
  const QByteArray intro = LoadStringResource(IDS_INTERNAL_ERROR_TEXT).toUtf8();
  const std::size_t length = FormatCrashMessage(outer, intro.constData(), buffer, sizeof buffer);
  QCOMPARE(QByteArray(buffer, int(length)),
           QByteArray("TAVIX Photo detected an internal error. Please transmit \nthe following information to "
                      "'support@tavix.com'.\n\n"
                      "\nException Code: \t\tEXCEPTION_BREAKPOINT\nException Flag: \t\tEXECUTION CONTINUABLE"
                      "\nException Address: \t\t0x123456789"
                      "\nException Code: \t\tEXCEPTION_INT_DIVIDE_BY_ZERO\nException Flag: \t\tEXECUTION "
                      "CONTINUABLE\nException Address: \t\t0x00001234"
                      "\nException Operation: \tREAD\nVirtual Address: \t\t0x00000010\n\n\n\n"));

  // A buffer too small cuts the text; a cycle in the chain ends.
  QCOMPARE(FormatCrashReport(outer, buffer, 8), std::size_t(7));
  QCOMPARE(QByteArray(buffer), QByteArray("\nExcept"));
  CrashRecord cycle = outer;
  cycle.chained = &cycle;
  char large[8192];
  FormatCrashReport(cycle, large, sizeof large);
  QVERIFY(QByteArray(large).endsWith("\n\n"));
}

void CrashTests::signalMapping_data() {
  QTest::addColumn<int>("signal");
  QTest::addColumn<int>("signalCode");
  QTest::addColumn<std::uint32_t>("code");
  QTest::addColumn<std::uint32_t>("flags");
  QTest::addColumn<std::uint32_t>("parameterCount");
  QTest::addColumn<std::uint64_t>("address");
  using E = ExceptionCode;
  const auto row = [](const char* name, int signal, int signalCode, std::uint32_t code,
                      std::uint32_t flags, std::uint32_t parameterCount, std::uint64_t address) {
    QTest::newRow(name) << signal << signalCode << code << flags << parameterCount << address;
  };
  const std::uint64_t at = 0x5000;  // si_addr: the data address, or the instruction for FPE/ILL/TRAP
  row("segv", SIGSEGV, SEGV_MAPERR, Code(E::AccessViolation), 0, 2, 0);
  row("segv by kill", SIGSEGV, SI_USER, Code(E::AccessViolation), 0, 0, 0);
  row("bus misaligned", SIGBUS, BUS_ADRALN, Code(E::DatatypeMisalignment), 0, 2, 0);
  row("bus page", SIGBUS, BUS_OBJERR, Code(E::InPageError), 0, 2, 0);
  row("intdiv", SIGFPE, FPE_INTDIV, Code(E::IntDivideByZero), 0, 0, at);
  row("fltres", SIGFPE, FPE_FLTRES, Code(E::FltInexactResult), 0, 0, at);
  row("fltsub", SIGFPE, FPE_FLTSUB, Code(E::ArrayBoundsExceeded), 0, 0, at);
  row("fpe other", SIGFPE, 99, Code(E::FltInvalidOperation), 0, 0, at);
  row("privileged opcode", SIGILL, ILL_PRVOPC, Code(E::PrivInstruction), 0, 0, at);
  row("privileged register", SIGILL, ILL_PRVREG, Code(E::PrivInstruction), 0, 0, at);
  row("illegal opcode", SIGILL, ILL_ILLOPC, Code(E::IllegalInstruction), 0, 0, at);
  row("trace", SIGTRAP, TRAP_TRACE, Code(E::SingleStep), 0, 0, at);
  row("breakpoint", SIGTRAP, TRAP_BRKPT, Code(E::Breakpoint), 0, 0, at);
  row("abort", SIGABRT, SI_TKILL, Code(E::NoncontinuableException), 1, 0, 0);
  row("other signal", SIGUSR1, SI_USER, 0, 0, 0, 0);
}

void CrashTests::signalMapping() {
  QFETCH(int, signal);
  QFETCH(int, signalCode);
  QFETCH(std::uint32_t, code);
  QFETCH(std::uint32_t, flags);
  QFETCH(std::uint32_t, parameterCount);
  QFETCH(std::uint64_t, address);
  const CrashRecord record = CrashRecordFromSignal(signal, signalCode, 0x5000, nullptr);
  QCOMPARE(record.code, code);
  QCOMPARE(record.flags, flags);
  QCOMPARE(record.parameterCount, parameterCount);
  QCOMPARE(record.address, address);
  if (parameterCount == 2) QCOMPARE(record.parameters[1], std::uint64_t(0x5000));
}

void CrashTests::crash_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<int>("signal");
  QTest::addColumn<QString>("code");
  QTest::addColumn<QString>("operation");  // empty: no operation line; "any": not checked
  QTest::addColumn<bool>("viewer");
  QTest::newRow("read") << "read" << SIGSEGV << "EXCEPTION_ACCESS_VIOLATION" << "READ" << false;
  QTest::newRow("write") << "write" << SIGSEGV << "EXCEPTION_ACCESS_VIOLATION" << "WRITE" << false;
  QTest::newRow("divide") << "divide" << SIGFPE << "EXCEPTION_INT_DIVIDE_BY_ZERO" << "" << false;
  QTest::newRow("overflow") << "overflow" << SIGSEGV << "EXCEPTION_STACK_OVERFLOW" << "any" << false;
  QTest::newRow("terminate") << "terminate" << SIGABRT << "EXCEPTION_NONCONTINUABLE_EXCEPTION" << ""
                             << true;
}

void CrashTests::crash() {
  QFETCH(QString, kind);
  QFETCH(int, signal);
  QFETCH(QString, code);
  QFETCH(QString, operation);
  QFETCH(bool, viewer);
  QTemporaryDir home;
  QVERIFY(home.isValid());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_STATE_HOME", home.filePath("state"));
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  if (viewer)
    environment.remove("TAVIX_CRASH_VIEWER");
  else
    environment.insert("TAVIX_CRASH_VIEWER", "none");
  QProcess child;
  child.setProcessEnvironment(environment);
  child.setWorkingDirectory(home.path());
  child.setStandardOutputFile(home.filePath("stdout.txt"));
  child.setStandardErrorFile(home.filePath("stderr.txt"));
  const qint64 startTime = QDateTime::currentSecsSinceEpoch();
  child.start(QCoreApplication::applicationFilePath(), {"--crash-child", kind});
  QVERIFY(child.waitForStarted());
  const qint64 pid = child.processId();
  QVERIFY(child.waitForFinished(60000));
  const qint64 endTime = QDateTime::currentSecsSinceEpoch();
  QCOMPARE(child.exitStatus(), QProcess::CrashExit);
  QCOMPARE(child.exitCode(), signal);

  // One new file, named for the process and the time of the crash.
  const QDir reports(home.filePath("state/TAVIX"));
  const QStringList files = reports.entryList({"crash-*.txt"}, QDir::Files);
  QCOMPARE(files.size(), 1);
  const QRegularExpressionMatch name =
      QRegularExpression(QString("^crash-%1-(\\d{8}T\\d{6})Z\\.txt$").arg(pid)).match(files[0]);
  QVERIFY2(name.hasMatch(), qPrintable(files[0]));
  const QDateTime stamp(QDate::fromString(name.captured(1).left(8), "yyyyMMdd"),
                        QTime::fromString(name.captured(1).mid(9), "HHmmss"), QTimeZone::utc());
  QVERIFY(stamp.toSecsSinceEpoch() >= startTime && stamp.toSecsSinceEpoch() <= endTime);

  QFile file(reports.filePath(files[0]));
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(file.readAll());
  QVERIFY(text.startsWith(LoadStringResource(IDS_INTERNAL_ERROR_TEXT) + "support@tavix.com'.\n\n"));
  QVERIFY2(text.contains("\nException Code: \t\t" + code + "\n"), qPrintable(text));
  QVERIFY(!text.contains("\nException Address: \t\t0x00000000\n"));
  if (operation.isEmpty()) {
    QVERIFY(!text.contains("Exception Operation") && !text.contains("Virtual Address"));
  } else if (operation != "any") {
    QFile output(home.filePath("stdout.txt"));
    QVERIFY(output.open(QIODevice::ReadOnly));
    const QString page = QString::fromLatin1(output.readAll()).trimmed();
    QVERIFY2(text.contains("\nException Operation: \t" + operation + "\nVirtual Address: \t\t" + page + "\n"),
             qPrintable(text));
  }
  QFile errors(home.filePath("stderr.txt"));
  QVERIFY(errors.open(QIODevice::ReadOnly));
  QVERIFY(QString::fromUtf8(errors.readAll()).contains(text));

  // The viewer gets the file and shows the same text (on stderr offscreen).
  if (viewer) {
    const QString shown = reports.filePath(files[0]) + ".shown";
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(shown), 60000);
    QVERIFY(errors.reset());
    QCOMPARE(QString::fromUtf8(errors.readAll()).count(text), 2);
  }
}

int main(int argc, char* argv[]) {
  if (argc == 3 && std::strcmp(argv[1], "--crash-child") == 0) return RunCrashChild(argv[2]);
  QApplication application(argc, argv);
  if (argc == 3 && std::strcmp(argv[1], "--show-crash-report") == 0) {
    // The viewer started by a crashed child: show, then tell the test.
    const int result = ShowCrashReport(QString::fromLocal8Bit(argv[2]));
    QFile::copy(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[2]) + ".shown");
    return result;
  }
  CrashTests tests;
  return QTest::qExec(&tests, argc, argv);
}

#include "crash_tests.moc"
