// CJpegQualityDlg: "JPEG Quality Factor", asked before a JPEG export. The
// edit box and the track bar show the same quality 0..100; a value typed
// outside that range is pulled back to its nearest end when the box is left.
#pragma once

#include <QDialog>

class QLineEdit;
class QSlider;

class CJpegQualityDlg : public QDialog {
  Q_OBJECT
public:
  explicit CJpegQualityDlg(QWidget* parent = nullptr);
  ~CJpegQualityDlg() override;

  // Shows m_nQuality and runs the dialog; IDOK ("Save") or IDCANCEL.
  int DoModal();
  void accept() override;

  // The quality shown; the confirmed one after "Save".
  int m_nQuality = 75;

  static constexpr int kMinQuality = 0;
  static constexpr int kMaxQuality = 100;

protected:
  void showEvent(QShowEvent* event) override;
  // Leaving the box applies what was typed.
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // Box -> m_nQuality, clamped to 0..100, then box and track bar follow it.
  void onQualityEdited();
  // Track bar -> m_nQuality -> box.
  void onSliderMoved(int position);
  void showQuality();

  QLineEdit* m_pEdit = nullptr;
  QSlider* m_pSlider = nullptr;
};
