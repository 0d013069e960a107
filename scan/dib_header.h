#pragma once
#include <cstdint>

#include "scan/byte_reader.h"

// The one reading of a device-independent bitmap's header and of the sizes
// it implies: a BITMAPINFOHEADER, or the start of a longer version, whose
// fields stand at the same places. Every field is read at its fixed place
// whatever biSize says; biSize only locates what follows.

inline constexpr int64_t kDibInfoHeaderSize = 40;
// Positions of the fields a copy of a header is given new values at.
inline constexpr int64_t kDibHeightAt = 8;
inline constexpr int64_t kDibSizeImageAt = 20;

// biCompression values the program knows; every other one is drawn, if at
// all, by GDI alone.
enum DibCompression : uint32_t {
  kBiRgb = 0,
  kBiRle8 = 1,
  kBiRle4 = 2,
  kBiBitfields = 3,
  kBiAlphaBitfields = 6,
};

// Bytes in a row of width pixels of bitCount bits, padded to 4 bytes; width
// and bitCount must not be negative. An AND mask row is DibStride(width, 1).
inline int64_t DibStride(int64_t width, int64_t bitCount) {
  return (width * bitCount + 31) / 32 * 4;
}

// The header at a position of a reader's bytes. Each field is read when
// asked for, so a reader holding only the first 16 bytes still gives the
// width and height; ok() tells whether every field asked for lay inside the
// bytes.
class DibHeader {
 public:
  DibHeader(const ByteReader& r, int64_t at) : r_(r), at_(at) {}
  bool ok() const { return r_.ok(); }

  uint32_t Size() const { return r_.U32(at_); }
  int32_t Width() const { return r_.I32(at_ + 4); }
  // Negative for rows stored top-down; an icon's or cursor's counts the
  // colour rows and the AND mask rows together.
  int32_t Height() const { return r_.I32(at_ + kDibHeightAt); }
  uint16_t Planes() const { return r_.U16(at_ + 12); }
  uint16_t BitCount() const { return r_.U16(at_ + 14); }
  uint32_t Compression() const { return r_.U32(at_ + 16); }
  uint32_t SizeImage() const { return r_.U32(at_ + kDibSizeImageAt); }
  uint32_t ClrUsed() const { return r_.U32(at_ + 32); }

  // The rows drawn: |biHeight|, the colour half of it for an icon or cursor.
  int64_t Rows(bool iconLike) const {
    const int64_t height = Height();
    const int64_t rows = height < 0 ? -height : height;
    return iconLike ? rows / 2 : rows;
  }
  // Whether the depth has a row layout: 1, 4, 8, 16, 24 or 32 bits.
  bool KnownDepth() const {
    switch (BitCount()) {
      case 1:
      case 4:
      case 8:
      case 16:
      case 24:
      case 32:
        return true;
      default:
        return false;
    }
  }
  // Rows every one of which is stored whole; the others are a compressed
  // stream.
  bool Uncompressed() const {
    const uint32_t compression = Compression();
    return compression == kBiRgb || compression == kBiBitfields || compression == kBiAlphaBitfields;
  }
  // The colour masks GDI reads at the end of the 40-byte header, whatever
  // biSize says.
  int64_t ColourMaskBytes() const {
    const uint32_t compression = Compression();
    if (compression == kBiBitfields) return 12;
    if (compression == kBiAlphaBitfields) return 16;
    return 0;
  }
  // The masks stored between the header and the colour table: only a plain
  // 40-byte header is followed by them; the longer versions hold them.
  int64_t MasksAfterHeader() const { return Size() == kDibInfoHeaderSize ? ColourMaskBytes() : 0; }
  // Entries in the colour table: biClrUsed, or as many as the depth can
  // index (none above 8 bits) when it is 0.
  int64_t Colours() const {
    const int64_t used = ClrUsed();
    if (used != 0) return used;
    const uint16_t bitCount = BitCount();
    return bitCount == 1 || bitCount == 4 || bitCount == 8 ? int64_t{1} << bitCount : 0;
  }
  // A row of colour pixels; the width must not be negative.
  int64_t Stride() const { return DibStride(Width(), BitCount()); }
  // The AND mask of rows rows; the width must not be negative.
  int64_t AndMaskBytes(int64_t rows) const { return rows * DibStride(Width(), 1); }

 private:
  ByteReader r_;
  int64_t at_;
};
