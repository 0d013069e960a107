#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "image/image_loader.h"

// Resource bytes built in code: what a PE or NE file holds for one bitmap,
// icon or cursor. Pixels follow a simple pattern so that a byte out of
// place shows.
using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint32_t v);
void Put32(Bytes& b, size_t at, uint32_t v);
uint32_t Get16(const Bytes& b, size_t at);
uint32_t Get32(const Bytes& b, size_t at);

struct DibShape {
  int32_t width = 32;
  int32_t height = 32;  // visible height; icons and cursors store twice this
  uint16_t bitCount = 4;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  uint32_t clrUsed = 0;
  uint32_t headerSize = 40;
  bool topDown = false;  // bitmaps only: negative biHeight
};

// Row stride of a DIB: rows padded to 4 bytes.
int64_t Stride(int64_t width, int bitCount);
// A BITMAPINFOHEADER (biSize bytes, the rest zero) for the shape.
Bytes InfoHeader(const DibShape& shape, int32_t storedHeight);
// Header, colour masks for BI_BITFIELDS/BI_ALPHABITFIELDS behind a 40-byte
// header, colour table and pixel rows.
Bytes MakeBitmap(const DibShape& shape);
// Header with doubled height, colour table, colour bitmap and AND mask.
Bytes MakeIcon(const DibShape& shape);
// The icon layout behind a 4-byte hotspot.
Bytes MakeCursor(uint16_t hotspotX, uint16_t hotspotY, const DibShape& shape);
// A valid RGBA PNG (stored zlib blocks), which a decoder can read.
Bytes MakePng(uint32_t width, uint32_t height);

// A record over bytes that PrepareImage sees directly.
ImageRecord RecordFor(ImageKind kind, const Bytes& bytes, int32_t sequence = 0);
