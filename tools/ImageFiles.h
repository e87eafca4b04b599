// Reading and writing every format the tool handles. An image is held in a
// CDib, except 16-bit samples (deep PGM/PPM, .tvx colour types 3 and 4),
// which the 8-bit image model cannot hold and which go to and from the
// codec directly.
#pragma once

#include <string>

#include "image/Dib.h"
#include "tools/CodecSettings.h"
#include "tools/FileFormat.h"
#include "tools/Pnm16.h"
#include "tools/Status.h"

struct SourceImage {
  CDib dib;
  SampleImage wide;  // used when isWide
  bool isWide = false;
  FileFormat format = FileFormat::Unknown;
  uint64_t fileSize = 0;

  int Width() const;
  int Height() const;
};

struct SaveSettings {
  CompressionChoice compression;  // for .tvx output
  int jpegQuality = 75;
  bool progress = true;
};

Status LoadSource(const std::string& path, SourceImage& source, bool progress,
                  uint64_t maxPixels = kDefaultMaxPixels);
// Writes through a temporary file beside `path`, renamed into place only when
// the writer succeeded, so a failure never leaves a partial file or clobbers
// an existing one.
Status SaveSource(const std::string& path, SourceImage& source, const SaveSettings& settings);

// "format: ...", size and colour model of a loaded raster image.
std::string DescribeSource(const SourceImage& source);
