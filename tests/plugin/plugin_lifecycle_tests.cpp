// The browser's window coming and going while data arrive, and destroying
// an instance in the middle of a large progressive image.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "plugin/plugin_test_helpers.h"

namespace {

using namespace plugin_test;

class PluginLifecycleTest : public PluginHostTest {
protected:
  // Opens a stream on `instance` as the browser would, without the host's
  // delivery loop, so the test decides what happens between writes.
  void Open(CHostInstance& instance, const std::vector<uint8_t>& bytes) {
    stream = NPStream{};
    stream.url = kUrl;
    stream.end = static_cast<uint32>(bytes.size());
    uint16 type = NP_NORMAL;
    ASSERT_EQ(host.Plugin().newstream(instance.Npp(), const_cast<char*>("image/x-tavix"), &stream, false, &type),
              NPERR_NO_ERROR);
  }
  void Write(CHostInstance& instance, const std::vector<uint8_t>& bytes, size_t begin, size_t end,
             size_t chunk, CHeadlessWindow* pump) {
    for (size_t offset = begin; offset < end; offset += chunk) {
      const size_t n = std::min(chunk, end - offset);
      std::vector<uint8_t> part(bytes.begin() + static_cast<long>(offset),
                                bytes.begin() + static_cast<long>(offset + n));
      ASSERT_EQ(host.Plugin().write(instance.Npp(), &stream, static_cast<int32>(offset), static_cast<int32>(n),
                                    part.data()),
                static_cast<int32>(n));
      if (pump) pump->DispatchPosted();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  NPStream stream{};
};

// The browser clears the window and frees it while the image still arrives,
// then hands over a new one: the full page moves to the new window and
// nothing reaches the freed one (AddressSanitizer watches the latter).
TEST_F(PluginLifecycleTest, FullPageFollowsTheBrowserWindowThroughAClearAndFree) {
  const auto bytes = CompressToSize(MakePicture(180, 120, TXcolorRGB24), 30000);
  ASSERT_GT(bytes.size(), 20000u);
  auto instance = host.CreateInstance(NP_FULL, {}, 200, 150);
  ASSERT_EQ(instance->New(), NPERR_NO_ERROR);
  auto first = instance->Desktop().CreateWindow(200, 150);
  ASSERT_EQ(instance->SetWindow(first.get()), NPERR_NO_ERROR);
  ASSERT_EQ(first->Children().size(), 1u);
  Open(*instance, bytes);
  Write(*instance, bytes, 0, 8000, 500, first.get());

  ASSERT_EQ(instance->SetWindow(nullptr), NPERR_NO_ERROR);
  EXPECT_TRUE(first->Children().empty());
  first.reset();
  Write(*instance, bytes, 8000, 16000, 500, nullptr);

  auto second = instance->Desktop().CreateWindow(240, 160);
  ASSERT_EQ(instance->SetWindow(second.get()), NPERR_NO_ERROR);
  ASSERT_EQ(second->Children().size(), 1u);
  Write(*instance, bytes, 16000, bytes.size(), 2000, second.get());
  host.Plugin().destroystream(instance->Npp(), &stream, NPRES_DONE);
  ASSERT_TRUE(instance->WaitForDecodeEnded());
  second->DispatchPosted();
  const Decoded decoded = DecodeDirectly(bytes);
  EXPECT_EQ(CanvasRegion(*second->Children().front(), 180, 120), ExpectedRgb(decoded));

  ASSERT_EQ(instance->SetWindow(nullptr), NPERR_NO_ERROR);
  second.reset();
  EXPECT_EQ(instance->Destroy(), NPERR_NO_ERROR);
}

// Destroying an instance while a large image is being decoded and previewed;
// the time NPP_Destroy takes is printed for each moment it is called.
TEST_F(PluginLifecycleTest, DestroyDuringALargeProgressiveImage) {
  const auto bytes = CompressToSize(MakePicture(4000, 3000, TXcolorRGB24), 1200000);
  ASSERT_GT(bytes.size(), 1000000u);
  for (const int delayMs : {50, 300, 900}) {
    auto instance = Embed({}, 320, 240);
    Open(*instance, bytes);
    Write(*instance, bytes, 0, bytes.size() / 2, 60000, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(instance->Destroy(), NPERR_NO_ERROR);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("NPP_Destroy %d ms after half of a 4000 x 3000 stream: %.1f ms\n", delayMs, ms);
    // The thread has ended: nothing is posted any more.
    const int postedAfter = instance->Window().PostedPaints();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(instance->Window().PostedPaints(), postedAfter);
  }
}

}  // namespace
