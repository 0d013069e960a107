// The PCX writer and the two logo files it makes, read back by ImageMagick
// and by the program's own decoder.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "image/pcx_decoder.h"
#include "res/resgen/logo_art.h"
#include "res/resgen/pcx_file.h"
#include "tests/res/tool_run.h"
#include "tests/support/temp_dir.h"

namespace {

#define REQUIRE_TOOL(tool) \
  if ((tool).empty()) GTEST_SKIP() << #tool " is not installed"

uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// Decodes the picture with ImageMagick as 8-bit RGB, rows from the top.
std::vector<uint8_t> DecodeRgb(const std::string& path) {
  ToolResult r = RunTool(Quoted(kConvert) + " " + Quoted(path) + " -depth 8 rgb:-");
  if (r.exitCode != 0) return {};
  return std::vector<uint8_t>(r.output.begin(), r.output.end());
}

// Walks a PCX stream the standard way (a byte with both top bits set is a
// count) and returns where it stands after pixels pixels, or 0 when the
// stream breaks off first.
size_t StreamEndAfter(const std::vector<uint8_t>& file, size_t pixels) {
  size_t at = kPcxHeaderSize, done = 0;
  while (done < pixels) {
    if (at >= file.size()) return 0;
    const uint8_t v = file[at++];
    if ((v & 0xC0) == 0xC0) {
      if (at >= file.size()) return 0;
      ++at;
      done += v & 0x3F;
    } else {
      ++done;
    }
  }
  return done == pixels ? at : 0;
}

IndexedImage Pattern(int w, int h, int colours) {
  std::vector<Rgb> palette;
  for (int i = 0; i < colours; ++i) {
    palette.push_back(
        {static_cast<uint8_t>(i), static_cast<uint8_t>(i * 5 + 1), static_cast<uint8_t>(255 - i)});
  }
  IndexedImage image(w, h, palette);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      // Long runs, single pixels and every index from 0xC0 up.
      const int index = x < w / 3 ? y % colours : (x * 7 + y * 13) % colours;
      image.Set(x, y, static_cast<uint8_t>(index));
    }
  }
  return image;
}

void ExpectImageMagickReads(const std::string& path, const IndexedImage& image) {
  ToolResult id = RunTool(Quoted(kIdentify) + " -format '%m %w %h' " + Quoted(path));
  EXPECT_EQ(id.output, "PCX " + std::to_string(image.width) + " " + std::to_string(image.height));
  const std::vector<uint8_t> rgb = DecodeRgb(path);
  ASSERT_EQ(rgb.size(), image.pixels.size() * 3);
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    const Rgb want = image.palette[image.pixels[i]];
    ASSERT_TRUE(rgb[3 * i] == want.r && rgb[3 * i + 1] == want.g && rgb[3 * i + 2] == want.b)
        << "pixel " << i;
  }
}

}  // namespace

TEST(PcxWriter, ImageMagickReadsEveryPixel) {
  REQUIRE_TOOL(kConvert);
  TempDir dir;
  for (const auto& [w, h, colours] : {std::tuple{234, 114, 256}, std::tuple{2, 1, 1},
                                      std::tuple{130, 3, 200}, std::tuple{64, 64, 256}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const IndexedImage image = Pattern(w, h, colours);
    const std::vector<uint8_t> file = EncodePcxFile(image);
    ASSERT_FALSE(file.empty());
    ExpectImageMagickReads(dir.Write("p.pcx", file), image);
  }
}

TEST(PcxWriter, HeaderRunsAndPaletteAsTheFormatSays) {
  const IndexedImage image = Pattern(234, 114, 256);
  const std::vector<uint8_t> file = EncodePcxFile(image);
  ASSERT_GT(file.size(), size_t{kPcxHeaderSize + kPcxPaletteSize + 1});
  EXPECT_EQ(file[0], 10);
  EXPECT_EQ(file[1], 5);
  EXPECT_EQ(file[2], 1);
  EXPECT_EQ(file[3], 8);
  EXPECT_EQ(Get16(file, 4), 0);
  EXPECT_EQ(Get16(file, 6), 0);
  EXPECT_EQ(Get16(file, 8), 233);
  EXPECT_EQ(Get16(file, 10), 113);
  EXPECT_EQ(file[65], 1) << "planes";
  EXPECT_EQ(Get16(file, 66), 234) << "bytes per line";
  // The stream ends with the last pixel, right before the marker; no line
  // carries filler and no run crosses into the next line.
  const size_t end = StreamEndAfter(file, 234 * 114);
  EXPECT_EQ(end, file.size() - kPcxPaletteSize - 1);
  EXPECT_EQ(file[file.size() - kPcxPaletteSize - 1], kPcxPaletteMarker);
  for (int i = 0; i < 256; ++i) {
    const size_t at = file.size() - kPcxPaletteSize + 3 * i;
    ASSERT_EQ(file[at], image.palette[i].r);
    ASSERT_EQ(file[at + 1], image.palette[i].g);
    ASSERT_EQ(file[at + 2], image.palette[i].b);
  }
  // A short palette is padded to 256 entries.
  EXPECT_EQ(EncodePcxFile(Pattern(2, 1, 1)).size(), size_t{kPcxHeaderSize} + 2 + 1 + 768);
}

TEST(PcxWriter, RefusesWhatItCannotStoreExactly) {
  EXPECT_TRUE(EncodePcxFile(Pattern(3, 2, 4)).empty()) << "odd width needs a filler byte";
  EXPECT_TRUE(EncodePcxFile(IndexedImage()).empty());
  IndexedImage outside = Pattern(4, 4, 4);
  outside.Set(1, 1, 4);
  EXPECT_TRUE(EncodePcxFile(outside).empty());
  IndexedImage tooMany = Pattern(4, 4, 4);
  tooMany.palette.resize(257);
  EXPECT_TRUE(EncodePcxFile(tooMany).empty());
}

class ShippedLogo : public ::testing::Test {
 protected:
  static std::vector<uint8_t> File(const char* name) {
    return ReadWholeFile(kGeneratedDir + "/" + name);
  }
};

TEST_F(ShippedLogo, DecoderAgreesWithImageMagick) {
  REQUIRE_TOOL(kConvert);
  for (const char* name : {"logo_colour.pcx", "logo_alpha.pcx"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> file = File(name);
    ASSERT_FALSE(file.empty());
    auto decoded = DecodePcxResource(file.data(), static_cast<uint32_t>(file.size()));
    ASSERT_TRUE(decoded);
    const std::vector<uint8_t> rgb = DecodeRgb(kGeneratedDir + "/" + name);
    ASSERT_EQ(rgb.size(), size_t{kLogoPixelCount} * 3);
    for (uint32_t p = 0; p < kLogoPixelCount; ++p) {
      const uint8_t* ours = decoded.get() + 4 * p;
      ASSERT_TRUE(ours[2] == rgb[3 * p] && ours[1] == rgb[3 * p + 1] && ours[0] == rgb[3 * p + 2] &&
                  ours[3] == 0)
          << "pixel " << p;
    }
  }
}

TEST_F(ShippedLogo, TwoImagesOfTheFixedSizeWithAGreyOpacityPalette) {
  for (const char* name : {"logo_colour.pcx", "logo_alpha.pcx"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> file = File(name);
    ASSERT_GT(file.size(), size_t{kPcxHeaderSize + kPcxPaletteSize});
    EXPECT_EQ(Get16(file, 8) + 1, kLogoWidth);
    EXPECT_EQ(Get16(file, 10) + 1, kLogoHeight);
    // The decoder takes the stream as one run of pixels: it must end
    // exactly at the last one.
    EXPECT_EQ(StreamEndAfter(file, size_t{kLogoWidth} * kLogoHeight),
              file.size() - kPcxPaletteSize - 1);
  }
  const std::vector<uint8_t> alpha = File("logo_alpha.pcx");
  ASSERT_GT(alpha.size(), size_t{kPcxPaletteSize});
  for (int i = 0; i < 256; ++i) {
    const size_t at = alpha.size() - kPcxPaletteSize + 3 * i;
    ASSERT_TRUE(alpha[at] == i && alpha[at + 1] == i && alpha[at + 2] == i) << "entry " << i;
  }
}

TEST(LogoArt, SeeThroughAroundOpaqueShapesWithSoftEdges) {
  const LogoImages logo = MakeLogo();
  ASSERT_EQ(logo.colour.width, kLogoWidth);
  ASSERT_EQ(logo.colour.height, kLogoHeight);
  ASSERT_EQ(logo.alpha.width, kLogoWidth);
  ASSERT_EQ(logo.alpha.height, kLogoHeight);
  EXPECT_LE(logo.colour.palette.size(), 256u);
  size_t clear = 0, opaque = 0;
  std::set<uint8_t> partial;
  for (uint8_t a : logo.alpha.pixels) {
    clear += a == 0;
    opaque += a == 255;
    if (a != 0 && a != 255) partial.insert(a);
  }
  // The corners and the margins show the button face.
  for (auto [x, y] : {std::pair{0, 0}, std::pair{kLogoWidth - 1, 0}, std::pair{0, kLogoHeight - 1},
                      std::pair{kLogoWidth - 1, kLogoHeight - 1}}) {
    EXPECT_EQ(logo.alpha.At(x, y), 0) << x << "," << y;
  }
  EXPECT_GT(clear, logo.alpha.pixels.size() / 4);
  EXPECT_GT(opaque, logo.alpha.pixels.size() / 10);
  // Antialiased edges and the shadow use many levels in between.
  EXPECT_GT(partial.size(), 100u);
  // Both files can be written.
  EXPECT_FALSE(EncodePcxFile(logo.colour).empty());
  EXPECT_FALSE(EncodePcxFile(logo.alpha).empty());
}
