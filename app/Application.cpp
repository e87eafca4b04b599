#include "app/Application.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "app/CrashReport.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "app/SingleInstance.h"
#include "app/TXPhotoApp.h"
#include "resources/Bitmaps.h"

namespace {
constexpr int kHandOverTimeoutMs = 3000;
constexpr int kScreenshotDelayMs = 1500;

void PrintUsage(const QString& error) {
  std::fprintf(stderr,
               "TavixPhoto: %s\n"
               "usage: TavixPhoto [--new-instance] [--palette-display] [--no-splash] [--screenshot FILE] "
               "[FILE...]\n",
               qPrintable(error));
}

// Saves the main window to `file` once it has settled, then ends the program.
void ScheduleScreenshot(CMainFrame* frame, const QString& file) {
  QTimer::singleShot(kScreenshotDelayMs, frame, [frame, file] {
    const bool saved = frame->grab().save(file);
    std::fprintf(stderr, saved ? "TavixPhoto: screenshot saved to %s\n" : "TavixPhoto: cannot write %s\n",
                 qPrintable(QDir::toNativeSeparators(file)));
    frame->close();
  });
}
}  // namespace

int RunTavixPhoto(int argc, char* argv[]) {
  InstallCrashReport(argv[0]);
  QApplication application(argc, argv);
  const CCommandLineInfo commandLine = CCommandLineInfo::Parse(QApplication::arguments());
  if (!commandLine.m_strCrashReport.isEmpty())
    return ShowCrashReport(commandLine.m_strCrashReport);
  if (!commandLine.m_strError.isEmpty()) {
    PrintUsage(commandLine.m_strError);
    return 2;
  }
  QApplication::setWindowIcon(ApplicationIcon());

  // A second start with files hands them to the program already running.
  if (!commandLine.m_bNewInstance && !commandLine.m_files.isEmpty()) {
    CSingleInstance handOver;
    if (handOver.TryHandOver(commandLine.m_files, kHandOverTimeoutMs))
      return 0;
  }

  CTXPhotoApp app;
  if (!app.InitInstance(commandLine)) {
    app.ExitInstance();
    return 1;
  }
  if (!commandLine.m_strScreenshot.isEmpty())
    ScheduleScreenshot(app.MainFrame(), QFileInfo(commandLine.m_strScreenshot).absoluteFilePath());
  const int result = QApplication::exec();
  app.ExitInstance();
  return result;
}
