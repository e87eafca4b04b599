#include "plugin/PluginInputStream.h"

#include <algorithm>
#include <cstring>

#include "plugin/DecoderState.h"
#include "plugin/PluginInstance.h"
#include "plugin/ShowImage.h"

PluginInputStream::PluginInputStream(PluginInstance* owner) : instance(owner) {
  // Tuned for pages: previews start early and come often enough to watch
  // the image sharpen as bytes arrive.
  if (instance->progressive) {
    previewTuning[0] = 0.5f;
    previewTuning[1] = 0.4f;
    previewTuning[2] = 0.0005f;
    previewTuning[3] = 1.4f;
    previewTuningBytes = 750;
  }
}

PluginInputStream::~PluginInputStream() = default;

long PluginInputStream::newTransferSize(float fractionRead, float bitsPerPixelRead) {
  return std::max(TXpreviewInputStream::newTransferSize(fractionRead, bitsPerPixelRead), kMinTransferSize);
}

bool PluginInputStream::wantPreview(long bytesRead, float fractionRead, float bitsPerPixelRead) {
  // No preview starts once a stop has been asked for (one under way ends
  // part-way: the codec asks the abort watch between its steps).
  if (!instance->progressive || instance->decoder->abort) return false;
  if (!TXpreviewInputStream::wantPreview(bytesRead, fractionRead, bitsPerPixelRead)) return false;
  // When the bytes of the next preview have already arrived, this one would
  // only delay it (and the final image): the decoder is behind the network.
  std::lock_guard<std::mutex> guard(instance->decoder->lock);
  const double waiting = static_cast<double>(instance->received - instance->readPos);
  const double nextPreviewGrowth = std::max(0.0, static_cast<double>(previewTuning[3]) - 1.0);
  return waiting < nextPreviewGrowth * static_cast<double>(instance->readPos);
}

bool PluginInputStream::previewReady() {
  DecoderState& decoder = *instance->decoder;
  if (decoder.abort) return false;
  ShowImage(*instance, PixelGeometry{previewWidth, previewHeight, previewPlanes, decoder.bytesPerSample,
                                     externalRowBytes},
            externalBuffer);
  return !decoder.abort;
}

int PluginInputStream::EndWithoutData(int code) {
  bufferCount = 0;
  bufferPos = 0;
  endOfInput = true;
  return code;
}

// Hands the codec the bytes that are there (fewer than asked for if need
// be) and blocks only when there are none. At the byte limit it first shows
// the best preview of what arrived and marks decoding as ended, which offers
// "Improve..." in the menu; it then waits like any other dry read.
int PluginInputStream::fillBuffer(long requestedBytes) {
  DecoderState& decoder = *instance->decoder;
  PluginInstance& inst = *instance;
  std::unique_lock<std::mutex> guard(decoder.lock);
  if (requestedBytes <= 0) requestedBytes = kMinTransferSize;
  inst.requested = static_cast<int32_t>(std::min<long>(requestedBytes, INT32_MAX));

  // The buffer was sized by setBuffer; never copy more than it holds.
  const long wanted = std::min(requestedBytes, bufferSize);
  bool previewShownAtLimit = false;
  for (;;) {
    if (decoder.abort) return EndWithoutData(kReadAborted);
    const long available = static_cast<long>(inst.received - inst.readPos);
    const long n = std::min(available, wanted);
    if (n > 0) {
      std::memcpy(buffer, inst.data.data() + inst.readPos, static_cast<size_t>(n));
      inst.readPos += static_cast<uint32_t>(n);
      bufferCount = n;
      bufferPos = 0;
      return 0;
    }
    if (decoder.streamEnded) return EndWithoutData(0);

    if (inst.limited && inst.partial && inst.limitReached && !previewShownAtLimit) {
      // Rendering takes a while; the browser may write meanwhile.
      previewShownAtLimit = true;
      guard.unlock();
      if (isPreviewPossible()) doPreview();
      guard.lock();
      if (inst.partial) inst.decodeEnded = true;
      continue;
    }
    decoder.dataEvent = false;
    decoder.dataSignal.wait(guard, [&] {
      return decoder.dataEvent || decoder.abort || decoder.streamEnded || inst.received > inst.readPos;
    });
  }
}
