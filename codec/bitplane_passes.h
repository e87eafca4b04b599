// Internal to the embedded coder: the coding passes over one band, written
// once for both directions. `Io` is the encoder or the decoder side:
//   int Bit(BitModel&, int bit)  codes `bit` (encoder) or returns the decoded bit
//   int Raw(int bit)             the same without a model
//   static constexpr bool kDecoding
// The encoder's magnitudes hold the true values; the decoder's grow bit by
// bit. Every state change happens after all symbols of one coefficient are
// coded, so a decoder that stops between two symbols leaves a consistent
// state behind (Reconstruct may run then).
#pragma once

#include <algorithm>

#include "codec/bitplane_layout.h"

namespace tavix::embedded::passes {

inline int Sig(uint8_t f) { return f & kSignificant; }

// Neighbourhood index 0..26 (0: no significant neighbour).
inline int Neighbourhood(const uint8_t* f, int stride) {
  const int h = Sig(f[-1]) + Sig(f[1]);
  const int v = Sig(f[-stride]) + Sig(f[stride]);
  const int d = std::min(2, Sig(f[-stride - 1]) + Sig(f[-stride + 1]) + Sig(f[stride - 1]) + Sig(f[stride + 1]));
  return h * 9 + v * 3 + d;
}

inline int SignOf(uint8_t f) { return (f & kSignificant) ? ((f & kNegative) ? -1 : 1) : 0; }

inline int SignContext(const uint8_t* f, int stride) {
  const int h = std::clamp(SignOf(f[-1]) + SignOf(f[1]), -1, 1);
  const int v = std::clamp(SignOf(f[-stride]) + SignOf(f[stride]), -1, 1);
  return (h + 1) * 3 + (v + 1);
}

// Significance of the parent coefficient (same orientation, one level
// coarser, half the coordinates), 0 or 1.
struct ParentView {
  const uint8_t* flags = nullptr;
  int stride = 0, width = 0, height = 0;
  int At(int x, int y) const {
    if (!flags) return 0;
    const int px = std::min(x >> 1, width - 1), py = std::min(y >> 1, height - 1);
    return Sig(flags[(py + 1) * stride + px + 1]);
  }
};

inline ParentView ParentOf(const Channel& channel, const Band& band) {
  ParentView view;
  if (band.parent < 0) return view;
  const Band& parent = channel.bands[band.parent];
  if (parent.width == 0 || parent.height == 0) return view;
  view.flags = parent.flags.data();
  view.stride = parent.FlagStride();
  view.width = parent.width;
  view.height = parent.height;
  return view;
}

// The decoder's lowest bit plane of a coefficient sits beside its flags.
inline size_t LowestIndex(const Band& band, const uint8_t* f) { return static_cast<size_t>(f - band.flags.data()); }

// Marks the coefficient significant, tells its eight neighbours and the
// segments they lie in.
template <typename Io>
inline void BecomeSignificant(Band& band, int x, int y, size_t mi, uint8_t* f, int plane, int negative) {
  *f = static_cast<uint8_t>(*f | kSignificant | (negative ? kNegative : 0));
  const int stride = band.FlagStride();
  uint8_t* above = f - stride;
  uint8_t* below = f + stride;
  above[-1] |= kNeighbour;
  above[0] |= kNeighbour;
  above[1] |= kNeighbour;
  f[-1] |= kNeighbour;
  f[1] |= kNeighbour;
  below[-1] |= kNeighbour;
  below[0] |= kNeighbour;
  below[1] |= kNeighbour;
  // The neighbourhood spans at most two stripes and two segment columns:
  // marking the four corners (some of them the same) covers it.
  static_assert(kStripeHeight == 4 && kSegmentWidth == 16);
  const unsigned s0 = static_cast<unsigned>(y > 0 ? y - 1 : 0) >> 2;
  const unsigned s1 = static_cast<unsigned>(y + 1 < band.height ? y + 1 : y) >> 2;
  const unsigned c0 = static_cast<unsigned>(x > 0 ? x - 1 : 0) >> 4;
  const unsigned c1 = static_cast<unsigned>(x + 1 < band.width ? x + 1 : x) >> 4;
  const size_t columns = static_cast<size_t>(band.segmentColumns);
  uint8_t* busy = band.segmentBusy.data();
  busy[s0 * columns + c0] = 1;
  busy[s0 * columns + c1] = 1;
  busy[s1 * columns + c0] = 1;
  busy[s1 * columns + c1] = 1;
  if constexpr (Io::kDecoding) {
    band.magnitude[mi] = 1u << plane;
    band.lowestPlane[LowestIndex(band, f)] = static_cast<uint8_t>(plane);
  }
}

template <typename Io>
inline int TrueBit(const Band& band, size_t mi, int plane) {
  if constexpr (Io::kDecoding) return 0;
  else return static_cast<int>((band.magnitude[mi] >> plane) & 1u);
}

template <typename Io>
inline int TrueSign(const uint8_t* f) {
  if constexpr (Io::kDecoding) return 0;
  else return (*f & kNegative) ? 1 : 0;
}

template <typename Io>
inline void SetRefinement(Band& band, size_t mi, const uint8_t* f, int bit, int plane) {
  if constexpr (Io::kDecoding) {
    band.magnitude[mi] |= static_cast<uint32_t>(bit) << plane;
    band.lowestPlane[LowestIndex(band, f)] = static_cast<uint8_t>(plane);
  }
}

// The coefficient at (x, y) of a band, with its flag cell.
struct Cell {
  int x, y;
  size_t mi;
  uint8_t* f;
};

inline Cell CellAt(Band& band, int x, int y) {
  return {x, y, band.MagnitudeIndex(x, y), &band.flags[band.FlagIndex(x, y)]};
}

// Codes whether a still insignificant coefficient becomes significant in
// this bit plane, and then its sign. The encoder keeps the true sign in the
// kNegative flag from the start.
template <typename Io>
inline void CodeSignificance(Io& io, ChannelModels& m, Band& band, const ParentView& parent, const Cell& c,
                             int neighbourhood, int plane) {
  const int ctx = neighbourhood + kNeighbourhoods * parent.At(c.x, c.y);
  const int sig = io.Bit(m.significance[static_cast<int>(band.orientation)][ctx], TrueBit<Io>(band, c.mi, plane));
  if (!sig) return;
  const int negative = io.Bit(m.sign[SignContext(c.f, band.FlagStride())], TrueSign<Io>(c.f));
  BecomeSignificant<Io>(band, c.x, c.y, c.mi, c.f, plane, negative);
}

inline bool RunPossible(const Band& band, int x, int y0) {
  const int stride = band.FlagStride();
  const uint8_t* f = &band.flags[band.FlagIndex(x, y0)];
  constexpr uint8_t kBusy = kSignificant | kVisited | kNeighbour;
  return ((f[0] | f[stride] | f[2 * stride] | f[3 * stride]) & kBusy) == 0;
}

// Codes a column of four insignificant coefficients without significant
// neighbours with one symbol; when one becomes significant its position
// follows. Returns the first row still to code normally (y0 + 4 if none).
template <typename Io>
int CodeRun(Io& io, ChannelModels& m, Band& band, int x, int y0, int plane) {
  const int orientation = static_cast<int>(band.orientation);
  int first = kStripeHeight;
  if constexpr (!Io::kDecoding) {
    for (int k = 0; k < kStripeHeight; ++k)
      if ((band.magnitude[band.MagnitudeIndex(x, y0 + k)] >> plane) & 1u) {
        first = k;
        break;
      }
  }
  if (!io.Bit(m.run[orientation], first < kStripeHeight ? 1 : 0)) return y0 + kStripeHeight;
  const int high = io.Bit(m.runPosition[0], first >> 1);
  const int low = io.Bit(m.runPosition[1 + high], first & 1);
  const Cell c = CellAt(band, x, y0 + high * 2 + low);
  const int negative = io.Bit(m.sign[SignContext(c.f, band.FlagStride())], TrueSign<Io>(c.f));
  BecomeSignificant<Io>(band, c.x, c.y, c.mi, c.f, plane, negative);
  return c.y + 1;
}

// Significance propagation: insignificant coefficients with at least one
// significant neighbour, the likeliest to become significant.
template <typename Io>
struct SignificanceColumn {
  static constexpr bool kCodesQuietSegments = false;
  const ParentView parent;
  void operator()(Io& io, Channel& channel, Band& band, int x, int y0, int y1, int plane) const {
    const int stride = band.FlagStride();
    uint8_t* f = &band.flags[band.FlagIndex(x, y0)];
    for (int y = y0; y < y1; ++y, f += stride) {
      if ((*f & (kSignificant | kNeighbour)) != kNeighbour) continue;
      CodeSignificance(io, channel.models, band, parent, Cell{x, y, band.MagnitudeIndex(x, y), f},
                       Neighbourhood(f, stride), plane);
      *f |= kVisited;
    }
  }
};

// Magnitude refinement of the coefficients significant before this plane.
template <typename Io>
struct RefinementColumn {
  static constexpr bool kCodesQuietSegments = false;
  void operator()(Io& io, Channel& channel, Band& band, int x, int y0, int y1, int plane) const {
    const int stride = band.FlagStride();
    uint8_t* f = &band.flags[band.FlagIndex(x, y0)];
    for (int y = y0; y < y1; ++y, f += stride) {
      if ((*f & (kSignificant | kVisited)) != kSignificant) continue;
      int ctx = 2;
      if (!(*f & kRefined)) ctx = (*f & kNeighbour) ? 1 : 0;
      const size_t mi = band.MagnitudeIndex(x, y);
      const int bit = io.Bit(channel.models.refine[ctx], TrueBit<Io>(band, mi, plane));
      *f |= kRefined;
      SetRefinement<Io>(band, mi, f, bit, plane);
    }
  }
};

// Cleanup: every coefficient not yet coded in this bit plane.
template <typename Io>
struct CleanupColumn {
  static constexpr bool kCodesQuietSegments = true;
  const ParentView parent;
  void operator()(Io& io, Channel& channel, Band& band, int x, int y0, int y1, int plane) const {
    int y = y0;
    if (y1 - y0 == kStripeHeight && RunPossible(band, x, y0)) y = CodeRun<Io>(io, channel.models, band, x, y0, plane);
    const int stride = band.FlagStride();
    uint8_t* f = &band.flags[band.FlagIndex(x, y)];
    for (; y < y1; ++y, f += stride) {
      if (*f & kVisited) {
        *f &= static_cast<uint8_t>(~kVisited);
        continue;
      }
      if (*f & kSignificant) continue;
      const int n = (*f & kNeighbour) ? Neighbourhood(f, stride) : 0;
      CodeSignificance(io, channel.models, band, parent, Cell{x, y, band.MagnitudeIndex(x, y), f}, n, plane);
    }
  }
};

// The fast layers' single pass per bit plane: significance uses the
// neighbourhood contexts without the parent, refinement bits after the first
// go raw, and quiet columns use the run symbol.
template <typename Io>
struct SingleColumn {
  static constexpr bool kCodesQuietSegments = true;
  void operator()(Io& io, Channel& channel, Band& band, int x, int y0, int y1, int plane) const {
    BitModel* sigModels = channel.models.significance[static_cast<int>(band.orientation)];
    int y = y0;
    if (y1 - y0 == kStripeHeight && RunPossible(band, x, y0)) y = CodeRun<Io>(io, channel.models, band, x, y0, plane);
    // The flag cell walks down the column; the magnitude's index is only
    // worked out where a magnitude is read or written.
    const int stride = band.FlagStride();
    uint8_t* f = &band.flags[band.FlagIndex(x, y)];
    for (; y < y1; ++y, f += stride) {
      if (*f & kSignificant) {
        // The first refinement bit is skewed enough to model; later ones
        // are close to even and go raw.
        const size_t mi = band.MagnitudeIndex(x, y);
        int bit;
        if (*f & kRefined) {
          bit = io.Raw(TrueBit<Io>(band, mi, plane));
        } else {
          bit = io.Bit(channel.models.refine[(*f & kNeighbour) ? 1 : 0], TrueBit<Io>(band, mi, plane));
          *f |= kRefined;
        }
        SetRefinement<Io>(band, mi, f, bit, plane);
        continue;
      }
      const int n = (*f & kNeighbour) ? Neighbourhood(f, stride) : 0;
      if (!io.Bit(sigModels[n], TrueBit<Io>(band, band.MagnitudeIndex(x, y), plane))) continue;
      const int negative = io.Bit(channel.models.sign[SignContext(f, stride)], TrueSign<Io>(f));
      BecomeSignificant<Io>(band, x, y, band.MagnitudeIndex(x, y), f, plane, negative);
    }
  }
};

// Walks a band stripe by stripe and segment by segment. Quiet segments
// (nothing significant in or next to them) have nothing to refine or
// propagate; the passes that find new significance code one symbol for the
// whole segment and look inside only when it says so.
template <typename Io, typename Column>
void ScanBand(Io& io, Channel& channel, Band& band, int plane, const Column& column) {
  BitModel& segmentModel = channel.models.segment[static_cast<int>(band.orientation)];
  for (int y0 = 0, stripe = 0; y0 < band.height; y0 += kStripeHeight, ++stripe) {
    const int y1 = std::min(band.height, y0 + kStripeHeight);
    for (int segment = 0; segment < band.segmentColumns; ++segment) {
      const size_t si = static_cast<size_t>(stripe) * band.segmentColumns + segment;
      if (!band.segmentBusy[si]) {
        if constexpr (!Column::kCodesQuietSegments) continue;
        int truth = 0;
        if constexpr (!Io::kDecoding) truth = (band.segmentBits[si] >> plane) != 0 ? 1 : 0;
        if (!io.Bit(segmentModel, truth)) continue;
      }
      const int x1 = std::min(band.width, (segment + 1) * kSegmentWidth);
      for (int x = segment * kSegmentWidth; x < x1; ++x) column(io, channel, band, x, y0, y1, plane);
    }
    io.Advance(band.width * (y1 - y0));
  }
}

// Before a band's first significant coefficient, one symbol per bit plane
// says whether it appears in this plane; quiet bands cost nothing more.
template <typename Io>
bool BandActive(Io& io, Channel& channel, Band& band, int plane, PassKind kind) {
  if (band.active) return true;
  if (band.width == 0 || band.height == 0) return false;
  if (kind == PassKind::Significance || kind == PassKind::Refinement) return false;
  int truth = 0;
  if constexpr (!Io::kDecoding) truth = (band.allBits >> plane) != 0 ? 1 : 0;
  const int active = io.Bit(channel.models.bandActive[static_cast<int>(band.orientation)], truth);
  band.active = active != 0;
  return band.active;
}

template <typename Io>
void CodeUnit(Io& io, Channel& channel, const PassUnit& unit) {
  for (int b = unit.bandBegin; b < unit.bandEnd; ++b) {
    Band& band = channel.bands[b];
    if (!BandActive(io, channel, band, unit.plane, unit.kind)) continue;
    switch (unit.kind) {
      case PassKind::Significance:
        ScanBand(io, channel, band, unit.plane, SignificanceColumn<Io>{ParentOf(channel, band)});
        break;
      case PassKind::Refinement: ScanBand(io, channel, band, unit.plane, RefinementColumn<Io>{}); break;
      case PassKind::Cleanup: ScanBand(io, channel, band, unit.plane, CleanupColumn<Io>{ParentOf(channel, band)}); break;
      case PassKind::Single: ScanBand(io, channel, band, unit.plane, SingleColumn<Io>{}); break;
    }
  }
}

}  // namespace tavix::embedded::passes
