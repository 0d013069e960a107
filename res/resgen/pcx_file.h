#pragma once
#include <cstdint>
#include <vector>

#include "res/resgen/raster.h"

// Writes an 8-bit, one-plane, run-length-encoded PCX file (version 5) with
// the 256-entry palette after its 0x0C marker; a shorter palette is padded
// with black. Each row is encoded on its own and, the width being even, is
// exactly one line of the file, so the pixel stream ends with the last
// pixel. Returns an empty vector when the picture cannot be stored that way
// (no pixels, a side over 65535, more than 256 colours, an index outside
// the palette, or an odd width, which the format would pad).
std::vector<uint8_t> EncodePcxFile(const IndexedImage& image);

// Offsets and sizes that a PCX reader relies on.
inline constexpr int kPcxHeaderSize = 128;
inline constexpr int kPcxPaletteSize = 768;
inline constexpr uint8_t kPcxPaletteMarker = 0x0C;
