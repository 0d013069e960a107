#include "dialogs/about_logo.h"

#include <cstring>

#include "image/pcx_decoder.h"

namespace {

// 1/255 spelled out: the product with it is what the logo has always been
// drawn with, which 1.0 / 255 could differ from in the last bit.
constexpr double kOneIn255 = 0.00392156862745098;

}  // namespace

uint8_t BlendChannel(uint8_t colour, uint8_t face, uint8_t alpha) {
  // Every step is stored as a double: the 32-bit build computes on the x87
  // unit, whose wider registers would otherwise carry extra bits into the
  // truncation and move results that lie close below a whole number.
  volatile double d = alpha * kOneIn255;
  volatile double e = 1.0 - d;
  volatile double weighted = colour * d;
  volatile double rest = face * e;
  volatile double sum = weighted + rest;
  return static_cast<uint8_t>(static_cast<int>(sum));
}

void BlendLogo(const uint8_t* colour, const uint8_t* alpha, FaceColour face, uint8_t* out) {
  for (uint32_t at = 0; at < kDecodedLogoSize; at += 4) {
    const uint8_t a = alpha[at];
    if (a == 0) {
      out[at] = face.blue;
      out[at + 1] = face.green;
      out[at + 2] = face.red;
    } else if (a == 255) {
      std::memcpy(out + at, colour + at, 4);
    } else {
      out[at] = BlendChannel(colour[at], face.blue, a);
      out[at + 1] = BlendChannel(colour[at + 1], face.green, a);
      out[at + 2] = BlendChannel(colour[at + 2], face.red, a);
    }
  }
}
