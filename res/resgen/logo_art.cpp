#include "res/resgen/logo_art.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string_view>

#include "res/resgen/fonts.h"
#include "res/resgen/quantise.h"

namespace {

// A canvas with opacity, kept premultiplied so that shapes can be laid over
// a see-through background and still be read back as plain colours.
class LayerCanvas {
 public:
  LayerCanvas(int w, int h)
      : width_(w), height_(h), colour_(static_cast<size_t>(w) * h), alpha_(colour_.size(), 0.0) {}
  int width() const { return width_; }
  int height() const { return height_; }

  void Over(int x, int y, const Colour& c, double opacity) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || opacity <= 0.0) return;
    opacity = std::min(opacity, 1.0);
    const size_t i = Index(x, y);
    Colour& p = colour_[i];
    p = {c.r * opacity + p.r * (1 - opacity), c.g * opacity + p.g * (1 - opacity),
         c.b * opacity + p.b * (1 - opacity)};
    alpha_[i] = opacity + alpha_[i] * (1 - opacity);
  }
  double Alpha(int x, int y) const { return alpha_[Index(x, y)]; }
  // The colour without its opacity; black where nothing was painted.
  Colour Plain(int x, int y) const {
    const double a = Alpha(x, y);
    if (a <= 0.0) return {};
    const Colour& p = colour_[Index(x, y)];
    return {p.r / a, p.g / a, p.b / a};
  }

 private:
  size_t Index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }
  int width_;
  int height_;
  std::vector<Colour> colour_;
  std::vector<double> alpha_;
};

// Where the parts of the logo lie, in pixels.
constexpr double kFrameLeft = 8, kFrameTop = 22, kFrameSize = 64, kFrameRadius = 5;
constexpr double kFrameWidth = 3, kMatWidth = 2;
constexpr double kLensX = 54, kLensY = 60, kLensRadius = 12.5, kRingRadius = 16.5;
constexpr double kHandleFrom = 15, kHandleTo = 33.5, kHandleHalfWidth = 3.6;
constexpr double kLensZoom = 2.5;
constexpr double kTitleLeft = 95, kTitleBaseline = 54, kTitleScale = 2.2;
constexpr int kRuleY = 61;
constexpr int kSubtitleLeft = 98, kSubtitleTop = 67, kSubtitleLineGap = 11;
constexpr double kShadowOpacity = 0.38;
constexpr int kShadowOffset = 2;
constexpr int kShadowBlurRadius = 2;

constexpr Colour kFrameColour{0.16, 0.20, 0.28};
constexpr Colour kMatColour{0.97, 0.97, 0.94};
constexpr Colour kSkyHigh{0.36, 0.62, 0.93};
constexpr Colour kSkyLow{0.78, 0.90, 1.0};
constexpr Colour kSun{1.0, 0.86, 0.25};
constexpr Colour kFarHill{0.40, 0.72, 0.32};
constexpr Colour kNearHill{0.17, 0.48, 0.20};
constexpr Colour kHandleLight{0.78, 0.22, 0.16};
constexpr Colour kHandleDark{0.36, 0.07, 0.05};
constexpr Colour kRingLight{0.92, 0.93, 0.96};
constexpr Colour kRingDark{0.30, 0.32, 0.38};
constexpr Colour kTitleTop{0.14, 0.30, 0.60};
constexpr Colour kTitleBottom{0.03, 0.09, 0.26};
constexpr Colour kRuleColour{0.85, 0.62, 0.18};
constexpr Colour kSubtitleColour{0.20, 0.25, 0.34};
constexpr Colour kWhite{1.0, 1.0, 1.0};
constexpr Colour kBlack{0.0, 0.0, 0.0};

double DistanceToSegment(double px, double py, double x0, double y0, double x1, double y1) {
  const double dx = x1 - x0, dy = y1 - y0;
  const double t = std::clamp(((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(px - (x0 + t * dx), py - (y0 + t * dy));
}

bool InRoundedSquare(double px, double py, double left, double top, double size, double radius) {
  const double cx = std::clamp(px, left + radius, left + size - radius);
  const double cy = std::clamp(py, top + radius, top + size - radius);
  return std::hypot(px - cx, py - cy) <= radius;
}

// The picture inside the frame: sky, sun and two hills, in coordinates
// relative to the picture's top-left corner and size.
Colour Landscape(double u, double v) {
  if (std::hypot(u - 0.68, v - 0.28) <= 0.12) return kSun;
  const double farHill = 0.58 + 0.07 * std::sin(u * 7.0 + 0.8);
  const double nearHill = 0.74 + 0.06 * std::sin(u * 5.2 + 2.6);
  if (v > nearHill) return kNearHill;
  if (v > farHill) return kFarHill;
  return Mix(kSkyHigh, kSkyLow, std::clamp(v / 0.6, 0.0, 1.0));
}

// The picture's pixels, each the average of a 4 x 4 grid of samples.
std::vector<Colour> RenderPicture(int size) {
  std::vector<Colour> pixels(static_cast<size_t>(size) * size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      Colour sum;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const Colour c = Landscape((x + (sx + 0.5) / 4) / size, (y + (sy + 0.5) / 4) / size);
          sum = {sum.r + c.r / 16, sum.g + c.g / 16, sum.b + c.b / 16};
        }
      }
      pixels[static_cast<size_t>(y) * size + x] = sum;
    }
  }
  return pixels;
}

void PaintCoverage(LayerCanvas& canvas, const Coverage& coverage, auto colourAt,
                   double opacity = 1.0) {
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      const double c = coverage.At(x, y);
      if (c > 0) canvas.Over(x, y, colourAt(x, y), c * opacity);
    }
  }
}

// A soft shadow of everything opaque: the shapes' coverage, blurred by
// three box passes, which come close to a Gaussian.
void PaintShadow(LayerCanvas& canvas, const std::vector<const Coverage*>& shapes) {
  const int w = canvas.width(), h = canvas.height();
  std::vector<double> mask(static_cast<size_t>(w) * h, 0.0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double m = 0;
      for (const Coverage* shape : shapes) {
        m = std::max(m, shape->At(x - kShadowOffset, y - kShadowOffset));
      }
      mask[static_cast<size_t>(y) * w + x] = m;
    }
  }
  auto at = [&](const std::vector<double>& v, int x, int y) {
    return x < 0 || y < 0 || x >= w || y >= h ? 0.0 : v[static_cast<size_t>(y) * w + x];
  };
  for (int pass = 0; pass < 3; ++pass) {
    std::vector<double> across(mask.size()), down(mask.size());
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        double sum = 0;
        for (int d = -kShadowBlurRadius; d <= kShadowBlurRadius; ++d) sum += at(mask, x + d, y);
        across[static_cast<size_t>(y) * w + x] = sum / (2 * kShadowBlurRadius + 1);
      }
    }
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        double sum = 0;
        for (int d = -kShadowBlurRadius; d <= kShadowBlurRadius; ++d) sum += at(across, x, y + d);
        down[static_cast<size_t>(y) * w + x] = sum / (2 * kShadowBlurRadius + 1);
      }
    }
    mask = std::move(down);
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) canvas.Over(x, y, kBlack, kShadowOpacity * at(mask, x, y));
  }
}

// Lettering from the pixel font as a coverage of 0 or 1.
Coverage CoverPixelText(int w, int h, int x, int top, std::string_view text) {
  if (x + PixelTextWidth(text) > w) throw std::runtime_error("logo subtitle does not fit");
  RgbCanvas ink(w, h, kBlack);
  DrawPixelText(ink, x, top, text, kWhite);
  Coverage coverage(w, h);
  coverage.Fill(
      [&](double px, double py) {
        return ink.At(static_cast<int>(px), static_cast<int>(py)).r > 0.5;
      },
      1);
  return coverage;
}

}  // namespace

LogoImages MakeLogo() {
  const int w = kLogoWidth, h = kLogoHeight;
  LayerCanvas canvas(w, h);

  // The emblem, as on the program icon: a framed landscape under a
  // magnifying glass that shows its pixels enlarged.
  Coverage frame(w, h), mat(w, h), picture(w, h), handle(w, h), lens(w, h), ring(w, h);
  frame.Fill([](double px, double py) {
    return InRoundedSquare(px, py, kFrameLeft, kFrameTop, kFrameSize, kFrameRadius);
  });
  const double matLeft = kFrameLeft + kFrameWidth, matTop = kFrameTop + kFrameWidth;
  const double matSize = kFrameSize - 2 * kFrameWidth;
  mat.Fill(
      [&](double px, double py) { return InRoundedSquare(px, py, matLeft, matTop, matSize, 2); });
  const int pictureLeft = static_cast<int>(matLeft + kMatWidth);
  const int pictureTop = static_cast<int>(matTop + kMatWidth);
  const int pictureSize = static_cast<int>(matSize - 2 * kMatWidth);
  picture.Fill(
      [&](double px, double py) {
        return px >= pictureLeft && py >= pictureTop && px < pictureLeft + pictureSize &&
               py < pictureTop + pictureSize;
      },
      1);
  const double diagonal = std::sqrt(0.5);
  handle.Fill([&](double px, double py) {
    return DistanceToSegment(px, py, kLensX + kHandleFrom * diagonal,
                             kLensY + kHandleFrom * diagonal, kLensX + kHandleTo * diagonal,
                             kLensY + kHandleTo * diagonal) <= kHandleHalfWidth;
  });
  lens.Fill(
      [](double px, double py) { return std::hypot(px - kLensX, py - kLensY) <= kLensRadius; });
  ring.Fill([](double px, double py) {
    const double d = std::hypot(px - kLensX, py - kLensY);
    return d <= kRingRadius && d >= kLensRadius - 0.5;
  });

  Coverage title(w, h);
  StrokeTextStyle titleStyle;
  titleStyle.scale = kTitleScale;
  if (kTitleLeft + StrokeTextWidth("Ravelin", titleStyle) > w) {
    throw std::runtime_error("logo title does not fit");
  }
  CoverStrokeText(title, kTitleLeft, kTitleBaseline, "Ravelin", titleStyle);

  PaintShadow(canvas, {&frame, &handle, &ring, &title});

  PaintCoverage(canvas, frame, [](int, int) { return kFrameColour; });
  PaintCoverage(canvas, mat, [](int, int) { return kMatColour; });
  const std::vector<Colour> pixels = RenderPicture(pictureSize);
  auto pictureAt = [&](int px, int py) {
    px = std::clamp(px - pictureLeft, 0, pictureSize - 1);
    py = std::clamp(py - pictureTop, 0, pictureSize - 1);
    return pixels[static_cast<size_t>(py) * pictureSize + px];
  };
  PaintCoverage(canvas, picture, pictureAt);

  // The handle is shaded across its width, lit from the upper right.
  PaintCoverage(canvas, handle, [&](int x, int y) {
    const double across = ((x + 0.5 - kLensX) - (y + 0.5 - kLensY)) * diagonal;
    return Mix(kHandleDark, kHandleLight,
               std::clamp(0.5 + across / (2 * kHandleHalfWidth), 0.0, 1.0));
  });
  // Through the lens the picture's pixels show as blocks.
  PaintCoverage(canvas, lens, [&](int x, int y) {
    const double sx = kLensX + (x + 0.5 - kLensX) / kLensZoom;
    const double sy = kLensY + (y + 0.5 - kLensY) / kLensZoom;
    return Mix(pictureAt(static_cast<int>(sx), static_cast<int>(sy)), kSkyLow, 0.12);
  });
  PaintCoverage(canvas, ring, [](int x, int y) {
    // Metal lit from the upper left: bright where the ring faces the light.
    const double angle = std::atan2(y + 0.5 - kLensY, x + 0.5 - kLensX);
    const double light = 0.5 - 0.5 * std::cos(angle + 3 * std::numbers::pi / 4);
    return Mix(kRingDark, kRingLight, light);
  });
  Coverage glint(w, h);
  glint.Fill([](double px, double py) {
    const double d = std::hypot(px - kLensX, py - kLensY);
    const double angle = std::atan2(py - kLensY, px - kLensX);
    return d >= kLensRadius - 4.2 && d <= kLensRadius - 2.4 && angle < -1.75 && angle > -2.95;
  });
  PaintCoverage(
      canvas, glint, [](int, int) { return kWhite; }, 0.75);

  // The name, darker towards its baseline.
  const double capTop = kTitleBaseline - 10 * kTitleScale;
  PaintCoverage(canvas, title, [&](int, int y) {
    return Mix(kTitleTop, kTitleBottom,
               std::clamp((y + 0.5 - capTop) / (kTitleBaseline - capTop), 0.0, 1.0));
  });
  // A rule under the name that fades out towards both ends.
  const int ruleLeft = static_cast<int>(kTitleLeft) + 2;
  const int ruleRight = static_cast<int>(kTitleLeft + StrokeTextWidth("Ravelin", titleStyle));
  for (int x = ruleLeft; x < ruleRight; ++x) {
    const double t = static_cast<double>(x - ruleLeft) / (ruleRight - ruleLeft - 1);
    const double fade = std::clamp(std::min(t, 1.0 - t) * 6.0, 0.0, 1.0);
    canvas.Over(x, kRuleY, kRuleColour, fade);
    canvas.Over(x, kRuleY + 1, kRuleColour, 0.35 * fade);
  }
  PaintCoverage(canvas, CoverPixelText(w, h, kSubtitleLeft, kSubtitleTop, "Bitmap, icon and"),
                [](int, int) { return kSubtitleColour; });
  PaintCoverage(
      canvas, CoverPixelText(w, h, kSubtitleLeft, kSubtitleTop + kSubtitleLineGap, "cursor finder"),
      [](int, int) { return kSubtitleColour; });

  RgbCanvas plain(w, h, kBlack);
  std::vector<Rgb> greys;
  for (int i = 0; i < 256; ++i)
    greys.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)});
  IndexedImage alpha(w, h, greys);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      plain.Blend(x, y, canvas.Plain(x, y), 1.0);
      alpha.Set(x, y,
                static_cast<uint8_t>(std::lround(std::clamp(canvas.Alpha(x, y), 0.0, 1.0) * 255)));
    }
  }
  return {Quantise(plain, 256), std::move(alpha)};
}
