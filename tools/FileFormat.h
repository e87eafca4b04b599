// The file format a path names, chosen by its extension.
#pragma once

#include <string>

enum class FileFormat { Unknown, Bmp, Pcx, Pnm, Jpeg, Tiff, Gif, Tvx };

// What a PNM extension asks for: .pgm grey, .ppm colour, .pnm as the image is.
enum class PnmFlavour { AsImage, Grey, Colour };

FileFormat FormatFromPath(const std::string& path);
PnmFlavour PnmFlavourFromPath(const std::string& path);
bool CanRead(FileFormat format);
bool CanWrite(FileFormat format);
// Short name as the application shows it: "BMP", "PNM", "TAVIX", ...
const char* FormatName(FileFormat format);
