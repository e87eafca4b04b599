// The application icon (the mark on a deep-blue tile), the icon of .tvx
// documents and the warning icon. The small sizes are laid out by hand so
// that the bands keep whole pixels.
#include <QFont>
#include <QLinearGradient>
#include <QPainterPath>

#include <cmath>

#include "resources/artwork/ArtKit.h"
#include "resources/artwork/Artwork.h"

namespace art {

using namespace colour;

void DrawAppTile(QPainter& p, const QRectF& box) {
  const double side = box.width();
  QLinearGradient fill(box.topLeft(), box.bottomLeft());
  fill.setColorAt(0, QColor(28, 72, 132));
  fill.setColorAt(1, kNavyDark);
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawRoundedRect(box, side * 0.2, side * 0.2);
  if (side < 24) {
    // 15 or 16 pixels: an 11-pixel mark with two levels.
    const QPointF origin(std::floor(box.x() + 2), std::floor(box.y() + 2));
    DrawPyramid(p, QRectF(origin, QSizeF(11, 11)), 2, 1, 0, true);
  } else {
    // Whole-pixel geometry keeps the band edges sharp at every size.
    const double inset = std::round(side * 0.18);
    const QRectF mark(std::round(box.x() + inset), std::round(box.y() + inset), std::round(side - 2 * inset),
                      std::round(side - 2 * inset));
    DrawPyramid(p, mark, side < 56 ? 2 : 3, std::max(1.0, std::round(side * 0.035)), side < 40 ? 0 : 0.06, true);
  }
  p.restore();
}

QImage ApplicationIconImage(int size) {
  QImage image = NewCanvas(size, size);
  QPainter p(&image);
  PrepareCanvasPainter(p);
  const double margin = size >= 48 ? std::round(size * 0.04) : 0;
  if (size >= 48) {
    // A soft shadow under the tile.
    p.setBrush(QColor(0, 0, 0, 40));
    const QRectF shadow(margin, margin + std::round(size * 0.02), size - 2 * margin, size - 2 * margin);
    p.drawRoundedRect(shadow, size * 0.19, size * 0.19);
  }
  DrawAppTile(p, QRectF(margin, margin, size - 2 * margin, size - 2 * margin));
  return image;
}

QImage DocumentIconImage(int size) {
  QImage image = NewCanvas(size, size);
  QPainter p(&image);
  PrepareCanvasPainter(p);
  const double s = size / 16.0;
  const double x = size >= 32 ? std::round(2.5 * s) : 2, w = size - 2 * x;
  const double y = 0, h = size;
  const double fold = std::round(4 * s);
  const double border = std::max(1.0, std::round(size / 64.0));
  QPainterPath page;
  page.moveTo(x, y);
  page.lineTo(x + w - fold, y);
  page.lineTo(x + w, y + fold);
  page.lineTo(x + w, y + h);
  page.lineTo(x, y + h);
  page.closeSubpath();
  p.setBrush(kSlate);
  p.drawPath(page);
  p.setBrush(kPaper);
  QPainterPath inner;
  inner.moveTo(x + border, y + border);
  inner.lineTo(x + w - fold - border * 0.4, y + border);
  inner.lineTo(x + w - border, y + fold + border * 0.4);
  inner.lineTo(x + w - border, y + h - border);
  inner.lineTo(x + border, y + h - border);
  inner.closeSubpath();
  p.drawPath(inner);
  p.setBrush(kMist);
  p.drawPolygon(QPolygonF({QPointF(x + w - fold, y), QPointF(x + w - fold, y + fold), QPointF(x + w, y + fold)}));
  if (size >= 32) {
    p.setPen(QPen(kSlate, border, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawLine(QPointF(x + w - fold + border / 2, y + border / 2), QPointF(x + w - border / 2, y + fold - border / 2));
    p.setPen(Qt::NoPen);
  }

  if (size < 32) {
    DrawPyramid(p, QRectF(4, 5, 7, 7), 1, 1, 0, true);
    return image;
  }
  const double mark = std::round(w * 0.56);
  const double markX = std::round(x + (w - mark) / 2);
  const double markY = std::round(y + h * 0.22);
  DrawPyramid(p, QRectF(markX, markY, mark, mark), size < 48 ? 1 : (size < 96 ? 2 : 3), std::max(1.0, std::round(mark * 0.05)),
              size < 64 ? 0 : 0.06, true);
  if (size >= 48) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(static_cast<int>(std::round(size * 0.15)));
    p.setFont(font);
    p.setPen(kNavy);
    p.drawText(QRectF(x, markY + mark + size * 0.03, w, size * 0.2), Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("TVX"));
  }
  return image;
}

QImage WarningIconImage(int size) {
  QImage image = NewCanvas(size, size);
  QPainter p(&image);
  PrepareCanvasPainter(p);
  const double s = size / 32.0;
  QPainterPath triangle;
  triangle.moveTo(16 * s, 2.5 * s);
  triangle.lineTo(30 * s, 28.5 * s);
  triangle.lineTo(2 * s, 28.5 * s);
  triangle.closeSubpath();
  p.setPen(QPen(kAmberDark, 3.2 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(kAmberDark);
  p.drawPath(triangle);
  p.setPen(QPen(kAmber, 1.4 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(kAmber);
  p.drawPath(triangle);
  p.setPen(Qt::NoPen);
  p.setBrush(kNavyDark);
  QPainterPath bar;
  bar.moveTo(14.2 * s, 10 * s);
  bar.lineTo(17.8 * s, 10 * s);
  bar.lineTo(17 * s, 20.5 * s);
  bar.lineTo(15 * s, 20.5 * s);
  bar.closeSubpath();
  p.drawPath(bar);
  p.drawEllipse(QPointF(16 * s, 24.2 * s), 1.9 * s, 1.9 * s);
  return image;
}

}  // namespace art
