// The file format of a path: named by its extension, by a format name
// (--from, --to), or recognised from the file's first bytes.
#pragma once

#include <cstddef>
#include <string>

enum class FileFormat { Unknown, Bmp, Pcx, Pnm, Jpeg, Tiff, Gif, Tvx };

// What a PNM extension asks for: .pgm grey, .ppm colour, .pnm as the image is.
enum class PnmFlavour { AsImage, Grey, Colour };

FileFormat FormatFromPath(const std::string& path);
PnmFlavour PnmFlavourFromPath(const std::string& path);
// A format name as an extension is written: "bmp", "ppm", "tiff", ...
FileFormat FormatFromName(const std::string& name);
// The format the first bytes of a file announce (Unknown when none does).
FileFormat FormatFromContent(const unsigned char* bytes, size_t size);
// The first bytes of the file at `path`; Unknown when it cannot be read.
FileFormat SniffFormat(const std::string& path);
bool CanRead(FileFormat format);
bool CanWrite(FileFormat format);
// Short name as the application shows it: "BMP", "PNM", "TAVIX", ...
const char* FormatName(FileFormat format);
