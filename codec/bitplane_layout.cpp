#include "codec/bitplane_layout.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace tavix::embedded {

namespace {

void AddBand(std::vector<Band>& bands, int x0, int y0, int x1, int y1, Orientation orientation, int level) {
  Band band;
  band.x0 = x0;
  band.y0 = y0;
  band.width = x1 - x0;
  band.height = y1 - y0;
  band.orientation = orientation;
  band.level = level;
  bands.push_back(std::move(band));
}

void PutVarint(uint64_t value, std::vector<uint8_t>& out) {
  while (value >= 0x80) {
    out.push_back(static_cast<uint8_t>(value | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<uint8_t>(value));
}

}  // namespace

bool ValidShape(const CoefficientPlane& shape) {
  return shape.width >= 1 && shape.height >= 1 && shape.width <= kMaxPlaneSide &&
         shape.height <= kMaxPlaneSide && shape.levels >= 0 && shape.levels <= kMaxBodyLevels;
}

// Mallat layout: before level l the low region is w(l-1) x h(l-1); its low
// half takes ceil(n/2) samples, the high half the rest.
std::vector<Band> MakeBands(int width, int height, int levels) {
  std::vector<int> w(levels + 1), h(levels + 1);
  w[0] = width;
  h[0] = height;
  for (int l = 1; l <= levels; ++l) {
    w[l] = (w[l - 1] + 1) / 2;
    h[l] = (h[l - 1] + 1) / 2;
  }
  std::vector<Band> bands;
  AddBand(bands, 0, 0, w[levels], h[levels], Orientation::LL, levels);
  for (int l = levels; l >= 1; --l) {
    AddBand(bands, w[l], 0, w[l - 1], h[l], Orientation::HL, l);
    AddBand(bands, 0, h[l], w[l], h[l - 1], Orientation::LH, l);
    AddBand(bands, w[l], h[l], w[l - 1], h[l - 1], Orientation::HH, l);
  }
  // Parent: same orientation one level coarser (the three bands before).
  for (size_t i = 4; i < bands.size(); ++i) bands[i].parent = static_cast<int>(i) - 3;
  for (size_t i = 1; i < bands.size(); ++i) bands[i].group = levels - bands[i].level + 1;
  return bands;
}

void AllocateBand(Band& band, BandUse use) {
  const size_t count = static_cast<size_t>(band.width) * static_cast<size_t>(band.height);
  const size_t flagCount = static_cast<size_t>(band.width + 2) * static_cast<size_t>(band.height + 2);
  const size_t segments = static_cast<size_t>((band.width + kSegmentWidth - 1) / kSegmentWidth) *
                          static_cast<size_t>((band.height + kStripeHeight - 1) / kStripeHeight);
  band.segmentColumns = (band.width + kSegmentWidth - 1) / kSegmentWidth;
  band.active = false;
  switch (use) {
    case BandUse::Decoding:
      // Filled slowly and sparsely: pages become memory only where written.
      // The magnitudes live in the channel's plane (AllocateBands).
      band.flags.Reset(flagCount);
      band.lowestPlane.Reset(flagCount);
      band.segmentBusy.Reset(segments);
      break;
    case BandUse::Encoding:
      // Filled at once. The flags take fresh pages (large arrays: huge
      // pages, so few faults); the magnitudes, four times their size, the
      // heap, whose exact size keeps the peak lower.
      band.magnitudeStore.Reset(count, ZeroedSource::Heap);
      band.magnitude = band.magnitudeStore.data();
      band.magnitudeStride = static_cast<size_t>(band.width);
      band.flags.Reset(flagCount);
      band.segmentBusy.Reset(segments);
      band.segmentBits.Reset(segments);
      break;
    case BandUse::EncodingSilent:
      // Never scanned; its flags are only read as a parent's, as zeros.
      band.magnitudeStore.Reset(0);
      band.magnitude = nullptr;
      band.flags.Reset(flagCount);
      band.segmentBusy.Reset(0);
      band.segmentBits.Reset(0);
      break;
  }
}

void AllocateBands(Channel& channel, bool decoding) {
  for (Band& band : channel.bands) AllocateBand(band, decoding ? BandUse::Decoding : BandUse::Encoding);
  if (!decoding) return;
  AllocateZeroed(channel.coefficients, static_cast<size_t>(channel.width) * static_cast<size_t>(channel.height));
  auto* words = reinterpret_cast<MagnitudeWord*>(channel.coefficients.data());
  for (Band& band : channel.bands) {
    band.magnitude = words + static_cast<size_t>(band.y0) * channel.width + band.x0;
    band.magnitudeStride = static_cast<size_t>(channel.width);
  }
}

namespace {

double BandWork(const Channel& channel, int begin, int end) {
  double work = 0;
  for (int b = begin; b < end; ++b)
    work += static_cast<double>(channel.bands[b].width) * channel.bands[b].height + 1;
  return work;
}

// Resolution groups of a channel: [begin, end) band ranges of group g.
void GroupRange(const Channel& channel, int group, int& begin, int& end) {
  begin = end = 0;
  const int count = static_cast<int>(channel.bands.size());
  for (int b = 0; b < count; ++b) {
    if (channel.bands[b].group != group) continue;
    if (begin == end) begin = b;
    end = b + 1;
  }
}

}  // namespace

// Quality layers: bit planes from the top, and inside each plane every
// image plane and band in turn, so a prefix improves all of them evenly.
// The resolution layer finishes the LL bands of all planes first, then each
// detail level from coarse to fine.
std::vector<PassUnit> MakeSchedule(const std::vector<Channel>& channels, CodingLayer layer, int resolutionFloor) {
  std::vector<PassUnit> units;
  int maxTop = 0, maxLevels = 0;
  for (const Channel& c : channels) {
    maxTop = std::max(maxTop, c.topPlanes);
    maxLevels = std::max(maxLevels, c.levels);
  }
  const int count = static_cast<int>(channels.size());
  if (layer == CodingLayer::FastResolution) {
    for (int group = 0; group <= maxLevels; ++group) {
      for (int c = 0; c < count; ++c) {
        // A plane with fewer levels joins at its own finest levels.
        const int ownGroup = group - (maxLevels - channels[c].levels);
        if (ownGroup < 0 && group != 0) continue;
        int begin, end;
        if (group == 0) {
          begin = 0;
          end = 1;
        } else {
          GroupRange(channels[c], ownGroup, begin, end);
          if (ownGroup == 0) continue;  // its LL went with group 0
        }
        if (begin == end) continue;
        const double work = BandWork(channels[c], begin, end);
        for (int p = channels[c].topPlanes - 1; p >= resolutionFloor; --p)
          units.push_back({c, p, PassKind::Single, begin, end, work});
      }
    }
    for (int p = std::min(maxTop, resolutionFloor) - 1; p >= 0; --p)
      for (int c = 0; c < count; ++c)
        if (p < channels[c].topPlanes) {
          const int end = static_cast<int>(channels[c].bands.size());
          units.push_back({c, p, PassKind::Single, 0, end, BandWork(channels[c], 0, end)});
        }
  } else {
    const bool fast = layer == CodingLayer::Fast;
    for (int p = maxTop - 1; p >= 0; --p) {
      for (int kind = 0; kind < (fast ? 1 : 3); ++kind) {
        for (int c = 0; c < count; ++c) {
          if (p >= channels[c].topPlanes) continue;
          const int end = static_cast<int>(channels[c].bands.size());
          const PassKind passKind = fast ? PassKind::Single : static_cast<PassKind>(kind);
          units.push_back({c, p, passKind, 0, end, BandWork(channels[c], 0, end)});
        }
      }
    }
  }
  double total = 0;
  for (const PassUnit& u : units) total += u.weight;
  for (PassUnit& u : units) u.weight = total > 0 ? u.weight / total : 0;
  return units;
}

// Rough cost of bit plane p from the magnitude histogram: a refinement bit
// for every coefficient already significant, and for each new one its sign,
// a little context overhead and the cost of finding it among the still
// insignificant ones.
int EstimateResolutionFloor(const std::vector<Channel>& channels, size_t bodyBudget) {
  if (bodyBudget == SIZE_MAX) return 0;
  double planeBits[kMaxCodedBitPlanes] = {};
  for (const Channel& channel : channels) {
    double count[kMaxCodedBitPlanes + 1] = {};  // by the number of bits of the magnitude
    for (const Band& band : channel.bands) {
      if (band.magnitudeStore.size() == 0) count[0] += static_cast<double>(band.width) * band.height;  // silent
      for (uint32_t m : band.magnitudeStore) count[std::bit_width(m)] += 1;
    }
    double above = 0, below = 0;
    for (int b = 0; b <= kMaxCodedBitPlanes; ++b) below += count[b];
    for (int p = kMaxCodedBitPlanes - 1; p >= 0; --p) {
      const double fresh = count[p + 1];
      below -= fresh;
      double bits = above;
      if (fresh > 0) bits += fresh * (1.0 + 0.75 * std::log2(1.0 + below / fresh));
      planeBits[p] += bits;
      above += fresh;
    }
  }
  // Keep a margin: running over cuts the finest resolution short, running
  // under only moves the last bit planes into quality order.
  const double budgetBits = 0.8 * 8.0 * static_cast<double>(bodyBudget);
  double used = 0;
  for (int p = kMaxCodedBitPlanes - 1; p >= 0; --p) {
    used += planeBits[p];
    if (used > budgetBits) return p + 1;
  }
  return 0;
}

void WritePreamble(const std::vector<Channel>& channels, CodingLayer layer, int resolutionFloor,
                   std::vector<uint8_t>& out) {
  out.push_back(static_cast<uint8_t>((static_cast<int>(layer) << 4) | static_cast<int>(channels.size())));
  out.push_back(static_cast<uint8_t>(resolutionFloor));
  for (const Channel& c : channels) {
    out.push_back(static_cast<uint8_t>(c.topPlanes));
    PutVarint(c.byteCap == SIZE_MAX ? 0 : static_cast<uint64_t>(c.byteCap) + 1, out);
  }
}

}  // namespace tavix::embedded
