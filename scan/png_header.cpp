#include "scan/png_header.h"

#include "scan/byte_reader.h"

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t kIhdr = 0x49484452;

}  // namespace

bool PngImageSize(const uint8_t* data, int64_t size, uint32_t* width, uint32_t* height) {
  ByteReader r(data, size);
  if (!r.Has(0, kPngSizeBytes)) return false;
  for (int i = 0; i < 8; ++i) {
    if (r.U8(i) != kPngSignature[i]) return false;
  }
  if (r.BigU32(12) != kIhdr) return false;
  *width = r.BigU32(16);
  *height = r.BigU32(20);
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
