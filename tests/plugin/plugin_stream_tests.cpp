// Streams through the plug-in: progressive previews, the byte limit with
// "Improve...", refused and odd streams, and stopping while the decoder waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "plugin/ContextMenu.h"
#include "plugin/plugin_test_helpers.h"

namespace {

using namespace plugin_test;

class PluginStreamTest : public PluginHostTest {
protected:
  static void SetUpTestSuite() {
    colour = new std::vector<uint8_t>(CompressToSize(MakePicture(256, 200, TXcolorRGB24), 50000));
  }
  static void TearDownTestSuite() {
    delete colour;
    colour = nullptr;
  }
  void SetUp() override {
    PluginHostTest::SetUp();
    ASSERT_GT(colour->size(), 40000u);
    host.Serve(kUrl, *colour);
  }
  // The transfer line of the menu, e.g. "  2000 of 50000 Byte transfered".
  static std::string TransferLine(const RecordedMenu& menu) {
    const auto texts = MenuTexts(menu);
    auto it = std::find(texts.begin(), texts.end(), "Transfer Status:");
    return it != texts.end() && it + 1 != texts.end() ? *(it + 1) : "";
  }
  static std::string Transferred(size_t received, size_t whole) {
    return "  " + std::to_string(received) + " of " + std::to_string(whole) + " Byte transfered";
  }
  static bool ShowsImage(CHostInstance& instance, const std::vector<uint8_t>& bytes) {
    const Decoded decoded = DecodeDirectly(bytes);
    return decoded.result == 0 &&
           CanvasRegion(instance.DrawingWindow(), decoded.width, decoded.height) == ExpectedRgb(decoded);
  }
  static double MeanDifferenceFrom(CHostInstance& instance, const std::vector<uint8_t>& bytes) {
    const Decoded decoded = DecodeDirectly(bytes);
    if (decoded.result != 0) return 1e9;
    const auto shown = CanvasRegion(instance.DrawingWindow(), decoded.width, decoded.height);
    const auto want = ExpectedRgb(decoded);
    double sum = 0;
    for (size_t i = 0; i < want.size(); ++i) sum += std::abs(int{shown[i]} - int{want[i]});
    return sum / static_cast<double>(want.size());
  }
  static std::vector<uint8_t>* colour;
};

std::vector<uint8_t>* PluginStreamTest::colour = nullptr;

TEST_F(PluginStreamTest, WholeStreamShowsPreviewsThenTheDecodedImage) {
  auto instance = Embed({}, 300, 220);
  instance->RecordSnapshots(true);
  // Slow enough that even a decoder slowed down by a sanitizer keeps up;
  // previews are skipped only while their bytes are already there.
  StreamOptions slowerThanTheDecoder;
  slowerThanTheDecoder.pace = std::chrono::milliseconds(25);
  StreamRecord& stream = instance->Deliver(kUrl, slowerThanTheDecoder);
  EXPECT_EQ(stream.streamType, NP_NORMAL);
  EXPECT_FALSE(stream.stoppedByPlugin);
  EXPECT_EQ(stream.BytesAccepted(), colour->size());
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  EXPECT_GT(instance->PreviewPaintsPosted(), 1);
  EXPECT_GT(instance->Snapshots().size(), 2u);  // blank window, previews, final
  EXPECT_TRUE(ShowsImage(*instance, *colour));
  // Beyond the image the window keeps its background.
  EXPECT_EQ(instance->Window().Canvas().Pixel(280, 210), 0xFFFFFFu);
}

TEST_F(PluginStreamTest, PreviewsAreSkippedWhileTheirBytesAreAlreadyThere) {
  // The whole file arrives before the decoder starts: previews would only
  // delay the final image.
  auto instance = Embed({}, 300, 220);
  StreamOptions options;
  options.chunkSize = colour->size();
  options.honourWriteReady = false;
  instance->Deliver(kUrl, options);
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  EXPECT_EQ(instance->PreviewPaintsPosted(), 1);
  EXPECT_TRUE(ShowsImage(*instance, *colour));
}

TEST_F(PluginStreamTest, WithoutProgressiveOnlyTheFinalImageIsShown) {
  auto instance = Embed({{"progressive", "FALSE"}});
  instance->Deliver(kUrl);
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  EXPECT_EQ(instance->PreviewPaintsPosted(), 1);
  EXPECT_TRUE(ShowsImage(*instance, *colour));
}

TEST_F(PluginStreamTest, LimitStopsWithTheCrossingChunkAndImproveFetchesTheRest) {
  auto instance = Embed({{"limit", "2000"}});
  StreamOptions options;
  options.chunkSize = 1500;
  options.honourWriteReady = false;
  StreamRecord& first = instance->Deliver(kUrl, options);
  ASSERT_EQ(first.writes.size(), 2u);
  EXPECT_EQ(first.writes[0].result, 1500);
  EXPECT_EQ(first.writes[1].result, -1);  // the chunk crossing 2000 is kept, the stream stops
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  EXPECT_GE(instance->PreviewPaintsPosted(), 1);
  // The preview at the limit renders the 3000 bytes as the codec's preview
  // does, which may differ from a full decode of them by a rounding step.
  EXPECT_LT(MeanDifferenceFrom(*instance, std::vector<uint8_t>(colour->begin(), colour->begin() + 3000)), 1.0);

  const RecordedMenu* paused = instance->RightClick(5, 5, ID_IMPROVE);
  ASSERT_NE(paused, nullptr);
  EXPECT_EQ(TransferLine(*paused), Transferred(3000, colour->size()));
  ASSERT_NE(FindItem(*paused, ID_IMPROVE), nullptr);
  EXPECT_EQ(paused->chosen, ID_IMPROVE);
  ASSERT_EQ(instance->getUrlCalls.size(), 1u);
  EXPECT_EQ(instance->getUrlCalls[0], (std::pair<std::string, std::string>{kUrl, ""}));

  instance->ProcessRequests();
  ASSERT_EQ(instance->streams.size(), 2u);
  EXPECT_EQ(instance->streams[1]->streamType, NP_SEEK);
  ASSERT_EQ(instance->rangeRequests.size(), 1u);
  EXPECT_EQ(instance->rangeRequests[0], (std::pair<int32, uint32>{3000, static_cast<uint32>(colour->size() - 3000)}));
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  EXPECT_TRUE(ShowsImage(*instance, *colour));

  const RecordedMenu* done = instance->RightClick(5, 5);
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(FindItem(*done, ID_IMPROVE), nullptr);
  EXPECT_EQ(TransferLine(*done), Transferred(colour->size(), colour->size()));
  EXPECT_EQ(FindItem(*done, ID_SAVE_IMAGE)->flags & MF_GRAYED, 0u);
}

TEST_F(PluginStreamTest, LimitsThatCannotApplyAreDropped) {
  struct Case {
    const char* limit;
    bool seekable;
  } cases[] = {{"-5", true}, {"junk", true}, {"50000000", true}, {"2000", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.limit) + (c.seekable ? " seekable" : " not seekable"));
    auto instance = Embed({{"limit", c.limit}});
    StreamOptions options;
    options.seekable = c.seekable;
    StreamRecord& stream = instance->Deliver(kUrl, options);
    EXPECT_FALSE(stream.stoppedByPlugin);
    EXPECT_EQ(stream.BytesAccepted(), colour->size());
    ASSERT_TRUE(instance->WaitForDecodeEnded());
    EXPECT_TRUE(ShowsImage(*instance, *colour));
    const RecordedMenu* menu = instance->RightClick(1, 1);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(FindItem(*menu, ID_IMPROVE), nullptr);
  }
}

TEST_F(PluginStreamTest, LimitAtTheFileLengthIsNoLimit) {
  auto instance = Embed({{"limit", std::to_string(colour->size())}});
  StreamRecord& stream = instance->Deliver(kUrl);
  EXPECT_FALSE(stream.stoppedByPlugin);
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  EXPECT_TRUE(ShowsImage(*instance, *colour));
}

TEST_F(PluginStreamTest, DestroyWhileTheDecoderWaitsEndsTheThread) {
  {
    auto instance = Embed();
    StreamOptions options;
    options.stallAfter = 3000;  // the stream stays open and silent
    StreamRecord& stream = instance->Deliver(kUrl, options);
    EXPECT_FALSE(stream.destroyed);
    EXPECT_FALSE(instance->WaitForDecodeEnded(std::chrono::milliseconds(200)));
    EXPECT_EQ(instance->RightClick(1, 1), nullptr);  // no menu while decoding runs
    EXPECT_EQ(instance->Destroy(), NPERR_NO_ERROR);
  }
  {
    auto instance = Embed({{"limit", "2000"}});
    instance->Deliver(kUrl);
    ASSERT_TRUE(instance->WaitForDecodeEnded());  // paused at the limit
    EXPECT_EQ(instance->Destroy(), NPERR_NO_ERROR);
  }
  {
    auto instance = Embed({{"limit", "2000"}});
    instance->Deliver(kUrl);
    ASSERT_TRUE(instance->WaitForDecodeEnded());
    instance->RightClick(1, 1, ID_IMPROVE);
    EXPECT_EQ(instance->Destroy(), NPERR_NO_ERROR);  // the range was asked for but never came
  }
}

TEST_F(PluginStreamTest, WriteBeyondTheBufferCapIsRefusedAndLosesNothing) {
  auto instance = Embed();
  StreamOptions options;
  options.stallAfter = 3000;
  instance->Deliver(kUrl, options);
  const NPPluginFuncs& plugin = host.Plugin();
  uint8_t small[16] = {};
  // Announces far more bytes than the instance keeps; refused before any is read.
  EXPECT_EQ(plugin.write(instance->Npp(), nullptr, 3000, INT32_MAX, small), -1);
  EXPECT_EQ(plugin.write(instance->Npp(), nullptr, 3000, -4, small), -1);
  std::vector<uint8_t> rest(colour->begin() + 3000, colour->end());
  EXPECT_EQ(plugin.write(instance->Npp(), nullptr, 3000, static_cast<int32>(rest.size()), rest.data()),
            static_cast<int32>(rest.size()));
  EXPECT_EQ(plugin.destroystream(instance->Npp(), nullptr, NPRES_DONE), NPERR_NO_ERROR);
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  EXPECT_TRUE(ShowsImage(*instance, *colour));
}

TEST_F(PluginStreamTest, StreamLongerThanAnnouncedIsTakenWhole) {
  auto instance = Embed();
  StreamOptions options;
  options.announcedLength = 20000;
  StreamRecord& stream = instance->Deliver(kUrl, options);
  EXPECT_EQ(stream.BytesAccepted(), colour->size());
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  EXPECT_TRUE(ShowsImage(*instance, *colour));
}

TEST_F(PluginStreamTest, OverlappingRangeAnswerSkipsWhatArrivedBefore) {
  auto instance = Embed({{"limit", "2000"}});
  StreamOptions options;
  options.chunkSize = 1000;
  instance->Deliver(kUrl, options);
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  instance->RightClick(1, 1, ID_IMPROVE);
  options.rangeShift = -700;
  instance->ProcessRequests(options);
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  EXPECT_TRUE(ShowsImage(*instance, *colour));
  EXPECT_EQ(TransferLine(*instance->RightClick(1, 1)), Transferred(colour->size(), colour->size()));
}

TEST_F(PluginStreamTest, RangeAnswerWithAGapIsRefusedAndNothingIsCorrupted) {
  auto instance = Embed({{"limit", "2000"}});
  StreamOptions options;
  options.chunkSize = 1000;
  instance->Deliver(kUrl, options);
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  instance->RightClick(1, 1, ID_IMPROVE);
  options.rangeShift = 500;
  instance->ProcessRequests(options);
  ASSERT_EQ(instance->streams.size(), 2u);
  ASSERT_FALSE(instance->streams[1]->writes.empty());
  EXPECT_EQ(instance->streams[1]->writes[0].result, -1);
  // The stream ended, so the decoder finishes with the 2000 good bytes.
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  EXPECT_TRUE(ShowsImage(*instance, std::vector<uint8_t>(colour->begin(), colour->begin() + 2000)));
  EXPECT_EQ(TransferLine(*instance->RightClick(1, 1)), Transferred(2000, 2000));
}

TEST_F(PluginStreamTest, StreamEndingBeforeTheLimitIsTheEnd) {
  std::vector<uint8_t> shortFile(colour->begin(), colour->begin() + 1500);
  host.Serve("http://example.org/short.tvx", shortFile);
  auto instance = Embed({{"limit", "2000"}});
  StreamOptions options;
  options.announcedLength = static_cast<int64_t>(colour->size());
  instance->Deliver("http://example.org/short.tvx", options);
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  EXPECT_TRUE(ShowsImage(*instance, shortFile));
}

TEST_F(PluginStreamTest, CorruptHeaderPaintsGreyAndOffersNoSaving) {
  std::vector<uint8_t> corrupt = *colour;
  corrupt[8] ^= 0x5A;
  ASSERT_EQ(DecodeDirectly(corrupt).result, TX_ERR_CORRUPT);
  host.Serve("http://example.org/corrupt.tvx", corrupt);
  auto instance = Embed({}, 120, 90);
  StreamRecord& stream = instance->Deliver("http://example.org/corrupt.tvx");
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  instance->Pump();
  EXPECT_EQ(instance->Window().Canvas().Pixel(0, 0), RGB(215, 215, 215));
  EXPECT_EQ(instance->Window().Canvas().Pixel(119, 89), RGB(215, 215, 215));
  const RecordedMenu* menu = instance->RightClick(1, 1, ID_SAVE_IMAGE);
  ASSERT_NE(menu, nullptr);
  EXPECT_NE(FindItem(*menu, ID_SAVE_IMAGE)->flags & MF_GRAYED, 0u);
  EXPECT_EQ(menu->chosen, 0u);
  EXPECT_TRUE(instance->Desktop().saveDialogs.empty());
  // Further writes are refused.
  EXPECT_EQ(host.Plugin().write(instance->Npp(), nullptr, static_cast<int32>(stream.BytesAccepted()), 3,
                                const_cast<char*>("abc")),
            -1);
}

TEST_F(PluginStreamTest, NotATavixFileShowsNothing) {
  host.Serve("http://example.org/text.tvx", std::vector<uint8_t>(5000, 'x'));
  auto instance = Embed({}, 60, 40);
  instance->Deliver("http://example.org/text.tvx");
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  EXPECT_EQ(instance->Window().Canvas().Pixel(10, 10), 0xFFFFFFu);
  const RecordedMenu* menu = instance->RightClick(1, 1);
  ASSERT_NE(menu, nullptr);
  EXPECT_NE(FindItem(*menu, ID_SAVE_IMAGE)->flags & MF_GRAYED, 0u);
}

TEST_F(PluginStreamTest, CallsInAnyOrderAreSafe) {
  {
    // Data before any window: the image shows once the window comes.
    auto instance = host.CreateInstance(NP_EMBED, {}, 300, 220);
    ASSERT_EQ(instance->New(), NPERR_NO_ERROR);
    instance->Deliver(kUrl);
    ASSERT_TRUE(instance->WaitForDecodeEnded());
    ASSERT_EQ(instance->SetWindow(), NPERR_NO_ERROR);
    EXPECT_TRUE(ShowsImage(*instance, *colour));
  }
  {
    // The window is taken away while decoding, then destroyed with no stream end.
    auto instance = Embed();
    StreamOptions options;
    options.stallAfter = 20000;
    instance->Deliver(kUrl, options);
    ASSERT_EQ(instance->SetWindow(nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(instance->Window().WindowProc(), nullptr);
    EXPECT_EQ(instance->Destroy(), NPERR_NO_ERROR);
  }
  {
    auto instance = FullPage();
    EXPECT_EQ(instance->Destroy(), NPERR_NO_ERROR);  // never streamed
  }
}

TEST_F(PluginStreamTest, ManyInstancesDecodeAtOnce) {
  std::vector<std::unique_ptr<CHostInstance>> instances;
  for (int i = 0; i < 4; ++i) instances.push_back(Embed({{"progressive", i % 2 ? "true" : "false"}}));
  StreamOptions options;
  options.chunkSize = 4000;
  for (auto& instance : instances) instance->Deliver(kUrl, options);
  for (auto& instance : instances) {
    ASSERT_TRUE(instance->WaitForDecodeEnded());
    EXPECT_TRUE(ShowsImage(*instance, *colour));
  }
}

}  // namespace
