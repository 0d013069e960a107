#pragma once
#include <cstdint>

// A mouse message's position: the low and high words of its parameter as
// signed 16-bit coordinates. Client coordinates for clicks and moves, screen
// coordinates for the wheel, where a monitor left of or above the primary
// one makes them negative. Bits above the 32-bit parameter are no part of it.
struct MousePoint {
  int32_t x;
  int32_t y;
};

inline MousePoint MousePointOf(uint64_t lParam) {
  return {static_cast<int16_t>(static_cast<uint16_t>(lParam & 0xFFFF)),
          static_cast<int16_t>(static_cast<uint16_t>((lParam >> 16) & 0xFFFF))};
}
