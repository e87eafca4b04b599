// State of one codec job (the opaque TXjob of the public header): a decoding
// job reads a header and then the coded body through a TXinputStream; an
// encoding job takes a header and an image and writes both to a stream.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "codec/TavixLib.h"
#include "codec/bitplane.h"
#include "codec/stop.h"
#include "codec/stream.h"

namespace tavix {
class ProgressReporter;
}

struct TXjob {
  enum class Kind { Decode, Encode };
  explicit TXjob(Kind k) : kind(k) {}

  Kind kind;
  tavix::StreamHeader header;

  // ---- decoding
  TXinputStream* input = nullptr;
  bool headerRead = false;
  bool imageRead = false;
  bool inputEnded = false;
  bool stopRequested = false;  // a preview receiver asked to stop
  uint64_t streamBytes = 0;    // bytes taken from the input so far (header and body)
  uint64_t bodyRead = 0;
  std::unique_ptr<tavix::PlaneDecoder> decoder;
  int previewsRendered = 0;
  bool finalRenderStarted = false;  // the decoder's state is being released
  // While TXreadImage runs: asked between the steps of rendering an image.
  tavix::StopCheck* renderStop = nullptr;
  uint64_t pixelLimit = TX_DEFAULT_PIXEL_LIMIT;
  int threads = 1;  // set from DefaultThreadCount() when the job is made

  // ---- encoding
  std::ostream* output = nullptr;
  bool headerGiven = false;
  bool imageWritten = false;
  long bytesWritten = 0;

  // Next input byte: 1 with a byte, 0 at the end of the data, or the
  // negative code of a failed fillBuffer.
  int PullByte(uint8_t& byte);
  int ReadHeader();
  int ReadImage(void* pixels, long rowBytes, TXprogress* progress);
  int WriteImage(const void* pixels, long rowBytes, TXprogress* progress);

  // Fraction of the whole stream read, and coded bits per pixel so far.
  float FractionRead() const;
  float BitsPerPixelRead() const;
  // Renders the decoder's current image into the preview stream's external
  // buffer and calls previewReady(). Used at pass ends and by doPreview().
  int RenderPreview(TXpreviewInputStream& stream);
  bool CanPreview(const TXpreviewInputStream& stream) const;
  bool OfferPreview();

private:
  int Refill();
  int WriteBytes(const uint8_t* data, size_t size, tavix::ProgressReporter& reporter);
};
