// What one decoding session acquires from the library: the TXinit
// reference, the job and the header records, released in reverse order.
// Header-only, for the library's native and WebAssembly callers alike.
#pragma once

#include "codec/TavixLib.h"

class TXdecodingSession {
public:
  TXdecodingSession() = default;
  TXdecodingSession(const TXdecodingSession&) = delete;
  TXdecodingSession& operator=(const TXdecodingSession&) = delete;
  ~TXdecodingSession() {
    if (job) TXendJob(job);
    if (image || compression) TXdisposeParams(image, compression);
    if (initialised) TXterminate();
  }
  bool initialised = false;
  TXjob* job = nullptr;
  TXimageParams* image = nullptr;
  TXcompressionParams* compression = nullptr;
};
