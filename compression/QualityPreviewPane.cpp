#include "compression/QualityPreviewPane.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "app/ControlIds.h"
#include "docview/QtDrawContext.h"
#include "image/Dib.h"
#include "resources/resource.h"

bool QualityZoomAllowed(double zoom, int imageWidth, int imageHeight, int paneWidth, int paneHeight) {
  if (zoom < 1.0 || zoom > kMaxPreviewZoom)
    return false;
  return imageWidth >= static_cast<int>(paneWidth / zoom) && imageHeight >= static_cast<int>(paneHeight / zoom);
}

int WorkMargin(int origin, int workExtent, int visibleExtent, int imageExtent) {
  int margin = std::min((workExtent - visibleExtent) / 2, origin);
  margin = std::max(margin, origin + workExtent - imageExtent);
  return margin;
}

int ClampPreviewOrigin(int origin, int visibleExtent, double factor, int imageExtent) {
  const int last = imageExtent - static_cast<int>(visibleExtent / factor + 1.5);
  return std::max(std::min(origin, last), 0);
}

CQualityPreviewPane::CQualityPreviewPane(QWidget* parent) : QFrame(parent) {
  Identify(this, IDC_QUALITY_PANE, "IDC_QUALITY_PANE");
  setAccessibleName(QStringLiteral("Preview"));
  setFrameStyle(QFrame::Box | QFrame::Sunken);  // etched
  setMouseTracking(true);
}

void CQualityPreviewPane::SetImage(CDib* work, const QRect& source) {
  m_pWork = work;
  m_rcSource = source;
  update();
}

void CQualityPreviewPane::SetDraggable(bool draggable) {
  m_bDraggable = draggable;
  updateCursor(false);
}

void CQualityPreviewPane::updateCursor(bool pressed) {
  if (m_bDraggable)
    setCursor(pressed ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
  else
    unsetCursor();
}

void CQualityPreviewPane::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect inside = contentsRect();
  painter.setClipRect(inside);
  const bool drawn = m_pWork && !m_rcSource.isEmpty() && [&] {
    CQtDrawContext context(&painter, m_pWork->IsPaletteDisplay());
    return m_pWork->Draw(&context, inside.x(), inside.y(), inside.width(), inside.height(), m_rcSource.x(),
                         m_rcSource.y(), m_rcSource.width(), m_rcSource.height()) != 0;
  }();
  if (!drawn)
    painter.fillRect(inside, QColor(kPaneGrey, kPaneGrey, kPaneGrey));
}

void CQualityPreviewPane::mousePressEvent(QMouseEvent* event) {
  if (m_bDraggable && event->button() == Qt::LeftButton)
    updateCursor(true);
  m_ptLast = event->globalPosition().toPoint();
  QFrame::mousePressEvent(event);
}

void CQualityPreviewPane::mouseMoveEvent(QMouseEvent* event) {
  trackMouse(event->globalPosition().toPoint(), event->buttons().testFlag(Qt::LeftButton));
  QFrame::mouseMoveEvent(event);
}

void CQualityPreviewPane::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    updateCursor(false);
  QFrame::mouseReleaseEvent(event);
}

void CQualityPreviewPane::leaveEvent(QEvent* event) {
  m_bOverPane = false;
  QFrame::leaveEvent(event);
}

// The pane and the point in screen coordinates, so that a drag that leaves
// the pane (the pane keeps the mouse while the button is held) stops moving
// the picture until it comes back.
void CQualityPreviewPane::trackMouse(const QPoint& globalPos, bool leftDown) {
  const QRect pane(mapToGlobal(QPoint(0, 0)), size());
  m_bOverPane = pane.contains(globalPos);
  if (m_bDraggable && m_bOverPane && leftDown && globalPos != m_ptLast) {
    const QPoint delta = globalPos - m_ptLast;
    m_ptLast = globalPos;
    emit dragged(delta.x(), delta.y());
    return;
  }
  m_ptLast = globalPos;
}
