// The logo decoder on streams built here: what each stream byte means, the
// order of pixels and palette bytes, and damaged streams that must neither
// read nor write outside their buffers.
#include "image/pcx_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr size_t kHeader = 128;
constexpr size_t kPalette = 768;

struct Pixel {
  uint8_t blue, green, red, zero;
};

// Entry i is red i, green 255 - i, blue 7i: every entry differs from every
// other one and in each channel, so a swapped channel or entry shows.
std::vector<uint8_t> TestPalette() {
  std::vector<uint8_t> palette;
  for (int i = 0; i < 256; ++i) {
    palette.push_back(static_cast<uint8_t>(i));
    palette.push_back(static_cast<uint8_t>(255 - i));
    palette.push_back(static_cast<uint8_t>(i * 7));
  }
  return palette;
}

Pixel ColourOf(int index) {
  return {static_cast<uint8_t>(index * 7), static_cast<uint8_t>(255 - index),
          static_cast<uint8_t>(index), 0};
}

// Appends index-0 runs until the stream holds pixels pixels in all.
void FillTo(std::vector<uint8_t>& stream, uint32_t already, uint32_t pixels = kLogoPixelCount) {
  while (already < pixels) {
    const uint32_t run = std::min<uint32_t>(63, pixels - already);
    stream.push_back(static_cast<uint8_t>(0xC0 + run));
    stream.push_back(0);
    already += run;
  }
}

// Header (not read: filled with a pattern that would upset a reader that
// looked at it), stream, the 0x0C marker, palette.
std::vector<uint8_t> Resource(const std::vector<uint8_t>& stream, bool marker = true,
                              const std::vector<uint8_t>& palette = TestPalette()) {
  std::vector<uint8_t> out(kHeader, 0xEE);
  out.insert(out.end(), stream.begin(), stream.end());
  if (marker) out.push_back(0x0C);
  out.insert(out.end(), palette.begin(), palette.end());
  return out;
}

std::unique_ptr<uint8_t[]> Decode(const std::vector<uint8_t>& resource) {
  return DecodePcxResource(resource.data(), static_cast<uint32_t>(resource.size()));
}

Pixel At(const std::unique_ptr<uint8_t[]>& image, uint32_t pixel) {
  const uint8_t* p = image.get() + 4 * pixel;
  return {p[0], p[1], p[2], p[3]};
}

void ExpectColour(const std::unique_ptr<uint8_t[]>& image, uint32_t pixel, int index) {
  const Pixel got = At(image, pixel);
  const Pixel want = ColourOf(index);
  EXPECT_EQ(got.blue, want.blue) << "pixel " << pixel;
  EXPECT_EQ(got.green, want.green) << "pixel " << pixel;
  EXPECT_EQ(got.red, want.red) << "pixel " << pixel;
  EXPECT_EQ(got.zero, 0) << "pixel " << pixel;
}

}  // namespace

TEST(PcxDecoder, ByteC0IsOneLiteralPixelOfIndex192) {
  std::vector<uint8_t> stream = {0xC0, 0xC0, 0x05};
  FillTo(stream, 3);
  auto image = Decode(Resource(stream));
  ASSERT_TRUE(image);
  ExpectColour(image, 0, 192);
  ExpectColour(image, 1, 192);
  // Had 0xC0 been read as an empty run, 0x05 would have been its index.
  ExpectColour(image, 2, 5);
  ExpectColour(image, 3, 0);
}

TEST(PcxDecoder, RunsFromOneTo63Pixels) {
  // 0xC1: one pixel; 0xFF: 63; the index byte after a count is any value,
  // 0xC0 and above included.
  std::vector<uint8_t> stream = {0xC1, 9, 0xFF, 0xC7, 0xC2, 0xFF, 3};
  FillTo(stream, 1 + 63 + 2 + 1);
  auto image = Decode(Resource(stream));
  ASSERT_TRUE(image);
  ExpectColour(image, 0, 9);
  for (uint32_t p = 1; p <= 63; ++p) ExpectColour(image, p, 0xC7);
  ExpectColour(image, 64, 255);
  ExpectColour(image, 65, 255);
  ExpectColour(image, 66, 3);
  ExpectColour(image, 67, 0);
}

TEST(PcxDecoder, PixelsFollowRowByRowFromTheTopLeft) {
  // Every pixel a literal whose index tells its place; lines are not
  // padded, so row y starts 234 y pixels into the stream.
  auto indexAt = [](uint32_t x, uint32_t y) { return static_cast<uint8_t>((x * 5 + y * 3) % 193); };
  std::vector<uint8_t> stream;
  for (uint32_t y = 0; y < kLogoImageHeight; ++y) {
    for (uint32_t x = 0; x < kLogoImageWidth; ++x) stream.push_back(indexAt(x, y));
  }
  auto image = Decode(Resource(stream));
  ASSERT_TRUE(image);
  for (uint32_t y = 0; y < kLogoImageHeight; ++y) {
    for (uint32_t x = 0; x < kLogoImageWidth; ++x) {
      const Pixel got = At(image, y * kLogoImageWidth + x);
      const Pixel want = ColourOf(indexAt(x, y));
      ASSERT_TRUE(got.blue == want.blue && got.green == want.green && got.red == want.red &&
                  got.zero == 0)
          << "x " << x << " y " << y;
    }
  }
}

TEST(PcxDecoder, PaletteIsTheLastBytesWhateverComesBefore) {
  // Bytes between the stream and the palette, and a missing marker, do not
  // move the palette: it is found from the end.
  std::vector<uint8_t> stream = {0xC1, 255, 0xC1, 1, 0};
  FillTo(stream, 3);
  std::vector<uint8_t> padded = stream;
  padded.insert(padded.end(), 40, 0x77);
  for (const auto& resource : {Resource(stream, false), Resource(padded, true)}) {
    auto image = Decode(resource);
    ASSERT_TRUE(image);
    ExpectColour(image, 0, 255);  // the resource's last three bytes
    ExpectColour(image, 1, 1);
    ExpectColour(image, 2, 0);  // its first three palette bytes
  }
}

TEST(PcxDecoder, StreamEndingAtTheLastPixelIsAcceptedOneShortIsRefused) {
  std::vector<uint8_t> stream;
  FillTo(stream, 0);
  ASSERT_TRUE(Decode(Resource(stream, false)));
  std::vector<uint8_t> shortStream;
  FillTo(shortStream, 0, kLogoPixelCount - 1);
  EXPECT_FALSE(Decode(Resource(shortStream, false)));
  // The marker is not tested: before the palette it is one more byte of
  // the stream, a literal of index 12 that completes the image.
  auto withMarker = Decode(Resource(shortStream, true));
  ASSERT_TRUE(withMarker);
  ExpectColour(withMarker, kLogoPixelCount - 1, 0x0C);
  // A count whose index byte would be the first palette byte.
  shortStream.push_back(0xC1);
  EXPECT_FALSE(Decode(Resource(shortStream, false)));
}

TEST(PcxDecoder, RunPassingTheLastPixelIsCutThere) {
  std::vector<uint8_t> stream;
  FillTo(stream, 0, kLogoPixelCount - 2);
  stream.push_back(0xFF);  // 63 pixels where 2 remain
  stream.push_back(42);
  stream.push_back(0xFF);  // never reached
  auto image = Decode(Resource(stream));
  ASSERT_TRUE(image);
  ExpectColour(image, kLogoPixelCount - 3, 0);
  ExpectColour(image, kLogoPixelCount - 2, 42);
  ExpectColour(image, kLogoPixelCount - 1, 42);
}

TEST(PcxDecoder, ResourcesTooSmallForHeaderAndPalette) {
  for (size_t size : {size_t{0}, size_t{1}, kHeader, kPalette, kHeader + kPalette - 1}) {
    std::vector<uint8_t> bytes(size, 0xC5);
    EXPECT_FALSE(DecodePcxResource(bytes.data(), static_cast<uint32_t>(size))) << size;
  }
  EXPECT_FALSE(DecodePcxResource(nullptr, 0));
  // Header and palette but no stream at all.
  EXPECT_FALSE(Decode(std::vector<uint8_t>(kHeader + kPalette, 0)));
}

TEST(PcxDecoder, TruncatedAndFlippedStreamsStayInsideTheirBuffers) {
  // Each cut is copied into a buffer of exactly its size, so that the
  // sanitizer build catches a read past it. The palette is taken from the
  // end, so every cut shortens the stream; all but the cut of one byte,
  // which only loses the marker's place, must be refused. Every flip must
  // give a result or nothing.
  std::vector<uint8_t> stream;
  for (uint32_t i = 0; i < 2000; ++i) stream.push_back(static_cast<uint8_t>(i % 0xC0));
  FillTo(stream, 2000);
  const std::vector<uint8_t> whole = Resource(stream);
  for (size_t cut = 0; cut + 1 < whole.size(); cut += (cut < kHeader + 2100 ? 1 : 97)) {
    std::vector<uint8_t> bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
    auto image = DecodePcxResource(bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_FALSE(image) << cut;
  }
  EXPECT_TRUE(Decode(std::vector<uint8_t>(whole.begin(), whole.end() - 1)));
  uint32_t seed = 12345;
  int decoded = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bytes = whole;
    seed = seed * 1103515245 + 12345;
    const size_t at = kHeader + (seed >> 8) % (bytes.size() - kHeader - kPalette);
    bytes[at] = static_cast<uint8_t>(0xC0 + (seed >> 3) % 64);
    decoded += DecodePcxResource(bytes.data(), static_cast<uint32_t>(bytes.size())) != nullptr;
  }
  // Most flips only lengthen a run, which still fills the image.
  EXPECT_GT(decoded, 0);
}
