// The public interface's contracts: initialisation counting, header records,
// the input-stream protocol, progress, previews, damaged data and several
// jobs at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "codec/TavixLib.h"
#include "codec_test_support.h"

using namespace codec_test;

namespace {

TXimageParams ImageParams(const TestImage& image, uint16_t tag = 1) {
  TXimageParams p;
  p.imageTag = tag;
  p.width = static_cast<uint16_t>(image.width);
  p.height = static_cast<uint16_t>(image.height);
  p.colorType = static_cast<int16_t>(image.colorType);
  return p;
}

int ReadHeaderOf(const std::string& bytes, TXimageParams& image, TXcompressionParams& compression) {
  std::istringstream stream(bytes, std::ios::binary);
  TXinputStream input(&stream);
  TXjob* job = nullptr;
  int r = TXdecompressionJob(job, input);
  if (r != TX_OK) return r;
  TXimageParams* i = nullptr;
  TXcompressionParams* c = nullptr;
  r = TXreadHeader(job, i, c);
  if (r == TX_OK) {
    image = *i;
    compression = *c;
  }
  TXdisposeParams(i, c);
  TXendJob(job);
  return r;
}

// Serves a byte string in chunks of at most `chunk` bytes through its own
// fillBuffer, recording the requests.
class ChunkedStream : public TXinputStream {
public:
  ChunkedStream(std::string bytes, long chunk) : m_bytes(std::move(bytes)), m_chunk(chunk) {}
  int fillBuffer(long requested) override {
    requests.push_back(requested);
    if (failWith != 0 && m_pos >= failAfter) return failWith;
    const long n = std::min<long>({requested, m_chunk, static_cast<long>(m_bytes.size() - m_pos)});
    std::copy_n(m_bytes.data() + m_pos, n, buffer);
    m_pos += n;
    bufferCount = n;
    bufferPos = 0;
    if (n == 0) endOfInput = true;
    return 0;
  }
  std::vector<long> requests;
  int failWith = 0;
  size_t failAfter = 0;

private:
  std::string m_bytes;
  size_t m_pos = 0;
  long m_chunk;
};

class RecordingProgress : public TXprogress {
public:
  bool progressChanged() override {
    values.push_back(getProgressValue());
    return values.size() < stopAfter;
  }
  std::vector<double> values;
  size_t stopAfter = SIZE_MAX;
};

}  // namespace

TEST(CodecLibrary, InitAndTerminateAreCounted) {
  TXjob* job = nullptr;
  std::ostringstream out;
  EXPECT_EQ(TXterminate(), TX_ERR_NOT_INITIALISED);
  EXPECT_EQ(TXcompressionJob(job, out), TX_ERR_NOT_INITIALISED);
  EXPECT_EQ(job, nullptr);
  EXPECT_EQ(TXinit(3, nullptr), TX_ERR_UNSUPPORTED);
  ASSERT_EQ(TXinit(4, nullptr), TX_OK);
  ASSERT_EQ(TXinit(4, nullptr), TX_OK);
  EXPECT_EQ(TXterminate(), TX_OK);
  ASSERT_EQ(TXcompressionJob(job, out), TX_OK);  // one TXinit still in force
  EXPECT_EQ(TXendJob(job), TX_OK);
  EXPECT_EQ(job, nullptr);
  EXPECT_EQ(TXterminate(), TX_OK);
  EXPECT_EQ(TXterminate(), TX_ERR_NOT_INITIALISED);
}

TEST(CodecLibrary, InitCountSurvivesManyThreads) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 1000; ++i) {
        TXinit(4, nullptr);
        TXterminate();
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(TXterminate(), TX_ERR_NOT_INITIALISED);
}

TEST(CodecHeader, EveryFieldRoundTrips) {
  LibraryScope library;
  const TestImage image = MakeImage(21, 11, TXcolorRGB24);
  TXcompressionParams c = Params(TXmodeQuality, TXwaveletMixed, 0xC2, 1386675);
  c.auxWord1 = 0xA1B2;
  c.auxWord2 = 7;
  c.auxWord3 = 0xFFFF;
  c.portion = 63;
  c.sizeMode = -5;
  c.auxLong = 4000;
  std::string file;
  ASSERT_EQ(Encode(image, c, file, nullptr, 0x5A5A), TX_OK);
  TXimageParams i;
  TXcompressionParams r;
  ASSERT_EQ(ReadHeaderOf(file, i, r), TX_OK);
  EXPECT_EQ(i.imageTag, 0x5A5A);
  EXPECT_EQ(i.width, 21);
  EXPECT_EQ(i.height, 11);
  EXPECT_EQ(i.colorType, TXcolorRGB24);
  EXPECT_EQ(r.auxWord1, 0xA1B2);
  EXPECT_EQ(r.auxWord2, 7);
  EXPECT_EQ(r.auxWord3, 0xFFFF);
  EXPECT_EQ(r.waveletType, TXwaveletMixed);
  EXPECT_EQ(r.codecType, 0xC2);
  EXPECT_EQ(r.portion, 63);
  EXPECT_EQ(r.mode, TXmodeQuality);
  EXPECT_EQ(r.target, 1386675);
  EXPECT_EQ(r.sizeMode, -5);
  EXPECT_EQ(r.auxLong, 4000);
}

TEST(CodecHeader, LosslessWithALossyWaveletKeepsTheCallersChoiceAndStaysExact) {
  LibraryScope library;
  const TestImage image = MakeImage(30, 20, TXcolorRGB24);
  std::string file;
  ASSERT_EQ(Encode(image, Params(TXmodeLossless, TXwavelet1810), file), TX_OK);
  TXimageParams i;
  TXcompressionParams r;
  ASSERT_EQ(ReadHeaderOf(file, i, r), TX_OK);
  EXPECT_EQ(r.waveletType, TXwavelet1810);
  TestImage decoded;
  ASSERT_EQ(Decode(file, decoded), TX_OK);
  EXPECT_TRUE(SamePixels(image, decoded));
}

TEST(CodecHeader, WriterRefusesInvalidRecords) {
  LibraryScope library;
  std::ostringstream out;
  TXjob* job = nullptr;
  ASSERT_EQ(TXcompressionJob(job, out), TX_OK);
  const TestImage image = MakeImage(8, 8, TXcolorGrey8);
  TXimageParams i = ImageParams(image);
  const TXcompressionParams good = Params(TXmodeLossless);
  struct Case {
    const char* what;
    TXimageParams image;
    TXcompressionParams compression;
  };
  std::vector<Case> cases;
  auto add = [&](const char* what, auto change) {
    Case c{what, i, good};
    change(c);
    cases.push_back(c);
  };
  add("width 0", [](Case& c) { c.image.width = 0; });
  add("height 0", [](Case& c) { c.image.height = 0; });
  add("colour type 5", [](Case& c) { c.image.colorType = 5; });
  add("colour type -1", [](Case& c) { c.image.colorType = -1; });
  add("wavelet 7", [](Case& c) { c.compression.waveletType = 7; });
  add("codec 3", [](Case& c) { c.compression.codecType = 3; });
  add("codec 0x40", [](Case& c) { c.compression.codecType = 0x40; });
  add("mode 3", [](Case& c) { c.compression.mode = 3; });
  add("quality 0", [](Case& c) { c.compression.mode = TXmodeQuality; c.compression.target = 0; });
  for (const Case& c : cases) EXPECT_EQ(TXwriteHeader(job, c.image, c.compression), TX_ERR_ARGUMENT) << c.what;
  // Out of order: no image before a header.
  EXPECT_EQ(TXwriteImage(job, image.bytes.data(), image.rowBytes, 0, nullptr), TX_ERR_STATE);
  TXendJob(job);
  EXPECT_TRUE(out.str().empty());
}

TEST(CodecHeader, DecoderCallsOutOfOrderAreRefused) {
  LibraryScope library;
  const TestImage image = MakeImage(8, 8, TXcolorGrey8);
  std::string file;
  ASSERT_EQ(Encode(image, Params(TXmodeLossless), file), TX_OK);
  std::istringstream stream(file);
  TXinputStream input(&stream);
  TXjob* job = nullptr;
  ASSERT_EQ(TXdecompressionJob(job, input), TX_OK);
  std::vector<uint8_t> pixels(64);
  EXPECT_EQ(TXreadImage(job, pixels.data(), 8, 0, nullptr), TX_ERR_STATE);
  EXPECT_EQ(TXgetCompressedSize(job), TX_ERR_STATE);
  TXimageParams* i = nullptr;
  TXcompressionParams* c = nullptr;
  ASSERT_EQ(TXreadHeader(job, i, c), TX_OK);
  TXdisposeParams(i, c);
  EXPECT_EQ(TXreadImage(job, pixels.data(), 7, 0, nullptr), TX_ERR_ARGUMENT);  // row too short
  EXPECT_EQ(TXreadImage(job, nullptr, 8, 0, nullptr), TX_ERR_ARGUMENT);
  ASSERT_EQ(TXreadImage(job, pixels.data(), 8, 0, nullptr), TX_OK);
  EXPECT_EQ(TXreadImage(job, pixels.data(), 8, 0, nullptr), TX_ERR_STATE);
  EXPECT_EQ(TXgetCompressedSize(job), static_cast<long>(file.size()));
  TXendJob(job);
  EXPECT_EQ(TXendJob(job), TX_ERR_ARGUMENT);
}

TEST(CodecDamage, ForeignTruncatedAndDamagedHeadersGiveCodes) {
  LibraryScope library;
  const TestImage image = MakeImage(20, 10, TXcolorRGB24);
  std::string file;
  ASSERT_EQ(Encode(image, Params(TXmodeQuality, 0, 1, QualityTarget(30)), file), TX_OK);
  TXimageParams i;
  TXcompressionParams c;
  EXPECT_EQ(ReadHeaderOf("", i, c), TX_ERR_FORMAT);
  EXPECT_EQ(ReadHeaderOf("BM\x36\x04", i, c), TX_ERR_FORMAT);
  EXPECT_EQ(ReadHeaderOf(file.substr(0, 30), i, c), TX_ERR_CORRUPT);
  std::string newer = file;
  newer[4] = 9;
  EXPECT_EQ(ReadHeaderOf(newer, i, c), TX_ERR_UNSUPPORTED);
  // Any single damaged header byte after the magic is caught.
  for (size_t at = 5; at < 56; ++at) {
    std::string damaged = file;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x24);
    EXPECT_EQ(ReadHeaderOf(damaged, i, c), TX_ERR_CORRUPT) << "byte " << at;
  }
}

TEST(CodecDamage, DamagedBodiesNeverCrashAndReportCorruptOrDecode) {
  LibraryScope library;
  for (int codec : {0x01, 0x02, 0x42}) {
    for (int mode : {TXmodeQuality, TXmodeLossless}) {
      const TestImage image = MakeImage(40, 24, TXcolorRGB24, 6);
      std::string file;
      ASSERT_EQ(Encode(image, Params(mode, TXwavelet53, codec, QualityTarget(30)), file), TX_OK);
      uint32_t noise = 99;
      for (int trial = 0; trial < 60; ++trial) {
        std::string damaged = file;
        for (int k = 0; k < 1 + trial % 4; ++k) {
          noise = noise * 1664525u + 1013904223u;
          damaged[56 + (noise >> 8) % (damaged.size() - 56)] ^= static_cast<char>(1 + (noise >> 24) % 255);
        }
        TestImage decoded;
        const int r = Decode(damaged, decoded);
        EXPECT_TRUE(r == TX_OK || r == TX_ERR_CORRUPT) << r;
      }
    }
  }
}

TEST(CodecDamage, HugeDimensionsAreRefusedBeforeAllocating) {
  LibraryScope library;
  const TestImage huge = MakeImage(1, 1, TXcolorRGB48);
  TXimageParams i = ImageParams(huge);
  i.width = 65535;
  i.height = 65535;
  std::ostringstream out;
  TXjob* job = nullptr;
  ASSERT_EQ(TXcompressionJob(job, out), TX_OK);
  EXPECT_EQ(TXwriteHeader(job, i, Params(TXmodeLossless)), TX_ERR_TOO_LARGE);
  TXendJob(job);
}

TEST(CodecDamage, ThePixelLimitIsTheCallersAndRefusesBeforeDecoding) {
  LibraryScope library;
  const TestImage image = MakeImage(40, 30, TXcolorGrey8, 8);
  std::string bytes;
  ASSERT_EQ(Encode(image, Params(TXmodeLossless), bytes), TX_OK);
  for (const auto& [limit, expected] : {std::pair<uint64_t, int>{1199, TX_ERR_TOO_LARGE}, {1200, TX_OK}}) {
    std::istringstream stream(bytes, std::ios::binary);
    TXinputStream input(&stream);
    TXjob* job = nullptr;
    ASSERT_EQ(TXdecompressionJob(job, input), TX_OK);
    EXPECT_EQ(TXsetPixelLimit(job, 0), TX_ERR_ARGUMENT);
    EXPECT_EQ(TXsetPixelLimit(job, limit), TX_OK);
    TXimageParams* i = nullptr;
    TXcompressionParams* c = nullptr;
    ASSERT_EQ(TXreadHeader(job, i, c), TX_OK);
    std::vector<uint8_t> pixels(40 * 30);
    EXPECT_EQ(TXreadImage(job, pixels.data(), 40, 0, nullptr), expected) << limit;
    TXdisposeParams(i, c);
    TXendJob(job);
  }
}

TEST(CodecInput, FillBufferProtocol) {
  LibraryScope library;
  const TestImage image = MakeImage(50, 30, TXcolorRGB24, 8);
  std::string file;
  ASSERT_EQ(Encode(image, Params(TXmodeLossless, TXwavelet53, 0x82), file), TX_OK);

  // One byte at a time gives the same image as whole reads.
  ChunkedStream trickle(file, 1);
  TestImage decoded;
  ASSERT_EQ(DecodeFrom(trickle, decoded), TX_OK);
  EXPECT_TRUE(SamePixels(image, decoded));
  // Requests never exceed the buffer and follow the transfer size.
  for (long r : trickle.requests) {
    EXPECT_GE(r, 1);
    EXPECT_LE(r, trickle.bufferSize);
  }
  EXPECT_EQ(trickle.requests.front(), trickle.getTransferSize());

  // A negative fillBuffer result aborts with that same code.
  ChunkedStream failing(file, 512);
  failing.failWith = -13;
  failing.failAfter = 1000;
  EXPECT_EQ(DecodeFrom(failing, decoded), -13);
  ChunkedStream failingHeader(file, 512);
  failingHeader.failWith = -13;
  TXjob* job = nullptr;
  ASSERT_EQ(TXdecompressionJob(job, failingHeader), TX_OK);
  TXimageParams* i = nullptr;
  TXcompressionParams* c = nullptr;
  EXPECT_EQ(TXreadHeader(job, i, c), -13);
  EXPECT_EQ(i, nullptr);
  TXendJob(job);
}

TEST(CodecInput, AStalledOrShortStreamEndsWithAWholeImage) {
  LibraryScope library;
  const TestImage image = MakeImage(48, 32, TXcolorGrey8, 8);
  std::string file;
  ASSERT_EQ(Encode(image, Params(TXmodeQuality, TXwavelet97, 1, QualityTarget(45)), file), TX_OK);
  // This source claims success but delivers nothing after 300 bytes.
  class Stalling : public TXinputStream {
  public:
    explicit Stalling(std::string b) : bytes(std::move(b)) {}
    int fillBuffer(long n) override {
      const long k = std::min<long>(n, std::max<long>(0, 300 - static_cast<long>(pos)));
      std::copy_n(bytes.data() + pos, k, buffer);
      pos += k;
      bufferCount = k;
      bufferPos = 0;
      ++calls;
      return 0;
    }
    std::string bytes;
    size_t pos = 0;
    int calls = 0;
  } stalling(file);
  TestImage decoded;
  ASSERT_EQ(DecodeFrom(stalling, decoded), TX_OK);
  EXPECT_LT(stalling.calls, 10);
  EXPECT_GT(Psnr(image, decoded), 15.0);
  // Nothing at all after the header still gives a whole (flat) image.
  ASSERT_EQ(Decode(file.substr(0, 56), decoded), TX_OK);
  EXPECT_EQ(decoded.width, 48);
}

TEST(CodecInput, OverridesThatLieAboutTheirCountsAreCaught) {
  LibraryScope library;
  const TestImage image = MakeImage(16, 16, TXcolorGrey8);
  std::string file;
  ASSERT_EQ(Encode(image, Params(TXmodeLossless), file), TX_OK);
  class Lying : public TXinputStream {
  public:
    int fillBuffer(long) override {
      bufferCount = bufferSize + 100;
      bufferPos = 0;
      return 0;
    }
  } lying;
  TestImage decoded;
  EXPECT_EQ(DecodeFrom(lying, decoded), TX_ERR_IO);
}

TEST(CodecOutput, WideRowsAndPaddedRowsWork) {
  LibraryScope library;
  // 30000 RGB pixels make a row of 90000 bytes.
  const TestImage wide = MakeImage(30000, 2, TXcolorRGB24, 1);
  std::string file;
  ASSERT_EQ(Encode(wide, Params(TXmodeLossless, TXwavelet53, 2), file), TX_OK);
  TestImage decoded;
  ASSERT_EQ(Decode(file, decoded), TX_OK);
  EXPECT_TRUE(SamePixels(wide, decoded));
  const TestImage padded = MakeImage(13, 9, TXcolorRGB48, 2, 7);
  ASSERT_EQ(Encode(padded, Params(TXmodeLossless, TXwaveletTS), file), TX_OK);
  ASSERT_EQ(Decode(file, decoded), TX_OK);
  EXPECT_TRUE(SamePixels(padded, decoded));
}

TEST(CodecOutput, FailingOutputStreamIsReported) {
  LibraryScope library;
  const TestImage image = MakeImage(16, 16, TXcolorGrey8);
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  TXjob* job = nullptr;
  ASSERT_EQ(TXcompressionJob(job, out), TX_OK);
  ASSERT_EQ(TXwriteHeader(job, ImageParams(image), Params(TXmodeLossless)), TX_OK);
  EXPECT_EQ(TXwriteImage(job, image.bytes.data(), image.rowBytes, 0, nullptr), TX_ERR_IO);
  TXendJob(job);
}

TEST(CodecProgress, ConstructorDefaultsAndWindow) {
  class Probe : public TXprogress {
  public:
    uint16_t Active() const { return active; }
    double Low() const { return windowLow; }
    double High() const { return windowHigh; }
    double Limit() const { return taskLimit; }
  } probe;
  EXPECT_EQ(probe.Active(), 1);
  EXPECT_EQ(probe.getProgressValue(), 0.0);
  EXPECT_EQ(probe.Low(), 0.0);
  EXPECT_EQ(probe.High(), 1.0);
  EXPECT_EQ(probe.Limit(), 0.0);
  probe.setWindow(0.5, 1.0);
  probe.setProgressValue(0.5);
  EXPECT_DOUBLE_EQ(probe.getProgressValue(), 0.75);
  probe.setProgressValue(-1234);
  EXPECT_DOUBLE_EQ(probe.getProgressValue(), -1234);
  EXPECT_TRUE(probe.progressChanged());
}

TEST(CodecProgress, EncodingAndDecodingReportBoundedProgress) {
  LibraryScope library;
  const TestImage image = MakeImage(200, 150, TXcolorRGB24, 3);
  RecordingProgress encoding;
  std::string file;
  ASSERT_EQ(Encode(image, Params(TXmodeQuality, TXwavelet97, 1, QualityTarget(45)), file, &encoding), TX_OK);
  ASSERT_FALSE(encoding.values.empty());
  EXPECT_LE(encoding.values.size(), 250u);
  double last = -1;
  for (double v : encoding.values) {
    if (v < 0) continue;
    EXPECT_GE(v, last);
    EXPECT_LE(v, 1.0);
    last = v;
  }
  EXPECT_DOUBLE_EQ(encoding.values.back(), -static_cast<double>(file.size()));  // bytes written, at the end

  RecordingProgress decoding;
  std::istringstream stream(file);
  TXinputStream input(&stream);
  TestImage decoded;
  ASSERT_EQ(DecodeFrom(input, decoded, &decoding), TX_OK);
  ASSERT_GE(decoding.values.size(), 10u);
  EXPECT_LE(decoding.values.size(), 150u);
  EXPECT_TRUE(std::is_sorted(decoding.values.begin(), decoding.values.end()));
  EXPECT_DOUBLE_EQ(decoding.values.back(), 1.0);
}

// Stops at the first call that brings no new value: the codec asking, while
// it renders the image, whether to go on.
class StopWhenAsked : public TXprogress {
public:
  bool progressChanged() override {
    const double value = getProgressValue();
    const bool asked = calls++ > 0 && value == last;
    last = value;
    return !asked;
  }
  int calls = 0;
  double last = -1.0;
};

TEST(CodecProgress, AStopRequestEndsRenderingPartWay) {
  LibraryScope library;
  const TXcompressionParams settings[] = {Params(TXmodeQuality, TXwavelet97, TXcodecStandard, QualityTarget(45)),
                                          Params(TXmodeLossless, TXwavelet53)};
  for (const TXcompressionParams& compression : settings) {
    const TestImage image = MakeImage(300, 200, TXcolorRGB24, 5);
    std::string file;
    ASSERT_EQ(Encode(image, compression, file), TX_OK);
    std::istringstream stream(file);
    TXinputStream input(&stream);
    TestImage decoded;
    StopWhenAsked progress;
    EXPECT_EQ(DecodeFrom(input, decoded, &progress), TX_ERR_ABORTED) << compression.mode;
  }
}

TEST(CodecProgress, ReturningFalseStopsTheJob) {
  LibraryScope library;
  const TestImage image = MakeImage(200, 150, TXcolorGrey8, 3);
  RecordingProgress stopEncoding;
  stopEncoding.stopAfter = 3;
  std::string file;
  EXPECT_EQ(Encode(image, Params(TXmodeQuality, TXwavelet97, 1, QualityTarget(45)), file, &stopEncoding),
            TX_ERR_ABORTED);
  EXPECT_TRUE(file.empty());
  ASSERT_EQ(Encode(image, Params(TXmodeQuality, TXwavelet97, 1, QualityTarget(45)), file), TX_OK);
  RecordingProgress stopDecoding;
  stopDecoding.stopAfter = 3;
  std::istringstream stream(file);
  TXinputStream input(&stream);
  TestImage decoded;
  EXPECT_EQ(DecodeFrom(input, decoded, &stopDecoding), TX_ERR_ABORTED);
}

// Sets TAVIX_THREADS for the jobs made in its lifetime.
class ThreadsVariable {
public:
  explicit ThreadsVariable(const char* value) { setenv("TAVIX_THREADS", value, 1); }
  ~ThreadsVariable() { unsetenv("TAVIX_THREADS"); }
};

TEST(CodecThreads, TheThreadCountChangesNeitherBytesNorPixels) {
  LibraryScope library;
  struct Case {
    TestImage image;
    TXcompressionParams compression;
  };
  const Case cases[] = {
      {MakeImage(700, 500, TXcolorRGB24, 4), Params(TXmodeQuality, TXwavelet97, TXcodecStandard, QualityTarget(40))},
      {MakeImage(650, 420, TXcolorRGB24, 5), Params(TXmodeFileSize, TXwavelet1810, TXcodecFast, 30000)},
      {MakeImage(530, 610, TXcolorGrey8, 6), Params(TXmodeLossless, TXwavelet53)},
      {MakeImage(600, 400, TXcolorRGB48, 7), Params(TXmodeQuality, TXwaveletTS, TXcodecStandard, QualityTarget(30))},
  };
  for (const Case& c : cases) {
    std::string single, several;
    TestImage fromSingle, fromSeveral;
    {
      ThreadsVariable one("1");
      ASSERT_EQ(Encode(c.image, c.compression, single), TX_OK);
      ASSERT_EQ(Decode(single, fromSingle), TX_OK);
    }
    {
      ThreadsVariable four("4");
      ASSERT_EQ(Encode(c.image, c.compression, several), TX_OK);
      ASSERT_EQ(Decode(single, fromSeveral), TX_OK);
    }
    EXPECT_EQ(several, single) << c.image.width;
    EXPECT_EQ(fromSeveral.bytes, fromSingle.bytes) << c.image.width;
  }
}

TEST(CodecThreads, TwoJobsOnTwoThreadsMatchTheSingleThreadedResult) {
  LibraryScope library;
  const TestImage a = MakeImage(120, 90, TXcolorRGB24, 1);
  const TestImage b = MakeImage(90, 120, TXcolorGrey8, 2);
  std::string fileA, fileB;
  ASSERT_EQ(Encode(a, Params(TXmodeQuality, TXwavelet97, 1, QualityTarget(40)), fileA), TX_OK);
  ASSERT_EQ(Encode(b, Params(TXmodeFileSize, TXwavelet1810, 2, 2000), fileB), TX_OK);
  std::string threadA[4], threadB[4];
  int results[8] = {};
  TestImage decodedA[4], decodedB[4];
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      results[2 * t] = Encode(a, Params(TXmodeQuality, TXwavelet97, 1, QualityTarget(40)), threadA[t]);
      if (results[2 * t] == TX_OK) results[2 * t] = Decode(threadA[t], decodedA[t]);
    });
    threads.emplace_back([&, t] {
      results[2 * t + 1] = Encode(b, Params(TXmodeFileSize, TXwavelet1810, 2, 2000), threadB[t]);
      if (results[2 * t + 1] == TX_OK) results[2 * t + 1] = Decode(threadB[t], decodedB[t]);
    });
  }
  for (auto& t : threads) t.join();
  TestImage referenceA, referenceB;
  ASSERT_EQ(Decode(fileA, referenceA), TX_OK);
  ASSERT_EQ(Decode(fileB, referenceB), TX_OK);
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(results[2 * t], TX_OK);
    EXPECT_EQ(results[2 * t + 1], TX_OK);
    EXPECT_EQ(threadA[t], fileA);
    EXPECT_EQ(threadB[t], fileB);
    EXPECT_TRUE(SamePixels(decodedA[t], referenceA));
    EXPECT_TRUE(SamePixels(decodedB[t], referenceB));
  }
}
