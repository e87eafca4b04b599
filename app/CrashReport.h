// The crash report. Fatal signals and std::terminate are turned into an
// exception record named after the Win32 exception codes; its report is
// written to a file under $XDG_STATE_HOME/TAVIX and to stderr, and a second
// copy of the program (started with "--show-crash-report FILE") shows it in
// a message box, because no GUI may run inside a signal handler.
//
// Environment: TAVIX_CRASH_VIEWER=none keeps the crashed process from
// starting the viewer (tests and headless runs use it); the report is still
// written. The viewer itself runs with it set, so that a viewer that crashes
// too cannot start viewer after viewer.
#pragma once

#include <cstddef>
#include <cstdint>

class QString;

// Win32 exception codes; the report prints them by their Win32 names.
enum class ExceptionCode : std::uint32_t {
  AccessViolation = 0xC0000005,
  InPageError = 0xC0000006,
  IllegalInstruction = 0xC000001D,
  NoncontinuableException = 0xC0000025,
  InvalidDisposition = 0xC0000026,
  ArrayBoundsExceeded = 0xC000008C,
  FltDenormalOperand = 0xC000008D,
  FltDivideByZero = 0xC000008E,
  FltInexactResult = 0xC000008F,
  FltInvalidOperation = 0xC0000090,
  FltOverflow = 0xC0000091,
  FltStackCheck = 0xC0000092,
  FltUnderflow = 0xC0000093,
  IntDivideByZero = 0xC0000094,
  IntOverflow = 0xC0000095,
  PrivInstruction = 0xC0000096,
  StackOverflow = 0xC00000FD,
  DatatypeMisalignment = 0x80000002,
  Breakpoint = 0x80000003,
  SingleStep = 0x80000004,
};

// Exception flags as the report knows them.
constexpr std::uint32_t ExceptionContinuable = 0;
constexpr std::uint32_t ExceptionNoncontinuable = 1;

// One exception record; `chained` points at the record of an exception
// raised while handling this one (nullptr when there is none).
struct CrashRecord {
  static constexpr std::uint32_t MaxParameters = 2;
  std::uint32_t code = 0;
  std::uint32_t flags = ExceptionContinuable;
  std::uint64_t address = 0;      // instruction that raised it
  std::uint32_t parameterCount = 0;
  std::uint64_t parameters[MaxParameters] = {};  // {write flag, fault address}
  const CrashRecord* chained = nullptr;
};

// The report of `record` and its chain. Both functions are async-signal-
// safe: they write at most size - 1 characters into `buffer`, always end it
// with a NUL (when size > 0) and return the number of characters written.
std::size_t FormatCrashReport(const CrashRecord& record, char* buffer, std::size_t size);
// The whole text of the box: `intro` (string IDS_INTERNAL_ERROR_TEXT), the
// support address, "'.\n\n", then the report.
std::size_t FormatCrashMessage(const CrashRecord& record, const char* intro, char* buffer,
                               std::size_t size);

// The record for signal `signal` with si_code `signalCode`, fault address
// `faultAddress` (si_addr) and the handler's ucontext `context` (may be
// nullptr). Async-signal-safe.
CrashRecord CrashRecordFromSignal(int signal, int signalCode, std::uint64_t faultAddress,
                                  const void* context);

// Installs the handlers for SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP,
// SIGABRT and std::terminate on the calling (main) thread, with an
// alternate signal stack so that a stack overflow is reported too.
// `programPath` is the program to start as the viewer when
// /proc/self/exe cannot be read; nullptr is allowed.
void InstallCrashReport(const char* programPath);

// The viewer: shows the report in `file` in a warning box "Internal Error"
// and returns 0; 1 when the file cannot be read. Needs a QApplication. On
// the offscreen and minimal platforms nobody could close the box, so the
// text goes to stderr instead.
int ShowCrashReport(const QString& file);
