// JPEG import and export through libjpeg (6.2 API). libjpeg's fatal errors
// are caught inside jpeg_glue.cpp and come back as a failure result; no
// setjmp/longjmp state leaves that file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "image/Limits.h"
#include "image/Progress.h"
#include "platform/WinTypes.h"

// Reads a JPEG file into a new top-down pixel buffer: 3 bytes R, G, B per
// pixel for colour, 1 byte for grey. Sets size to (width, height),
// *bitsPerSample to 8 and *components to 1 or 3. CMYK and YCCK files are
// converted to RGB. Returns null on any failure. `bar` may be null; it is
// moved to 0 before the first scan line and to 100 after the last.
// `maxPixelBytes` caps the decoded buffer (and libjpeg's own working memory
// at twice that), so a hostile header cannot make us allocate without bound;
// `limit`, when given, refuses (and records) an image of too many pixels
// before anything is allocated.
std::unique_ptr<BYTE[]> ReadJpegFile(const char* name, int size[2], int* bitsPerSample, int* components,
                                     IProgressBar* bar, uint64_t maxPixelBytes = kMaxImageBytes,
                                     PixelLimit* limit = nullptr);

class CDib;

// Reads a JPEG file straight into the rows of `dib` (through PrepareRows:
// 8-bit rows for grey, 24-bit B, G, R rows for colour), with no whole-image
// pixel buffer in between, and sets *components to 1 or 3. The caller ends
// with FinishRows. Progress, limits and the CMYK conversion are those of
// ReadJpegFile. Returns 1 on success; on failure 0, and `dib` may hold a
// partly filled image, so callers that must keep an older image read into
// a fresh CDib.
BOOL ReadJpegRows(const char* name, CDib& dib, int* components, IProgressBar* bar,
                  uint64_t maxPixelBytes = kMaxImageBytes, PixelLimit* limit = nullptr, std::string* failure = nullptr);

// Writes `rgb` (top-down, width * 3 bytes per row) as a baseline JPEG of the
// given quality (0..100). With isColor FALSE the triples are reduced to one
// grey sample each and a one-component file is written. The file is built
// under a temporary name and moved into place only when it is complete, so a
// failure never leaves a truncated file behind nor destroys an older one.
// Returns 1 on success, 0 on failure.
BOOL WriteJpegFile(const char* name, const BYTE* rgb, int width, int height, BOOL isColor, int quality,
                   IProgressBar* bar);
