#pragma once
// The storage of a table's lower half. Its cells are left unset when it is
// sized (no pass of zeros over tables of millions of cells that are about to
// be overwritten): whoever sizes it writes every cell before reading it.
// Large halves ask the system for huge pages, so that a table of millions of
// cells is touched in a few page faults instead of thousands.
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>
#ifdef __linux__
#include <sys/mman.h>
#endif

namespace lorvane {

template <typename T>
struct UnsetAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UnsetAllocator<U>;
  };
  using std::allocator<T>::allocator;

  static constexpr std::size_t kHuge = std::size_t{2} << 20;
  static bool huge(std::size_t n) { return n * sizeof(T) >= 2 * kHuge; }

  T* allocate(std::size_t n) {
#ifdef __linux__
    if (huge(n)) {
      const std::size_t bytes = (n * sizeof(T) + kHuge - 1) / kHuge * kHuge;
      void* p = std::aligned_alloc(kHuge, bytes);
      if (!p) throw std::bad_alloc();
      madvise(p, bytes, MADV_HUGEPAGE);
      return static_cast<T*>(p);
    }
#endif
    return std::allocator<T>::allocate(n);
  }
  void deallocate(T* p, std::size_t n) noexcept {
#ifdef __linux__
    if (huge(n)) {
      std::free(p);
      return;
    }
#endif
    std::allocator<T>::deallocate(p, n);
  }
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

using LowerHalf = std::vector<double, UnsetAllocator<double>>;

}  // namespace lorvane
