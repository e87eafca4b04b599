// CChildFrame: the document window. A QMdiSubWindow that hosts the view and
// the document's own status bar: five sunken panes (zoom, format, size and
// colour model, file size, compression summary) that the view fills.
#pragma once

#include <QMdiSubWindow>
#include <array>

#include "app/CommandRouter.h"

class CTXPhotoDoc;
class CTXPhotoView;
class QLabel;
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
  // Shows or hides the status bar; a restored window changes its height by
  // the bar's, so the image area keeps its size (command 32809).
  void ToggleStatusBar();

  // Pane `index` (0..4) of the document status bar; nullptr for another index.
  QLabel* StatusPane(int index) const;
  void SetPaneText(int index, const QString& text);

  bool OnCommand(int id) override;
  bool OnUpdateCommand(CCmdUI& ui) override;

private:
  void createStatusBar();

  CTXPhotoDoc* m_pDoc;
  CTXPhotoView* m_pView;
  QStatusBar* m_pStatusBar = nullptr;
  std::array<QLabel*, 5> m_panes{};
};
