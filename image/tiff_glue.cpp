// TIFF glue: the probe, the reader over libtiff's RGBA-image interface and
// the scan-line writer, plus the CDib operations built on them.
//
// Reading: libtiff decodes each strip or tile and hands it to the image's put
// routine, which normally writes packed 32-bit pixels into a caller raster of
// the whole image. We replace that routine by a wrapper that lets libtiff's
// own routine fill a raster of one block only, then copies the block into
// our pixel buffer as 1 byte (grey) or 3 bytes (R, G, B) per pixel. So the
// full-size 32-bit raster never exists.
#include "image/tiff_glue.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "image/Dib.h"
#include "image/Limits.h"
#include "image/staged_file.h"

namespace {

constexpr uint16_t kExtraSampleUnassociatedAlpha = 2;

// Silences libtiff's process-wide handlers for the lifetime of the object
// and puts the previous ones back afterwards.
class MutedTiffHandlers {
public:
  MutedTiffHandlers() : m_error(TIFFSetErrorHandler(nullptr)), m_warning(TIFFSetWarningHandler(nullptr)) {}
  ~MutedTiffHandlers() {
    TIFFSetErrorHandler(m_error);
    TIFFSetWarningHandler(m_warning);
  }
  MutedTiffHandlers(const MutedTiffHandlers&) = delete;
  MutedTiffHandlers& operator=(const MutedTiffHandlers&) = delete;

private:
  TIFFErrorHandler m_error;
  TIFFErrorHandler m_warning;
};

// Opens for reading with libtiff's single-allocation cap set to our image
// limit, so a hostile strip or tile size fails inside libtiff instead of
// allocating gigabytes.
TIFF* OpenForReading(const char* name) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return nullptr;
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kMaxImageBytes));
  TIFF* tif = TIFFOpenExt(name, "r", options);
  TIFFOpenOptionsFree(options);
  return tif;
}

bool IsDeliverable(const TIFFRGBAImage& img) {
  if (img.orientation != ORIENTATION_TOPLEFT) return false;
  if (img.photometric != PHOTOMETRIC_MINISBLACK && img.photometric != PHOTOMETRIC_RGB) return false;
  if (img.bitspersample == 8) return true;
  if (img.bitspersample != 16) return false;
  if (img.photometric == PHOTOMETRIC_MINISBLACK) return img.samplesperpixel == 1;
  return img.alpha != kExtraSampleUnassociatedAlpha;
}

// State of one read. The RGBA image comes first so that the put wrappers,
// which libtiff calls with the image, can reach the rest of the context.
struct TiffPutContext {
  TIFFRGBAImage image{};
  BYTE* out = nullptr;
  size_t rowBytes = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  int outPixelBytes = 1;
  tileContigRoutine libraryContig = nullptr;
  tileSeparateRoutine librarySeparate = nullptr;
  uint32_t* block = nullptr;  // owned by ReadIntoContext
  uint32_t blockWidth = 0;
  uint32_t blockHeight = 0;
  ProgressFunc progress = nullptr;
  unsigned delivered = 0;
  unsigned total = 0;
  bool overrun = false;
};
static_assert(std::is_standard_layout_v<TiffPutContext>);

TiffPutContext* ContextOf(TIFFRGBAImage* img) { return reinterpret_cast<TiffPutContext*>(img); }

// libtiff names a block by raster row y (rows counted from the bottom; it
// delivers rows y, y - 1, ... for top-left files) and column x. Refuses any
// block that would not fit the block raster or the output.
bool BlockFits(const TiffPutContext& ctx, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
  return w <= ctx.blockWidth && h <= ctx.blockHeight && x <= ctx.width && w <= ctx.width - x &&
         y < ctx.height && h <= y + 1;
}

// Copies a filled block raster to the output. Raster row y is output row
// height - 1 - y; block row j holds raster row y - j.
void DeliverBlock(TiffPutContext& ctx, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
  const uint32_t firstRow = ctx.height - 1 - y;
  for (uint32_t j = 0; j < h; ++j) {
    const uint32_t* source = ctx.block + static_cast<size_t>(j) * ctx.blockWidth;
    BYTE* target = ctx.out + (firstRow + j) * ctx.rowBytes + static_cast<size_t>(x) * ctx.outPixelBytes;
    if (ctx.outPixelBytes == 1) {
      for (uint32_t i = 0; i < w; ++i) target[i] = static_cast<BYTE>(TIFFGetR(source[i]));
    } else {
      for (uint32_t i = 0; i < w; ++i, target += 3) {
        target[0] = static_cast<BYTE>(TIFFGetR(source[i]));
        target[1] = static_cast<BYTE>(TIFFGetG(source[i]));
        target[2] = static_cast<BYTE>(TIFFGetB(source[i]));
      }
    }
  }
  ctx.delivered += w * h;
  if (ctx.progress) ctx.progress(ctx.delivered, ctx.total);
}

// Skew that makes libtiff's routine lay the block's rows one after the other
// in the block raster: after writing w pixels it adds toskew to its pointer.
int32_t BlockSkew(const TiffPutContext& ctx, uint32_t w) { return static_cast<int32_t>(ctx.blockWidth - w); }

void PutContigBlock(TIFFRGBAImage* img, uint32_t*, uint32_t x, uint32_t y, uint32_t w, uint32_t h, int32_t fromskew,
                    int32_t, unsigned char* pp) {
  TiffPutContext& ctx = *ContextOf(img);
  if (!BlockFits(ctx, x, y, w, h)) {
    ctx.overrun = true;
    return;
  }
  ctx.libraryContig(img, ctx.block, x, y, w, h, fromskew, BlockSkew(ctx, w), pp);
  DeliverBlock(ctx, x, y, w, h);
}

void PutSeparateBlock(TIFFRGBAImage* img, uint32_t*, uint32_t x, uint32_t y, uint32_t w, uint32_t h, int32_t fromskew,
                      int32_t, unsigned char* r, unsigned char* g, unsigned char* b, unsigned char* a) {
  TiffPutContext& ctx = *ContextOf(img);
  if (!BlockFits(ctx, x, y, w, h)) {
    ctx.overrun = true;
    return;
  }
  ctx.librarySeparate(img, ctx.block, x, y, w, h, fromskew, BlockSkew(ctx, w), r, g, b, a);
  DeliverBlock(ctx, x, y, w, h);
}

// Block size: a tile for tiled files, rows per strip by the image width for
// striped ones, each clipped to the image since libtiff clips what it
// delivers. A striped file without RowsPerStrip is one strip of the whole
// height (libtiff's default), so the block is then the whole image.
bool ChooseBlockSize(TiffPutContext& ctx, std::unique_ptr<uint32_t[]>& storage) {
  TIFF* tif = ctx.image.tif;
  uint32_t blockWidth = ctx.width;
  uint32_t blockHeight = ctx.height;
  if (TIFFIsTiled(tif)) {
    uint32_t tileWidth = 0;
    uint32_t tileLength = 0;
    if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth) || !TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength))
      return false;
    blockWidth = std::min(tileWidth, ctx.width);
    blockHeight = std::min(tileLength, ctx.height);
  } else {
    uint32_t rowsPerStrip = 0;
    if (TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip) && rowsPerStrip > 0)
      blockHeight = std::min(rowsPerStrip, ctx.height);
  }
  size_t bytes = 0;
  if (!CheckedImageBytes(blockWidth, blockHeight, 4, bytes)) return false;
  storage.reset(new (std::nothrow) uint32_t[bytes / 4]);
  ctx.block = storage.get();
  ctx.blockWidth = blockWidth;
  ctx.blockHeight = blockHeight;
  return ctx.block != nullptr;
}

bool InstallPutWrapper(TiffPutContext& ctx) {
  if (ctx.image.isContig) {
    ctx.libraryContig = ctx.image.put.contig;
    if (!ctx.libraryContig) return false;
    ctx.image.put.contig = PutContigBlock;
  } else {
    ctx.librarySeparate = ctx.image.put.separate;
    if (!ctx.librarySeparate) return false;
    ctx.image.put.separate = PutSeparateBlock;
  }
  return true;
}

bool ReadIntoContext(TiffPutContext& ctx) {
  if (ctx.image.bitspersample != 8 || !ctx.out) return false;
  if (ctx.rowBytes < static_cast<size_t>(ctx.width) * ctx.outPixelBytes) return false;
  std::unique_ptr<uint32_t[]> storage;
  if (!ChooseBlockSize(ctx, storage) || !InstallPutWrapper(ctx)) return false;
  // The raster argument only serves libtiff's offset arithmetic, which the
  // wrappers ignore; the context stands in for it.
  const int got = TIFFRGBAImageGet(&ctx.image, reinterpret_cast<uint32_t*>(&ctx), ctx.width, ctx.height);
  return got == 1 && !ctx.overrun;
}

bool WriteTags(TIFF* tif, unsigned width, unsigned height, int samplesPerPixel, int bitsPerSample) {
  const int photometric = samplesPerPixel == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB;
  return TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width)) == 1 &&
         TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height)) == 1 &&
         TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) == 1 &&
         TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samplesPerPixel) == 1 &&
         TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bitsPerSample) == 1 &&
         TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
         TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric) == 1 &&
         TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1 &&
         TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0)) == 1;
}

bool WriteRows(TIFF* tif, const BYTE* row, unsigned height, int rowStep, ProgressFunc fn) {
  for (unsigned r = 0; r < height; ++r, row += rowStep) {
    if (TIFFWriteScanline(tif, const_cast<BYTE*>(row), r, 0) != 1) return false;
    if (fn && !fn(r + 1, height)) return r + 1 == height;
  }
  return true;
}

}  // namespace

BOOL TiffProbe(const char* name, TIFFRGBAImage* img) {
  MutedTiffHandlers muted;
  *img = TIFFRGBAImage{};
  TIFF* tif = OpenForReading(name);
  if (!tif) return FALSE;
  char message[1024];
  if (!TIFFRGBAImageOK(tif, message) || TIFFRGBAImageBegin(img, tif, 0, message) != 1) {
    TIFFClose(tif);
    *img = TIFFRGBAImage{};
    return FALSE;
  }
  if (!IsDeliverable(*img) || img->width > kMaxImageDimension || img->height > kMaxImageDimension ||
      img->width == 0 || img->height == 0) {
    TiffEndImage(img);
    return FALSE;
  }
  return TRUE;
}

void TiffEndImage(TIFFRGBAImage* img) {
  MutedTiffHandlers muted;
  TIFF* tif = img->tif;
  TIFFRGBAImageEnd(img);
  if (tif) TIFFClose(tif);
  *img = TIFFRGBAImage{};
}

BOOL TiffReadImage(TIFFRGBAImage* img, BYTE* out, int rowBytes, int skip, ProgressFunc fn) {
  MutedTiffHandlers muted;
  // The context takes the probed image over; the caller's copy is cleared
  // so that nothing is ended twice.
  TiffPutContext ctx;
  ctx.image = *img;
  *img = TIFFRGBAImage{};
  ctx.out = out ? out + std::max(skip, 0) : nullptr;
  ctx.rowBytes = rowBytes > 0 ? static_cast<size_t>(rowBytes) : 0;
  ctx.width = ctx.image.width;
  ctx.height = ctx.image.height;
  ctx.outPixelBytes = ctx.image.photometric == PHOTOMETRIC_MINISBLACK ? 1 : 3;
  ctx.progress = fn;
  ctx.total = ctx.width * ctx.height;
  const bool read = ReadIntoContext(ctx);
  TiffEndImage(&ctx.image);
  return read ? TRUE : FALSE;
}

BOOL TiffWriteImage(const char* name, const BYTE* pixels, unsigned width, unsigned height, int samplesPerPixel,
                    int bitsPerSample, int rowStep, int skip, ProgressFunc fn) {
  if (samplesPerPixel != 1 && samplesPerPixel != 3) return FALSE;
  if (bitsPerSample != 8 && bitsPerSample != 16) return FALSE;
  if (!pixels || width == 0 || height == 0) return FALSE;
  MutedTiffHandlers muted;
  StagedFile staged(name);
  TIFF* tif = TIFFOpen(staged.TempName().c_str(), "w");
  if (!tif) return FALSE;
  bool written = WriteTags(tif, width, height, samplesPerPixel, bitsPerSample) &&
                 WriteRows(tif, pixels + std::max(skip, 0), height, rowStep, fn);
  // TIFFClose flushes without reporting failure; flush first to see it.
  written = written && TIFFFlush(tif) == 1;
  TIFFClose(tif);
  return written && staged.Commit() ? TRUE : FALSE;
}

int CDib::ReadTIFF(const std::string& name, ProgressFunc fn) {
  TIFFRGBAImage img{};
  if (!TiffProbe(name.c_str(), &img)) return DIB_ERR_IO;
  const int bits = img.bitspersample;
  const int planes = img.samplesperpixel;
  if ((planes != 1 && planes != 3) || bits > 8) {
    TiffEndImage(&img);
    return DIB_ERR_FORMAT;
  }
  if (!AcceptsPixelCount(img.width, img.height)) {
    TiffEndImage(&img);
    return DIB_ERR_TOO_LARGE;
  }
  const int bytesPerPixel = planes * ((bits + 7) / 8);
  size_t bytes = 0;
  std::unique_ptr<BYTE[]> pixels;
  if (CheckedImageBytes(img.width, img.height, bytesPerPixel, bytes)) pixels.reset(new (std::nothrow) BYTE[bytes]());
  if (!pixels) {
    TiffEndImage(&img);
    return DIB_ERR_IO;
  }
  const int width = static_cast<int>(img.width);
  const int height = static_cast<int>(img.height);
  if (!TiffReadImage(&img, pixels.get(), bytesPerPixel * width, 0, fn)) return DIB_ERR_IO;
  m_nBitsPerPlane = bits;
  m_nPlanes = static_cast<DWORD>(planes);
  m_nColorType = planes == 1 ? DibGrey : DibRGB;
  AdoptPixels(std::move(pixels), bytes);
  const int created = CreateFromPixels(width, height, bits * planes);
  FreePixels();
  return created ? DIB_OK : DIB_ERR_IO;
}

int CDib::WriteTIFF(const std::string& name, ProgressFunc fn) {
  if (!MakePixels() || !Header()) return DIB_ERR_IO;
  const CSize size = GetSize();
  const int bytesPerPixel = Header()->biBitCount / 8;
  const BOOL written = size.cx > 0 && size.cy > 0 &&
                       TiffWriteImage(name.c_str(), m_pPixels.get(), static_cast<unsigned>(size.cx),
                                      static_cast<unsigned>(size.cy), bytesPerPixel, 8, size.cx * bytesPerPixel, 0, fn);
  FreePixels();
  return written ? DIB_OK : DIB_ERR_IO;
}
