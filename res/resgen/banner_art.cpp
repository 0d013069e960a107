#include <algorithm>
#include <cmath>

#include "res/resgen/artwork.h"
#include "res/resgen/fonts.h"
#include "res/resgen/quantise.h"

namespace {

constexpr Colour kDeepBlue{0.04, 0.14, 0.30};
constexpr Colour kSeaBlue{0.07, 0.40, 0.50};
constexpr Colour kWhite{1.0, 1.0, 1.0};
constexpr Colour kGold{1.0, 0.84, 0.45};
constexpr Colour kShadow{0.0, 0.02, 0.08};
constexpr Colour kPale{0.66, 0.90, 1.0};

void PaintBackground(RgbCanvas& canvas) {
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      const double across = static_cast<double>(x) / (canvas.width() - 1);
      const double down = static_cast<double>(y) / (canvas.height() - 1);
      Colour c = Mix(kDeepBlue, kSeaBlue, across * across);
      // A soft sheen along the top edge.
      c = Mix(c, kWhite, 0.10 * (1.0 - down) * (1.0 - down));
      canvas.Blend(x, y, c, 1.0);
    }
  }
  // Faint pixel squares scattered towards the right, fading in.
  for (int row = 0; row < 5; ++row) {
    for (int col = 0; col < 24; ++col) {
      const int x = 210 + col * 6 + (row % 2) * 3;
      const int y = 3 + row * 7;
      const double seed = std::sin(col * 12.9898 + row * 78.233) * 43758.5453;
      const double noise = seed - std::floor(seed);
      if (noise < 0.45) continue;
      const double strength = 0.05 + 0.10 * noise * (x - 210) / 140.0;
      for (int dy = 0; dy < 4; ++dy) {
        for (int dx = 0; dx < 4; ++dx) canvas.Blend(x + dx, y + dy, kWhite, strength);
      }
    }
  }
}

void PaintEmblem(RgbCanvas& canvas, int left, int top) {
  const MaskedImage icon = MakeAppIcon()[0].image;
  for (int y = 0; y < icon.colour.height; ++y) {
    for (int x = 0; x < icon.colour.width; ++x) {
      if (icon.IsTransparent(x, y)) continue;
      canvas.Blend(left + x, top + y, FromRgb(icon.colour.palette[icon.colour.At(x, y)]), 1.0);
    }
  }
}

// The name, lit from above, with a soft shadow down and to the right.
void PaintTitle(RgbCanvas& canvas, double left, double baseline, const StrokeTextStyle& style) {
  Coverage text(canvas.width(), canvas.height());
  CoverStrokeText(text, left, baseline, "Ravelin", style);
  const int capTop = static_cast<int>(baseline - 10 * style.scale);
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      double shadow = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) shadow += text.At(x - 2 + dx, y - 2 + dy);
      }
      canvas.Blend(x, y, kShadow, 0.7 * shadow / 9.0);
    }
  }
  for (int y = 0; y < canvas.height(); ++y) {
    const double t = std::clamp((y - capTop) / (baseline - capTop), 0.0, 1.0);
    const Colour fill = Mix(kWhite, kGold, t * t);
    for (int x = 0; x < canvas.width(); ++x) canvas.Blend(x, y, fill, text.At(x, y));
  }
}

}  // namespace

IndexedImage MakeBanner() {
  RgbCanvas canvas(kBannerWidth, kBannerHeight, kDeepBlue);
  PaintBackground(canvas);
  PaintEmblem(canvas, 8, 4);
  StrokeTextStyle style;
  const double titleLeft = 52;
  const double baseline = 31;
  PaintTitle(canvas, titleLeft, baseline, style);
  const int taglineLeft = static_cast<int>(titleLeft + StrokeTextWidth("Ravelin", style)) + 18;
  DrawPixelText(canvas, taglineLeft, 9, "Bitmap, icon and cursor", kPale);
  DrawPixelText(canvas, taglineLeft, 22, "finder for NE and PE files", kPale);
  return Quantise(canvas, 256);
}
