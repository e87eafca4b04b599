#include "tools/FileFormat.h"

#include <cctype>
#include <cstring>
#include <fstream>

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

FileFormat FormatFromName(const std::string& name) {
  return name.empty() || name.find('/') != std::string::npos ? FileFormat::Unknown : FormatFromPath("." + name);
}

FileFormat FormatFromContent(const unsigned char* bytes, size_t size) {
  const auto starts = [&](const char* magic, size_t length) {
    return size >= length && std::memcmp(bytes, magic, length) == 0;
  };
  if (starts("TVX\x1a", 4)) return FileFormat::Tvx;
  if (starts("\xff\xd8\xff", 3)) return FileFormat::Jpeg;
  if (starts("II*\0", 4) || starts("MM\0*", 4)) return FileFormat::Tiff;
  if (starts("GIF87a", 6) || starts("GIF89a", 6)) return FileFormat::Gif;
  if (starts("BM", 2) && size >= 18) return FileFormat::Bmp;
  if (size >= 3 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6' && std::isspace(bytes[2]))
    return FileFormat::Pnm;
  // PCX: manufacturer 10, version 0..5, encoding 0 or 1, 1/2/4/8 bits.
  if (size >= 4 && bytes[0] == 10 && bytes[1] <= 5 && bytes[2] <= 1 &&
      (bytes[3] == 1 || bytes[3] == 2 || bytes[3] == 4 || bytes[3] == 8))
    return FileFormat::Pcx;
  return FileFormat::Unknown;
}

FileFormat SniffFormat(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char bytes[8] = {};
  file.read(reinterpret_cast<char*>(bytes), sizeof bytes);
  return FormatFromContent(bytes, static_cast<size_t>(file.gcount()));
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
