// CProgressBar: a progress bar placed in a pane of the main status bar, to
// the right of a short message. Long operations run on the GUI thread without
// an event loop, so every change repaints the status bar at once.
//
// The TXprogress subclasses let the codec library drive a bar; TavixProgressFunc
// is the plain callback of the TIFF code; CProgressOperation wraps the usual
// life of a bar during one operation.
#pragma once

#include <QPointer>
#include <QProgressBar>
#include <QRect>
#include <QString>

#include "codec/TavixLib.h"
#include "image/Progress.h"

class CMainFrame;
class QLabel;
class QStatusBar;

class CProgressBar : public QProgressBar, public IProgressBar {
  Q_OBJECT
public:
  // Makes no bar in the status bar; Create does.
  CProgressBar();
  // Constructs and creates the bar (see Create).
  CProgressBar(const QString& message, int size = 100, int maxValue = 100, bool smooth = false,
               int pane = 0);
  ~CProgressBar() override;

  // Places the bar in `pane` of the main status bar with the range
  // 0..maxValue and step 1; `size` is its width in percent of the room the
  // message leaves. False without a status bar or such a pane.
  bool Create(const QString& message, int size = 100, int maxValue = 100, bool smooth = false,
              int pane = 0);

  bool SetRange(int lower, int upper, int step);
  void SetStep(int step);
  // Returns the previous position (0 when the bar was never created).
  int SetPos(int pos) override;
  void SetText(const QString& message);
  // Places the bar after the message in its pane; false without a bar or status bar.
  bool Resize();
  // Hides the bar and gives the pane its text back ("Ready" for pane 0).
  void Clear();

  bool IsCreated() const { return m_bCreated; }
  bool IsSmooth() const { return m_bSmooth; }
  int Step() const { return m_nStep; }
  QRect BarRect() const { return m_rcBar; }
  QString Message() const { return m_strMessage; }

  // The status bar the bar lives in: the main frame's, otherwise the first
  // top-level main window's; nullptr when there is none.
  static QStatusBar* GetStatusBar();
  // Pane `index` of a status bar: its QLabel child with property "tavixPane" == index.
  static QLabel* StatusPane(QStatusBar* statusBar, int index);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void watch(QStatusBar* statusBar, QLabel* pane);

  int m_nSize = 100;
  int m_nPane = 0;
  int m_nStep = 1;
  bool m_bSmooth = false;
  bool m_bCreated = false;
  bool m_bResizing = false;
  QString m_strMessage;
  QString m_strPrevText;
  QRect m_rcBar;  // last placement in status-bar coordinates; empty at first
};

// Drives a bar while the codec reads a .tvx file or compresses to a file:
// fractions move the bar, byte counts replace the message.
class CByteProgress : public TXprogress {
public:
  explicit CByteProgress(CProgressBar* bar);
  bool progressChanged() override;

private:
  CProgressBar* m_pBar;  // not owned
};

// First half of a preview's 0..200 bar: compressing into memory.
class CPreviewEncodeProgress : public TXprogress {
public:
  explicit CPreviewEncodeProgress(CProgressBar* bar);
  bool progressChanged() override;

private:
  CProgressBar* m_pBar;  // not owned
};

// Second half of a preview's 0..200 bar: decoding the compressed bytes.
class CPreviewDecodeProgress : public TXprogress {
public:
  explicit CPreviewDecodeProgress(CProgressBar* bar);
  bool progressChanged() override;

private:
  CProgressBar* m_pBar;  // not owned
};

// ProgressFunc of the TIFF reader and writer: moves the main frame's current
// bar to done * 100 / total percent. Always returns 1.
int TavixProgressFunc(unsigned done, unsigned total);

// One long operation's feedback: wait cursor, a bar with `message` in pane 0
// (40 percent wide, smooth, range 0..maxValue, at 0) held in the main frame's
// slot. The destructor removes the bar, gives the slot back and ends the
// wait cursor.
class CProgressOperation {
public:
  explicit CProgressOperation(const QString& message, int maxValue = 100);
  ~CProgressOperation();
  CProgressOperation(const CProgressOperation&) = delete;
  CProgressOperation& operator=(const CProgressOperation&) = delete;

  // The bar; nullptr once its status bar has gone.
  CProgressBar* Bar() const { return m_pBar.data(); }

private:
  QPointer<CProgressBar> m_pBar;
  QPointer<CMainFrame> m_pFrame;
  const CProgressBar* m_pStored = nullptr;  // what went into the slot, for comparison only
};
