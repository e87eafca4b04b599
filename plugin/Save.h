// "Save image as...": the received .tvx bytes unchanged, or a Windows bitmap
// of the decoded pixels.
#pragma once

#include <cstdint>
#include <string>

struct PluginInstance;

enum : int { BITMAP_OK = 0, BITMAP_ERR_WRITE = 2, BITMAP_ERR_MEMORY = 4 };
enum : int { kFormatBitmap = 0 };

// Asks for a name and saves; failures are shown in a message box and leave
// the instance as it was.
void SaveImage(PluginInstance& instance, bool colour);

// The chosen name without the extension of its file-name part (from the
// first dot after the last path separator) plus `extension`.
std::string ReplaceExtension(const std::string& chosen, const std::string& extension);

// Writes `count` bytes as a new file. A failed write leaves no file behind
// and an existing file of that name untouched.
bool WriteRawFile(const std::string& path, size_t count, const uint8_t* bytes);

// Writes top-down pixels (R, G, B triples when `colour`, else grey bytes) as
// a bottom-up 24-bit or 8-bit grey bitmap. Returns BITMAP_OK, BITMAP_ERR_WRITE
// or BITMAP_ERR_MEMORY; after a failure no file is left behind.
int WriteBitmapFile(const std::string& path, int format, const uint8_t* pixels, bool colour, int width, int height);
