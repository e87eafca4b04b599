// Shared pieces of the artwork generator: the product colours, pixel-grid
// drawing helpers, noise, colour reduction and the BMP writer.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>

#include <initializer_list>
#include <utility>

namespace art {

// The product colours: deep blue, blue, teal, a warm amber accent, neutrals.
namespace colour {
inline const QColor kNavy{15, 46, 92};
inline const QColor kNavyDark{9, 28, 58};
inline const QColor kBlue{33, 99, 176};
inline const QColor kBlueLight{96, 148, 214};
inline const QColor kTeal{18, 166, 156};
inline const QColor kTealLight{94, 211, 196};
inline const QColor kAmber{245, 160, 28};
inline const QColor kAmberDark{196, 116, 8};
inline const QColor kAmberLight{255, 206, 102};
inline const QColor kInk{44, 56, 72};
inline const QColor kSlate{94, 110, 132};
inline const QColor kMist{214, 223, 233};
inline const QColor kPaper{255, 255, 255};
inline const QColor kGreen{46, 160, 84};
}  // namespace colour

// A transparent ARGB canvas with antialiasing on.
QImage NewCanvas(int width, int height);
void PrepareCanvasPainter(QPainter& p);

// Fills the cells of a pixel pattern: one string per row, '.' and ' ' are
// empty, every other character is looked up in `colours`. Each cell is a
// unit square at (x + column, y + row) in the painter's coordinates.
using PatternColour = std::pair<char, QColor>;
void DrawPattern(QPainter& p, double x, double y, std::initializer_list<const char*> rows,
                 std::initializer_list<PatternColour> colours);

// The wavelet pyramid mark: a square split into four bands, the top-left
// band split again `levels` times, the last approximation in amber. `gap`
// separates the bands; `radius` rounds the band corners (relative to the
// band's side). With `snap` the bands keep whole pixels (the approximation
// takes the smaller half of an odd side), for the small sizes.
void DrawPyramid(QPainter& p, const QRectF& square, int levels, double gap, double radius, bool snap = false);

// Smooth value noise in [0, 1] and its fractal sum, deterministic per seed.
double ValueNoise(double x, double y, unsigned seed);
double FractalNoise(double x, double y, int octaves, unsigned seed);

// Reduces a colour image to 256 colours (median cut, error diffusion).
QImage ToIndexed8(const QImage& image);
// A grey image as 8 bits with a 256-entry grey table.
QImage ToGrey8(const QImage& image);

// Writes an uncompressed bottom-up BMP: 8 bits with its colour table for an
// indexed image, otherwise 24 bits. False when the file cannot be written.
bool WriteBmp(const QString& path, const QImage& image);

// The strip form of toolbar images for a BMP: pixels at least half covered
// keep their colour, the rest become the key colour magenta.
QImage FlattenOnKey(const QImage& image);

}  // namespace art
