// CChildFrame: the document window. A QMdiSubWindow that hosts the view and
// the document's own status bar.
#pragma once

#include <QMdiSubWindow>

#include "app/CommandRouter.h"

class CTXPhotoDoc;
class CTXPhotoView;
class QStatusBar;

class CChildFrame : public QMdiSubWindow, public CCmdTarget {
  Q_OBJECT
public:
  CChildFrame(CTXPhotoDoc* doc, CTXPhotoView* view);
  ~CChildFrame() override;

  CTXPhotoView* GetActiveView() const { return m_pView; }
  CTXPhotoDoc* GetDocument() const { return m_pDoc; }
  QStatusBar* DocumentStatusBar() const { return m_pStatusBar; }
  bool IsStatusBarVisible() const;
  void ShowStatusBar(bool show);

  bool OnCommand(int id) override;
  bool OnUpdateCommand(CCmdUI& ui) override;

private:
  CTXPhotoDoc* m_pDoc;
  CTXPhotoView* m_pView;
  QStatusBar* m_pStatusBar = nullptr;
};
