// CFileSizeDlg: the "File Size" compression settings of a view.
#pragma once

class CFileSizeDlg {
public:
  int m_bOpenAfterSaving = 0;
};
