// CTXPhotoView: the scrolling, zooming view of an image document. It draws
// the document's image, fills the document window's status bar, shows the
// context menu and carries out the image commands.
#pragma once

#include <QAbstractScrollArea>
#include <QPoint>
#include <QSize>
#include <memory>

#include "app/CommandRouter.h"
#include "compression/CompressionMode.h"

class CTXPhotoDoc;
class CChildFrame;
class CFileSizeDlg;
class CQualityDlg;

class CTXPhotoView : public QAbstractScrollArea, public CCmdTarget {
  Q_OBJECT
public:
  explicit CTXPhotoView(CTXPhotoDoc* doc);
  ~CTXPhotoView() override;

  CTXPhotoDoc* GetDocument() const { return m_pDoc; }
  CChildFrame* ParentFrame() const;

  // First showing: registers with the document and fits the image into the
  // main window.
  void OnInitialUpdate();
  // The view became the active one: compression mode and status panes.
  virtual void OnActivateView();
  // Multiplies the zoom by `factor` (snapping near whole factors).
  void ZoomBy(double factor);
  void UpdateStatusPanes();
  void UpdateZoomPane();

  bool OnCommand(int id) override;
  bool OnUpdateCommand(CCmdUI& ui) override;

  // ---- image commands (ViewCommands.cpp)
  void OnFileExport();
  void OnEditCopy();
  void OnImageInfo();
  // True when the image is at least 32 x 32; otherwise tells the user.
  bool SizeGate();

  // ---- compression settings (compression/ViewSettings.cpp)
  // Fills both settings dialogs from the image, once, at the initial update.
  void InitCompressionSettings();
  // Copies the settings of m_nCompressionMode into the image's codec
  // parameters; false (nothing written) when the row maps to no wavelet.
  bool BuildCompressionParams();

  // ---- compress commands (ViewCompressCommands.cpp)
  void OnCompressFileSize();
  void OnCompressQuality();
  void OnCompressLossless();
  void OnCompress();  // the toolbar's "Compress": the mode chosen in the main frame
  // Runs the command of m_nCompressionMode again (after the Preview dialog's "Close").
  void RunCompressionCommand();
  void CompressAndSave();

  // ---- state
  double m_dZoom = 1.0;
  QSize m_sizeImage;
  int m_nBitsPerPixel = 0;
  long long m_nImageBytes = 0;
  QSize m_sizeDisplay;
  QSize m_sizePage;
  QSize m_sizeLine;
  QPoint m_ptLastMouse;
  int m_nCompressionMode = CompressFileSize;
  int m_nSourceMode = CompressNone;
  int m_nLastResult = 0;
  int m_nJpegQuality = 75;
  // The settings dialogs live as long as the view (filled by the
  // compression workflow).
  std::unique_ptr<CFileSizeDlg> m_dlgFileSize;
  std::unique_ptr<CQualityDlg> m_dlgQuality;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool event(QEvent* event) override;

private:
  void onViewScale();
  void setScrollSizes();
  bool displayFitsMainWindow() const;
  void resizeParentToFit();

  CTXPhotoDoc* m_pDoc;
  bool m_bInitialUpdateDone = false;
};
