#include "codec/preview.h"

#include <new>
#include <vector>

#include "codec/pipeline.h"

using namespace tavix;

bool TXjob::CanPreview(const TXpreviewInputStream& s) const {
  if (!headerRead || !decoder || finalRenderStarted || s.externalBuffer == nullptr) return false;
  const long rowBytes = static_cast<long>(header.image.width) * header.planes *
                        (BitsPerSample(header.image.colorType) / 8);
  return s.externalWidth >= header.image.width && s.externalHeight >= header.image.height &&
         s.externalRowBytes >= rowBytes;
}

namespace {

// Finest levels a preview can leave out and still be shown at least at the
// size the stream asks for.
int LevelsToLeaveOut(const TXpreviewInputStream& s, const StreamHeader& h) {
  if (s.previewShownWidth <= 0 || s.previewShownHeight <= 0) return 0;
  int k = 0;
  while (k < h.levels && CoarserSide(h.image.width, k + 1) >= s.previewShownWidth &&
         CoarserSide(h.image.height, k + 1) >= s.previewShownHeight)
    ++k;
  return k;
}

}  // namespace

int TXjob::RenderPreview(TXpreviewInputStream& s) {
  if (!CanPreview(s)) return TX_ERR_STATE;
  const int coarserFrom = LevelsToLeaveOut(s, header);
  try {
    const PlaneSource currentPlane{
        [this, coarserFrom](int i, CoefficientPlane& out) {
          return decoder->ReconstructPlane(static_cast<size_t>(i), out, renderStop, threads, coarserFrom)
                     ? TX_OK
                     : TX_ERR_ABORTED;
        },
        [this, coarserFrom](int i, const QuantiserSettings& settings, PlaneVector<float>& out) {
          return decoder->ReconstructDequantised(static_cast<size_t>(i), DequantiseScales(settings),
                                                 kReconstructionOffset, out, renderStop, threads, coarserFrom)
                     ? TX_OK
                     : TX_ERR_ABORTED;
        }};
    const int r = CoefficientsToPixels(currentPlane, header, s.externalBuffer, s.externalRowBytes, renderStop,
                                       threads, coarserFrom);
    if (r == TX_ERR_ABORTED) stopRequested = true;
    if (r != TX_OK) return r;
  } catch (const std::bad_alloc&) {
    return TX_ERR_MEMORY;
  }
  s.previewWidth = CoarserSide(header.image.width, coarserFrom);
  s.previewHeight = CoarserSide(header.image.height, coarserFrom);
  s.previewPlanes = header.planes;
  s.lastPreviewBytes = static_cast<long>(streamBytes);
  ++s.previewCount;
  ++previewsRendered;
  if (!s.previewReady()) stopRequested = true;
  return TX_OK;
}

bool TXjob::OfferPreview() {
  if (stopRequested) return false;
  TXpreviewInputStream* s = input->asPreviewStream();
  if (s == nullptr || !CanPreview(*s)) return true;
  if (s->wantPreview(static_cast<long>(streamBytes), FractionRead(), BitsPerPixelRead())) RenderPreview(*s);
  return !stopRequested;
}
