// Round trips through the public interface: every wavelet, coding layer,
// mode and colour type on small and odd sizes.
#include <gtest/gtest.h>

#include "codec/TavixLib.h"
#include "codec_test_support.h"

using namespace codec_test;

namespace {

const int kWavelets[] = {0, 1, 2, 3, 4, 5, 6};
const int kCodecTypes[] = {0x01, 0x02, 0x42, 0x81, 0x82, 0xC2};
const int kColorTypes[] = {0, 1, 2, 3, 4};
const std::pair<int, int> kSizes[] = {{1, 1}, {1, 9}, {9, 1}, {7, 3}, {33, 17}, {64, 48}};

std::string Describe(int wavelet, int codec, int color, std::pair<int, int> size) {
  return "wavelet " + std::to_string(wavelet) + " codec " + std::to_string(codec) + " colour " +
         std::to_string(color) + " size " + std::to_string(size.first) + "x" + std::to_string(size.second);
}

}  // namespace

TEST(CodecRoundTrip, LosslessIsExactForEveryCombination) {
  LibraryScope library;
  for (int wavelet : kWavelets)
    for (int codec : kCodecTypes)
      for (int color : kColorTypes)
        for (auto size : kSizes) {
          SCOPED_TRACE(Describe(wavelet, codec, color, size));
          const TestImage image = MakeImage(size.first, size.second, color, wavelet + codec);
          std::string file;
          ASSERT_EQ(Encode(image, Params(TXmodeLossless, wavelet, codec), file), TX_OK);
          TestImage decoded;
          ASSERT_EQ(Decode(file, decoded), TX_OK);
          ASSERT_TRUE(SamePixels(image, decoded));
        }
}

TEST(CodecRoundTrip, LosslessKeepsExtremeSamples) {
  LibraryScope library;
  for (int color : kColorTypes) {
    TestImage image = MakeImage(19, 13, color, 7);
    // Alternate the smallest and largest byte values: full-range edges everywhere.
    for (size_t i = 0; i < image.bytes.size(); ++i) image.bytes[i] = ((i / 2 + i / image.rowBytes) % 2) ? 0xFF : 0x00;
    for (int wavelet : {3, 5, 6}) {
      SCOPED_TRACE("colour " + std::to_string(color) + " wavelet " + std::to_string(wavelet));
      std::string file;
      ASSERT_EQ(Encode(image, Params(TXmodeLossless, wavelet), file), TX_OK);
      TestImage decoded;
      ASSERT_EQ(Decode(file, decoded), TX_OK);
      EXPECT_TRUE(SamePixels(image, decoded));
    }
  }
}

TEST(CodecRoundTrip, LossyQualityModeStaysCloseForEveryCombination) {
  LibraryScope library;
  for (int wavelet : kWavelets)
    for (int codec : kCodecTypes)
      for (int color : kColorTypes)
        for (auto size : kSizes) {
          SCOPED_TRACE(Describe(wavelet, codec, color, size));
          const TestImage image = MakeImage(size.first, size.second, color, 3);
          std::string file;
          ASSERT_EQ(Encode(image, Params(TXmodeQuality, wavelet, codec, QualityTarget(50)), file), TX_OK);
          TestImage decoded;
          ASSERT_EQ(Decode(file, decoded), TX_OK);
          // Dropping the colour planes' finest detail costs the pattern's
          // sharp colour edges some decibels.
          const bool reducedColour = TXgetNumberOfPlanes(color) == 3 && !(codec & TXcodecNoDownsampling) &&
                                     size.first > 8 && size.second > 8;
          EXPECT_GT(Psnr(image, decoded), reducedColour ? 32.0 : 38.0);
        }
}

TEST(CodecRoundTrip, FileSizeModeDecodesEveryCombination) {
  LibraryScope library;
  for (int wavelet : kWavelets)
    for (int codec : kCodecTypes)
      for (int color : kColorTypes) {
        const std::pair<int, int> size{64, 48};
        SCOPED_TRACE(Describe(wavelet, codec, color, size));
        const TestImage image = MakeImage(size.first, size.second, color, 5);
        const int32_t target = static_cast<int32_t>(image.bytes.size() / 8);
        std::string file;
        ASSERT_EQ(Encode(image, Params(TXmodeFileSize, wavelet, codec, target), file), TX_OK);
        EXPECT_LE(file.size(), size_t(target));
        TestImage decoded;
        ASSERT_EQ(Decode(file, decoded), TX_OK);
        EXPECT_GT(Psnr(image, decoded), 24.0);
      }
}
