#pragma once
#include <cstdint>
#include <vector>

#include "image/image_loader.h"

// The clipboard forms of an entry: its PNG file, as the PNG export writes
// it, and a packed DIB behind a 124-byte BITMAPV5HEADER, 32 bits a pixel,
// rows bottom-up, each pixel blue, green, red and its alpha, not
// premultiplied (the header's masks say where each lies). Bitmaps are
// opaque; icons and cursors keep the transparency the view shows.
struct ClipboardImage {
  std::vector<uint8_t> png;
  std::vector<uint8_t> dibV5;
};

inline constexpr int32_t kDibV5HeaderSize = 124;

// False, with out in any state, for an image whose pixels cannot be read.
bool BuildClipboardImage(const LoadedImage& image, ClipboardImage* out);
