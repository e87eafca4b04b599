// CViewScaleDlg: the "View Scale" dialog. One of five fixed scales or a
// percentage of the user's own, 25 to 400.
#pragma once

#include <QDialog>

class QButtonGroup;
class QLineEdit;

class CViewScaleDlg : public QDialog {
  Q_OBJECT
public:
  enum ScaleChoice : int { Scale200 = 0, Scale100, Scale75, Scale50, Scale25, ScaleUser };
  static constexpr int kMinPercent = 25;
  static constexpr int kMaxPercent = 400;

  explicit CViewScaleDlg(QWidget* parent = nullptr);

  // Ends with Accepted only when the percentage of "User defined:" is an
  // integer in 25..400; otherwise tells the user and stays open.
  void accept() override;

  // The zoom factor the choice stands for (the user's percentage clamped
  // to 0.25 .. 4.0).
  double Zoom() const;

  int m_nScaleChoice = ScaleUser;  // 0 .. 5, the radio buttons in order
  int m_nPercent = 100;

protected:
  // Shows the members in the controls each time the dialog opens.
  void showEvent(QShowEvent* event) override;

private:
  bool readPercent();

  QButtonGroup* m_pChoices = nullptr;
  QLineEdit* m_pPercent = nullptr;
};
