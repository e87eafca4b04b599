#include "tools/Tiff16.h"

#include <tiffio.h>

#include <memory>
#include <new>
#include <vector>

namespace {

// libtiff reports through process-wide handlers; they are silenced while the
// file is read and restored after.
class QuietTiff {
public:
  QuietTiff() : m_error(TIFFSetErrorHandler(nullptr)), m_warning(TIFFSetWarningHandler(nullptr)) {}
  ~QuietTiff() {
    TIFFSetErrorHandler(m_error);
    TIFFSetWarningHandler(m_warning);
  }
  QuietTiff(const QuietTiff&) = delete;
  QuietTiff& operator=(const QuietTiff&) = delete;

private:
  TIFFErrorHandler m_error;
  TIFFErrorHandler m_warning;
};

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

template <typename T>
T Field(TIFF* tif, ttag_t tag, T fallback) {
  T value = fallback;
  return TIFFGetFieldDefaulted(tif, tag, &value) == 1 ? value : fallback;
}

}  // namespace

Status ReadTiffSamples(const std::string& path, SampleImage& image, uint64_t maxPixels) {
  const QuietTiff quiet;
  std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(path.c_str(), "r"));
  if (!tif) return Status::Fail("cannot read '" + path + "': not a readable TIFF file");
  uint32_t width = 0, height = 0;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
  const uint16_t bits = Field<uint16_t>(tif.get(), TIFFTAG_BITSPERSAMPLE, 1);
  const uint16_t samples = Field<uint16_t>(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
  const uint16_t photometric = Field<uint16_t>(tif.get(), TIFFTAG_PHOTOMETRIC, 0xFFFF);
  const uint16_t planar = Field<uint16_t>(tif.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  const bool grey = samples == 1 && photometric == PHOTOMETRIC_MINISBLACK;
  const bool rgb = samples == 3 && photometric == PHOTOMETRIC_RGB;
  if (bits != 16 || !(grey || rgb) || planar != PLANARCONFIG_CONTIG || TIFFIsTiled(tif.get()))
    return Status::Fail("cannot read '" + path +
                        "': a TIFF kind the reader does not take (16-bit files must be grey or RGB, in strips)");
  if (width == 0 || height == 0) return Status::Fail("cannot read '" + path + "': the TIFF has no pixels");
  if (!WithinPixelLimit(width, height, maxPixels))
    return Status::Fail("cannot read '" + path + "': " + PixelLimitMessage(width, height, maxPixels));
  size_t bytes = 0;
  if (!CheckedImageBytes(width, height, int64_t{samples} * 2, bytes))
    return Status::Fail("cannot read '" + path + "': the image is too large");
  const size_t rowSamples = static_cast<size_t>(width) * samples;
  if (TIFFScanlineSize64(tif.get()) != static_cast<uint64_t>(rowSamples * 2))
    return Status::Fail("cannot read '" + path + "': the TIFF's rows do not match its size");
  SampleImage result;
  result.width = static_cast<int>(width);
  result.height = static_cast<int>(height);
  result.planes = samples;
  result.maxValue = 65535;
  result.samples.resize(bytes / 2);
  for (uint32_t y = 0; y < height; ++y) {
    if (TIFFReadScanline(tif.get(), result.samples.data() + rowSamples * y, y, 0) != 1)
      return Status::Fail("cannot read '" + path + "': the TIFF is damaged or truncated at row " + std::to_string(y));
  }
  image = std::move(result);
  return Status::Ok();
}
