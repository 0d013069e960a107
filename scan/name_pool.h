#pragma once
#include <cstdint>
#include <vector>

// An arena a pool has filled and keeps, because references into it are
// still held.
struct NameArena {
  char* base;
  int32_t used;
};

// The most bytes all arenas of one pool may hold together: offsets into a
// pool are 32-bit.
inline constexpr int64_t kNamePoolCeiling = INT32_MAX;

// An append-only arena of NUL-terminated texts, emptied only as a whole.
// References handed out by Append and AppendGrowing stay valid until the next
// Reset.
struct NamePool {
  char* base = nullptr;
  int32_t used = 0;
  int32_t capacity = 0;
  // Arenas filled before base by AppendGrowing, oldest first.
  std::vector<NameArena> earlier;
  // Set back to kNamePoolCeiling by Reset; a test lowers it to run a pool
  // out of room as memory running out would.
  int64_t ceiling = kNamePoolCeiling;

  NamePool() = default;
  // A pool gives its arenas back with its owner.
  ~NamePool() { Release(); }
  NamePool(const NamePool&) = delete;
  NamePool& operator=(const NamePool&) = delete;
  // The arenas go with the pool; the one moved from is left empty. A
  // catalogue, which keeps its names in pools, moves with them.
  NamePool(NamePool&& other) noexcept { *this = static_cast<NamePool&&>(other); }
  NamePool& operator=(NamePool&& other) noexcept;

  // Gives the pool a new empty arena; false (and no storage) when it cannot.
  bool Reset(int32_t newCapacity);
  // The stored copy, or nullptr when there is no storage or no room for it.
  const char* Append(const char* text);
  // As Append, but a full arena is kept and a new one, as large as the last
  // or as the text needs, is started. nullptr only when no storage can be
  // had within the ceiling.
  const char* AppendGrowing(const char* text);
  // As Append, but a full arena is replaced by one twice as large holding the
  // same texts at the same offsets from base. References handed out earlier
  // no longer hold; offsets do. nullptr only when no storage can be had
  // within the ceiling.
  const char* AppendRelocating(const char* text);
  // Releases every arena at the end of the run.
  void Release();
};

inline constexpr int32_t kDirectoryPoolSize = 51200;
inline constexpr int32_t kFilePoolSize = 256000;
inline constexpr int32_t kSubdirectoryPoolSize = 25600;
