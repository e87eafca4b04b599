// Hard limits on image sizes taken from untrusted input, checked before any
// allocation so a hostile header can neither overflow a size computation
// nor make the program allocate without bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Largest width or height any reader accepts.
constexpr int64_t kMaxImageDimension = 65535;
// Largest image, in pixels, readers allocate for unless told otherwise.
constexpr uint64_t kDefaultMaxPixels = uint64_t{1} << 28;

// Whether width x height stays within `maxPixels`.
inline bool WithinPixelLimit(int64_t width, int64_t height, uint64_t maxPixels) {
  if (width <= 0 || height <= 0) return true;  // other checks refuse these
  return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= maxPixels;
}

// "image too large: 30000 x 30000 exceeds the limit of 268435456 pixels"
inline std::string PixelLimitMessage(int64_t width, int64_t height, uint64_t maxPixels) {
  return "image too large: " + std::to_string(width) + " x " + std::to_string(height) +
         " exceeds the limit of " + std::to_string(maxPixels) + " pixels";
}

// A pixel limit handed to a reader outside CDib, which records the size it
// refused so that the caller can say why the file was not read.
struct PixelLimit {
  uint64_t maxPixels = kDefaultMaxPixels;
  int64_t refusedWidth = 0;
  int64_t refusedHeight = 0;

  bool Accepts(int64_t width, int64_t height) {
    if (WithinPixelLimit(width, height, maxPixels)) return true;
    refusedWidth = width;
    refusedHeight = height;
    return false;
  }
  bool Refused() const { return refusedWidth > 0; }
  std::string Message() const { return PixelLimitMessage(refusedWidth, refusedHeight, maxPixels); }
};

// Largest pixel buffer or DIB bits block, in bytes (2 GiB - 1).
constexpr uint64_t kMaxImageBytes = 0x7FFFFFFFu;

// bytes = width * height * bytesPerPixel when every factor is positive and
// the result stays within kMaxImageBytes; false otherwise.
inline bool CheckedImageBytes(int64_t width, int64_t height, int64_t bytesPerPixel, size_t& bytes) {
  if (width <= 0 || height <= 0 || bytesPerPixel <= 0) return false;
  if (width > kMaxImageDimension || height > kMaxImageDimension || bytesPerPixel > 8) return false;
  const uint64_t total = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) *
                         static_cast<uint64_t>(bytesPerPixel);
  if (total > kMaxImageBytes) return false;
  bytes = static_cast<size_t>(total);
  return true;
}

// Row length of a DIB: bitCount * width bits rounded up to whole 32-bit words.
inline uint64_t DibStride(int64_t width, int64_t bitCount) {
  return ((static_cast<uint64_t>(bitCount) * static_cast<uint64_t>(width) + 31) / 32) * 4;
}
