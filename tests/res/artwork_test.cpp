// The pictures resgen wrote into the build tree, read back by ImageMagick
// and icotool, and the drawing functions behind them.
#include "res/resgen/artwork.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "tests/res/tool_run.h"

namespace {

#define REQUIRE_TOOL(tool)                                        \
  if ((tool).empty()) GTEST_SKIP() << #tool " is not installed"

std::string Generated(const std::string& name) { return kGeneratedDir + "/" + name; }

struct Identified {
  int width = 0, height = 0, depth = 0, colours = 0;
};

Identified Identify(const std::string& path) {
  ToolResult r = RunTool(Quoted(kIdentify) + " -format '%w %h %z %k' " + Quoted(path));
  Identified id;
  std::istringstream(r.output) >> id.width >> id.height >> id.depth >> id.colours;
  return id;
}

uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

const Rgb kSilver{192, 192, 192};

}  // namespace

TEST(GeneratedFiles, ToolbarStripIsNineSixteenColourButtons) {
  REQUIRE_TOOL(kIdentify);
  REQUIRE_TOOL(kConvert);
  const std::string path = Generated("toolbar.bmp");
  Identified id = Identify(path);
  EXPECT_EQ(id.width, 180);
  EXPECT_EQ(id.height, 20);
  EXPECT_EQ(id.depth, 4);
  EXPECT_LE(id.colours, 16);
  EXPECT_GE(id.colours, 8) << "drawn buttons, not a blank strip";
  std::vector<uint8_t> file = ReadWholeFile(path);
  ASSERT_GT(file.size(), 30u);
  EXPECT_EQ(Get16(file, 28), 4u) << "stored with 4 bits per pixel";

  // The toolbar turns silver into the button face, so every button's
  // corners must be silver, and each image must be its own.
  std::vector<uint8_t> rgba = DecodeRgba(path);
  ASSERT_EQ(rgba.size(), 180u * 20u * 4u);
  auto at = [&](int x, int y) {
    const uint8_t* p = &rgba[(static_cast<size_t>(y) * 180 + x) * 4];
    return Rgb{p[0], p[1], p[2]};
  };
  std::set<std::vector<uint8_t>> seen;
  for (int button = 0; button < kToolbarImageCount; ++button) {
    const int left = button * kToolbarImageSize;
    for (int corner : {0, 1}) {
      EXPECT_EQ(at(left + corner * 19, 0), kSilver) << "button " << button;
      EXPECT_EQ(at(left + corner * 19, 19), kSilver) << "button " << button;
    }
    std::vector<uint8_t> cell;
    int drawn = 0;
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 20; ++x) {
        const Rgb c = at(left + x, y);
        cell.insert(cell.end(), {c.r, c.g, c.b});
        if (!(c == kSilver)) ++drawn;
      }
    }
    EXPECT_GE(drawn, 40) << "button " << button << " is nearly empty";
    EXPECT_TRUE(seen.insert(cell).second) << "button " << button << " repeats another";
  }
}

TEST(GeneratedFiles, BannerIsAFullPaletteBitmapWithLightLettering) {
  REQUIRE_TOOL(kIdentify);
  REQUIRE_TOOL(kConvert);
  const std::string path = Generated("banner.bmp");
  Identified id = Identify(path);
  EXPECT_EQ(id.width, 350);
  EXPECT_EQ(id.height, 40);
  EXPECT_EQ(id.depth, 8);
  EXPECT_LE(id.colours, 256);
  EXPECT_GT(id.colours, 64) << "shaded artwork, not a few flat colours";
  std::vector<uint8_t> file = ReadWholeFile(path);
  ASSERT_GT(file.size(), 54u);
  EXPECT_EQ(Get16(file, 28), 8u);

  // The name stands light on a dark ground: in the band the letters occupy
  // a fair share of pixels is bright, while the edges of the band are dark.
  std::vector<uint8_t> rgba = DecodeRgba(path);
  ASSERT_EQ(rgba.size(), 350u * 40u * 4u);
  auto luma = [&](int x, int y) {
    const uint8_t* p = &rgba[(static_cast<size_t>(y) * 350 + x) * 4];
    return (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000;
  };
  int bright = 0, total = 0;
  for (int y = 8; y < 32; ++y) {
    for (int x = 52; x < 190; ++x) {
      ++total;
      if (luma(x, y) > 170) ++bright;
    }
  }
  EXPECT_GT(bright * 100 / total, 12);
  EXPECT_LT(bright * 100 / total, 60);
  EXPECT_LT(luma(1, 38), 80);
  EXPECT_LT(luma(348, 38), 120);
}

TEST(GeneratedFiles, CursorsAreMonochromeWithTheirHotspotsOnTheHand) {
  REQUIRE_TOOL(kIcotool);
  REQUIRE_TOOL(kConvert);
  const struct {
    const char* name;
    int x, y;
  } cursors[] = {{"open_hand.cur", 11, 11}, {"hand_pointer.cur", 6, 2}};
  for (const auto& c : cursors) {
    SCOPED_TRACE(c.name);
    const std::string path = Generated(c.name);
    ToolResult listing = RunTool(Quoted(kIcotool) + " -l " + Quoted(path));
    ASSERT_EQ(listing.exitCode, 0);
    EXPECT_EQ(listing.output, "--cursor --index=1 --width=32 --height=32 --bit-depth=1 "
                              "--palette-size=2 --hotspot-x=" + std::to_string(c.x) +
                                  " --hotspot-y=" + std::to_string(c.y) + "\n");
    std::vector<uint8_t> rgba = DecodeRgba(path);
    ASSERT_EQ(rgba.size(), 32u * 32u * 4u);
    const uint8_t* hot = &rgba[(static_cast<size_t>(c.y) * 32 + c.x) * 4];
    EXPECT_EQ(hot[3], 255) << "the hotspot must lie on the drawn hand";
    EXPECT_EQ(rgba[3], 0) << "the top-left corner shows the background";
  }
  // The pointer's hotspot is at the fingertip: the pixels straight above
  // it belong to the finger, and nothing is drawn above row 0's outline.
  std::vector<uint8_t> pointer = DecodeRgba(Generated("hand_pointer.cur"));
  ASSERT_EQ(pointer.size(), 32u * 32u * 4u);
  EXPECT_EQ(pointer[(0 * 32 + 6) * 4 + 3], 255);
  EXPECT_EQ(pointer[(1 * 32 + 6) * 4 + 3], 255);
}

TEST(GeneratedFiles, IconsHaveTheirSizesAndSixteenColours) {
  REQUIRE_TOOL(kIcotool);
  const struct {
    const char* name;
    const char* listing;
  } icons[] = {
      {"ravelin.ico",
       "--icon --index=1 --width=32 --height=32 --bit-depth=4 --palette-size=16\n"
       "--icon --index=2 --width=16 --height=16 --bit-depth=4 --palette-size=16\n"},
      {"folder_open.ico", "--icon --index=1 --width=16 --height=16 --bit-depth=4 --palette-size=16\n"},
      {"folder_closed.ico",
       "--icon --index=1 --width=16 --height=16 --bit-depth=4 --palette-size=16\n"},
  };
  for (const auto& icon : icons) {
    ToolResult listing = RunTool(Quoted(kIcotool) + " -l " + Quoted(Generated(icon.name)));
    ASSERT_EQ(listing.exitCode, 0) << icon.name;
    EXPECT_EQ(listing.output, icon.listing) << icon.name;
  }
  EXPECT_NE(ReadWholeFile(Generated("folder_open.ico")),
            ReadWholeFile(Generated("folder_closed.ico")));
}

TEST(Artwork, IconsAreShapedNotFilledSquares) {
  std::vector<IconFileEntry> pictures = MakeAppIcon();
  pictures.push_back(MakeOpenFolderIcon());
  pictures.push_back(MakeClosedFolderIcon());
  pictures.push_back(MakeOpenHandCursor());
  pictures.push_back(MakeHandPointerCursor());
  for (size_t i = 0; i < pictures.size(); ++i) {
    const MaskedImage& image = pictures[i].image;
    size_t clear = 0;
    std::set<uint8_t> colours;
    for (int y = 0; y < image.colour.height; ++y) {
      for (int x = 0; x < image.colour.width; ++x) {
        if (image.IsTransparent(x, y)) {
          ++clear;
          EXPECT_EQ(image.colour.At(x, y), 0) << "picture " << i << " x " << x << " y " << y;
        } else {
          colours.insert(image.colour.At(x, y));
        }
      }
    }
    EXPECT_GT(clear, image.colour.pixels.size() / 8) << "picture " << i;
    EXPECT_LT(clear, image.colour.pixels.size() * 7 / 8) << "picture " << i;
    EXPECT_GE(colours.size(), pictures[i].bitCount == 1 ? 2u : 4u) << "picture " << i;
  }
}
