#pragma once
#include <cstdint>
#include <vector>

#include "image/image_loader.h"

// An icon's stored header gives the height of colour bitmap and mask
// together, so a DIB made from it would take the mask, and as many bytes
// again past it, for colour rows. This copy of header, masks and colour
// table states the visible height (its direction kept) and the checked pixel
// size, so it describes exactly the rows the loader verified and bounds any
// decoder to them. Bitmaps are drawn from such a copy too: their stored
// biSizeImage may be 0, which leaves an RLE decoder unbounded. image must be
// usable.
std::vector<uint8_t> ColourBitmapInfo(const LoadedImage& image);
