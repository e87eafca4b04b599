// CColorTableWarningDlg: the start-up warning on displays that show colours
// through a colour table of 256 entries or fewer. The user can quit at once
// and can turn the warning off for later starts.
#pragma once

#include <QDialog>

#include "platform/WinTypes.h"

class QCheckBox;

class CColorTableWarningDlg : public QDialog {
  Q_OBJECT
public:
  explicit CColorTableWarningDlg(QWidget* parent = nullptr);

  // exec() ends with IDOK for "Continue" (also Enter), -1 for "Exit" and
  // IDCANCEL for Escape or closing the window. Only "Continue" and "Exit"
  // read the check box into m_bShowAgain.
  void reject() override;

  BOOL m_bShowAgain = TRUE;  // "Show this warning in future"

private:
  void onContinue();
  void onExit();

  QCheckBox* m_pShowAgain = nullptr;
};
