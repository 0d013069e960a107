#pragma once
#include <cstdint>
#include <vector>

// The one way the program turns a PNG into pixels and pixels into a PNG.
// One implementation per platform (png_codec_libpng.cpp,
// png_codec_wic_win32.cpp); the build picks one. Decoding works on a plain
// byte buffer and never trusts it.

// The largest side decoded. An icon directory cannot state more than 256;
// four times that leaves room for odd files while one image stays at most
// 4 MiB of pixels.
inline constexpr uint32_t kMaxPngSide = 1024;

// Bytes of decoded pixels for a width x height PNG: 4 per pixel; 0 when a
// side is 0 or over kMaxPngSide, which is never decoded.
inline int64_t PngPixelBytes(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0 || width > kMaxPngSide || height > kMaxPngSide) return 0;
  return static_cast<int64_t>(width) * height * 4;
}

// Decodes the size bytes at png, a whole PNG file whose IHDR states width x
// height, into out (PngPixelBytes(width, height) bytes): rows top-down, each
// pixel blue, green, red, alpha at 8 bits, alpha not premultiplied. False,
// with out in any state, when the data is not a PNG of that size that
// decodes without error. Before any codec sees the bytes, every chunk must
// lie inside them with a matching CRC, up to IEND, so both platforms refuse
// the same damaged files.
bool DecodePng(const uint8_t* png, int64_t size, uint32_t width, uint32_t height, uint8_t* out);

// The platform's codec behind DecodePng, given only bytes that passed its
// checks.
bool DecodeCheckedPng(const uint8_t* png, int64_t size, uint32_t width, uint32_t height,
                      uint8_t* out);

// A PNG file of width x height 8-bit RGBA pixels (rows top-down, alpha not
// premultiplied) into out; false when the codec fails.
bool EncodePng(const uint8_t* rgba, uint32_t width, uint32_t height, std::vector<uint8_t>* out);
