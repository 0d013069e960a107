#pragma once
#include <string_view>
#include <vector>

#include "res/resgen/raster.h"

// The small pictures are drawn as text, one character per pixel, so that
// they can be read and edited in the source. A key maps each character to
// a palette index or to transparency.
struct ArtSymbol {
  char symbol;
  uint8_t index;
  bool transparent;
};

// The standard 16-colour palette in its usual order; a toolbar strip in
// these colours lets the toolbar map its grey to the button face.
const std::vector<Rgb>& VgaPalette();

// Letters for the VGA colours: k black, r maroon, g green, o olive, n navy,
// p purple, t teal, s silver, d dark grey, R red, G lime, Y yellow, B blue,
// M fuchsia, C aqua, w white. '.' is transparent (index 0, black, as the
// colour part of a transparent icon pixel must be) or, for the toolbar, the
// silver background.
std::vector<ArtSymbol> VgaKey(bool dotIsTransparent);

// Monochrome cursors: k black, w white, '.' transparent.
std::vector<ArtSymbol> MonochromeKey();
const std::vector<Rgb>& MonochromePalette();

// Throws std::runtime_error naming the row when a row has another length
// than the first or a character missing from the key: such a table is a
// fault in this tool's source and must stop the build.
MaskedImage ParsePixelArt(const std::vector<std::string_view>& rows,
                          const std::vector<ArtSymbol>& key, const std::vector<Rgb>& palette);

// A canvas of the given size with the art pasted at (x, y); the rest is
// transparent (index 0).
MaskedImage PlaceArt(int width, int height, int x, int y, const MaskedImage& art);
