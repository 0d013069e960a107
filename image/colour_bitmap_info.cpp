#include "image/colour_bitmap_info.h"

#include <cstddef>

#include "scan/little_endian.h"

namespace {

constexpr std::size_t kHeightField = 8;
constexpr std::size_t kSizeImageField = 20;

}  // namespace

std::vector<uint8_t> ColourBitmapInfo(const LoadedImage& image) {
  std::vector<uint8_t> info(image.header, image.bits);
  const bool bottomUp = GetLeI32(info.data() + kHeightField) >= 0;
  PutLeI32(info.data() + kHeightField, bottomUp ? image.height : -image.height);
  PutLeI32(info.data() + kSizeImageField, static_cast<int32_t>(image.bitsSize));
  return info;
}
