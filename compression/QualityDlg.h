// CQualityDlg: the "Quality" compression settings of a view.
#pragma once

class CQualityDlg {
public:
  int m_bOpenAfterSaving = 0;
};
