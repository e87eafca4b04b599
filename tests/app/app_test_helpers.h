// Shared by the application's QtTest suites.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

// While it lives, answers every message box that comes up (modal or not)
// with `answer` and keeps the texts and icons in the order they came.
class CMessageBoxRecorder : public QObject {
  Q_OBJECT
public:
  explicit CMessageBoxRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok);
  QStringList texts;
  QList<QMessageBox::Icon> icons;
  QMessageBox::StandardButton answer;

private:
  void poll();
  QTimer m_timer;
};

// The folder screenshots go to ($TAVIX_SCREENSHOT_DIR, else the current one).
QString ScreenshotFolder();
