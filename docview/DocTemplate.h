// CMultiDocTemplate: makes the document, its frame and its view (resource 129).
#pragma once

#include <QString>

class CChildFrame;
class CMainFrame;
class CTXPhotoDoc;

class CMultiDocTemplate {
public:
  explicit CMultiDocTemplate(int resourceId) : m_nIDResource(resourceId) {}

  // Opens `path` in a new document window inside `frame`; nullptr when the
  // document could not be opened (it has reported why).
  CTXPhotoDoc* OpenDocumentFile(CMainFrame* frame, const QString& path, bool makeVisible = true);
  // A new document from the image on the clipboard; nullptr when there is none.
  CTXPhotoDoc* OpenClipboardDocument(CMainFrame* frame);
  // A new window on an open document (Window > New Window).
  CChildFrame* CreateNewFrame(CMainFrame* frame, CTXPhotoDoc* doc);

  int ResourceId() const { return m_nIDResource; }

private:
  int m_nIDResource;
};
