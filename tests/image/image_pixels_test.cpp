// The pixels --png writes and alpha images are drawn from, for the layouts
// Wine's own DLLs do not hold: RLE bitmaps, colour masks, cut masks.
#include "image/image_pixels.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/dib_builder.h"
#include "tests/support/put_bytes.h"

namespace {

// Palette entry i is red i * 16, green 255 - i, blue 7.
Bytes Palette(int count) {
  Bytes p;
  for (int i = 0; i < count; ++i)
    p.insert(p.end(), {7, static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 16), 0});
  return p;
}

uint32_t PaletteRgba(uint32_t i) { return (i * 16) << 24 | (255 - i) << 16 | 7 << 8 | 0xFF; }

struct Prepared {
  Bytes bytes;
  ImageRecord record;
  LoadedImage image;
  Prepared(ImageKind kind, Bytes b) : bytes(std::move(b)) {
    record = RecordFor(kind, bytes);
    PrepareImage(bytes.data(), &record, &image);
  }
};

// 0xRRGGBBAA per pixel, rows from the top.
std::vector<uint32_t> Rgba(const LoadedImage& image, bool* ok) {
  std::vector<uint8_t> rgba;
  *ok = ImageToRgba(image, &rgba);
  std::vector<uint32_t> out;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
    out.push_back(static_cast<uint32_t>(rgba[i]) << 24 | rgba[i + 1] << 16 | rgba[i + 2] << 8 |
                  rgba[i + 3]);
  }
  return out;
}

Bytes RleBitmap(int32_t width, int32_t height, uint32_t compression, uint16_t bitCount,
                const Bytes& stream) {
  DibShape shape;
  shape.width = width;
  shape.height = height;
  shape.bitCount = bitCount;
  shape.compression = compression;
  shape.sizeImage = static_cast<uint32_t>(stream.size());
  shape.clrUsed = 4;
  Bytes b = InfoHeader(shape, height);
  Bytes p = Palette(4);
  b.insert(b.end(), p.begin(), p.end());
  b.insert(b.end(), stream.begin(), stream.end());
  return b;
}

}  // namespace

TEST(ImagePixels, RleBitmapsRunsLiteralsJumpsAndLeftOutPixels) {
  auto c = PaletteRgba;
  const uint32_t z = c(0);  // left out: index 0
  struct Case {
    const char* name;
    uint32_t compression;
    uint16_t bitCount;
    Bytes stream;
    std::vector<uint32_t> expected;  // 4 x 3, rows from the top
  };
  const Case cases[] = {
      // Bottom row: a run of one index 1, a literal 3, 2, 1 (padded to 16
      // bits); end of line; a jump right 1 and up 1; a run of one index 2;
      // end of bitmap.
      {"rle8",
       1,
       8,
       {1, 1, 0, 3, 3, 2, 1, 0, 0, 0, 0, 2, 1, 1, 1, 2, 0, 1},
       {z, c(2), z, z, z, z, z, z, c(1), c(3), c(2), c(1)}},
      // Nibbles alternate within a run; a literal of 3 takes 2 bytes.
      {"rle4",
       2,
       4,
       {4, 0x12, 0, 0, 0, 3, 0x32, 0x10, 0, 1},
       {z, z, z, z, c(3), c(2), c(1), z, c(1), c(2), c(1), c(2)}},
  };
  for (const Case& t : cases) {
    Prepared p(ImageKind::Bitmap, RleBitmap(4, 3, t.compression, t.bitCount, t.stream));
    ASSERT_FALSE(p.image.unusable) << t.name;
    bool ok = false;
    EXPECT_EQ(Rgba(p.image, &ok), t.expected) << t.name;
    EXPECT_TRUE(ok) << t.name;
  }
  // A literal that runs past the stream is refused, not read past.
  Prepared cut(ImageKind::Bitmap, RleBitmap(4, 3, 1, 8, {0, 6, 1, 2}));
  bool ok = true;
  EXPECT_TRUE(Rgba(cut.image, &ok).empty());
  EXPECT_FALSE(ok);
}

TEST(ImagePixels, SixteenBitChannelsAreWidenedByRepeatingTheirBits) {
  // 5-5-5 by default, 5-6-5 through masks behind the header: (v << 3) |
  // (v >> 2) for five bits, (v << 2) | (v >> 4) for six.
  for (uint32_t compression : {0u, 3u}) {
    DibShape shape;
    shape.width = 2;
    shape.height = 1;
    shape.bitCount = 16;
    shape.compression = compression;
    Bytes b = InfoHeader(shape, 1);
    if (compression == 3) {
      for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) {
        b.insert(b.end(), {static_cast<uint8_t>(mask), static_cast<uint8_t>(mask >> 8), 0, 0});
      }
    }
    // Pixel 0 all ones; pixel 1 red 1, green 1 (lowest green bit), blue 16.
    const uint16_t second =
        compression == 3 ? (1 << 11) | (1 << 5) | 16 : (1 << 10) | (1 << 5) | 16;
    b.insert(b.end(),
             {0xFF, 0xFF, static_cast<uint8_t>(second), static_cast<uint8_t>(second >> 8)});
    Prepared p(ImageKind::Bitmap, b);
    ASSERT_FALSE(p.image.unusable);
    bool ok = false;
    const uint32_t first = 0xFFFFFFFF;
    const uint32_t green = compression == 3 ? 0x04 : 0x08;
    EXPECT_EQ(Rgba(p.image, &ok),
              (std::vector<uint32_t>{first, 0x08000000u | green << 16 | 0x84FF}))
        << compression;
  }
}

TEST(ImagePixels, IconsTakeTheirMaskOrTheirOwnAlpha) {
  DibShape shape;
  shape.width = 8;
  shape.height = 2;
  shape.bitCount = 32;
  Bytes icon = MakeIcon(shape);
  // Pixel (0, top row) and (1, top row) in the colour bitmap, stored last;
  // mask bits for the top row stored last too.
  const size_t top = 40 + 8 * 4;
  const size_t maskTop = 40 + 2 * 8 * 4 + 4;
  auto alphaOf = [](const std::vector<uint32_t>& px, size_t i) { return px[i] & 0xFF; };

  Bytes noAlpha = icon;
  for (size_t i = 40 + 3; i < 40 + 2 * 8 * 4; i += 4) noAlpha[i] = 0;
  noAlpha[maskTop] = 0x80;  // (0, 0) transparent
  Prepared masked(ImageKind::Icon, noAlpha);
  ASSERT_FALSE(masked.image.alpha);
  bool ok = false;
  std::vector<uint32_t> px = Rgba(masked.image, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(alphaOf(px, 0), 0u);
  EXPECT_EQ(alphaOf(px, 1), 255u);

  Bytes withAlpha = noAlpha;
  withAlpha[top + 4 + 3] = 77;  // (1, 0): the mask no longer counts
  Prepared own(ImageKind::Icon, withAlpha);
  ASSERT_TRUE(own.image.alpha);
  px = Rgba(own.image, &ok);
  EXPECT_EQ(alphaOf(px, 0), 0u);
  EXPECT_EQ(alphaOf(px, 1), 77u);
  EXPECT_EQ(alphaOf(px, 2), 0u);

  // Without its whole mask an icon is opaque.
  Bytes cut = noAlpha;
  cut.resize(cut.size() - 1);
  Prepared opaque(ImageKind::Icon, cut);
  ASSERT_FALSE(opaque.image.maskComplete);
  px = Rgba(opaque.image, &ok);
  EXPECT_EQ(alphaOf(px, 0), 255u);
}

TEST(ImagePixels, CompositeRoundsToNearest) {
  // A decoded PNG of two pixels: white at alpha 128, black at alpha 128.
  const Bytes png = MakePng(2, 1);
  const uint8_t decoded[8] = {255, 255, 255, 128, 0, 0, 0, 128};
  ImageRecord record = RecordFor(ImageKind::Icon, png);
  LoadedImage image;
  PrepareImage(png.data(), &record, &image, decoded);
  ASSERT_FALSE(image.unusable);
  std::vector<uint8_t> bgra;
  ASSERT_TRUE(CompositeOver(image, 0, 10, 255, &bgra));
  // 255 x 128 / 255 = 128; 10 x 127 / 255 = 4.98; 255 x 127 / 255 = 127.
  EXPECT_EQ(bgra, (std::vector<uint8_t>{255, 133, 128, 0, 127, 5, 0, 0}));
}
