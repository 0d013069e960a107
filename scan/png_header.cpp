#include "scan/png_header.h"

#include "scan/byte_reader.h"

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t kIhdr = 0x49484452;

uint32_t BigEndian32(const ByteReader& r, int64_t at) {
  return (static_cast<uint32_t>(r.U8(at)) << 24) | (static_cast<uint32_t>(r.U8(at + 1)) << 16) |
         (static_cast<uint32_t>(r.U8(at + 2)) << 8) | r.U8(at + 3);
}

}  // namespace

bool PngImageSize(const uint8_t* data, int64_t size, uint32_t* width, uint32_t* height) {
  ByteReader r(data, size);
  if (!r.Has(0, kPngSizeBytes)) return false;
  for (int i = 0; i < 8; ++i) {
    if (r.U8(i) != kPngSignature[i]) return false;
  }
  if (BigEndian32(r, 12) != kIhdr) return false;
  *width = BigEndian32(r, 16);
  *height = BigEndian32(r, 20);
  return r.ok();
}

bool MayBePng(const uint8_t* data, int64_t size) {
  ByteReader r(data, size);
  if (!r.Has(0, 1)) return false;
  for (int i = 0; i < 8 && r.Has(i, 1); ++i) {
    if (r.U8(i) != kPngSignature[i]) return false;
  }
  return true;
}
