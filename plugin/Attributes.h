// The embed attributes the plug-in understands: "progressive", "limit" and
// "autorefresh". Names and the value "true" compare without regard to case;
// for a repeated attribute the last one wins.
#pragma once

#include <cstdint>
#include <string>

struct EmbedAttributes {
  bool progressive = true;
  int32_t limit = 0;  // 0: no limit
  bool noMenu = false;
};

// argn/argv as the browser passes them to NPP_New. In full-page mode only
// "autorefresh" is read.
EmbedAttributes ReadEmbedAttributes(int argc, const char* const* argn, const char* const* argv, bool fullPage);

// The leading decimal integer of the text (optional blanks and sign first),
// as atoi reads it; no number, or a negative one, gives 0. Values beyond 32
// bits saturate instead of wrapping.
int32_t ParseLimit(const char* text);

// The default save name: the last path component of a URL up to its first
// dot. A URL with no slash uses the whole text; query and fragment are ignored.
std::string SaveNameFromUrl(const std::string& url);
