// TavixLib: the TAVIX wavelet image codec.
//
// One job encodes or decodes one image. Every job lies between TXinit() and
// TXterminate(); several jobs may run at once on different threads. All
// functions return 0 on success or one of the negative TX_ERR_* codes below.
// No exception ever leaves this interface.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

#if defined(_WIN32)
#  if defined(TAVIXLIB_BUILD)
#    define TX_API __declspec(dllexport)
#  else
#    define TX_API __declspec(dllimport)
#  endif
#else
#  define TX_API __attribute__((visibility("default")))
#endif

// ---------------------------------------------------------------- results
enum : int {
  TX_OK = 0,
  TX_ERR_ARGUMENT = -1,       // a null pointer, bad size or bad parameter value
  TX_ERR_MEMORY = -2,         // an allocation failed
  TX_ERR_IO = -3,             // the underlying stream failed to read or write
  TX_ERR_FORMAT = -4,         // not a .tvx stream (wrong magic)
  TX_ERR_UNSUPPORTED = -5,    // a version, colour type or option this library cannot handle
  TX_ERR_CORRUPT = -6,        // the stream is damaged or inconsistent
  TX_ERR_ABORTED = -7,        // the input stream or the progress object asked to stop
  TX_ERR_STATE = -8,          // a call made out of order (e.g. TXreadImage before TXreadHeader)
  TX_ERR_TOO_LARGE = -9,      // the image exceeds the library's size limits
  TX_ERR_NOT_INITIALISED = -10 // no TXinit() is in force
};

// ---------------------------------------------------------------- records
enum TXcolorType : int16_t {
  TXcolorGrey8 = 0,      // 8-bit grey
  TXcolorGrey8Alt = 1,   // 8-bit grey (second tag kept for older writers)
  TXcolorRGB24 = 2,      // 8 bits per sample, R, G, B
  TXcolorGrey16 = 3,     // signed 16-bit grey, host byte order
  TXcolorRGB48 = 4       // 16 bits per sample, R, G, B, host byte order
};

enum TXwaveletType : uint16_t {
  TXwavelet97 = 0,         // CDF 9/7 (computed in lifting form: same coefficients)
  TXwavelet1810 = 1,       // 18/10 biorthogonal
  TXwaveletMixed = 2,      // 9/7 on the finest level, 18/10 on the coarser ones
  TXwaveletSP = 3,         // S+P, reversible
  TXwavelet97Lifting = 4,  // CDF 9/7, lifting form
  TXwaveletTS = 5,         // two-six, reversible
  TXwavelet53 = 6          // LeGall 5/3, reversible
};

enum : uint16_t {
  TXcodecStandard = 0x01,        // context-modelled embedded bit-plane coder
  TXcodecFast = 0x02,            // fast embedded bit-plane coder
  TXcodecResolution = 0x40,      // resolution-progressive order (with TXcodecFast: 0x42)
  TXcodecNoDownsampling = 0x80,  // colour-difference planes keep full resolution
  TXcodecFastResolution = TXcodecResolution | TXcodecFast
};

enum TXmode : uint16_t { TXmodeFileSize = 0, TXmodeQuality = 1, TXmodeLossless = 2 };

struct TXimageParams {
  uint16_t imageTag = 1;
  uint16_t width = 0;
  uint16_t height = 0;
  int16_t colorType = TXcolorGrey8;
};

struct TXcompressionParams {
  uint16_t auxWord1 = 1;
  uint16_t auxWord2 = 2;
  uint16_t auxWord3 = 0;
  uint16_t waveletType = TXwavelet97;
  uint16_t codecType = TXcodecStandard;
  uint16_t portion = 90;      // share of the budget for luminance, percent
  uint16_t mode = TXmodeFileSize;
  int32_t target = 0;         // bytes (mode 0), 16.16 quality x (mode 1), 0 (mode 2)
  int32_t sizeMode = 1;
  int32_t auxLong = 0;
};

// Opaque job handle.
struct TXjob;
// Reserved for a caller-supplied allocator; pass nullptr.
struct TXallocator;

// ---------------------------------------------------------------- progress
// The library stores the progress value and calls progressChanged() after
// each change: a value >= 0 is the fraction done (mapped into the window set
// by setWindow), a value < 0 is minus a count of bytes written. Returning
// false from progressChanged() stops the job with TX_ERR_ABORTED.
class TX_API TXprogress {
public:
  TXprogress();
  virtual ~TXprogress();
  virtual void setWindow(double low, double high);
  virtual void setTaskLimit(TXimageParams* image, TXcompressionParams* compression, long fileLength);
  virtual void setTaskLimit(double limit);
  virtual void setProgressValue(double value);
  virtual double getProgressValue();
  virtual bool progressChanged();

protected:
  uint16_t active = 1;
  double progressValue = 0.0;
  double windowLow = 0.0;
  double windowHigh = 1.0;
  double taskLimit = 0.0;
};

// ---------------------------------------------------------------- input
class TXpreviewInputStream;

// Byte source of a decoding job. The library reads from `buffer`
// [bufferPos, bufferCount); when it is empty it calls fillBuffer(n). The
// default fillBuffer reads up to n bytes from `stream`. An override copies up
// to n bytes into `buffer`, sets bufferCount and bufferPos = 0 and returns 0;
// returning 0 with no bytes ends the data (endOfInput is then set); a
// negative result aborts the job, and TXreadHeader / TXreadImage return that
// same value unchanged.
class TX_API TXinputStream {
public:
  explicit TXinputStream(std::istream* source = nullptr);
  virtual ~TXinputStream();
  TXinputStream(const TXinputStream&) = delete;
  TXinputStream& operator=(const TXinputStream&) = delete;

  // Size of `buffer` in bytes (default 4096). Discards unread bytes.
  void setBuffer(long size);
  // Bytes the library asks for per fillBuffer call (default 2048).
  void setTransferSize(long size);
  long getTransferSize() const { return transferSize; }

  virtual int fillBuffer(long requested);
  virtual TXpreviewInputStream* asPreviewStream() { return nullptr; }

  std::istream* stream = nullptr;
  unsigned char* buffer = nullptr;
  long bufferSize = 0;
  long bufferCount = 0;
  long bufferPos = 0;
  bool endOfInput = false;

protected:
  long transferSize = 2048;
};

// An input stream that also receives full-size previews while the image is
// decoded. The five tuning values (set by subclass constructors) control
// when the library offers a preview through wantPreview():
//   previewTuning[0]  previews are offered only while at most this fraction
//                     of the coded data has been read (later ones differ
//                     little from the final image);
//   previewTuning[1]  transfer growth: newTransferSize() suggests reading this
//                     fraction of the bytes read so far per call (at least the
//                     set transfer size), so later reads are larger;
//   previewTuning[2]  no preview before this many coded bits per pixel;
//   previewTuning[3]  spacing: the k-th preview needs at least this factor
//                     to the power k more bytes than the one before, so the
//                     gaps widen as the image gets finer;
//   previewTuningBytes no preview before this many bytes of the stream.
// Previews are offered only where the stream has a complete coding pass, so
// even generous values give a handful of previews.
class TX_API TXpreviewInputStream : public TXinputStream {
public:
  explicit TXpreviewInputStream(std::istream* source = nullptr);
  ~TXpreviewInputStream() override;

  TXpreviewInputStream* asPreviewStream() override { return this; }

  // Where previews are written: width x height pixels, rows of rowBytes.
  void setExternalBuffer(unsigned char* pixels, int width, int height, long rowBytes);
  // True when the bytes read so far allow a preview (the header is known).
  bool isPreviewPossible();
  // Renders the best image of the bytes read so far into the external
  // buffer and calls previewReady(). Returns 0 or a TX_ERR_* code.
  int doPreview();

  // The job this stream feeds; set by TXdecompressionJob, cleared by
  // TXendJob. End the job before the stream is destroyed.
  TXjob* job = nullptr;

  // Transfer size for the next fillBuffer call, given the fraction of the
  // stream read and the coded bits per pixel read so far.
  virtual long newTransferSize(float fractionRead, float bitsPerPixelRead);
  // Whether a preview should be rendered now, after bytesRead bytes.
  virtual bool wantPreview(long bytesRead, float fractionRead, float bitsPerPixelRead);
  // A previewWidth x previewHeight x previewPlanes preview lies in the
  // external buffer. Return false to stop decoding (TXreadImage then
  // returns TX_ERR_ABORTED).
  virtual bool previewReady();

  int previewWidth = 0;
  int previewHeight = 0;
  int previewPlanes = 0;
  float previewTuning[4] = {0.5f, 0.4f, 0.0001f, 1.4f};
  long previewTuningBytes = 400;

  unsigned char* externalBuffer = nullptr;
  int externalWidth = 0;
  int externalHeight = 0;
  long externalRowBytes = 0;

  // Previews at the size they are shown at. When both are above 0, a
  // preview leaves out the finest wavelet levels for as long as it stays at
  // least this large (each level halves width and height, rounding up);
  // previewWidth and previewHeight give its size, at the top left of the
  // external buffer. 0 (the default) gives full-size previews. The final
  // image is always full size.
  int previewShownWidth = 0;
  int previewShownHeight = 0;

private:
  long lastPreviewBytes = 0;
  int previewCount = 0;
  friend struct TXjob;
};

// ---------------------------------------------------------------- functions
// Reference counted: every TXinit(4, nullptr) is matched by one TXterminate.
// Other versions and a non-null allocator give TX_ERR_UNSUPPORTED. Jobs can
// only be created while a TXinit is in force.
TX_API int TXinit(int version, TXallocator* allocator);
TX_API int TXterminate();

TX_API int TXgetBitsPerPlane(int colorType);
TX_API int TXgetNumberOfPlanes(int colorType);

TX_API int TXdecompressionJob(TXjob*& job, TXinputStream& input);
// Largest image, in pixels, a decoding job allocates for. TXreadImage
// refuses a larger header with TX_ERR_TOO_LARGE before allocating anything.
// A job starts with TX_DEFAULT_PIXEL_LIMIT; 0 is not a valid limit.
constexpr uint64_t TX_DEFAULT_PIXEL_LIMIT = uint64_t{1} << 28;
TX_API int TXsetPixelLimit(TXjob* job, uint64_t maxPixels);
// Threads an encoding or decoding job may use for its transforms and colour
// conversion (1 to 16; 0 chooses again: the TAVIX_THREADS environment
// variable when set, otherwise the machine's cores). Output bytes and
// pixels are the same for any count.
TX_API int TXsetThreadCount(TXjob* job, int threads);
TX_API int TXreadHeader(TXjob* job, TXimageParams*& image, TXcompressionParams*& compression);
// rowBytes is a long: rows of wide images exceed 16 bits (30000 RGB pixels
// are 90000 bytes). A stream that ends early (any prefix) still gives a
// whole, coarser image and TX_OK.
TX_API int TXreadImage(TXjob* job, void* pixels, long rowBytes, int reserved, TXprogress* progress);
// Decoding: header plus body bytes used so far (once TXreadImage has
// started), else the size the header announces. Encoding: bytes written.
TX_API long TXgetCompressedSize(TXjob* job);
TX_API int TXendJob(TXjob*& job);
TX_API int TXdisposeParams(TXimageParams* image, TXcompressionParams* compression);

TX_API int TXcompressionJob(TXjob*& job, std::ostream& output);
TX_API int TXwriteHeader(TXjob* job, const TXimageParams& image, const TXcompressionParams& compression);
TX_API int TXwriteImage(TXjob* job, const void* pixels, long rowBytes, int reserved, TXprogress* progress);

// Quantizer preview: pixels (1 byte grey or 3 bytes R, G, B per pixel) are
// made to look as a quality-mode file of these settings would decode.
// quality16_16 is the preview's own scale, q = (2 + 48 ln(50 / Q) / ln 25) *
// 65536 (131072 for Q = 50, 3954195 for Q = 1); smaller values count as
// Q = 50. Values above Q = 1 go on coarsening the picture, step by step,
// up to 3000 * 65536, where only its strongest structure is left (its
// largest coefficients, at one quantiser cell); larger values count as that.
// The portion is as in TXcompressionParams. TXquantizerPreviewSize gives the
// smallest window.
TX_API int TXquantizerPreviewSize(int width, int height, int bytesPerPixel, int waveletType, int codecType,
                                  uint16_t& outWidth, uint16_t& outHeight);
TX_API int TXquantizerPreview(unsigned char* pixels, int width, int height, int bytesPerPixel, long rowBytes,
                              int reserved, int waveletType, int codecType, long quality16_16, int portion);
