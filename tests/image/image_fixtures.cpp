#include "tests/image/image_fixtures.h"

#include <cstdlib>

#include "tests/support/dib_builder.h"

void Put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(Bytes& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

uint32_t Get16(const Bytes& b, size_t at) { return b.at(at) | (b.at(at + 1) << 8); }

uint32_t Get32(const Bytes& b, size_t at) { return Get16(b, at) | (Get16(b, at + 2) << 16); }

int64_t Stride(int64_t width, int bitCount) { return (width * bitCount + 31) / 32 * 4; }

namespace {

uint32_t DefaultColours(const DibShape& shape) {
  if (shape.clrUsed != 0) return shape.clrUsed;
  return shape.bitCount <= 8 ? 1u << shape.bitCount : 0;
}

size_t MaskBytes(const DibShape& shape) {
  if (shape.headerSize != 40) return 0;
  if (shape.compression == 3) return 12;
  if (shape.compression == 6) return 16;
  return 0;
}

void AppendPattern(Bytes& out, size_t count, uint8_t seed) {
  for (size_t i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(seed + i * 7));
}

Bytes Dib(const DibShape& shape, int32_t storedHeight, bool withMask) {
  Bytes out = InfoHeader(shape, storedHeight);
  // Masks for 5-6-5 colour, then alpha: what BI_BITFIELDS files carry.
  const uint32_t masks[4] = {0xF800, 0x07E0, 0x001F, 0};
  size_t maskBytes = MaskBytes(shape);
  for (size_t i = 0; i < maskBytes / 4; ++i) {
    out.resize(out.size() + 4);
    Put32(out, out.size() - 4, masks[i]);
  }
  AppendPattern(out, 4 * static_cast<size_t>(DefaultColours(shape)), 0x10);
  int64_t rows = std::llabs(static_cast<int64_t>(shape.height));
  AppendPattern(out, static_cast<size_t>(rows * Stride(shape.width, shape.bitCount)), 0x40);
  if (withMask) {
    AppendPattern(out, static_cast<size_t>(rows * Stride(shape.width, 1)), 0x80);
  }
  return out;
}

}  // namespace

Bytes InfoHeader(const DibShape& shape, int32_t storedHeight) {
  Bytes h(shape.headerSize, 0);
  Put32(h, 0, shape.headerSize);
  Put32(h, 4, static_cast<uint32_t>(shape.width));
  Put32(h, 8, static_cast<uint32_t>(storedHeight));
  Put16(h, 12, 1);
  Put16(h, 14, shape.bitCount);
  Put32(h, 16, shape.compression);
  Put32(h, 20, shape.sizeImage);
  Put32(h, 32, shape.clrUsed);
  return h;
}

Bytes MakeBitmap(const DibShape& shape) {
  return Dib(shape, shape.topDown ? -shape.height : shape.height, false);
}

Bytes MakeIcon(const DibShape& shape) { return Dib(shape, shape.height * 2, true); }

Bytes MakeCursor(uint16_t hotspotX, uint16_t hotspotY, const DibShape& shape) {
  Bytes out(4, 0);
  Put16(out, 0, hotspotX);
  Put16(out, 2, hotspotY);
  Bytes icon = MakeIcon(shape);
  out.insert(out.end(), icon.begin(), icon.end());
  return out;
}

Bytes MakePng(uint32_t width, uint32_t height) {
  return MakeRgbaPng(width, height, [](uint32_t x, uint32_t y) {
    return 0xFF000000u | ((x & 255) << 16) | ((y & 255) << 8) | 0x80;
  });
}

ImageRecord RecordFor(ImageKind kind, const Bytes& bytes, int32_t sequence) {
  return ImageRecord{kind, 0, static_cast<int32_t>(bytes.size()), sequence, 0, "", ""};
}
