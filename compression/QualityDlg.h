// CQualityDlg: the "Quality" compression settings (template 189) with the
// in-place preview of the quantizer's effect. The object lives as long as
// its view: its members are the settings, shown again at the next opening.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <memory>

class CColumnComboBox;
class CDib;
class CQualityPreviewPane;
class CTXPhotoDoc;
class QCheckBox;
class QGroupBox;
class QHideEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QShowEvent;
class QSlider;

class CQualityDlg : public QDialog {
  Q_OBJECT
public:
  explicit CQualityDlg(QWidget* parent = nullptr);
  ~CQualityDlg() override;

  // Shows the settings, runs the dialog; IDOK for "Save", IDCANCEL for
  // "Cancel" and "Preview" (which also posts WM_SHOWPREVIEW to the view).
  int DoModal();

  // inputs
  CTXPhotoDoc* m_pDoc = nullptr;
  CDib* m_pImage = nullptr;  // the document's image, for the preview
  int m_nWidth = 0;
  int m_nHeight = 0;
  int m_nImageBits = 24;
  uint32_t m_nRawSize = 0;
  // settings
  double m_dQuality = 40.0;
  uint32_t m_nColorPortion = 10;
  int m_bColorDownsampling = 1;
  int m_bUserDownsampling = 1;
  int m_bOpenAfterSaving = 0;
  int m_nFilterChoice = 12;
  QString m_strFilter;
  int m_bPreview = 0;
  int m_nPreviewImage = 1;
  // the values last acted on: a setting moved back to one of them does not
  // recompute the preview
  int m_nLastQuality = 40;
  int m_nLastColorPortion = 10;
  int m_nLastFilterChoice = 12;

  // ---- in-dialog preview
  std::unique_ptr<CDib> m_pWork;  // a window of the image, possibly quantized
  int m_bPreviewPossible = 0;     // the image is large enough
  int m_bNewWork = 0;             // m_pWork has no bitmap yet
  double m_dZoom = 1.0;           // pane pixels per image pixel
  int m_nOriginX = 0;             // upper left image pixel shown (top-down)
  int m_nOriginY = 0;
  uint16_t m_wVisWidth = 0;  // image pixels shown
  uint16_t m_wVisHeight = 0;
  uint16_t m_wMinWidth = 0;  // least window of the quantizer preview
  uint16_t m_wMinHeight = 0;
  uint16_t m_wWorkWidth = 0;  // size of m_pWork
  uint16_t m_wWorkHeight = 0;
  int m_nMarginX = 0;  // the visible part's position inside m_pWork
  int m_nMarginY = 0;
  CQualityPreviewPane* m_pPane = nullptr;
  int m_nPaneWidth = 0;  // inside of the pane
  int m_nPaneHeight = 0;

protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

private:
  void createControls();
  void createLayout();
  void connectControls();
  void OnInitDialog();
  void OnDestroy();

  // controls <-> members
  void ReadControls();
  void WriteControls();
  void ApplyRowToDownsampling(bool restoreUserChoice);

  // settings handlers
  void OnQualitySlider(int position);
  void OnColorSlider(int position);
  void OnQualityEdited();
  void OnColorPortionEdited();
  void OnFilterChosen(int row);
  void OnDownsamplingClicked();
  void OnSave();
  void OnPreviewButton();
  void OnHelp();
  // Updates the preview after a real settings change.
  void SettingsChanged();

  // preview
  void SetUpPreview();
  bool MakeImagePixels();
  void FreeImagePixels();
  void AllocateWork();
  void ComputePreview();
  void CopyWorkWindow();
  void DrawPreview();
  void DisablePreview();
  bool ZoomAllowed(double zoom) const;
  void EnableZoomButtons();
  void OnZoom(double factor);
  void OnPaneDragged(int dx, int dy);
  void OnShowPreviewClicked();
  void OnPreviewImageClicked();
  bool PreviewOn() const { return m_bPreviewPossible && m_bPreview; }

  QLineEdit* m_pQualityEdit = nullptr;
  QSlider* m_pQualitySlider = nullptr;
  CColumnComboBox* m_pFilter = nullptr;
  QLabel* m_pFilterLabel = nullptr;
  QLineEdit* m_pColorEdit = nullptr;
  QSlider* m_pColorSlider = nullptr;
  QLabel* m_pColorLabel = nullptr;
  QLabel* m_pColorUnit = nullptr;
  QLabel* m_pColorMin = nullptr;
  QLabel* m_pColorMax = nullptr;
  QCheckBox* m_pDownsampling = nullptr;
  QCheckBox* m_pOpenAfterSaving = nullptr;
  QGroupBox* m_pPreviewGroup = nullptr;
  QCheckBox* m_pShowPreview = nullptr;
  QPushButton* m_pZoomIn = nullptr;
  QPushButton* m_pZoomOut = nullptr;
  QRadioButton* m_pShowOriginal = nullptr;
  QRadioButton* m_pShowCompressed = nullptr;
  bool m_bMadeImagePixels = false;  // the image's pixel buffer is ours to free
};
