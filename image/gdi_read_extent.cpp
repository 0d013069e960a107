#include "image/gdi_read_extent.h"

#include <limits>

#include "scan/byte_reader.h"

namespace {

constexpr int64_t kInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;
constexpr int64_t kMaxInt64 = std::numeric_limits<int64_t>::max();

// Products of header values reach 2^65; a count past what memory can hold
// only needs to stay past it.
int64_t SaturatedProduct(int64_t a, int64_t b) {
  if (a == 0 || b == 0) return 0;
  return a > kMaxInt64 / b ? kMaxInt64 : a * b;
}

int64_t Stride(int64_t width, int64_t bitCount) { return (width * bitCount + 31) / 32 * 4; }

}  // namespace

GdiReadExtent ComputeGdiReadExtent(const uint8_t* header, ImageKind kind) {
  GdiReadExtent extent;
  ByteReader r(header, kInfoHeaderSize);
  const int64_t biSize = r.U32(0);
  const int64_t width = r.I32(4);
  const int64_t biHeight = r.I32(8);
  const uint32_t bitCount = r.U16(14);
  const uint32_t compression = r.U32(16);
  const int64_t biSizeImage = r.U32(20);
  const int64_t clrUsed = r.U32(32);
  if (biSize < kInfoHeaderSize || width < 0) return extent;
  switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return extent;
  }

  int64_t masks = 0;
  if (compression == kBiBitfields) masks = 12;
  if (compression == kBiAlphaBitfields) masks = 16;
  const int64_t colours = clrUsed != 0 ? clrUsed : (bitCount <= 8 ? int64_t{1} << bitCount : 0);
  const int64_t headerAndMasks =
      biSize > kInfoHeaderSize + masks ? biSize : kInfoHeaderSize + masks;
  extent.infoBytes = headerAndMasks + 4 * colours;

  const bool iconLike = kind != ImageKind::Bitmap;
  int64_t rows = biHeight < 0 ? -biHeight : biHeight;
  if (iconLike) rows /= 2;
  extent.rows = rows;
  const int64_t rowBytes = SaturatedProduct(Stride(width, bitCount), rows);
  const bool uncompressed =
      compression == kBiRgb || compression == kBiBitfields || compression == kBiAlphaBitfields;
  if (iconLike) {
    // The copy's biSizeImage is the size of the rows uncompressed.
    extent.pixelBytes = rowBytes;
    extent.maskBytes = SaturatedProduct(Stride(width, 1), rows);
    extent.bounded = uncompressed || rowBytes != 0;
  } else if (uncompressed) {
    extent.pixelBytes = rowBytes > biSizeImage ? rowBytes : biSizeImage;
    extent.bounded = true;
  } else {
    extent.pixelBytes = biSizeImage;
    extent.bounded = biSizeImage != 0;
  }
  return extent;
}
