#include "plugin/Attributes.h"

#include <cctype>
#include <cstdint>

namespace {

bool EqualsIgnoringCase(const char* a, const char* b) {
  if (!a || !b) return false;
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  return *a == *b;
}

bool IsTrue(const char* value) { return EqualsIgnoringCase(value, "true"); }

}  // namespace

int32_t ParseLimit(const char* text) {
  if (!text) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (!std::isdigit(static_cast<unsigned char>(*p))) return 0;
  int64_t value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*p)); ++p)
    if (value <= INT32_MAX) value = value * 10 + (*p - '0');
  if (negative) return 0;
  return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

EmbedAttributes ReadEmbedAttributes(int argc, const char* const* argn, const char* const* argv, bool fullPage) {
  EmbedAttributes attributes;
  if (!argn || !argv) return attributes;
  for (int i = 0; i < argc; ++i) {
    const char* name = argn[i];
    const char* value = argv[i];
    if (EqualsIgnoringCase(name, "autorefresh")) {
      attributes.noMenu = IsTrue(value);
    } else if (fullPage) {
      continue;
    } else if (EqualsIgnoringCase(name, "progressive")) {
      attributes.progressive = IsTrue(value);
    } else if (EqualsIgnoringCase(name, "limit")) {
      attributes.limit = ParseLimit(value);
    }
  }
  return attributes;
}

std::string SaveNameFromUrl(const std::string& url) {
  std::string path = url.substr(0, url.find_first_of("?#"));
  const size_t slash = path.find_last_of('/');
  std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
  return last.substr(0, last.find('.'));
}
