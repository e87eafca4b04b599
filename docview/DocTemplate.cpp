#include "docview/DocTemplate.h"

#include <QMdiArea>

#include "app/MainFrame.h"
#include "docview/ChildFrame.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "resources/Strings.h"
#include "resources/resource.h"

CTXPhotoDoc* CMultiDocTemplate::OpenDocumentFile(CMainFrame* frame, const QString& path, bool makeVisible) {
  auto doc = std::make_unique<CTXPhotoDoc>();
  if (!doc->OnOpenDocument(path))
    return nullptr;
  CChildFrame* child = CreateNewFrame(frame, doc.get());
  if (makeVisible)
    child->show();
  return doc.release();
}

CTXPhotoDoc* CMultiDocTemplate::OpenClipboardDocument(CMainFrame* frame) {
  auto doc = std::make_unique<CTXPhotoDoc>();
  if (!doc->PasteFromClipboard())
    return nullptr;
  CreateNewFrame(frame, doc.get())->show();
  doc->SetTitle(LoadStringResource(IDS_CLIPBOARD_TITLE));
  return doc.release();
}

CChildFrame* CMultiDocTemplate::CreateNewFrame(CMainFrame* frame, CTXPhotoDoc* doc) {
  auto* view = new CTXPhotoView(doc);
  auto* child = new CChildFrame(doc, view);
  frame->AddChild(child);
  return child;
}
