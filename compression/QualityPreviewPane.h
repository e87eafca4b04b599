// CQualityPreviewPane: the preview pane of the Quality dialog (control 1035,
// an etched frame). It draws a window of a work image stretched over its
// inside, or the neutral grey when there is nothing to show, and reports
// mouse drags over itself. The arithmetic of the preview window lives beside
// it as plain functions, shared with the tests.
#pragma once

#include <QFrame>
#include <QPoint>
#include <QRect>

class CDib;

// The grey of pane areas that show no image.
inline constexpr int kPaneGrey = 100;

// Zoom steps of "+" and "--" (their product is exactly 1.0 in doubles).
inline constexpr double kZoomInFactor = 1.4142;
inline constexpr double kZoomOutFactor = 0.7071135624381276;
inline constexpr double kMaxPreviewZoom = 4.0;

// True when `zoom` may be used: 1 <= zoom <= 4 and the image still covers
// the pane at that zoom (at least pane / zoom pixels in each direction).
bool QualityZoomAllowed(double zoom, int imageWidth, int imageHeight, int paneWidth, int paneHeight);

// Position of the visible part inside the work window along one axis: half
// the spare room, but no more than `origin` and no less than what keeps the
// window [origin - margin, origin - margin + workExtent) inside the image.
int WorkMargin(int origin, int workExtent, int visibleExtent, int imageExtent);

// The origin kept within 0 .. imageExtent - int(visibleExtent / factor + 1.5),
// `factor` being the zoom step just taken (1 when dragging).
int ClampPreviewOrigin(int origin, int visibleExtent, double factor, int imageExtent);

class CQualityPreviewPane : public QFrame {
  Q_OBJECT
public:
  explicit CQualityPreviewPane(QWidget* parent = nullptr);

  // What to draw: `source` of `work` in Draw's coordinates (bottom-up rows),
  // stretched over the inside; null draws the grey. Repaints later.
  void SetImage(CDib* work, const QRect& source);
  // Dragging on: the hand cursor over the pane and dragged() while the left
  // button is held; off: the default cursor and no drags.
  void SetDraggable(bool draggable);
  bool IsDraggable() const { return m_bDraggable; }
  bool IsOverPane() const { return m_bOverPane; }

signals:
  // The mouse moved by (dx, dy) screen pixels with the left button down
  // inside the pane.
  void dragged(int dx, int dy);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

private:
  void trackMouse(const QPoint& globalPos, bool leftDown);
  void updateCursor(bool pressed);

  CDib* m_pWork = nullptr;
  QRect m_rcSource;
  bool m_bDraggable = false;
  bool m_bOverPane = false;
  QPoint m_ptLast;
};
