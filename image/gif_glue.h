// GIF import through giflib 5. All image records of a file are composed onto
// one screen-sized canvas and turned into R, G, B through one colour map.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "image/Limits.h"
#include "platform/WinTypes.h"

// Reads `name` into a new screen width * screen height * 3 buffer (top-down
// R, G, B). Sets size to the screen size, *bitsPerPixel to the bits of the
// colour map used (the last image's own map, else the global one) and
// *planes to 1. Returns null when the file cannot be decoded, has no colour
// map at all, places an image outside its screen, or when the screen would
// need more than `maxPixelBytes`.
std::unique_ptr<BYTE[]> GifReadImage(const std::string& name, int size[2], int* bitsPerPixel, int* planes,
                                     uint64_t maxPixelBytes = kMaxImageBytes, PixelLimit* limit = nullptr);
