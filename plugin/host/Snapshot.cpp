#include "plugin/host/Snapshot.h"

#include <cstdio>
#include <memory>

bool WritePpm(const std::string& path, const Snapshot& snapshot) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) return false;
  if (std::fprintf(file.get(), "P6\n%d %d\n255\n", snapshot.width, snapshot.height) < 0) return false;
  const size_t size = snapshot.rgb.size();
  if (size && std::fwrite(snapshot.rgb.data(), 1, size, file.get()) != size) return false;
  return std::fclose(file.release()) == 0;
}
