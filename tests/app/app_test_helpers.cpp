#include "app_test_helpers.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QDir>

int g_nTestNumber = 0;

CMessageBoxRecorder::CMessageBoxRecorder(QMessageBox::StandardButton answerWith) : answer(answerWith) {
  connect(&m_timer, &QTimer::timeout, this, &CMessageBoxRecorder::poll);
  m_timer.start(10);
}

void CMessageBoxRecorder::poll() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (!box || !box->isVisible() || box->property("tavixAnswered").toBool())
      continue;
    box->setProperty("tavixAnswered", true);
    texts.append(box->text());
    icons.append(box->icon());
    QAbstractButton* button = box->button(answer);
    if (!button)
      button = box->defaultButton() ? static_cast<QAbstractButton*>(box->defaultButton()) : box->buttons().value(0);
    if (button)
      button->click();
    else
      box->close();
  }
}

QString ScreenshotFolder() {
  const QString folder = qEnvironmentVariable("TAVIX_SCREENSHOT_DIR", QDir::currentPath());
  QDir().mkpath(folder);
  return folder;
}
