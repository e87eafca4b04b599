// Draws every picture of the application and writes the files that
// resources/tavix.qrc embeds: the toolbar strips, the splash and About
// bitmaps, the warning icon and the application and document icons.
//
// Regenerate with the build target (resources/artwork/artwork.cmake):
//   cmake --build <build> --target tavix_artwork
// or by hand, from the repository root:
//   g++ -std=c++20 -fPIC -I. resources/artwork/*.cpp -o /tmp/make_artwork $(pkg-config --cflags --libs Qt6Gui)
//   /tmp/make_artwork resources
// A second argument names a PNG file for a contact sheet of all pictures.
// The output depends only on this code and the DejaVu Sans font.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <vector>

#include "resources/artwork/ArtKit.h"
#include "resources/artwork/Artwork.h"

namespace {

constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};

bool SavePng(const QString& path, const QImage& image) {
  QDir().mkpath(QFileInfo(path).path());
  return image.save(path, "PNG", 9);
}

bool SaveBmp(const QString& path, const QImage& image) {
  QDir().mkpath(QFileInfo(path).path());
  return art::WriteBmp(path, image);
}

// The pictures enlarged side by side on a neutral ground, for review.
QImage ContactSheet(const std::vector<QImage>& images) {
  QImage sheet(1200, 1800, QImage::Format_RGB32);
  sheet.fill(QColor(236, 238, 242));
  QPainter p(&sheet);
  int x = 10, y = 10, rowHeight = 0;
  for (const QImage& image : images) {
    const int zoom = image.width() <= 32 ? 4 : (image.width() <= 160 ? 4 : 1);
    const QSize size = image.size() * zoom;
    if (x + size.width() > sheet.width()) {
      x = 10;
      y += rowHeight + 10;
      rowHeight = 0;
    }
    p.drawImage(QRect(QPoint(x, y), size), image);
    x += size.width() + 10;
    rowHeight = std::max(rowHeight, size.height());
  }
  return sheet;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_artwork <resources folder> [contact-sheet.png]\n");
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  bool ok = true;
  std::vector<QImage> review;

  const QImage toolbar = art::ToolbarStrip(1);
  const QImage user = art::UserStrip(1);
  ok &= SaveBmp(root + "/images/toolbar128.bmp", art::FlattenOnKey(toolbar));
  ok &= SaveBmp(root + "/images/user153.bmp", art::FlattenOnKey(user));
  ok &= SavePng(root + "/images/toolbar128@2x.png", art::ToolbarStrip(2));
  ok &= SavePng(root + "/images/user153@2x.png", art::UserStrip(2));
  review.insert(review.end(), {art::FlattenOnKey(toolbar), art::FlattenOnKey(user), art::ToolbarStrip(2), art::UserStrip(2)});

  const QImage splash = art::ToIndexed8(art::SplashPicture());
  const QImage background = art::ToIndexed8(art::AboutBackground());
  const QImage picture = art::AboutPicture();
  ok &= SaveBmp(root + "/images/splash174.bmp", splash);
  ok &= SaveBmp(root + "/images/about175.bmp", background);
  ok &= SaveBmp(root + "/images/about176.bmp", picture);

  const QImage warning = art::WarningIconImage(32);
  ok &= SavePng(root + "/images/warning255.png", warning);
  review.push_back(warning);
  for (int size : kIconSizes) {
    const QImage appIcon = art::ApplicationIconImage(size);
    const QImage docIcon = art::DocumentIconImage(size);
    const QString folder = root + QStringLiteral("/icons/hicolor/%1x%1/").arg(size);
    ok &= SavePng(folder + "apps/tavixphoto.png", appIcon);
    ok &= SavePng(folder + "mimetypes/image-x-tavix.png", docIcon);
    if (size <= 128) review.insert(review.end(), {appIcon, docIcon});
  }
  review.insert(review.end(), {splash, background, picture});

  if (argc > 2) ok &= SavePng(QString::fromLocal8Bit(argv[2]), ContactSheet(review));
  if (!ok) std::fprintf(stderr, "make_artwork: a file could not be written\n");
  return ok ? 0 : 1;
}
