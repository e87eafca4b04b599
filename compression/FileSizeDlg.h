// CFileSizeDlg: the "File Size" compression settings (template 188). The
// object lives as long as its view: its members are the settings, shown
// again at the next opening.
#pragma once

#include <QDialog>
#include <cstdint>

class CTXPhotoDoc;
class CColumnComboBox;

class CFileSizeDlg : public QDialog {
  Q_OBJECT
public:
  explicit CFileSizeDlg(QWidget* parent = nullptr);
  ~CFileSizeDlg() override;

  // Shows the settings, runs the dialog; IDOK for "Save", IDCANCEL for
  // "Cancel" and "Preview" (which also posts WM_SHOWPREVIEW to the view).
  int DoModal();

  // inputs
  CTXPhotoDoc* m_pDoc = nullptr;
  int m_nWidth = 0;
  int m_nHeight = 0;
  int m_nImageBits = 24;
  uint32_t m_nRawSize = 0;
  // settings
  uint32_t m_nFileSize = 0;
  double m_dRatio = 40.0;
  double m_dBitsPerPixel = 0.6;
  uint32_t m_nColorPortion = 10;
  int m_bColorDownsampling = 1;
  int m_bUserDownsampling = 1;
  int m_bOpenAfterSaving = 0;
  int m_nFilterChoice = 1;
};
