// The streaming decoder's C interface, which the WebAssembly module exports
// (and the fuzz target calls natively). One decoder per image:
//   tvx_create, then any number of tvx_reserve (copy the bytes there) and
//   tvx_run as bytes arrive, tvx_set_paused at a byte limit, tvx_end_stream
//   once no more come, and tvx_destroy.
#pragma once

#include <cstdint>

struct TvxWebDecoder;

// tvx_run results besides the codec's TX_ERR_* codes.
enum : int { TVX_DONE = 0, TVX_WAITING = 1 };

extern "C" {
TvxWebDecoder* tvx_create(int progressive);
void tvx_destroy(TvxWebDecoder* d);
// Room for `count` more bytes at the end of the received data; the caller
// copies them there. Null when memory is out.
uint8_t* tvx_reserve(TvxWebDecoder* d, uint32_t count);
void tvx_end_stream(TvxWebDecoder* d);
// Paused: the transfer stopped at the byte limit; a run that runs dry shows
// the best preview of what arrived, once.
void tvx_set_paused(TvxWebDecoder* d, int paused);
uint32_t tvx_received(const TvxWebDecoder* d);
// The size, in device pixels, previews are shown at: previews of a larger
// image leave out the wavelet levels finer than that (0 x 0: full size).
void tvx_set_shown_size(TvxWebDecoder* d, int width, int height);
// Runs the job over what has arrived: TVX_DONE once the final image was
// handed over, TVX_WAITING when it needs more bytes, else a TX_ERR_* code
// (kept: later calls return it again).
int tvx_run(TvxWebDecoder* d);
int tvx_header_known(const TvxWebDecoder* d);
int tvx_width(const TvxWebDecoder* d);
int tvx_height(const TvxWebDecoder* d);
int tvx_color_type(const TvxWebDecoder* d);
int tvx_planes(const TvxWebDecoder* d);
int tvx_bytes_per_sample(const TvxWebDecoder* d);
int tvx_compression_mode(const TvxWebDecoder* d);
}
