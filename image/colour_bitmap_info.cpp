#include "image/colour_bitmap_info.h"

#include <cstddef>

namespace {

constexpr std::size_t kHeightField = 8;
constexpr std::size_t kSizeImageField = 20;

void PutI32(uint8_t* at, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t GetI32(const uint8_t* at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | at[i];
  return static_cast<int32_t>(v);
}

}  // namespace

std::vector<uint8_t> ColourBitmapInfo(const LoadedImage& image) {
  std::vector<uint8_t> info(image.header, image.bits);
  const bool bottomUp = GetI32(info.data() + kHeightField) >= 0;
  PutI32(info.data() + kHeightField, bottomUp ? image.height : -image.height);
  PutI32(info.data() + kSizeImageField, static_cast<int32_t>(image.bitsSize));
  return info;
}
