// The codec's streaming decoder for the browser, built to WebAssembly.
//
// A page receives a .tvx file in chunks and hands them over with
// tvx_reserve(). WebAssembly in a worker cannot block inside the codec's
// fillBuffer() the way the plug-in's decoding thread does, so a dry read
// suspends the job instead: tvx_run() ends with TVX_WAITING, and the next
// call runs the job again from the first byte over the bytes there by then. Every pass end the
// codec reports is a fixed byte position, so the preview decisions of one
// long run are replayed exactly: positions decided by an earlier run are
// skipped, later ones follow the library's spacing rule with counters that
// survive the restarts. The header, previews and the final image go to the
// page through tvx_header_ready and tvx_image_ready (the glue's
// Module.onHeader and Module.onImage).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "codec/TavixLib.h"
#include "codec/decoding_session.h"
#include "web/src/web_decoder.h"

#if defined(__EMSCRIPTEN__)
#include <emscripten/emscripten.h>

EM_JS(void, tvx_image_ready, (int final, const unsigned char* pixels, int width, int height, int planes,
                              int bytesPerSample, long rowBytes),
      { Module["onImage"](final, pixels, width, height, planes, bytesPerSample, rowBytes); });

EM_JS(void, tvx_header_ready, (), { Module["onHeader"](); });
#else
// A native build (the fuzz target) has no page to hand images to.
#define EMSCRIPTEN_KEEPALIVE
namespace {
void tvx_image_ready(int, const unsigned char*, int, int, int, int, long) {}
void tvx_header_ready() {}
}  // namespace
#endif

// One image being received; see web_decoder.h.
struct TvxWebDecoder {
  std::vector<uint8_t> data;
  bool progressive = true;
  bool streamEnded = false;
  bool pausedAtLimit = false;
  int shownWidth = 0;  // previews are shown at this size (0: full size)
  int shownHeight = 0;
  size_t limitPreviewAt = SIZE_MAX;  // bytes at which the paused preview was shown

  // Preview spacing that survives restarts.
  long decidedUpTo = 0;
  long lastPreviewBytes = 0;
  int previewCount = 0;

  bool headerKnown = false;
  TXimageParams image;
  TXcompressionParams compression;
  int planes = 1;
  int bytesPerSample = 1;
  long rowBytes = 0;
  std::unique_ptr<uint8_t[]> pixels;
  int result = 0;
  bool finished = false;
};

namespace {

// What fillBuffer returns when the bytes run out before the stream ended.
constexpr int kSuspended = -13;
constexpr int kDone = TVX_DONE;
constexpr int kWaiting = TVX_WAITING;
// The largest image decoded here: the codec's coefficient planes and the
// pixels must fit the module's 2 GiB of memory.
constexpr uint64_t kMaxPixels = 40ull * 1000 * 1000;
constexpr long kBufferSize = 64 * 1024;

class WebInputStream : public TXpreviewInputStream {
public:
  explicit WebInputStream(TvxWebDecoder& decoder) : m_decoder(decoder) {
    previewShownWidth = decoder.shownWidth;
    previewShownHeight = decoder.shownHeight;
    // The plug-in's page tuning: previews start early and come often.
    if (decoder.progressive) {
      previewTuning[0] = 0.5f;
      previewTuning[1] = 0.4f;
      previewTuning[2] = 0.0005f;
      previewTuning[3] = 1.4f;
      previewTuningBytes = 750;
    }
  }

  long newTransferSize(float fractionRead, float bitsPerPixelRead) override {
    return std::max(TXpreviewInputStream::newTransferSize(fractionRead, bitsPerPixelRead), 1024L);
  }

  bool wantPreview(long bytesRead, float fractionRead, float bitsPerPixelRead) override {
    if (!m_decoder.progressive) return false;
    m_decidedThisRun = std::max(m_decidedThisRun, bytesRead);
    if (bytesRead <= m_decoder.decidedUpTo) return false;
    if (fractionRead > previewTuning[0] || bitsPerPixelRead < previewTuning[2]) return false;
    if (bytesRead < previewTuningBytes) return false;
    if (m_decoder.previewCount > 0) {
      const double factor = std::pow(std::max(1.0f, previewTuning[3]), m_decoder.previewCount);
      if (bytesRead < static_cast<double>(m_decoder.lastPreviewBytes) * factor) return false;
    }
    m_decoder.lastPreviewBytes = bytesRead;
    ++m_decoder.previewCount;
    return true;
  }

  bool previewReady() override {
    tvx_image_ready(0, externalBuffer, previewWidth, previewHeight, previewPlanes, m_decoder.bytesPerSample,
                    externalRowBytes);
    return true;
  }

  // Hands over the bytes that are there. At the byte limit the best preview
  // of what arrived is shown once, as the plug-in does before it waits.
  int fillBuffer(long requested) override {
    if (requested <= 0) requested = 1024;
    const long wanted = std::min(requested, bufferSize);
    const size_t available = m_decoder.data.size() - m_readPos;
    const long n = static_cast<long>(std::min<size_t>(available, static_cast<size_t>(wanted)));
    if (n > 0) {
      std::memcpy(buffer, m_decoder.data.data() + m_readPos, static_cast<size_t>(n));
      m_readPos += static_cast<size_t>(n);
      bufferCount = n;
      bufferPos = 0;
      return 0;
    }
    if (m_decoder.streamEnded) return EndWithoutData(0);
    if (m_decoder.pausedAtLimit && m_decoder.limitPreviewAt != m_decoder.data.size()) {
      // Counted like any preview, so the spacing of later ones is the
      // plug-in's. Every byte handed over has been consumed at a dry read.
      m_decoder.limitPreviewAt = m_decoder.data.size();
      if (isPreviewPossible() && doPreview() == TX_OK) {
        m_decoder.lastPreviewBytes = static_cast<long>(m_readPos);
        ++m_decoder.previewCount;
      }
    }
    return EndWithoutData(kSuspended);
  }

  // Positions up to here were decided in this run; the next run skips them.
  void Commit() { m_decoder.decidedUpTo = std::max(m_decoder.decidedUpTo, m_decidedThisRun); }

private:
  int EndWithoutData(int code) {
    bufferCount = 0;
    bufferPos = 0;
    endOfInput = true;
    return code;
  }

  TvxWebDecoder& m_decoder;
  size_t m_readPos = 0;
  long m_decidedThisRun = 0;
};

int TakeHeader(TvxWebDecoder& d, const TXdecodingSession& run) {
  if (d.headerKnown) return TX_OK;
  const int bits = TXgetBitsPerPlane(run.image->colorType);
  const int planes = TXgetNumberOfPlanes(run.image->colorType);
  if (bits <= 0 || bits > 16 || (planes != 1 && planes != 3)) return TX_ERR_UNSUPPORTED;
  d.image = *run.image;
  d.compression = *run.compression;
  d.planes = planes;
  d.bytesPerSample = (bits + 7) / 8;
  d.rowBytes = static_cast<long>(d.image.width) * planes * d.bytesPerSample;
  d.headerKnown = true;
  tvx_header_ready();
  return TX_OK;
}

int AllocatePixels(TvxWebDecoder& d) {
  const uint64_t count = static_cast<uint64_t>(d.image.width) * d.image.height;
  if (count > kMaxPixels) return TX_ERR_TOO_LARGE;
  const size_t size = static_cast<size_t>(d.rowBytes) * d.image.height;
  d.pixels.reset(new (std::nothrow) uint8_t[size == 0 ? 1 : size]());
  return d.pixels ? TX_OK : TX_ERR_MEMORY;
}

// One run over the bytes received so far.
int RunOnce(TvxWebDecoder& d) {
  WebInputStream input(d);
  TXdecodingSession run;
  int r = TXinit(4, nullptr);
  if (r != TX_OK) return r;
  run.initialised = true;
  input.setBuffer(kBufferSize);
  input.setTransferSize(2048);
  r = TXdecompressionJob(run.job, input);
  if (r == TX_OK) r = TXreadHeader(run.job, run.image, run.compression);
  if (r == TX_OK) r = TakeHeader(d, run);
  if (r == TX_OK) r = AllocatePixels(d);
  if (r == TX_OK) {
    input.setExternalBuffer(d.pixels.get(), d.image.width, d.image.height, d.rowBytes);
    r = TXreadImage(run.job, d.pixels.get(), d.rowBytes, 0, nullptr);
  }
  input.Commit();
  if (r == kSuspended) return kWaiting;
  if (r != TX_OK) return r;
  tvx_image_ready(1, d.pixels.get(), d.image.width, d.image.height, d.planes, d.bytesPerSample, d.rowBytes);
  return kDone;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE TvxWebDecoder* tvx_create(int progressive) {
  TvxWebDecoder* d = new (std::nothrow) TvxWebDecoder;
  if (d) d->progressive = progressive != 0;
  return d;
}

EMSCRIPTEN_KEEPALIVE void tvx_destroy(TvxWebDecoder* d) { delete d; }

EMSCRIPTEN_KEEPALIVE uint8_t* tvx_reserve(TvxWebDecoder* d, uint32_t count) {
  if (!d) return nullptr;
  try {
    const size_t at = d->data.size();
    d->data.resize(at + count);
    return d->data.data() + at;
  } catch (...) {
    return nullptr;
  }
}

EMSCRIPTEN_KEEPALIVE void tvx_end_stream(TvxWebDecoder* d) { d->streamEnded = true; }
EMSCRIPTEN_KEEPALIVE void tvx_set_paused(TvxWebDecoder* d, int paused) { d->pausedAtLimit = paused != 0; }
EMSCRIPTEN_KEEPALIVE void tvx_set_shown_size(TvxWebDecoder* d, int width, int height) {
  d->shownWidth = width > 0 && height > 0 ? width : 0;
  d->shownHeight = width > 0 && height > 0 ? height : 0;
}
EMSCRIPTEN_KEEPALIVE uint32_t tvx_received(const TvxWebDecoder* d) { return static_cast<uint32_t>(d->data.size()); }

EMSCRIPTEN_KEEPALIVE int tvx_run(TvxWebDecoder* d) {
  if (d->finished) return d->result;
  const int r = RunOnce(*d);
  if (r == kWaiting) return r;
  d->finished = true;
  d->result = r;
  return r;
}

EMSCRIPTEN_KEEPALIVE int tvx_header_known(const TvxWebDecoder* d) { return d->headerKnown; }
EMSCRIPTEN_KEEPALIVE int tvx_width(const TvxWebDecoder* d) { return d->image.width; }
EMSCRIPTEN_KEEPALIVE int tvx_height(const TvxWebDecoder* d) { return d->image.height; }
EMSCRIPTEN_KEEPALIVE int tvx_color_type(const TvxWebDecoder* d) { return d->image.colorType; }
EMSCRIPTEN_KEEPALIVE int tvx_planes(const TvxWebDecoder* d) { return d->planes; }
EMSCRIPTEN_KEEPALIVE int tvx_bytes_per_sample(const TvxWebDecoder* d) { return d->bytesPerSample; }
EMSCRIPTEN_KEEPALIVE int tvx_compression_mode(const TvxWebDecoder* d) { return d->compression.mode; }

}  // extern "C"
