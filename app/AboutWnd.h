// CAboutWnd: the borderless About window. Over its background bitmap a
// worker thread animates a grey picture through the codec's quantizer
// preview: it starts as a coarse sketch and sharpens frame by frame, then
// zooms and folds away and starts over; two credit lines below it change
// every four seconds. Any key or mouse button closes the window, which
// deletes itself. Only one About window is open at a time (OpenCount).
//
// Threads: the worker owns the picture (m_pPicture) and the animation
// clock; what the painting needs (the current frame as an image, the zoom
// counters and the two lines) it hands over under m_mutex, and it asks for
// repaints through queued calls, so that all painting stays on the
// user-interface thread.
#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CDib;

class CAboutWnd : public QWidget {
  Q_OBJECT
public:
  CAboutWnd();  // counts the window as open
  ~CAboutWnd() override;

  // Loads the bitmaps, shows the window and starts the animation; false
  // (nothing shown) when a bitmap or the worker cannot be set up. The
  // caller deletes the object then.
  bool Create();

  // The number of About windows that exist.
  static int OpenCount();

  // The quantiser value of the frame after one of value q (> 0): the
  // animation runs q = 3000, 2700, ..., 300, 150, 135, ..., 60, 45, 35, ..., 5.
  static double NextQuantizer(double q);
  static constexpr double kFirstQuantizer = 3000.0;

  // ---- for tests
  // Frames the worker has produced so far.
  int FrameCount() const;
  // The picture as shown now (null before the first frame) and the
  // quantiser value it was made with.
  QImage PictureSnapshot(double* quantizer = nullptr) const;
  // 1 while animating, 0 when asked to stop, -1 once the worker has ended.
  int RunFlag() const { return m_nRun.load(); }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  bool loadPicture();
  void loadTexts();
  void stopAnimation();
  void releaseInput();

  // The worker and its steps.
  void animate();
  bool waitForFrameTime();
  void showQuantized(const std::vector<uint8_t>& original, double quantizer);
  bool zoomStep();
  void showNextLines();
  void requestRepaint(const QRect& rect);

  std::unique_ptr<CDib> m_pPicture;  // worker's copy of bitmap 176 while it runs
  QPixmap m_bitmap;                  // background, bitmap 175
  QColor m_textColour;
  QRect m_rectPicture;               // where the picture sits unzoomed
  QRect m_rectText;                  // the band of the two lines
  int m_nPictureWidth = 0;
  int m_nPictureHeight = 0;
  int m_nBytesPerPixel = 1;

  // Shared with paintEvent, under m_mutex.
  mutable std::mutex m_mutex;
  QImage m_imgFrame;
  double m_dFrameQuantizer = 0.0;
  int m_nFrames = 0;
  QString m_strLine1, m_strLine2;
  int m_nGrow = 0;
  int m_nShrink = 0;

  // The worker's own.
  int m_nLine = 0;         // index of the next text pair
  int64_t m_tFrame = 0;    // milliseconds of the last frame
  int64_t m_tText = 0;     // milliseconds of the last text change
  std::array<QString, 12> m_texts;  // the six pairs, loaded before the worker starts

  std::atomic<int> m_nRun{-1};
  std::unique_ptr<std::thread> m_pThread;
};
