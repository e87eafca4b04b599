#include "plugin/plugin_test_helpers.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace plugin_test {

namespace {

int Planes(int colorType) { return colorType == TXcolorRGB24 || colorType == TXcolorRGB48 ? 3 : 1; }
int BytesPerSample(int colorType) { return colorType == TXcolorGrey16 || colorType == TXcolorRGB48 ? 2 : 1; }

void PutSample(uint8_t* at, int colorType, int value) {
  if (BytesPerSample(colorType) == 1) {
    *at = static_cast<uint8_t>(std::clamp(value, 0, 255));
  } else if (colorType == TXcolorGrey16) {
    const int16_t v = static_cast<int16_t>(std::clamp(value, -32767, 32767));
    std::memcpy(at, &v, 2);
  } else {
    const uint16_t v = static_cast<uint16_t>(std::clamp(value, 0, 65535));
    std::memcpy(at, &v, 2);
  }
}

}  // namespace

long TestImage::RowBytes() const { return static_cast<long>(width) * Planes(colorType) * BytesPerSample(colorType); }

TestImage MakePicture(int width, int height, int colorType, int low, int high) {
  TestImage image{width, height, colorType, {}};
  image.pixels.resize(static_cast<size_t>(image.RowBytes()) * height);
  const bool wide = BytesPerSample(colorType) == 2;
  const int lo = wide ? (colorType == TXcolorGrey16 ? low : 0) : 0;
  const int hi = wide ? (colorType == TXcolorGrey16 ? high : 65535) : 255;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double ring = 0.5 + 0.5 * std::sin(std::hypot(x - width / 2.0, y - height / 3.0) / 6.0);
      const double ramp = static_cast<double>(x) / std::max(width - 1, 1);
      const double edge = ((x / 16 + y / 16) % 2) ? 0.8 : 0.2;
      const double values[3] = {0.6 * ring + 0.4 * ramp, 0.5 * edge + 0.5 * ring,
                                static_cast<double>(y) / std::max(height - 1, 1)};
      for (int c = 0; c < Planes(colorType); ++c) {
        uint8_t* at = image.pixels.data() + static_cast<size_t>(y) * image.RowBytes() +
                      (static_cast<size_t>(x) * Planes(colorType) + c) * BytesPerSample(colorType);
        PutSample(at, colorType, lo + static_cast<int>(std::lround(values[c] * (hi - lo))));
      }
    }
  }
  return image;
}

TestImage MakeFlatPicture(int width, int height, int colorType, int value) {
  TestImage image{width, height, colorType, {}};
  image.pixels.resize(static_cast<size_t>(image.RowBytes()) * height);
  const int samples = width * Planes(colorType);
  for (int y = 0; y < height; ++y)
    for (int s = 0; s < samples; ++s)
      PutSample(image.pixels.data() + static_cast<size_t>(y) * image.RowBytes() + s * BytesPerSample(colorType),
                colorType, value);
  return image;
}

std::vector<uint8_t> Compress(const TestImage& image, const TXcompressionParams& params) {
  std::ostringstream out;
  if (TXinit(4, nullptr) != 0) return {};
  TXjob* job = nullptr;
  TXimageParams header;
  header.width = static_cast<uint16_t>(image.width);
  header.height = static_cast<uint16_t>(image.height);
  header.colorType = static_cast<int16_t>(image.colorType);
  bool ok = TXcompressionJob(job, out) == 0 && TXwriteHeader(job, header, params) == 0 &&
            TXwriteImage(job, image.pixels.data(), image.RowBytes(), 0, nullptr) == 0;
  if (job) ok = TXendJob(job) == 0 && ok;
  TXterminate();
  if (!ok) return {};
  const std::string bytes = out.str();
  return {bytes.begin(), bytes.end()};
}

std::vector<uint8_t> CompressToSize(const TestImage& image, int32_t bytes) {
  TXcompressionParams params;
  params.mode = TXmodeFileSize;
  params.target = bytes;
  return Compress(image, params);
}

std::vector<uint8_t> CompressLossless(const TestImage& image) {
  TXcompressionParams params;
  params.mode = TXmodeLossless;
  params.waveletType = TXwaveletSP;
  params.target = 0;
  params.auxLong = 4000;
  return Compress(image, params);
}

Decoded DecodeDirectly(const std::vector<uint8_t>& bytes) {
  Decoded decoded;
  std::istringstream source(std::string(bytes.begin(), bytes.end()));
  if (TXinit(4, nullptr) != 0) return decoded;
  TXinputStream input(&source);
  TXjob* job = nullptr;
  TXimageParams* image = nullptr;
  TXcompressionParams* compression = nullptr;
  decoded.result = TXdecompressionJob(job, input);
  if (decoded.result == 0) decoded.result = TXreadHeader(job, image, compression);
  if (decoded.result == 0) {
    decoded.width = image->width;
    decoded.height = image->height;
    decoded.colorType = image->colorType;
    const long rowBytes = static_cast<long>(decoded.width) * Planes(decoded.colorType) *
                          BytesPerSample(decoded.colorType);
    decoded.pixels.resize(static_cast<size_t>(rowBytes) * decoded.height);
    decoded.result = TXreadImage(job, decoded.pixels.data(), rowBytes, 0, nullptr);
  }
  if (job) TXendJob(job);
  if (image || compression) TXdisposeParams(image, compression);
  TXterminate();
  return decoded;
}

std::vector<uint8_t> ExpectedRgb(const Decoded& d) {
  const int planes = Planes(d.colorType);
  const int bps = BytesPerSample(d.colorType);
  std::vector<uint8_t> rgb;
  rgb.reserve(static_cast<size_t>(d.width) * d.height * 3);
  int minimum = 32767, maximum = -32767;
  if (d.colorType == TXcolorGrey16) {
    for (size_t i = 0; i + 1 < d.pixels.size(); i += 2) {
      int16_t v;
      std::memcpy(&v, &d.pixels[i], 2);
      minimum = std::min<int>(minimum, v);
      maximum = std::max<int>(maximum, v);
    }
  }
  for (int i = 0; i < d.width * d.height; ++i) {
    for (int c = 0; c < 3; ++c) {
      const uint8_t* s = d.pixels.data() + (static_cast<size_t>(i) * planes + (planes == 3 ? c : 0)) * bps;
      uint8_t out;
      if (bps == 1) {
        out = *s;
      } else if (d.colorType == TXcolorGrey16) {
        int16_t v;
        std::memcpy(&v, s, 2);
        out = maximum > minimum
                  ? static_cast<uint8_t>(static_cast<double>(v - minimum) * (255.0f / static_cast<float>(maximum - minimum)))
                  : 128;
      } else {
        uint16_t v;
        std::memcpy(&v, s, 2);
        out = static_cast<uint8_t>(v >> 8);
      }
      rgb.push_back(out);
    }
  }
  return rgb;
}

std::vector<uint8_t> CanvasRegion(const CHeadlessWindow& window, int width, int height) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t p = window.Canvas().Pixel(x, y);
      rgb.push_back(static_cast<uint8_t>(p >> 16));
      rgb.push_back(static_cast<uint8_t>(p >> 8));
      rgb.push_back(static_cast<uint8_t>(p));
    }
  return rgb;
}

void PluginHostTest::SetUp() {
  std::string error;
  ASSERT_TRUE(host.Load(NPTAVIX_LIBRARY_PATH, error)) << error;
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  tempDir = (std::filesystem::temp_directory_path() /
             ("nptavix-" + std::to_string(getpid()) + "-" + info->test_suite_name() + "-" + info->name()))
                .string();
  std::filesystem::remove_all(tempDir);
  std::filesystem::create_directories(tempDir);
}

std::unique_ptr<CHostInstance> PluginHostTest::Embed(std::vector<std::pair<std::string, std::string>> attributes,
                                                     int width, int height, bool paletteDevice) {
  auto instance = host.CreateInstance(NP_EMBED, std::move(attributes), width, height, paletteDevice);
  EXPECT_EQ(instance->New(), NPERR_NO_ERROR);
  EXPECT_EQ(instance->SetWindow(), NPERR_NO_ERROR);
  return instance;
}

std::unique_ptr<CHostInstance> PluginHostTest::FullPage(std::vector<std::pair<std::string, std::string>> attributes,
                                                        int width, int height) {
  auto instance = host.CreateInstance(NP_FULL, std::move(attributes), width, height);
  EXPECT_EQ(instance->New(), NPERR_NO_ERROR);
  EXPECT_EQ(instance->SetWindow(), NPERR_NO_ERROR);
  return instance;
}

std::string PluginHostTest::TempPath(const std::string& name) const {
  return (std::filesystem::path(tempDir) / name).string();
}

std::vector<std::string> MenuTexts(const RecordedMenu& menu) {
  std::vector<std::string> texts;
  for (const MenuItem& item : menu.items) texts.push_back(item.flags & MF_SEPARATOR ? "-" : item.text);
  return texts;
}

const MenuItem* FindItem(const RecordedMenu& menu, UINT id) {
  for (const MenuItem& item : menu.items)
    if (item.id == id && !(item.flags & MF_SEPARATOR)) return &item;
  return nullptr;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace plugin_test
