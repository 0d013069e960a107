#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "scan/catalogue.h"

// Resource data of bitmaps, icons and cursors, as executables store them,
// in two kinds. Pictures: pixels from a function of (x, y) (MakeDib), or
// from a fixed pattern that readers can be checked against (palette index
// (x + 2y) mod colours, and for icons and cursors an AND mask bit set where
// (x / 2 + y) mod 4 is 0). Shapes: any header the loader may meet, with
// every field free (DibShape), its colour table and pixel bytes a counting
// pattern, so that a byte out of place shows.
using Bytes = std::vector<uint8_t>;

inline constexpr int32_t kInfoHeaderSize = 40;

// Bytes per stored row of width pixels at bitCount bits, padded to 4 bytes.
int32_t DibStride(int32_t width, uint16_t bitCount);
// Colour table entries that go with bitCount (0 above 8 bits).
int32_t DibColours(uint16_t bitCount);
// The palette index or, above 8 bits, the low byte of the colour that the
// pattern puts at (x, y), counting rows from the top of the picture.
uint32_t DibPatternPixel(int32_t x, int32_t y, uint16_t bitCount);
bool DibPatternMask(int32_t x, int32_t y);

// A DIB as resources hold it, its pixels given by functions of (x, y) with
// y counted from the top of the picture: header, colour table, colour rows
// and, for an icon or cursor image, the AND mask rows.
struct DibPixels {
  int32_t width = 32;
  int32_t height = 32;  // shown height; with a mask the stored one is twice this
  uint16_t bitCount = 4;
  // Colour table entries as 0x00RRGGBB (stored blue, green, red, 0).
  std::vector<uint32_t> palette;
  // The palette index; above 8 bits the colour, its low bitCount / 8 bytes
  // stored little-endian (0xAARRGGBB at 32 bits).
  std::function<uint32_t(int32_t x, int32_t y)> pixel;
  // Icons and cursors: whether the AND mask bit is set. Bitmaps have none.
  std::function<bool(int32_t x, int32_t y)> mask;
  // Rows stored top-down, under a negative stored height.
  bool topDown = false;
};
std::vector<uint8_t> MakeDib(const DibPixels& dib);

// A lone BITMAPINFOHEADER with exactly the stored width and height given.
std::vector<uint8_t> MakeInfoHeader(int32_t width, int32_t storedHeight, uint16_t bitCount = 4);

// Header, colour table and pixel rows (bottom-up, or top-down when height is
// negative).
std::vector<uint8_t> MakeBitmapData(int32_t width, int32_t height, uint16_t bitCount = 4);

// Header with the stored height doubled, colour table, colour pixels, then
// the 1-bit AND mask; width x height is what is shown.
std::vector<uint8_t> MakeIconData(int32_t width, int32_t height, uint16_t bitCount = 4);

// The two 16-bit hotspot values in front of an icon image.
std::vector<uint8_t> MakeCursorData(uint16_t hotX, uint16_t hotY, int32_t width, int32_t height,
                                    uint16_t bitCount = 1);

// One entry of an icon or cursor group directory: the size it claims for
// its member (bytes) is written as given, true or not.
struct GroupEntrySpec {
  uint16_t id;
  int32_t width = 32;
  int32_t height = 32;  // shown height; cursor entries store it doubled
  uint16_t bitCount = 4;
  uint32_t bytes = 0;
};

// A group directory: reserved, type (1 icon, 2 cursor), count, then 14-byte
// entries. count, when given, is written instead of the number of entries.
std::vector<uint8_t> MakeGroupData(bool cursor, const std::vector<GroupEntrySpec>& entries,
                                   std::optional<uint16_t> count = std::nullopt);

// The 24 bytes that make an icon or cursor image a PNG: the signature, then
// the header of a 13-byte chunk of type firstChunk holding width and height.
std::vector<uint8_t> MakePngStart(uint32_t width, uint32_t height, const char* firstChunk = "IHDR");

// A whole PNG of 8-bit RGBA pixels, argb(x, y) giving 0xAARRGGBB with y from
// the top, its image data in stored (uncompressed) zlib blocks, so that any
// decoder can read it.
std::vector<uint8_t> MakeRgbaPng(uint32_t width, uint32_t height,
                                 const std::function<uint32_t(uint32_t x, uint32_t y)>& argb);

// --- Shapes --------------------------------------------------------------

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

// Row stride of a DIB: rows padded to 4 bytes, in 64 bits for any width.
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
