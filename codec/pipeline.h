// The two directions of the codec between pixels and coded planes:
//   encode: pixels -> colour planes -> wavelet transform -> quantised planes
//   decode: quantised planes -> dequantise -> inverse transform -> pixels
// The entropy coder (bitplane.h) sits between the two; the quantizer preview
// runs both back to back.
#pragma once

#include <vector>

#include "codec/bitplane.h"
#include "codec/colour.h"
#include "codec/quantize.h"
#include "codec/stream.h"

namespace tavix {

// Fills the header's derived fields (transform wavelet, levels, flags,
// planes) from its two records. The step is set by PixelsToCoefficients.
void PlanHeader(StreamHeader& header);

// Quantiser settings of plane `index` (0 luminance, 1 and 2 colour).
QuantiserSettings PlaneQuantiser(const StreamHeader& header, int index);

// `threads` share the transforms and the colour conversion in both
// directions; results are the same for any count.
// Receives the encoder half's planes one at a time, as soon as each is
// ready, so that only one plane's samples need be alive.
struct CoefficientSink {
  // A final plane of integers (lossless coding).
  std::function<int(CoefficientPlane&& plane)> integers;
  // A transformed plane and the quantiser that turns it into integers.
  std::function<int(const Plane<float>& plane, const QuantiserSettings& settings)> floats;
  // A later plane needed a coarser step: the planes given so far are void
  // and come again.
  std::function<void()> restart;
};
int PixelsToCoefficients(const void* pixels, long rowBytes, StreamHeader& header, const CoefficientSink& sink,
                         const std::function<bool(double)>& progress, int threads = 1);

// Encoder half. Sets header.step. `progress` gets fractions 0..1 of this
// stage; returning false stops with TX_ERR_ABORTED.
int PixelsToCoefficients(const void* pixels, long rowBytes, StreamHeader& header,
                         std::vector<CoefficientPlane>& planes, const std::function<bool(double)>& progress,
                         int threads = 1);

// Decoder half: writes the image into `pixels` (rows of rowBytes). `stop`
// is asked between planes and transform passes; TX_ERR_ABORTED when it
// said stop (the pixels are then incomplete).
int CoefficientsToPixels(const std::vector<CoefficientPlane>& planes, const StreamHeader& header, void* pixels,
                         long rowBytes, StopCheck* stop = nullptr, int threads = 1);
// The same, taking the quantised planes one at a time from `source`, which
// fills plane i (TX_OK) or says why not; each is dropped as soon as it has
// been dequantised, so only one quantised plane is alive at a time.
struct PlaneSource {
  std::function<int(int index, CoefficientPlane& out)> integers;
  // Optional: plane i dequantised with `settings` straight into floats
  // (sources that can do so without an integer plane in between).
  std::function<int(int index, const QuantiserSettings& settings, PlaneVector<float>& out)> dequantised;
};
// With `coarserFrom` > 0 the picture is the one left after that many
// levels (clamped to the header's), ceil(width / 2^coarserFrom) by
// ceil(height / 2^coarserFrom) pixels; the source then gives those planes.
int CoefficientsToPixels(const PlaneSource& source, const StreamHeader& header, void* pixels, long rowBytes,
                         StopCheck* stop = nullptr, int threads = 1, int coarserFrom = 0);

// Plane shapes the decoder expects for a header.
std::vector<CoefficientPlane> PlaneShapes(const StreamHeader& header);

}  // namespace tavix
