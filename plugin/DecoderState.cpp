#include "plugin/DecoderState.h"

#include <algorithm>
#include <new>
#include <string>
#include <system_error>

#include "codec/TavixLib.h"
#include "codec/decoding_session.h"
#include "plugin/PluginInputStream.h"
#include "plugin/PluginInstance.h"
#include "plugin/ShowImage.h"

namespace {

// A failed step of the job: a short text naming it, and its code.
struct DecodeError {
  std::string step;
  int code;
};

void Check(int code, const char* step) {
  if (code != 0) throw DecodeError{step, code};
}

// Stops TXreadImage between its steps once the instance is being destroyed.
class AbortWatch : public TXprogress {
public:
  explicit AbortWatch(const DecoderState& decoder) : m_decoder(decoder) {}
  bool progressChanged() override { return !m_decoder.abort; }

private:
  const DecoderState& m_decoder;
};


void ReadHeader(PluginInstance& instance, DecoderState& decoder, TXdecodingSession& codec) {
  Check(TXreadHeader(codec.job, codec.image, codec.compression), "Read Header");
  decoder.width = codec.image->width;
  decoder.height = codec.image->height;
  decoder.colorType = codec.image->colorType;
  const int bits = TXgetBitsPerPlane(decoder.colorType);
  const int planes = TXgetNumberOfPlanes(decoder.colorType);
  if (bits <= 0 || bits > 16 || (planes != 1 && planes != 3)) throw DecodeError{"Color Type", TX_ERR_UNSUPPORTED};
  decoder.bytesPerSample = static_cast<uint16_t>((bits + 7) / 8);
  decoder.planes = static_cast<uint16_t>(planes);
  decoder.rowBytes = static_cast<uint32_t>(decoder.width) * decoder.planes * decoder.bytesPerSample;

  instance.imageWidth = decoder.width;
  instance.imageHeight = decoder.height;
  instance.colorType = static_cast<uint16_t>(decoder.colorType);
  instance.bytesPerSample = decoder.bytesPerSample;
  instance.rawSize = static_cast<int32_t>(
      std::min<uint64_t>(static_cast<uint64_t>(decoder.rowBytes) * decoder.height, INT32_MAX));
  instance.compressionMode = static_cast<int16_t>(codec.compression->mode);
  instance.headerKnown = true;
}

void RunJob(PluginInstance& instance, DecoderState& decoder) {
  PluginInputStream input(&instance);
  TXdecodingSession codec;
  Check(TXinit(4, nullptr), "Init");
  codec.initialised = true;
  input.setBuffer(4096);
  input.setTransferSize(2048);
  Check(TXdecompressionJob(codec.job, input), "Decompression Job");
  ReadHeader(instance, decoder, codec);

  const size_t size = static_cast<size_t>(decoder.rowBytes) * decoder.height;
  if (size > kMaxPixelBytes) throw DecodeError{"Allocate Buffer", TX_ERR_MEMORY};
  decoder.pixels.reset(new (std::nothrow) uint8_t[size == 0 ? 1 : size]());
  if (!decoder.pixels) throw DecodeError{"Allocate Buffer", TX_ERR_MEMORY};

  input.setExternalBuffer(decoder.pixels.get(), decoder.width, decoder.height, decoder.rowBytes);
  AbortWatch watch(decoder);
  Check(TXreadImage(codec.job, decoder.pixels.get(), decoder.rowBytes, 0, &watch), "Read Image");
  if (decoder.abort) throw DecodeError{"Read Image", TX_ERR_ABORTED};
  ShowImage(instance, PixelGeometry{decoder.width, decoder.height, decoder.planes, decoder.bytesPerSample,
                                    static_cast<long>(decoder.rowBytes)},
            decoder.pixels.get());
}

void DecoderThread(PluginInstance* instance) {
  DecoderState& decoder = *instance->decoder;
  int result = 0;
  try {
    RunJob(*instance, decoder);
  } catch (const DecodeError& error) {
    result = error.code;
  } catch (...) {
    result = -1000;
  }
  decoder.result = result;
  instance->decodeOK = result == 0;
  instance->failedFill = result == TX_ERR_CORRUPT;
  if (result == TX_ERR_CORRUPT) {
    // Repaint so the window shows the corrupt stream's grey fill.
    std::lock_guard<std::mutex> guard(instance->windowLock);
    if (HWND window = instance->DrawingWindow()) {
      window->InvalidateRect(nullptr, false);
      window->PostMessage(WM_PAINT, 0, 0);
    }
  }
  std::lock_guard<std::mutex> guard(decoder.lock);
  instance->decodeEnded = true;
}

}  // namespace

bool StartDecoder(PluginInstance& instance) {
  instance.decoder.reset(new DecoderState);
  DecoderState& decoder = *instance.decoder;
  decoder.instance = &instance;
  try {
    decoder.thread = std::thread(DecoderThread, &instance);
  } catch (const std::system_error&) {
    return false;
  }
  decoder.ready = true;
  return true;
}

void StopDecoder(PluginInstance& instance) {
  DecoderState* decoder = instance.decoder.get();
  if (!decoder || !decoder->thread.joinable()) return;
  {
    std::lock_guard<std::mutex> guard(decoder->lock);
    decoder->streamEnded = true;
    decoder->abort = true;
    decoder->SignalData();
  }
  decoder->thread.join();
  instance.decodeEnded = true;
}
