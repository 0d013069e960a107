#include "res/resgen/pcx_file.h"

#include "res/resgen/little_endian.h"

namespace {

constexpr uint8_t kManufacturer = 10;
constexpr uint8_t kVersion = 5;  // the version that carries a 256-colour palette
constexpr uint8_t kRunLengthEncoding = 1;
// A byte with both top bits set is a run count, so the longest run is 63
// and a pixel value of 0xC0 or more must be written as a run of one.
constexpr uint8_t kRunFlag = 0xC0;
constexpr int kLongestRun = 63;
constexpr int kLargestSide = 0xFFFF;
constexpr int kDotsPerInch = 96;

bool Storable(const IndexedImage& image) {
  if (image.width <= 0 || image.height <= 0) return false;
  if (image.width > kLargestSide || image.height > kLargestSide) return false;
  // Lines are stored in an even number of bytes; an odd width would put a
  // filler byte into the pixel stream.
  if (image.width % 2 != 0) return false;
  if (image.pixels.size() != static_cast<size_t>(image.width) * image.height) return false;
  if (image.palette.empty() || image.palette.size() > 256) return false;
  for (uint8_t index : image.pixels) {
    if (index >= image.palette.size()) return false;
  }
  return true;
}

bool IsGrey(const std::vector<Rgb>& palette) {
  for (const Rgb& c : palette) {
    if (c.r != c.g || c.g != c.b) return false;
  }
  return true;
}

void PutHeader(std::vector<uint8_t>& out, const IndexedImage& image) {
  out.push_back(kManufacturer);
  out.push_back(kVersion);
  out.push_back(kRunLengthEncoding);
  out.push_back(8);  // bits per pixel in the one plane
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(image.width - 1));
  Put16(out, static_cast<uint32_t>(image.height - 1));
  Put16(out, kDotsPerInch);
  Put16(out, kDotsPerInch);
  out.insert(out.end(), 48, 0);                    // the 16-colour palette, unused at 8 bits
  out.push_back(0);                                // reserved
  out.push_back(1);                                // planes
  Put16(out, static_cast<uint32_t>(image.width));  // bytes per line
  Put16(out, IsGrey(image.palette) ? 2 : 1);       // palette kind: 1 colour, 2 grey
  Put16(out, 0);
  Put16(out, 0);
  out.resize(kPcxHeaderSize, 0);
}

void PutRow(std::vector<uint8_t>& out, const IndexedImage& image, int y) {
  int x = 0;
  while (x < image.width) {
    const uint8_t value = image.At(x, y);
    int run = 1;
    while (run < kLongestRun && x + run < image.width && image.At(x + run, y) == value) ++run;
    if (run > 1 || value >= kRunFlag) out.push_back(static_cast<uint8_t>(kRunFlag | run));
    out.push_back(value);
    x += run;
  }
}

}  // namespace

std::vector<uint8_t> EncodePcxFile(const IndexedImage& image) {
  if (!Storable(image)) return {};
  std::vector<uint8_t> out;
  PutHeader(out, image);
  for (int y = 0; y < image.height; ++y) PutRow(out, image, y);
  out.push_back(kPcxPaletteMarker);
  for (size_t i = 0; i < 256; ++i) {
    const Rgb c = i < image.palette.size() ? image.palette[i] : Rgb{};
    out.push_back(c.r);
    out.push_back(c.g);
    out.push_back(c.b);
  }
  return out;
}
