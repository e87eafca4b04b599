// The per-instance record of the plug-in: what the browser told it, the
// received bytes, the decoder, and what is shown.
//
// Threads: the browser's thread runs every plug-in call and both window
// procedures; the decoding thread (DecoderState) reads the received bytes
// and publishes the header fields, the flags and new display bitmaps.
//  - data, received, readPos, requested, partial, limitReached are guarded
//    by decoder->lock once a decoder exists;
//  - the display bitmap is swapped under displayLock, and painting keeps its
//    own reference, so a bitmap is never freed while it is drawn;
//  - the window handles are read by the decoding thread under windowLock;
//  - the flags the decoder sets are atomics; the image fields are written
//    before headerKnown is set and read only after it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "image/display/ColorQuantizer.h"
#include "image/display/DisplayDib.h"
#include "platform/Palette.h"
#include "plugin/npapi.h"
#include "plugin/window_layer.h"

struct DecoderState;

struct PluginInstance {
  NPWindow* window = nullptr;
  uint16_t mode = 0;
  HWND hwnd = nullptr;
  WNDPROC prevWndProc = nullptr;
  HWND fullWindow = nullptr;
  std::unique_ptr<DecoderState> decoder;
  std::shared_ptr<const CDisplayDib> display;
  std::shared_ptr<const CColorQuantizer> quantizer;  // replaced under windowLock
  std::unique_ptr<CPalette> palette;
  bool progressive = true;
  bool limited = false;
  int32_t limit = 0;
  bool partial = false;
  bool limitReached = false;
  bool noMenu = false;
  NPP npp = nullptr;
  std::string saveName;
  std::string url;
  uint16_t imageWidth = 0;
  uint16_t imageHeight = 0;
  uint16_t colorType = 0;
  uint16_t bytesPerSample = 0;
  int32_t rawSize = 0;
  int16_t compressionMode = 0;
  uint32_t streamLength = 0;
  std::vector<uint8_t> data;
  uint32_t received = 0;
  uint32_t readPos = 0;
  int32_t requested = 0;
  int32_t hScrollMin = 0, hScrollPos = 0, hScrollMax = 0;
  int32_t vScrollMin = 0, vScrollPos = 0, vScrollMax = 0;
  std::atomic<bool> decodeEnded{false};
  std::atomic<bool> decodeOK{false};
  std::atomic<bool> headerKnown{false};
  std::atomic<bool> failedFill{false};

  std::mutex displayLock;
  std::mutex windowLock;

  ~PluginInstance();

  // The bitmap to paint; the caller's reference keeps it alive.
  std::shared_ptr<const CDisplayDib> CurrentDisplay() {
    std::lock_guard<std::mutex> guard(displayLock);
    return display;
  }
  void ReplaceDisplay(std::shared_ptr<const CDisplayDib> next) {
    std::lock_guard<std::mutex> guard(displayLock);
    display = std::move(next);
  }
  // The window the image is painted into: the full-page window if any.
  HWND DrawingWindow() const { return fullWindow ? fullWindow : hwnd; }
};

// Window property through which both windows find their instance.
inline constexpr const char* kInstanceProperty = "instance->pdata";

// The most bytes one instance keeps; a stream beyond this is refused.
inline constexpr uint32_t kMaxReceivedBytes = 512u * 1024u * 1024u;
