#include "app/CrashReport.h"

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QString>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/stat.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include "resources/Strings.h"
#include "resources/resource.h"

extern char** environ;

namespace {

constexpr char kSupportAddress[] = "support@tavix.com";
constexpr char kIntroEnd[] = "'.\n\n";
constexpr char kViewerOption[] = "--show-crash-report";
// The viewer starts no viewer of its own should it crash too.
constexpr char kViewerVariable[] = "TAVIX_CRASH_VIEWER=";
constexpr char kNoViewerVariable[] = "TAVIX_CRASH_VIEWER=none";
constexpr std::size_t kMaxViewerEnvironment = 4096;

// A cycle in a chain of records must not hang the handler.
constexpr int kMaxChainedRecords = 16;
// A fault this far below the main thread's stack is taken for a stack overflow.
constexpr std::uint64_t kStackGuardZone = 1024 * 1024;
// The viewer reads at most this much; the report itself is a few hundred bytes.
constexpr qint64 kMaxReportFileSize = 64 * 1024;

// ---------------------------------------------------------------- text

// Appends text to a fixed buffer without allocating; what does not fit is
// cut off, and the buffer always stays NUL-terminated.
class TextBuffer {
public:
  TextBuffer(char* buffer, std::size_t size) : m_buffer(buffer), m_size(size) {
    if (m_size > 0) m_buffer[0] = '\0';
  }
  void append(const char* text) {
    while (*text != '\0') put(*text++);
  }
  // At least `minDigits` digits, more when the value needs them.
  void appendNumber(std::uint64_t value, unsigned base, int minDigits) {
    char digits[64];
    int count = 0;
    do {
      digits[count++] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value != 0);
    while (count < minDigits && count < static_cast<int>(sizeof digits)) digits[count++] = '0';
    while (count > 0) put(digits[--count]);
  }
  void appendAddress(std::uint64_t value) {
    append("0x");
    appendNumber(value, 16, 8);
  }
  std::size_t length() const { return m_length; }
  bool truncated() const { return m_truncated; }

private:
  void put(char c) {
    if (m_length + 1 >= m_size) {
      m_truncated = true;
      return;
    }
    m_buffer[m_length++] = c;
    m_buffer[m_length] = '\0';
  }
  char* m_buffer;
  std::size_t m_size;
  std::size_t m_length = 0;
  bool m_truncated = false;
};

struct CodeName {
  ExceptionCode code;
  const char* name;
};

constexpr CodeName kCodeNames[] = {
    {ExceptionCode::DatatypeMisalignment, "EXCEPTION_DATATYPE_MISALIGNMENT"},
    {ExceptionCode::Breakpoint, "EXCEPTION_BREAKPOINT"},
    {ExceptionCode::SingleStep, "EXCEPTION_SINGLE_STEP"},
    {ExceptionCode::AccessViolation, "EXCEPTION_ACCESS_VIOLATION"},
    {ExceptionCode::InPageError, "EXCEPTION_IN_PAGE_ERROR"},
    {ExceptionCode::IllegalInstruction, "EXCEPTION_ILLEGAL_INSTRUCTION"},
    {ExceptionCode::NoncontinuableException, "EXCEPTION_NONCONTINUABLE_EXCEPTION"},
    {ExceptionCode::InvalidDisposition, "EXCEPTION_INVALID_DISPOSITION"},
    {ExceptionCode::ArrayBoundsExceeded, "EXCEPTION_ARRAY_BOUNDS_EXCEEDED"},
    {ExceptionCode::FltDenormalOperand, "EXCEPTION_FLT_DENORMAL_OPERAND"},
    {ExceptionCode::FltDivideByZero, "EXCEPTION_FLT_DIVIDE_BY_ZERO"},
    {ExceptionCode::FltInexactResult, "EXCEPTION_FLT_INEXACT_RESULT"},
    {ExceptionCode::FltInvalidOperation, "EXCEPTION_FLT_INVALID_OPERATION"},
    {ExceptionCode::FltOverflow, "EXCEPTION_FLT_OVERFLOW"},
    {ExceptionCode::FltStackCheck, "EXCEPTION_FLT_STACK_CHECK"},
    {ExceptionCode::FltUnderflow, "EXCEPTION_FLT_UNDERFLOW"},
    {ExceptionCode::IntDivideByZero, "EXCEPTION_INT_DIVIDE_BY_ZERO"},
    {ExceptionCode::IntOverflow, "EXCEPTION_INT_OVERFLOW"},
    {ExceptionCode::PrivInstruction, "EXCEPTION_PRIV_INSTRUCTION"},
    {ExceptionCode::StackOverflow, "EXCEPTION_STACK_OVERFLOW"},
};

const char* ExceptionName(std::uint32_t code) {
  for (const CodeName& entry : kCodeNames) {
    if (static_cast<std::uint32_t>(entry.code) == code) return entry.name;
  }
  return "EXCEPTION_UNKNOWN";
}

const char* FlagText(std::uint32_t flags) {
  if (flags == ExceptionContinuable) return "EXECUTION CONTINUABLE";
  if (flags == ExceptionNoncontinuable) return "EXECUTION NON CONTINUABLE";
  return "UNKNOWN";
}

// One record's lines, without the closing blank line.
void AppendRecordLines(TextBuffer& out, const CrashRecord& record) {
  out.append("\nException Code: \t\t");
  out.append(ExceptionName(record.code));
  out.append("\nException Flag: \t\t");
  out.append(FlagText(record.flags));
  out.append("\nException Address: \t\t");
  out.appendAddress(record.address);
  if (record.parameterCount >= 1) {
    out.append("\nException Operation: \t");
    out.append(record.parameters[0] != 0 ? "WRITE" : "READ");
  }
  if (record.parameterCount >= 2) {
    out.append("\nVirtual Address: \t\t");
    out.appendAddress(record.parameters[1]);
  }
}

// Each record's block encloses the block of the record chained to it, so
// the closing blank lines of the whole chain come at the end.
void AppendReport(TextBuffer& out, const CrashRecord& record) {
  int depth = 0;
  for (const CrashRecord* current = &record; current != nullptr && depth < kMaxChainedRecords;
       current = current->chained, ++depth) {
    AppendRecordLines(out, *current);
  }
  for (int i = 0; i < depth; ++i) out.append("\n\n");
}

// ---------------------------------------------------------------- state of the installed handler

// Everything the handler needs is prepared by InstallCrashReport, because
// the handler itself may not allocate. Written only while installing.
struct CrashState {
  bool haveDirectory = false;
  bool startViewer = false;
  std::uint64_t stackLow = 0;  // lowest address of the main thread's stack
  std::uint64_t pageSize = 4096;
  char intro[512] = {};
  char directory[PATH_MAX] = {};
  char program[PATH_MAX] = {};
  char reportPath[PATH_MAX + 64] = {};
  char viewerOption[sizeof kViewerOption] = {};
  char* viewerArgs[4] = {};
  char noViewer[sizeof kNoViewerVariable] = {};
  char* viewerEnvironment[kMaxViewerEnvironment] = {};
};

CrashState g_state;
std::atomic_flag g_reporting = ATOMIC_FLAG_INIT;
alignas(16) char g_alternateStack[64 * 1024];
char g_message[16 * 1024];

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};

struct MachineState {
  std::uint64_t instruction = 0;
  bool write = false;
};

MachineState ReadMachineState(const void* context) {
  MachineState state;
  if (context == nullptr) return state;
  [[maybe_unused]] const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__linux__) && defined(__x86_64__)
  state.instruction = static_cast<std::uint64_t>(uc->uc_mcontext.gregs[REG_RIP]);
  // Bit 1 of the page-fault error code: the access was a write.
  state.write = (uc->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#elif defined(__linux__) && defined(__aarch64__)
  state.instruction = uc->uc_mcontext.pc;
#endif
  return state;
}

bool InStackGuardZone(std::uint64_t address) {
  const std::uint64_t low = g_state.stackLow;
  if (low == 0) return false;
  const std::uint64_t zoneStart = low > kStackGuardZone ? low - kStackGuardZone : 0;
  return address >= zoneStart && address < low + g_state.pageSize;
}

void SetAccess(CrashRecord& record, bool write, std::uint64_t faultAddress) {
  record.parameterCount = 2;
  record.parameters[0] = write ? 1 : 0;
  record.parameters[1] = faultAddress;
}

ExceptionCode FloatingPointCode(int signalCode) {
  switch (signalCode) {
    case FPE_INTDIV: return ExceptionCode::IntDivideByZero;
    case FPE_INTOVF: return ExceptionCode::IntOverflow;
    case FPE_FLTDIV: return ExceptionCode::FltDivideByZero;
    case FPE_FLTOVF: return ExceptionCode::FltOverflow;
    case FPE_FLTUND: return ExceptionCode::FltUnderflow;
    case FPE_FLTRES: return ExceptionCode::FltInexactResult;
    case FPE_FLTINV: return ExceptionCode::FltInvalidOperation;
    case FPE_FLTSUB: return ExceptionCode::ArrayBoundsExceeded;
    default: return ExceptionCode::FltInvalidOperation;
  }
}

// ---------------------------------------------------------------- the handler's work (async-signal-safe)

bool WriteAll(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    const ssize_t written = ::write(fd, data, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

void WriteText(int fd, const char* text) { WriteAll(fd, text, std::strlen(text)); }

// UTC time as 20250131T235959Z (days to civil date after H. Hinnant).
void AppendUtcStamp(TextBuffer& out, std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  const std::int64_t days = seconds / 86400 + 719468;
  const std::int64_t secondOfDay = seconds % 86400;
  const std::int64_t era = days / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  out.appendNumber(static_cast<std::uint64_t>(year), 10, 4);
  out.appendNumber(static_cast<std::uint64_t>(month), 10, 2);
  out.appendNumber(static_cast<std::uint64_t>(day), 10, 2);
  out.append("T");
  out.appendNumber(static_cast<std::uint64_t>(secondOfDay / 3600), 10, 2);
  out.appendNumber(static_cast<std::uint64_t>(secondOfDay / 60 % 60), 10, 2);
  out.appendNumber(static_cast<std::uint64_t>(secondOfDay % 60), 10, 2);
  out.append("Z");
}

// Writes the message to a new file; a file that could not be written
// completely is removed again.
bool SaveReport(const char* message, std::size_t length) {
  if (!g_state.haveDirectory) return false;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  TextBuffer path(g_state.reportPath, sizeof g_state.reportPath);
  path.append(g_state.directory);
  path.append("/crash-");
  path.appendNumber(static_cast<std::uint64_t>(getpid()), 10, 1);
  path.append("-");
  AppendUtcStamp(path, now.tv_sec);
  path.append(".txt");
  if (path.truncated()) return false;
  const int fd = ::open(g_state.reportPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, message, length);
  const bool closed = ::close(fd) == 0;
  if (written && closed) return true;
  ::unlink(g_state.reportPath);
  return false;
}

// Starts "<program> --show-crash-report <file>" and does not wait for it:
// the viewer lives on after this process has ended. _Fork runs no fork
// handlers, so a crash inside malloc cannot deadlock here.
void StartViewer() {
  // The viewer's environment: this process's, with the viewer switched off.
  std::size_t count = 0;
  g_state.viewerEnvironment[count++] = g_state.noViewer;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    if (count + 1 >= kMaxViewerEnvironment) break;
    if (std::strncmp(*entry, kViewerVariable, sizeof kViewerVariable - 1) != 0)
      g_state.viewerEnvironment[count++] = *entry;
  }
  g_state.viewerEnvironment[count] = nullptr;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  const pid_t pid = _Fork();
#else
  const pid_t pid = fork();
#endif
  if (pid != 0) return;
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  setsid();
  execve(g_state.program, g_state.viewerArgs, g_state.viewerEnvironment);
  _exit(127);
}

void ReportCrash(const CrashRecord& record) {
  const std::size_t length = FormatCrashMessage(record, g_state.intro, g_message, sizeof g_message);
  const bool saved = SaveReport(g_message, length);
  WriteAll(STDERR_FILENO, g_message, length);
  if (!saved) return;
  WriteText(STDERR_FILENO, "Crash report saved to ");
  WriteText(STDERR_FILENO, g_state.reportPath);
  WriteText(STDERR_FILENO, "\n");
  if (g_state.startViewer) StartViewer();
}

void RestoreDefaultAction(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

// A crash while the report is being made: end the process at once.
[[noreturn]] void EndNow(int signal) {
  RestoreDefaultAction(signal);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal);
  _exit(128 + signal);
}

void OnFatalSignal(int signal, siginfo_t* info, void* context) {
  if (g_reporting.test_and_set()) EndNow(signal);
  const CrashRecord record = CrashRecordFromSignal(
      signal, info->si_code, reinterpret_cast<std::uintptr_t>(info->si_addr), context);
  ReportCrash(record);
  // The signal stays blocked until the handler returns; then the default
  // action ends the process by the same signal, and a core dump still shows
  // the registers of the fault.
  RestoreDefaultAction(signal);
  raise(signal);
}

// An uncaught C++ exception cannot be continued: like abort() it is reported
// as EXCEPTION_NONCONTINUABLE_EXCEPTION with the non-continuable flag.
[[noreturn]] void OnTerminate() {
  if (!g_reporting.test_and_set()) {
    CrashRecord record;
    record.code = static_cast<std::uint32_t>(ExceptionCode::NoncontinuableException);
    record.flags = ExceptionNoncontinuable;
    record.address = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    ReportCrash(record);
  }
  RestoreDefaultAction(SIGABRT);
  std::abort();
}

// ---------------------------------------------------------------- installing

template <std::size_t N>
bool CopyPath(char (&target)[N], const std::string& source) {
  if (source.empty() || source.size() >= N) return false;
  std::memcpy(target, source.c_str(), source.size() + 1);
  return true;
}

// $XDG_STATE_HOME/TAVIX, or ~/.local/state/TAVIX when it is unset or not absolute.
std::string ReportDirectory() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/TAVIX";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const passwd* user = getpwuid(getuid());
    home = user != nullptr ? user->pw_dir : nullptr;
  }
  if (home == nullptr || home[0] == '\0') return {};
  return std::string(home) + "/.local/state/TAVIX";
}

std::string ProgramFile(const char* programPath) {
  char link[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", link, sizeof link - 1);
  if (length > 0) {
    const std::string path(link, static_cast<std::size_t>(length));
    if (path.find(" (deleted)") == std::string::npos) return path;
  }
  if (programPath == nullptr || std::strchr(programPath, '/') == nullptr) return {};
  char resolved[PATH_MAX];
  return realpath(programPath, resolved) != nullptr ? std::string(resolved) : std::string();
}

void PrepareReportFiles(const char* programPath) {
  const std::string directory = ReportDirectory();
  std::error_code error;
  if (!directory.empty()) std::filesystem::create_directories(directory, error);
  g_state.haveDirectory = !directory.empty() && !error && CopyPath(g_state.directory, directory);

  const char* viewer = std::getenv("TAVIX_CRASH_VIEWER");
  const bool viewerWanted = viewer == nullptr || std::strcmp(viewer, "none") != 0;
  g_state.startViewer = viewerWanted && CopyPath(g_state.program, ProgramFile(programPath));
  std::memcpy(g_state.viewerOption, kViewerOption, sizeof kViewerOption);
  std::memcpy(g_state.noViewer, kNoViewerVariable, sizeof kNoViewerVariable);
  g_state.viewerArgs[0] = g_state.program;
  g_state.viewerArgs[1] = g_state.viewerOption;
  g_state.viewerArgs[2] = g_state.reportPath;
  g_state.viewerArgs[3] = nullptr;
}

void RememberMainStack() {
  g_state.pageSize = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
#if defined(__linux__)
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return;
  void* low = nullptr;
  std::size_t size = 0;
  if (pthread_attr_getstack(&attributes, &low, &size) == 0) {
    g_state.stackLow = reinterpret_cast<std::uintptr_t>(low);
  }
  pthread_attr_destroy(&attributes);
#endif
}

// The handler of a stack overflow cannot run on the exhausted stack.
void UseAlternateStack() {
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0) return;
  stack_t stack{};
  stack.ss_sp = g_alternateStack;
  stack.ss_size = sizeof g_alternateStack;
  sigaltstack(&stack, nullptr);
}

}  // namespace

std::size_t FormatCrashReport(const CrashRecord& record, char* buffer, std::size_t size) {
  TextBuffer out(buffer, size);
  AppendReport(out, record);
  return out.length();
}

std::size_t FormatCrashMessage(const CrashRecord& record, const char* intro, char* buffer,
                               std::size_t size) {
  TextBuffer out(buffer, size);
  out.append(intro);
  out.append(kSupportAddress);
  out.append(kIntroEnd);
  AppendReport(out, record);
  return out.length();
}

CrashRecord CrashRecordFromSignal(int signal, int signalCode, std::uint64_t faultAddress,
                                  const void* context) {
  const MachineState machine = ReadMachineState(context);
  // A signal sent by kill() or raise() has no fault address.
  const bool fault = signalCode > 0;
  CrashRecord record;
  record.address = machine.instruction;
  ExceptionCode code = ExceptionCode::AccessViolation;
  switch (signal) {
    case SIGSEGV:
      code = fault && InStackGuardZone(faultAddress) ? ExceptionCode::StackOverflow
                                                     : ExceptionCode::AccessViolation;
      if (fault) SetAccess(record, machine.write, faultAddress);
      break;
    case SIGBUS:
      code = signalCode == BUS_ADRALN ? ExceptionCode::DatatypeMisalignment
                                      : ExceptionCode::InPageError;
      if (fault) SetAccess(record, machine.write, faultAddress);
      break;
    case SIGFPE:
      code = FloatingPointCode(signalCode);
      break;
    case SIGILL:
      code = signalCode == ILL_PRVOPC || signalCode == ILL_PRVREG
                 ? ExceptionCode::PrivInstruction
                 : ExceptionCode::IllegalInstruction;
      break;
    case SIGTRAP:
      code = signalCode == TRAP_TRACE ? ExceptionCode::SingleStep : ExceptionCode::Breakpoint;
      break;
    case SIGABRT:
      // abort(): see OnTerminate.
      code = ExceptionCode::NoncontinuableException;
      record.flags = ExceptionNoncontinuable;
      break;
    default:
      return record;  // not one of ours: EXCEPTION_UNKNOWN
  }
  record.code = static_cast<std::uint32_t>(code);
  // For these the kernel's si_addr is the faulting instruction itself.
  const bool addressIsInstruction = signal == SIGFPE || signal == SIGILL || signal == SIGTRAP;
  if (record.address == 0 && fault && addressIsInstruction) record.address = faultAddress;
  return record;
}

void InstallCrashReport(const char* programPath) {
  const QByteArray intro = LoadStringResource(IDS_INTERNAL_ERROR_TEXT).toUtf8();
  qstrncpy(g_state.intro, intro.constData(), sizeof g_state.intro);
  PrepareReportFiles(programPath);
  RememberMainStack();
  UseAlternateStack();
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (const int signal : kFatalSignals) sigaction(signal, &action, nullptr);
  std::set_terminate(OnTerminate);
}

int ShowCrashReport(const QString& file) {
  QFile input(file);
  if (!input.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "Cannot read the crash report %s: %s\n", qPrintable(file),
                 qPrintable(input.errorString()));
    return 1;
  }
  const QString text = QString::fromUtf8(input.read(kMaxReportFileSize));
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
    std::fputs(qPrintable(text), stderr);
    return 0;
  }
  QMessageBox box(QMessageBox::Warning, LoadStringResource(IDS_INTERNAL_ERROR), text,
                  QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.exec();
  return 0;
}
