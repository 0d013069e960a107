#include "res/resgen/fonts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Rows 0-6 hold capitals and the x-height band (rows 2-6); rows 7 and 8
// hold descenders. A glyph may list fewer rows; the rest are empty.
struct PixelGlyph {
  char c;
  std::vector<std::string_view> rows;
};

const std::vector<PixelGlyph>& PixelGlyphs() {
  static const std::vector<PixelGlyph> glyphs = {
      {' ', {"..", "..", "..", "..", "..", "..", ".."}},
      {',', {"..", "..", "..", "..", "..", ".#", ".#", "#."}},
      {'.', {".", ".", ".", ".", ".", ".", "#"}},
      {'-', {"...", "...", "...", "###", "...", "...", "..."}},
      {'/', {"....#", "...#.", "...#.", "..#..", ".#...", ".#...", "#...."}},
      {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
      {'1', {".#.", "##.", ".#.", ".#.", ".#.", ".#.", "###"}},
      {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
      {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
      {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
      {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
      {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
      {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
      {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
      {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
      {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
      {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
      {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
      {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
      {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
      {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
      {'I', {"###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"}},
      {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
      {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
      {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
      {'S', {".###.", "#...#", "#....", ".###.", "....#", "#...#", ".###."}},
      {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
      {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}},
      {'b', {"#....", "#....", "####.", "#...#", "#...#", "#...#", "####."}},
      {'c', {"....", "....", ".###", "#...", "#...", "#...", ".###"}},
      {'d', {"....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"}},
      {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
      {'f', {"..##", ".#..", "####", ".#..", ".#..", ".#..", ".#.."}},
      {'g', {".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
      {'h', {"#....", "#....", "####.", "#...#", "#...#", "#...#", "#...#"}},
      {'i', {"#", ".", "#", "#", "#", "#", "#"}},
      {'j', {"..#", "...", "..#", "..#", "..#", "..#", "..#", "..#", "##."}},
      {'k', {"#...", "#...", "#..#", "#.#.", "##..", "#.#.", "#..#"}},
      {'l', {"#.", "#.", "#.", "#.", "#.", "#.", ".#"}},
      {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"}},
      {'n', {".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#"}},
      {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."}},
      {'p', {".....", ".....", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."}},
      {'q', {".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", "....#"}},
      {'r', {"....", "....", "#.##", "##..", "#...", "#...", "#..."}},
      {'s', {"....", "....", ".###", "#...", ".##.", "...#", "###."}},
      {'t', {".#.", ".#.", "###", ".#.", ".#.", ".#.", "..#"}},
      {'u', {".....", ".....", "#...#", "#...#", "#...#", "#...#", ".####"}},
      {'v', {".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
      {'w', {".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."}},
      {'x', {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"}},
      {'y', {".....", ".....", "#...#", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
      {'z', {".....", ".....", "#####", "...#.", "..#..", ".#...", "#####"}},
  };
  return glyphs;
}

const PixelGlyph& FindPixelGlyph(char c) {
  for (const PixelGlyph& g : PixelGlyphs()) {
    if (g.c == c) return g;
  }
  throw std::runtime_error(std::string("the pixel font has no '") + c + "'");
}

struct Segment {
  double x0, y0, x1, y1;
};
// Centre, radius, and the span swept counter-clockwise (y up) in degrees.
struct Arc {
  double cx, cy, r, from, to;
};
struct StrokeGlyph {
  char c;
  double advance;  // width of the centre lines
  std::vector<Segment> segments;
  std::vector<Arc> arcs;
};

// Font units: baseline at y 0, y up, capitals and ascenders 10 high,
// x-height 7, centre lines of the strokes.
const std::vector<StrokeGlyph>& StrokeGlyphs() {
  static const std::vector<StrokeGlyph> glyphs = {
      {'R', 6.0, {{0, 0, 0, 10}, {0, 10, 3, 10}, {3, 4.8, 0, 4.8}, {2.8, 4.8, 6.0, 0}},
       {{3, 7.4, 2.6, -90, 90}}},
      {'a', 7.0, {{7, 0, 7, 7}}, {{3.5, 3.5, 3.5, 0, 360}}},
      {'v', 6.4, {{0, 7, 3.2, 0}, {3.2, 0, 6.4, 7}}, {}},
      {'e', 7.0, {{0, 3.5, 7, 3.5}}, {{3.5, 3.5, 3.5, 0, 310}}},
      {'l', 0.0, {{0, 0, 0, 10.6}}, {}},
      {'i', 0.0, {{0, 0, 0, 7}, {0, 9.8, 0, 9.8}}, {}},
      {'n', 6.4, {{0, 0, 0, 7}, {6.4, 3.8, 6.4, 0}}, {{3.2, 3.8, 3.2, 0, 180}}},
  };
  return glyphs;
}

const StrokeGlyph& FindStrokeGlyph(char c) {
  for (const StrokeGlyph& g : StrokeGlyphs()) {
    if (g.c == c) return g;
  }
  throw std::runtime_error(std::string("the stroke font has no '") + c + "'");
}

double DistanceToSegment(double px, double py, const Segment& s) {
  const double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
  const double lengthSquared = dx * dx + dy * dy;
  double t = 0;
  if (lengthSquared > 0) t = std::clamp(((px - s.x0) * dx + (py - s.y0) * dy) / lengthSquared, 0.0, 1.0);
  return std::hypot(px - (s.x0 + t * dx), py - (s.y0 + t * dy));
}

double DistanceToArc(double px, double py, const Arc& a) {
  const double pi = std::numbers::pi;
  double angle = std::atan2(py - a.cy, px - a.cx) * 180.0 / pi;
  // Measure the point's angle from the arc's start, counter-clockwise.
  double along = std::fmod(angle - a.from, 360.0);
  if (along < 0) along += 360.0;
  if (along <= a.to - a.from) return std::abs(std::hypot(px - a.cx, py - a.cy) - a.r);
  auto endDistance = [&](double degrees) {
    const double rad = degrees * pi / 180.0;
    return std::hypot(px - (a.cx + a.r * std::cos(rad)), py - (a.cy + a.r * std::sin(rad)));
  };
  return std::min(endDistance(a.from), endDistance(a.to));
}

}  // namespace

int PixelTextWidth(std::string_view text) {
  int width = 0;
  for (char c : text) width += static_cast<int>(FindPixelGlyph(c).rows[0].size()) + 1;
  return width > 0 ? width - 1 : 0;
}

void DrawPixelText(RgbCanvas& canvas, int x, int top, std::string_view text, const Colour& colour) {
  for (char c : text) {
    const PixelGlyph& glyph = FindPixelGlyph(c);
    const int glyphWidth = static_cast<int>(glyph.rows[0].size());
    for (size_t row = 0; row < glyph.rows.size(); ++row) {
      for (int col = 0; col < glyphWidth && col < static_cast<int>(glyph.rows[row].size()); ++col) {
        if (glyph.rows[row][col] == '#') canvas.Blend(x + col, top + static_cast<int>(row), colour, 1.0);
      }
    }
    x += glyphWidth + 1;
  }
}

double StrokeTextWidth(std::string_view text, const StrokeTextStyle& style) {
  double units = 0;
  for (char c : text) units += FindStrokeGlyph(c).advance + style.thickness + style.letterGap;
  if (!text.empty()) units -= style.letterGap;
  return units * style.scale;
}

void CoverStrokeText(Coverage& coverage, double x, double baseline, std::string_view text,
                     const StrokeTextStyle& style) {
  // Glyph origins in font units from x; the half thickness keeps round
  // ends inside the measured width.
  std::vector<std::pair<const StrokeGlyph*, double>> placed;
  double pen = style.thickness / 2;
  for (char c : text) {
    const StrokeGlyph& glyph = FindStrokeGlyph(c);
    placed.emplace_back(&glyph, pen);
    pen += glyph.advance + style.thickness + style.letterGap;
  }
  const double half = style.thickness / 2;
  coverage.Fill([&](double px, double py) {
    const double gy = (baseline - py) / style.scale;
    const double gx = (px - x) / style.scale - style.slant * gy;
    for (const auto& [glyph, origin] : placed) {
      const double lx = gx - origin;
      if (lx < -style.thickness || lx > glyph->advance + style.thickness) continue;
      for (const Segment& s : glyph->segments) {
        if (DistanceToSegment(lx, gy, s) <= half) return true;
      }
      for (const Arc& a : glyph->arcs) {
        if (DistanceToArc(lx, gy, a) <= half) return true;
      }
    }
    return false;
  });
}
