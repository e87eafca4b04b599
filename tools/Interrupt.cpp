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

// The scratch folder and its two files, spelled out ahead of time.
char scratchFolder[4096];
char scratchIn[4096 + 4];
char scratchOut[4096 + 4];
std::atomic<bool> scratchReady{false};

void RemovePendingAndExit(int signal) {
  if (pendingReady.load()) unlink(pendingPath);
  if (scratchReady.load()) {
    unlink(scratchIn);
    unlink(scratchOut);
    rmdir(scratchFolder);
  }
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
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(signal, &action, nullptr);
  signal(SIGXFSZ, SIG_IGN);
}

void SetPendingFile(const char* path) {
  pendingReady.store(false);
  if (std::strlen(path) >= sizeof pendingPath) return;
  std::strcpy(pendingPath, path);
  pendingReady.store(true);
}

void ClearPendingFile() { pendingReady.store(false); }

void SetScratchFolder(const char* folder) {
  scratchReady.store(false);
  const size_t length = std::strlen(folder);
  if (length >= sizeof scratchFolder) return;
  std::memcpy(scratchFolder, folder, length + 1);
  std::memcpy(scratchIn, folder, length);
  std::memcpy(scratchIn + length, "/in", 4);
  std::memcpy(scratchOut, folder, length);
  std::memcpy(scratchOut + length, "/out", 5);
  scratchReady.store(true);
}

void ClearScratchFolder() { scratchReady.store(false); }
