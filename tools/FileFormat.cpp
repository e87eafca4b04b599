#include "tools/FileFormat.h"

#include <cctype>

namespace {

std::string LowerExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

}  // namespace

FileFormat FormatFromPath(const std::string& path) {
  const std::string extension = LowerExtension(path);
  if (extension == "bmp") return FileFormat::Bmp;
  if (extension == "pcx") return FileFormat::Pcx;
  if (extension == "pnm" || extension == "ppm" || extension == "pgm") return FileFormat::Pnm;
  if (extension == "jpg" || extension == "jpeg") return FileFormat::Jpeg;
  if (extension == "tif" || extension == "tiff") return FileFormat::Tiff;
  if (extension == "gif") return FileFormat::Gif;
  if (extension == "tvx") return FileFormat::Tvx;
  return FileFormat::Unknown;
}

PnmFlavour PnmFlavourFromPath(const std::string& path) {
  const std::string extension = LowerExtension(path);
  if (extension == "pgm") return PnmFlavour::Grey;
  if (extension == "ppm") return PnmFlavour::Colour;
  return PnmFlavour::AsImage;
}

bool CanRead(FileFormat format) { return format != FileFormat::Unknown; }

bool CanWrite(FileFormat format) {
  return format != FileFormat::Unknown && format != FileFormat::Pcx && format != FileFormat::Gif;
}

const char* FormatName(FileFormat format) {
  switch (format) {
    case FileFormat::Bmp: return "BMP";
    case FileFormat::Pcx: return "PCX";
    case FileFormat::Pnm: return "PNM";
    case FileFormat::Jpeg: return "JPEG";
    case FileFormat::Tiff: return "TIFF";
    case FileFormat::Gif: return "GIF";
    case FileFormat::Tvx: return "TAVIX";
    case FileFormat::Unknown: break;
  }
  return "unknown";
}
