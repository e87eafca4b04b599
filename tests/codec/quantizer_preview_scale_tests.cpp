// The quantizer preview's scale: inside the Quality dialog's range the looks
// are pinned, above it the picture keeps coarsening up to an end. (The About
// window's frames over the scale are tested with its picture in the app tests.)
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "codec/TavixLib.h"
#include "codec_test_support.h"

using namespace codec_test;

namespace {

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t hash = 1469598103934665603ull;
  for (uint8_t b : bytes) {
    hash ^= b;
    hash *= 1099511628211ull;
  }
  return hash;
}

struct PreviewSetting {
  int colorType, wavelet, codecType, portion;
};

const PreviewSetting kSettings[] = {
    {TXcolorGrey8, TXwavelet97, 0x01, 90},    {TXcolorGrey8, TXwavelet1810, 0x02, 90},
    {TXcolorGrey8, TXwavelet53, 0x01, 90},    {TXcolorRGB24, TXwavelet97, 0x01, 90},
    {TXcolorRGB24, TXwaveletMixed, 0x81, 60}, {TXcolorRGB24, TXwaveletSP, 0x42, 75}};

// Below the scale, its best end (Q = 50), inside, and its worst end (Q = 1).
const long kScaleValues[] = {0, 131072, 200000, 655360, 1500000, 2621440, 3500000, 3954195};

// Checksums of the previewed 100 x 70 window (3 bytes of row padding, seed 5)
// per setting and scale value.
const uint64_t kLooks[6][8] = {
    {0x2cc553fd3778b004ull, 0x2cc553fd3778b004ull, 0x36ff77c8c685f653ull, 0x15998084173be39full,
     0x9e36abb3b0d2c9b5ull, 0x6f6d15f88f9a8299ull, 0x068e121fe164cef7ull, 0xed5a4ad8fbf2cd7bull},
    {0x2e1293e7efb6ee93ull, 0x2e1293e7efb6ee93ull, 0x092fa2dfa3998b42ull, 0x6f00f5aa77da1ba7ull,
     0x32b0a32aeb51c28eull, 0x28d4ea66fd10cb13ull, 0x1ea3bf5e35fa1e94ull, 0x8007556d5ac5a651ull},
    {0x68c8a83229a6a916ull, 0x68c8a83229a6a916ull, 0x401864e5d01801d2ull, 0x34cfae5776f49dc0ull,
     0x64bec23218427d2dull, 0x72e3f8d53b7f1bf3ull, 0x69825bc7c7b4a765ull, 0xb923b45554ca2ee2ull},
    {0xe22965f1f7f5bd4eull, 0xe22965f1f7f5bd4eull, 0x7369ca0f4f0c3653ull, 0x37d6cf5279164e9bull,
     0x253450337ffbe0dcull, 0xa5d02c401c5e478aull, 0x5eea0c612fd9f1ebull, 0x5cdea5267f79441dull},
    {0xaf23546dd5bbc48eull, 0xaf23546dd5bbc48eull, 0xf29317cd24bbf4a0ull, 0xd83befef7b08e1aaull,
     0xba3fefcb5253a42bull, 0xff4d0fd9c1c04175ull, 0x26c03391d8eeb2dbull, 0xf0be3fab70a5d9dfull},
    {0xcfbe8ce56bb37b87ull, 0xcfbe8ce56bb37b87ull, 0x7c94c36ce595e8e2ull, 0xa46cf6afa3fb333dull,
     0xb66173ea584de197ull, 0x97fd7ae65ab7528dull, 0x42c0d896084bcb65ull, 0x15301b3ed6ed61f7ull}};

TestImage Previewed(const TestImage& original, long scale, int wavelet = TXwavelet97, int codecType = 1,
                    int portion = 90) {
  TestImage image = original;
  const int bytesPerPixel = image.colorType == TXcolorRGB24 ? 3 : 1;
  EXPECT_EQ(TXquantizerPreview(image.bytes.data(), image.width, image.height, bytesPerPixel, image.rowBytes, 0,
                               wavelet, codecType, scale, portion),
            TX_OK);
  return image;
}

}  // namespace

TEST(QuantizerPreviewScale, ValuesUpToTheWorstQualityKeepTheirLook) {
  for (size_t s = 0; s < std::size(kSettings); ++s) {
    const PreviewSetting& setting = kSettings[s];
    const TestImage original = MakeImage(100, 70, setting.colorType, 5, 3);
    for (size_t v = 0; v < std::size(kScaleValues); ++v) {
      SCOPED_TRACE(testing::Message() << "setting " << s << ", scale " << kScaleValues[v]);
      const TestImage image =
          Previewed(original, kScaleValues[v], setting.wavelet, setting.codecType, setting.portion);
      EXPECT_EQ(Fnv1a(image.bytes), kLooks[s][v]);
    }
  }
}

TEST(QuantizerPreviewScale, CoarseningStopsAtItsEnd) {
  const TestImage original = MakeImage(240, 160, TXcolorRGB24, 4);
  const TestImage coarsest = Previewed(original, 3000L * 65536);
  EXPECT_FALSE(SamePixels(coarsest, Previewed(original, 2900L * 65536)));
  EXPECT_FALSE(SamePixels(coarsest, Previewed(original, 3954195)));
  for (long beyond : {3001L * 65536, 40000L * 65536, LONG_MAX})
    EXPECT_TRUE(SamePixels(coarsest, Previewed(original, beyond)));
}
