#pragma once
#include <cstdint>

// Icons and cursors made since 2007 may hold a whole PNG file as their image
// data (a cursor's after its 4-byte hotspot) instead of a BITMAPINFOHEADER.
// Such an image is recognised by the PNG signature followed by an IHDR chunk
// header; the width and height are IHDR's first two fields, big-endian.

// Signature, IHDR length and type, width and height.
inline constexpr int64_t kPngSizeBytes = 24;

// True when the size bytes at data (size may be any value; nothing outside
// [data, data + size) is read) start with the PNG signature and a chunk of
// type IHDR, with all kPngSizeBytes present; width and height then receive
// IHDR's values as stored, unchecked.
bool PngImageSize(const uint8_t* data, int64_t size, uint32_t* width, uint32_t* height);

// True when the visible bytes agree with a PNG signature as far as they go
// (at least one of them visible): the image may be a PNG whose IHDR lies
// beyond them.
bool MayBePng(const uint8_t* data, int64_t size);
