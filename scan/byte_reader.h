#pragma once
#include <cstddef>
#include <cstdint>

#include "scan/little_endian.h"

// A non-owning little-endian view over bytes taken from an untrusted file.
// A read outside [data, data + size) returns 0 and latches failure, so a
// header can be read whole and ok() tested once. Positions are 64-bit and
// may be negative, so callers can pass sums of file values without wrapping.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, int64_t size) : data_(data), size_(size < 0 ? 0 : size) {}

  // True when the len bytes from at lie wholly inside the view.
  // Unsigned, a negative at or len is larger than any size: two comparisons
  // where four would be, on the path of every read.
  bool Has(int64_t at, int64_t len) const {
    return static_cast<uint64_t>(at) <= static_cast<uint64_t>(size_) &&
           static_cast<uint64_t>(len) <= static_cast<uint64_t>(size_ - at);
  }
  uint8_t U8(int64_t at) const { return Has(at, 1) ? data_[at] : Fail(); }
  uint16_t U16(int64_t at) const {
    if (!Has(at, 2)) return Fail();
    return GetLe16(data_ + at);
  }
  uint32_t U32(int64_t at) const {
    if (!Has(at, 4)) return Fail();
    return GetLe32(data_ + at);
  }
  int32_t I32(int64_t at) const { return static_cast<int32_t>(U32(at)); }
  // PNG's numbers are big-endian. Byte by byte, so a number cut short by
  // the end of the view keeps the bytes that are there (and fails).
  uint32_t BigU32(int64_t at) const {
    return (static_cast<uint32_t>(U8(at)) << 24) | (static_cast<uint32_t>(U8(at + 1)) << 16) |
           (static_cast<uint32_t>(U8(at + 2)) << 8) | U8(at + 3);
  }

  const uint8_t* data() const { return data_; }
  int64_t size() const { return size_; }
  bool ok() const { return ok_; }

 private:
  uint8_t Fail() const {
    ok_ = false;
    return 0;
  }
  const uint8_t* data_;
  int64_t size_;
  mutable bool ok_ = true;
};
