#pragma once
#include "res/resgen/raster.h"

// The About box's logo, which the program lays over the button face: a
// colour image and a separate opacity image of the same size.
inline constexpr int kLogoWidth = 234;
inline constexpr int kLogoHeight = 114;

struct LogoImages {
  // At most 256 colours, without the opacity: a half-covered edge pixel
  // has its shape's full colour. Black where nothing was painted.
  IndexedImage colour;
  // Palette entry i is the grey (i, i, i) and a pixel's index is its
  // opacity, 0 for none and 255 for full.
  IndexedImage alpha;
};

LogoImages MakeLogo();
