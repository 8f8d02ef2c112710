#include "app/private_heap.h"

#include <cstdint>
#include <cstdlib>

void* PrivateHeapAlloc(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  const size_t bytes = count * size;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void PrivateHeapFree(void* pointer) { std::free(pointer); }

void PrivateHeapFreeIfSet(void* pointer) {
  if (pointer) std::free(pointer);
}
