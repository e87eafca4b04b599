#include "plugin/ShowImage.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "plugin/DecoderState.h"
#include "plugin/PluginInstance.h"

namespace {

int16_t Sample16(const uint8_t* p) {
  int16_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

uint8_t HighByte16(const uint8_t* p) {
  uint16_t value;
  std::memcpy(&value, p, sizeof value);
  return static_cast<uint8_t>(value >> 8);
}

bool ValidGeometry(const PixelGeometry& g, const uint8_t* source) {
  if (!source || g.width <= 0 || g.height <= 0) return false;
  if (g.planes != 1 && g.planes != 3) return false;
  if (g.bytesPerSample != 1 && g.bytesPerSample != 2) return false;
  return g.rowBytes >= static_cast<long>(g.width) * g.planes * g.bytesPerSample;
}

// Maps signed 16-bit grey samples onto 0..255: (sample - min) times the
// float factor 255 / (max - min), the product taken in double precision and
// truncated, so the factor's rounding shows (a span of 200 maps its top to
// 254). A flat image shows mid-grey.
void ScaleGrey16(const PixelGeometry& g, const uint8_t* source, uint8_t* out, int outStep) {
  int minimum = 32767;
  int maximum = -32767;
  for (int y = 0; y < g.height; ++y) {
    const uint8_t* row = source + static_cast<size_t>(y) * g.rowBytes;
    for (int x = 0; x < g.width; ++x) {
      const int v = Sample16(row + 2 * x);
      minimum = std::min(minimum, v);
      maximum = std::max(maximum, v);
    }
  }
  const bool flat = maximum <= minimum;
  const float factor = flat ? 0.0f : 255.0f / static_cast<float>(maximum - minimum);
  for (int y = 0; y < g.height; ++y) {
    const uint8_t* row = source + static_cast<size_t>(y) * g.rowBytes;
    for (int x = 0; x < g.width; ++x) {
      const int v = Sample16(row + 2 * x);
      const int scaled = flat ? 128 : static_cast<int>(static_cast<double>(v - minimum) * factor);
      const uint8_t byte = static_cast<uint8_t>(std::clamp(scaled, 0, 255));
      for (int c = 0; c < outStep; ++c) *out++ = byte;
    }
  }
}

// Copies 8-bit samples or the high bytes of 16-bit colour samples.
void CopySamples(const PixelGeometry& g, const uint8_t* source, uint8_t* out, int outStep) {
  for (int y = 0; y < g.height; ++y) {
    const uint8_t* row = source + static_cast<size_t>(y) * g.rowBytes;
    for (int x = 0; x < g.width; ++x) {
      for (int c = 0; c < outStep; ++c) {
        const int plane = g.planes == 3 ? c : 0;
        const uint8_t* sample = row + (static_cast<size_t>(x) * g.planes + plane) * g.bytesPerSample;
        *out++ = g.bytesPerSample == 2 ? HighByte16(sample) : *sample;
      }
    }
  }
}

std::unique_ptr<uint8_t[]> Convert(const PixelGeometry& g, const uint8_t* source, int outStep) {
  if (!ValidGeometry(g, source)) return nullptr;
  const size_t size = static_cast<size_t>(g.width) * g.height * outStep;
  std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[size]);  // every byte is written below
  if (!out) return nullptr;
  if (g.planes == 1 && g.bytesPerSample == 2)
    ScaleGrey16(g, source, out.get(), outStep);
  else
    CopySamples(g, source, out.get(), outStep);
  return out;
}

// A large image takes a while to convert; once the instance is being
// destroyed the work is dropped between steps.
bool Stopping(const PluginInstance& instance) { return instance.decoder && instance.decoder->abort; }

}  // namespace

std::unique_ptr<uint8_t[]> ConvertToRgb(const PixelGeometry& g, const uint8_t* source) {
  return Convert(g, source, 3);
}

std::unique_ptr<uint8_t[]> ConvertToBytes(const PixelGeometry& g, const uint8_t* source) {
  return Convert(g, source, g.planes);
}

void ShowImage(PluginInstance& instance, const PixelGeometry& geometry, const uint8_t* source) {
  std::unique_ptr<CDisplayDib> display(new (std::nothrow) CDisplayDib);
  if (!display) return;
  std::unique_ptr<uint8_t[]> rgb = ConvertToRgb(geometry, source);
  if (!rgb || Stopping(instance)) return;
  std::shared_ptr<const CColorQuantizer> quantizer;
  {
    std::lock_guard<std::mutex> guard(instance.windowLock);
    quantizer = instance.quantizer;
  }
  display->SetImage(std::move(rgb), geometry.width, geometry.height);
  if (quantizer && (!display->Dither(quantizer.get()) || Stopping(instance))) return;
  if (!display->BuildBits() || Stopping(instance)) return;
  instance.ReplaceDisplay(std::move(display));

  std::lock_guard<std::mutex> guard(instance.windowLock);
  if (instance.fullWindow) {
    instance.fullWindow->InvalidateRect(nullptr, false);
    instance.fullWindow->PostMessage(kMessageImageChanged, 0, 0);
    instance.fullWindow->PostMessage(WM_PAINT, 0, 0);
  } else if (instance.hwnd) {
    instance.hwnd->InvalidateRect(nullptr, false);
    instance.hwnd->PostMessage(WM_PAINT, 0, 0);
  }
}
