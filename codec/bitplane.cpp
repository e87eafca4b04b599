#include "codec/bitplane.h"

#include <algorithm>
#include <bit>
#include <new>

#include "codec/TavixLib.h"
#include "codec/arith.h"
#include "codec/bitplane_layout.h"
#include "codec/bitplane_passes.h"
#include "codec/parallel.h"
#include "codec/transform.h"

namespace tavix {

using namespace embedded;

namespace {

// Thrown inside the coding passes and caught at the edge of EncodePlanes /
// PlaneDecoder::Run; never leaves this file.
struct BudgetReached {};
struct EndOfData {};
struct Aborted {};

constexpr size_t kLookaheadBytes = 4;  // bytes the decoder reads before its first symbol

// Counts the work done (as a fraction of the whole) stripe by stripe.
struct WorkMeter {
  double done = 0;
  double scale = 0;  // fraction per coefficient in the current pass
  void Begin(const Channel& channel, const PassUnit& unit, double doneBefore) {
    double coefficients = 1;
    for (int b = unit.bandBegin; b < unit.bandEnd; ++b)
      coefficients += static_cast<double>(channel.bands[b].width) * channel.bands[b].height;
    scale = unit.weight / coefficients;
    done = doneBefore;
  }
};

struct EncoderIo {
  static constexpr bool kDecoding = false;
  ArithmeticEncoder coder;
  size_t shiftLimit;  // the last symbol a prefix of the budget still decodes
  size_t bodyBudget;
  WorkMeter meter;
  const std::function<bool(double)>* progress = nullptr;
  double reported = 0;

  EncoderIo(std::vector<uint8_t>& out, size_t budget)
      : coder(out), shiftLimit(budget >= kLookaheadBytes ? budget - kLookaheadBytes : 0), bodyBudget(budget) {
    if (budget < kLookaheadBytes) m_nothing = true;
  }
  int Bit(BitModel& model, int bit) {
    Check();
    coder.Encode(model, bit);
    return bit;
  }
  int Raw(int bit) {
    Check();
    coder.EncodeRaw(bit);
    return bit;
  }
  // Reports progress about once per percent; throws Aborted when told to stop.
  void Advance(int coefficients) {
    meter.done += coefficients * meter.scale;
    if (!progress || !*progress) return;
    double fraction = meter.done;
    if (bodyBudget != SIZE_MAX && bodyBudget > 0)
      fraction = std::max(fraction, static_cast<double>(coder.Shifts()) / static_cast<double>(bodyBudget));
    fraction = std::min(fraction, 1.0);
    if (fraction - reported < 0.01) return;
    reported = fraction;
    if (!(*progress)(fraction)) throw Aborted{};
  }

private:
  void Check() const {
    if (m_nothing || coder.Shifts() > shiftLimit) throw BudgetReached{};
  }
  bool m_nothing = false;
};

uint32_t Magnitude(int32_t value) {
  return value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
}

int PlanesFor(uint32_t allBits) { return std::bit_width(allBits); }

// Band b's integer at plane index i comes from `sampleOf(b, i)`. Bands
// that are all zero (the dropped finest colour detail, silent regions) get
// no magnitudes and flags that stay unmapped zero pages: the coder never
// scans a band that does not become active.
// `silent(b)` says whether every integer of band b is 0, more cheaply than
// making them.
template <typename Silent, typename SampleOf>
void LoadChannel(int width, int height, int levels, Channel& channel, Silent&& silent, SampleOf&& sampleOf) {
  channel.width = width;
  channel.height = height;
  channel.levels = levels;
  channel.bands = MakeBands(width, height, levels);
  uint32_t channelBits = 0;
  for (size_t b = 0; b < channel.bands.size(); ++b) {
    Band& band = channel.bands[b];
    const bool quiet = band.width == 0 || band.height == 0 || silent(b);
    AllocateBand(band, quiet ? BandUse::EncodingSilent : BandUse::Encoding);
    band.allBits = 0;
    if (quiet) continue;
    uint32_t bandBits = 0;
    // Plain pointers: stores through them cannot alias the band's fields.
    uint32_t* magnitudes = band.magnitudeStore.data();
    uint32_t* segmentBits = band.segmentBits.data();
    uint8_t* flags = band.flags.data();
    for (int y = 0; y < band.height; ++y) {
      const size_t row = static_cast<size_t>(band.y0 + y) * width + band.x0;
      uint32_t* magnitudeRow = magnitudes + static_cast<size_t>(y) * band.width;
      uint32_t* segmentRow = segmentBits + static_cast<size_t>(y / kStripeHeight) * band.segmentColumns;
      uint8_t* flagRow = flags + band.FlagIndex(0, y);
      for (int x = 0; x < band.width; ++x) {
        const int32_t value = sampleOf(b, row + x);
        const uint32_t mag = Magnitude(value);
        magnitudeRow[x] = mag;
        segmentRow[x / kSegmentWidth] |= mag;
        bandBits |= mag;
        if (value < 0) flagRow[x] = kNegative;
      }
    }
    band.allBits = bandBits;
    channelBits |= bandBits;
  }
  channel.topPlanes = PlanesFor(channelBits);
}

// The plane with the largest share may always use the rest of the budget,
// so the budget fills; the others stop coding once their share is used.
void SetByteCaps(std::vector<Channel>& channels, const EncodeSettings& settings, size_t bodyBudget) {
  if (settings.byteBudget == SIZE_MAX || settings.planeShare.size() != channels.size()) return;
  size_t largest = 0;
  for (size_t c = 1; c < channels.size(); ++c)
    if (settings.planeShare[c] > settings.planeShare[largest]) largest = c;
  for (size_t c = 0; c < channels.size(); ++c) {
    if (c == largest) continue;
    double share = settings.planeShare[c];
    if (!(share > 0)) share = 0;  // also NaN
    share = std::min(share, 1.0);
    // Caps travel as varints of at most 5 bytes.
    // (share <= 1 keeps the product within size_t on 32-bit targets too).
    const double cap = std::min(share * static_cast<double>(bodyBudget), 17179869184.0);  // 2^34
    channels[c].byteCap = static_cast<size_t>(cap);
  }
}

int EncodeBody(std::vector<Channel>& channels, const std::vector<PassUnit>& schedule, const EncodeSettings& settings,
               size_t bodyBudget, std::vector<uint8_t>& body) {
  EncoderIo io(body, bodyBudget);
  io.progress = &settings.progress;
  double done = 0;
  try {
    for (const PassUnit& unit : schedule) {
      Channel& channel = channels[unit.channel];
      if (channel.bytesUsed < channel.byteCap) {
        const size_t before = io.coder.Shifts();
        io.meter.Begin(channel, unit, done);
        passes::CodeUnit(io, channel, unit);
        channel.bytesUsed += io.coder.Shifts() - before;
      }
      done += unit.weight;
      io.meter.done = done;
      io.Advance(0);
    }
  } catch (const BudgetReached&) {
  } catch (const Aborted&) {
    return TX_ERR_ABORTED;
  }
  io.coder.Flush();
  if (body.size() > bodyBudget) body.resize(bodyBudget);
  return TX_OK;
}

}  // namespace

struct PlaneEncoder::Loaded {
  std::vector<Channel> channels;
};

PlaneEncoder::PlaneEncoder() : m_loaded(new Loaded) {}
PlaneEncoder::~PlaneEncoder() { delete m_loaded; }

void PlaneEncoder::Clear() { m_loaded->channels.clear(); }

int PlaneEncoder::Add(const CoefficientPlane& plane) {
  if (m_loaded->channels.size() >= static_cast<size_t>(kMaxBodyPlanes)) return TX_ERR_ARGUMENT;
  if (!ValidShape(plane) || plane.data.size() != static_cast<size_t>(plane.width) * plane.height)
    return TX_ERR_ARGUMENT;
  try {
    Channel& channel = m_loaded->channels.emplace_back();
    const int32_t* samples = plane.data.data();
    const std::vector<Band> bands = MakeBands(plane.width, plane.height, plane.levels);
    // Stops at the first non-zero integer, which a band that is not silent
    // has near its start.
    const auto silent = [&](size_t b) {
      const Band& band = bands[b];
      for (int y = 0; y < band.height; ++y) {
        const int32_t* row = samples + static_cast<size_t>(band.y0 + y) * plane.width + band.x0;
        for (int x = 0; x < band.width; ++x)
          if (row[x] != 0) return false;
      }
      return true;
    };
    LoadChannel(plane.width, plane.height, plane.levels, channel, silent,
                [samples](size_t, size_t i) { return samples[i]; });
  } catch (const std::bad_alloc&) {
    m_loaded->channels.clear();
    return TX_ERR_MEMORY;
  }
  return TX_OK;
}

int PlaneEncoder::Add(const QuantisingPlane& plane) {
  CoefficientPlane shape;
  shape.width = plane.width;
  shape.height = plane.height;
  shape.levels = plane.levels;
  if (m_loaded->channels.size() >= static_cast<size_t>(kMaxBodyPlanes)) return TX_ERR_ARGUMENT;
  if (!ValidShape(shape) || plane.samples == nullptr || !plane.scale) return TX_ERR_ARGUMENT;
  try {
    Channel& channel = m_loaded->channels.emplace_back();
    const std::vector<Band> bands = MakeBands(plane.width, plane.height, plane.levels);
    std::vector<double> scale(bands.size());
    for (size_t b = 0; b < bands.size(); ++b) {
      const Orientation o = bands[b].orientation;
      scale[b] = plane.scale(bands[b].level, o == Orientation::HL || o == Orientation::HH,
                             o == Orientation::LH || o == Orientation::HH);
    }
    const double limit = plane.limit;
    const float* samples = plane.samples;
    const auto quantise = [&](size_t b, float sample) {
      // Truncation toward zero: the quantiser's dead zone.
      return static_cast<int32_t>(std::clamp(sample * scale[b], -limit, limit));
    };
    // Stops at the first sample that quantises to non-zero, which a band
    // that is not silent has near its start.
    const auto silent = [&](size_t b) {
      if (scale[b] == 0.0) return true;
      const Band& band = bands[b];
      for (int y = 0; y < band.height; ++y) {
        const float* row = samples + static_cast<size_t>(band.y0 + y) * plane.width + band.x0;
        for (int x = 0; x < band.width; ++x)
          if (quantise(b, row[x]) != 0) return false;
      }
      return true;
    };
    LoadChannel(plane.width, plane.height, plane.levels, channel, silent,
                [&](size_t b, size_t i) { return quantise(b, samples[i]); });
  } catch (const std::bad_alloc&) {
    m_loaded->channels.clear();
    return TX_ERR_MEMORY;
  }
  return TX_OK;
}

int PlaneEncoder::Finish(const EncodeSettings& settings, std::vector<uint8_t>& out) {
  out.clear();
  std::vector<Channel>& channels = m_loaded->channels;
  if (channels.empty()) return TX_ERR_ARGUMENT;
  if (settings.layer != CodingLayer::Standard && settings.layer != CodingLayer::Fast &&
      settings.layer != CodingLayer::FastResolution)
    return TX_ERR_ARGUMENT;
  try {
    // The preamble's size depends on the caps it carries, the caps on the
    // room left after the preamble: size it without caps first.
    const size_t budget = settings.byteBudget;
    std::vector<uint8_t> preamble;
    WritePreamble(channels, settings.layer, 0, preamble);
    size_t bodyBudget = SIZE_MAX;
    int resolutionFloor = 0;
    if (budget != SIZE_MAX) {
      bodyBudget = budget > preamble.size() ? budget - preamble.size() : 0;
      SetByteCaps(channels, settings, bodyBudget);
      if (settings.layer == CodingLayer::FastResolution)
        resolutionFloor = EstimateResolutionFloor(channels, bodyBudget);
      preamble.clear();
      WritePreamble(channels, settings.layer, resolutionFloor, preamble);
      bodyBudget = budget > preamble.size() ? budget - preamble.size() : 0;
    }
    if (budget != SIZE_MAX && budget < preamble.size()) {
      // Too small for anything: a prefix of the preamble decodes to zeros.
      out.assign(preamble.begin(), preamble.begin() + static_cast<ptrdiff_t>(budget));
      return TX_OK;
    }
    const std::vector<PassUnit> schedule = MakeSchedule(channels, settings.layer, resolutionFloor);
    std::vector<uint8_t> body;
    const int result = EncodeBody(channels, schedule, settings, bodyBudget, body);
    if (result != TX_OK) return result;
    out = std::move(preamble);
    out.insert(out.end(), body.begin(), body.end());
    if (settings.progress && !settings.progress(1.0)) {
      out.clear();
      return TX_ERR_ABORTED;
    }
    return TX_OK;
  } catch (const std::bad_alloc&) {
    out.clear();
    return TX_ERR_MEMORY;
  }
}

namespace {

// `consumed`, when given, is `planes` itself: each plane's samples are freed
// once loaded.
int EncodeLoadedPlanes(const std::vector<CoefficientPlane>& planes, std::vector<CoefficientPlane>* consumed,
                       const EncodeSettings& settings, std::vector<uint8_t>& out) {
  out.clear();
  if (planes.empty() || planes.size() > static_cast<size_t>(kMaxBodyPlanes)) return TX_ERR_ARGUMENT;
  PlaneEncoder encoder;
  for (size_t c = 0; c < planes.size(); ++c) {
    if (const int r = encoder.Add(planes[c]); r != TX_OK) return r;
    if (consumed) (*consumed)[c].data = {};
  }
  return encoder.Finish(settings, out);
}

}  // namespace

int EncodePlanes(const std::vector<CoefficientPlane>& planes, const EncodeSettings& settings,
                 std::vector<uint8_t>& out) {
  return EncodeLoadedPlanes(planes, nullptr, settings, out);
}

int EncodePlanes(std::vector<CoefficientPlane>&& planes, const EncodeSettings& settings, std::vector<uint8_t>& out) {
  return EncodeLoadedPlanes(planes, &planes, settings, out);
}

// ------------------------------------------------------------------ decoder

namespace {

class PullSource {
public:
  explicit PullSource(ByteSource& source) : m_source(source) {}
  bool Next(uint8_t& byte) {
    if (m_error != 0 || m_ended) return false;
    const int result = m_source.NextByte(byte);
    if (result > 0) {
      ++m_consumed;
      return true;
    }
    if (result < 0) m_error = result;
    else m_ended = true;
    return false;
  }
  int Error() const { return m_error; }
  size_t Consumed() const { return m_consumed; }

private:
  ByteSource& m_source;
  int m_error = 0;
  bool m_ended = false;
  size_t m_consumed = 0;
};

struct DecoderIo {
  static constexpr bool kDecoding = true;
  ArithmeticDecoder<PullSource> coder;
  WorkMeter meter;
  explicit DecoderIo(PullSource& source) : coder(source) {}
  void Advance(int coefficients) { meter.done += coefficients * meter.scale; }
  int Bit(BitModel& model, int) {
    if (coder.Exhausted()) throw EndOfData{};
    return coder.Decode(model);
  }
  int Raw(int) {
    if (coder.Exhausted()) throw EndOfData{};
    return coder.DecodeRaw();
  }
};

enum class PreambleResult { Ok, Ended, Corrupt };

}  // namespace

struct PlaneDecoder::State {
  std::vector<CoefficientPlane> shapes;
  CodingLayer layer;
  bool shapesValid = true;
  bool outOfMemory = false;
  std::vector<Channel> channels;
  std::vector<PassUnit> schedule;
  int resolutionFloor = 0;
  int passesDone = 0;
  double fractionDone = 0;
  const WorkMeter* liveMeter = nullptr;  // inside Run: progress within the current pass
  bool ran = false;

  PreambleResult ReadPreamble(PullSource& source);
};

PreambleResult PlaneDecoder::State::ReadPreamble(PullSource& source) {
  uint8_t byte = 0;
  if (!source.Next(byte)) return PreambleResult::Ended;
  if ((byte >> 4) != static_cast<int>(layer) || (byte & 15) != static_cast<int>(channels.size()))
    return PreambleResult::Corrupt;
  if (!source.Next(byte)) return PreambleResult::Ended;
  if (byte > kMaxCodedBitPlanes || (byte != 0 && layer != CodingLayer::FastResolution)) return PreambleResult::Corrupt;
  resolutionFloor = byte;
  for (Channel& channel : channels) {
    if (!source.Next(byte)) return PreambleResult::Ended;
    if (byte > kMaxCodedBitPlanes) return PreambleResult::Corrupt;
    channel.topPlanes = byte;
    uint64_t cap = 0;
    for (int shift = 0;; shift += 7) {
      if (shift > 35) return PreambleResult::Corrupt;
      if (!source.Next(byte)) return PreambleResult::Ended;
      cap |= static_cast<uint64_t>(byte & 0x7F) << shift;
      if (!(byte & 0x80)) break;
    }
    channel.byteCap = cap == 0 ? SIZE_MAX : static_cast<size_t>(cap - 1);
  }
  return PreambleResult::Ok;
}

PlaneDecoder::PlaneDecoder(std::vector<CoefficientPlane> shapes, CodingLayer layer) : m_state(new State) {
  m_state->shapes = std::move(shapes);
  m_state->layer = layer;
  const size_t count = m_state->shapes.size();
  m_state->shapesValid = count >= 1 && count <= static_cast<size_t>(kMaxBodyPlanes);
  for (const CoefficientPlane& shape : m_state->shapes)
    if (!ValidShape(shape)) m_state->shapesValid = false;
  if (!m_state->shapesValid) return;
  try {
    m_state->channels.resize(count);
    for (size_t c = 0; c < count; ++c) {
      Channel& channel = m_state->channels[c];
      const CoefficientPlane& shape = m_state->shapes[c];
      channel.width = shape.width;
      channel.height = shape.height;
      channel.levels = shape.levels;
      channel.bands = MakeBands(shape.width, shape.height, shape.levels);
      AllocateBands(channel, true);
    }
  } catch (const std::bad_alloc&) {
    m_state->channels.clear();
    m_state->outOfMemory = true;
  }
}

PlaneDecoder::~PlaneDecoder() { delete m_state; }

int PlaneDecoder::Run(ByteSource& byteSource, const std::function<PassAction(size_t)>& atPassEnd) {
  State& s = *m_state;
  if (!s.shapesValid) return TX_ERR_ARGUMENT;
  if (s.outOfMemory) return TX_ERR_MEMORY;
  if (s.ran) return TX_ERR_ARGUMENT;
  s.ran = true;
  PullSource source(byteSource);
  const PreambleResult preamble = s.ReadPreamble(source);
  if (preamble == PreambleResult::Corrupt) return TX_ERR_CORRUPT;
  if (preamble == PreambleResult::Ended) return source.Error();
  try {
    s.schedule = MakeSchedule(s.channels, s.layer, s.resolutionFloor);
    DecoderIo io(source);
    struct MeterGuard {
      const WorkMeter*& slot;
      ~MeterGuard() { slot = nullptr; }
    } guard{s.liveMeter};
    s.liveMeter = &io.meter;
    io.coder.Start();
    for (const PassUnit& unit : s.schedule) {
      Channel& channel = s.channels[unit.channel];
      if (channel.bytesUsed < channel.byteCap) {
        const size_t before = io.coder.Shifts();
        io.meter.Begin(channel, unit, s.fractionDone);
        passes::CodeUnit(io, channel, unit);
        channel.bytesUsed += io.coder.Shifts() - before;
      }
      ++s.passesDone;
      s.fractionDone += unit.weight;
      if (atPassEnd && atPassEnd(source.Consumed()) == PassAction::Stop) break;
    }
  } catch (const EndOfData&) {
  } catch (const std::bad_alloc&) {
    return TX_ERR_MEMORY;
  }
  if (s.passesDone == static_cast<int>(s.schedule.size())) s.fractionDone = 1.0;
  return source.Error();
}

bool PlaneDecoder::Reconstruct(std::vector<CoefficientPlane>& out, StopCheck* stop) const {
  out.resize(m_state->shapes.size());
  for (size_t c = 0; c < out.size(); ++c)
    if (!ReconstructPlane(c, out[c], stop)) return false;
  return true;
}

namespace {

// Writes every coefficient of a channel's bands into `out` (rows of
// `width`): zero where nothing significant has been received, else
// `toSample(bandIndex, q)` of the integer q at the mid-point of the interval
// the received bits leave open. Blocks of rows go to `threads` threads;
// `stop` is asked between bands, on the calling thread only.
// With `coarserFrom` > 0 only the LL band after that many levels is
// written (`width` is then its width): the bands of the finer levels lie
// outside it.
template <typename Sample, typename ToSample>
bool ReconstructBands(const Channel& channel, int width, Sample* out, StopCheck* stop, int threads, int coarserFrom,
                      ToSample&& toSample, bool zerosInPlace = false) {
  constexpr int kRowsPerBlock = 32;
  for (size_t b = 0; b < channel.bands.size(); ++b) {
    const Band& band = channel.bands[b];
    if (band.orientation != Orientation::LL && band.level <= coarserFrom) continue;
    if (stop && stop->Stopped()) return false;
    const auto rows = [&](int y0, int y1) {
      for (int y = y0; y < y1; ++y) {
        Sample* row = out + static_cast<size_t>(band.y0 + y) * width + band.x0;
        // A band nothing has reached yet is zero.
        if (!band.active) {
          if (!zerosInPlace) std::fill_n(row, band.width, Sample{});
          continue;
        }
        for (int x = 0; x < band.width; ++x) {
          const uint8_t f = band.flags[band.FlagIndex(x, y)];
          if (!(f & kSignificant)) {
            if (!zerosInPlace) row[x] = Sample{};
            continue;
          }
          const int low = band.lowestPlane[band.FlagIndex(x, y)];
          int64_t value = band.magnitude[band.MagnitudeIndex(x, y)];
          if (low > 0) value += int64_t{1} << (low - 1);
          if (f & kNegative) value = -value;
          row[x] = toSample(b, static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)));
        }
      }
    };
    const int blocks = (band.height + kRowsPerBlock - 1) / kRowsPerBlock;
    ParallelFor(blocks, threads, [&](int k) { rows(k * kRowsPerBlock, std::min(band.height, (k + 1) * kRowsPerBlock)); });
  }
  return true;
}

}  // namespace

bool PlaneDecoder::ReconstructPlane(size_t c, CoefficientPlane& plane, StopCheck* stop, int threads,
                                    int coarserFrom) const {
  const State& s = *m_state;
  if (c >= s.shapes.size()) return true;
  if (stop && stop->Stopped()) return false;
  coarserFrom = std::clamp(coarserFrom, 0, s.shapes[c].levels);
  plane.width = CoarserSide(s.shapes[c].width, coarserFrom);
  plane.height = CoarserSide(s.shapes[c].height, coarserFrom);
  plane.levels = s.shapes[c].levels;
  const size_t count = static_cast<size_t>(plane.width) * plane.height;
  if (c >= s.channels.size()) {
    plane.data.assign(count, 0);
    return true;
  }
  // The bands tile the plane, and every coefficient is written below.
  plane.data.clear();
  plane.data.resize(count);
  return ReconstructBands(s.channels[c], plane.width, plane.data.data(), stop, threads, coarserFrom,
                          [](size_t, int32_t q) { return q; });
}

namespace {

std::vector<double> BandScales(const Channel& channel, const BandScale& scale) {
  std::vector<double> bandScale(channel.bands.size());
  for (size_t b = 0; b < channel.bands.size(); ++b) {
    const Band& band = channel.bands[b];
    const bool across = band.orientation == Orientation::HL || band.orientation == Orientation::HH;
    const bool down = band.orientation == Orientation::LH || band.orientation == Orientation::HH;
    bandScale[b] = scale(band.level, across, down);
  }
  return bandScale;
}

// In place (`out` is the decoder's own block), the words of coefficients
// never found significant are zero already, as are the floats they stand for.
bool WriteDequantised(const Channel& channel, const BandScale& scale, double offset, int width, float* out,
                      StopCheck* stop, int threads, int coarserFrom, bool inPlace = false) {
  const std::vector<double> bandScale = BandScales(channel, scale);
  return ReconstructBands(
      channel, width, out, stop, threads, coarserFrom,
      [&bandScale, offset](size_t b, int32_t q) {
        const double v = q > 0 ? (q + offset) * bandScale[b] : (q - offset) * bandScale[b];
        return static_cast<float>(v);
      },
      inPlace);
}

}  // namespace

bool PlaneDecoder::ReconstructDequantised(size_t c, const BandScale& scale, double offset, PlaneVector<float>& out,
                                          StopCheck* stop, int threads, int coarserFrom) const {
  const State& s = *m_state;
  if (c >= s.shapes.size()) return true;
  if (stop && stop->Stopped()) return false;
  coarserFrom = std::clamp(coarserFrom, 0, s.shapes[c].levels);
  const int width = CoarserSide(s.shapes[c].width, coarserFrom);
  const size_t count = static_cast<size_t>(width) * CoarserSide(s.shapes[c].height, coarserFrom);
  if (c >= s.channels.size()) {
    out.assign(count, 0.0f);
    return true;
  }
  out.clear();
  out.resize(count);
  return WriteDequantised(s.channels[c], scale, offset, width, out.data(), stop, threads, coarserFrom);
}

bool PlaneDecoder::TakeDequantised(size_t c, const BandScale& scale, double offset, PlaneVector<float>& out,
                                   StopCheck* stop, int threads) {
  State& s = *m_state;
  // A plane already released (or never decoded) gives zeros.
  if (c >= s.channels.size() || s.channels[c].coefficients.empty())
    return ReconstructDequantised(c, scale, offset, out, stop, threads);
  if (stop && stop->Stopped()) return false;
  Channel& channel = s.channels[c];
  // Each word is read before the same word is written, so the plane can be
  // converted where it lies.
  const bool complete =
      WriteDequantised(channel, scale, offset, channel.width, channel.coefficients.data(), stop, threads, 0, true);
  out = std::move(channel.coefficients);
  ReleasePlane(c);
  return complete;
}

void PlaneDecoder::ReleasePlane(size_t c) {
  State& s = *m_state;
  if (c >= s.channels.size()) return;
  s.channels[c].coefficients = {};
  for (Band& band : s.channels[c].bands) {
    band.active = false;
    band.magnitude = nullptr;
    band.flags = {};
    band.lowestPlane = {};
    band.segmentBusy = {};
  }
}

double PlaneDecoder::FractionDone() const {
  const State& s = *m_state;
  return s.liveMeter ? std::max(s.fractionDone, std::min(s.liveMeter->done, 1.0)) : s.fractionDone;
}

int PlaneDecoder::PassesDone() const { return m_state->passesDone; }

}  // namespace tavix
