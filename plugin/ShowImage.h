// Turns the codec's pixels (a preview or the final image) into the bitmap
// the plug-in paints, and tells the window.
#pragma once

#include <cstdint>
#include <memory>

struct PluginInstance;

struct PixelGeometry {
  int width = 0;
  int height = 0;
  int planes = 1;          // 1 grey or 3 colour
  int bytesPerSample = 1;  // 1, or 2 for 16-bit grey and 48-bit colour
  long rowBytes = 0;       // distance between source rows
};

// Converts width x height source pixels to top-down R, G, B triples:
//  - 8-bit samples are copied (grey to all three channels);
//  - 16-bit grey (signed) is stretched from its minimum to its maximum onto
//    0..255; an image of one value shows mid-grey;
//  - 48-bit colour keeps the high byte of each sample.
// Returns null for an unsupported geometry or when memory runs out.
std::unique_ptr<uint8_t[]> ConvertToRgb(const PixelGeometry& geometry, const uint8_t* source);

// Converts to one byte per sample (grey stays one plane), as ConvertToRgb
// maps each sample; used to save 16-bit images as ordinary bitmaps.
std::unique_ptr<uint8_t[]> ConvertToBytes(const PixelGeometry& geometry, const uint8_t* source);

// Builds a new display bitmap (dithered on palette displays), hands it to
// the painting side and asks the window to repaint. Runs on the decoding
// thread. Nothing changes when memory runs out.
void ShowImage(PluginInstance& instance, const PixelGeometry& geometry, const uint8_t* source);

// Private message posted to the full-page window after a new image, so the
// scroll bars are updated on the window's own thread.
inline constexpr unsigned kMessageImageChanged = 0x0400 + 1;
