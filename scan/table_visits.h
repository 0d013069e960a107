#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include "scan/scan_window.h"

// One bit per window offset at which a directory table has been walked in
// one file. A tree whose links lead back to a table already walked (a loop,
// or many entries sharing one subtree) is walked once, which bounds the work
// of any file by the size of its window.
// Marks offset's bit in bits: false when it was marked before. offset lies
// in the window (callers check that its table fits first).
inline bool MarkVisitedBit(uint8_t* bits, int64_t offset) {
  uint8_t bit = static_cast<uint8_t>(1u << (offset & 7));
  uint8_t& byte = bits[offset >> 3];
  if (byte & bit) return false;
  byte |= bit;
  return true;
}

template <int64_t kWindowSize>
class TableVisitsOver {
 public:
  void Clear() { memset(bits_, 0, sizeof bits_); }
  bool MarkVisited(int64_t offset) { return MarkVisitedBit(bits_, offset); }

 private:
  uint8_t bits_[kWindowSize / 8] = {};
};
using TableVisits = TableVisitsOver<kScanWindowSize>;

// The same over a window whose length is known only once it is read: a
// small file clears and holds bits for its own bytes, not for the largest
// window.
class SizedTableVisits {
 public:
  void Reset(int64_t windowLength) { bits_.assign(static_cast<size_t>((windowLength + 7) / 8), 0); }
  bool MarkVisited(int64_t offset) { return MarkVisitedBit(bits_.data(), offset); }

 private:
  std::vector<uint8_t> bits_;
};
