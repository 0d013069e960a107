#include "scan/name_pool.h"

#include <cstring>
#include <new>

NamePool directoryNamePool;
NamePool fileNamePool;
NamePool subdirectoryNamePool;

bool NamePool::Reset(int32_t newCapacity) {
  Release();
  if (newCapacity < 0) return false;
  base = new (std::nothrow) char[static_cast<size_t>(newCapacity)];
  if (base == nullptr) return false;
  capacity = newCapacity;
  used = 0;
  return true;
}

const char* NamePool::Append(const char* text) {
  if (base == nullptr) return nullptr;
  size_t n = strlen(text);
  // Subtraction keeps the test free of overflow for any text length.
  if (n >= static_cast<size_t>(capacity - used)) return nullptr;
  char* copy = base + used;
  memcpy(copy, text, n + 1);
  used += static_cast<int32_t>(n + 1);
  return copy;
}

void NamePool::Release() {
  delete[] base;
  base = nullptr;
}
