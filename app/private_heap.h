// The engine's allocation entry points for containers and small objects, and
// the allocator type that routes standard containers through them. On Linux
// the C heap already serves many small blocks well, so the "private heap" is
// malloc/free behind the same three calls. Any thread.
#pragma once

#include <cstddef>
#include <new>

// count × size bytes, not cleared; null when the product overflows or the
// memory cannot be had.
void* PrivateHeapAlloc(size_t count, size_t size);
void PrivateHeapFree(void* pointer);
// Frees only a non-null pointer.
void PrivateHeapFreeIfSet(void* pointer);

template <class T>
struct PrivateHeapAllocator {
  using value_type = T;

  PrivateHeapAllocator() noexcept = default;
  template <class U>
  PrivateHeapAllocator(const PrivateHeapAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    void* p = PrivateHeapAlloc(n, sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t) noexcept { PrivateHeapFree(p); }

  template <class U>
  bool operator==(const PrivateHeapAllocator<U>&) const noexcept {
    return true;
  }
};
