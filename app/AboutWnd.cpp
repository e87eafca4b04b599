#include "app/AboutWnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QPainter>
#include <chrono>
#include <cstring>
#include <system_error>

#include "app/SplashWnd.h"
#include "codec/TavixLib.h"
#include "image/Dib.h"
#include "resources/Bitmaps.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

std::atomic<int> s_nOpenCount{0};

constexpr int kPictureLeft = 138;
constexpr int kPictureTop = 20;
constexpr int kTextBandGap = 40;   // from the picture's height to the text band
constexpr int kLine1Gap = 24;      // from the picture's bottom to the first line's top
constexpr int kLineSpacing = 12;
constexpr int kZoomStep = 4;
constexpr int64_t kFrameMs = 100;
constexpr int64_t kTextMs = 4000;
constexpr int kPollMs = 5;          // the worker looks at the run flag this often while it waits
constexpr int kQuantizerWavelet = 0;
constexpr int kQuantizerCodec = 1;
constexpr int kQuantizerPortion = 90;

// The text pairs by index: first line, second line.
constexpr int kTextPairs[6][2] = {{61219, 61224}, {61220, 61225}, {61287, 61288},
                                  {61221, 61226}, {61222, 61227}, {61223, 61228}};

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

CAboutWnd::CAboutWnd() : QWidget(nullptr, Qt::SplashScreen | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint) {
  ++s_nOpenCount;
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_QuitOnClose, false);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setObjectName(QStringLiteral("AboutWnd"));
  setWindowTitle(LoadStringResource(AFX_IDS_APP_TITLE));
}

CAboutWnd::~CAboutWnd() {
  stopAnimation();
  releaseInput();
  --s_nOpenCount;
}

int CAboutWnd::OpenCount() { return s_nOpenCount.load(); }

double CAboutWnd::NextQuantizer(double q) {
  const double scaled = q * 0.002;
  const double step = scaled > 1.0 ? 150.0 : scaled > 0.5 ? 75.0 : scaled > 0.1 ? 7.5 : 5.0;
  return q - 2.0 * step;
}

bool CAboutWnd::Create() {
  const QImage background = ResourceImage(IDB_ABOUT_BACKGROUND);
  if (background.isNull() || !loadPicture())
    return false;
  loadTexts();
  m_bitmap = QPixmap::fromImage(background);
  setFixedSize(m_bitmap.size());
  m_rectPicture = QRect(kPictureLeft, kPictureTop, m_nPictureWidth, m_nPictureHeight);
  const int textTop = m_nPictureHeight + kTextBandGap;
  m_rectText = QRect(0, textTop, width(), height() - textTop);
  m_textColour = TextColourOver(background, m_rectText);
  m_nGrow = m_nShrink = 0;
  m_tFrame = NowMs();
  m_tText = m_tFrame - 5000;  // the first pair shows with the first frame
  m_nRun = 1;
  try {
    m_pThread = std::make_unique<std::thread>(&CAboutWnd::animate, this);
  } catch (const std::system_error&) {
    m_nRun = -1;
    return false;
  }
  connect(qApp, &QCoreApplication::aboutToQuit, this, &QWidget::close);
  CentreOnScreen(this, 0);
  show();
  raise();
  grabMouse();
  grabKeyboard();
  // The grabs do not hold on every platform; the application-wide filter
  // closes the window on input anywhere all the same.
  qApp->installEventFilter(this);
  return true;
}

bool CAboutWnd::loadPicture() {
  const QByteArray bytes = ResourceBitmapBytes(IDB_ABOUT_PICTURE);
  auto picture = std::make_unique<CDib>();
  if (bytes.isEmpty() || picture->LoadResourceBitmap(bytes.constData(), bytes.size(), nullptr) != 1 ||
      !picture->MakePixels())
    return false;
  const CSize size = picture->GetSize();
  m_nPictureWidth = size.cx;
  m_nPictureHeight = size.cy;
  m_nBytesPerPixel = picture->PixelBytesPerPixel();
  if (m_nPictureWidth <= 0 || m_nPictureHeight <= 0 ||
      picture->GetPixelBytes() < size_t(m_nPictureWidth) * m_nPictureHeight * m_nBytesPerPixel)
    return false;
  m_pPicture = std::move(picture);
  return true;
}

void CAboutWnd::loadTexts() {
  for (int pair = 0; pair < 6; ++pair)
    for (int line = 0; line < 2; ++line)
      m_texts[2 * pair + line] = LoadStringResource(kTextPairs[pair][line]);
}

int CAboutWnd::FrameCount() const {
  std::lock_guard lock(m_mutex);
  return m_nFrames;
}

QImage CAboutWnd::PictureSnapshot(double* quantizer) const {
  std::lock_guard lock(m_mutex);
  if (quantizer)
    *quantizer = m_dFrameQuantizer;
  return m_imgFrame;
}

// ---------------------------------------------------------------- closing

bool CAboutWnd::eventFilter(QObject* watched, QEvent* event) {
  if (isVisible() && IsClosingInput(event)) {
    close();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void CAboutWnd::closeEvent(QCloseEvent* event) {
  stopAnimation();
  releaseInput();
  m_pPicture.reset();
  event->accept();
}

// Asks the worker to stop and waits for it. It never waits for this thread,
// so a plain join cannot deadlock.
void CAboutWnd::stopAnimation() {
  if (!m_pThread)
    return;
  int running = 1;
  m_nRun.compare_exchange_strong(running, 0);
  m_pThread->join();
  m_pThread.reset();
}

void CAboutWnd::releaseInput() {
  if (QCoreApplication* app = QCoreApplication::instance())
    app->removeEventFilter(this);
  if (keyboardGrabber() == this)
    releaseKeyboard();
  if (mouseGrabber() == this)
    releaseMouse();
}

// ---------------------------------------------------------------- painting

void CAboutWnd::paintEvent(QPaintEvent*) {
  QImage frame;
  QString line1, line2;
  int grow = 0, shrink = 0;
  {
    std::lock_guard lock(m_mutex);
    frame = m_imgFrame;
    line1 = m_strLine1;
    line2 = m_strLine2;
    grow = m_nGrow;
    shrink = m_nShrink;
  }
  QPainter painter(this);
  painter.drawPixmap(0, 0, m_bitmap);
  const QRect target(kPictureLeft + shrink - grow, kPictureTop - grow,
                     m_nPictureWidth + 2 * grow - 2 * shrink, m_nPictureHeight + 2 * grow);
  if (!frame.isNull() && target.width() > 0) {
    // The zoom stays inside the picture's place; the texts stay readable.
    painter.save();
    painter.setClipRect(m_rectPicture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, frame);
    painter.restore();
  }
  painter.setFont(BitmapTextFont());
  painter.setPen(m_textColour);
  const int centre = kPictureLeft + m_nPictureWidth / 2;
  const int top = kPictureTop + m_nPictureHeight + kLine1Gap;
  const int lineHeight = QFontMetrics(painter.font()).height();
  painter.drawText(QRect(centre - width(), top, 2 * width(), lineHeight), Qt::AlignHCenter | Qt::AlignTop, line1);
  painter.drawText(QRect(centre - width(), top + kLineSpacing, 2 * width(), lineHeight),
                   Qt::AlignHCenter | Qt::AlignTop, line2);
}

// ---------------------------------------------------------------- the worker

void CAboutWnd::animate() {
  const size_t bytes = size_t(m_nPictureWidth) * m_nPictureHeight * m_nBytesPerPixel;
  const std::vector<uint8_t> original(m_pPicture->GetPixels(), m_pPicture->GetPixels() + bytes);
  double quantizer = kFirstQuantizer;
  while (m_nRun.load() == 1 && waitForFrameTime()) {
    m_tFrame = NowMs();
    if (quantizer > 0.0) {
      showQuantized(original, quantizer);
      quantizer = NextQuantizer(quantizer);
    } else if (!zoomStep()) {
      quantizer = kFirstQuantizer;
    }
    requestRepaint(m_rectPicture);
    if (NowMs() - m_tText > kTextMs) {
      showNextLines();
      m_tText = NowMs();
      requestRepaint(m_rectText);
    }
  }
  m_nRun = -1;
}

// Sleeps in short slices until the next frame is due; false when asked to stop.
bool CAboutWnd::waitForFrameTime() {
  while (NowMs() - m_tFrame < kFrameMs) {
    if (m_nRun.load() != 1)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  return m_nRun.load() == 1;
}

void CAboutWnd::showQuantized(const std::vector<uint8_t>& original, double quantizer) {
  uint8_t* pixels = m_pPicture->GetPixels();
  std::memcpy(pixels, original.data(), original.size());
  const long rowBytes = long(m_nPictureWidth) * m_nBytesPerPixel;
  TXquantizerPreview(pixels, m_nPictureWidth, m_nPictureHeight, m_nBytesPerPixel, rowBytes, 0, kQuantizerWavelet,
                     kQuantizerCodec, static_cast<long>(quantizer * 65536), kQuantizerPortion);
  const QImage::Format format = m_nBytesPerPixel == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888;
  QImage frame = QImage(pixels, m_nPictureWidth, m_nPictureHeight, rowBytes, format).copy();
  std::lock_guard lock(m_mutex);
  m_imgFrame = std::move(frame);
  m_dFrameQuantizer = quantizer;
  m_nGrow = m_nShrink = 0;
  ++m_nFrames;
}

// One frame of the sharp picture's zoom: it grows, then folds to nothing.
// False when the fold is done and the cycle starts over.
bool CAboutWnd::zoomStep() {
  std::lock_guard lock(m_mutex);
  ++m_nFrames;
  if (m_nGrow <= m_nPictureHeight / 2 - 20) {
    m_nGrow += kZoomStep;
    return true;
  }
  if (m_nShrink <= m_nGrow + m_nPictureWidth / 2) {
    m_nShrink += kZoomStep;
    return true;
  }
  return false;
}

void CAboutWnd::showNextLines() {
  std::lock_guard lock(m_mutex);
  m_strLine1 = m_texts[2 * m_nLine];
  m_strLine2 = m_texts[2 * m_nLine + 1];
  m_nLine = (m_nLine + 1) % 6;
}

void CAboutWnd::requestRepaint(const QRect& rect) {
  QMetaObject::invokeMethod(this, [this, rect] { update(rect); }, Qt::QueuedConnection);
}
