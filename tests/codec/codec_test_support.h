// Shared helpers of the codec tests: test images, encoding and decoding
// through the public interface, and PSNR.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "codec/TavixLib.h"

namespace codec_test {

struct TestImage {
  int width = 0;
  int height = 0;
  int colorType = TXcolorGrey8;
  long rowBytes = 0;
  std::vector<uint8_t> bytes;

  int Planes() const { return TXgetNumberOfPlanes(colorType); }
  int BytesPerSample() const { return TXgetBitsPerPlane(colorType) / 8; }
  // Sample c of pixel (x, y) as an int (host order for two-byte samples).
  int Sample(int x, int y, int c) const {
    const uint8_t* p = bytes.data() + static_cast<size_t>(y) * rowBytes +
                       (static_cast<size_t>(x) * Planes() + c) * BytesPerSample();
    if (BytesPerSample() == 1) return *p;
    if (colorType == TXcolorGrey16) {
      int16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
};

// A photograph-like test pattern: smooth shading, edges and some texture.
// `padding` extra bytes end every row.
inline TestImage MakeImage(int width, int height, int colorType, unsigned seed = 1, long padding = 0) {
  TestImage image;
  image.width = width;
  image.height = height;
  image.colorType = colorType;
  const int planes = image.Planes();
  const int bytesPerSample = image.BytesPerSample();
  image.rowBytes = static_cast<long>(width) * planes * bytesPerSample + padding;
  image.bytes.assign(static_cast<size_t>(image.rowBytes) * height, 0xEE);
  uint32_t noise = seed * 2654435761u + 12345u;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < planes; ++c) {
        noise = noise * 1664525u + 1013904223u;
        double v = 0.5 + 0.3 * std::sin(0.05 * x + 0.9 * c + seed) * std::cos(0.07 * y - 0.4 * c);
        if ((x / 11 + y / 7 + c) % 5 == 0) v += 0.15;  // blocks with edges
        v += 0.04 * ((noise >> 16) / 65536.0 - 0.5);   // texture
        v = std::fmin(std::fmax(v, 0.0), 1.0);
        uint8_t* p = image.bytes.data() + static_cast<size_t>(y) * image.rowBytes +
                     (static_cast<size_t>(x) * planes + c) * bytesPerSample;
        if (bytesPerSample == 1) {
          *p = static_cast<uint8_t>(v * 255.0 + 0.5);
        } else if (colorType == TXcolorGrey16) {
          const int16_t s = static_cast<int16_t>(v * 65535.0 - 32768.0);
          std::memcpy(p, &s, 2);
        } else {
          const uint16_t s = static_cast<uint16_t>(v * 65535.0 + 0.5);
          std::memcpy(p, &s, 2);
        }
      }
    }
  }
  return image;
}

inline TXcompressionParams Params(int mode, int wavelet = TXwavelet97, int codecType = TXcodecStandard,
                                  int32_t target = 0) {
  TXcompressionParams c;
  c.mode = static_cast<uint16_t>(mode);
  c.waveletType = static_cast<uint16_t>(wavelet);
  c.codecType = static_cast<uint16_t>(codecType);
  c.target = target;
  return c;
}

// x for a quality factor Q (1..50).
inline int32_t QualityTarget(double quality) {
  return static_cast<int32_t>((1.0 + 49.0 * std::log(0.02 * quality) / std::log(0.02)) * 65536.0);
}

inline int Encode(const TestImage& image, const TXcompressionParams& compression, std::string& out,
                  TXprogress* progress = nullptr, uint16_t imageTag = 1) {
  std::ostringstream stream(std::ios::binary);
  TXjob* job = nullptr;
  int r = TXcompressionJob(job, stream);
  if (r != TX_OK) return r;
  TXimageParams params;
  params.imageTag = imageTag;
  params.width = static_cast<uint16_t>(image.width);
  params.height = static_cast<uint16_t>(image.height);
  params.colorType = static_cast<int16_t>(image.colorType);
  r = TXwriteHeader(job, params, compression);
  if (r == TX_OK) r = TXwriteImage(job, image.bytes.data(), image.rowBytes, 0, progress);
  TXendJob(job);
  out = stream.str();
  return r;
}

// Decodes through `input` (whose stream the caller has set up).
inline int DecodeFrom(TXinputStream& input, TestImage& image, TXprogress* progress = nullptr,
                      TXjob** keepJob = nullptr) {
  TXjob* job = nullptr;
  int r = TXdecompressionJob(job, input);
  if (r != TX_OK) return r;
  TXimageParams* params = nullptr;
  TXcompressionParams* compression = nullptr;
  r = TXreadHeader(job, params, compression);
  if (r == TX_OK) {
    image.width = params->width;
    image.height = params->height;
    image.colorType = params->colorType;
    image.rowBytes = static_cast<long>(image.width) * image.Planes() * image.BytesPerSample();
    image.bytes.assign(static_cast<size_t>(image.rowBytes) * image.height, 0);
    if (TXpreviewInputStream* preview = input.asPreviewStream())
      preview->setExternalBuffer(image.bytes.data(), image.width, image.height, image.rowBytes);
    r = TXreadImage(job, image.bytes.data(), image.rowBytes, 0, progress);
  }
  TXdisposeParams(params, compression);
  if (keepJob != nullptr) *keepJob = job;
  else TXendJob(job);
  return r;
}

inline int Decode(const std::string& bytes, TestImage& image) {
  std::istringstream stream(bytes, std::ios::binary);
  TXinputStream input(&stream);
  return DecodeFrom(input, image);
}

inline bool SamePixels(const TestImage& a, const TestImage& b) {
  if (a.width != b.width || a.height != b.height || a.colorType != b.colorType) return false;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      for (int c = 0; c < a.Planes(); ++c)
        if (a.Sample(x, y, c) != b.Sample(x, y, c)) return false;
  return true;
}

// PSNR over all samples, against the peak of the sample depth.
inline double Psnr(const TestImage& a, const TestImage& b) {
  double sum = 0.0;
  long count = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      for (int c = 0; c < a.Planes(); ++c) {
        const double d = a.Sample(x, y, c) - b.Sample(x, y, c);
        sum += d * d;
        ++count;
      }
  const double peak = a.BytesPerSample() == 1 ? 255.0 : 65535.0;
  if (sum == 0.0) return 200.0;
  return 10.0 * std::log10(peak * peak / (sum / count));
}

// TXinit for the length of a test.
struct LibraryScope {
  LibraryScope() { TXinit(4, nullptr); }
  ~LibraryScope() { TXterminate(); }
};

}  // namespace codec_test
