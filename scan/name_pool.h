#pragma once
#include <cstdint>

// An append-only arena of NUL-terminated texts, emptied only as a whole.
// References handed out by Append stay valid until the next Reset.
struct NamePool {
  char* base = nullptr;
  int32_t used = 0;
  int32_t capacity = 0;

  // Gives the pool a new empty arena; false (and no storage) when it cannot.
  bool Reset(int32_t newCapacity);
  // The stored copy, or nullptr when there is no storage or no room for it.
  const char* Append(const char* text);
  // Releases the arena at the end of the run.
  void Release();
};

inline constexpr int32_t kDirectoryPoolSize = 51200;
inline constexpr int32_t kFilePoolSize = 256000;
inline constexpr int32_t kSubdirectoryPoolSize = 25600;

// The run's three pools: directory paths and file names that catalogue
// records refer to, and the directory search's stack of pending names.
extern NamePool directoryNamePool;
extern NamePool fileNamePool;
extern NamePool subdirectoryNamePool;
