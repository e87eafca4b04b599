// The splash picture and the About window's background. The splash shows a
// real two-level Haar decomposition of the landscape: the coarse colour
// approximation in the corner, the detail bands as teal edge maps, laid out
// like the product mark.
#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

#include "resources/artwork/ArtKit.h"
#include "resources/artwork/Artwork.h"

namespace art {
namespace {

using namespace colour;

struct Plane {
  int size = 0;
  std::vector<double> values;
  double& at(int x, int y) { return values[size_t(y) * size + x]; }
  double at(int x, int y) const { return values[size_t(y) * size + x]; }
};

Plane Luminance(const QImage& image) {
  Plane plane{image.width(), std::vector<double>(size_t(image.width()) * image.width())};
  for (int y = 0; y < plane.size; ++y) {
    for (int x = 0; x < plane.size; ++x) plane.at(x, y) = qGray(image.pixel(x, y));
  }
  return plane;
}

// One Haar step: the approximation and the three detail bands
// (horizontal, vertical and diagonal detail).
struct HaarLevel {
  Plane approx, horizontal, vertical, diagonal;
};

HaarLevel Haar(const Plane& in) {
  const int half = in.size / 2;
  const auto blank = [half] { return Plane{half, std::vector<double>(size_t(half) * half)}; };
  HaarLevel level{blank(), blank(), blank(), blank()};
  for (int y = 0; y < half; ++y) {
    for (int x = 0; x < half; ++x) {
      const double a = in.at(2 * x, 2 * y), b = in.at(2 * x + 1, 2 * y);
      const double c = in.at(2 * x, 2 * y + 1), d = in.at(2 * x + 1, 2 * y + 1);
      level.approx.at(x, y) = (a + b + c + d) / 4;
      level.horizontal.at(x, y) = (a + b - c - d) / 2;
      level.vertical.at(x, y) = (a - b + c - d) / 2;
      level.diagonal.at(x, y) = (a - b - c + d) / 2;
    }
  }
  return level;
}

// A detail band as an edge map over a faint copy of the picture at the same
// scale: dark blue where flat, teal to pale where the coefficients are large.
QImage DetailImage(const Plane& band, const Plane& approx, double gain) {
  QImage image(band.size, band.size, QImage::Format_RGB32);
  const QColor low(14, 40, 78), mid = colour::kTeal, high(214, 250, 244);
  for (int y = 0; y < band.size; ++y) {
    for (int x = 0; x < band.size; ++x) {
      // Small coefficients stay dark, so that the edges stand out.
      const double edge = std::clamp((std::abs(band.at(x, y)) * gain - 8) / 80, 0.0, 1.0);
      const double t = std::clamp(0.30 * approx.at(x, y) / 255 + 0.8 * edge, 0.0, 1.0);
      const QColor& from = t < 0.6 ? low : mid;
      const QColor& to = t < 0.6 ? mid : high;
      const double k = t < 0.6 ? t / 0.6 : (t - 0.6) / 0.4;
      image.setPixel(x, y, qRgb(int(from.red() + (to.red() - from.red()) * k), int(from.green() + (to.green() - from.green()) * k),
                                int(from.blue() + (to.blue() - from.blue()) * k)));
    }
  }
  return image;
}

void DrawBand(QPainter& p, const QRectF& r, const QImage& image) {
  QPainterPath clip;
  clip.addRoundedRect(r, 3, 3);
  p.save();
  p.setClipPath(clip);
  p.drawImage(r, image);
  p.restore();
}

void DrawDecomposition(QPainter& p, const QRectF& square) {
  // Drawn large and reduced, so that fine textures average out and the
  // bands show the scene's edges.
  const int side = 192;
  const QImage scene = Landscape(4 * side, 2 * side);
  const QImage crop = scene.copy(scene.width() / 2 - side + 40, 0, 2 * side, 2 * side)
                          .scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  const HaarLevel first = Haar(Luminance(crop));
  const HaarLevel second = Haar(first.approx);

  const double gap = 4;
  const double half = (square.width() - gap) / 2;
  const double quarter = (half - gap) / 2;
  const double x1 = square.x() + half + gap, y1 = square.y() + half + gap;
  DrawBand(p, QRectF(x1, square.y(), half, half), DetailImage(first.vertical, first.approx, 2.0));
  DrawBand(p, QRectF(square.x(), y1, half, half), DetailImage(first.horizontal, first.approx, 2.0));
  DrawBand(p, QRectF(x1, y1, half, half), DetailImage(first.diagonal, first.approx, 3.5));
  const double x2 = square.x() + quarter + gap, y2 = square.y() + quarter + gap;
  DrawBand(p, QRectF(x2, square.y(), quarter, quarter), DetailImage(second.vertical, second.approx, 1.2));
  DrawBand(p, QRectF(square.x(), y2, quarter, quarter), DetailImage(second.horizontal, second.approx, 1.2));
  DrawBand(p, QRectF(x2, y2, quarter, quarter), DetailImage(second.diagonal, second.approx, 2.0));
  // The coarse approximation keeps its colour, framed in the accent.
  const QRectF approx(square.x(), square.y(), quarter, quarter);
  p.setBrush(kAmber);
  p.drawRoundedRect(approx, 3, 3);
  DrawBand(p, approx.adjusted(2, 2, -2, -2), crop.scaled(side / 4, side / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

QFont Font(int pixels, bool bold, double spacing = 0) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  if (spacing != 0) font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
  return font;
}

}  // namespace

QImage SplashPicture() {
  QImage image(485, 251, QImage::Format_RGB32);
  QPainter p(&image);
  PrepareCanvasPainter(p);
  QLinearGradient background(QPointF(0, 0), QPointF(485, 251));
  background.setColorAt(0, QColor(24, 66, 124));
  background.setColorAt(1, QColor(8, 24, 52));
  p.fillRect(image.rect(), background);

  p.setBrush(QColor(0, 0, 0, 60));
  p.drawRoundedRect(QRectF(26, 30, 198, 198), 6, 6);
  DrawDecomposition(p, QRectF(24, 26, 196, 196));

  const double left = 252;
  p.setFont(Font(54, true, 2));
  p.setPen(kPaper);
  p.drawText(QPointF(left, 96), QStringLiteral("TAVIX"));
  p.setFont(Font(36, false));
  p.setPen(kTealLight);
  p.drawText(QPointF(left + 2, 140), QStringLiteral("Photo"));
  const double photoWidth = QFontMetricsF(Font(36, false)).horizontalAdvance(QStringLiteral("Photo "));
  p.setFont(Font(36, true));
  p.setPen(kAmber);
  p.drawText(QPointF(left + 2 + photoWidth, 140), QStringLiteral("2.5"));
  p.fillRect(QRectF(left + 3, 158, 56, 3), kAmber);
  p.setFont(Font(15, false));
  p.setPen(QColor(196, 216, 238));
  p.drawText(QPointF(left + 2, 186), QStringLiteral("Wavelet image compression"));
  return image;
}

QImage AboutBackground() {
  QImage image(532, 218, QImage::Format_RGB32);
  QPainter p(&image);
  PrepareCanvasPainter(p);
  QLinearGradient background(QPointF(0, 0), QPointF(0, 218));
  background.setColorAt(0, QColor(250, 252, 254));
  background.setColorAt(1, QColor(226, 234, 243));
  p.fillRect(image.rect(), background);
  p.fillRect(QRectF(0, 0, 532, 4), kNavy);
  p.fillRect(QRectF(0, 215, 532, 3), kAmber);

  // The mark and the name in the left column.
  DrawAppTile(p, QRectF(29, 24, 80, 80));
  p.setFont(Font(14, true));
  p.setPen(kNavy);
  p.drawText(QRectF(0, 112, 138, 18), Qt::AlignHCenter, QStringLiteral("TAVIX Photo"));
  p.setPen(kAmberDark);
  p.drawText(QRectF(0, 130, 138, 18), Qt::AlignHCenter, QStringLiteral("2.5"));
  p.setPen(Qt::NoPen);

  // A quiet echo of the mark on the right.
  p.setOpacity(0.22);
  DrawPyramid(p, QRectF(414, 24, 98, 98), 3, 4, 0.06);
  p.setOpacity(1);

  // The picture's frame and shadow; the picture itself is drawn by the window.
  for (int i = 3; i >= 1; --i) {
    p.setBrush(QColor(20, 40, 70, 14 * (4 - i)));
    p.drawRoundedRect(QRectF(138 - i, 20 - i + 2, 256 + 2 * i, 128 + 2 * i), i + 1, i + 1);
  }
  p.fillRect(QRectF(137, 19, 258, 130), QColor(150, 164, 182));
  p.fillRect(QRectF(138, 20, 256, 128), QColor(200, 208, 218));
  return image;
}

}  // namespace art
