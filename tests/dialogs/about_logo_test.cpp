// The logo blended over the button face, to the last bit.
#include "dialogs/about_logo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/pcx_decoder.h"

TEST(AboutLogoBlend, WorkedExamplesTruncate) {
  // 200 x 128/255 + 100 x 127/255 = 150.196...
  EXPECT_EQ(BlendChannel(200, 100, 128), 150);
  // 90 x 170/255 + 212 x 85/255 = 130.67: truncated, not rounded to 131.
  EXPECT_EQ(BlendChannel(90, 212, 170), 130);
  EXPECT_EQ(BlendChannel(255, 0, 1), 1);
  EXPECT_EQ(BlendChannel(10, 250, 254), 10);
  // 255 x (1 - 254/255) comes to 0.99999999999999645 in doubles: 0, where
  // rounding or exact fractions would give 1.
  EXPECT_EQ(BlendChannel(0, 255, 254), 0);
  // A colour laid over itself can lose a step the same way: 2.9999... for 3.
  EXPECT_EQ(BlendChannel(3, 3, 5), 2);
}

TEST(AboutLogoBlend, EqualChannelsNeverDropBelowThemselvesByMoreThanOne) {
  // Truncation of c d + c e can lose one step where the double sum falls a
  // hair short of c; it must never lose more or exceed c.
  for (int c = 0; c < 256; ++c) {
    for (int a = 1; a < 255; ++a) {
      const int got =
          BlendChannel(static_cast<uint8_t>(c), static_cast<uint8_t>(c), static_cast<uint8_t>(a));
      ASSERT_LE(got, c) << "c " << c << " a " << a;
      ASSERT_GE(got, c - 1) << "c " << c << " a " << a;
    }
  }
}

namespace {

struct Images {
  std::vector<uint8_t> colour = std::vector<uint8_t>(kDecodedLogoSize, 0);
  std::vector<uint8_t> alpha = std::vector<uint8_t>(kDecodedLogoSize, 0);
  // Filled with a pattern so that bytes the blend must not touch show.
  std::vector<uint8_t> out = std::vector<uint8_t>(kDecodedLogoSize, 0xA5);

  void Set(uint32_t pixel, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
    colour[4 * pixel] = b;
    colour[4 * pixel + 1] = g;
    colour[4 * pixel + 2] = r;
    // Only the alpha image's first byte counts; the others differ to show it.
    alpha[4 * pixel] = a;
    alpha[4 * pixel + 1] = static_cast<uint8_t>(255 - a);
    alpha[4 * pixel + 2] = 77;
  }
  std::vector<uint8_t> Out(uint32_t pixel) const {
    return {out.begin() + 4 * pixel, out.begin() + 4 * pixel + 4};
  }
};

}  // namespace

TEST(AboutLogoBlend, AlphaZeroShowsTheFaceAlpha255TheColourPixelWhole) {
  Images images;
  images.Set(0, 11, 22, 33, 0);
  images.Set(1, 11, 22, 33, 255);
  images.colour[4 * 1 + 3] = 0;
  images.Set(2, 100, 200, 90, 128);
  images.Set(kLogoPixelCount - 1, 1, 2, 3, 255);
  const FaceColour face{212, 100, 7};  // red, green, blue
  BlendLogo(images.colour.data(), images.alpha.data(), face, images.out.data());
  // Blue, green, red of the face; the fourth byte is left as it was.
  EXPECT_EQ(images.Out(0), (std::vector<uint8_t>{7, 100, 212, 0xA5}));
  EXPECT_EQ(images.Out(1), (std::vector<uint8_t>{11, 22, 33, 0}));
  EXPECT_EQ(images.Out(2), (std::vector<uint8_t>{BlendChannel(100, 7, 128), 150,
                                                 BlendChannel(90, 212, 128), 0xA5}));
  EXPECT_EQ(images.Out(kLogoPixelCount - 1), (std::vector<uint8_t>{1, 2, 3, 0}));
  // Every other pixel had alpha 0.
  EXPECT_EQ(images.Out(3), (std::vector<uint8_t>{7, 100, 212, 0xA5}));
  EXPECT_EQ(images.Out(kLogoPixelCount - 2), (std::vector<uint8_t>{7, 100, 212, 0xA5}));
}
