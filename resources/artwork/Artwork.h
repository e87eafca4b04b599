// The pictures the generator draws. Each returns a finished image; the
// caller decides the file format.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRectF>

namespace art {

// Toolbar 128: ten 16 x 16 images side by side, `scale` times as large;
// transparent background.
QImage ToolbarStrip(int scale);
// User images 153: nine 16 x 15 images side by side, `scale` times as large.
QImage UserStrip(int scale);

// The product mark on its tile, filling `box` (used by the icons, the user
// image "Program Information" and the About background).
void DrawAppTile(QPainter& p, const QRectF& box);

QImage ApplicationIconImage(int size);
QImage DocumentIconImage(int size);
QImage WarningIconImage(int size);

// A landscape with mountains, a lake, trees, a cabin and a sign, in colour.
QImage Landscape(int width, int height);
// Bitmap 176: the landscape in grey, 256 x 128.
QImage AboutPicture();
// Bitmap 174, 485 x 251, and bitmap 175, 532 x 218, in full colour.
QImage SplashPicture();
QImage AboutBackground();

}  // namespace art
