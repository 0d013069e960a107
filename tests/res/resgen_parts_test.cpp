// The generator's building blocks: the text-drawn pixel art, the palette
// reduction and the two fonts.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "res/resgen/fonts.h"
#include "res/resgen/pixel_art.h"
#include "res/resgen/quantise.h"

TEST(PixelArt, LettersBecomeIndicesAndDotsBecomeMask) {
  MaskedImage art = ParsePixelArt({"k.w", "RGB"}, VgaKey(true), VgaPalette());
  ASSERT_EQ(art.colour.width, 3);
  ASSERT_EQ(art.colour.height, 2);
  EXPECT_EQ(art.colour.At(0, 0), 0);
  EXPECT_EQ(art.colour.At(2, 0), 15);
  EXPECT_EQ(art.colour.At(0, 1), 9);
  EXPECT_EQ(art.colour.At(1, 1), 10);
  EXPECT_EQ(art.colour.At(2, 1), 12);
  EXPECT_FALSE(art.IsTransparent(0, 0));
  EXPECT_TRUE(art.IsTransparent(1, 0));
  // A transparent icon pixel must be black in the colour part, or the
  // system's OR pass would tint the background.
  EXPECT_EQ(art.colour.At(1, 0), 0);

  MaskedImage toolbar = ParsePixelArt({".k"}, VgaKey(false), VgaPalette());
  EXPECT_EQ(toolbar.colour.At(0, 0), 7) << "the toolbar's dot is the silver the toolbar maps";
  EXPECT_FALSE(toolbar.IsTransparent(0, 0));
}

TEST(PixelArt, MalformedTablesStopTheBuild) {
  EXPECT_THROW(ParsePixelArt({"kkk", "kk"}, VgaKey(true), VgaPalette()), std::runtime_error);
  EXPECT_THROW(ParsePixelArt({"kkk", "kkkk"}, VgaKey(true), VgaPalette()), std::runtime_error);
  EXPECT_THROW(ParsePixelArt({"kxk"}, VgaKey(true), VgaPalette()), std::runtime_error);
  EXPECT_THROW(ParsePixelArt({}, VgaKey(true), VgaPalette()), std::runtime_error);
  // A key letter that the palette lacks: 'w' is white, index 15, but a
  // monochrome palette has only two entries.
  EXPECT_THROW(ParsePixelArt({"w"}, VgaKey(true), MonochromePalette()), std::runtime_error);
}

TEST(PixelArt, PlacedArtLeavesTheRestTransparentAndRefusesOverhang) {
  MaskedImage art = ParsePixelArt({"kw", "wk"}, MonochromeKey(), MonochromePalette());
  MaskedImage placed = PlaceArt(4, 3, 2, 1, art);
  EXPECT_TRUE(placed.IsTransparent(0, 0));
  EXPECT_TRUE(placed.IsTransparent(1, 1));
  EXPECT_FALSE(placed.IsTransparent(2, 1));
  EXPECT_EQ(placed.colour.At(3, 1), 1);
  EXPECT_EQ(placed.colour.At(3, 2), 0);
  EXPECT_THROW(PlaceArt(4, 3, 3, 1, art), std::runtime_error);
  EXPECT_THROW(PlaceArt(4, 3, 2, 2, art), std::runtime_error);
  EXPECT_THROW(PlaceArt(4, 3, -1, 0, art), std::runtime_error);
}

TEST(Quantise, FewColoursAreKeptExactly) {
  RgbCanvas canvas(3, 1, {0, 0, 0});
  canvas.Blend(1, 0, {1, 0, 0}, 1.0);
  canvas.Blend(2, 0, {0, 0.5, 1}, 1.0);
  IndexedImage image = Quantise(canvas, 3);
  ASSERT_EQ(image.palette.size(), 3u);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(image.palette[image.At(x, 0)], canvas.ToRgb(x, 0));
}

TEST(Quantise, GradientStaysWithinBudgetAndCloseToTheOriginal) {
  // 600 distinct shades squeezed into 16 and into 256 entries.
  RgbCanvas canvas(600, 2, {0, 0, 0});
  for (int x = 0; x < 600; ++x) {
    for (int y = 0; y < 2; ++y) canvas.Blend(x, y, {x / 599.0, 1.0 - x / 599.0, (x % 7) / 6.0}, 1.0);
  }
  for (int budget : {16, 256}) {
    IndexedImage image = Quantise(canvas, budget);
    EXPECT_LE(image.palette.size(), static_cast<size_t>(budget));
    std::set<int> used(image.pixels.begin(), image.pixels.end());
    EXPECT_GT(used.size(), static_cast<size_t>(budget) * 3 / 4) << "budget " << budget;
    int worst = 0;
    for (int x = 0; x < 600; ++x) {
      const Rgb want = canvas.ToRgb(x, 0);
      const Rgb got = image.palette[image.At(x, 0)];
      worst = std::max({worst, std::abs(want.r - got.r), std::abs(want.g - got.g),
                        std::abs(want.b - got.b)});
    }
    EXPECT_LT(worst, budget == 256 ? 40 : 110) << "budget " << budget;
  }
}

TEST(PixelFont, WidthMatchesTheInkDrawn) {
  RgbCanvas canvas(60, 12, {0, 0, 0});
  const int width = PixelTextWidth("Bitmap, icon");
  DrawPixelText(canvas, 2, 1, "Bitmap, icon", {1, 1, 1});
  int left = 60, right = -1, bottom = -1;
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 60; ++x) {
      if (canvas.At(x, y).r > 0.5) {
        left = std::min(left, x);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
      }
    }
  }
  EXPECT_EQ(left, 2);
  EXPECT_EQ(right, 2 + width - 1) << "the last letter, 'n', has ink in its last column";
  EXPECT_EQ(bottom, 1 + 8) << "the p's descender reaches the ninth row";
  EXPECT_EQ(PixelTextWidth(""), 0);
  EXPECT_EQ(PixelTextWidth("i"), 1);
  EXPECT_THROW(PixelTextWidth("~"), std::runtime_error);
}

TEST(StrokeFont, NameFitsItsMeasuredBoxAndLacksNoLetter) {
  StrokeTextStyle style;
  style.slant = 0;
  const double width = StrokeTextWidth("Ravelin", style);
  Coverage coverage(260, 40);
  CoverStrokeText(coverage, 10, 32, "Ravelin", style);
  int left = 1000, right = -1, top = 1000, bottom = -1;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 260; ++x) {
      if (coverage.At(x, y) > 0) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
  }
  EXPECT_NEAR(left, 10, 1);
  EXPECT_NEAR(right, 10 + width, 2);
  // The l rises 10.6 units between stroke centres, plus half a stroke
  // above; the baseline strokes reach half a stroke below.
  EXPECT_NEAR(top, 32 - (10.6 + style.thickness / 2) * style.scale, 2);
  EXPECT_NEAR(bottom, 32 + style.thickness / 2 * style.scale, 2);
  EXPECT_THROW(StrokeTextWidth("Ravelin 1.5", style), std::runtime_error);
}
