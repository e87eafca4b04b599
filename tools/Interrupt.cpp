#include "tools/Interrupt.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

// The path lives in a fixed buffer so the handler needs no allocation;
// `pendingReady` says whether it is complete.
char pendingPath[4096];
std::atomic<bool> pendingReady{false};

// Empties and removes the folder with system calls only (no opendir, which
// allocates): the handler may have interrupted malloc.
void RemoveFolder(const char* path) {
  const int folder = open(path, O_RDONLY | O_DIRECTORY);
  if (folder < 0) return;
  alignas(8) char entries[4096];
  long got = 0;
  while ((got = syscall(SYS_getdents64, folder, entries, sizeof entries)) > 0) {
    for (long offset = 0; offset < got;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(entries + offset);
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        unlinkat(folder, entry->d_name, 0);
      offset += entry->d_reclen;
    }
  }
  close(folder);
  rmdir(path);
}

void RemovePendingAndExit(int signal) {
  if (pendingReady.load()) RemoveFolder(pendingPath);
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
}

void SetPendingFolder(const char* path) {
  pendingReady.store(false);
  if (std::strlen(path) >= sizeof pendingPath) return;
  std::strcpy(pendingPath, path);
  pendingReady.store(true);
}

void ClearPendingFolder() { pendingReady.store(false); }
