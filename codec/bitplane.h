// The embedded coder: turns planes of quantised integer wavelet
// coefficients into one embedded byte stream, and back.
//
// Embedded means that every prefix of the stream decodes: the decoder stops
// wherever the bytes end and reconstructs each coefficient from the bit
// planes it has received (mid-point of the remaining interval). All planes of
// an image share one stream, coded in an order fixed by the layer, so the
// decoder can follow it while the bytes arrive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "codec/large_block.h"
#include "codec/stop.h"

namespace tavix {

// One plane of quantised coefficients in the Mallat layout of transform.h
// (`levels` levels, LL band top-left), row-major, `width` samples per row.
struct CoefficientPlane {
  int width = 0;
  int height = 0;
  int levels = 0;
  PlaneVector<int32_t> data;  // width * height
};

enum class CodingLayer : int {
  Standard = 1,        // context-modelled arithmetic coding, quality order
  Fast = 2,            // faster coding, still quality order
  FastResolution = 3,  // fast coding, coarse resolutions complete first
};

struct EncodeSettings {
  CodingLayer layer = CodingLayer::Standard;
  // Largest number of bytes the coded stream may take; SIZE_MAX codes every
  // bit plane (quality and lossless modes). The stream is cut so that it
  // never exceeds the budget.
  size_t byteBudget = SIZE_MAX;
  // Share of the budget for each plane (same count as the planes, summing to
  // 1); empty means no per-plane limit.
  std::vector<double> planeShare;
  // Called with the fraction done now and then (about once per percent);
  // returning false stops encoding (the result is then TX_ERR_ABORTED).
  std::function<bool(double)> progress;
};

// Encodes `planes` into `out` (which it replaces). Returns 0 or a negative
// TX_ERR_* code.
// Quantiser or dequantiser scale of a band: its level (1 finest; the LL band carries
// the level count) and whether it is high-pass across and down.
using BandScale = std::function<double(int level, bool horizontalHigh, bool verticalHigh)>;

// A float plane (Mallat layout) and the dead-zone quantiser that turns it
// into the coder's integers: q = trunc(c * scale(band)) clamped to
// +-limit; a band whose scale is 0 is all zero.
struct QuantisingPlane {
  int width = 0;
  int height = 0;
  int levels = 0;
  const float* samples = nullptr;
  BandScale scale;
  int32_t limit = 0;
};

// The coder taking its planes one at a time: each plane's samples may be
// dropped as soon as Add returns, so an encoder never holds the whole image
// as integers and as coding state at once. Finish codes them as
// EncodePlanes does.
class PlaneEncoder {
public:
  PlaneEncoder();
  ~PlaneEncoder();
  PlaneEncoder(const PlaneEncoder&) = delete;
  PlaneEncoder& operator=(const PlaneEncoder&) = delete;

  // TX_OK, TX_ERR_ARGUMENT for a bad shape or too many planes, or
  // TX_ERR_MEMORY.
  int Add(const CoefficientPlane& plane);
  int Add(const QuantisingPlane& plane);
  // Forgets the planes added so far.
  void Clear();
  int Finish(const EncodeSettings& settings, std::vector<uint8_t>& out);

private:
  struct Loaded;
  Loaded* m_loaded;
};

int EncodePlanes(const std::vector<CoefficientPlane>& planes, const EncodeSettings& settings,
                 std::vector<uint8_t>& out);
// The same, freeing each plane's samples as soon as the coder has taken
// them in (the planes are left empty), so the two never both hold the image.
int EncodePlanes(std::vector<CoefficientPlane>&& planes, const EncodeSettings& settings, std::vector<uint8_t>& out);

// Pulls the coded bytes. Returns 1 with a byte, 0 at the end of the data, or
// a negative TX_ERR_* code to abort (the decoder returns it unchanged).
class ByteSource {
public:
  virtual ~ByteSource() = default;
  virtual int NextByte(uint8_t& byte) = 0;
};

// What the decoder should do at a pass boundary.
enum class PassAction { Continue, Stop };

class PlaneDecoder {
public:
  // `planes` give each plane's width, height and levels (data is resized and
  // zeroed). The layer must be the one the stream was coded with.
  PlaneDecoder(std::vector<CoefficientPlane> shapes, CodingLayer layer);
  ~PlaneDecoder();
  PlaneDecoder(const PlaneDecoder&) = delete;
  PlaneDecoder& operator=(const PlaneDecoder&) = delete;

  // Decodes until the source ends, an error, or the callback says Stop.
  // The callback runs after each complete coding pass with the number of
  // bytes consumed so far. Returns 0 (also when the data simply end early:
  // a prefix is a valid stream), TX_ERR_CORRUPT for impossible data, or the
  // source's negative code.
  int Run(ByteSource& source, const std::function<PassAction(size_t bytesConsumed)>& atPassEnd);

  // Current best coefficients of every plane. May be called at any time,
  // also from inside ByteSource::NextByte while Run waits for bytes (on the
  // thread that runs Run; from another thread only while Run is not running).
  // `stop` is asked between bands; false when it said stop.
  bool Reconstruct(std::vector<CoefficientPlane>& out, StopCheck* stop = nullptr) const;
  // The same for plane `index` alone, on up to `threads` threads (`stop`
  // is asked on the calling thread only). `coarserFrom` > 0 gives only the
  // LL band left after that many levels (clamped to the plane's levels):
  // the coefficients of a picture at 1 / 2^coarserFrom of the size.
  bool ReconstructPlane(size_t index, CoefficientPlane& out, StopCheck* stop = nullptr, int threads = 1,
                        int coarserFrom = 0) const;
  // Plane `index` straight to dequantised floats (width x height, Mallat
  // layout): each integer q becomes (q + offset) * scale(band) for q > 0,
  // (q - offset) * scale(band) for q < 0, and 0 for 0. The same values as
  // ReconstructPlane followed by dequantising, without the integer plane.
  bool ReconstructDequantised(size_t index, const BandScale& scale, double offset, PlaneVector<float>& out,
                              StopCheck* stop = nullptr, int threads = 1, int coarserFrom = 0) const;
  // The same for the final image, converting the decoder's own storage in
  // place and handing it over: the plane's decoding state is released
  // (ReleasePlane), also when `stop` ends the conversion part-way. Only
  // after Run.
  bool TakeDequantised(size_t index, const BandScale& scale, double offset, PlaneVector<float>& out,
                       StopCheck* stop = nullptr, int threads = 1);
  // Frees the decoding state of plane `index` once its final coefficients
  // have been taken: it then reconstructs as zeros. Only after Run.
  void ReleasePlane(size_t index);
  // Fraction 0..1 of the coding passes completed (for progress).
  double FractionDone() const;
  // Number of complete passes so far; 0 means nothing to preview yet.
  int PassesDone() const;

private:
  struct State;
  State* m_state;
};

}  // namespace tavix
