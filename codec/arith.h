// Binary adaptive arithmetic coder (a range coder with byte output).
//
// The encoder keeps a 33-bit `low` and a 32-bit `range`; after each symbol
// the range is renormalised to at least 2^24 by shifting out one byte at a
// time. Bytes that a later carry could still change wait in a small pending
// counter (one cached byte plus a run of 0xFF bytes) until the carry is known.
//
// Probabilities are 15-bit estimates of "the bit is 0", adapted by a shift.
// Every renormalisation step is mirrored exactly by the decoder, so both
// sides agree on the byte position after any symbol (`Shifts()`): the
// decoder needs exactly 4 + Shifts() bytes to decode the next symbol. The
// embedded coder relies on this to cut a stream at any byte and to know
// which symbols a prefix still determines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavix {

constexpr int kProbabilityBits = 15;
constexpr uint32_t kProbabilityOne = 1u << kProbabilityBits;
constexpr uint32_t kTopValue = 1u << 24;

// One adaptive context: two estimates of the probability that the next bit
// is 0, one quick to follow changes and one slow and precise; the coder uses
// their mean. This costs one more add and shift per symbol and saves a few
// percent against a single estimate on both stationary and drifting data.
struct BitModel {
  uint16_t quick = kProbabilityOne / 2;
  uint16_t slow = kProbabilityOne / 2;
  uint32_t Zero() const { return (static_cast<uint32_t>(quick) + slow) >> 1; }
};

constexpr int kQuickShift = 4;
constexpr int kSlowShift = 7;

inline void AdaptToZero(BitModel& model) {
  model.quick = static_cast<uint16_t>(model.quick + ((kProbabilityOne - model.quick) >> kQuickShift));
  model.slow = static_cast<uint16_t>(model.slow + ((kProbabilityOne - model.slow) >> kSlowShift));
}
inline void AdaptToOne(BitModel& model) {
  model.quick = static_cast<uint16_t>(model.quick - (model.quick >> kQuickShift));
  model.slow = static_cast<uint16_t>(model.slow - (model.slow >> kSlowShift));
}

class ArithmeticEncoder {
public:
  explicit ArithmeticEncoder(std::vector<uint8_t>& out) : m_out(out) {}

  void Encode(BitModel& model, int bit) {
    const uint32_t bound = (m_range >> kProbabilityBits) * model.Zero();
    if (bit == 0) {
      m_range = bound;
      AdaptToZero(model);
    } else {
      m_low += bound;
      m_range -= bound;
      AdaptToOne(model);
    }
    while (m_range < kTopValue) {
      m_range <<= 8;
      ShiftLow();
    }
  }

  // An equiprobable bit without a model (signs and low refinement bits).
  void EncodeRaw(int bit) {
    m_range >>= 1;
    if (bit) m_low += m_range;
    while (m_range < kTopValue) {
      m_range <<= 8;
      ShiftLow();
    }
  }

  // Writes the remaining bytes; the stream is then complete.
  void Flush() {
    for (int i = 0; i < 5; ++i) ShiftLow();
  }

  // Renormalisation steps so far (identical in the decoder).
  size_t Shifts() const { return m_shifts; }

private:
  void ShiftLow();

  std::vector<uint8_t>& m_out;
  uint64_t m_low = 0;
  uint32_t m_range = 0xFFFFFFFFu;
  uint8_t m_cache = 0;
  size_t m_pendingCount = 1;  // the cached byte plus 0xFF bytes waiting for a carry
  bool m_firstByte = true;    // the very first cached byte is always 0 and is not written
  size_t m_shifts = 0;
};

// The decoder pulls bytes through `Source::Next(uint8_t&)`, which returns
// true with a byte or false when there is none; after the first missing byte
// `Exhausted()` is true and every further decision would be guesswork.
template <typename Source>
class ArithmeticDecoder {
public:
  explicit ArithmeticDecoder(Source& source) : m_source(source) {}

  void Start() {
    for (int i = 0; i < 4; ++i) m_code = (m_code << 8) | NextByte();
  }

  int Decode(BitModel& model) {
    const uint32_t bound = (m_range >> kProbabilityBits) * model.Zero();
    int bit;
    if (m_code < bound) {
      m_range = bound;
      AdaptToZero(model);
      bit = 0;
    } else {
      m_code -= bound;
      m_range -= bound;
      AdaptToOne(model);
      bit = 1;
    }
    while (m_range < kTopValue) {
      m_range <<= 8;
      m_code = (m_code << 8) | NextByte();
      ++m_shifts;
    }
    return bit;
  }

  int DecodeRaw() {
    m_range >>= 1;
    int bit = 0;
    if (m_code >= m_range) {
      m_code -= m_range;
      bit = 1;
    }
    while (m_range < kTopValue) {
      m_range <<= 8;
      m_code = (m_code << 8) | NextByte();
      ++m_shifts;
    }
    return bit;
  }

  bool Exhausted() const { return m_exhausted; }
  size_t Shifts() const { return m_shifts; }

private:
  uint32_t NextByte() {
    uint8_t byte = 0;
    if (!m_exhausted && !m_source.Next(byte)) {
      m_exhausted = true;
      byte = 0;
    }
    return m_exhausted ? 0u : byte;
  }

  Source& m_source;
  uint32_t m_code = 0;
  uint32_t m_range = 0xFFFFFFFFu;
  size_t m_shifts = 0;
  bool m_exhausted = false;
};

// A byte source over memory, for tests and in-memory decoding.
class MemorySource {
public:
  MemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool Next(uint8_t& byte) {
    if (m_pos >= m_size) return false;
    byte = m_data[m_pos++];
    return true;
  }

private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

}  // namespace tavix
