#pragma once
#include <string_view>

#include "res/resgen/raster.h"

// A proportional pixel font for small lettering: capitals and digits 7
// pixels high, lower case with descenders, one pixel between letters.
// Both functions throw std::runtime_error for a character the font lacks.
int PixelTextWidth(std::string_view text);
// top is the row of the capitals' top edge.
void DrawPixelText(RgbCanvas& canvas, int x, int top, std::string_view text, const Colour& colour);

// An outline-free stroke font for the program's name: every letter is a
// few lines and circular arcs of equal thickness. Only the letters the
// artwork needs are drawn.
struct StrokeTextStyle {
  double scale = 2.4;        // pixels per font unit; capitals are 10 units high
  double thickness = 1.7;    // stroke width in font units
  double slant = 0.12;       // horizontal shift per unit of height
  double letterGap = 1.9;    // space between the strokes of neighbouring letters, in font units
};
double StrokeTextWidth(std::string_view text, const StrokeTextStyle& style);
// Marks the pixels the text covers; x and baseline are in pixels.
void CoverStrokeText(Coverage& coverage, double x, double baseline, std::string_view text,
                     const StrokeTextStyle& style);
