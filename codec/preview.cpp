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

int TXjob::RenderPreview(TXpreviewInputStream& s) {
  if (!CanPreview(s)) return TX_ERR_STATE;
  try {
    const PlaneSource currentPlane{
        [this](int i, CoefficientPlane& out) {
          return decoder->ReconstructPlane(static_cast<size_t>(i), out, renderStop, threads) ? TX_OK : TX_ERR_ABORTED;
        },
        [this](int i, const QuantiserSettings& settings, PlaneVector<float>& out) {
          return decoder->ReconstructDequantised(static_cast<size_t>(i), DequantiseScales(settings),
                                                 kReconstructionOffset, out, renderStop, threads)
                     ? TX_OK
                     : TX_ERR_ABORTED;
        }};
    const int r =
        CoefficientsToPixels(currentPlane, header, s.externalBuffer, s.externalRowBytes, renderStop, threads);
    if (r == TX_ERR_ABORTED) stopRequested = true;
    if (r != TX_OK) return r;
  } catch (const std::bad_alloc&) {
    return TX_ERR_MEMORY;
  }
  s.previewWidth = header.image.width;
  s.previewHeight = header.image.height;
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
