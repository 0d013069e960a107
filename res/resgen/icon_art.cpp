#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include "res/resgen/artwork.h"
#include "res/resgen/pixel_art.h"

namespace {

using Art = std::vector<std::string_view>;

// Indices into VgaPalette.
constexpr uint8_t kBlack = 0, kMaroon = 1, kGreen = 2, kGrey = 8, kRed = 9, kLime = 10,
                  kYellow = 11, kAqua = 14, kWhite = 15;

// The landscape inside the picture frame, in 32 x 32 pixel coordinates.
uint8_t Landscape(int x, int y) {
  const double cx = x + 0.5, cy = y + 0.5;
  if (std::hypot(cx - 16.5, cy - 8.5) <= 3.2) return kYellow;
  const double farHill = 14.5 + 2.5 * std::sin(cx * 0.42 + 0.6);
  const double nearHill = 17.5 + 1.8 * std::sin(cx * 0.33 + 2.4);
  if (cy > nearHill) return kGreen;
  if (cy > farHill) return kLime;
  return kAqua;
}

// The program's picture: a framed landscape under a magnifying glass whose
// lens shows the landscape's pixels twice as large, which is what the
// program does with the pictures it finds.
MaskedImage DrawLargeAppIcon() {
  constexpr int kSize = 32;
  constexpr int kFrameLeft = 1, kFrameTop = 3, kFrameRight = 23, kFrameBottom = 23;
  constexpr double kLensX = 20.5, kLensY = 20.5, kLensRadius = 4.9, kRingRadius = 7.8;
  MaskedImage icon{IndexedImage(kSize, kSize, VgaPalette()),
                   std::vector<uint8_t>(kSize * kSize, 1)};
  auto put = [&](int x, int y, uint8_t index) {
    icon.colour.Set(x, y, index);
    icon.transparent[static_cast<size_t>(y) * kSize + x] = 0;
  };
  for (int y = kFrameTop; y < kFrameBottom; ++y) {
    for (int x = kFrameLeft; x < kFrameRight; ++x) {
      const bool edge = x == kFrameLeft || y == kFrameTop || x == kFrameRight - 1 || y == kFrameBottom - 1;
      const bool mat = x == kFrameLeft + 1 || y == kFrameTop + 1 || x == kFrameRight - 2 || y == kFrameBottom - 2;
      put(x, y, edge ? kBlack : mat ? kWhite : Landscape(x, y));
    }
  }
  // Handle first, so that the ring lies over its upper end.
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const double cx = x + 0.5, cy = y + 0.5;
      // Distance from the handle's axis, the diagonal from the ring outwards.
      const double t = std::clamp(((cx - kLensX) + (cy - kLensY)) / 2.0, 0.0, 10.6);
      const double d = std::hypot(cx - (kLensX + t), cy - (kLensY + t));
      if (t > 4.0 && d <= 2.3) put(x, y, d <= 1.3 ? (cx - cy > 0.3 ? kMaroon : kRed) : kBlack);
    }
  }
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const double cx = x + 0.5, cy = y + 0.5;
      const double r = std::hypot(cx - kLensX, cy - kLensY);
      if (r > kRingRadius) continue;
      if (r > kRingRadius - 0.8 || (r > kLensRadius && r <= kLensRadius + 0.7)) {
        put(x, y, kBlack);
      } else if (r > kLensRadius) {
        // Light from the top left on the rim.
        put(x, y, (cx - kLensX) + (cy - kLensY) < -2.0 ? kWhite : kGrey);
      } else {
        const int sx = static_cast<int>(std::floor(kLensX + (cx - kLensX) / 2.0 - 8.0));
        const int sy = static_cast<int>(std::floor(kLensY + (cy - kLensY) / 2.0 - 7.3));
        put(x, y, Landscape(sx, sy));
      }
    }
  }
  return icon;
}

const Art kSmallAppIcon = {
    "................",
    "kkkkkkkkkkkk....",
    "kwwwwwwwwwwk....",
    "kwCCCCCCYYwk....",
    "kwCCCCCCYYwk....",
    "kwCCCCCkkkkk....",
    "kwCCCGkCCCCk....",
    "kwCCGkCCCCCCk...",
    "kwCGGkCCCCGGk...",
    "kwGGGkCCGGGGk...",
    "kwgggkGGGGGGk...",
    "kkkkkkkGGGGkk...",
    ".......kkkkkrk..",
    "...........krrk.",
    "............krrk",
    ".............kk.",
};

const Art kOpenFolder = {
    "................",
    "................",
    "..kkkkk.........",
    ".kYwwwYk........",
    ".kwYYYYYkkkkkk..",
    ".kwYYYYYYYYYYk..",
    ".kwYYkkkkkkkkkkk",
    ".kwYkwYYYYYYYYok",
    ".kwkwYYYYYYYYok.",
    ".kkwYYYYYYYYok..",
    ".kwYYYYYYYYok...",
    ".kkkkkkkkkkk....",
    "................",
    "................",
    "................",
    "................",
};

const Art kClosedFolder = {
    "................",
    "................",
    "..kkkkk.........",
    ".kYwwwYk........",
    "kYYYYYYYkkkkkkk.",
    "kwwwwwwwwwwwwwYk",
    "kwYYYYYYYYYYYYok",
    "kwYYYYYYYYYYYYok",
    "kwYYYYYYYYYYYYok",
    "kwYYYYYYYYYYYYok",
    "kwYYYYYYYYYYYYok",
    "kwYYYYYYYYYYYYok",
    "kooooooooooooook",
    "kkkkkkkkkkkkkkkk",
    "................",
    "................",
};

IconFileEntry FourBitEntry(const MaskedImage& image) { return IconFileEntry{image, 4, 0, 0}; }

}  // namespace

std::vector<IconFileEntry> MakeAppIcon() {
  MaskedImage small = ParsePixelArt(kSmallAppIcon, VgaKey(true), VgaPalette());
  return {FourBitEntry(DrawLargeAppIcon()), FourBitEntry(small)};
}

IconFileEntry MakeOpenFolderIcon() {
  return FourBitEntry(ParsePixelArt(kOpenFolder, VgaKey(true), VgaPalette()));
}

IconFileEntry MakeClosedFolderIcon() {
  return FourBitEntry(ParsePixelArt(kClosedFolder, VgaKey(true), VgaPalette()));
}
