#include "app/ProgressBar.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "app/MainFrame.h"
#include "app/TXPhotoApp.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

constexpr char kPaneProperty[] = "tavixPane";

// The integer part of `value`, kept inside int (NaN counts as 0).
int TruncToInt(double value) {
  if (std::isnan(value))
    return 0;
  return static_cast<int>(std::clamp(std::trunc(value), double(INT_MIN), double(INT_MAX)));
}

// A pane's rectangle in status-bar coordinates.
QRect PaneRect(QStatusBar* statusBar, QLabel* pane) {
  return QRect(pane->mapTo(statusBar, QPoint(0, 0)), pane->size());
}

}  // namespace

// ---------------------------------------------------------------- CProgressBar

CProgressBar::CProgressBar() {
  setObjectName(QStringLiteral("CProgressBar"));
  setTextVisible(false);
}

CProgressBar::CProgressBar(const QString& message, int size, int maxValue, bool smooth, int pane)
    : CProgressBar() {
  Create(message, size, maxValue, smooth, pane);
}

CProgressBar::~CProgressBar() { Clear(); }

QStatusBar* CProgressBar::GetStatusBar() {
  QMainWindow* window = nullptr;
  if (CTXPhotoApp* app = CTXPhotoApp::Instance())
    window = app->MainFrame();
  if (!window) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      window = qobject_cast<QMainWindow*>(widget);
      if (window)
        break;
    }
  }
  // QMainWindow::statusBar() would make one; a window without a status bar has none.
  return window ? window->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QLabel* CProgressBar::StatusPane(QStatusBar* statusBar, int index) {
  if (!statusBar)
    return nullptr;
  for (QLabel* label : statusBar->findChildren<QLabel*>()) {
    const QVariant pane = label->property(kPaneProperty);
    if (pane.isValid() && pane.toInt() == index)
      return label;
  }
  return nullptr;
}

bool CProgressBar::Create(const QString& message, int size, int maxValue, bool smooth, int pane) {
  QStatusBar* statusBar = GetStatusBar();
  QLabel* paneLabel = StatusPane(statusBar, pane);
  if (m_bCreated || !paneLabel)
    return false;
  setParent(statusBar);
  setGeometry(PaneRect(statusBar, paneLabel));
  m_bSmooth = smooth;
  setRange(0, maxValue);
  setValue(0);
  m_nStep = 1;
  m_bCreated = true;
  show();
  raise();
  m_strMessage = message;
  m_nSize = std::clamp(size, 0, 100);
  m_nPane = pane;
  m_strPrevText = paneLabel->text();
  watch(statusBar, paneLabel);
  Resize();
  return true;
}

void CProgressBar::watch(QStatusBar* statusBar, QLabel* pane) {
  statusBar->installEventFilter(this);
  pane->installEventFilter(this);
}

bool CProgressBar::SetRange(int lower, int upper, int step) {
  if (!m_bCreated)
    return false;
  setRange(lower, upper);
  m_nStep = step;
  return true;
}

void CProgressBar::SetStep(int step) {
  if (!m_bCreated)
    return;
  show();
  m_nStep = step;
}

int CProgressBar::SetPos(int pos) {
  if (!m_bCreated)
    return 0;
  show();
  const int previous = value();
  // Like a native progress control, a position outside the range is pinned to it.
  setValue(std::clamp(pos, minimum(), std::max(minimum(), maximum())));
  return previous;
}

void CProgressBar::SetText(const QString& message) {
  m_strMessage = message;
  Resize();
}

bool CProgressBar::Resize() {
  QStatusBar* statusBar = GetStatusBar();
  QLabel* pane = StatusPane(statusBar, m_nPane);
  if (!m_bCreated || !pane || m_bResizing)
    return false;
  m_bResizing = true;
  if (isVisible()) {
    pane->setText(m_strMessage);
    statusBar->repaint();
  }
  const QFontMetrics metrics = statusBar->fontMetrics();
  const int t = metrics.horizontalAdvance(m_strMessage);
  const int s = metrics.horizontalAdvance(QStringLiteral(" "));

  const QRect rc = PaneRect(statusBar, pane);
  int left = rc.x();
  int right = rc.x() + rc.width();
  int top = rc.y();
  int bottom = rc.y() + rc.height();
  if (!m_strMessage.isEmpty())
    left += t + 4 * s;
  // The bar takes m_nSize percent of what the message leaves, and never less than nothing.
  right = std::max(left, right - (100 - m_nSize) * (right - left) / 100);
  const int inset = (bottom - top) / 10;
  top += inset;
  bottom -= inset;

  const QRect bar(QPoint(left, top), QSize(right - left, bottom - top));
  if (bar != m_rcBar) {
    setGeometry(bar);
    if (isVisible())
      repaint();
    m_rcBar = bar;
  }
  m_bResizing = false;
  return true;
}

void CProgressBar::Clear() {
  if (!m_bCreated)
    return;
  hide();
  QStatusBar* statusBar = GetStatusBar();
  QLabel* pane = StatusPane(statusBar, m_nPane);
  if (!pane)
    return;
  pane->setText(m_nPane == 0 ? LoadStringResource(AFX_IDS_IDLEMESSAGE) : m_strPrevText);
  statusBar->repaint();
}

bool CProgressBar::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
  case QEvent::Resize:
  case QEvent::Move:
  case QEvent::Show:
    Resize();
    break;
  default:
    break;
  }
  return QProgressBar::eventFilter(watched, event);
}

// ---------------------------------------------------------------- TXprogress subclasses

namespace {

void ResetProgress(uint16_t& active, double& value, double& low, double& high, double& limit) {
  active = 1;
  value = 0.0;
  low = 0.0;
  high = 1.0;
  limit = 0.0;
}

}  // namespace

CByteProgress::CByteProgress(CProgressBar* bar) : m_pBar(bar) {
  ResetProgress(active, progressValue, windowLow, windowHigh, taskLimit);
}

bool CByteProgress::progressChanged() {
  const double v = getProgressValue();
  if (!m_pBar)
    return true;
  if (v >= 0)
    m_pBar->SetPos(TruncToInt(v * 100));
  else
    m_pBar->SetText(QString::asprintf(LoadStringResource(IDS_BYTES_WRITTEN).toUtf8().constData(), TruncToInt(-v)));
  return true;
}

CPreviewEncodeProgress::CPreviewEncodeProgress(CProgressBar* bar) : m_pBar(bar) {
  ResetProgress(active, progressValue, windowLow, windowHigh, taskLimit);
}

bool CPreviewEncodeProgress::progressChanged() {
  const double v = getProgressValue();
  if (!m_pBar)
    return true;
  if (v >= 0)
    m_pBar->SetPos(TruncToInt(v * 100));
  else
    m_pBar->SetText(QString::asprintf("%d ", TruncToInt(-v)) + LoadStringResource(IDS_BYTE_COMPUTED));
  return true;
}

CPreviewDecodeProgress::CPreviewDecodeProgress(CProgressBar* bar) : m_pBar(bar) {
  ResetProgress(active, progressValue, windowLow, windowHigh, taskLimit);
}

bool CPreviewDecodeProgress::progressChanged() {
  const double v = getProgressValue();
  if (m_pBar && v >= 0)
    m_pBar->SetPos(TruncToInt((v + 1) * 100));
  return true;
}

// ---------------------------------------------------------------- TavixProgressFunc

int TavixProgressFunc(unsigned done, unsigned total) {
  CTXPhotoApp* app = CTXPhotoApp::Instance();
  CMainFrame* frame = app ? app->MainFrame() : nullptr;
  // A total of 0 has no fraction to show; the bar keeps its position.
  if (!frame || !frame->m_pProgressBar || total == 0)
    return 1;
  const uint64_t percent = uint64_t(done) * 100 / total;
  frame->m_pProgressBar->SetPos(int(std::min<uint64_t>(percent, INT_MAX)));
  return 1;
}

// ---------------------------------------------------------------- CProgressOperation

CProgressOperation::CProgressOperation(const QString& message, int maxValue) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  m_pBar = new CProgressBar(message, 40, maxValue, true, 0);
  if (CTXPhotoApp* app = CTXPhotoApp::Instance())
    m_pFrame = app->MainFrame();
  if (m_pFrame) {
    m_pFrame->m_pProgressBar = m_pBar.data();
    m_pStored = m_pBar.data();
  }
  m_pBar->SetPos(0);
}

CProgressOperation::~CProgressOperation() {
  if (m_pFrame && m_pStored && m_pFrame->m_pProgressBar == m_pStored)
    m_pFrame->m_pProgressBar = nullptr;
  delete m_pBar.data();
  QApplication::restoreOverrideCursor();
}
