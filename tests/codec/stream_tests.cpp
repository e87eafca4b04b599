// The header block on its own: every field a writer cannot produce is
// refused even when the checksum has been made to match.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "codec/stream.h"

using namespace tavix;

namespace {

StreamHeader ValidHeader() {
  StreamHeader h;
  h.image.width = 640;
  h.image.height = 480;
  h.image.colorType = TXcolorRGB24;
  h.compression.waveletType = TXwavelet53;
  h.compression.codecType = 0x42;
  h.compression.mode = TXmodeLossless;
  h.transformWavelet = TXwavelet53;
  h.levels = 6;
  h.flags = kFlagIntegerPath;
  h.planes = 3;
  h.step = 1.0f;
  h.bodyBytes = 12345;
  return h;
}

int Parse(const StreamHeader& h) {
  uint8_t bytes[kHeaderBytes];
  SerializeHeader(h, bytes);
  StreamHeader out;
  return ParseHeader(bytes, out);
}

}  // namespace

TEST(StreamHeader, SerializedHeaderParsesBackFieldForField) {
  StreamHeader h = ValidHeader();
  h.compression.target = -7;
  h.compression.auxLong = 0x12345678;
  uint8_t bytes[kHeaderBytes];
  SerializeHeader(h, bytes);
  EXPECT_EQ(std::memcmp(bytes, kMagic, 4), 0);
  EXPECT_EQ(bytes[8] | (bytes[9] << 8), 640);  // width, little-endian
  StreamHeader r;
  ASSERT_EQ(ParseHeader(bytes, r), TX_OK);
  EXPECT_EQ(r.image.height, 480);
  EXPECT_EQ(r.compression.target, -7);
  EXPECT_EQ(r.compression.auxLong, 0x12345678);
  EXPECT_EQ(r.levels, 6);
  EXPECT_EQ(r.flags, kFlagIntegerPath);
  EXPECT_EQ(r.step, 1.0f);
  EXPECT_EQ(r.bodyBytes, 12345u);
}

TEST(StreamHeader, ImpossibleFieldsAreCorruptEvenWithAMatchingChecksum) {
  const std::pair<const char*, std::function<void(StreamHeader&)>> cases[] = {
      {"width 0", [](StreamHeader& h) { h.image.width = 0; }},
      {"height 0", [](StreamHeader& h) { h.image.height = 0; }},
      {"colour type 5", [](StreamHeader& h) { h.image.colorType = 5; }},
      {"planes disagree", [](StreamHeader& h) { h.planes = 1; }},
      {"wavelet 7", [](StreamHeader& h) { h.compression.waveletType = 7; }},
      {"codec 0x03", [](StreamHeader& h) { h.compression.codecType = 0x03; }},
      {"codec 0x142", [](StreamHeader& h) { h.compression.codecType = 0x142; }},
      {"mode 3", [](StreamHeader& h) { h.compression.mode = 3; }},
      {"transform 9", [](StreamHeader& h) { h.transformWavelet = 9; }},
      {"lossless on a float transform", [](StreamHeader& h) { h.transformWavelet = 0; h.flags = 0; }},
      {"integer flag on a float transform", [](StreamHeader& h) { h.transformWavelet = 4; }},
      {"lossless with reduced colour", [](StreamHeader& h) { h.flags |= kFlagChromaReduced; }},
      {"unknown flag", [](StreamHeader& h) { h.flags |= 0x10; }},
      {"16 levels", [](StreamHeader& h) { h.levels = 16; }},
      {"step 0", [](StreamHeader& h) { h.step = 0.0f; }},
      {"step NaN", [](StreamHeader& h) { h.step = std::numeric_limits<float>::quiet_NaN(); }},
      {"step infinite", [](StreamHeader& h) { h.step = std::numeric_limits<float>::infinity(); }},
      {"body over 2 GiB", [](StreamHeader& h) { h.bodyBytes = 0x80000000u; }},
  };
  ASSERT_EQ(Parse(ValidHeader()), TX_OK);
  for (const auto& [what, change] : cases) {
    StreamHeader h = ValidHeader();
    change(h);
    EXPECT_EQ(Parse(h), TX_ERR_CORRUPT) << what;
  }
}

TEST(StreamHeader, OversizedImagesAreRefusedAsTooLarge) {
  StreamHeader h = ValidHeader();
  h.image.width = 65535;
  h.image.height = 65535;
  EXPECT_EQ(Parse(h), TX_ERR_TOO_LARGE);
  h.image.colorType = TXcolorGrey8;
  h.planes = 1;
  h.image.height = 4096;  // 2^28 - 4096 samples: just within the limit
  EXPECT_EQ(Parse(h), TX_OK);
}

TEST(StreamHeader, Crc32MatchesTheKnownCheckValue) {
  const char* text = "123456789";
  EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(text), 9), 0xCBF43926u);
}
