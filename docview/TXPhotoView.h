// CTXPhotoView: the scrolling view of an image document.
#pragma once

#include <QAbstractScrollArea>

#include "app/CommandRouter.h"

class CTXPhotoDoc;

class CTXPhotoView : public QAbstractScrollArea, public CCmdTarget {
  Q_OBJECT
public:
  explicit CTXPhotoView(CTXPhotoDoc* doc);
  ~CTXPhotoView() override;

  CTXPhotoDoc* GetDocument() const { return m_pDoc; }
  // Called when the view becomes the active one.
  virtual void OnActivateView();

  bool OnCommand(int id) override;
  bool OnUpdateCommand(CCmdUI& ui) override;

protected:
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

private:
  CTXPhotoDoc* m_pDoc;
};
