// The whole program behind main(): the QApplication, the crash report, the
// application object and the event loop.
#pragma once

int RunTavixPhoto(int argc, char* argv[]);
