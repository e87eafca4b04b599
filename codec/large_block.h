// Storage for whole image planes. Blocks of several megabytes are aligned to
// 2 MiB and offered to the kernel for transparent huge pages: a 12-megapixel
// plane then costs a few dozen page faults instead of ten thousand, which on
// virtual machines is a good part of a decode's time.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

namespace tavix {

template <typename T>
struct LargeBlockAllocator {
  using value_type = T;

  LargeBlockAllocator() = default;
  template <typename U>
  LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

  T* allocate(size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    const size_t bytes = count * sizeof(T);
    if (bytes < kLargeBytes) return static_cast<T*>(::operator new(bytes));
    const size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    void* block = std::aligned_alloc(kHugePage, rounded);
    if (block == nullptr) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    madvise(block, rounded, MADV_HUGEPAGE);
#endif
    return static_cast<T*>(block);
  }
  void deallocate(T* block, size_t count) noexcept {
    if (count * sizeof(T) < kLargeBytes)
      ::operator delete(block);
    else
      std::free(block);
  }

  // resize() leaves new samples uninitialised (assign() still sets them):
  // planes that are about to be overwritten are not cleared first, which
  // would only double the kernel's own clearing of fresh pages.
  template <typename U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }

  template <typename U>
  bool operator==(const LargeBlockAllocator<U>&) const noexcept {
    return true;
  }

private:
  static constexpr size_t kHugePage = size_t{2} << 20;
  static constexpr size_t kLargeBytes = size_t{8} << 20;
};

// A plane's samples.
template <typename T>
using PlaneVector = std::vector<T, LargeBlockAllocator<T>>;

}  // namespace tavix
