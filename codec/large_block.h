// Storage for whole image planes. Blocks of several megabytes are mapped
// aligned to 2 MiB and offered to the kernel for transparent huge pages: a 12-megapixel
// plane then costs a few dozen page faults instead of ten thousand, which on
// virtual machines is a good part of a decode's time.
#pragma once

#include <sys/mman.h>

#include <algorithm>
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
    return static_cast<T*>(MapBlock(bytes));
  }
  void deallocate(T* block, size_t count) noexcept {
    if (count * sizeof(T) < kLargeBytes)
      ::operator delete(block);
    else
      UnmapBlock(block, count * sizeof(T));
  }

  // True if a block of `count` samples comes from fresh (zero) pages.
  static bool ComesZeroed(size_t count) { return count <= SIZE_MAX / sizeof(T) && count * sizeof(T) >= kLargeBytes; }

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
  static size_t Rounded(size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

  // Large blocks are fresh pages mapped for this block alone: they read as
  // zero and become memory only where written. WebAssembly has no real
  // pages and cannot unmap part of a mapping: there they come from calloc.
  static void* MapBlock(size_t bytes) {
#if defined(__EMSCRIPTEN__)
    void* block = std::calloc(bytes, 1);
    if (block == nullptr) throw std::bad_alloc();
    return block;
#else
    const size_t rounded = Rounded(bytes);
    // Map one huge page more than needed and trim both ends to 2 MiB.
    void* mapped = mmap(nullptr, rounded + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
    if (aligned > start) munmap(mapped, aligned - start);
    const size_t tail = (start + rounded + kHugePage) - (aligned + rounded);
    if (tail > 0) munmap(reinterpret_cast<void*>(aligned + rounded), tail);
    void* block = reinterpret_cast<void*>(aligned);
#if defined(MADV_HUGEPAGE)
    madvise(block, rounded, MADV_HUGEPAGE);
#endif
    return block;
#endif
  }
  static void UnmapBlock(void* block, size_t bytes) noexcept {
#if defined(__EMSCRIPTEN__)
    (void)bytes;
    std::free(block);
#else
    munmap(block, Rounded(bytes));
#endif
  }
  static constexpr size_t kHugePage = size_t{2} << 20;
  static constexpr size_t kLargeBytes = size_t{8} << 20;
};

// A plane's samples.
template <typename T>
using PlaneVector = std::vector<T, LargeBlockAllocator<T>>;

// Gives `plane` `count` zero samples in a new block, writing them only when
// the block does not come from fresh pages.
template <typename T>
void AllocateZeroed(PlaneVector<T>& plane, size_t count) {
  PlaneVector<T>().swap(plane);
  plane.resize(count);
  if (!LargeBlockAllocator<T>::ComesZeroed(count)) std::fill(plane.begin(), plane.end(), T{});
}

}  // namespace tavix
