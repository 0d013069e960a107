#pragma once
#include <cstdint>

#include "image/view_geometry.h"

// Scroll-bar request codes, numbered as the system numbers them (the
// windows that pass them on check the numbers against the system's).
inline constexpr int32_t kScrollBarLineUp = 0;
inline constexpr int32_t kScrollBarLineDown = 1;
inline constexpr int32_t kScrollBarPageUp = 2;
inline constexpr int32_t kScrollBarPageDown = 3;
inline constexpr int32_t kScrollBarThumbPosition = 4;
inline constexpr int32_t kScrollBarThumbTrack = 5;

// What a scroll bar's request code asks of the view and the Finder. The
// thumb's release, top, bottom, the end of scrolling and anything else
// ask for nothing: the thumb's track has already moved them.
inline ScrollRequest ScrollRequestFromCode(int32_t code) {
  switch (code) {
    case kScrollBarLineUp:
      return ScrollRequest::LineUp;
    case kScrollBarLineDown:
      return ScrollRequest::LineDown;
    case kScrollBarPageUp:
      return ScrollRequest::PageUp;
    case kScrollBarPageDown:
      return ScrollRequest::PageDown;
    case kScrollBarThumbTrack:
      return ScrollRequest::ThumbTrack;
    default:
      return ScrollRequest::None;
  }
}
