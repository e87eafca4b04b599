// TIFF files of 16 bits per sample (grey or RGB), which the image model
// cannot hold: the tool reads them itself, so that they reach the codec at
// full depth and a 16-bit TIFF the tool wrote can be read back.
#pragma once

#include <cstdint>
#include <string>

#include "image/Limits.h"
#include "tools/Pnm16.h"
#include "tools/Status.h"

// Reads a striped, contiguous 16-bit min-is-black or RGB TIFF. Anything else
// (8-bit files are the image model's), images of more than maxPixels pixels
// and damaged files are refused with a message.
Status ReadTiffSamples(const std::string& path, SampleImage& image, uint64_t maxPixels = kDefaultMaxPixels);
