// The .bmp, .ico and .cur writers, checked by decoding their output with
// ImageMagick and icotool rather than with our own reader.
#include "res/resgen/image_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/res/tool_run.h"
#include "tests/support/temp_dir.h"

namespace {

#define REQUIRE_TOOL(tool)                                        \
  if ((tool).empty()) GTEST_SKIP() << #tool " is not installed"

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}
uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// A palette whose entries are all different, so that a decoded colour
// tells which index was stored.
std::vector<Rgb> DistinctPalette(int count) {
  std::vector<Rgb> palette;
  for (int i = 0; i < count; ++i) {
    palette.push_back({static_cast<uint8_t>(i * 37 % 256), static_cast<uint8_t>(255 - i),
                       static_cast<uint8_t>(i * 11 % 256)});
  }
  return palette;
}

IndexedImage PatternImage(int w, int h, int colours) {
  IndexedImage image(w, h, DistinctPalette(colours));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.Set(x, y, static_cast<uint8_t>((x * 7 + y * 3) % colours));
  }
  return image;
}

// Every pixel of the decoded file has the palette colour of the stored index.
void ExpectPixelsDecodeAs(const std::string& path, const IndexedImage& image) {
  std::vector<uint8_t> rgba = DecodeRgba(path);
  ASSERT_EQ(rgba.size(), static_cast<size_t>(image.width) * image.height * 4) << path;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const size_t at = (static_cast<size_t>(y) * image.width + x) * 4;
      const Rgb want = image.palette[image.At(x, y)];
      ASSERT_EQ(rgba[at], want.r) << "x " << x << " y " << y;
      ASSERT_EQ(rgba[at + 1], want.g) << "x " << x << " y " << y;
      ASSERT_EQ(rgba[at + 2], want.b) << "x " << x << " y " << y;
    }
  }
}

MaskedImage Masked(const IndexedImage& image, auto transparentAt) {
  MaskedImage out{image, std::vector<uint8_t>(image.pixels.size(), 0)};
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      out.transparent[static_cast<size_t>(y) * image.width + x] = transparentAt(x, y) ? 1 : 0;
    }
  }
  return out;
}

}  // namespace

TEST(BmpWriter, RowsNeedingPaddingDecodePixelForPixel) {
  REQUIRE_TOOL(kConvert);
  TempDir dir;
  // 5 pixels of 4 bits, 7 of 8 bits and 33 of 1 bit all end inside a
  // 32-bit word, so each row carries padding that must not shift the next.
  const struct {
    int width, height, colours, bitCount;
  } cases[] = {{5, 3, 15, 4}, {7, 2, 200, 8}, {33, 3, 2, 1}, {180, 20, 16, 4}, {350, 4, 256, 8}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " at " +
                 std::to_string(c.bitCount) + " bits");
    IndexedImage image = PatternImage(c.width, c.height, c.colours);
    std::vector<uint8_t> file = EncodeBmpFile(image, c.bitCount);
    ASSERT_FALSE(file.empty());
    ExpectPixelsDecodeAs(dir.Write("p.bmp", file), image);
  }
}

TEST(BmpWriter, HeaderSizesAgreeWithTheBytesWritten) {
  IndexedImage image = PatternImage(5, 3, 16);
  std::vector<uint8_t> file = EncodeBmpFile(image, 4);
  ASSERT_GE(file.size(), 54u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(Get32(file, 2), file.size());
  EXPECT_EQ(Get32(file, 10), 14u + 40u + 16u * 4u);  // bits right after 16 palette entries
  EXPECT_EQ(Get32(file, 18), 5u);
  EXPECT_EQ(Get32(file, 22), 3u);  // positive: rows bottom-up
  EXPECT_EQ(Get16(file, 28), 4u);
  EXPECT_EQ(Get32(file, 34), 3u * 4u);  // 5 nibbles round up to one 4-byte word per row
  EXPECT_EQ(file.size(), Get32(file, 10) + Get32(file, 34));
}

TEST(BmpWriter, ShortPaletteIsPaddedToTheFullTable) {
  IndexedImage image(2, 2, {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}});
  std::vector<uint8_t> file = EncodeBmpFile(image, 8);
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(Get32(file, 10), 14u + 40u + 256u * 4u);
  // Entries are blue, green, red, 0.
  EXPECT_EQ(file[54 + 4 * 2 + 0], 90);
  EXPECT_EQ(file[54 + 4 * 2 + 2], 70);
  EXPECT_EQ(Get32(file, 54 + 4 * 3), 0u);
}

TEST(BmpWriter, RefusesWhatTheFormatCannotHold) {
  IndexedImage good = PatternImage(4, 4, 16);
  EXPECT_FALSE(EncodeBmpFile(good, 4).empty());
  EXPECT_TRUE(EncodeBmpFile(good, 2).empty());
  EXPECT_TRUE(EncodeBmpFile(good, 24).empty());
  EXPECT_TRUE(EncodeBmpFile(good, 1).empty());  // 16 colours do not fit in 1 bit

  IndexedImage outside = good;
  outside.Set(3, 3, 16);  // one past the palette
  EXPECT_TRUE(EncodeBmpFile(outside, 8).empty());
  outside.Set(3, 3, 15);
  EXPECT_FALSE(EncodeBmpFile(outside, 8).empty());

  IndexedImage empty(0, 4, DistinctPalette(2));
  EXPECT_TRUE(EncodeBmpFile(empty, 1).empty());
  IndexedImage noPalette(2, 2, {});
  EXPECT_TRUE(EncodeBmpFile(noPalette, 4).empty());
}

TEST(IconWriter, TwoSizesDecodeWithTheirMasks) {
  REQUIRE_TOOL(kConvert);
  REQUIRE_TOOL(kIcotool);
  TempDir dir;
  // 20 pixels wide: the 4-bit rows (10 bytes) and the mask rows (3 bytes)
  // both need padding to 12 and 4 bytes.
  IndexedImage big = PatternImage(20, 20, 16);
  IndexedImage small = PatternImage(16, 16, 16);
  auto ring = [](int x, int y) { return (x + y) % 5 == 0; };
  std::vector<IconFileEntry> entries = {{Masked(big, ring), 4}, {Masked(small, ring), 4}};
  std::vector<uint8_t> file = EncodeIconFile(entries);
  ASSERT_FALSE(file.empty());
  const std::string path = dir.Write("i.ico", file);

  ToolResult listing = RunTool(Quoted(kIcotool) + " -l " + Quoted(path));
  ASSERT_EQ(listing.exitCode, 0);
  EXPECT_EQ(listing.output,
            "--icon --index=1 --width=20 --height=20 --bit-depth=4 --palette-size=16\n"
            "--icon --index=2 --width=16 --height=16 --bit-depth=4 --palette-size=16\n");

  for (int frame = 0; frame < 2; ++frame) {
    const IconFileEntry& entry = entries[static_cast<size_t>(frame)];
    const IndexedImage& image = entry.image.colour;
    std::vector<uint8_t> rgba = DecodeRgba(path + "[" + std::to_string(frame) + "]");
    ASSERT_EQ(rgba.size(), static_cast<size_t>(image.width) * image.height * 4);
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        const size_t at = (static_cast<size_t>(y) * image.width + x) * 4;
        if (entry.image.IsTransparent(x, y)) {
          ASSERT_EQ(rgba[at + 3], 0) << "frame " << frame << " x " << x << " y " << y;
        } else {
          const Rgb want = image.palette[image.At(x, y)];
          ASSERT_EQ(rgba[at + 3], 255) << "frame " << frame << " x " << x << " y " << y;
          ASSERT_EQ(rgba[at], want.r);
          ASSERT_EQ(rgba[at + 1], want.g);
          ASSERT_EQ(rgba[at + 2], want.b);
        }
      }
    }
  }
}

TEST(IconWriter, DirectoryPointsAtEachImageInTurn) {
  std::vector<IconFileEntry> entries = {
      {Masked(PatternImage(32, 32, 16), [](int, int) { return false; }), 4},
      {Masked(PatternImage(16, 16, 2), [](int, int) { return false; }), 1},
      {Masked(PatternImage(256, 1, 200), [](int, int) { return false; }), 8}};
  std::vector<uint8_t> file = EncodeIconFile(entries);
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(Get16(file, 2), 1u);
  ASSERT_EQ(Get16(file, 4), 3u);
  uint32_t expectedOffset = 6 + 3 * 16;
  const int colourCounts[] = {16, 2, 0};
  for (int i = 0; i < 3; ++i) {
    const size_t entry = 6 + 16 * static_cast<size_t>(i);
    const uint32_t size = Get32(file, entry + 8);
    EXPECT_EQ(Get32(file, entry + 12), expectedOffset);
    EXPECT_EQ(file[entry + 2], colourCounts[i]);
    // Each entry's DIB begins with its own header, whose height counts the
    // mask rows as well.
    ASSERT_LE(expectedOffset + 40, file.size());
    EXPECT_EQ(Get32(file, expectedOffset), 40u);
    EXPECT_EQ(Get32(file, expectedOffset + 8),
              2u * static_cast<uint32_t>(entries[static_cast<size_t>(i)].image.colour.height));
    expectedOffset += size;
  }
  EXPECT_EQ(file[6 + 32], 0) << "a 256-pixel side is stored as 0";
  EXPECT_EQ(expectedOffset, file.size());
}

TEST(IconWriter, RefusesMismatchedMasksAndOversizedPictures) {
  IconFileEntry good{Masked(PatternImage(16, 16, 16), [](int, int) { return false; }), 4};
  EXPECT_FALSE(EncodeIconFile({good}).empty());
  EXPECT_TRUE(EncodeIconFile({}).empty());

  IconFileEntry shortMask = good;
  shortMask.image.transparent.pop_back();
  EXPECT_TRUE(EncodeIconFile({good, shortMask}).empty());

  IconFileEntry tooWide{Masked(PatternImage(257, 1, 2), [](int, int) { return false; }), 1};
  EXPECT_TRUE(EncodeIconFile({tooWide}).empty());

  IconFileEntry wrongDepth = good;
  wrongDepth.bitCount = 1;
  EXPECT_TRUE(EncodeIconFile({wrongDepth}).empty());
}

TEST(CursorWriter, HotspotsReachTheFileAndStayInsideThePicture) {
  REQUIRE_TOOL(kIcotool);
  REQUIRE_TOOL(kConvert);
  TempDir dir;
  IndexedImage image(32, 32, {{0, 0, 0}, {255, 255, 255}});
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) image.Set(x, y, static_cast<uint8_t>(x < 16));
  }
  MaskedImage picture = Masked(image, [](int x, int y) { return y >= 24 && x >= 8; });
  const std::string path = dir.Write("c.cur", EncodeCursorFile({{picture, 1, 31, 0}}));
  ToolResult listing = RunTool(Quoted(kIcotool) + " -l " + Quoted(path));
  ASSERT_EQ(listing.exitCode, 0);
  EXPECT_EQ(listing.output,
            "--cursor --index=1 --width=32 --height=32 --bit-depth=1 --palette-size=2 "
            "--hotspot-x=31 --hotspot-y=0\n");

  std::vector<uint8_t> rgba = DecodeRgba(path);
  ASSERT_EQ(rgba.size(), 32u * 32u * 4u);
  auto pixel = [&](int x, int y) { return &rgba[(static_cast<size_t>(y) * 32 + x) * 4]; };
  EXPECT_EQ(pixel(0, 0)[0], 255);   // white half
  EXPECT_EQ(pixel(31, 0)[0], 0);    // black half
  EXPECT_EQ(pixel(31, 0)[3], 255);
  EXPECT_EQ(pixel(8, 24)[3], 0);    // masked corner
  EXPECT_EQ(pixel(7, 24)[3], 255);

  EXPECT_TRUE(EncodeCursorFile({{picture, 1, 32, 0}}).empty());
  EXPECT_TRUE(EncodeCursorFile({{picture, 1, 0, 32}}).empty());
  EXPECT_TRUE(EncodeCursorFile({{picture, 1, -1, 0}}).empty());
}
