// Hard limits on image sizes taken from untrusted input, checked before any
// allocation so a hostile header can neither overflow a size computation
// nor make the program allocate without bound.
#pragma once

#include <cstddef>
#include <cstdint>

// Largest width or height any reader accepts.
constexpr int64_t kMaxImageDimension = 65535;
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
