// JPEG glue: drives libjpeg's decompression and compression cycles for CDib.
//
// libjpeg reports fatal errors through error_exit, which must not return;
// ours formats the message (never shown) and longjmps back to the function
// that started the cycle. That function holds only plain data: everything
// with a destructor lives in the caller's frame, in a job record, so the jump
// skips no destructor. The job record also holds libjpeg's object itself, so
// it keeps its contents across the jump.
#include "image/jpeg_glue.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "image/Dib.h"
#include "image/staged_file.h"

namespace {

// More scans than any sane progressive file has; hostile files with
// thousands of tiny scans would otherwise take minutes to decode.
constexpr int kMaxJpegScans = 500;

struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];  // 200 bytes, as libjpeg formats them
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
  std::longjmp(manager->jump, 1);
}

// Warnings (corrupt data, premature end) would go to stderr; the reader keeps
// decoding what it can, so they are dropped.
void JpegSilentOutput(j_common_ptr) {}

void JpegLimitScans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
    cinfo->err->msg_code = JERR_NOT_COMPILED;
    (*cinfo->err->error_exit)(cinfo);
  }
}

void InstallErrorManager(JpegErrorManager& manager, jpeg_error_mgr*& target) {
  target = jpeg_std_error(&manager.pub);
  manager.pub.error_exit = JpegErrorExit;
  manager.pub.output_message = JpegSilentOutput;
  manager.message[0] = '\0';
}

struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file) std::fclose(file);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

int Percent(unsigned done, unsigned total) {
  return static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(total));
}

// ---------------------------------------------------------------- reading

// How a decoded row reaches its target row.
enum class RowConversion {
  None,         // libjpeg writes the target row itself
  CmykToRgb,    // four-component rows through a scratch row
  SwapToBgr,    // R, G, B through a scratch row into a DIB row
};

struct JpegReadJob {
  jpeg_decompress_struct cinfo{};
  JpegErrorManager error{};
  jpeg_progress_mgr progress{};
  std::FILE* file = nullptr;
  IProgressBar* bar = nullptr;
  uint64_t maxPixelBytes = 0;
  PixelLimit* limit = nullptr;
  // The rows go into this image's DIB when it is set, else into `pixels`.
  CDib* dib = nullptr;
  std::unique_ptr<BYTE[]> pixels;
  RowConversion conversion = RowConversion::None;
  int width = 0;
  int height = 0;
  int components = 0;
};

// Top-down row y of the target: a DIB row (bottom-up storage) or a row of
// the pixel buffer.
BYTE* TargetRow(JpegReadJob& job, unsigned y) {
  if (job.dib) return job.dib->TopDownRow(static_cast<int>(y));
  return job.pixels.get() + static_cast<size_t>(job.width) * static_cast<size_t>(job.components) * y;
}

// Four-component output (CMYK, or YCCK that libjpeg turns into CMYK) becomes
// R, G, B, or B, G, R for a DIB row. Files with an APP14 colour-transform
// marker store the inks inverted (the common way such files are written);
// others store them plainly.
void CmykRowToRgb(const JSAMPLE* cmyk, BYTE* out, unsigned width, bool inverted, bool bgr) {
  const int red = bgr ? 2 : 0;
  const int blue = 2 - red;
  for (unsigned x = 0; x < width; ++x, cmyk += 4, out += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    out[red] = static_cast<BYTE>(c * k / 255);
    out[1] = static_cast<BYTE>(m * k / 255);
    out[blue] = static_cast<BYTE>(y * k / 255);
  }
}

// Asks libjpeg for B, G, R samples, the order of DIB rows. False when this
// libjpeg has no such output.
bool RequestBgrOutput(jpeg_decompress_struct& cinfo) {
#ifdef JCS_EXTENSIONS
  cinfo.out_color_space = JCS_EXT_BGR;
  return true;
#else
  (void)cinfo;
  return false;
#endif
}

// Picks the output colour space and checks the output size, then allocates
// the target. False refuses the file.
bool PrepareOutput(JpegReadJob& job) {
  jpeg_decompress_struct& cinfo = job.cinfo;
  if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
    cinfo.out_color_space = JCS_CMYK;
    job.conversion = RowConversion::CmykToRgb;
  } else if (job.dib && cinfo.out_color_space == JCS_RGB && !RequestBgrOutput(cinfo)) {
    job.conversion = RowConversion::SwapToBgr;
  }
  jpeg_calc_output_dimensions(&cinfo);
  const int components = cinfo.out_color_components == 4 ? 3 : cinfo.out_color_components;
  if (components != 1 && components != 3) return false;
  if (job.limit && !job.limit->Accepts(cinfo.output_width, cinfo.output_height)) return false;
  size_t bytes = 0;
  if (!CheckedImageBytes(cinfo.output_width, cinfo.output_height, components, bytes)) return false;
  if (bytes > job.maxPixelBytes) return false;
  job.width = static_cast<int>(cinfo.output_width);
  job.height = static_cast<int>(cinfo.output_height);
  job.components = components;
  if (job.dib) return job.dib->PrepareRows(job.width, job.height, 8 * components) != 0;
  job.pixels.reset(new (std::nothrow) BYTE[bytes]);
  return job.pixels != nullptr;
}

// Reads one scan line through the scratch row and converts it into its target.
void ReadConvertedRow(JpegReadJob& job, JSAMPARRAY scratch) {
  jpeg_decompress_struct& cinfo = job.cinfo;
  BYTE* target = TargetRow(job, cinfo.output_scanline);
  if (jpeg_read_scanlines(&cinfo, scratch, 1) != 1) return;
  if (job.conversion == RowConversion::CmykToRgb)
    CmykRowToRgb(scratch[0], target, cinfo.output_width, cinfo.saw_Adobe_marker, job.dib != nullptr);
  else
    CDib::SwapRedBlue(scratch[0], target, cinfo.output_width);
}

// Runs the decompression cycle. Holds no object with a destructor: libjpeg
// may longjmp back here from any call.
bool DecodeJpeg(JpegReadJob& job) {
  jpeg_decompress_struct& cinfo = job.cinfo;
  InstallErrorManager(job.error, cinfo.err);
  if (setjmp(job.error.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  // libjpeg's working memory (coefficient buffers of progressive files) may
  // reach twice the decoded size; beyond that it fails instead of growing.
  cinfo.mem->max_memory_to_use = static_cast<long>(job.maxPixelBytes * 2 + (16u << 20));
  job.progress.progress_monitor = JpegLimitScans;
  cinfo.progress = &job.progress;
  jpeg_stdio_src(&cinfo, job.file);
  jpeg_read_header(&cinfo, TRUE);
  if (!PrepareOutput(job)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_start_decompress(&cinfo);
  const bool converts = job.conversion != RowConversion::None;
  JSAMPARRAY scratch = converts ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                             cinfo.output_width * cinfo.output_components, 1)
                                : nullptr;
  // Rows go straight into their target, as many per call as libjpeg
  // produces at once (two for 2x2-subsampled colour), which spares it an
  // internal copy; the bar still moves once per scan line.
  constexpr int kMaxRowsPerCall = 4;
  const unsigned rowsPerCall =
      converts ? 1 : static_cast<unsigned>(std::clamp(cinfo.rec_outbuf_height, 1, kMaxRowsPerCall));
  while (cinfo.output_scanline < cinfo.output_height) {
    const unsigned first = cinfo.output_scanline;
    const unsigned rows = std::min(rowsPerCall, cinfo.output_height - first);
    if (job.bar)
      for (unsigned line = first; line < first + rows; ++line) job.bar->SetPos(Percent(line, cinfo.output_height));
    if (converts) {
      ReadConvertedRow(job, scratch);
    } else {
      JSAMPROW rowPointers[kMaxRowsPerCall];
      for (unsigned i = 0; i < rows; ++i) rowPointers[i] = TargetRow(job, first + i);
      jpeg_read_scanlines(&cinfo, rowPointers, rows);
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// Opens the file and runs the cycle into the job's target; moves the bar to
// 0 first and to 100 on success.
bool ReadJpeg(const char* name, JpegReadJob& job) {
  if (job.bar) job.bar->SetPos(0);
  FilePtr file(std::fopen(name, "rb"));
  if (!file) {
    char message[JMSG_LENGTH_MAX];
    std::snprintf(message, sizeof message, "JPEG :\nCan't open %s\n", name);
    return false;
  }
  job.file = file.get();
  if (!DecodeJpeg(job)) return false;
  if (job.bar) job.bar->SetPos(100);
  return true;
}

// ---------------------------------------------------------------- writing

struct JpegWriteJob {
  jpeg_compress_struct cinfo{};
  JpegErrorManager error{};
  std::FILE* file = nullptr;
  IProgressBar* bar = nullptr;
  const BYTE* samples = nullptr;  // rgb triples or the reduced grey buffer
  int width = 0;
  int height = 0;
  bool isColor = true;
  int quality = 75;
};

// Runs the compression cycle; like DecodeJpeg, free of destructors.
bool EncodeJpeg(JpegWriteJob& job) {
  jpeg_compress_struct& cinfo = job.cinfo;
  InstallErrorManager(job.error, cinfo.err);
  if (setjmp(job.error.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, job.file);
  cinfo.image_width = static_cast<JDIMENSION>(job.width);
  cinfo.image_height = static_cast<JDIMENSION>(job.height);
  cinfo.input_components = job.isColor ? 3 : 1;
  cinfo.in_color_space = job.isColor ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, job.quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  const size_t stride = static_cast<size_t>(job.width) * (job.isColor ? 3 : 1);
  while (cinfo.next_scanline < cinfo.image_height) {
    if (job.bar) job.bar->SetPos(Percent(cinfo.next_scanline, cinfo.image_height));
    JSAMPROW row = const_cast<BYTE*>(job.samples + stride * cinfo.next_scanline);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

// grey = 0.299 R + 0.587 G + 0.114 B, truncated toward zero.
std::unique_ptr<BYTE[]> ReduceTriplesToGrey(const BYTE* rgb, size_t pixels) {
  std::unique_ptr<BYTE[]> grey(new (std::nothrow) BYTE[pixels]);
  if (!grey) return grey;
  for (size_t i = 0; i < pixels; ++i, rgb += 3)
    grey[i] = static_cast<BYTE>(0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]);
  return grey;
}

}  // namespace

std::unique_ptr<BYTE[]> ReadJpegFile(const char* name, int size[2], int* bitsPerSample, int* components,
                                     IProgressBar* bar, uint64_t maxPixelBytes, PixelLimit* limit) {
  JpegReadJob job;
  job.bar = bar;
  job.maxPixelBytes = maxPixelBytes;
  job.limit = limit;
  if (!ReadJpeg(name, job)) return nullptr;
  size[0] = job.width;
  size[1] = job.height;
  *bitsPerSample = 8;
  *components = job.components;
  return std::move(job.pixels);
}

BOOL ReadJpegRows(const char* name, CDib& dib, int* components, IProgressBar* bar, uint64_t maxPixelBytes,
                  PixelLimit* limit, std::string* failure) {
  JpegReadJob job;
  job.bar = bar;
  job.maxPixelBytes = maxPixelBytes;
  job.limit = limit;
  job.dib = &dib;
  if (!ReadJpeg(name, job)) {
    if (failure) *failure = job.error.message;
    return 0;
  }
  *components = job.components;
  return 1;
}

BOOL WriteJpegFile(const char* name, const BYTE* rgb, int width, int height, BOOL isColor, int quality,
                   IProgressBar* bar) {
  if (!rgb || width <= 0 || height <= 0) return 0;
  if (bar) bar->SetPos(0);
  std::unique_ptr<BYTE[]> grey;
  if (!isColor) {
    grey = ReduceTriplesToGrey(rgb, static_cast<size_t>(width) * static_cast<size_t>(height));
    if (!grey) return 0;
  }
  StagedFile staged(name);
  FilePtr file(std::fopen(staged.TempName().c_str(), "wb"));
  if (!file) {
    char message[JMSG_LENGTH_MAX];
    std::snprintf(message, sizeof message, "JpegFile :\nCan't open %s\n", name);
    return 0;
  }
  JpegWriteJob job;
  job.file = file.get();
  job.bar = bar;
  job.samples = isColor ? rgb : grey.get();
  job.width = width;
  job.height = height;
  job.isColor = isColor != 0;
  job.quality = quality;
  if (!EncodeJpeg(job)) return 0;
  // A failed close (disk full while flushing) is a failed write.
  if (std::fclose(file.release()) != 0) return 0;
  if (!staged.Commit()) return 0;
  if (bar) bar->SetPos(100);
  return 1;
}

// The rows are decoded into a staging image whose DIB then replaces ours,
// so a file that fails part-way leaves the current image as it was. No
// pixel buffer is built: the writers and the codec make one when they need it.
int CDib::ReadJPEG(const std::string& name, IProgressBar* bar) {
  CDib staged;
  int components = 0;
  PixelLimit limit{m_nMaxPixels};
  m_strReadDetail.clear();
  if (!ReadJpegRows(name.c_str(), staged, &components, bar, kMaxImageBytes, &limit, &m_strReadDetail))
    return RefusalResult(limit, DIB_ERR_IO);
  // Everything Free releases changes hands; our old DIB goes with `staged`.
  std::swap(m_pColorTable, staged.m_pColorTable);
  std::swap(m_hBitmap, staged.m_hBitmap);
  std::swap(m_pBits, staged.m_pBits);
  std::swap(m_pBMI, staged.m_pBMI);
  std::swap(m_nColors, staged.m_nColors);
  std::swap(m_wRowBytes, staged.m_wRowBytes);
  std::swap(m_nHeaderOwner, staged.m_nHeaderOwner);
  std::swap(m_bOwnBits, staged.m_bOwnBits);
  std::swap(m_nRowPadBits, staged.m_nRowPadBits);
  std::swap(m_hPalette, staged.m_hPalette);
  std::swap(m_nImageSize, staged.m_nImageSize);
  std::swap(m_headerBlock, staged.m_headerBlock);
  std::swap(m_bitsBlock, staged.m_bitsBlock);
  std::swap(m_nHeaderBytes, staged.m_nHeaderBytes);
  m_nBitsPerPlane = 8;
  m_nPlanes = static_cast<DWORD>(components);
  m_nColorType = components == 1 ? DibGrey : DibRGB;
  // A pixel buffer from the earlier image is stale, and FinishRows would
  // build the display copy from it.
  FreePixels();
  return FinishRows() ? DIB_OK : DIB_ERR_IO;
}

int CDib::WriteJPEG(const std::string& name, int quality, IProgressBar* bar) {
  if (!MakePixels() || !Header()) return DIB_ERR_IO;
  const CSize size = GetSize();
  BOOL written = 0;
  if (Header()->biBitCount == 24) {
    written = WriteJpegFile(name.c_str(), m_pPixels.get(), size.cx, size.cy, TRUE, quality, bar);
  } else if (Header()->biBitCount == 8 && size.cx > 0 && size.cy > 0) {
    // Grey: repeat each sample three times; the writer reduces them again.
    const size_t count = static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy);
    std::unique_ptr<BYTE[]> triples(new (std::nothrow) BYTE[count * 3]);
    if (triples) {
      const BYTE* grey = m_pPixels.get();
      for (size_t i = 0; i < count; ++i) std::memset(triples.get() + 3 * i, grey[i], 3);
      written = WriteJpegFile(name.c_str(), triples.get(), size.cx, size.cy, FALSE, quality, bar);
    }
  }
  FreePixels();
  return written ? DIB_OK : DIB_ERR_IO;
}
