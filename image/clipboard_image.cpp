#include "image/clipboard_image.h"

#include "image/image_export.h"
#include "image/image_pixels.h"
#include "scan/little_endian.h"

namespace {

constexpr uint32_t kBitFields = 3;
constexpr uint32_t kSrgbSpace = 0x73524742;  // 'sRGB'
constexpr uint32_t kIntentImages = 4;

}  // namespace

bool BuildClipboardImage(const LoadedImage& image, ClipboardImage* out) {
  std::vector<uint8_t> rgba;
  if (!BuildPngFile(image, &out->png) || !ImageToRgba(image, &rgba)) return false;
  const int64_t width = image.width;
  const int64_t height = image.height;
  const int64_t pixelBytes = width * height * 4;
  // BuildPngFile held the encoded file to 31 bits; the raw pixels are held
  // to 2^25 pixels by ImageToRgba.
  out->dibV5.assign(static_cast<size_t>(kDibV5HeaderSize + pixelBytes), 0);
  uint8_t* h = out->dibV5.data();
  PutLe32(h + 0, kDibV5HeaderSize);
  PutLe32(h + 4, static_cast<uint32_t>(width));
  PutLe32(h + 8, static_cast<uint32_t>(height));
  PutLe16(h + 12, 1);
  PutLe16(h + 14, 32);
  PutLe32(h + 16, kBitFields);
  PutLe32(h + 20, static_cast<uint32_t>(pixelBytes));
  PutLe32(h + 40, 0x00FF0000);
  PutLe32(h + 44, 0x0000FF00);
  PutLe32(h + 48, 0x000000FF);
  PutLe32(h + 52, 0xFF000000);
  PutLe32(h + 56, kSrgbSpace);
  PutLe32(h + 108, kIntentImages);
  uint8_t* pixels = h + kDibV5HeaderSize;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* from = rgba.data() + static_cast<size_t>(y) * rowBytes;
    uint8_t* to = pixels + static_cast<size_t>(height - 1 - y) * rowBytes;
    for (size_t x = 0; x < rowBytes; x += 4) {
      to[x] = from[x + 2];
      to[x + 1] = from[x + 1];
      to[x + 2] = from[x];
      to[x + 3] = from[x + 3];
    }
  }
  return true;
}
