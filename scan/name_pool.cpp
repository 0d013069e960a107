#include "scan/name_pool.h"

#include <cstring>
#include <new>

namespace {

// Bytes the pool's arenas take together, earlier ones included.
int64_t HeldBytes(const NamePool& pool) {
  int64_t held = pool.base != nullptr ? pool.capacity : 0;
  for (const NameArena& arena : pool.earlier) held += arena.used;
  return held;
}

// An arena of at least needed bytes, wanted if that fits under the ceiling;
// nullptr when memory or the ceiling refuses.
char* NewArena(const NamePool& pool, int64_t wanted, int64_t needed, int32_t* size) {
  int64_t room = pool.ceiling - HeldBytes(pool);
  if (wanted < needed) wanted = needed;
  if (wanted > room) wanted = room;
  if (wanted < needed) return nullptr;
  char* arena = new (std::nothrow) char[static_cast<size_t>(wanted)];
  if (arena != nullptr) *size = static_cast<int32_t>(wanted);
  return arena;
}

}  // namespace

bool NamePool::Reset(int32_t newCapacity) {
  Release();
  ceiling = kNamePoolCeiling;
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

const char* NamePool::AppendGrowing(const char* text) {
  if (const char* copy = Append(text)) return copy;
  if (base == nullptr) return nullptr;
  int32_t size = 0;
  char* arena = NewArena(*this, capacity, static_cast<int64_t>(strlen(text)) + 1, &size);
  if (arena == nullptr) return nullptr;
  earlier.push_back({base, used});
  // The old arena's unused tail is no longer counted against the ceiling.
  base = arena;
  capacity = size;
  used = 0;
  return Append(text);
}

const char* NamePool::AppendRelocating(const char* text) {
  if (const char* copy = Append(text)) return copy;
  if (base == nullptr) return nullptr;
  int64_t needed = static_cast<int64_t>(used) + static_cast<int64_t>(strlen(text)) + 1;
  int32_t size = 0;
  // The old arena is still held while the new one is taken.
  char* arena = NewArena(*this, 2 * static_cast<int64_t>(capacity), needed, &size);
  if (arena == nullptr) return nullptr;
  memcpy(arena, base, static_cast<size_t>(used));
  delete[] base;
  base = arena;
  capacity = size;
  return Append(text);
}

NamePool& NamePool::operator=(NamePool&& other) noexcept {
  if (this == &other) return *this;
  Release();
  base = other.base;
  used = other.used;
  capacity = other.capacity;
  earlier.swap(other.earlier);
  ceiling = other.ceiling;
  other.base = nullptr;
  other.used = 0;
  other.capacity = 0;
  return *this;
}

void NamePool::Release() {
  delete[] base;
  base = nullptr;
  for (const NameArena& arena : earlier) delete[] arena.base;
  earlier.clear();
}
