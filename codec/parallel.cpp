#include "codec/parallel.h"

#include <cstdlib>
#include <string>

namespace tavix {

int DefaultThreadCount() {
  if (const char* text = std::getenv("TAVIX_THREADS"); text != nullptr && *text != '\0') {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end != nullptr && *end == '\0' && value >= 1) return static_cast<int>(std::min<long>(value, kMaxThreads));
  }
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(static_cast<int>(cores), 1, kMaxThreads);
}

}  // namespace tavix
