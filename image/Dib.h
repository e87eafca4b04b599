// CDib: the application's in-memory image. It holds the image in two
// shapes: a device-independent bitmap (header, colour table, bottom-up rows
// padded to 4 bytes), which is what is drawn and written to BMP, and an
// interleaved top-down pixel buffer without padding (1 byte grey or 3 bytes
// R, G, B), built on demand for the readers, writers and codec.
//
// Every operation returns a result code; no exception leaves a CDib call.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "codec/TavixLib.h"
#include "image/Limits.h"
#include "image/Progress.h"
#include "platform/Bitmap.h"
#include "platform/DrawContext.h"
#include "platform/MessageSink.h"
#include "platform/Palette.h"
#include "platform/WinTypes.h"

class CColorQuantizer;
class CDisplayDib;

enum DibColorType : int { DibGrey = 0, DibPaletteColor = 1, DibRGB = 2 };

enum : int {
  DIB_OK = 0,
  DIB_ERR_IO = -1,
  DIB_ERR_MEMORY = -2,
  DIB_ERR_OPEN = -3,
  DIB_ERR_FORMAT = -4,
  DIB_ERR_TOO_LARGE = -9,  // beyond the pixel limit (the codec's TX_ERR_TOO_LARGE)
  DIB_ERR_INTERNAL = -1000
};

// Who frees m_pBMI.
enum : int { HeaderOwnerNone = 0, HeaderOwnerHeap = 1, HeaderOwnerGlobal = 2 };

class CDib {
public:
  CDib();
  // Header only: colour count from bitsPerPixel, header filled as
  // CreateFromPixels does, table zeroed, no bits.
  CDib(int width, int height, int bitsPerPixel);
  ~CDib();
  CDib(const CDib&) = delete;
  CDib& operator=(const CDib&) = delete;

  // ---- release
  void Free();
  void FreePixels();
  void FreeCompressed();

  // ---- building and converting
  int CreateFromPixels(int width, int height, int bitsPerPixel);
  int UpdateBitsFromPixels();
  int MakePixels();
  int AllocPixels();
  int ExpandPaletteTo24();
  BOOL IsGreyPalette() const;
  BOOL IsGreyPixels(int width, int height) const;
  void SetColorCount(int bitsPerPixel);
  BOOL ComputeLayout();

  // ---- access and drawing
  BYTE* GetPixels() { return m_pPixels.get(); }
  CSize GetSize() const;
  BOOL Draw(CDrawContext* pDC, int x, int y, int cx, int cy);
  BOOL Draw(CDrawContext* pDC, int xDst, int yDst, int cxDst, int cyDst, int xSrc, int ySrc, int cxSrc, int cySrc);
  BOOL CreatePalette();
  UINT RealizePalette(CDrawContext* pDC, BOOL bForceBackground);

  // A bitmap embedded in the application as .bmp file bytes (the resource).
  // Returns 1 on success, 0 when the bytes are no usable bitmap, -4 for a
  // compressed one.
  int LoadResourceBitmap(const void* bmpFile, size_t size, CDrawContext* pDC);
  // Copies a packed DIB (header, colour table, bits; a clipboard block).
  int LoadPackedDib(const void* pPacked, void* hGlobal, int nSize);

  // ---- BMP, PCX, PNM
  int ReadBMP(std::istream& file);
  int WriteBMP(std::ostream& file);
  int SaveBMP(const std::string& name);
  int Serialize(std::iostream& archive, bool storing);
  int ReadPCX(const std::string& name);
  int ReadPNM(const std::string& name);
  int WritePNM(const std::string& name);

  // ---- .tvx through the codec
  int ProbeTvx(const std::string& name);
  int ReadTvx(const std::string& name, TXprogress* progress);
  int WriteTvx(const std::string& name, TXprogress* progress);
  int CompressToMemory(CDib* target, TXprogress* progress);
  int DecompressFromMemory(TXpreviewInputStream& stream, TXprogress* progress);

  // ---- JPEG, TIFF, GIF
  int ReadJPEG(const std::string& name, IProgressBar* bar);
  int WriteJPEG(const std::string& name, int quality, IProgressBar* bar);
  int ReadTIFF(const std::string& name, ProgressFunc fn);
  int WriteTIFF(const std::string& name, ProgressFunc fn);
  int ReadGIF(const std::string& name);

  // ---- helpers for the readers
  // Allocates a pixel buffer of `bytes` (zero-filled); false on overflow of
  // the size limits or when memory runs out. Replaces any old buffer.
  bool AllocPixelBuffer(size_t bytes);
  // Takes a pixel buffer built elsewhere.
  void AdoptPixels(std::unique_ptr<BYTE[]> pixels, size_t bytes);
  size_t GetPixelBytes() const { return m_nPixelBytes; }
  // Rebuilds the dithered display copy from the DIB when a quantiser is in
  // use (palette displays); otherwise does nothing. False when it fails.
  bool RefreshDisplayCopy();
  // Builds a DIB of the given size and depth (8: grey table, 24: colour)
  // whose rows the caller then fills through TopDownRow, ending with
  // FinishRows. Lets readers and writers move rows straight between a file
  // and the DIB without a whole-image pixel buffer. Returns 1, or 0 when
  // the size is refused or memory runs out.
  int PrepareRows(int width, int height, int bitsPerPixel);
  // The DIB row that holds top-down image row y (padding included).
  BYTE* TopDownRow(int y);
  const BYTE* TopDownRow(int y) const;
  // Zeroes the row padding, builds the palette and the display copy.
  int FinishRows();
  // R, G, B triples to the B, G, R order of DIB rows and back (the same swap).
  static void SwapRedBlue(const BYTE* src, BYTE* dst, size_t pixels);
  // Unpadded bytes per DIB row, computed wide (m_wRowBytes keeps only 16 bits).
  size_t RowBytes() const;
  // Bytes per pixel of the pixel buffer for the current colour type.
  int PixelBytesPerPixel() const { return m_nColorType == DibGrey ? 1 : 3; }
  const BITMAPINFOHEADER* Header() const { return reinterpret_cast<const BITMAPINFOHEADER*>(m_pBMI); }
  BITMAPINFOHEADER* Header() { return reinterpret_cast<BITMAPINFOHEADER*>(m_pBMI); }

  // Whether drawing goes to a palette device; set by the owner before images
  // are loaded, so that CreatePalette builds the display quantiser.
  void SetPaletteDisplay(bool paletteDisplay) { m_bPaletteDisplay = paletteDisplay; }
  bool IsPaletteDisplay() const { return m_bPaletteDisplay; }
  // Where the readers send the messages they show to the user.
  void SetMessageSink(CMessageSink* sink) { m_pMessageSink = sink; }
  CMessageSink* GetMessageSink() const { return m_pMessageSink; }
  // Largest image, in pixels, the readers allocate for (kDefaultMaxPixels
  // unless the owner sets another). A larger header is refused with
  // DIB_ERR_TOO_LARGE before anything is allocated.
  void SetMaxPixels(uint64_t maxPixels) { m_nMaxPixels = maxPixels; }
  uint64_t GetMaxPixels() const { return m_nMaxPixels; }
  // True when width x height is within the limit; otherwise tells the
  // message sink why and returns false.
  bool AcceptsPixelCount(int64_t width, int64_t height);
  // What the format library said about the last read that failed (libjpeg's
  // message, for example); empty when it said nothing. For tools and logs:
  // the application's messages come from its string table.
  const std::string& GetReadDetail() const { return m_strReadDetail; }
  // After a reader outside CDib refused a size: tells the sink and gives
  // DIB_ERR_TOO_LARGE; otherwise gives `otherwise`.
  int RefusalResult(const PixelLimit& limit, int otherwise);

  // ---- data (the design's members, in its order)
  RGBQUAD* m_pColorTable = nullptr;
  std::unique_ptr<std::vector<BYTE>> m_hBitmap;  // bits of a resource bitmap
  BYTE* m_pBits = nullptr;
  BYTE* m_pBMI = nullptr;
  std::unique_ptr<BYTE[]> m_pPixels;
  std::unique_ptr<BYTE[]> m_pCompressed;
  int m_nCompressedLen = 0;
  std::unique_ptr<CColorQuantizer> m_pQuantizer;
  std::unique_ptr<CDisplayDib> m_pDisplayDib;
  int m_nColors = 0;
  DWORD m_nFileSize = 0;
  WORD m_wRowBytes = 0;
  int m_nBitsPerPlane = 0;
  DWORD m_nPlanes = 0;
  int m_nColorType = DibGrey;
  TXimageParams m_imageParams;
  TXcompressionParams m_compressionParams;
  DWORD m_nCompressedSize = 0;
  void* m_hGlobal = nullptr;
  int m_nHeaderOwner = HeaderOwnerNone;
  int m_bOwnBits = 0;
  DWORD m_nRowPadBits = 0;
  std::unique_ptr<CPalette> m_hPalette;
  DWORD m_nImageSize = 0;

private:
  // Owned storage behind m_pBMI / m_pBits when their owner flags say so.
  std::unique_ptr<BYTE[]> m_headerBlock;
  std::unique_ptr<BYTE[]> m_bitsBlock;
  // An owned header block for a new image: the header filled as
  // CreateFromPixels does, a zeroed table of m_nColors entries.
  BYTE* InstallNewHeader(int width, int height, int bitsPerPixel);
  // A pixel buffer of exactly `bytes`, contents undefined (reused when the
  // size matches): for conversions that overwrite every byte.
  bool EnsurePixelBuffer(size_t bytes);
  // AcceptsPixelCount for a decoding job's image; on true the job gets the
  // same limit.
  bool AcceptsCodecImage(TXjob* job, const TXimageParams& image);

  size_t m_nHeaderBytes = 0;
  size_t m_nPixelBytes = 0;
  bool m_bPaletteDisplay = false;
  CMessageSink* m_pMessageSink = nullptr;
  uint64_t m_nMaxPixels = kDefaultMaxPixels;
  std::string m_strReadDetail;


public:
  // Installs an owned header block of `bytes` (header plus table).
  BYTE* AllocHeader(size_t bytes);
  // Installs an owned bits block of `bytes`; nullptr when memory runs out.
  BYTE* AllocBits(size_t bytes);
  size_t HeaderBytes() const { return m_nHeaderBytes; }
};
