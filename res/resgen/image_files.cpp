#include "res/resgen/image_files.h"

#include "res/resgen/little_endian.h"

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kDirectoryHeaderSize = 6;
constexpr int kDirectoryEntrySize = 16;
// An icon directory entry stores each side in one byte, 0 meaning 256.
constexpr int kLargestIconSide = 256;

bool Storable(const IndexedImage& image, int bitCount) {
  if (bitCount != 1 && bitCount != 4 && bitCount != 8) return false;
  if (image.width <= 0 || image.height <= 0) return false;
  if (image.pixels.size() != static_cast<size_t>(image.width) * image.height) return false;
  const size_t colours = size_t{1} << bitCount;
  if (image.palette.empty() || image.palette.size() > colours) return false;
  for (uint8_t index : image.pixels) {
    if (index >= image.palette.size()) return false;
  }
  return true;
}

void PutInfoHeader(std::vector<uint8_t>& out, int width, int height, int bitCount,
                   uint32_t imageSize) {
  Put32(out, kInfoHeaderSize);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(bitCount));
  Put32(out, 0);  // BI_RGB
  Put32(out, imageSize);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);  // every palette entry is written, so "used" can stay 0
  Put32(out, 0);
}

void PutPalette(std::vector<uint8_t>& out, const std::vector<Rgb>& palette, int bitCount) {
  const size_t colours = size_t{1} << bitCount;
  for (size_t i = 0; i < colours; ++i) {
    Rgb c = i < palette.size() ? palette[i] : Rgb{};
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
}

// Rows bottom-up, pixels packed from the high bits of each byte.
void PutRows(std::vector<uint8_t>& out, int width, int height, int bitCount, auto valueAt) {
  const int stride = DibStride(width, bitCount);
  for (int y = height - 1; y >= 0; --y) {
    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    for (int x = 0; x < width; ++x) {
      const int bit = x * bitCount;
      const int shift = 8 - bitCount - bit % 8;
      row[static_cast<size_t>(bit / 8)] |= static_cast<uint8_t>(valueAt(x, y) << shift);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
}

std::vector<uint8_t> EncodeMaskedDib(const MaskedImage& picture, int bitCount) {
  const IndexedImage& image = picture.colour;
  const int w = image.width;
  const int h = image.height;
  const uint32_t bitsSize = static_cast<uint32_t>(DibStride(w, bitCount) * h);
  const uint32_t maskSize = static_cast<uint32_t>(DibStride(w, 1) * h);
  std::vector<uint8_t> out;
  // The stored height counts both the colour rows and the mask rows.
  PutInfoHeader(out, w, 2 * h, bitCount, bitsSize + maskSize);
  PutPalette(out, image.palette, bitCount);
  PutRows(out, w, h, bitCount, [&](int x, int y) { return image.At(x, y); });
  PutRows(out, w, h, 1, [&](int x, int y) { return picture.IsTransparent(x, y) ? 1 : 0; });
  return out;
}

std::vector<uint8_t> EncodeDirectory(const std::vector<IconFileEntry>& entries, bool cursor) {
  if (entries.empty() || entries.size() > 0xFFFF) return {};
  std::vector<std::vector<uint8_t>> dibs;
  for (const IconFileEntry& entry : entries) {
    const IndexedImage& image = entry.image.colour;
    if (!Storable(image, entry.bitCount)) return {};
    if (image.width > kLargestIconSide || image.height > kLargestIconSide) return {};
    if (entry.image.transparent.size() != image.pixels.size()) return {};
    if (cursor && (entry.hotspotX < 0 || entry.hotspotY < 0 || entry.hotspotX >= image.width ||
                   entry.hotspotY >= image.height)) {
      return {};
    }
    dibs.push_back(EncodeMaskedDib(entry.image, entry.bitCount));
  }

  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, cursor ? 2 : 1);
  Put16(out, static_cast<uint32_t>(entries.size()));
  uint32_t offset = static_cast<uint32_t>(kDirectoryHeaderSize + kDirectoryEntrySize * entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const IconFileEntry& entry = entries[i];
    const IndexedImage& image = entry.image.colour;
    out.push_back(static_cast<uint8_t>(image.width % kLargestIconSide));
    out.push_back(static_cast<uint8_t>(image.height % kLargestIconSide));
    out.push_back(static_cast<uint8_t>(entry.bitCount < 8 ? 1 << entry.bitCount : 0));
    out.push_back(0);
    // A cursor keeps its hotspot where an icon keeps planes and bit count.
    Put16(out, static_cast<uint32_t>(cursor ? entry.hotspotX : 1));
    Put16(out, static_cast<uint32_t>(cursor ? entry.hotspotY : entry.bitCount));
    Put32(out, static_cast<uint32_t>(dibs[i].size()));
    Put32(out, offset);
    offset += static_cast<uint32_t>(dibs[i].size());
  }
  for (const std::vector<uint8_t>& dib : dibs) out.insert(out.end(), dib.begin(), dib.end());
  return out;
}

}  // namespace

int DibStride(int width, int bitCount) { return (width * bitCount + 31) / 32 * 4; }

std::vector<uint8_t> EncodeBmpFile(const IndexedImage& image, int bitCount) {
  if (!Storable(image, bitCount)) return {};
  const uint32_t paletteSize = 4u << bitCount;
  const uint32_t bitsOffset = kFileHeaderSize + kInfoHeaderSize + paletteSize;
  const uint32_t bitsSize = static_cast<uint32_t>(DibStride(image.width, bitCount) * image.height);
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, bitsOffset + bitsSize);
  Put32(out, 0);
  Put32(out, bitsOffset);
  PutInfoHeader(out, image.width, image.height, bitCount, bitsSize);
  PutPalette(out, image.palette, bitCount);
  PutRows(out, image.width, image.height, bitCount,
          [&](int x, int y) { return image.At(x, y); });
  return out;
}

std::vector<uint8_t> EncodeIconFile(const std::vector<IconFileEntry>& entries) {
  return EncodeDirectory(entries, false);
}

std::vector<uint8_t> EncodeCursorFile(const std::vector<IconFileEntry>& entries) {
  return EncodeDirectory(entries, true);
}
