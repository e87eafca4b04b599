#include "docview/ChildFrame.h"

#include <QStatusBar>
#include <QVBoxLayout>

#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "resources/Bitmaps.h"
#include "resources/resource.h"

CChildFrame::CChildFrame(CTXPhotoDoc* doc, CTXPhotoView* view) : m_pDoc(doc), m_pView(view) {
  setObjectName("CChildFrame");
  setAttribute(Qt::WA_DeleteOnClose);
  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(view, 1);
  m_pStatusBar = new QStatusBar(body);
  m_pStatusBar->setObjectName("DocumentStatusBar");
  m_pStatusBar->setSizeGripEnabled(false);
  layout->addWidget(m_pStatusBar);
  setWidget(body);
  setWindowTitle(doc->GetTitle());
  setWindowIcon(DocumentIcon());
  connect(doc, &CTXPhotoDoc::titleChanged, this, &QWidget::setWindowTitle);
  doc->AddFrame();
}

CChildFrame::~CChildFrame() { m_pDoc->RemoveFrame(); }

bool CChildFrame::IsStatusBarVisible() const { return m_pStatusBar && !m_pStatusBar->isHidden(); }

void CChildFrame::ShowStatusBar(bool show) {
  if (m_pStatusBar)
    m_pStatusBar->setVisible(show);
}

bool CChildFrame::OnCommand(int id) {
  if (id != ID_VIEW_DOC_STATUSBAR)
    return false;
  ShowStatusBar(!IsStatusBarVisible());
  return true;
}

bool CChildFrame::OnUpdateCommand(CCmdUI& ui) {
  if (ui.m_nID != ID_VIEW_DOC_STATUSBAR)
    return false;
  ui.SetCheck(IsStatusBarVisible());
  return true;
}
