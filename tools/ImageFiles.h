// Reading and writing every format the tool handles. An image is held in a
// CDib, except 16-bit samples (deep PGM/PPM, .tvx colour types 3 and 4),
// which the 8-bit image model cannot hold and which go to and from the
// codec directly.
#pragma once

#include <string>
#include <vector>

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
  // .tvx input: the whole size its header states (header and body); a file
  // shorter than that was truncated and decoded as far as it goes.
  uint64_t statedSize = 0;
  bool Truncated() const { return format == FileFormat::Tvx && statedSize > fileSize; }
  // What the reader reported although it succeeded, in its own words.
  std::vector<std::string> warnings;

  int Width() const;
  int Height() const;
};

struct SaveSettings {
  CompressionChoice compression;  // for .tvx output
  int jpegQuality = 75;
  bool progress = true;
  // The output format by name ("ppm", "tif", ...); empty: by the path's extension.
  std::string formatName;
};

struct LoadSettings {
  // Unknown: by the file's first bytes, else by the path's extension.
  FileFormat format = FileFormat::Unknown;
  bool progress = true;
  uint64_t maxPixels = kDefaultMaxPixels;
};

// The format a file is read as: `given` when known, else what its first
// bytes announce, else what its extension says.
FileFormat InputFormat(const std::string& path, FileFormat given = FileFormat::Unknown);

Status LoadSource(const std::string& path, SourceImage& source, const LoadSettings& settings);
inline Status LoadSource(const std::string& path, SourceImage& source, bool progress,
                         uint64_t maxPixels = kDefaultMaxPixels) {
  return LoadSource(path, source, LoadSettings{FileFormat::Unknown, progress, maxPixels});
}
// Writes through a temporary file beside `path`, renamed into place only when
// the writer succeeded, so a failure never leaves a partial file or clobbers
// an existing one.
Status SaveSource(const std::string& path, SourceImage& source, const SaveSettings& settings);

// The format an output is written in: settings.formatName, else the extension.
FileFormat OutputFormat(const std::string& path, const SaveSettings& settings);

// Whether `path` can be written: its folder exists and takes files, and it is
// not itself a folder. The message carries the system's reason.
Status CheckWritable(const std::string& path);

// "format: ...", size and colour model of a loaded raster image.
std::string DescribeSource(const SourceImage& source);
