#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Little-endian writers for building executables in tests. Writing past the
// end grows the buffer with zero bytes, so a layout can be filled in any
// order.
inline void PutBytes(std::vector<uint8_t>& b, size_t at, const void* bytes, size_t n) {
  if (n == 0) return;  // nothing to place, so nothing to grow
  if (b.size() < at + n) b.resize(at + n, 0);
  const auto* from = static_cast<const uint8_t*>(bytes);
  // Element by element: gcc 12 at -O2 mistakes a memcpy of these spans for
  // an overflow (-Wstringop-overflow) once the resize above is inlined.
  for (size_t i = 0; i < n; ++i) b[at + i] = from[i];
}
inline void PutBytes(std::vector<uint8_t>& b, size_t at, const std::vector<uint8_t>& bytes) {
  PutBytes(b, at, bytes.data(), bytes.size());
}
inline void Put8(std::vector<uint8_t>& b, size_t at, uint8_t v) { PutBytes(b, at, &v, 1); }
inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  uint8_t le[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  PutBytes(b, at, le, 2);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  uint8_t le[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                   static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  PutBytes(b, at, le, 4);
}
inline uint32_t Get16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b.at(at)) | (static_cast<uint32_t>(b.at(at + 1)) << 8);
}
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b.at(at)) | (static_cast<uint32_t>(b.at(at + 1)) << 8) |
         (static_cast<uint32_t>(b.at(at + 2)) << 16) | (static_cast<uint32_t>(b.at(at + 3)) << 24);
}
inline size_t AlignUp(size_t value, size_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}
