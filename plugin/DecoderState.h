// The decoding thread of one plug-in instance and what it shares with the
// browser's thread. The thread runs one codec job whose input stream
// (PluginInputStream) reads the instance's received bytes and waits for
// more when they run out.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

struct PluginInstance;

struct DecoderState {
  // Set when data arrive, the stream ends, or a stop is requested; guarded
  // by `lock`, waited for through dataSignal.
  bool dataEvent = false;
  std::mutex lock;
  std::condition_variable dataSignal;
  std::thread thread;
  uint16_t width = 0;
  uint16_t height = 0;
  int16_t colorType = 0;
  uint16_t bytesPerSample = 1;
  uint16_t planes = 1;
  uint32_t rowBytes = 0;
  std::unique_ptr<uint8_t[]> pixels;
  bool ready = false;
  std::atomic<int> result{0};
  bool streamEnded = false;   // guarded by lock
  std::atomic<bool> abort{false};
  PluginInstance* instance = nullptr;

  // Sets the event and wakes the decoder; the caller holds `lock`.
  void SignalData() {
    dataEvent = true;
    dataSignal.notify_all();
  }
};

// Creates the decoder of `instance` and starts its thread. Returns false
// when it could not be created; the instance then has a decoder that is
// not ready, so every write is refused.
bool StartDecoder(PluginInstance& instance);

// Asks the decoding thread to stop and waits until it has ended. Safe to
// call more than once and with no thread.
void StopDecoder(PluginInstance& instance);

// The largest decoded image an instance allocates (the codec's pixels; the
// shown bitmap needs as much again).
inline constexpr size_t kMaxPixelBytes = size_t{512} * 1024 * 1024;
