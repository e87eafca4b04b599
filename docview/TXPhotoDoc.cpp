#include "docview/TXPhotoDoc.h"

#include <QFileInfo>
#include <QMessageBox>

#include "image/Dib.h"

CTXPhotoDoc::CTXPhotoDoc() = default;
CTXPhotoDoc::~CTXPhotoDoc() = default;

bool CTXPhotoDoc::OnOpenDocument(const QString& path) {
  const QFileInfo info(path);
  if (!info.isFile() || !info.isReadable())
    return false;
  m_strPathName = info.absoluteFilePath();
  SetTitle(info.fileName());
  return true;
}

bool CTXPhotoDoc::PasteFromClipboard() { return false; }

void CTXPhotoDoc::SetTitle(const QString& title) {
  if (title == m_strTitle)
    return;
  m_strTitle = title;
  emit titleChanged(title);
}

void CTXPhotoDoc::RemoveFrame() {
  if (--m_nFrames <= 0)
    deleteLater();
}
