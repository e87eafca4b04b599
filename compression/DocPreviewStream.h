// CDocPreviewStream: the preview input stream of a document. While the
// codec decodes the preview, each intermediate image is put into the
// document's preview image and shown.
#pragma once

#include "codec/TavixLib.h"

class CTXPhotoDoc;

class CDocPreviewStream : public TXpreviewInputStream {
public:
  explicit CDocPreviewStream(CTXPhotoDoc* doc);
  bool previewReady() override;

private:
  CTXPhotoDoc* m_pDoc;
};
