#pragma once
#include "res/resgen/raster.h"

// Reduces a painted canvas to a palette image of at most maxColours
// colours (1..256). A canvas with no more colours than that keeps them all
// exactly; otherwise the palette comes from a median cut of the canvas's
// colours weighted by pixel count, and each pixel takes the nearest entry.
IndexedImage Quantise(const RgbCanvas& canvas, int maxColours);
