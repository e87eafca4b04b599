// Previews while decoding: how many the tuning values give, their geometry,
// that they improve, and previews asked for from inside fillBuffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "codec/TavixLib.h"
#include "codec_test_support.h"

using namespace codec_test;

namespace {

// A preview stream over a byte string that keeps a copy of every preview.
class CollectingStream : public TXpreviewInputStream {
public:
  CollectingStream(const std::string& bytes, const float tuning[4], long tuningBytes)
      : m_source(bytes, std::ios::binary) {
    stream = &m_source;
    std::copy_n(tuning, 4, previewTuning);
    previewTuningBytes = tuningBytes;
  }
  bool previewReady() override {
    TestImage shot;
    shot.width = previewWidth;
    shot.height = previewHeight;
    shot.colorType = previewPlanes == 3 ? TXcolorRGB24 : TXcolorGrey8;
    shot.rowBytes = externalRowBytes;
    shot.bytes.assign(externalBuffer, externalBuffer + externalRowBytes * externalHeight);
    previews.push_back(shot);
    bytesAtPreview.push_back(job ? TXgetCompressedSize(job) : 0);
    return true;
  }
  std::vector<TestImage> previews;
  std::vector<long> bytesAtPreview;

private:
  std::istringstream m_source;
};

const float kDocumentTuning[4] = {0.5f, 0.4f, 0.0001f, 1.4f};
const float kPluginTuning[4] = {0.5f, 0.4f, 0.0005f, 1.4f};

std::string MegabyteFile(const TestImage& image, int codec) {
  std::string file;
  EXPECT_EQ(Encode(image, Params(TXmodeFileSize, TXwavelet97, codec, 1000000), file), TX_OK);
  return file;
}

}  // namespace

TEST(CodecPreview, DesignTuningGivesAHandfulOfImprovingFullSizePreviews) {
  LibraryScope library;
  const TestImage image = MakeImage(1024, 1024, TXcolorRGB24, 1);
  struct Setup {
    int codec;
    const float* tuning;
    long bytes;
    long buffer;
    long transfer;
  } setups[] = {{0x01, kDocumentTuning, 400, 2048, 512}, {0x42, kPluginTuning, 750, 4096, 2048}};
  {
    for (const Setup& setup : setups) {
      const int codec = setup.codec;
      const std::string file = MegabyteFile(image, codec);
      SCOPED_TRACE("codec " + std::to_string(codec) + " first bytes " + std::to_string(setup.bytes));
      CollectingStream input(file, setup.tuning, setup.bytes);
      input.setBuffer(setup.buffer);
      input.setTransferSize(setup.transfer);
      TestImage decoded;
      ASSERT_EQ(DecodeFrom(input, decoded), TX_OK);
      EXPECT_GE(input.previews.size(), 3u);
      EXPECT_LE(input.previews.size(), 12u);
      double lastPsnr = 0.0;
      for (size_t k = 0; k < input.previews.size(); ++k) {
        const TestImage& shot = input.previews[k];
        EXPECT_EQ(shot.width, image.width);
        EXPECT_EQ(shot.height, image.height);
        const double psnr = Psnr(image, shot);
        // (A resolution-progressive stream may stand still between two.)
        EXPECT_GT(psnr, lastPsnr - 0.1);
        lastPsnr = psnr;
        // Only within the first half of the stream, and never before the
        // byte threshold; the gaps widen.
        EXPECT_GE(input.bytesAtPreview[k], setup.bytes);
        EXPECT_LE(input.bytesAtPreview[k], static_cast<long>(file.size() / 2));
        if (k >= 2) {
          EXPECT_GT(double(input.bytesAtPreview[k]) / input.bytesAtPreview[k - 1],
                    double(input.bytesAtPreview[k - 1]) / input.bytesAtPreview[k - 2]);
        }
      }
      EXPECT_GT(Psnr(image, decoded), lastPsnr - 0.1);
    }
  }
}

TEST(CodecPreview, DefaultTransferSizeGrowsWithTheBytesRead) {
  LibraryScope library;
  const TestImage image = MakeImage(300, 200, TXcolorGrey8, 1);
  std::string file;
  ASSERT_EQ(Encode(image, Params(TXmodeLossless), file), TX_OK);
  class Watching : public CollectingStream {
  public:
    using CollectingStream::CollectingStream;
    int fillBuffer(long n) override {
      requests.push_back(n);
      return TXpreviewInputStream::fillBuffer(n);
    }
    std::vector<long> requests;
  } input(file, kDocumentTuning, 400);
  input.setBuffer(1 << 16);
  input.setTransferSize(512);
  TestImage decoded;
  ASSERT_EQ(DecodeFrom(input, decoded), TX_OK);
  EXPECT_TRUE(SamePixels(image, decoded));
  ASSERT_GE(input.requests.size(), 3u);
  EXPECT_EQ(input.requests.front(), 512);
  EXPECT_TRUE(std::is_sorted(input.requests.begin(), input.requests.end()));
  EXPECT_GT(input.requests.back(), 512);
}

TEST(CodecPreview, PreviewOnDemandFromInsideFillBuffer) {
  LibraryScope library;
  const TestImage image = MakeImage(256, 192, TXcolorRGB24, 5);
  std::string file;
  ASSERT_EQ(Encode(image, Params(TXmodeQuality, TXwavelet97, 0x81, QualityTarget(45)), file), TX_OK);
  // Like a transfer that pauses at a byte limit: when the limit is reached,
  // the stream asks for the best image so far, then goes on.
  class Limited : public CollectingStream {
  public:
    Limited(const std::string& bytes, long limit) : CollectingStream(bytes, kPluginTuning, 750), m_limit(limit) {}
    int fillBuffer(long n) override {
      if (!m_paused && job != nullptr && TXgetCompressedSize(job) >= 0 && delivered + n > m_limit) {
        m_paused = true;
        possibleAtLimit = isPreviewPossible();
        if (possibleAtLimit) previewResult = doPreview();
      }
      const int r = TXpreviewInputStream::fillBuffer(n);
      delivered += bufferCount;
      return r;
    }
    bool wantPreview(long, float, float) override { return false; }  // only the one on demand
    long delivered = 0;
    bool possibleAtLimit = false;
    int previewResult = 1;

  private:
    long m_limit;
    bool m_paused = false;
  } input(file, 6000);
  EXPECT_FALSE(input.isPreviewPossible());  // no job yet
  TestImage decoded;
  ASSERT_EQ(DecodeFrom(input, decoded), TX_OK);
  EXPECT_TRUE(input.possibleAtLimit);
  EXPECT_EQ(input.previewResult, TX_OK);
  ASSERT_EQ(input.previews.size(), 1u);
  const double previewPsnr = Psnr(image, input.previews[0]);
  EXPECT_GT(previewPsnr, 18.0);
  EXPECT_GT(Psnr(image, decoded), previewPsnr + 3.0);
  TestImage plain;
  ASSERT_EQ(Decode(file, plain), TX_OK);
  EXPECT_TRUE(SamePixels(plain, decoded));
}

TEST(CodecPreview, NoExternalBufferMeansNoPreviews) {
  LibraryScope library;
  const TestImage image = MakeImage(128, 128, TXcolorGrey8, 5);
  std::string file;
  ASSERT_EQ(Encode(image, Params(TXmodeQuality, TXwavelet97, 1, QualityTarget(45)), file), TX_OK);
  CollectingStream input(file, kDocumentTuning, 400);
  TXjob* job = nullptr;
  ASSERT_EQ(TXdecompressionJob(job, input), TX_OK);
  EXPECT_EQ(input.job, job);
  TXimageParams* i = nullptr;
  TXcompressionParams* c = nullptr;
  ASSERT_EQ(TXreadHeader(job, i, c), TX_OK);
  std::vector<uint8_t> pixels(128 * 128);
  ASSERT_EQ(TXreadImage(job, pixels.data(), 128, 0, nullptr), TX_OK);
  EXPECT_TRUE(input.previews.empty());
  EXPECT_EQ(input.doPreview(), TX_ERR_STATE);
  TXdisposeParams(i, c);
  TXendJob(job);
  EXPECT_EQ(input.job, nullptr);
}

TEST(CodecPreview, ReturningFalseFromPreviewReadyStopsDecoding) {
  LibraryScope library;
  const TestImage image = MakeImage(256, 256, TXcolorGrey8, 5);
  std::string file;
  ASSERT_EQ(Encode(image, Params(TXmodeQuality, TXwavelet97, 1, QualityTarget(50)), file), TX_OK);
  class Refusing : public CollectingStream {
  public:
    using CollectingStream::CollectingStream;
    bool previewReady() override {
      CollectingStream::previewReady();
      return false;
    }
  } input(file, kDocumentTuning, 400);
  TestImage decoded;
  EXPECT_EQ(DecodeFrom(input, decoded), TX_ERR_ABORTED);
  EXPECT_EQ(input.previews.size(), 1u);
}

// The picture a preview shows at 1 / 2^k of the size: the mean of each
// 2^k x 2^k block of the original (partial blocks at the right and bottom).
TestImage BoxDownscaled(const TestImage& image, int width, int height, int k) {
  TestImage small;
  small.width = width;
  small.height = height;
  small.colorType = image.colorType;
  small.rowBytes = static_cast<long>(width) * image.Planes();
  small.bytes.assign(static_cast<size_t>(small.rowBytes) * height, 0);
  const int block = 1 << k;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < image.Planes(); ++c) {
        double sum = 0;
        int count = 0;
        for (int v = y * block; v < std::min(image.height, (y + 1) * block); ++v)
          for (int u = x * block; u < std::min(image.width, (x + 1) * block); ++u, ++count) sum += image.Sample(u, v, c);
        small.bytes[static_cast<size_t>(y) * small.rowBytes + static_cast<size_t>(x) * image.Planes() + c] =
            static_cast<uint8_t>(sum / count + 0.5);
      }
  return small;
}

// A preview shown smaller than the image leaves out the finest levels: it
// is as large as it must be and no larger, it looks like the image
// scaled down (every filter, including the mixed one whose filters change
// with the level), and the final image is still full size and unchanged.
TEST(CodecPreview, PreviewsShownSmallerLeaveOutTheFinestLevels) {
  LibraryScope library;
  const TestImage image = MakeImage(301, 203, TXcolorRGB24, 3);
  struct Case {
    int mode, wavelet, shownWidth, shownHeight, expectedWidth, expectedHeight;
    double minimumPsnr;  // against the image scaled down; about 2 dB below what the decoder reaches
  } cases[] = {
      {TXmodeFileSize, TXwavelet97, 70, 40, 76, 51, 27},  // two levels left out
      {TXmodeFileSize, TXwaveletMixed, 140, 90, 151, 102, 32},
      {TXmodeFileSize, TXwavelet1810, 38, 26, 38, 26, 31},  // three
      {TXmodeFileSize, TXwavelet53, 100, 60, 151, 102, 30},
      {TXmodeLossless, TXwaveletSP, 60, 100, 151, 102, 26},  // the height decides
      {TXmodeFileSize, TXwavelet97, 302, 100, 301, 203, 31},  // wider than the image: full size
  };
  for (const Case& test : cases) {
    SCOPED_TRACE("wavelet " + std::to_string(test.wavelet) + " shown " + std::to_string(test.shownWidth));
    std::string file;
    ASSERT_EQ(Encode(image, Params(test.mode, test.wavelet, TXcodecStandard, 60000), file), TX_OK);
    TestImage full;
    ASSERT_EQ(Decode(file, full), TX_OK);
    CollectingStream input(file, kDocumentTuning, 400);
    input.previewShownWidth = test.shownWidth;
    input.previewShownHeight = test.shownHeight;
    TestImage decoded;
    ASSERT_EQ(DecodeFrom(input, decoded), TX_OK);
    EXPECT_TRUE(SamePixels(decoded, full));
    ASSERT_FALSE(input.previews.empty());
    TestImage last = input.previews.back();
    ASSERT_EQ(last.width, test.expectedWidth);
    ASSERT_EQ(last.height, test.expectedHeight);
    int k = 0;
    while ((image.width + (1 << k) - 1) >> k > last.width) ++k;
    EXPECT_GT(Psnr(BoxDownscaled(image, last.width, last.height, k), last), test.minimumPsnr);
  }
}
