#include "res/resgen/raster.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

IndexedImage::IndexedImage(int w, int h, std::vector<Rgb> colours, uint8_t fill)
    : width(w), height(h), palette(std::move(colours)), pixels(static_cast<size_t>(w) * h, fill) {}

void IndexedImage::Paste(const IndexedImage& source, int x, int y) {
  if (x < 0 || y < 0 || source.width > width - x || source.height > height - y) {
    throw std::runtime_error("pasted picture does not fit");
  }
  for (int sy = 0; sy < source.height; ++sy) {
    for (int sx = 0; sx < source.width; ++sx) Set(x + sx, y + sy, source.At(sx, sy));
  }
}

Colour Mix(const Colour& a, const Colour& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour FromRgb(const Rgb& c) { return {c.r / 255.0, c.g / 255.0, c.b / 255.0}; }

RgbCanvas::RgbCanvas(int w, int h, Colour fill)
    : width_(w), height_(h), pixels_(static_cast<size_t>(w) * h, fill) {}

void RgbCanvas::Blend(int x, int y, const Colour& colour, double alpha) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_ || alpha <= 0.0) return;
  Colour& p = pixels_[Index(x, y)];
  p = Mix(p, colour, std::min(alpha, 1.0));
}

Rgb RgbCanvas::ToRgb(int x, int y) const {
  auto channel = [](double v) {
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
  };
  const Colour& c = At(x, y);
  return {channel(c.r), channel(c.g), channel(c.b)};
}
