// TIFF import and export through libtiff 4. Reading goes through libtiff's
// RGBA-image interface with put routines of our own that deliver 8-bit grey
// or R, G, B rows straight into a top-down pixel buffer. Every routine mutes
// libtiff's error and warning handlers while it runs and restores them after.
#pragma once

#include <tiffio.h>

#include "image/Progress.h"
#include "platform/WinTypes.h"

// Opens `name` and prepares `img` for reading. True only for an image the
// reader can deliver: orientation top-left; min-is-black or RGB; 8 bits per
// sample, or 16 bits with one sample (min-is-black) or without unassociated
// alpha (RGB); width and height within the image limits. On true the file
// stays open inside `img`: pass it to TiffReadImage or TiffEndImage.
BOOL TiffProbe(const char* name, TIFFRGBAImage* img);

// Ends a probed image without reading it and closes its file.
void TiffEndImage(TIFFRGBAImage* img);

// Reads the whole 8-bit image of a probed `img` into `out` (top-down rows of
// `rowBytes`; 1 byte per pixel for min-is-black, 3 for RGB), starting `skip`
// bytes in. Calls fn(pixels done, pixels total) after each strip or tile.
// Ends `img` and closes the file in every case.
BOOL TiffReadImage(TIFFRGBAImage* img, BYTE* out, int rowBytes, int skip, ProgressFunc fn);

// Writes an uncompressed, contiguous TIFF (min-is-black for one sample, RGB
// for three; 8 or 16 bits) with strips of libtiff's default height. Rows are
// `rowStep` bytes apart, starting `skip` bytes into `pixels`. After each row
// fn(rows done, height) is called and writing stops when it returns 0. The
// file is written under a temporary name and moved into place only when every
// row was written; returns whether that happened.
BOOL TiffWriteImage(const char* name, const BYTE* pixels, unsigned width, unsigned height, int samplesPerPixel,
                    int bitsPerSample, int rowStep, int skip, ProgressFunc fn);
