// Drives the browser's streaming decoder natively with hostile bytes, the
// way the page's worker does: chunks of a size the first byte picks, runs
// between them, a pause at a byte limit, then the rest and the end.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "web/src/web_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t chunk = 1 + data[0] * 8;
  const size_t limit = data[1] * 64;
  const bool progressive = (data[0] & 1) == 0;
  data += 2;
  size -= 2;
  TvxWebDecoder* decoder = tvx_create(progressive);
  if (!decoder) return 0;
  int result = TVX_WAITING;
  bool paused = false;
  for (size_t at = 0; at < size && result == TVX_WAITING; at += chunk) {
    const size_t n = std::min(chunk, size - at);
    uint8_t* room = tvx_reserve(decoder, static_cast<uint32_t>(n));
    if (!room) break;
    std::memcpy(room, data + at, n);
    if (limit && !paused && at + n >= limit) {
      paused = true;
      tvx_set_paused(decoder, 1);
      result = tvx_run(decoder);
      tvx_set_paused(decoder, 0);
    }
    if (result == TVX_WAITING) result = tvx_run(decoder);
  }
  tvx_end_stream(decoder);
  tvx_run(decoder);
  tvx_destroy(decoder);
  return 0;
}
