// Opening and painting a large photograph in the application, against
// djpeg decoding the same file. Prints medians of several runs and the
// ratios the goals are stated in:
//   open + first paint  <= 1.5 x djpeg
//   one repaint fitted to a 1280 x 1024 window, and at 100 %: under 16 ms
// Run: app_view_bench [photo.jpg]   (default: the sample photograph scaled
// to 6000 x 4000 with ImageMagick, written to the temporary folder).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app_bench_support.h"
#include "docview/QtDrawContext.h"
#include "docview/TXPhotoDoc.h"
#include "image/Dib.h"

namespace {
constexpr int kRuns = 5;
constexpr int kWindowWidth = 1280;
constexpr int kWindowHeight = 1024;
constexpr double kStep = 0.7071135624381276;

QString MakePhoto() { return MakeBenchPhoto("tavix-bench-24mp.jpg", "6000x4000", {"-quality", "90"}); }

double DjpegMs(const QString& path) {
  QElapsedTimer timer;
  timer.start();
  QProcess::execute("djpeg", {"-outfile", "/dev/null", path});
  return timer.nsecsElapsed() / 1e6;
}

// The zoom the view would pick for a window of the given client size.
double FitZoom(QSize image) {
  double zoom = 1.0;
  while (kWindowWidth < 1.1 * int(image.width() * zoom) || kWindowHeight < 1.1 * int(image.height() * zoom))
    zoom *= kStep;
  return zoom;
}

// One paint of the window: the image at `zoom`, scrolled to the origin.
double PaintMs(CDib* dib, double zoom, QImage& target) {
  const CSize size = dib->GetSize();
  QElapsedTimer timer;
  timer.start();
  QPainter painter(&target);
  painter.setClipRect(target.rect());
  CQtDrawContext context(&painter, false);
  dib->Draw(&context, 0, 0, int(size.cx * zoom), int(size.cy * zoom));
  painter.end();
  return timer.nsecsElapsed() / 1e6;
}
}  // namespace

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const QString photo = argc > 1 ? QString::fromLocal8Bit(argv[1]) : MakePhoto();
  if (photo.isEmpty()) {
    std::fprintf(stderr, "app_view_bench: no photograph (ImageMagick's convert is needed)\n");
    return 1;
  }
  DjpegMs(photo);  // warm the file cache
  std::vector<double> djpeg, open, fitted, full;
  QImage window(kWindowWidth, kWindowHeight, QImage::Format_RGB32);
  for (int run = 0; run < kRuns; ++run) {
    djpeg.push_back(DjpegMs(photo));
    QElapsedTimer timer;
    timer.start();
    CTXPhotoDoc doc;
    if (!doc.OnOpenDocument(photo)) {
      std::fprintf(stderr, "app_view_bench: cannot open %s\n", qPrintable(photo));
      return 1;
    }
    const CSize size = doc.GetDib()->GetSize();
    const double zoom = FitZoom(QSize(size.cx, size.cy));
    PaintMs(doc.GetDib(), zoom, window);
    open.push_back(timer.nsecsElapsed() / 1e6);
    fitted.push_back(PaintMs(doc.GetDib(), zoom, window));
    full.push_back(PaintMs(doc.GetDib(), 1.0, window));
  }
  const double djpegMs = Median(djpeg), openMs = Median(open);
  std::printf("photograph: %s\n", qPrintable(photo));
  std::printf("djpeg decode            %8.1f ms\n", djpegMs);
  std::printf("open + first paint      %8.1f ms   ratio %.2f x djpeg (goal <= 1.5)\n", openMs, openMs / djpegMs);
  std::printf("repaint fitted 1280x1024 %7.2f ms   (goal < 16)\n", Median(fitted));
  std::printf("repaint at 100 %%         %7.2f ms   (goal < 16)\n", Median(full));
  return 0;
}
