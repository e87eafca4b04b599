// CSplashWnd: the borderless picture shown above all windows at start-up.
// It closes itself after its display time or on the first key or mouse
// button press anywhere in the application (which it swallows), and deletes
// itself when it closes.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

// The font of the texts drawn on the splash and About bitmaps: an Arial-like
// sans serif, normal weight, whose lines are 14 pixels high.
QFont BitmapTextFont();

// Black, or white over a dark part of a bitmap: the colour of text drawn
// over `band` of `bitmap`.
QColor TextColourOver(const QImage& bitmap, const QRect& band);

// Centres a top-level window on the primary screen, `raise` pixels above
// the middle.
void CentreOnScreen(QWidget* window, int raise);

class CSplashWnd : public QWidget {
  Q_OBJECT
public:
  CSplashWnd(int bitmapId, const QString& text, int displayTimeMs);
  ~CSplashWnd() override;

  // Loads the bitmap and shows the window; false (nothing shown) when the
  // bitmap cannot be loaded. The caller deletes the object then.
  bool Create();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  QRect textBand() const;
  void release();

  int m_nBitmapId;
  QString m_strText;
  int m_nDisplayTime;
  int m_nTimer = 0;
  QPixmap m_bitmap;
  QColor m_textColour;
};

// True for the events that close the splash and About windows: a key or a
// mouse button going down. A shortcut override is accepted so that the key
// comes as a key press instead of triggering a shortcut.
bool IsClosingInput(QEvent* event);
