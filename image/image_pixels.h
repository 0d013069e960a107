#pragma once
#include <cstdint>
#include <vector>

#include "image/image_loader.h"

// A usable image as 8-bit RGBA, rows top-down, the way the program shows it:
// bitmaps opaque; icons and cursors transparent where their AND mask is set,
// or with their own alpha when the loader found any (image.alpha); PNG
// images with their decoded pixels. Palette indices past the colour table
// take black, pixels an RLE bitmap leaves out palette index 0. False, with rgba cleared,
// for an unusable image or one whose pixels this cannot read (an RLE stream
// that runs past its bytes, JPEG or PNG in a bitmap, more than 2^25 pixels).
bool ImageToRgba(const LoadedImage& image, std::vector<uint8_t>* rgba);

// An image with its own alpha (image.alpha) laid over an opaque colour, as
// the rows of a top-down 32-bit DIB: blue, green, red, 0. Each channel is
// (c x a + back x (255 - a)) / 255, rounded to nearest. False, with bgra
// cleared, for an image without alpha or whose pixels cannot be read.
bool CompositeOver(const LoadedImage& image, uint8_t backRed, uint8_t backGreen, uint8_t backBlue,
                   std::vector<uint8_t>* bgra);
