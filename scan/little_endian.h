#pragma once
#include <cstdint>

// The one place numbers are put into or taken out of little-endian bytes.
// The pointers reach bytes already bounded: ByteReader checks a scanned
// file's before it reads them, and the writers fill buffers the program
// sized itself.
inline uint16_t GetLe16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }
inline uint32_t GetLe32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
         (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}
inline int32_t GetLeI32(const uint8_t* at) { return static_cast<int32_t>(GetLe32(at)); }

inline void PutLe16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}
inline void PutLe32(uint8_t* at, uint32_t value) {
  PutLe16(at, value & 0xFFFF);
  PutLe16(at + 2, value >> 16);
}
inline void PutLeI32(uint8_t* at, int32_t value) { PutLe32(at, static_cast<uint32_t>(value)); }
