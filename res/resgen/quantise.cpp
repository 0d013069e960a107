#include "res/resgen/quantise.h"

#include <algorithm>
#include <map>

namespace {

struct Weighted {
  Rgb colour;
  int count;
};

int Channel(const Rgb& c, int axis) { return axis == 0 ? c.r : axis == 1 ? c.g : c.b; }

struct Box {
  std::vector<Weighted> colours;
  int64_t pixels = 0;

  // The channel with the widest spread, and that spread.
  std::pair<int, int> LongestAxis() const {
    int bestAxis = 0;
    int bestSpan = -1;
    for (int axis = 0; axis < 3; ++axis) {
      int lo = 255;
      int hi = 0;
      for (const Weighted& w : colours) {
        lo = std::min(lo, Channel(w.colour, axis));
        hi = std::max(hi, Channel(w.colour, axis));
      }
      if (hi - lo > bestSpan) {
        bestSpan = hi - lo;
        bestAxis = axis;
      }
    }
    return {bestAxis, bestSpan};
  }

  Rgb Mean() const {
    int64_t r = 0, g = 0, b = 0;
    for (const Weighted& w : colours) {
      r += int64_t{w.colour.r} * w.count;
      g += int64_t{w.colour.g} * w.count;
      b += int64_t{w.colour.b} * w.count;
    }
    auto avg = [&](int64_t sum) { return static_cast<uint8_t>((sum + pixels / 2) / pixels); };
    return {avg(r), avg(g), avg(b)};
  }
};

uint32_t Key(const Rgb& c) { return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b; }

int Distance(const Rgb& a, const Rgb& b) {
  const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return dr * dr + dg * dg + db * db;
}

std::vector<Rgb> MedianCut(const std::map<uint32_t, Weighted>& histogram, int maxColours) {
  std::vector<Box> boxes(1);
  for (const auto& [key, w] : histogram) {
    boxes[0].colours.push_back(w);
    boxes[0].pixels += w.count;
  }
  while (static_cast<int>(boxes.size()) < maxColours) {
    // Split the box whose widest spread, weighted by the pixels it stands
    // for, is largest: smooth gradients then get many steps.
    int chosen = -1;
    int64_t bestScore = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].colours.size() < 2) continue;
      const int64_t score = int64_t{boxes[i].LongestAxis().second + 1} * boxes[i].pixels;
      if (score > bestScore) {
        bestScore = score;
        chosen = static_cast<int>(i);
      }
    }
    if (chosen < 0) break;
    Box& box = boxes[static_cast<size_t>(chosen)];
    const int axis = box.LongestAxis().first;
    std::stable_sort(box.colours.begin(), box.colours.end(),
                     [axis](const Weighted& a, const Weighted& b) {
                       return Channel(a.colour, axis) < Channel(b.colour, axis);
                     });
    int64_t running = 0;
    size_t cut = 1;
    for (size_t i = 0; i + 1 < box.colours.size(); ++i) {
      running += box.colours[i].count;
      cut = i + 1;
      if (2 * running >= box.pixels) break;
    }
    Box upper;
    upper.colours.assign(box.colours.begin() + static_cast<std::ptrdiff_t>(cut), box.colours.end());
    box.colours.resize(cut);
    box.pixels = 0;
    for (const Weighted& w : box.colours) box.pixels += w.count;
    for (const Weighted& w : upper.colours) upper.pixels += w.count;
    boxes.push_back(std::move(upper));
  }
  std::vector<Rgb> palette;
  for (const Box& box : boxes) palette.push_back(box.Mean());
  return palette;
}

}  // namespace

IndexedImage Quantise(const RgbCanvas& canvas, int maxColours) {
  maxColours = std::clamp(maxColours, 1, 256);
  std::map<uint32_t, Weighted> histogram;
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      const Rgb c = canvas.ToRgb(x, y);
      auto [it, added] = histogram.try_emplace(Key(c), Weighted{c, 0});
      ++it->second.count;
    }
  }
  std::vector<Rgb> palette;
  if (static_cast<int>(histogram.size()) <= maxColours) {
    for (const auto& [key, w] : histogram) palette.push_back(w.colour);
  } else {
    palette = MedianCut(histogram, maxColours);
  }

  IndexedImage out(canvas.width(), canvas.height(), palette);
  std::map<uint32_t, uint8_t> nearest;
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      const Rgb c = canvas.ToRgb(x, y);
      auto it = nearest.find(Key(c));
      if (it == nearest.end()) {
        size_t best = 0;
        for (size_t i = 1; i < palette.size(); ++i) {
          if (Distance(palette[i], c) < Distance(palette[best], c)) best = i;
        }
        it = nearest.emplace(Key(c), static_cast<uint8_t>(best)).first;
      }
      out.Set(x, y, it->second);
    }
  }
  return out;
}
