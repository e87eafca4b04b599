// Helpers shared by the JPEG, TIFF and GIF adapter tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "formats/format_test_helpers.h"
#include "image/Dib.h"
#include "image/Progress.h"

namespace glue_test {

using formats_test::Bytes;

// Records every position a reader or writer sets.
class RecordingProgressBar : public IProgressBar {
public:
  int SetPos(int percent) override {
    const int previous = positions.empty() ? 0 : positions.back();
    positions.push_back(percent);
    return previous;
  }
  std::vector<int> positions;
};

// Writes the deterministic test pattern as a binary PNM (the source the
// independent tool converts from) and returns its path.
inline std::string WritePatternPnm(const formats_test::TempDir& dir, const std::string& name, int width, int height,
                                   int planes, uint32_t seed = 1) {
  const std::string path = dir.File(name + (planes == 1 ? ".pgm" : ".ppm"));
  formats_test::WriteBytes(path, formats_test::MakeBinaryPnm(width, height, planes,
                                                             formats_test::TestPattern(width, height, planes, seed)));
  return path;
}

// Runs ImageMagick: convert SOURCE OPTIONS TARGET.
inline bool Convert(const std::string& source, const std::string& options, const std::string& target) {
  return formats_test::RunCommand("convert " + formats_test::Quote(source) + " " + options + " " +
                                  formats_test::Quote(target)) == 0;
}

// The pixel buffer of a loaded image (top-down, 1 or 3 bytes per pixel).
inline Bytes DibPixels(CDib& dib) {
  if (!dib.MakePixels()) return {};
  const CSize size = dib.GetSize();
  const size_t count = static_cast<size_t>(size.cx) * size.cy * dib.PixelBytesPerPixel();
  Bytes pixels(dib.GetPixels(), dib.GetPixels() + count);
  dib.FreePixels();
  return pixels;
}

// An image of the given colour type built from a pixel buffer.
inline bool MakeDib(CDib& dib, int width, int height, int planes, const Bytes& pixels) {
  dib.m_nColorType = planes == 1 ? DibGrey : DibRGB;
  dib.m_nBitsPerPlane = 8;
  dib.m_nPlanes = static_cast<DWORD>(planes);
  if (!dib.AllocPixelBuffer(pixels.size())) return false;
  std::copy(pixels.begin(), pixels.end(), dib.GetPixels());
  const int created = dib.CreateFromPixels(width, height, 8 * planes);
  dib.FreePixels();
  return created != 0;
}

inline int MaxDifference(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return 1 << 20;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
  return worst;
}

#define GLUE_REQUIRE_TOOL(name) \
  if (!formats_test::HaveTool(name)) GTEST_SKIP() << name << " is not installed"

}  // namespace glue_test
