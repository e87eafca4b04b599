// Removes the staging file of the output being written when the tool is
// interrupted (Ctrl+C, SIGTERM, SIGHUP, or SIGPIPE when the reader of its
// output went away), so a stopped run leaves nothing behind, and makes an
// over-large write an ordinary write error.
#pragma once

// Installs the handlers and ignores SIGXFSZ (a write past `ulimit -f` then
// fails with EFBIG); the program calls it once at start-up.
void InstallInterruptCleanup();

// The staging file being written now (one at a time), or none.
void SetPendingFile(const char* path);
void ClearPendingFile();

// The private folder that holds standard input and output as the files
// "in" and "out" while the tool works on them; both and the folder are
// removed too when the tool is interrupted.
void SetScratchFolder(const char* folder);
void ClearScratchFolder();
