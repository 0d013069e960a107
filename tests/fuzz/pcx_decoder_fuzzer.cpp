// libFuzzer target for the About box's PCX decoder. A reference decode here
// expands the stream on its own terms: the decoder must give a picture
// exactly when the stream (128 bytes in, up to the palette in the last 768)
// covers every pixel, and then every pixel must be the palette colour the
// reference finds, with a zero fourth byte.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "image/pcx_decoder.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "PCX decoder broken: %s\n", what);
    __builtin_trap();
  }
}

// Palette indices of the first kLogoPixelCount pixels; fewer when the
// stream ends first.
std::vector<uint8_t> ReferenceIndices(const uint8_t* data, size_t size) {
  std::vector<uint8_t> indices;
  if (size < 128 + 768) return indices;
  const size_t end = size - 768;
  size_t at = 128;
  while (indices.size() < kLogoPixelCount && at < end) {
    const uint8_t b = data[at];
    if ((b & 0xC0) == 0xC0 && b != 0xC0) {
      if (at + 1 >= end) break;
      indices.insert(indices.end(), b & 0x3F, data[at + 1]);
      at += 2;
    } else {
      indices.push_back(b);
      at += 1;
    }
  }
  if (indices.size() > kLogoPixelCount) indices.resize(kLogoPixelCount);
  return indices;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1u << 20) return 0;
  std::unique_ptr<uint8_t[]> exact(new uint8_t[size]);
  if (size > 0) memcpy(exact.get(), data, size);
  const std::unique_ptr<uint8_t[]> pixels =
      DecodePcxResource(exact.get(), static_cast<uint32_t>(size));
  const std::vector<uint8_t> indices = ReferenceIndices(data, size);
  const bool whole = indices.size() == kLogoPixelCount;
  Require((pixels != nullptr) == whole, "a picture exactly when the stream covers it");
  if (!pixels) return 0;
  const uint8_t* palette = data + size - 768;
  for (uint32_t i = 0; i < kLogoPixelCount; ++i) {
    const uint8_t* p = pixels.get() + 4 * i;
    const uint8_t* rgb = palette + 3 * indices[i];
    Require(p[0] == rgb[2] && p[1] == rgb[1] && p[2] == rgb[0] && p[3] == 0, "pixel colour");
  }
  return 0;
}
