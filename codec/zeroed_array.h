// A fixed-size array of plain values that starts all zero. Large arrays are
// mapped straight from the kernel's zero pages: nothing is written at
// allocation, and a page only becomes memory once something is stored in
// it, so the sparse state of a low-rate decode stays small and quick to set
// up. Small arrays come from calloc.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

namespace tavix {

// Where a large array comes from: fresh pages (nothing resident until
// written: for sparse use), or the heap (which can hand back memory just
// freed: for arrays that are written in full at once).
enum class ZeroedSource { Pages, Heap };

template <typename T>
class ZeroedArray {
  static_assert(std::is_trivially_copyable_v<T>, "zero bytes must be a valid value");

public:
  ZeroedArray() = default;
  ~ZeroedArray() { Release(); }
  ZeroedArray(ZeroedArray&& other) noexcept
      : m_data(std::exchange(other.m_data, nullptr)),
        m_size(std::exchange(other.m_size, 0)),
        m_mapped(std::exchange(other.m_mapped, false)) {}
  ZeroedArray& operator=(ZeroedArray&& other) noexcept {
    if (this != &other) {
      Release();
      m_data = std::exchange(other.m_data, nullptr);
      m_size = std::exchange(other.m_size, 0);
      m_mapped = std::exchange(other.m_mapped, false);
    }
    return *this;
  }
  ZeroedArray(const ZeroedArray&) = delete;
  ZeroedArray& operator=(const ZeroedArray&) = delete;

  // Replaces the contents with `count` zero values; throws std::bad_alloc.
  void Reset(size_t count, ZeroedSource source = ZeroedSource::Pages) {
    Release();
    if (count == 0) return;
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    const size_t bytes = count * sizeof(T);
    if (bytes >= kMapAtBytes && source == ZeroedSource::Pages) {
      void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (block == MAP_FAILED) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
      // Dense enough at ordinary rates that whole huge pages cost little
      // extra memory and spare hundreds of faults per megabyte.
      if (bytes >= kHugeAtBytes) madvise(block, bytes, MADV_HUGEPAGE);
#endif
      m_data = static_cast<T*>(block);
      m_mapped = true;
    } else {
      m_data = static_cast<T*>(std::calloc(count, sizeof(T)));
      if (m_data == nullptr) throw std::bad_alloc();
    }
    m_size = count;
  }

  T* data() { return m_data; }
  const T* data() const { return m_data; }
  size_t size() const { return m_size; }
  T* begin() { return m_data; }
  T* end() { return m_data + m_size; }
  const T* begin() const { return m_data; }
  const T* end() const { return m_data + m_size; }
  T& operator[](size_t i) { return m_data[i]; }
  const T& operator[](size_t i) const { return m_data[i]; }

private:
  static constexpr size_t kMapAtBytes = size_t{256} << 10;
  static constexpr size_t kHugeAtBytes = size_t{8} << 20;

  void Release() {
    if (m_mapped)
      munmap(m_data, m_size * sizeof(T));
    else
      std::free(m_data);
    m_data = nullptr;
    m_size = 0;
    m_mapped = false;
  }

  T* m_data = nullptr;
  size_t m_size = 0;
  bool m_mapped = false;
};

}  // namespace tavix
