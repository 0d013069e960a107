#pragma once
#include <cstdint>
#include <vector>

#include "res/resgen/raster.h"

// Writers for the three file formats that windres takes in: .bmp, .ico
// and .cur. Each returns the whole file, or an empty vector when the
// picture cannot be stored that way (a bit count other than 1, 4 or 8, an
// index outside the palette, a palette too large for the bit count, or a
// size the format cannot express).

std::vector<uint8_t> EncodeBmpFile(const IndexedImage& image, int bitCount);

struct IconFileEntry {
  MaskedImage image;
  int bitCount = 4;
  // Used by cursor files only.
  int hotspotX = 0;
  int hotspotY = 0;
};

std::vector<uint8_t> EncodeIconFile(const std::vector<IconFileEntry>& entries);
std::vector<uint8_t> EncodeCursorFile(const std::vector<IconFileEntry>& entries);

// Bytes of one DIB row of the given width and bit count, rows being padded
// to whole 32-bit words.
int DibStride(int width, int bitCount);
