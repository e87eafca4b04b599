#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/arith.h"

namespace tavix {
namespace {

struct CodedSymbol {
  int context;  // -1: raw bit
  int bit;
};

std::vector<uint8_t> EncodeAll(const std::vector<CodedSymbol>& symbols, int contexts) {
  std::vector<uint8_t> out;
  ArithmeticEncoder encoder(out);
  std::vector<BitModel> models(contexts);
  for (const CodedSymbol& s : symbols) {
    if (s.context < 0)
      encoder.EncodeRaw(s.bit);
    else
      encoder.Encode(models[s.context], s.bit);
  }
  encoder.Flush();
  return out;
}

// Decodes as long as every byte the decoder needs is present; returns how
// many symbols came out and checks each against the original.
size_t DecodeAndCompare(const std::vector<uint8_t>& bytes, const std::vector<CodedSymbol>& symbols, int contexts) {
  MemorySource source(bytes.data(), bytes.size());
  ArithmeticDecoder<MemorySource> decoder(source);
  decoder.Start();
  std::vector<BitModel> models(contexts);
  size_t decoded = 0;
  for (const CodedSymbol& s : symbols) {
    if (decoder.Exhausted()) break;
    const int bit = s.context < 0 ? decoder.DecodeRaw() : decoder.Decode(models[s.context]);
    EXPECT_EQ(bit, s.bit) << "symbol " << decoded;
    if (bit != s.bit) break;
    ++decoded;
  }
  return decoded;
}

std::vector<CodedSymbol> RandomSymbols(size_t count, int contexts, double pOne, unsigned seed, bool withRaw) {
  std::mt19937 rng(seed);
  std::bernoulli_distribution one(pOne), half(0.5);
  std::uniform_int_distribution<int> ctx(withRaw ? -1 : 0, contexts - 1);
  std::vector<CodedSymbol> symbols(count);
  for (auto& s : symbols) {
    s.context = ctx(rng);
    s.bit = s.context < 0 ? half(rng) : one(rng);
  }
  return symbols;
}

TEST(ArithmeticCoder, RoundTripsSkewedUniformAndMixedBits) {
  struct Case {
    double pOne;
    int contexts;
    bool raw;
  };
  for (const Case c : {Case{0.5, 1, false}, Case{0.02, 1, false}, Case{0.98, 4, false}, Case{0.3, 200, true},
                       Case{0.001, 3, true}}) {
    const auto symbols = RandomSymbols(200000, c.contexts, c.pOne, 7, c.raw);
    const auto bytes = EncodeAll(symbols, c.contexts);
    EXPECT_EQ(DecodeAndCompare(bytes, symbols, c.contexts), symbols.size()) << c.pOne;
  }
}

TEST(ArithmeticCoder, LongRunsCompressFarBelowOneBitAndCarryCorrectly) {
  // Long runs of the likely bit drive the probability to its limit and make
  // long 0xFF sequences that a later carry must ripple through.
  std::vector<CodedSymbol> symbols;
  for (int run = 0; run < 50; ++run) {
    for (int i = 0; i < 20000; ++i) symbols.push_back({0, run % 2});
    symbols.push_back({0, 1 - run % 2});
    symbols.push_back({-1, 1});
  }
  const auto bytes = EncodeAll(symbols, 1);
  EXPECT_EQ(DecodeAndCompare(bytes, symbols, 1), symbols.size());
  EXPECT_LT(bytes.size() * 8, symbols.size() / 20);
}

TEST(ArithmeticCoder, SkewedBitsCostCloseToTheirEntropy) {
  const auto symbols = RandomSymbols(400000, 1, 0.05, 3, false);
  const auto bytes = EncodeAll(symbols, 1);
  const double entropyBits = 0.2864 * symbols.size();  // H(0.05)
  EXPECT_LT(bytes.size() * 8.0, entropyBits * 1.04);
  EXPECT_GT(bytes.size() * 8.0, entropyBits * 0.96);
}

TEST(ArithmeticCoder, ShiftCountsAgreeAndPredictTheBytesAPrefixDecodes) {
  const auto symbols = RandomSymbols(50000, 8, 0.2, 11, true);
  std::vector<uint8_t> bytes;
  std::vector<size_t> shiftsBefore;
  size_t finalShifts = 0;
  {
    ArithmeticEncoder encoder(bytes);
    std::vector<BitModel> models(8);
    for (const auto& s : symbols) {
      shiftsBefore.push_back(encoder.Shifts());
      if (s.context < 0)
        encoder.EncodeRaw(s.bit);
      else
        encoder.Encode(models[s.context], s.bit);
    }
    finalShifts = encoder.Shifts();
    encoder.Flush();
  }
  EXPECT_EQ(bytes.size(), finalShifts + 4);
  for (size_t cut : {size_t{0}, size_t{3}, size_t{4}, size_t{5}, size_t{100}, size_t{1777}, bytes.size() - 1}) {
    std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut));
    // Symbol i is decodable iff 4 + shifts before it <= cut.
    size_t expected = 0;
    while (expected < symbols.size() && shiftsBefore[expected] + 4 <= cut) ++expected;
    EXPECT_EQ(DecodeAndCompare(prefix, symbols, 8), expected) << "cut " << cut;
  }
}

}  // namespace
}  // namespace tavix
