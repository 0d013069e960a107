#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A palette image with rows from top to bottom, the way the artwork is
// drawn; the file writers turn it upside down for the DIB layout.
struct IndexedImage {
  int width = 0;
  int height = 0;
  std::vector<Rgb> palette;
  std::vector<uint8_t> pixels;

  IndexedImage() = default;
  IndexedImage(int w, int h, std::vector<Rgb> colours, uint8_t fill = 0);

  uint8_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  void Set(int x, int y, uint8_t index) { pixels[static_cast<size_t>(y) * width + x] = index; }
  // Copies source into this image with its top-left corner at (x, y); both
  // images must share the palette and the source must fit.
  void Paste(const IndexedImage& source, int x, int y);
};

// An icon or cursor picture: the colours plus the AND mask, where true
// marks a pixel through which the background shows.
struct MaskedImage {
  IndexedImage colour;
  std::vector<uint8_t> transparent;

  bool IsTransparent(int x, int y) const {
    return transparent[static_cast<size_t>(y) * colour.width + x] != 0;
  }
};

// Linear-light-free RGB in 0..1 per channel; the banner is painted here
// with coverage-weighted blending and quantised to a palette at the end.
struct Colour {
  double r = 0;
  double g = 0;
  double b = 0;
};

Colour Mix(const Colour& a, const Colour& b, double t);
Colour FromRgb(const Rgb& c);

class RgbCanvas {
 public:
  RgbCanvas(int w, int h, Colour fill);
  int width() const { return width_; }
  int height() const { return height_; }
  const Colour& At(int x, int y) const { return pixels_[Index(x, y)]; }
  // Lays colour over the pixel with the given opacity (0..1); outside pixels are ignored.
  void Blend(int x, int y, const Colour& colour, double alpha);
  Rgb ToRgb(int x, int y) const;

 private:
  size_t Index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }
  int width_;
  int height_;
  std::vector<Colour> pixels_;
};

// Fraction (0..1) of each pixel covered by a shape, found by sampling a
// grid inside the pixel. The shape answers whether a point lies inside it.
class Coverage {
 public:
  Coverage(int w, int h) : width_(w), height_(h), values_(static_cast<size_t>(w) * h, 0.0) {}
  template <typename Inside>
  void Fill(Inside inside, int samples = 4) {
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        int hits = 0;
        for (int sy = 0; sy < samples; ++sy) {
          for (int sx = 0; sx < samples; ++sx) {
            if (inside(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples)) ++hits;
          }
        }
        double value = static_cast<double>(hits) / (samples * samples);
        double& slot = values_[static_cast<size_t>(y) * width_ + x];
        if (value > slot) slot = value;
      }
    }
  }
  double At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0.0;
    return values_[static_cast<size_t>(y) * width_ + x];
  }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_;
  int height_;
  std::vector<double> values_;
};
