// Toolbar images, drawn on a 16-unit grid so that every straight edge falls
// on a pixel boundary at 16 pixels; the same drawing at scale 2 gives the
// images for high-density screens.
#include <QPainterPath>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "resources/artwork/ArtKit.h"
#include "resources/artwork/Artwork.h"

namespace art {
namespace {

using namespace colour;
using Glyph = std::function<void(QPainter&)>;
constexpr double kPi = std::numbers::pi;

// A rectangle with a one-unit border.
void Box(QPainter& p, const QRectF& r, const QColor& fill, const QColor& border) {
  p.fillRect(r, border);
  p.fillRect(r.adjusted(1, 1, -1, -1), fill);
}

void FillPolygon(QPainter& p, std::initializer_list<QPointF> points, const QColor& colour) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPolygon(QPolygonF(QList<QPointF>(points)));
}

// A sheet of paper with its top-right corner folded over.
void Page(QPainter& p, double x, double y, double w, double h, double fold) {
  FillPolygon(p, {{x, y}, {x + w - fold, y}, {x + w, y + fold}, {x + w, y + h}, {x, y + h}}, kSlate);
  FillPolygon(p, {{x + 1, y + 1}, {x + w - fold - 0.4, y + 1}, {x + w - 1, y + fold + 0.4}, {x + w - 1, y + h - 1}, {x + 1, y + h - 1}},
              kPaper);
  FillPolygon(p, {{x + w - fold, y}, {x + w - fold, y + fold}, {x + w, y + fold}}, kSlate);
  FillPolygon(p, {{x + w - fold + 1, y + 2.4}, {x + w - fold + 1, y + fold - 1}, {x + w - 2.4, y + fold - 1}}, kMist);
}

// Lines of text on a page.
void TextLines(QPainter& p, double x, double y, std::initializer_list<double> widths, const QColor& colour) {
  for (double w : widths) {
    p.fillRect(QRectF(x, y, w, 1), colour);
    y += 2;
  }
}

// ---------------------------------------------------------------- toolbar 128

void Open(QPainter& p) {
  Box(p, QRectF(1, 2, 6, 3), kAmberDark, QColor(160, 92, 0));
  Box(p, QRectF(1, 3, 14, 11), kAmberDark, QColor(160, 92, 0));
  p.fillRect(QRectF(3, 5, 10, 3), kPaper);
  Box(p, QRectF(1, 6, 14, 8), kAmberLight, QColor(176, 104, 0));
  p.fillRect(QRectF(2, 7, 12, 1), QColor(255, 226, 160));
}

void Export(QPainter& p) {
  Page(p, 1, 1, 10, 14, 4);
  TextLines(p, 3, 6, {4, 5, 3, 5}, kBlueLight);
  // The arrow leaves the page to the right.
  const QColor arrow = kTeal;
  p.fillRect(QRectF(6, 6, 5, 5), kPaper);
  p.fillRect(QRectF(6, 7, 5, 3), arrow);
  FillPolygon(p, {{10, 3.5}, {15.5, 8.5}, {10, 13.5}}, kPaper);
  FillPolygon(p, {{11, 5}, {14.5, 8.5}, {11, 12}}, arrow);
}

void Copy(QPainter& p) {
  Box(p, QRectF(1, 1, 9, 11), QColor(236, 241, 246), kSlate);
  TextLines(p, 3, 4, {5, 4, 5}, kMist);
  Box(p, QRectF(6, 4, 9, 11), kPaper, kInk);
  TextLines(p, 8, 7, {5, 4, 5}, kTeal);
}

void Paste(QPainter& p) {
  Box(p, QRectF(1, 2, 11, 13), QColor(222, 150, 60), QColor(150, 90, 20));
  Box(p, QRectF(4, 1, 5, 3), kMist, kInk);
  Box(p, QRectF(6, 6, 9, 9), kPaper, kInk);
  TextLines(p, 8, 8, {5, 4, 5}, kTeal);
}

// Three sliders: the choice of compression mode.
void CompressionMode(QPainter& p) {
  const double knobs[3] = {9, 3, 7};
  const QColor colours[3] = {kTeal, kBlue, kAmber};
  for (int i = 0; i < 3; ++i) {
    const double y = 2 + 5 * i;
    p.fillRect(QRectF(1, y + 1, 14, 1), kSlate);
    Box(p, QRectF(knobs[i], y - 0.0, 4, 3), colours[i], kInk);
  }
}

void Compress(QPainter& p) { DrawPyramid(p, QRectF(1, 1, 15, 15), 2, 1, 0, true); }

// A magnifying glass; `inside` draws into the glass (a 8 x 8 area at 2, 2).
void Lens(QPainter& p, const std::function<void(QPainter&)>& inside) {
  QPen handle(kAmberDark, 3, Qt::SolidLine, Qt::RoundCap);
  p.setPen(handle);
  p.drawLine(QPointF(11, 11), QPointF(14, 14));
  p.setPen(Qt::NoPen);
  p.setBrush(kNavy);
  p.drawEllipse(QRectF(0, 0, 12, 12));
  p.setBrush(QColor(234, 248, 246));
  p.drawEllipse(QRectF(1.6, 1.6, 8.8, 8.8));
  inside(p);
}

void ZoomIn(QPainter& p) {
  Lens(p, [](QPainter& q) {
    q.fillRect(QRectF(3, 5, 6, 2), kNavy);
    q.fillRect(QRectF(5, 3, 2, 6), kNavy);
  });
}

void ZoomOut(QPainter& p) {
  Lens(p, [](QPainter& q) { q.fillRect(QRectF(3, 5, 6, 2), kNavy); });
}

void OriginalSize(QPainter& p) {
  Lens(p, [](QPainter& q) {
    DrawPattern(q, 2, 4, {".#....#", "##.#.##", ".#....#", ".#.#..#", ".#....#"}, {{'#', kNavy}});
  });
}

void ViewScale(QPainter& p) {
  Lens(p, [](QPainter& q) {
    DrawPattern(q, 3, 3, {"#...#", "...#.", "..#..", ".#...", "#...#"}, {{'#', kNavy}});
  });
}

// ---------------------------------------------------------------- user images 153

// The mark with a badge at the lower right: the three compression modes.
void ModeBase(QPainter& p) { DrawPyramid(p, QRectF(0, 0, 11, 11), 2, 1, 0, true); }

// A round badge at the lower right with a white rim. At one pixel per unit
// the discs are drawn cell by cell, so that the rim stays a clean ring.
void Badge(QPainter& p, const QColor& colour) {
  if (p.transform().m11() > 1.01) {
    p.setBrush(kPaper);
    p.drawEllipse(QRectF(7, 6, 9, 9));
    p.setBrush(colour);
    p.drawEllipse(QRectF(8, 7, 7, 7));
    return;
  }
  DrawPattern(p, 7, 6, {"..ooooo..", ".oo###oo.", "oo#####oo", "o#######o", "o#######o", "o#######o", "oo#####oo",
                        ".oo###oo.", "..ooooo.."},
              {{'o', kPaper}, {'#', colour}});
}

void CompressFileSize(QPainter& p) {
  ModeBase(p);
  Badge(p, kAmberDark);
  DrawPattern(p, 9, 7, {"..#..", "..#..", "..#..", "#####", ".###.", "..#.."}, {{'#', kPaper}});
}

void CompressQuality(QPainter& p) {
  ModeBase(p);
  QPainterPath star;
  const QPointF centre(11.5, 10.5);
  for (int i = 0; i < 10; ++i) {
    const double radius = (i % 2 == 0) ? 5.0 : 2.2;
    const double angle = -kPi / 2 + i * kPi / 5;
    const QPointF point = centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    if (i == 0) star.moveTo(point); else star.lineTo(point);
  }
  star.closeSubpath();
  p.setPen(QPen(kPaper, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(kPaper);
  p.drawPath(star);
  p.setPen(QPen(kAmberDark, 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(kAmber);
  p.drawPath(star);
  p.setPen(Qt::NoPen);
}

void CompressLossless(QPainter& p) {
  ModeBase(p);
  Badge(p, kGreen);
  DrawPattern(p, 9, 8, {"....#", "...##", "#.##.", "###..", ".#..."}, {{'#', kPaper}});
}

void Help(QPainter& p) {
  p.setBrush(kBlue);
  p.drawEllipse(QRectF(0, 0, 15, 15));
  DrawPattern(p, 5, 3, {".###.", "##.##", "...##", "..##.", "..#..", ".....", "..#.."},
              {{'#', kPaper}});
  p.fillRect(QRectF(7, 7, 1, 1), kPaper);
}

void ProgramInfo(QPainter& p) { DrawAppTile(p, QRectF(0, 0, 15, 15)); }

void Internet(QPainter& p) {
  const QRectF globe(0, 0, 15, 15);
  p.setBrush(kTeal);
  p.drawEllipse(globe);
  QPainterPath inside;
  inside.addEllipse(globe.adjusted(0.5, 0.5, -0.5, -0.5));
  p.setClipPath(inside, Qt::IntersectClip);
  // Meridians and the equator; without smoothing at one pixel per
  // unit, so that they stay single pixel lines.
  const bool onePixel = p.transform().m11() < 1.01;
  p.setRenderHint(QPainter::Antialiasing, !onePixel);
  const QColor line(214, 246, 240);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(line, onePixel ? 0 : 0.5));
  p.drawEllipse(onePixel ? QRectF(4, 0, 6, 14) : QRectF(4, 0.25, 7, 14.5));
  p.setPen(Qt::NoPen);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.fillRect(QRectF(0, 7, 15, 1), line);
  p.fillRect(QRectF(7, 0, 1, 15), line);
}

void ImageInformation(QPainter& p) {
  Box(p, QRectF(0, 1, 13, 11), QColor(170, 214, 240), kInk);
  DrawPattern(p, 7, 2, {".##.", "####", "####", ".##."}, {{'#', kAmber}});
  FillPolygon(p, {{1, 11}, {1, 8}, {4.5, 5}, {8, 8.5}, {10, 7}, {12, 9}, {12, 11}}, kGreen);
  Badge(p, kNavy);
  p.fillRect(QRectF(11, 8, 1, 1), kPaper);
  p.fillRect(QRectF(11, 10, 1, 3), kPaper);
}

void Customize(QPainter& p) {
  QPainterPath gear;
  const QPointF c(8, 7.5);
  for (int i = 0; i < 8; ++i) {
    const double a = i * kPi / 4;
    const double half = kPi / 11;
    for (double da : {-half * 1.5, -half * 0.6, half * 0.6, half * 1.5}) {
      const bool tooth = (da > -half && da < half);
      const double r = tooth ? 7.4 : 5.2;
      const QPointF point = c + QPointF(r * std::cos(a + da), r * std::sin(a + da));
      if (i == 0 && da < -half) gear.moveTo(point); else gear.lineTo(point);
    }
  }
  gear.closeSubpath();
  gear.addEllipse(c, 2.3, 2.3);
  p.setBrush(kSlate);
  p.drawPath(gear);
}

void FullPage(QPainter& p) {
  p.fillRect(QRectF(4, 4, 8, 7), kTealLight);
  const QColor c = kNavy;
  // Four corners pointing outwards.
  p.fillRect(QRectF(0, 0, 5, 2), c);
  p.fillRect(QRectF(0, 0, 2, 5), c);
  p.fillRect(QRectF(11, 0, 5, 2), c);
  p.fillRect(QRectF(14, 0, 2, 5), c);
  p.fillRect(QRectF(0, 13, 5, 2), c);
  p.fillRect(QRectF(0, 10, 2, 5), c);
  p.fillRect(QRectF(11, 13, 5, 2), c);
  p.fillRect(QRectF(14, 10, 2, 5), c);
}

QImage Strip(const std::vector<Glyph>& glyphs, int width, int height, int scale) {
  QImage image = NewCanvas(static_cast<int>(glyphs.size()) * width * scale, height * scale);
  for (size_t i = 0; i < glyphs.size(); ++i) {
    QPainter p(&image);
    PrepareCanvasPainter(p);
    p.setClipRect(QRect(static_cast<int>(i) * width * scale, 0, width * scale, height * scale));
    p.translate(static_cast<double>(i) * width * scale, 0);
    p.scale(scale, scale);
    glyphs[i](p);
  }
  return image;
}

}  // namespace

QImage ToolbarStrip(int scale) {
  return Strip({Open, Export, Copy, Paste, CompressionMode, Compress, ZoomIn, ZoomOut, OriginalSize, ViewScale}, 16, 16,
               scale);
}

QImage UserStrip(int scale) {
  return Strip({CompressFileSize, CompressQuality, CompressLossless, Help, ProgramInfo, Internet, ImageInformation,
                Customize, FullPage},
               16, 15, scale);
}

}  // namespace art
