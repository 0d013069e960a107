#include "image/png_codec.h"

#include "scan/byte_reader.h"
#include "scan/png_header.h"

namespace {

constexpr uint32_t kIend = 0x49454E44;
constexpr int64_t kSignatureSize = 8;
// Length, type, data, CRC: what a chunk adds beyond its data.
constexpr int64_t kChunkFrame = 12;
// The CRC of a chunk covers its type and its data.
constexpr int64_t kTypeSize = 4;

uint32_t Crc32(const uint8_t* p, int64_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  for (int64_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// Every chunk from the signature on lies in the bytes with its CRC right,
// and IEND comes; each chunk moves on by at least 12 bytes, so the walk
// ends.
bool ChunksIntact(const uint8_t* png, int64_t size) {
  ByteReader r(png, size);
  for (int64_t at = kSignatureSize;;) {
    const int64_t length = r.BigU32(at);
    const uint32_t type = r.BigU32(at + 4);
    if (!r.ok() || !r.Has(at + 8, length + 4)) return false;
    if (Crc32(png + at + 4, kTypeSize + length) != r.BigU32(at + 8 + length)) return false;
    if (type == kIend) return true;
    at += kChunkFrame + length;
  }
}

}  // namespace

bool DecodePng(const uint8_t* png, int64_t size, uint32_t width, uint32_t height, uint8_t* out) {
  uint32_t w = 0;
  uint32_t h = 0;
  if (png == nullptr || out == nullptr || !PngImageSize(png, size, &w, &h)) return false;
  if (w != width || h != height || PngPixelBytes(width, height) == 0) return false;
  // The codecs take 32-bit sizes.
  if (size > 0x7FFFFFFF || !ChunksIntact(png, size)) return false;
  return DecodeCheckedPng(png, size, width, height, out);
}
