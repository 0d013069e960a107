#include "image/pcx_decoder.h"

#include <new>

#include "scan/byte_reader.h"

namespace {

constexpr int64_t kHeaderSize = 128;
constexpr int64_t kPaletteSize = 768;
// Stream bytes above this value are run counts; 0xC0 itself is a literal
// pixel, as the logo decoder has always read it.
constexpr uint8_t kLiteralLimit = 0xC0;

}  // namespace

std::unique_ptr<uint8_t[]> DecodePcxResource(const uint8_t* resource, uint32_t size) {
  const ByteReader whole(resource, size);
  if (!whole.Has(0, kHeaderSize + kPaletteSize)) return nullptr;
  // The stream is read only up to the palette: a damaged stream that runs
  // on must not take palette bytes for pixels.
  const int64_t paletteAt = whole.size() - kPaletteSize;
  const ByteReader stream(resource, paletteAt);
  const ByteReader palette(resource + paletteAt, kPaletteSize);

  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[kDecodedLogoSize]);
  if (!pixels) return nullptr;

  int64_t at = kHeaderSize;
  uint32_t written = 0;
  while (written < kLogoPixelCount) {
    const uint8_t value = stream.U8(at);
    uint32_t count = 1;
    uint8_t index = value;
    if (value > kLiteralLimit) {
      count = value - kLiteralLimit;
      index = stream.U8(at + 1);
      at += 2;
    } else {
      at += 1;
    }
    // Past the end of the stream the reader answers 0 and latches failure:
    // an image that ends early is refused rather than shown half black.
    if (!stream.ok()) return nullptr;
    if (count > kLogoPixelCount - written) count = kLogoPixelCount - written;
    const uint8_t blue = palette.U8(3 * index + 2);
    const uint8_t green = palette.U8(3 * index + 1);
    const uint8_t red = palette.U8(3 * index);
    for (uint32_t i = 0; i < count; ++i, ++written) {
      uint8_t* pixel = pixels.get() + 4 * written;
      pixel[0] = blue;
      pixel[1] = green;
      pixel[2] = red;
      pixel[3] = 0;
    }
  }
  return pixels;
}
