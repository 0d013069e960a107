#include "res/resgen/pixel_art.h"

#include <stdexcept>
#include <string>

const std::vector<Rgb>& VgaPalette() {
  static const std::vector<Rgb> palette = {
      {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
      {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
      {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
      {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
  };
  return palette;
}

std::vector<ArtSymbol> VgaKey(bool dotIsTransparent) {
  std::vector<ArtSymbol> key;
  const std::string_view letters = "krgonptsdRGYBMCw";
  for (size_t i = 0; i < letters.size(); ++i) {
    key.push_back({letters[i], static_cast<uint8_t>(i), false});
  }
  key.push_back(dotIsTransparent ? ArtSymbol{'.', 0, true} : ArtSymbol{'.', 7, false});
  return key;
}

const std::vector<Rgb>& MonochromePalette() {
  static const std::vector<Rgb> palette = {{0, 0, 0}, {255, 255, 255}};
  return palette;
}

std::vector<ArtSymbol> MonochromeKey() {
  return {{'k', 0, false}, {'w', 1, false}, {'.', 0, true}};
}

MaskedImage ParsePixelArt(const std::vector<std::string_view>& rows,
                          const std::vector<ArtSymbol>& key, const std::vector<Rgb>& palette) {
  if (rows.empty() || rows[0].empty()) throw std::runtime_error("pixel art without pixels");
  const int width = static_cast<int>(rows[0].size());
  const int height = static_cast<int>(rows.size());
  MaskedImage out{IndexedImage(width, height, palette),
                  std::vector<uint8_t>(static_cast<size_t>(width) * height, 0)};
  for (int y = 0; y < height; ++y) {
    if (static_cast<int>(rows[y].size()) != width) {
      throw std::runtime_error("pixel art row " + std::to_string(y) + " has " +
                               std::to_string(rows[y].size()) + " pixels, the first has " +
                               std::to_string(width));
    }
    for (int x = 0; x < width; ++x) {
      const ArtSymbol* found = nullptr;
      for (const ArtSymbol& s : key) {
        if (s.symbol == rows[y][x]) found = &s;
      }
      if (found == nullptr || found->index >= palette.size()) {
        throw std::runtime_error("pixel art row " + std::to_string(y) + " column " +
                                 std::to_string(x) + ": unknown symbol '" + rows[y][x] + "'");
      }
      out.colour.Set(x, y, found->index);
      out.transparent[static_cast<size_t>(y) * width + x] = found->transparent ? 1 : 0;
    }
  }
  return out;
}

MaskedImage PlaceArt(int width, int height, int x, int y, const MaskedImage& art) {
  MaskedImage out{IndexedImage(width, height, art.colour.palette),
                  std::vector<uint8_t>(static_cast<size_t>(width) * height, 1)};
  out.colour.Paste(art.colour, x, y);
  for (int ay = 0; ay < art.colour.height; ++ay) {
    for (int ax = 0; ax < art.colour.width; ++ax) {
      out.transparent[static_cast<size_t>(y + ay) * width + (x + ax)] =
          art.IsTransparent(ax, ay) ? 1 : 0;
    }
  }
  return out;
}
