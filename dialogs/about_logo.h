#pragma once
#include <cstdint>

// The About box's logo laid over the button face: the arithmetic apart from
// the windows, so that it can be checked to the last bit.

struct FaceColour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
};

// One channel: colour weighted by alpha / 255 plus face by the rest, in
// double precision and truncated, never rounded.
uint8_t BlendChannel(uint8_t colour, uint8_t face, uint8_t alpha);

// colour and alpha are decoded logo images (blue, green, red, 0 per pixel);
// the alpha image's blue byte is the weight. out, of the same size, gets
// the face where alpha is 0, the colour pixel whole where it is 255, and
// the blend of the two elsewhere; its fourth bytes are written only where
// a pixel is copied whole.
void BlendLogo(const uint8_t* colour, const uint8_t* alpha, FaceColour face, uint8_t* out);
