#include "tools/Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

// The path lives in a fixed buffer so the handler needs no allocation;
// `pendingReady` says whether it is complete.
char pendingPath[4096];
std::atomic<bool> pendingReady{false};

void RemovePendingAndExit(int signal) {
  if (pendingReady.load()) unlink(pendingPath);
  // Die of the same signal, so the caller sees how the run ended.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigaction(signal, &action, nullptr);
  raise(signal);
}

}  // namespace

void InstallInterruptCleanup() {
  struct sigaction action {};
  action.sa_handler = RemovePendingAndExit;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  signal(SIGXFSZ, SIG_IGN);
}

void SetPendingFile(const char* path) {
  pendingReady.store(false);
  if (std::strlen(path) >= sizeof pendingPath) return;
  std::strcpy(pendingPath, path);
  pendingReady.store(true);
}

void ClearPendingFile() { pendingReady.store(false); }
