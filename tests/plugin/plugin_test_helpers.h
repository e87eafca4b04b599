// Shared fixtures of the plug-in tests: .tvx files made through the codec,
// and a host with the plug-in library loaded.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/TavixLib.h"
#include "plugin/host/ScriptedHost.h"

namespace plugin_test {

struct TestImage {
  int width = 0;
  int height = 0;
  int colorType = TXcolorRGB24;
  std::vector<uint8_t> pixels;  // top-down, as the codec takes them
  long RowBytes() const;
};

// A textured test picture (gradients, rings and edges) of any colour type;
// 16-bit samples span `low`..`high`.
TestImage MakePicture(int width, int height, int colorType, int low = -1000, int high = 1000);
// Every sample the same value.
TestImage MakeFlatPicture(int width, int height, int colorType, int value);

// Compresses through the codec's public interface; empty on failure.
std::vector<uint8_t> Compress(const TestImage& image, const TXcompressionParams& params);
std::vector<uint8_t> CompressToSize(const TestImage& image, int32_t bytes);
std::vector<uint8_t> CompressLossless(const TestImage& image);

struct Decoded {
  int result = -1;
  int width = 0;
  int height = 0;
  int colorType = 0;
  std::vector<uint8_t> pixels;
};
// Decodes a whole file in one job, as the plug-in's reference.
Decoded DecodeDirectly(const std::vector<uint8_t>& bytes);

// The decoded pixels as the plug-in should show them: R, G, B per pixel.
std::vector<uint8_t> ExpectedRgb(const Decoded& decoded);
// The top-left width x height region of a window's canvas as R, G, B.
std::vector<uint8_t> CanvasRegion(const CHeadlessWindow& window, int width, int height);

inline constexpr const char* kUrl = "http://example.org/images/pic.large.tvx";

class PluginHostTest : public ::testing::Test {
protected:
  void SetUp() override;
  std::unique_ptr<CHostInstance> Embed(std::vector<std::pair<std::string, std::string>> attributes = {},
                                       int width = 320, int height = 240, bool paletteDevice = false);
  std::unique_ptr<CHostInstance> FullPage(std::vector<std::pair<std::string, std::string>> attributes = {},
                                          int width = 320, int height = 240);
  std::string TempPath(const std::string& name) const;

  CScriptedHost host;
  std::string tempDir;
};

// The texts of a recorded menu's items, separators as "-".
std::vector<std::string> MenuTexts(const RecordedMenu& menu);
const MenuItem* FindItem(const RecordedMenu& menu, UINT id);

std::vector<uint8_t> ReadFile(const std::string& path);

}  // namespace plugin_test
