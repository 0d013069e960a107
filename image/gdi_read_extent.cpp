#include "image/gdi_read_extent.h"

#include <limits>

#include "scan/byte_reader.h"
#include "scan/dib_header.h"

namespace {

constexpr int64_t kMaxInt64 = std::numeric_limits<int64_t>::max();

// Products of header values reach 2^65; a count past what memory can hold
// only needs to stay past it.
int64_t SaturatedProduct(int64_t a, int64_t b) {
  if (a == 0 || b == 0) return 0;
  return a > kMaxInt64 / b ? kMaxInt64 : a * b;
}

}  // namespace

GdiReadExtent ComputeGdiReadExtent(const uint8_t* header, ImageKind kind) {
  GdiReadExtent extent;
  const ByteReader r(header, kDibInfoHeaderSize);
  const DibHeader dib(r, 0);
  const int64_t biSize = dib.Size();
  const int64_t width = dib.Width();
  const int64_t biSizeImage = dib.SizeImage();
  if (biSize < kDibInfoHeaderSize || width < 0 || !dib.KnownDepth()) return extent;

  const int64_t masks = dib.ColourMaskBytes();
  const int64_t headerAndMasks =
      biSize > kDibInfoHeaderSize + masks ? biSize : kDibInfoHeaderSize + masks;
  extent.infoBytes = headerAndMasks + 4 * dib.Colours();

  const bool iconLike = kind != ImageKind::Bitmap;
  const int64_t rows = dib.Rows(iconLike);
  extent.rows = rows;
  const int64_t rowBytes = SaturatedProduct(dib.Stride(), rows);
  const bool uncompressed = dib.Uncompressed();
  if (iconLike) {
    // The copy's biSizeImage is the size of the rows uncompressed.
    extent.pixelBytes = rowBytes;
    extent.maskBytes = SaturatedProduct(DibStride(width, 1), rows);
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
