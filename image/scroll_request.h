#pragma once
#include <cstdint>

// Scroll-bar requests, numbered as the system numbers them, so that the
// portable geometry of the view and of the Finder can take them as they come.
inline constexpr int32_t kScrollLineUp = 0;
inline constexpr int32_t kScrollLineDown = 1;
inline constexpr int32_t kScrollPageUp = 2;
inline constexpr int32_t kScrollPageDown = 3;
inline constexpr int32_t kScrollThumbPosition = 4;
inline constexpr int32_t kScrollThumbTrack = 5;
