// Removes the temporary output folder when the tool is interrupted (Ctrl+C,
// SIGTERM, SIGHUP), so a stopped run leaves nothing behind: neither our
// temporary file nor the staging files of the image layer's writers.
#pragma once

// Installs the handlers; the program calls it once at start-up.
void InstallInterruptCleanup();

// The temporary folder being written now (one at a time), or none.
void SetPendingFolder(const char* path);
void ClearPendingFolder();
