// Internal to the embedded coder: subband geometry, the per-band coding
// state, the order of coding passes, and the small preamble at the start of
// the coded body. Shared by the encoder and the decoder so that both follow
// exactly the same schedule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/arith.h"
#include "codec/bitplane.h"
#include "codec/zeroed_array.h"

namespace tavix::embedded {

constexpr int kMaxBodyPlanes = 15;       // image planes in one stream
constexpr int kMaxCodedBitPlanes = 32;   // magnitudes below 2^32
constexpr int kMaxBodyLevels = 15;
constexpr int kMaxPlaneSide = 1 << 20;
constexpr int kStripeHeight = 4;
constexpr int kSegmentWidth = 16;  // columns of a stripe skipped together while quiet

enum class Orientation : int { LL = 0, HL = 1, LH = 2, HH = 3 };
constexpr int kOrientations = 4;

// Per-coefficient flags.
constexpr uint8_t kSignificant = 1;
constexpr uint8_t kNegative = 2;
constexpr uint8_t kVisited = 4;   // coded in this bit plane's significance pass
constexpr uint8_t kRefined = 8;   // refined at least once
constexpr uint8_t kNeighbour = 16; // some of the eight neighbours is significant

// Significance contexts: horizontal (0-2) x vertical (0-2) x diagonal
// (0-2, capped) neighbours, times parent significant or not.
constexpr int kNeighbourhoods = 27;
constexpr int kSignificanceContexts = 2 * kNeighbourhoods;
constexpr int kSignContexts = 9;
constexpr int kRefineContexts = 3;

// The decoder keeps its magnitudes in the float block that later holds the
// plane's dequantised samples (converted in place), so the words may alias
// floats.
using MagnitudeWord = uint32_t __attribute__((may_alias));

struct Band {
  int x0 = 0, y0 = 0, width = 0, height = 0;
  Orientation orientation = Orientation::LL;
  int level = 0;   // 1 = finest detail level; LL carries the plane's level count
  int group = 0;   // resolution group: 0 = LL, then coarse to fine detail levels
  int parent = -1; // index of the same orientation one level coarser, or -1
  bool active = false;  // some coefficient is significant
  uint32_t allBits = 0; // encoder: OR of all magnitudes
  // The magnitudes, rows `magnitudeStride` apart: the encoder's own array
  // (`magnitudeStore`), or the decoder's place in its channel's plane.
  MagnitudeWord* magnitude = nullptr;
  size_t magnitudeStride = 0;
  ZeroedArray<uint32_t> magnitudeStore;
  ZeroedArray<uint8_t> flags;       // (width + 2) x (height + 2), zero border
  ZeroedArray<uint8_t> lowestPlane; // decoder: bit plane reached, laid out as the flags
  // Segments: kStripeHeight rows x kSegmentWidth columns. A segment is busy
  // once one of its coefficients is significant or has a significant
  // neighbour; until then a single symbol per bit plane covers all of it.
  int segmentColumns = 0;
  ZeroedArray<uint8_t> segmentBusy;
  ZeroedArray<uint32_t> segmentBits;  // encoder: OR of the segment's magnitudes

  int FlagStride() const { return width + 2; }
  size_t MagnitudeIndex(int x, int y) const { return static_cast<size_t>(y) * magnitudeStride + static_cast<size_t>(x); }
  size_t FlagIndex(int x, int y) const {
    return static_cast<size_t>(y + 1) * static_cast<size_t>(width + 2) + static_cast<size_t>(x + 1);
  }
};

struct ChannelModels {
  BitModel significance[kOrientations][kSignificanceContexts];
  BitModel sign[kSignContexts];
  BitModel refine[kRefineContexts];
  BitModel run[kOrientations];
  BitModel runPosition[3];
  BitModel bandActive[kOrientations];
  BitModel segment[kOrientations];
};

struct Channel {
  int width = 0, height = 0, levels = 0;
  int topPlanes = 0;             // bit planes to code (0: all zero)
  size_t byteCap = SIZE_MAX;     // body bytes this plane may use
  size_t bytesUsed = 0;          // attributed to this plane so far
  std::vector<Band> bands;       // LL, then HL, LH, HH from coarse to fine
  ChannelModels models;
  // Decoder: the plane (Mallat layout) whose words hold the bands'
  // magnitudes while decoding and the dequantised samples after.
  PlaneVector<float> coefficients;
};

enum class PassKind : uint8_t { Significance, Refinement, Cleanup, Single };

struct PassUnit {
  int channel;
  int plane;
  PassKind kind;
  int bandBegin, bandEnd;
  double weight;  // share of the total work, for progress
};

// Builds the bands of a plane (with empty coefficient storage).
std::vector<Band> MakeBands(int width, int height, int levels);
// Allocates the coding state of a band. A silent band (encoder: all zero)
// gets only zero flags, which cost no memory until written.
enum class BandUse { Decoding, Encoding, EncodingSilent };
void AllocateBand(Band& band, BandUse use);
// Allocates the coding state of every band (the decoder's magnitudes in the
// channel's plane).
void AllocateBands(Channel& channel, bool decoding);
// The fixed order of coding passes for a layer. In the resolution layer,
// bit planes from `resolutionFloor` up are coded resolution by resolution;
// the planes below follow in quality order (0 for pure resolution order).
std::vector<PassUnit> MakeSchedule(const std::vector<Channel>& channels, CodingLayer layer, int resolutionFloor);
// Lowest bit plane the resolution layer can code in resolution order and
// still, by estimate, fit `bodyBudget` bytes.
int EstimateResolutionFloor(const std::vector<Channel>& channels, size_t bodyBudget);
bool ValidShape(const CoefficientPlane& shape);

// Body preamble: layer and plane count, the resolution floor, then per
// plane the number of coded bit planes and its byte cap.
void WritePreamble(const std::vector<Channel>& channels, CodingLayer layer, int resolutionFloor,
                   std::vector<uint8_t>& out);

}  // namespace tavix::embedded
