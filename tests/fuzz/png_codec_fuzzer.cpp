// libFuzzer target for the PNG size reader and decoder. Beyond the
// sanitizers' own checks (the pixels go into a block of exactly the size
// promised), a decode must only succeed for a file whose chunks an
// independent walk finds whole, with matching CRCs, up to IEND, and of the
// size IHDR states; and its pixels must survive being written as a PNG and
// decoded again, byte for byte.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "image/png_codec.h"
#include "scan/png_header.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "PNG codec broken: %s\n", what);
    __builtin_trap();
  }
}

uint32_t Big32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// Every chunk from the signature on lies inside, with its CRC, up to IEND.
bool ChunksWhole(const uint8_t* data, size_t size) {
  size_t at = 8;
  while (size - at >= 12) {
    const uint32_t length = Big32(data + at);
    if (length > size - at - 12) return false;
    if (Crc32(data + at + 4, length + 4) != Big32(data + at + 8 + length)) return false;
    if (memcmp(data + at + 4, "IEND", 4) == 0) return true;
    at += 12 + static_cast<size_t>(length);
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The bytes on their own heap block, so a read past them is caught.
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
  if (size > 0) memcpy(bytes.get(), data, size);

  uint32_t width = 0;
  uint32_t height = 0;
  const bool isPng = PngImageSize(bytes.get(), static_cast<int64_t>(size), &width, &height);
  if (!isPng) return 0;
  Require(width == Big32(data + 16) && height == Big32(data + 20), "IHDR size misread");

  const int64_t pixelBytes = PngPixelBytes(width, height);
  if (pixelBytes == 0) return 0;
  std::unique_ptr<uint8_t[]> pixels(new uint8_t[static_cast<size_t>(pixelBytes)]);
  if (!DecodePng(bytes.get(), static_cast<int64_t>(size), width, height, pixels.get())) return 0;
  Require(ChunksWhole(data, size), "decoded a file whose chunks are not whole");

  // Blue, green, red, alpha out; red, green, blue, alpha in.
  std::vector<uint8_t> rgba(pixels.get(), pixels.get() + pixelBytes);
  for (size_t i = 0; i < rgba.size(); i += 4) std::swap(rgba[i], rgba[i + 2]);
  std::vector<uint8_t> again;
  Require(EncodePng(rgba.data(), width, height, &again), "decoded pixels cannot be written");
  std::unique_ptr<uint8_t[]> second(new uint8_t[static_cast<size_t>(pixelBytes)]);
  Require(DecodePng(again.data(), static_cast<int64_t>(again.size()), width, height, second.get()),
          "a written PNG does not decode");
  Require(memcmp(pixels.get(), second.get(), static_cast<size_t>(pixelBytes)) == 0,
          "pixels changed through a write and a decode");
  return 0;
}
