// Pixels <-> planes. Colour images become luminance and two colour-difference
// planes: an irreversible float conversion for lossy coding, a reversible
// integer one (exact inverse) for the integer path. Samples are level-shifted
// so that planes are centred on zero.
#pragma once

#include "codec/large_block.h"
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavix {

// How the caller's pixel buffer is laid out.
struct PixelFormat {
  int width = 0;
  int height = 0;
  int planes = 1;          // 1 grey, 3 R, G, B interleaved
  int bytesPerSample = 1;  // 1, or 2 in host byte order
  bool isSigned = false;   // 16-bit grey samples are signed
  long rowBytes = 0;

  int MinSample() const;
  int MaxSample() const;
  // Subtracted before coding so that samples centre on zero.
  int LevelShift() const;
};

// Format of a colour type; false for an unknown type.
bool FormatForColorType(int colorType, int width, int height, long rowBytes, PixelFormat& format);

template <typename Sample>
struct Plane {
  int width = 0;
  int height = 0;
  PlaneVector<Sample> data;
  void Resize(int w, int h) {
    width = w;
    height = h;
    data.assign(static_cast<size_t>(w) * h, Sample{});
  }
  // For planes whose every sample is written next: not cleared.
  void ResizeForOverwrite(int w, int h) {
    width = w;
    height = h;
    data.clear();
    data.resize(static_cast<size_t>(w) * h);
  }
};

// Irreversible path (luminance, blue and red colour differences).
// Plane `index` alone (0 luminance or grey, 1 blue and 2 red difference):
// encoders that take one plane at a time need only one in memory.
void PixelsToPlane(const void* pixels, const PixelFormat& format, int index, Plane<float>& plane, int threads = 1);
void PixelsToPlanes(const void* pixels, const PixelFormat& format, std::vector<Plane<float>>& planes,
                    int threads = 1);
void PlanesToPixels(const std::vector<Plane<float>>& planes, const PixelFormat& format, void* pixels,
                    int threads = 1);

// Reversible path: Y = floor((R + 2G + B) / 4), Cb = B - G, Cr = R - G.
void PixelsToPlanes(const void* pixels, const PixelFormat& format, std::vector<Plane<int32_t>>& planes,
                    int threads = 1);
void PlanesToPixels(const std::vector<Plane<int32_t>>& planes, const PixelFormat& format, void* pixels,
                    int threads = 1);

}  // namespace tavix
