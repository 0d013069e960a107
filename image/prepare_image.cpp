#include <cstdint>
#include <limits>

#include "image/image_loader.h"
#include "scan/byte_reader.h"
#include "scan/dib_header.h"
#include "scan/png_header.h"

namespace {

// A cursor's data starts with its hotspot, two 16-bit words.
constexpr int64_t kHotspotSize = 4;

constexpr int64_t kMaxInt32 = std::numeric_limits<int32_t>::max();

// The IHDR size stands in for the header: no pixel count may pass what a
// classic image could state, and the decoded pixels must be addressable by
// 32-bit sizes.
void PreparePng(uint32_t pngWidth, uint32_t pngHeight, const uint8_t* pngPixels,
                ImageRecord* record, LoadedImage* image) {
  LoadedImage& im = *image;
  if (pngWidth > kMaxInt32 || pngHeight > kMaxInt32) {
    im.unusable = true;
    return;
  }
  const int64_t width = pngWidth;
  const int64_t height = pngHeight;
  im.width = static_cast<int32_t>(width);
  im.height = static_cast<int32_t>(height);
  im.bitCount = 32;
  im.colorCount = 0;
  im.filled |= kPreparedWidth | kPreparedHeight | kPreparedBitCount | kPreparedColorCount;
  im.colorTable = im.header;
  if (width * height > kMaxInt32 || width * height * 4 > std::numeric_limits<uint32_t>::max()) {
    im.unusable = true;
    return;
  }
  record->area = static_cast<int32_t>(width * height);
  im.bitsSize = static_cast<uint32_t>(width * 4 * height);
  im.filled |= kPreparedBitsSize;
  im.png = true;
  im.alpha = true;
  im.bits = pngPixels;
  if (pngPixels == nullptr) im.unusable = true;
}

// Windows draws a 32-bit icon with its alpha as soon as one alpha byte is
// not 0; one whose alpha bytes are all 0 was made for the AND mask.
bool AnyAlpha(const uint8_t* bits, int64_t width, int64_t height) {
  // Without a column there is no alpha byte, however many rows the header
  // claims; walking them would cost a hostile height's time for nothing.
  if (width <= 0) return false;
  const int64_t stride = width * 4;
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* row = bits + y * stride;
    for (int64_t x = 0; x < width; ++x) {
      if (row[4 * x + 3] != 0) return true;
    }
  }
  return false;
}

}  // namespace

bool RecordPngSize(const uint8_t* bytes, const ImageRecord& record, uint32_t* width,
                   uint32_t* height) {
  if (record.kind != ImageKind::Icon && record.kind != ImageKind::Cursor) return false;
  const int64_t at = record.kind == ImageKind::Cursor ? kHotspotSize : 0;
  if (bytes == nullptr || record.size < at) return false;
  return PngImageSize(bytes + at, record.size - at, width, height);
}

// Every value taken from the bytes is widened to 64 bits before it is added
// or multiplied, and every offset is checked against the loaded size before
// a pointer is formed from it.
void PrepareImage(const uint8_t* bytes, ImageRecord* record, LoadedImage* image,
                  const uint8_t* pngPixels) {
  LoadedImage& im = *image;
  im.unusable = false;
  im.filled = 0;
  im.data = bytes;
  im.dataSize = record->size < 0 ? 0 : record->size;
  im.maskComplete = false;
  im.png = false;
  im.alpha = false;

  const int64_t size = im.dataSize;
  const ImageKind kind = record->kind;
  const bool iconLike = kind != ImageKind::Bitmap;
  const int64_t headerAt = kind == ImageKind::Cursor ? kHotspotSize : 0;
  uint32_t pngWidth = 0;
  uint32_t pngHeight = 0;
  const bool png = RecordPngSize(bytes, *record, &pngWidth, &pngHeight);
  if (!png && size < headerAt + kDibInfoHeaderSize) {
    im.unusable = true;
    return;
  }
  im.kind = kind;
  ByteReader r(bytes, size);
  if (kind == ImageKind::Cursor) {
    im.hotspotX = r.U16(0);
    im.hotspotY = r.U16(2);
  }
  im.header = bytes + headerAt;
  if (png) {
    PreparePng(pngWidth, pngHeight, pngPixels, record, image);
    return;
  }
  const DibHeader dib(r, headerAt);
  if (dib.Planes() != 1) {
    im.unusable = true;
    return;
  }
  const uint32_t biSize = dib.Size();
  const int32_t biWidth = dib.Width();
  const uint32_t biCompression = dib.Compression();
  const uint32_t biSizeImage = dib.SizeImage();

  im.width = biWidth;
  im.bitCount = dib.BitCount();
  im.filled |= kPreparedWidth | kPreparedBitCount;
  const int64_t height = dib.Rows(iconLike);
  // Only a bitmap's biHeight of -2^31 has no positive 32-bit height.
  if (height > kMaxInt32) {
    im.unusable = true;
    return;
  }
  im.height = static_cast<int32_t>(height);
  im.filled |= kPreparedHeight;
  // A negative width turns every size below negative: nothing to draw.
  const int64_t width = biWidth;
  if (width < 0 || width * height > kMaxInt32) {
    im.unusable = true;
    return;
  }
  record->area = static_cast<int32_t>(width * height);

  const int64_t available = size - headerAt;
  if (biSize < kDibInfoHeaderSize || biSize > available) {
    im.unusable = true;
    return;
  }
  // GDI reads bitfield masks at the end of the 40-byte header whatever
  // biSize says; a header that ends inside them would hand it bytes that
  // belong to the colour table or pixels, or lie past them.
  if (biSize > kDibInfoHeaderSize && biSize < kDibInfoHeaderSize + dib.ColourMaskBytes()) {
    im.unusable = true;
    return;
  }
  im.colorTable = im.header + biSize;

  if (!dib.KnownDepth()) {
    im.unusable = true;
    return;
  }
  const uint32_t colorCount = static_cast<uint32_t>(dib.Colours());
  im.colorCount = colorCount;
  im.filled |= kPreparedColorCount;

  // width * height fits 31 bits, so rows of at most 4 * width + 3 bytes
  // times height fit 64 bits easily.
  const int64_t pixelBytes = height * dib.Stride();
  const int64_t bitsSize =
      (!iconLike && biSizeImage != 0) ? static_cast<int64_t>(biSizeImage) : pixelBytes;
  if (bitsSize > std::numeric_limits<uint32_t>::max()) {
    im.unusable = true;
    return;
  }
  im.bitsSize = static_cast<uint32_t>(bitsSize);
  im.filled |= kPreparedBitsSize;

  const int64_t bitsAt =
      headerAt + biSize + dib.MasksAfterHeader() + 4 * static_cast<int64_t>(colorCount);
  if (bitsAt > size) {
    im.unusable = true;
    return;
  }
  im.bits = bytes + bitsAt;

  int64_t drawnBytes = bitsSize;
  if ((iconLike || dib.Uncompressed()) && pixelBytes > drawnBytes) drawnBytes = pixelBytes;
  if (drawnBytes > size - bitsAt) {
    im.unusable = true;
    return;
  }
  if (iconLike) {
    const int64_t maskBytes = dib.AndMaskBytes(height);
    im.maskComplete = maskBytes <= size - bitsAt - bitsSize;
    // Checked above: height rows of stride bytes lie in the loaded bytes.
    if (im.bitCount == 32 && biCompression == kBiRgb) im.alpha = AnyAlpha(im.bits, width, height);
  }
}
