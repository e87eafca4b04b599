#include "app/SplashWnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>

#include "resources/Bitmaps.h"

namespace {

constexpr int kLineHeight = 14;
constexpr int kTextAboveBottom = 26;  // top of the text, from the bottom edge
constexpr int kRaise = 25;

}  // namespace

QFont BitmapTextFont() {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setWeight(QFont::Normal);
  // A line height of 14 pixels, as the text bands of the bitmaps expect.
  int size = kLineHeight;
  font.setPixelSize(size);
  while (size > 8 && QFontMetrics(font).height() > kLineHeight)
    font.setPixelSize(--size);
  return font;
}

QColor TextColourOver(const QImage& bitmap, const QRect& band) {
  const QRect area = band & bitmap.rect();
  if (area.isEmpty())
    return Qt::black;
  double sum = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      sum += qGray(bitmap.pixel(x, y));
  return sum / (double(area.width()) * area.height()) < 128 ? Qt::white : Qt::black;
}

void CentreOnScreen(QWidget* window, int raise) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen)
    return;
  QRect frame(QPoint(), window->size());
  frame.moveCenter(screen->geometry().center());
  window->move(frame.topLeft() - QPoint(0, raise));
}

bool IsClosingInput(QEvent* event) {
  switch (event->type()) {
  case QEvent::ShortcutOverride:
    event->accept();
    return false;
  case QEvent::KeyPress:
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonDblClick:
    return true;
  default:
    return false;
  }
}

CSplashWnd::CSplashWnd(int bitmapId, const QString& text, int displayTimeMs)
    : QWidget(nullptr, Qt::SplashScreen | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint),
      m_nBitmapId(bitmapId), m_strText(text), m_nDisplayTime(displayTimeMs) {
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_QuitOnClose, false);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setObjectName(QStringLiteral("SplashWnd"));
}

CSplashWnd::~CSplashWnd() { release(); }

bool CSplashWnd::Create() {
  const QImage bitmap = ResourceImage(m_nBitmapId);
  if (bitmap.isNull())
    return false;
  m_bitmap = QPixmap::fromImage(bitmap);
  m_textColour = TextColourOver(bitmap, textBand());
  setFixedSize(m_bitmap.size());
  setCursor(Qt::ArrowCursor);
  CentreOnScreen(this, kRaise);
  show();
  raise();
  grabMouse();
  grabKeyboard();
  // The grabs do not hold on every platform; the application-wide filter
  // closes the window on input anywhere all the same.
  qApp->installEventFilter(this);
  m_nTimer = startTimer(m_nDisplayTime);
  return true;
}

bool CSplashWnd::eventFilter(QObject* watched, QEvent* event) {
  if (isVisible() && IsClosingInput(event)) {
    close();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void CSplashWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, m_bitmap);
  if (m_strText.isEmpty())
    return;
  painter.setFont(BitmapTextFont());
  painter.setPen(m_textColour);
  painter.drawText(textBand(), Qt::AlignHCenter | Qt::AlignTop, m_strText);
}

QRect CSplashWnd::textBand() const {
  return QRect(0, m_bitmap.height() - kTextAboveBottom, m_bitmap.width(), kTextAboveBottom);
}

void CSplashWnd::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_nTimer)
    close();
}

void CSplashWnd::closeEvent(QCloseEvent* event) {
  release();
  event->accept();
}

void CSplashWnd::release() {
  if (QCoreApplication* app = QCoreApplication::instance())
    app->removeEventFilter(this);
  if (m_nTimer != 0) {
    killTimer(m_nTimer);
    m_nTimer = 0;
  }
  if (keyboardGrabber() == this)
    releaseKeyboard();
  if (mouseGrabber() == this)
    releaseMouse();
}
