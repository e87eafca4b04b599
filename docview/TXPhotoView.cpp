#include "docview/TXPhotoView.h"

#include <QContextMenuEvent>
#include <QPainter>

#include "app/ContextMenuManager.h"
#include "app/TXPhotoApp.h"
#include "docview/TXPhotoDoc.h"
#include "resources/resource.h"

CTXPhotoView::CTXPhotoView(CTXPhotoDoc* doc) : m_pDoc(doc) {
  setObjectName("CTXPhotoView");
  setFrameShape(QFrame::NoFrame);
  setAccessibleName(doc->GetTitle());
  viewport()->setBackgroundRole(QPalette::Dark);
  viewport()->setAutoFillBackground(true);
}

CTXPhotoView::~CTXPhotoView() = default;

void CTXPhotoView::OnActivateView() {}

bool CTXPhotoView::OnCommand(int id) {
  (void)id;
  return false;
}

bool CTXPhotoView::OnUpdateCommand(CCmdUI& ui) {
  (void)ui;
  return false;
}

void CTXPhotoView::paintEvent(QPaintEvent* event) {
  QAbstractScrollArea::paintEvent(event);
}

void CTXPhotoView::contextMenuEvent(QContextMenuEvent* event) {
  if (auto* app = CTXPhotoApp::Instance(); app && app->ContextMenus())
    app->ContextMenus()->ShowPopupMenu(IDR_POPUP_VIEW, event->globalPos(), this);
}
