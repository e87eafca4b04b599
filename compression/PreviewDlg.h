// CPreviewDlg: the Preview dialog (template 227). Shows the document's
// image or its real compression, decoded in memory, while the document
// creates it; "Save" writes exactly the previewed bytes.
#pragma once

#include <QDialog>
#include <QPoint>

class CDib;
class CTXPhotoDoc;
class QAbstractButton;
class QLineEdit;
class QMenu;
class QPainter;
class QScrollBar;
class QWidget;

class CPreviewDlg : public QDialog {
  Q_OBJECT
public:
  explicit CPreviewDlg(QWidget* parent = nullptr);
  ~CPreviewDlg() override;

  // IDOK for "Save", IDCANCEL for "Close".
  int DoModal();
  // Repaints the pane from the current state (called while decoding).
  int DrawImage();

  CTXPhotoDoc* m_pDoc = nullptr;
  int m_nImage = 1;
  long m_nFileSize = 0;
  unsigned m_nRatio = 1;
  int m_bOpenAfterSaving = 0;
  double m_dZoom = 1.0;

  // Every ending reads the controls first ("Open after saving").
  void done(int result) override;
  void reject() override;
  // Paints the pane: the chosen image with grey bands, or grey alone.
  void PaintPane(QPainter& painter);
  // Context menu 110 as it would show now (the caller owns it).
  QMenu* BuildContextMenu();

protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void createControls();
  void OnInitDialog();
  void OnCreatePreview();
  void OnCommand(int id);
  void OnZoom(double factor, double originFactor);
  void OnOriginalSize();
  void OnShowOriginal();
  void OnShowCompressed();
  void OnHScroll(int position);
  void OnVScroll(int position);
  void OnHelp();
  void OnPaneMouse(QEvent* event);
  void CentreOrigin();
  void LayOut();
  void ClampOrigin();
  void SetScrollPositions();
  void EnableZoomButtons();
  void ShowValues();
  // The image `m_nImage` picks; nullptr while the document lacks either one.
  CDib* ShownImage() const;

  // Layout state; origins in the bitmap's bottom-up rows.
  int m_nOriginX = 0;
  int m_nOriginY = 0;
  int m_nVisWidth = 0;
  int m_nVisHeight = 0;
  int m_nDrawWidth = 0;
  int m_nDrawHeight = 0;
  int m_nOffsetX = 0;
  int m_nOffsetY = 0;
  int m_nRangeX = -1;
  int m_nRangeY = -1;
  bool m_bFitsX = false;
  bool m_bFitsY = false;
  int m_nImageWidth = 0;
  int m_nImageHeight = 0;
  int m_nPaneWidth = 0;
  int m_nPaneHeight = 0;
  bool m_bFirstPaint = true;
  bool m_bOverPane = false;
  QPoint m_ptLast;

  QWidget* m_pPane = nullptr;
  QScrollBar* m_pHScroll = nullptr;
  QScrollBar* m_pVScroll = nullptr;
  QAbstractButton* m_pZoomIn = nullptr;
  QAbstractButton* m_pZoomOut = nullptr;
  QAbstractButton* m_pOriginalSize = nullptr;
  QAbstractButton* m_pOriginal = nullptr;
  QAbstractButton* m_pCompressed = nullptr;
  QAbstractButton* m_pOpenAfterSaving = nullptr;
  QLineEdit* m_pFileSize = nullptr;
  QLineEdit* m_pRatio = nullptr;
};
