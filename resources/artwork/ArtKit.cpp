#include "resources/artwork/ArtKit.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

namespace art {

QImage NewCanvas(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

void PrepareCanvasPainter(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setRenderHint(QPainter::SmoothPixmapTransform, true);
  p.setPen(Qt::NoPen);
}

void DrawPattern(QPainter& p, double x, double y, std::initializer_list<const char*> rows,
                 std::initializer_list<PatternColour> colours) {
  int row = 0;
  for (const char* line : rows) {
    for (int column = 0; line[column] != '\0'; ++column) {
      const char cell = line[column];
      for (const auto& [key, colour] : colours) {
        if (key == cell) p.fillRect(QRectF(x + column, y + row, 1, 1), colour);
      }
    }
    ++row;
  }
}

namespace {

QColor Lighter(const QColor& c, double towardsWhite) {
  const auto mix = [towardsWhite](int v) { return static_cast<int>(std::lround(v + (255 - v) * towardsWhite)); };
  return QColor(mix(c.red()), mix(c.green()), mix(c.blue()));
}

void FillBand(QPainter& p, const QRectF& band, double radius, const QColor& colour) {
  p.setBrush(colour);
  if (radius <= 0) {
    p.fillRect(band, colour);
  } else {
    p.drawRoundedRect(band, radius * band.width(), radius * band.height());
  }
}

}  // namespace

void DrawPyramid(QPainter& p, const QRectF& square, int levels, double gap, double radius, bool snap) {
  // Detail bands of one level: top right, bottom left, bottom right.
  const std::array<QColor, 3> base = {colour::kTeal, QColor(40, 150, 214), colour::kBlue};
  p.save();
  p.setPen(Qt::NoPen);
  QRectF approx = square;
  for (int level = 0; level < levels; ++level) {
    const double half = (approx.width() - gap) / 2;
    const double first = snap ? std::floor(half) : half;
    const double second = approx.width() - gap - first;
    const double tint = 0.26 * level;
    const double x2 = approx.x() + first + gap;
    const double y2 = approx.y() + first + gap;
    FillBand(p, QRectF(x2, approx.y(), second, first), radius, Lighter(base[0], tint));
    FillBand(p, QRectF(approx.x(), y2, first, second), radius, Lighter(base[1], tint));
    FillBand(p, QRectF(x2, y2, second, second), radius, Lighter(base[2], tint));
    approx = QRectF(approx.x(), approx.y(), first, first);
  }
  FillBand(p, approx, radius, colour::kAmber);
  p.restore();
}

namespace {

double LatticeValue(int x, int y, unsigned seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xffffff) / double(0xffffff);
}

double Smooth(double t) { return t * t * (3 - 2 * t); }

}  // namespace

double ValueNoise(double x, double y, unsigned seed) {
  const double fx = std::floor(x);
  const double fy = std::floor(y);
  const int ix = static_cast<int>(fx);
  const int iy = static_cast<int>(fy);
  const double tx = Smooth(x - fx);
  const double ty = Smooth(y - fy);
  const double a = LatticeValue(ix, iy, seed);
  const double b = LatticeValue(ix + 1, iy, seed);
  const double c = LatticeValue(ix, iy + 1, seed);
  const double d = LatticeValue(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

double FractalNoise(double x, double y, int octaves, unsigned seed) {
  double sum = 0;
  double amplitude = 0.5;
  double total = 0;
  for (int octave = 0; octave < octaves; ++octave) {
    sum += amplitude * ValueNoise(x, y, seed + 101u * octave);
    total += amplitude;
    x *= 2.03;
    y *= 2.03;
    amplitude *= 0.5;
  }
  return sum / total;
}

// ---------------------------------------------------------------- colour reduction

namespace {

struct ColourCount {
  std::array<int, 3> rgb;
  int64_t count;
};

using ColourList = std::vector<ColourCount>;

int LongestAxis(const ColourList& box, int& range) {
  int axis = 0;
  range = -1;
  for (int channel = 0; channel < 3; ++channel) {
    int lo = 255, hi = 0;
    for (const auto& c : box) {
      lo = std::min(lo, c.rgb[channel]);
      hi = std::max(hi, c.rgb[channel]);
    }
    if (hi - lo > range) {
      range = hi - lo;
      axis = channel;
    }
  }
  return axis;
}

int64_t Weight(const ColourList& box) {
  int64_t sum = 0;
  for (const auto& c : box) sum += c.count;
  return sum;
}

// Splits the box whose longest side, weighted a little by its pixel count,
// is the largest, at the pixel median of that side. The weak weighting lets
// small areas of a distinct colour (a frame, a thin line) keep their own
// entry instead of being averaged into a neighbour.
bool SplitLargest(std::vector<ColourList>& boxes) {
  size_t best = boxes.size();
  double bestScore = 0;
  for (size_t i = 0; i < boxes.size(); ++i) {
    if (boxes[i].size() < 2) continue;
    int range = 0;
    LongestAxis(boxes[i], range);
    const double score = range * std::pow(static_cast<double>(Weight(boxes[i])), 0.2);
    if (score > bestScore) {
      bestScore = score;
      best = i;
    }
  }
  if (best == boxes.size()) return false;
  ColourList& box = boxes[best];
  int range = 0;
  const int axis = LongestAxis(box, range);
  std::sort(box.begin(), box.end(), [axis](const ColourCount& a, const ColourCount& b) { return a.rgb[axis] < b.rgb[axis]; });
  const int64_t half = Weight(box) / 2;
  int64_t running = 0;
  size_t cut = 1;
  for (; cut < box.size() - 1; ++cut) {
    running += box[cut - 1].count;
    if (running >= half) break;
  }
  ColourList upper(box.begin() + static_cast<std::ptrdiff_t>(cut), box.end());
  box.resize(cut);
  boxes.push_back(std::move(upper));
  return true;
}

QVector<QRgb> MedianCutPalette(const QImage& rgb) {
  std::map<QRgb, int64_t> histogram;
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) ++histogram[row[x] & 0xffffff];
  }
  std::vector<ColourList> boxes(1);
  for (const auto& [colour, count] : histogram) boxes[0].push_back({{qRed(colour), qGreen(colour), qBlue(colour)}, count});
  while (boxes.size() < 256 && SplitLargest(boxes)) {
  }
  QVector<QRgb> table;
  for (const auto& box : boxes) {
    std::array<double, 3> sum{};
    const double weight = static_cast<double>(Weight(box));
    for (const auto& c : box) {
      for (int k = 0; k < 3; ++k) sum[k] += c.rgb[k] * static_cast<double>(c.count);
    }
    table.push_back(qRgb(int(std::lround(sum[0] / weight)), int(std::lround(sum[1] / weight)),
                         int(std::lround(sum[2] / weight))));
  }
  while (table.size() < 256) table.push_back(qRgb(0, 0, 0));
  return table;
}

int Nearest(const QVector<QRgb>& table, double r, double g, double b) {
  int best = 0;
  double bestDistance = 1e30;
  for (int i = 0; i < table.size(); ++i) {
    const double dr = qRed(table[i]) - r, dg = qGreen(table[i]) - g, db = qBlue(table[i]) - b;
    const double distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

}  // namespace

QImage ToIndexed8(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  const QVector<QRgb> table = MedianCutPalette(rgb);
  QImage indexed(rgb.size(), QImage::Format_Indexed8);
  indexed.setColorTable(table);
  const int w = rgb.width();
  // Floyd-Steinberg error diffusion, at 3/4 strength to keep flat areas calm.
  std::vector<std::array<double, 3>> current(w + 2), next(w + 2);
  for (int y = 0; y < rgb.height(); ++y) {
    std::fill(next.begin(), next.end(), std::array<double, 3>{});
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < w; ++x) {
      const double want[3] = {qRed(row[x]) + current[x + 1][0], qGreen(row[x]) + current[x + 1][1],
                              qBlue(row[x]) + current[x + 1][2]};
      const int index = Nearest(table, want[0], want[1], want[2]);
      indexed.scanLine(y)[x] = static_cast<uchar>(index);
      const double got[3] = {double(qRed(table[index])), double(qGreen(table[index])), double(qBlue(table[index]))};
      for (int k = 0; k < 3; ++k) {
        const double error = (want[k] - got[k]) * 0.75;
        current[x + 2][k] += error * 7 / 16;
        next[x][k] += error * 3 / 16;
        next[x + 1][k] += error * 5 / 16;
        next[x + 2][k] += error * 1 / 16;
      }
    }
    std::swap(current, next);
  }
  return indexed;
}

QImage ToGrey8(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  QImage grey(rgb.size(), QImage::Format_Indexed8);
  QVector<QRgb> table;
  for (int i = 0; i < 256; ++i) table.push_back(qRgb(i, i, i));
  grey.setColorTable(table);
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) grey.scanLine(y)[x] = static_cast<uchar>(qGray(row[x]));
  }
  return grey;
}

// ---------------------------------------------------------------- files

namespace {

void Put16(QByteArray& out, uint32_t v) {
  out.append(static_cast<char>(v & 0xff));
  out.append(static_cast<char>((v >> 8) & 0xff));
}

void Put32(QByteArray& out, uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

}  // namespace

bool WriteBmp(const QString& path, const QImage& image) {
  constexpr uint32_t kFileHeader = 14, kInfoHeader = 40, kPixelsPerMetre = 2835;
  const bool indexed = image.format() == QImage::Format_Indexed8;
  const uint32_t bits = indexed ? 8 : 24;
  const uint32_t stride = (static_cast<uint32_t>(image.width()) * bits / 8 + 3) & ~3u;
  const uint32_t table = indexed ? 256 * 4 : 0;
  const uint32_t offset = kFileHeader + kInfoHeader + table;
  const uint32_t imageSize = stride * static_cast<uint32_t>(image.height());

  QByteArray out("BM");
  Put32(out, offset + imageSize);
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, kInfoHeader);
  Put32(out, static_cast<uint32_t>(image.width()));
  Put32(out, static_cast<uint32_t>(image.height()));  // positive: bottom-up rows
  Put16(out, 1);
  Put16(out, bits);
  Put32(out, 0);  // BI_RGB
  Put32(out, imageSize);
  Put32(out, kPixelsPerMetre);
  Put32(out, kPixelsPerMetre);
  Put32(out, indexed ? 256 : 0);
  Put32(out, 0);
  for (int i = 0; indexed && i < 256; ++i) {
    const QRgb c = i < image.colorCount() ? image.color(i) : 0;
    Put32(out, static_cast<uint32_t>(qBlue(c)) | qGreen(c) << 8 | qRed(c) << 16);
  }
  const QImage rgb = indexed ? image : image.convertToFormat(QImage::Format_RGB32);
  for (int y = rgb.height() - 1; y >= 0; --y) {
    QByteArray row(static_cast<int>(stride), '\0');
    for (int x = 0; x < rgb.width(); ++x) {
      if (indexed) {
        row[x] = static_cast<char>(rgb.constScanLine(y)[x]);
      } else {
        const QRgb c = reinterpret_cast<const QRgb*>(rgb.constScanLine(y))[x];
        row[3 * x] = static_cast<char>(qBlue(c));
        row[3 * x + 1] = static_cast<char>(qGreen(c));
        row[3 * x + 2] = static_cast<char>(qRed(c));
      }
    }
    out.append(row);
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size()) return false;
  return file.commit();
}

QImage FlattenOnKey(const QImage& image) {
  QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  QImage flat(argb.size(), QImage::Format_RGB32);
  for (int y = 0; y < argb.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    auto* out = reinterpret_cast<QRgb*>(flat.scanLine(y));
    for (int x = 0; x < argb.width(); ++x) out[x] = qAlpha(in[x]) >= 128 ? (in[x] | 0xff000000u) : qRgb(255, 0, 255);
  }
  return flat;
}

}  // namespace art
