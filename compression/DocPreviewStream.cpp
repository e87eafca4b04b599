#include "compression/DocPreviewStream.h"

#include <cstdlib>

#include "docview/TXPhotoDoc.h"
#include "image/Dib.h"

CDocPreviewStream::CDocPreviewStream(CTXPhotoDoc* doc) : m_pDoc(doc) {
  previewTuning[0] = 0.5f;
  previewTuning[1] = 0.4f;
  previewTuning[2] = 0.0001f;
  previewTuning[3] = 1.4f;
  previewTuningBytes = 400;
}

// The preview lies in the preview image's own pixel buffer (the decoder's
// external buffer): its bitmap is rebuilt from there and shown. Decoding
// always goes on; a preview that cannot be shown is skipped.
bool CDocPreviewStream::previewReady() {
  if (!m_pDoc || !m_pDoc->m_pDib || !m_pDoc->m_pPreviewDib)
    return true;
  CDib& preview = *m_pDoc->m_pPreviewDib;
  const BITMAPINFOHEADER* source = m_pDoc->m_pDib->Header();
  if (!source || !externalBuffer || externalBuffer != preview.GetPixels())
    return true;
  // The decoded planes decide the depth should the image ever disagree.
  int bits = source->biBitCount;
  if (bits != 8 * previewPlanes)
    bits = 8 * previewPlanes;
  if (preview.CreateFromPixels(source->biWidth, std::abs(source->biHeight), bits))
    m_pDoc->RefreshPreview();
  return true;
}
