#include "tests/support/dib_builder.h"

#include <cstdlib>

#include "tests/support/put_bytes.h"

int32_t DibStride(int32_t width, uint16_t bitCount) {
  return static_cast<int32_t>((static_cast<int64_t>(width) * bitCount + 31) / 32 * 4);
}

int32_t DibColours(uint16_t bitCount) { return bitCount <= 8 ? 1 << bitCount : 0; }

uint32_t DibPatternPixel(int32_t x, int32_t y, uint16_t bitCount) {
  if (bitCount <= 8)
    return static_cast<uint32_t>(x + 2 * y) % static_cast<uint32_t>(DibColours(bitCount));
  return static_cast<uint32_t>(x * 7 + y * 13) & 0xFF;
}

bool DibPatternMask(int32_t x, int32_t y) { return (x / 2 + y) % 4 == 0; }

std::vector<uint8_t> MakeInfoHeader(int32_t width, int32_t storedHeight, uint16_t bitCount) {
  std::vector<uint8_t> h;
  Put32(h, 0, kInfoHeaderSize);
  Put32(h, 4, static_cast<uint32_t>(width));
  Put32(h, 8, static_cast<uint32_t>(storedHeight));
  Put16(h, 12, 1);  // planes
  Put16(h, 14, bitCount);
  Put32(h, 16, 0);  // BI_RGB
  Put32(h, 36, 0);  // colours important: all
  return h;
}

std::vector<uint8_t> MakeDib(const DibPixels& dib) {
  const bool icon = static_cast<bool>(dib.mask);
  const int32_t stored = icon ? 2 * dib.height : dib.height;
  std::vector<uint8_t> b = MakeInfoHeader(dib.width, dib.topDown ? -stored : stored, dib.bitCount);
  for (uint32_t colour : dib.palette) Put32(b, b.size(), colour);
  const size_t stride = static_cast<size_t>(DibStride(dib.width, dib.bitCount));
  const size_t maskStride = static_cast<size_t>(DibStride(dib.width, 1));
  const size_t bitsAt = b.size();
  const size_t maskAt = bitsAt + stride * static_cast<size_t>(dib.height);
  b.resize(maskAt + (icon ? maskStride * static_cast<size_t>(dib.height) : 0), 0);
  const uint32_t low = dib.bitCount < 8 ? (1u << dib.bitCount) - 1 : 0;
  for (int32_t row = 0; row < dib.height; ++row) {
    const int32_t y = dib.topDown ? row : dib.height - 1 - row;
    uint8_t* bits = b.data() + bitsAt + static_cast<size_t>(row) * stride;
    for (int32_t x = 0; x < dib.width; ++x) {
      const uint32_t v = dib.pixel(x, y);
      if (dib.bitCount < 8) {
        const int32_t bit = x * dib.bitCount;
        bits[bit / 8] |= static_cast<uint8_t>((v & low) << (8 - dib.bitCount - bit % 8));
      } else {
        for (int32_t k = 0; k < dib.bitCount / 8; ++k) {
          bits[x * (dib.bitCount / 8) + k] = static_cast<uint8_t>(v >> (8 * k));
        }
      }
    }
    if (!icon) continue;
    uint8_t* mask = b.data() + maskAt + static_cast<size_t>(row) * maskStride;
    for (int32_t x = 0; x < dib.width; ++x) {
      if (dib.mask(x, y)) mask[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return b;
}

namespace {

// A spread of greys with a blue tint: every entry differs.
std::vector<uint32_t> PatternPalette(uint16_t bitCount) {
  std::vector<uint32_t> palette;
  const int32_t colours = DibColours(bitCount);
  for (int32_t i = 0; i < colours; ++i) {
    const auto level = static_cast<uint32_t>(colours > 1 ? i * 255 / (colours - 1) : 0);
    palette.push_back(level << 16 | level << 8 | (255 - level / 2));
  }
  return palette;
}

// The pattern's value at (x, y); above 8 bits its byte k is the pattern's
// low byte plus 40 k.
uint32_t PatternValue(int32_t x, int32_t y, uint16_t bitCount) {
  const uint32_t v = DibPatternPixel(x, y, bitCount);
  if (bitCount <= 8) return v;
  uint32_t value = 0;
  for (int32_t k = 0; k < bitCount / 8; ++k) value |= ((v + 40 * k) & 0xFF) << (8 * k);
  return value;
}

DibPixels Pattern(int32_t width, int32_t height, uint16_t bitCount) {
  return {width,
          height,
          bitCount,
          PatternPalette(bitCount),
          [bitCount](int32_t x, int32_t y) { return PatternValue(x, y, bitCount); },
          nullptr,
          false};
}

}  // namespace

std::vector<uint8_t> MakeBitmapData(int32_t width, int32_t height, uint16_t bitCount) {
  DibPixels dib = Pattern(width, std::abs(height), bitCount);
  dib.topDown = height < 0;
  return MakeDib(dib);
}

std::vector<uint8_t> MakeIconData(int32_t width, int32_t height, uint16_t bitCount) {
  DibPixels dib = Pattern(width, height, bitCount);
  dib.mask = DibPatternMask;
  return MakeDib(dib);
}

std::vector<uint8_t> MakeCursorData(uint16_t hotX, uint16_t hotY, int32_t width, int32_t height,
                                    uint16_t bitCount) {
  std::vector<uint8_t> b;
  Put16(b, 0, hotX);
  Put16(b, 2, hotY);
  PutBytes(b, 4, MakeIconData(width, height, bitCount));
  return b;
}

std::vector<uint8_t> MakeGroupData(bool cursor, const std::vector<GroupEntrySpec>& entries,
                                   std::optional<uint16_t> count) {
  std::vector<uint8_t> b(6, 0);
  Put16(b, 2, cursor ? 2 : 1);
  Put16(b, 4, count ? *count : static_cast<uint16_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    const GroupEntrySpec& e = entries[i];
    const size_t at = 6 + 14 * i;
    if (cursor) {
      Put16(b, at, static_cast<uint16_t>(e.width));
      Put16(b, at + 2, static_cast<uint16_t>(2 * e.height));
    } else {
      Put8(b, at, static_cast<uint8_t>(e.width));
      Put8(b, at + 1, static_cast<uint8_t>(e.height));
      Put8(b, at + 2, static_cast<uint8_t>(e.bitCount == 1 ? 2 : e.bitCount == 4 ? 16 : 0));
    }
    Put16(b, at + 4, 1);
    Put16(b, at + 6, e.bitCount);
    Put32(b, at + 8, e.bytes);
    Put16(b, at + 12, e.id);
  }
  return b;
}

std::vector<uint8_t> MakePngStart(uint32_t width, uint32_t height, const char* firstChunk) {
  std::vector<uint8_t> b(24, 0);
  const uint8_t start[12] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
  for (size_t i = 0; i < 12; ++i) b[i] = start[i];
  for (size_t i = 0; i < 4; ++i) b[12 + i] = static_cast<uint8_t>(firstChunk[i]);
  for (size_t i = 0; i < 4; ++i) {
    b[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    b[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  return b;
}

namespace {

uint32_t PngCrc32(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
  }
  return ~crc;
}

void PutBig32(std::vector<uint8_t>& b, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
}

void PngChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  PutBig32(png, static_cast<uint32_t>(data.size()));
  size_t start = png.size();
  for (int i = 0; i < 4; ++i) png.push_back(static_cast<uint8_t>(type[i]));
  png.insert(png.end(), data.begin(), data.end());
  PutBig32(png, PngCrc32(png.data() + start, png.size() - start));
}

}  // namespace

std::vector<uint8_t> MakeRgbaPng(uint32_t width, uint32_t height,
                                 const std::function<uint32_t(uint32_t x, uint32_t y)>& argb) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  PutBig32(ihdr, width);
  PutBig32(ihdr, height);
  for (uint8_t v : {8, 6, 0, 0, 0}) ihdr.push_back(v);  // 8-bit RGBA, no interlace
  PngChunk(png, "IHDR", ihdr);

  std::vector<uint8_t> raw;
  for (uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t v = argb(x, y);
      for (int shift : {16, 8, 0, 24}) raw.push_back(static_cast<uint8_t>(v >> shift));
    }
  }
  // zlib stream of stored blocks, then Adler-32.
  std::vector<uint8_t> z = {0x78, 0x01};
  for (size_t at = 0; at < raw.size() || at == 0;) {
    size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
    bool last = at + n == raw.size();
    z.push_back(last ? 1 : 0);
    for (size_t v : {n, n >> 8, ~n, ~n >> 8}) z.push_back(static_cast<uint8_t>(v));
    z.insert(z.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + n));
    at += n;
    if (last) break;
  }
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  PutBig32(z, (b << 16) | a);
  PngChunk(png, "IDAT", z);
  PngChunk(png, "IEND", {});
  return png;
}

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
