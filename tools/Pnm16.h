// PGM/PPM samples of any depth (maximum value 1..65535), which the image
// model cannot hold: it keeps 8 bits per sample and its PNM reader takes
// only a maximum value of 255. The tool reads such files itself so that
// 16-bit images reach the codec at full depth, and writes decoded 16-bit
// .tvx files back out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/Limits.h"
#include "tools/Status.h"

struct SampleImage {
  int width = 0;
  int height = 0;
  int planes = 1;        // 1 grey, 3 R, G, B
  int maxValue = 255;
  std::vector<uint16_t> samples;  // interleaved, top row first
};

// Reads P2, P3, P5 or P6 with any maximum value; samples above it are refused,
// and so are images of more than maxPixels pixels and files too short for
// their stated size, before the samples are allocated.
Status ReadPnmSamples(const std::string& path, SampleImage& image, uint64_t maxPixels = kDefaultMaxPixels);

// Writes P5 (1 plane) or P6 (3 planes), two big-endian bytes per sample when
// the maximum value exceeds 255.
Status WritePnmSamples(const std::string& path, const SampleImage& image);

// The samples scaled to 0..255, rounded: what the 8-bit image model gets.
std::vector<uint8_t> ScaleTo8Bit(const SampleImage& image);
