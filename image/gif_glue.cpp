// GIF glue: decodes every image record of a file onto a canvas of the
// logical screen, then maps the canvas through one colour map to R, G, B.
// giflib failures become a GifFailure inside this file; GifReadImage catches
// it and returns null, so nothing is thrown past it.
#include "image/gif_glue.h"

#include <gif_lib.h>

#include <new>
#include <vector>

#include "image/Dib.h"

namespace {

struct GifFailure {};

void Check(int giflibResult) {
  if (giflibResult == GIF_ERROR) throw GifFailure{};
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    if (gif) DGifCloseFile(gif, &error);
  }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

// One byte per screen pixel, the colour index.
struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<GifPixelType> indices;
  GifPixelType* Row(int y) { return indices.data() + static_cast<size_t>(y) * width; }
};

// Image data of an empty image still has to be consumed before the next
// record.
void SkipImageData(GifFileType* gif) {
  int codeSize = 0;
  GifByteType* block = nullptr;
  Check(DGifGetCode(gif, &codeSize, &block));
  while (block) Check(DGifGetCodeNext(gif, &block));
}

void ReadImageRecord(GifFileType* gif, Canvas& canvas) {
  Check(DGifGetImageDesc(gif));
  const GifImageDesc& image = gif->Image;
  const bool inside = image.Left >= 0 && image.Top >= 0 && image.Width >= 0 && image.Height >= 0 &&
                      image.Width <= canvas.width - image.Left && image.Height <= canvas.height - image.Top;
  if (!inside) throw GifFailure{};
  if (image.Width == 0 || image.Height == 0) {
    SkipImageData(gif);
    return;
  }
  const int bottom = image.Top + image.Height;
  if (image.Interlace) {
    // Rows 0, 8, 16, ..., then 4, 12, ..., then 2, 6, ..., then the odd rows.
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = image.Top + kStart[pass]; y < bottom; y += kStep[pass])
        Check(DGifGetLine(gif, canvas.Row(y) + image.Left, image.Width));
  } else {
    for (int y = image.Top; y < bottom; ++y) Check(DGifGetLine(gif, canvas.Row(y) + image.Left, image.Width));
  }
}

void SkipExtension(GifFileType* gif) {
  int code = 0;
  GifByteType* block = nullptr;
  Check(DGifGetExtension(gif, &code, &block));
  while (block) Check(DGifGetExtensionNext(gif, &block));
}

void ReadRecords(GifFileType* gif, Canvas& canvas) {
  GifRecordType type = UNDEFINED_RECORD_TYPE;
  do {
    Check(DGifGetRecordType(gif, &type));
    if (type == IMAGE_DESC_RECORD_TYPE)
      ReadImageRecord(gif, canvas);
    else if (type == EXTENSION_RECORD_TYPE)
      SkipExtension(gif);
  } while (type != TERMINATE_RECORD_TYPE);
}

// Indices past the end of the map (hostile or sloppy files) become black
// rather than reading beyond the map.
std::unique_ptr<BYTE[]> CanvasToRgb(const Canvas& canvas, const ColorMapObject& map) {
  const size_t count = canvas.indices.size();
  std::unique_ptr<BYTE[]> rgb(new (std::nothrow) BYTE[count * 3]);
  if (!rgb) throw GifFailure{};
  BYTE* target = rgb.get();
  for (size_t i = 0; i < count; ++i, target += 3) {
    const GifPixelType index = canvas.indices[i];
    if (index < map.ColorCount) {
      const GifColorType& colour = map.Colors[index];
      target[0] = colour.Red;
      target[1] = colour.Green;
      target[2] = colour.Blue;
    } else {
      target[0] = target[1] = target[2] = 0;
    }
  }
  return rgb;
}

}  // namespace

std::unique_ptr<BYTE[]> GifReadImage(const std::string& name, int size[2], int* bitsPerPixel, int* planes,
                                     uint64_t maxPixelBytes, PixelLimit* limit) {
  try {
    int error = 0;
    GifPtr gif(DGifOpenFileName(name.c_str(), &error));
    if (!gif) return nullptr;
    if (limit && !limit->Accepts(gif->SWidth, gif->SHeight)) return nullptr;
    size_t rgbBytes = 0;
    if (!CheckedImageBytes(gif->SWidth, gif->SHeight, 3, rgbBytes) || rgbBytes > maxPixelBytes) return nullptr;
    Canvas canvas;
    canvas.width = gif->SWidth;
    canvas.height = gif->SHeight;
    canvas.indices.assign(rgbBytes / 3, static_cast<GifPixelType>(gif->SBackGroundColor));
    ReadRecords(gif.get(), canvas);
    // A file without any colour map cannot give colours to its indices;
    // it is refused rather than shown in made-up colours.
    const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
    if (!map || !map->Colors) return nullptr;
    std::unique_ptr<BYTE[]> rgb = CanvasToRgb(canvas, *map);
    *bitsPerPixel = map->BitsPerPixel;
    *planes = 1;
    size[0] = canvas.width;
    size[1] = canvas.height;
    if (DGifCloseFile(gif.release(), &error) == GIF_ERROR) return nullptr;
    return rgb;
  } catch (const GifFailure&) {
    return nullptr;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int CDib::ReadGIF(const std::string& name) {
  int size[2] = {0, 0};
  int bitsPerPixel = 0;
  int planes = 0;
  PixelLimit limit{m_nMaxPixels};
  std::unique_ptr<BYTE[]> rgb = GifReadImage(name, size, &bitsPerPixel, &planes, kMaxImageBytes, &limit);
  if (!rgb) return RefusalResult(limit, DIB_ERR_OPEN);
  const int width = size[0];
  const int height = size[1];
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  AdoptPixels(std::move(rgb), count * 3);
  m_nBitsPerPlane = bitsPerPixel;
  m_nPlanes = static_cast<DWORD>(planes);
  if (IsGreyPixels(width, height)) {
    m_nColorType = DibGrey;
    BYTE* pixels = m_pPixels.get();
    for (size_t i = 0; i < count; ++i) pixels[i] = pixels[3 * i];
    std::unique_ptr<BYTE[]> grey = std::move(m_pPixels);
    AdoptPixels(std::move(grey), count);
  } else {
    m_nColorType = DibPaletteColor;
  }
  const int created = CreateFromPixels(width, height, m_nColorType == DibGrey ? 8 : 24);
  FreePixels();
  return created ? DIB_OK : DIB_ERR_OPEN;
}
