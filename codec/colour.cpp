#include "codec/colour.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/parallel.h"
#include "codec/stream.h"

namespace tavix {
namespace {

int ReadSample(const uint8_t* p, const PixelFormat& f) {
  if (f.bytesPerSample == 1) return *p;
  if (f.isSigned) {
    int16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void WriteSample(uint8_t* p, const PixelFormat& f, int value) {
  value = std::clamp(value, f.MinSample(), f.MaxSample());
  if (f.bytesPerSample == 1) {
    *p = static_cast<uint8_t>(value);
  } else if (f.isSigned) {
    const int16_t v = static_cast<int16_t>(value);
    std::memcpy(p, &v, sizeof v);
  } else {
    const uint16_t v = static_cast<uint16_t>(value);
    std::memcpy(p, &v, sizeof v);
  }
}

// Round to nearest for the float path; lrintf is fast and exact enough.
int RoundToInt(float v) {
  if (!(v > -2.0e9f)) return -2000000000;
  if (!(v < 2.0e9f)) return 2000000000;
  return static_cast<int>(std::lrintf(v));
}

template <typename Sample>
void ResizePlanes(std::vector<Plane<Sample>>& planes, const PixelFormat& f) {
  planes.resize(f.planes);
  for (auto& plane : planes) plane.Resize(f.width, f.height);
}

const uint8_t* RowOf(const void* pixels, const PixelFormat& f, int y) {
  return static_cast<const uint8_t*>(pixels) + static_cast<ptrdiff_t>(y) * f.rowBytes;
}
uint8_t* RowOf(void* pixels, const PixelFormat& f, int y) {
  return static_cast<uint8_t*>(pixels) + static_cast<ptrdiff_t>(y) * f.rowBytes;
}


// Runs rows(y0, y1) over blocks of rows, on up to `threads` threads.
template <typename Rows>
void ForRowBlocks(int height, int threads, const Rows& rows) {
  constexpr int kRowsPerBlock = 64;
  const int blocks = (height + kRowsPerBlock - 1) / kRowsPerBlock;
  ParallelFor(blocks, threads, [&](int b) { rows(b * kRowsPerBlock, std::min(height, (b + 1) * kRowsPerBlock)); });
}

}  // namespace

int PixelFormat::MinSample() const { return isSigned ? -32768 : 0; }
int PixelFormat::MaxSample() const { return bytesPerSample == 1 ? 255 : (isSigned ? 32767 : 65535); }
int PixelFormat::LevelShift() const { return isSigned ? 0 : (bytesPerSample == 1 ? 128 : 32768); }

bool FormatForColorType(int colorType, int width, int height, long rowBytes, PixelFormat& format) {
  const int bits = BitsPerSample(colorType);
  const int planes = PlaneCount(colorType);
  if (bits < 0 || planes < 0) return false;
  format.width = width;
  format.height = height;
  format.planes = planes;
  format.bytesPerSample = bits / 8;
  format.isSigned = colorType == TXcolorGrey16;
  format.rowBytes = rowBytes;
  return true;
}

namespace {

// Plane `index` from the pixels; `channel(p, k)` reads channel k of the
// pixel at p as a float.
template <typename Channel>
void ConvertToPlane(const void* pixels, const PixelFormat& f, int index, Plane<float>& plane, int threads,
                    Channel channel) {
  plane.ResizeForOverwrite(f.width, f.height);
  const int stride = f.planes * f.bytesPerSample;
  const float shift = static_cast<float>(f.LevelShift());
  // One loop per plane keeps the inner loops free of branches.
  const auto convertRows = [&](auto sampleOf) {
    ForRowBlocks(f.height, threads, [&](int y0, int y1) {
      for (int y = y0; y < y1; ++y) {
        const uint8_t* p = RowOf(pixels, f, y);
        float* out = plane.data.data() + static_cast<size_t>(y) * f.width;
        for (int x = 0; x < f.width; ++x, p += stride) out[x] = sampleOf(p);
      }
    });
  };
  const auto red = [&](const uint8_t* p) { return channel(p, 0); };
  const auto green = [&](const uint8_t* p) { return channel(p, 1); };
  const auto blue = [&](const uint8_t* p) { return channel(p, 2); };
  if (f.planes == 1) {
    convertRows([&](const uint8_t* p) { return red(p) - shift; });
  } else if (index == 0) {
    convertRows([&](const uint8_t* p) { return 0.299f * red(p) + 0.587f * green(p) + 0.114f * blue(p) - shift; });
  } else if (index == 1) {
    convertRows([&](const uint8_t* p) { return -0.168736f * red(p) - 0.331264f * green(p) + 0.5f * blue(p); });
  } else {
    convertRows([&](const uint8_t* p) { return 0.5f * red(p) - 0.418688f * green(p) - 0.081312f * blue(p); });
  }
}

}  // namespace

void PixelsToPlane(const void* pixels, const PixelFormat& f, int index, Plane<float>& plane, int threads) {
  // 8-bit samples, the common case, are read without the general reader's
  // tests per sample.
  if (f.bytesPerSample == 1) {
    ConvertToPlane(pixels, f, index, plane, threads,
                   [](const uint8_t* p, int k) { return static_cast<float>(p[k]); });
    return;
  }
  ConvertToPlane(pixels, f, index, plane, threads, [&f](const uint8_t* p, int k) {
    return static_cast<float>(ReadSample(p + k * f.bytesPerSample, f));
  });
}

void PixelsToPlanes(const void* pixels, const PixelFormat& f, std::vector<Plane<float>>& planes, int threads) {
  planes.resize(f.planes);
  for (int i = 0; i < f.planes; ++i) PixelsToPlane(pixels, f, i, planes[i], threads);
}

namespace {

// Round to nearest (ties to even, as lrintf), clamped to 0..255, NaN to 0.
// Adding and removing 1.5 * 2^23 leaves the rounded value in the float's
// integer bits; unlike lrintf this vectorises.
inline uint8_t ToByte(float v) {
  v = v > 0.0f ? v : 0.0f;  // also NaN
  v = v < 255.0f ? v : 255.0f;
  return static_cast<uint8_t>(static_cast<int>((v + 12582912.0f) - 12582912.0f));
}

// Colour pixels to interleaved bytes, ToByte of the same sums. Each
// channel of a chunk goes to a small array (four pixels per SSE2 step where
// available), then the three are interleaved.
constexpr int kColourChunk = 16;

inline void ColourPixel(float lum, float cb, float cr, uint8_t* out) {
  out[0] = ToByte(lum + 1.402f * cr);
  out[1] = ToByte(lum - 0.344136f * cb - 0.714136f * cr);
  out[2] = ToByte(lum + 1.772f * cb);
}

#if defined(__SSE2__)
// ToByte of four values: max and min return their second operand for NaN,
// as ToByte's comparisons do.
inline __m128i ToBytes4(__m128 v) {
  const __m128 magic = _mm_set1_ps(12582912.0f);
  v = _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(255.0f));
  return _mm_cvttps_epi32(_mm_sub_ps(_mm_add_ps(v, magic), magic));
}

// Sixteen 32-bit values of 0..255 to sixteen bytes.
inline void StoreBytes16(const __m128i (&v)[4], uint8_t* out) {
  const __m128i low = _mm_packs_epi32(v[0], v[1]);
  const __m128i high = _mm_packs_epi32(v[2], v[3]);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(low, high));
}

inline void ColourChunk(const float* lum, const float* cb, const float* cr, float shift, uint8_t* out) {
  __m128i red[4], green[4], blue[4];
  const __m128 shiftV = _mm_set1_ps(shift);
  for (int k = 0; k < 4; ++k) {
    const __m128 l = _mm_add_ps(_mm_loadu_ps(lum + 4 * k), shiftV);
    const __m128 b = _mm_loadu_ps(cb + 4 * k);
    const __m128 r = _mm_loadu_ps(cr + 4 * k);
    red[k] = ToBytes4(_mm_add_ps(l, _mm_mul_ps(_mm_set1_ps(1.402f), r)));
    green[k] = ToBytes4(
        _mm_sub_ps(_mm_sub_ps(l, _mm_mul_ps(_mm_set1_ps(0.344136f), b)), _mm_mul_ps(_mm_set1_ps(0.714136f), r)));
    blue[k] = ToBytes4(_mm_add_ps(l, _mm_mul_ps(_mm_set1_ps(1.772f), b)));
  }
  alignas(16) uint8_t r8[kColourChunk], g8[kColourChunk], b8[kColourChunk];
  StoreBytes16(red, r8);
  StoreBytes16(green, g8);
  StoreBytes16(blue, b8);
  for (int i = 0; i < kColourChunk; ++i) {
    out[3 * i] = r8[i];
    out[3 * i + 1] = g8[i];
    out[3 * i + 2] = b8[i];
  }
}
#else
inline void ColourChunk(const float* lum, const float* cb, const float* cr, float shift, uint8_t* out) {
  for (int i = 0; i < kColourChunk; ++i) ColourPixel(lum[i] + shift, cb[i], cr[i], out + 3 * i);
}
#endif

// The common case of 8-bit samples, in branch-free loops.
void PlanesToBytes(const std::vector<Plane<float>>& planes, const PixelFormat& f, void* pixels, int threads) {
  const float shift = static_cast<float>(f.LevelShift());
  ForRowBlocks(f.height, threads, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* p = RowOf(pixels, f, y);
      const size_t base = static_cast<size_t>(y) * f.width;
      const float* lumRow = planes[0].data.data() + base;
      if (f.planes == 1) {
        for (int x = 0; x < f.width; ++x) p[x] = ToByte(lumRow[x] + shift);
        continue;
      }
      const float* cbRow = planes[1].data.data() + base;
      const float* crRow = planes[2].data.data() + base;
      int x = 0;
      for (; x + kColourChunk <= f.width; x += kColourChunk)
        ColourChunk(lumRow + x, cbRow + x, crRow + x, shift, p + 3 * x);
      for (; x < f.width; ++x) ColourPixel(lumRow[x] + shift, cbRow[x], crRow[x], p + 3 * x);
    }
  });
}

}  // namespace

void PlanesToPixels(const std::vector<Plane<float>>& planes, const PixelFormat& f, void* pixels, int threads) {
  if (f.bytesPerSample == 1) return PlanesToBytes(planes, f, pixels, threads);
  const int stride = f.planes * f.bytesPerSample;
  const float shift = static_cast<float>(f.LevelShift());
  ForRowBlocks(f.height, threads, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* p = RowOf(pixels, f, y);
      const size_t base = static_cast<size_t>(y) * f.width;
      for (int x = 0; x < f.width; ++x, p += stride) {
        const float lum = planes[0].data[base + x] + shift;
        if (f.planes == 1) {
          WriteSample(p, f, RoundToInt(lum));
          continue;
        }
        const float cb = planes[1].data[base + x];
        const float cr = planes[2].data[base + x];
        WriteSample(p, f, RoundToInt(lum + 1.402f * cr));
        WriteSample(p + f.bytesPerSample, f, RoundToInt(lum - 0.344136f * cb - 0.714136f * cr));
        WriteSample(p + 2 * f.bytesPerSample, f, RoundToInt(lum + 1.772f * cb));
      }
    }
  });
}

// Floor division by 4 of a possibly negative sum (an arithmetic shift).
static int FloorQuarter(int v) { return v >> 2; }

void PixelsToPlanes(const void* pixels, const PixelFormat& f, std::vector<Plane<int32_t>>& planes, int threads) {
  ResizePlanes(planes, f);
  const int stride = f.planes * f.bytesPerSample;
  const int shift = f.LevelShift();
  ForRowBlocks(f.height, threads, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* p = RowOf(pixels, f, y);
      const size_t base = static_cast<size_t>(y) * f.width;
      for (int x = 0; x < f.width; ++x, p += stride) {
        if (f.planes == 1) {
          planes[0].data[base + x] = ReadSample(p, f) - shift;
          continue;
        }
        const int r = ReadSample(p, f);
        const int g = ReadSample(p + f.bytesPerSample, f);
        const int b = ReadSample(p + 2 * f.bytesPerSample, f);
        planes[0].data[base + x] = FloorQuarter(r + 2 * g + b) - shift;
        planes[1].data[base + x] = b - g;
        planes[2].data[base + x] = r - g;
      }
    }
  });
}

void PlanesToPixels(const std::vector<Plane<int32_t>>& planes, const PixelFormat& f, void* pixels, int threads) {
  const int stride = f.planes * f.bytesPerSample;
  const int shift = f.LevelShift();
  ForRowBlocks(f.height, threads, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      uint8_t* p = RowOf(pixels, f, y);
      const size_t base = static_cast<size_t>(y) * f.width;
      for (int x = 0; x < f.width; ++x, p += stride) {
        // Clamp first: a lossy integer stream can push values far outside the
        // sample range, and the sums below must not overflow.
        const int lum = std::clamp(planes[0].data[base + x], -(1 << 20), 1 << 20) + shift;
        if (f.planes == 1) {
          WriteSample(p, f, lum);
          continue;
        }
        const int cb = std::clamp(planes[1].data[base + x], -(1 << 20), 1 << 20);
        const int cr = std::clamp(planes[2].data[base + x], -(1 << 20), 1 << 20);
        const int g = lum - FloorQuarter(cb + cr);
        WriteSample(p, f, cr + g);
        WriteSample(p + f.bytesPerSample, f, g);
        WriteSample(p + 2 * f.bytesPerSample, f, cb + g);
      }
    }
  });
}

}  // namespace tavix
