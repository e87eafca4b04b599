// The Preview dialog's real preview of a 3-megapixel photograph, against
// the tavix tool compressing and decoding the same image with the same
// settings (file size at ratio 40, 9/7 filter, standard coding, colour
// portion 10). Prints medians of several runs:
//   first intermediate image on screen  (from the start of CreatePreview)
//   final image on screen
//   tavix compress + tavix decompress   (two processes, files included)
// and the ratios of the first two to the third.
// Run: app_preview_bench [photo.ppm [path/to/tavix]]   (default: the sample
// photograph scaled to 2048 x 1536 with ImageMagick, in the temporary
// folder, and the tool of this build tree).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app_bench_support.h"
#include "compression/PreviewDlg.h"
#include "docview/TXPhotoDoc.h"
#include "image/Dib.h"

namespace {
constexpr int kRuns = 5;
constexpr int kRatio = 40;

QString MakePhoto() { return MakeBenchPhoto("tavix-bench-3mp.ppm", "2048x1536"); }

QString ToolPath(int argc, char* argv[]) {
  if (argc > 2)
    return QString::fromLocal8Bit(argv[2]);
  return QDir(QCoreApplication::applicationDirPath()).filePath("../tools/tavix");
}

// Notes the time of the pane's first paint after `timer` started.
class FirstPaint : public QObject {
public:
  explicit FirstPaint(const QElapsedTimer& timer) : m_timer(timer) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && armed && firstMs < 0)
      firstMs = m_timer.nsecsElapsed() / 1e6;
    return false;
  }
  bool armed = false;
  double firstMs = -1;

private:
  const QElapsedTimer& m_timer;
};

struct PreviewTimes {
  double firstMs = -1;
  double finalMs = -1;
  int compressedBytes = 0;
};

// One CreatePreview with the dialog shown, as the dialog runs it: the pane
// repaints for each intermediate image, then once more for the final one.
PreviewTimes TimePreview(CTXPhotoDoc& doc) {
  auto* dialog = new CPreviewDlg;  // the document deletes it
  dialog->m_pDoc = &doc;
  doc.DeletePreviewDlg();
  doc.m_pPreviewDlg = dialog;
  dialog->show();
  // The dialog's first paint makes a preview of its own: let it finish.
  QElapsedTimer timer;
  timer.start();
  while (dialog->m_nFileSize == 0 && timer.elapsed() < 60000)
    QApplication::processEvents();
  FirstPaint watcher(timer);
  dialog->findChild<QWidget*>("IDC_PREVIEW_PANE")->installEventFilter(&watcher);
  watcher.armed = true;
  timer.restart();
  doc.CreatePreview();
  dialog->DrawImage();
  PreviewTimes times;
  times.finalMs = timer.nsecsElapsed() / 1e6;
  times.firstMs = watcher.firstMs;
  times.compressedBytes = doc.m_pPreviewDib ? doc.m_pPreviewDib->m_nCompressedLen : 0;
  dialog->findChild<QWidget*>("IDC_PREVIEW_PANE")->removeEventFilter(&watcher);
  doc.DeletePreviewDlg();
  return times;
}

double ToolMs(const QString& tool, const QStringList& arguments) {
  QElapsedTimer timer;
  timer.start();
  if (QProcess::execute(tool, arguments) != 0)
    return -1;
  return timer.nsecsElapsed() / 1e6;
}
}  // namespace

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const QString photo = argc > 1 ? QString::fromLocal8Bit(argv[1]) : MakePhoto();
  const QString tool = ToolPath(argc, argv);
  if (photo.isEmpty() || !QFile::exists(tool)) {
    std::fprintf(stderr, "app_preview_bench: need a photograph (ImageMagick's convert) and the tavix tool (%s)\n",
                 qPrintable(tool));
    return 1;
  }
  CTXPhotoDoc doc;
  if (!doc.OnOpenDocument(photo)) {
    std::fprintf(stderr, "app_preview_bench: cannot open %s\n", qPrintable(photo));
    return 1;
  }
  CDib& image = *doc.m_pDib;
  const CSize size = image.GetSize();
  const long target = long(image.RowBytes() * size.cy / kRatio);
  TXcompressionParams& params = image.m_compressionParams;
  params.mode = TXmodeFileSize;
  params.target = int32_t(target);
  params.waveletType = TXwavelet97;
  params.codecType = TXcodecStandard;
  params.portion = 90;

  const QString tvx = QDir::temp().filePath("tavix-bench-preview.tvx");
  const QString decoded = QDir::temp().filePath("tavix-bench-preview.ppm");
  const QStringList compress{"compress",       photo,           tvx,         "--size", QString::number(target),
                             "--wavelet",      "9/7",           "--layer",   "standard",
                             "--color-portion", "10",           "--no-progress"};
  const QStringList decompress{"decompress", tvx, decoded, "--no-progress"};

  std::vector<double> first, final, tools;
  PreviewTimes last;
  for (int run = 0; run < kRuns; ++run) {
    last = TimePreview(doc);
    if (last.firstMs < 0 || last.compressedBytes == 0) {
      std::fprintf(stderr, "app_preview_bench: the preview showed no intermediate image\n");
      return 1;
    }
    first.push_back(last.firstMs);
    final.push_back(last.finalMs);
    const double compressMs = ToolMs(tool, compress);
    const double decompressMs = ToolMs(tool, decompress);
    if (compressMs < 0 || decompressMs < 0) {
      std::fprintf(stderr, "app_preview_bench: the tavix tool failed\n");
      return 1;
    }
    tools.push_back(compressMs + decompressMs);
  }
  const double firstMs = Median(first), finalMs = Median(final), toolMs = Median(tools);
  std::printf("photograph: %s (%ld x %ld), target %ld bytes (ratio %d), preview %d bytes, tool %lld bytes\n",
              qPrintable(photo), long(size.cx), long(size.cy), target, kRatio, last.compressedBytes,
              QFileInfo(tvx).size());
  std::printf("tavix compress + decompress     %8.1f ms\n", toolMs);
  std::printf("preview: first intermediate     %8.1f ms   ratio %.2f x tool\n", firstMs, firstMs / toolMs);
  std::printf("preview: final image shown      %8.1f ms   ratio %.2f x tool\n", finalMs, finalMs / toolMs);
  QFile::remove(tvx);
  QFile::remove(decoded);
  return 0;
}
