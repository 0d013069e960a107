#pragma once
#include <cstdint>
#include <cstring>

#include "scan/scan_window.h"

// Type, name and language: the format never nests deeper, and a tree that
// claims to would let a hostile file recurse without end.
inline constexpr int kMaxDirectoryDepth = 3;

// One bit per window offset at which a directory table has been walked in
// one file. A tree whose links lead back to a table already walked (a loop,
// or many entries sharing one subtree) is walked once, which bounds the work
// of any file by the size of its window.
template <int64_t kWindowSize>
class TableVisitsOver {
 public:
  void Clear() { memset(bits_, 0, sizeof bits_); }
  // Forgets the walks of a window of windowLength bytes only, so that a
  // small file does not pay for clearing the largest window.
  void Clear(int64_t windowLength) {
    const int64_t used = windowLength < kWindowSize ? windowLength : kWindowSize;
    memset(bits_, 0, static_cast<size_t>((used + 7) / 8));
  }
  // False when the table at offset was walked before. offset lies in the
  // window (callers check that its table fits first).
  bool MarkVisited(int64_t offset) {
    uint8_t bit = static_cast<uint8_t>(1u << (offset & 7));
    uint8_t& byte = bits_[offset >> 3];
    if (byte & bit) return false;
    byte |= bit;
    return true;
  }

 private:
  // Left to Clear: a window of a megabyte would otherwise be cleared whole.
  uint8_t bits_[kWindowSize / 8];
};
using TableVisits = TableVisitsOver<kScanWindowSize>;
