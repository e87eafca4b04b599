// What the plug-in tells a browser about itself: the strings of its
// version resource, and the same facts in the form Linux browsers ask for.
#pragma once

namespace version_info {

inline constexpr const char* kMIMEType = "images/Tavix|image/x-tavix";
inline constexpr const char* kFileExtents = "tvx |tvx ";
inline constexpr const char* kFileOpenName = "Image Tavix (*.tvx)|Image Tavix (*.tvx)";
inline constexpr const char* kFileDescription = "TAVIX";
inline constexpr const char* kInternalName = "TAVIX Plugin for Netscape";
inline constexpr const char* kFileVersion = "2, 5, 0, 0";
inline constexpr const char* kProductVersion = "2, 5, 0, 0";

// type:extension:description entries separated by semicolons.
inline constexpr const char* kMIMEDescription = "image/x-tavix:tvx:TAVIX Image;images/Tavix:tvx:TAVIX Image";

}  // namespace version_info
