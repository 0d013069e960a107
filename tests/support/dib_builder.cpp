#include "tests/support/dib_builder.h"

#include <cstdlib>

#include "tests/support/put_bytes.h"

int32_t DibStride(int32_t width, uint16_t bitCount) {
  return static_cast<int32_t>((static_cast<int64_t>(width) * bitCount + 31) / 32 * 4);
}

int32_t DibColours(uint16_t bitCount) { return bitCount <= 8 ? 1 << bitCount : 0; }

uint32_t DibPatternPixel(int32_t x, int32_t y, uint16_t bitCount) {
  if (bitCount <= 8) return static_cast<uint32_t>(x + 2 * y) % static_cast<uint32_t>(DibColours(bitCount));
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

namespace {

void PutColourTable(std::vector<uint8_t>& b, uint16_t bitCount) {
  int32_t colours = DibColours(bitCount);
  for (int32_t i = 0; i < colours; ++i) {
    // A spread of greys with a blue tint: every entry differs.
    uint8_t level = static_cast<uint8_t>(colours > 1 ? i * 255 / (colours - 1) : 0);
    uint8_t quad[4] = {static_cast<uint8_t>(255 - level / 2), level, level, 0};
    PutBytes(b, b.size(), quad, 4);
  }
}

// Rows in stored order: bottom-up unless topDown.
void PutPixels(std::vector<uint8_t>& b, int32_t width, int32_t rows, uint16_t bitCount,
               bool topDown) {
  int32_t stride = DibStride(width, bitCount);
  for (int32_t r = 0; r < rows; ++r) {
    int32_t y = topDown ? r : rows - 1 - r;
    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    for (int32_t x = 0; x < width; ++x) {
      uint32_t v = DibPatternPixel(x, y, bitCount);
      if (bitCount < 8) {
        int32_t bit = x * bitCount;
        int32_t shift = 8 - bitCount - bit % 8;
        row[static_cast<size_t>(bit / 8)] |= static_cast<uint8_t>(v << shift);
      } else {
        int32_t bytes = bitCount / 8;
        for (int32_t k = 0; k < bytes; ++k) {
          row[static_cast<size_t>(x * bytes + k)] = static_cast<uint8_t>(v + 40 * k);
        }
      }
    }
    PutBytes(b, b.size(), row);
  }
}

void PutMask(std::vector<uint8_t>& b, int32_t width, int32_t height) {
  int32_t stride = DibStride(width, 1);
  for (int32_t r = 0; r < height; ++r) {
    int32_t y = height - 1 - r;
    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    for (int32_t x = 0; x < width; ++x) {
      if (DibPatternMask(x, y)) row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    PutBytes(b, b.size(), row);
  }
}

}  // namespace

std::vector<uint8_t> MakeBitmapData(int32_t width, int32_t height, uint16_t bitCount) {
  std::vector<uint8_t> b = MakeInfoHeader(width, height, bitCount);
  PutColourTable(b, bitCount);
  PutPixels(b, width, std::abs(height), bitCount, height < 0);
  return b;
}

std::vector<uint8_t> MakeIconData(int32_t width, int32_t height, uint16_t bitCount) {
  std::vector<uint8_t> b = MakeInfoHeader(width, 2 * height, bitCount);
  PutColourTable(b, bitCount);
  PutPixels(b, width, height, bitCount, false);
  PutMask(b, width, height);
  return b;
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
