// Shared by the application's QtTest suites.
#pragma once

#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

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

// Bumped by a suite before each test, so that answers still waiting from an
// earlier test are dropped.
extern int g_nTestNumber;

// Calls `answer` with the next modal dialog of type T once it is up.
template <class T>
void AnswerModal(std::function<void(T*)> answer, int triesLeft = 500, int test = g_nTestNumber) {
  QTimer::singleShot(20, [answer, triesLeft, test] {
    if (test != g_nTestNumber)
      return;
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget()))
      return answer(dialog);
    if (triesLeft > 0)
      AnswerModal<T>(answer, triesLeft - 1, test);
  });
}
