#include "image/image_pixels.h"

#include "scan/byte_reader.h"
#include "scan/dib_header.h"

namespace {

// An RLE bitmap may state any size in a few bytes; its pixels are made only
// up to this many (128 MiB of RGBA).
constexpr int64_t kMaxRgbaPixels = int64_t{1} << 25;

// One colour channel of a packed pixel: where its mask starts and how many
// bits it has. Fewer than 8 bits are widened by repeating them, so that the
// largest value becomes 255.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  explicit Channel(uint32_t m) : mask(m) {
    if (m == 0) return;
    while (((m >> shift) & 1) == 0) ++shift;
    while (shift + bits < 32 && ((m >> (shift + bits)) & 1) != 0) ++bits;
  }
  uint8_t From(uint32_t pixel) const {
    if (mask == 0) return 0;
    uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<uint8_t>(v >> (bits - 8));
    uint32_t out = 0;
    for (int pos = 8 - bits; pos > -bits; pos -= bits) out |= pos >= 0 ? v << pos : v >> -pos;
    return static_cast<uint8_t>(out);
  }
};

struct Decoder {
  const LoadedImage& im;
  ByteReader pixels;  // from bits to the end of the loaded bytes
  ByteReader table;   // from colorTable to the end of the loaded bytes
  int64_t width;
  int64_t height;
  bool topDown;
  std::vector<uint8_t>& out;

  void Put(int64_t x, int64_t rowFromTop, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    uint8_t* p = out.data() + (rowFromTop * width + x) * 4;
    p[0] = r;
    p[1] = g;
    p[2] = b;
    p[3] = a;
  }
  int64_t RowFromTop(int64_t storedRow) const {
    return topDown ? storedRow : height - 1 - storedRow;
  }
  void PutIndex(int64_t x, int64_t rowFromTop, uint32_t index) {
    if (index >= im.colorCount) {
      Put(x, rowFromTop, 0, 0, 0, 255);
      return;
    }
    const int64_t at = 4 * static_cast<int64_t>(index);
    Put(x, rowFromTop, table.U8(at + 2), table.U8(at + 1), table.U8(at), 255);
  }
};

bool DecodeUncompressed(Decoder& d, uint32_t compression) {
  const uint32_t bitCount = d.im.bitCount;
  const int64_t stride = DibStride(d.width, bitCount);
  uint32_t masks[4] = {0, 0, 0, 0};
  if (bitCount == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  } else if (bitCount == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0xFF00;
    masks[2] = 0xFF;
  }
  if ((compression == kBiBitfields || compression == kBiAlphaBitfields) &&
      (bitCount == 16 || bitCount == 32)) {
    ByteReader header(d.im.header, d.im.data + d.im.dataSize - d.im.header);
    for (int i = 0; i < 3; ++i) masks[i] = header.U32(kDibInfoHeaderSize + 4 * i);
    if (!header.ok()) return false;
  }
  const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
  for (int64_t y = 0; y < d.height; ++y) {
    const int64_t row = y * stride;
    const int64_t top = d.RowFromTop(y);
    for (int64_t x = 0; x < d.width; ++x) {
      switch (bitCount) {
        case 1:
          d.PutIndex(x, top, (d.pixels.U8(row + x / 8) >> (7 - x % 8)) & 1);
          break;
        case 4:
          d.PutIndex(x, top, (d.pixels.U8(row + x / 2) >> (x % 2 == 0 ? 4 : 0)) & 0x0F);
          break;
        case 8:
          d.PutIndex(x, top, d.pixels.U8(row + x));
          break;
        case 24: {
          const int64_t at = row + 3 * x;
          d.Put(x, top, d.pixels.U8(at + 2), d.pixels.U8(at + 1), d.pixels.U8(at), 255);
          break;
        }
        case 16:
        case 32: {
          const uint32_t v = bitCount == 16 ? d.pixels.U16(row + 2 * x) : d.pixels.U32(row + 4 * x);
          d.Put(x, top, red.From(v), green.From(v), blue.From(v), 255);
          break;
        }
        default:
          return false;
      }
    }
  }
  return d.pixels.ok() && d.table.ok();
}

// RLE8 and RLE4: runs and literal groups, with end-of-line, end-of-bitmap
// and position jumps; rows count from the bottom unless stored top-down.
bool DecodeRle(Decoder& d, bool four) {
  // Pixels the stream leaves out take index 0, as most readers show them.
  for (int64_t y = 0; y < d.height; ++y) {
    for (int64_t x = 0; x < d.width; ++x) d.PutIndex(x, y, 0);
  }
  int64_t x = 0;
  int64_t y = 0;
  int64_t at = 0;
  const int64_t end = d.im.bitsSize;
  auto put = [&](uint32_t index) {
    if (x < d.width && y < d.height) d.PutIndex(x, d.RowFromTop(y), index);
    ++x;
  };
  while (at + 2 <= end) {
    const uint32_t count = d.pixels.U8(at);
    const uint32_t value = d.pixels.U8(at + 1);
    at += 2;
    if (count > 0) {
      for (uint32_t i = 0; i < count; ++i)
        put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
      continue;
    }
    if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      return d.pixels.ok() && d.table.ok();
    } else if (value == 2) {
      if (at + 2 > end) return false;
      x += d.pixels.U8(at);
      y += d.pixels.U8(at + 1);
      at += 2;
    } else {
      const int64_t bytes = four ? (value + 1) / 2 : value;
      if (bytes > end - at) return false;
      for (uint32_t i = 0; i < value; ++i) {
        const uint32_t b = d.pixels.U8(at + (four ? i / 2 : i));
        put(four ? (i % 2 == 0 ? b >> 4 : b & 0x0F) : b);
      }
      at += (bytes + 1) / 2 * 2;  // literal groups end on a 16-bit boundary
    }
    if (y >= d.height) break;
  }
  return d.pixels.ok() && d.table.ok();
}

// Transparent where the AND mask is set; only a complete mask is read.
void ApplyMask(const LoadedImage& im, std::vector<uint8_t>& out, bool topDown) {
  if (!im.maskComplete) return;
  const int64_t width = im.width;
  const int64_t height = im.height;
  const int64_t stride = DibStride(width, 1);
  const uint8_t* mask = im.bits + im.bitsSize;
  for (int64_t y = 0; y < height; ++y) {
    const int64_t top = topDown ? y : height - 1 - y;
    for (int64_t x = 0; x < width; ++x) {
      if ((mask[y * stride + x / 8] >> (7 - x % 8)) & 1) out[(top * width + x) * 4 + 3] = 0;
    }
  }
}

void ApplyOwnAlpha(const LoadedImage& im, std::vector<uint8_t>& out, bool topDown) {
  const int64_t width = im.width;
  const int64_t height = im.height;
  for (int64_t y = 0; y < height; ++y) {
    const int64_t top = topDown ? y : height - 1 - y;
    for (int64_t x = 0; x < width; ++x) {
      out[(top * width + x) * 4 + 3] = im.bits[(y * width + x) * 4 + 3];
    }
  }
}

}  // namespace

bool ImageToRgba(const LoadedImage& image, std::vector<uint8_t>* rgba) {
  rgba->clear();
  if (image.unusable || image.bits == nullptr || image.width < 0 || image.height < 0) return false;
  const int64_t width = image.width;
  const int64_t height = image.height;
  // An empty image has no pixels to give, and its rows alone may number
  // two thousand million.
  if (width == 0 || height == 0 || width * height > kMaxRgbaPixels) return false;
  rgba->assign(static_cast<size_t>(width * height * 4), 0);
  std::vector<uint8_t>& out = *rgba;
  if (image.png) {
    for (int64_t i = 0; i < width * height; ++i) {
      const uint8_t* p = image.bits + 4 * i;
      out[4 * i] = p[2];
      out[4 * i + 1] = p[1];
      out[4 * i + 2] = p[0];
      out[4 * i + 3] = p[3];
    }
    return true;
  }
  const uint8_t* end = image.data + image.dataSize;
  const DibHeader dib(ByteReader(image.header, end - image.header), 0);
  const bool topDown = dib.Height() < 0;
  const uint32_t compression = dib.Compression();
  if (!dib.ok()) return false;
  Decoder d{image,
            ByteReader(image.bits, end - image.bits),
            ByteReader(image.colorTable, end - image.colorTable),
            width,
            height,
            topDown,
            out};
  bool ok = false;
  const bool iconLike = image.kind != ImageKind::Bitmap;
  if (!iconLike && compression == kBiRle8 && image.bitCount == 8) {
    ok = DecodeRle(d, false);
  } else if (!iconLike && compression == kBiRle4 && image.bitCount == 4) {
    ok = DecodeRle(d, true);
  } else if (dib.Uncompressed()) {
    ok = DecodeUncompressed(d, compression);
  }
  if (!ok) {
    rgba->clear();
    return false;
  }
  if (iconLike) {
    if (image.alpha) {
      ApplyOwnAlpha(image, out, topDown);
    } else {
      ApplyMask(image, out, topDown);
    }
  }
  return true;
}

bool CompositeOver(const LoadedImage& image, uint8_t backRed, uint8_t backGreen, uint8_t backBlue,
                   std::vector<uint8_t>* bgra) {
  bgra->clear();
  if (!image.alpha || !ImageToRgba(image, bgra)) return false;
  std::vector<uint8_t>& px = *bgra;
  const uint8_t back[3] = {backRed, backGreen, backBlue};
  auto over = [](uint32_t c, uint32_t a, uint32_t b) {
    return static_cast<uint8_t>((c * a + b * (255 - a) + 127) / 255);
  };
  for (size_t i = 0; i < px.size(); i += 4) {
    const uint32_t a = px[i + 3];
    const uint8_t red = over(px[i], a, back[0]);
    const uint8_t green = over(px[i + 1], a, back[1]);
    const uint8_t blue = over(px[i + 2], a, back[2]);
    px[i] = blue;
    px[i + 1] = green;
    px[i + 2] = red;
    px[i + 3] = 0;
  }
  return true;
}
