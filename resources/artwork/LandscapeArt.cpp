// A procedural landscape: sky with clouds, two mountain ranges with snow,
// a forest, a lake with reflections, a meadow, trees, a cabin, a sailing
// boat and a sign. It is busy on purpose: edges and textures of every scale
// show what coarse wavelet quantisation does and how the detail returns.
#include <QFont>
#include <QLinearGradient>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

#include "resources/artwork/ArtKit.h"
#include "resources/artwork/Artwork.h"

namespace art {
namespace {

struct Rgb {
  double r, g, b;
};

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Scale(const Rgb& c, double k) { return {c.r * k, c.g * k, c.b * k}; }

double SmoothStep(double lo, double hi, double x) {
  const double t = std::clamp((x - lo) / (hi - lo), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Sharp-crested noise for mountain ridges.
double Ridged(double u, unsigned seed) { return 1 - std::abs(2 * FractalNoise(u, 0.37, 6, seed) - 1); }

// Vertical positions (0 top, 1 bottom) of the scene's lines at column u.
constexpr double kHorizon = 0.60;
double FarRidge(double u) { return 0.40 - 0.15 * Ridged(u * 2.4, 11); }
double NearRidge(double u) {
  const double peak = std::pow(std::max(0.0, 1 - std::abs(u - 0.60) / 0.27), 1.2);
  const double second = std::max(0.0, 1 - std::abs(u - 0.15) / 0.17);
  return 0.55 - 0.31 * peak - 0.14 * second - 0.07 * (Ridged(u * 3.1, 23) - 0.5) - 0.03 * (Ridged(u * 13, 29) - 0.5);
}
// The far shore's forest: a row of small spruce tips.
double ForestTop(double u) {
  const double position = u * 110 + 5 * FractalNoise(u * 9, 0.1, 3, 5);
  const double tip = std::abs(std::fmod(position, 1.0) - 0.5) * 2;
  const double tall = ValueNoise(std::floor(position), 0.5, 6);
  return 0.565 + 0.012 * FractalNoise(u * 6, 0.2, 3, 7) + (0.012 + 0.014 * tall) * tip - 0.01 * tall;
}
double Shore(double u) { return 0.79 + 0.025 * std::sin(u * 5.3 + 1) + 0.02 * FractalNoise(u * 12, 0.3, 3, 9); }

Rgb Sky(double u, double v, double aspect) {
  Rgb c = Mix({62, 112, 186}, {206, 224, 242}, SmoothStep(0.0, kHorizon, v));
  const double sunDistance = std::hypot((u - 0.82) * aspect, v - 0.12);
  c = Mix(c, {255, 250, 228}, std::exp(-sunDistance * 9) * 0.8);
  if (sunDistance < 0.045) c = {255, 253, 240};
  const double cloud = FractalNoise(u * 5 * aspect, v * 16, 6, 31);
  const double density = SmoothStep(0.50, 0.72, cloud) * (1 - SmoothStep(0.15, 0.45, v));
  const double underside = FractalNoise(u * 5 * aspect, v * 16 - 0.35, 6, 31);
  const Rgb cloudColour = Mix({250, 251, 253}, {168, 178, 196}, SmoothStep(0.45, 0.75, underside) * 0.7);
  return Mix(c, cloudColour, density);
}

// Light on a ridged height field, from the upper right where the sun is.
// Few octaves and a wide difference step keep the rock calm: faces and
// gullies rather than speckle.
double Relief(double u, double v, double aspect, unsigned seed) {
  const auto height = [aspect, seed](double x, double y) {
    return 1 - std::abs(2 * FractalNoise(x * 7 * aspect, y * 9, 4, seed) - 1);
  };
  const double e = 0.006;
  const double dx = height(u + e, v) - height(u - e, v);
  const double dy = height(u, v - e) - height(u, v + e);
  return std::clamp(0.8 + 3.0 * dx + 1.4 * dy, 0.3, 1.4);
}

// The face of the main range: lit where the ridge climbs to the left (the
// slope faces the sun), shaded where it falls.
double FaceLight(double u, double depth) {
  const double e = 0.004;
  const double slope = (NearRidge(u + e) - NearRidge(u - e)) / (2 * e);
  return std::clamp(-0.35 * slope, -0.3, 0.3) * std::exp(-depth * 6);
}

Rgb Mountains(double u, double v, double aspect, Rgb above) {
  const double far = FarRidge(u);
  const double near = NearRidge(u);
  if (v >= near) {
    const double depth = v - near;
    const double light = Relief(u, v, aspect, 41) + FaceLight(u, depth);
    const double grain = 0.92 + 0.16 * ValueNoise(u * 400, v * 200, 45);
    Rgb rock = Scale({124, 116, 110}, light * grain);
    const double snowDepth = (0.05 + 0.09 * FractalNoise(u * 30, v * 12, 3, 43)) * (1 - SmoothStep(0.31, 0.44, v));
    if (depth < snowDepth) rock = Scale({240, 244, 250}, std::clamp(0.62 + 0.4 * (light - 0.8) + 0.3, 0.55, 1.0));
    const double haze = SmoothStep(0.38, kHorizon, v) * 0.4;
    return Mix(rock, {156, 174, 196}, haze);
  }
  if (v >= far) {
    const double light = Relief(u * 0.8 + 0.3, v, aspect, 47);
    return Mix(Scale({112, 128, 162}, 0.9 + 0.25 * (light - 0.8)), {196, 212, 232}, 0.3);
  }
  return above;
}

Rgb Forest(double u, double v) {
  const double position = u * 110 + 5 * FractalNoise(u * 9, 0.1, 3, 5);
  const double tree = ValueNoise(std::floor(position), 1.5, 8);
  const double side = std::fmod(position, 1.0) > 0.5 ? 1.25 : 0.85;  // sunlit right half
  const double texture = FractalNoise(u * 200, v * 80, 2, 53);
  return Scale({44, 88, 54}, (0.7 + 0.5 * tree) * side * (0.8 + 0.4 * texture));
}

Rgb Meadow(double u, double v, double aspect) {
  const double blades = FractalNoise(u * 260 * aspect, v * 26, 2, 61);
  const double patches = FractalNoise(u * 10, v * 6, 4, 67);
  Rgb grass = Mix({58, 104, 44}, {128, 160, 62}, patches);
  grass = Scale(grass, 0.55 + 0.8 * blades * (0.6 + 0.6 * v));
  const double flower = ValueNoise(u * 900, v * 420, 71);
  if (flower > 0.93 && v > 0.86) grass = Mix(grass, {250, 236, 150}, 0.8);
  return grass;
}

// The scene as floating-point colours, row by row from the top.
struct Terrain {
  int width, height;
  std::vector<Rgb> pixels;
  Rgb& at(int x, int y) { return pixels[size_t(y) * width + x]; }
};

void DrawBackdrop(Terrain& t) {
  const double aspect = double(t.width) / t.height;
  for (int y = 0; y < t.height; ++y) {
    const double v = (y + 0.5) / t.height;
    for (int x = 0; x < t.width; ++x) {
      const double u = (x + 0.5) / t.width;
      t.at(x, y) = v >= ForestTop(u) ? Forest(u, v) : Mountains(u, v, aspect, Sky(u, v, aspect));
    }
  }
}

// Below the horizon: the lake mirrors the scene above, broken by ripples
// and glitter under the sun; then the meadow.
void DrawLakeAndMeadow(Terrain& t) {
  const double aspect = double(t.width) / t.height;
  const int horizonRow = static_cast<int>(kHorizon * t.height);
  for (int y = horizonRow; y < t.height; ++y) {
    const double v = (y + 0.5) / t.height;
    for (int x = 0; x < t.width; ++x) {
      const double u = (x + 0.5) / t.width;
      if (v >= Shore(u)) {
        t.at(x, y) = Meadow(u, v, aspect);
        continue;
      }
      const double depth = (v - kHorizon) / (Shore(u) - kHorizon);
      const double ripple = std::sin(v * t.height * 1.7 + 6 * FractalNoise(u * 8, v * 30, 3, 73));
      const int sx = std::clamp(x + static_cast<int>(std::lround(ripple * (1 + 2 * depth))), 0, t.width - 1);
      const int sy = std::clamp(2 * horizonRow - y - 1, 0, horizonRow - 1);
      Rgb water = Mix(Scale(t.at(sx, sy), 0.9), {70, 110, 150}, 0.2 + 0.15 * depth);
      const double glint = FractalNoise(u * 30, v * 300, 2, 79);
      const double threshold = 0.74 - 0.2 * std::exp(-std::pow((u - 0.82) * 9, 2));
      if (glint > threshold) water = Mix(water, {245, 246, 240}, std::min(1.0, (glint - threshold) * 4));
      t.at(x, y) = water;
    }
  }
}

QImage RenderTerrain(int width, int height) {
  Terrain t{width, height, std::vector<Rgb>(size_t(width) * height)};
  DrawBackdrop(t);
  DrawLakeAndMeadow(t);
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const Rgb& c = t.at(x, y);
      row[x] = qRgb(std::clamp(int(c.r), 0, 255), std::clamp(int(c.g), 0, 255), std::clamp(int(c.b), 0, 255));
    }
  }
  return image;
}

// ---------------------------------------------------------------- objects, in 256 x 128 units

void Conifer(QPainter& p, double x, double base, double height, unsigned seed) {
  p.fillRect(QRectF(x - 1, base - height * 0.18, 2, height * 0.18), QColor(70, 48, 30));
  const int tiers = 6;
  for (int i = 0; i < tiers; ++i) {
    const double top = base - height + i * height * 0.13;
    const double bottom = top + height * 0.3;
    const double half = height * (0.08 + 0.05 * i) * (0.9 + 0.2 * ValueNoise(i, seed, seed));
    // Ragged lower edge of the branches; the sunlit right half is lighter.
    const int teeth = 8;
    QPolygonF shadow, lit;
    shadow << QPointF(x, top);
    lit << QPointF(x, top) << QPointF(x + half, bottom);
    for (int k = teeth; k >= 0; --k) {
      const double t = double(k) / teeth;
      const QPointF point(x - half + 2 * half * t, bottom - (k % 2) * height * 0.045);
      if (t >= 0.5) lit << point;
      if (t <= 0.5) shadow << point;
    }
    const int shade = 26 + 8 * (i % 2);
    p.setBrush(QColor(shade, shade + 48, shade + 14));
    p.drawPolygon(shadow);
    p.setBrush(QColor(shade + 34, shade + 96, shade + 40));
    p.drawPolygon(lit);
  }
}

void Cabin(QPainter& p, double x, double y) {
  // Walls of horizontal planks.
  p.fillRect(QRectF(x, y, 30, 14), QColor(136, 88, 50));
  for (int i = 1; i < 7; ++i) p.fillRect(QRectF(x, y + 2 * i, 30, 0.6), QColor(86, 54, 30));
  // Roof with a gable.
  p.setBrush(QColor(150, 40, 36));
  p.drawPolygon(QPolygonF({QPointF(x - 4, y + 1), QPointF(x + 15, y - 11), QPointF(x + 34, y + 1)}));
  p.setBrush(QColor(96, 24, 22));
  p.drawPolygon(QPolygonF({QPointF(x + 15, y - 11), QPointF(x + 34, y + 1), QPointF(x + 30, y + 1)}));
  // Window with a cross and a door.
  p.fillRect(QRectF(x + 4, y + 4, 8, 6), QColor(40, 30, 24));
  p.fillRect(QRectF(x + 5, y + 5, 6, 4), QColor(255, 226, 140));
  p.fillRect(QRectF(x + 7.6, y + 5, 0.8, 4), QColor(40, 30, 24));
  p.fillRect(QRectF(x + 5, y + 6.6, 6, 0.8), QColor(40, 30, 24));
  p.fillRect(QRectF(x + 19, y + 4, 6, 10), QColor(60, 36, 20));
  p.fillRect(QRectF(x + 23.5, y + 9, 1, 1), QColor(230, 200, 120));
  // Chimney.
  p.fillRect(QRectF(x + 22, y - 9, 3, 6), QColor(90, 80, 76));
}

void Boat(QPainter& p, double x, double y) {
  p.setBrush(QColor(250, 250, 246));
  p.drawPolygon(QPolygonF({QPointF(x, y - 16), QPointF(x, y - 1), QPointF(x + 10, y - 1)}));
  p.setBrush(QColor(230, 120, 40));
  p.drawPolygon(QPolygonF({QPointF(x - 1, y - 13), QPointF(x - 1, y - 1), QPointF(x - 7, y - 1)}));
  p.setBrush(QColor(50, 40, 40));
  p.drawPolygon(QPolygonF({QPointF(x - 9, y), QPointF(x + 12, y), QPointF(x + 9, y + 3), QPointF(x - 6, y + 3)}));
  p.fillRect(QRectF(x - 0.5, y - 17, 1, 17), QColor(60, 50, 40));
  // Its broken reflection.
  for (int i = 0; i < 5; ++i) {
    p.fillRect(QRectF(x - 6 + (i % 2), y + 4 + 2 * i, 12 - 2 * i, 1), QColor(200, 206, 214, 150 - 25 * i));
  }
}

void Sign(QPainter& p, double x, double y) {
  p.fillRect(QRectF(x + 8, y + 14, 3, 20), QColor(84, 56, 34));
  p.fillRect(QRectF(x + 49, y + 14, 3, 20), QColor(84, 56, 34));
  p.setBrush(QColor(60, 40, 24));
  p.drawRoundedRect(QRectF(x, y, 60, 18), 2, 2);
  QLinearGradient wood(QPointF(x, y), QPointF(x, y + 18));
  wood.setColorAt(0, QColor(226, 196, 150));
  wood.setColorAt(1, QColor(196, 160, 110));
  p.setBrush(wood);
  p.drawRoundedRect(QRectF(x + 1.5, y + 1.5, 57, 15), 1.5, 1.5);
  // Grain.
  p.setPen(QPen(QColor(170, 130, 86), 0.5));
  for (int i = 0; i < 4; ++i) p.drawLine(QPointF(x + 3, y + 4 + 3.3 * i), QPointF(x + 57, y + 3 + 3.3 * i + (i % 2)));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setBold(true);
  font.setPixelSize(12);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
  p.setFont(font);
  p.setPen(QColor(40, 26, 16));
  p.drawText(QRectF(x, y + 1, 60, 17), Qt::AlignCenter, QStringLiteral("TAVIX"));
  p.setPen(Qt::NoPen);
}

void Fence(QPainter& p, double x, double y, int posts) {
  for (int i = 0; i < posts; ++i) p.fillRect(QRectF(x + 7 * i, y - 8 + 0.4 * i, 1.6, 9), QColor(92, 66, 44));
  p.setPen(QPen(QColor(120, 90, 60), 1));
  p.drawLine(QPointF(x, y - 6), QPointF(x + 7 * (posts - 1) + 1.6, y - 6 + 0.4 * posts));
  p.drawLine(QPointF(x, y - 2.5), QPointF(x + 7 * (posts - 1) + 1.6, y - 2.5 + 0.4 * posts));
  p.setPen(Qt::NoPen);
}

}  // namespace

QImage Landscape(int width, int height) {
  QImage image = RenderTerrain(width, height);
  QPainter p(&image);
  PrepareCanvasPainter(p);
  p.scale(width / 256.0, height / 128.0);
  Boat(p, 96, 90);
  Cabin(p, 182, 92);
  Fence(p, 150, 112, 5);
  Conifer(p, 14, 118, 92, 1);
  Conifer(p, 34, 112, 64, 2);
  Conifer(p, 50, 106, 40, 3);
  Conifer(p, 232, 114, 70, 4);
  Conifer(p, 246, 120, 84, 5);
  Conifer(p, 222, 104, 36, 6);
  Sign(p, 70, 100);
  return image;
}

QImage AboutPicture() { return ToGrey8(Landscape(256, 128)); }

}  // namespace art
