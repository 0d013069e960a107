#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>

#include "image/gdi_read_extent.h"
#include "image/image_loader.h"
#include "image/image_pixels.h"
#include "tests/image/gdi_reads_check.h"
#include "tests/support/dib_builder.h"
#include "tests/support/put_bytes.h"

namespace {

// The bytes in a heap block of exactly their size, so that a sanitizer
// build catches any read past them.
struct Exact {
  explicit Exact(const Bytes& b)
      : size(b.size()), data(new uint8_t[b.size() + (b.empty() ? 1 : 0)]) {
    if (!b.empty()) memcpy(data.get(), b.data(), b.size());
  }
  size_t size;
  std::unique_ptr<uint8_t[]> data;
};

struct Prepared {
  LoadedImage image;
  ImageRecord record;
};

Prepared Prepare(const Exact& bytes, ImageKind kind, const LoadedImage& before = LoadedImage{}) {
  Prepared p{before, ImageRecord{kind, 0, static_cast<int32_t>(bytes.size), 0, -1, "", ""}};
  PrepareImage(bytes.data.get(), &p.record, &p.image);
  return p;
}

Prepared Prepare(const Bytes& bytes, ImageKind kind) {
  static std::unique_ptr<Exact> keep;  // the image points into it
  keep = std::make_unique<Exact>(bytes);
  return Prepare(*keep, kind);
}

int64_t Offset(const uint8_t* from, const uint8_t* to) { return to - from; }

}  // namespace

TEST(PrepareImage, IconOf744BytesHasItsMaskAfterThePixels) {
  DibShape shape;  // 32 x 32, 4 bits
  Bytes icon = MakeIcon(shape);
  ASSERT_EQ(icon.size(), 744u);
  Prepared p = Prepare(icon, ImageKind::Icon);
  const LoadedImage& im = p.image;
  EXPECT_FALSE(im.unusable);
  EXPECT_EQ(im.kind, ImageKind::Icon);
  EXPECT_EQ(im.width, 32);
  EXPECT_EQ(im.height, 32);
  EXPECT_EQ(im.bitCount, 4u);
  EXPECT_EQ(im.colorCount, 16u);
  EXPECT_EQ(im.bitsSize, 512u);
  EXPECT_EQ(im.header, im.data);
  EXPECT_EQ(Offset(im.header, im.colorTable), 40);
  EXPECT_EQ(Offset(im.colorTable, im.bits), 64);
  // The AND mask: 32 rows of 4 bytes, ending exactly at the last byte.
  EXPECT_EQ(Offset(im.data, im.bits + im.bitsSize) + 32 * 4, 744);
  EXPECT_TRUE(im.maskComplete);
  EXPECT_EQ(p.record.area, 1024);
}

TEST(PrepareImage, HeightsAreMadePositiveAndHalvedForIconsOnly) {
  DibShape shape;
  shape.width = 10;
  shape.height = 20;
  shape.bitCount = 24;
  shape.topDown = true;
  Prepared bitmap = Prepare(MakeBitmap(shape), ImageKind::Bitmap);
  EXPECT_FALSE(bitmap.image.unusable);
  EXPECT_EQ(bitmap.image.height, 20);
  EXPECT_EQ(bitmap.record.area, 200);

  // Stored height 65: the visible image is 32 rows, truncating.
  Bytes icon = MakeIcon(shape);
  Put32(icon, 8, 65);
  Prepared odd = Prepare(icon, ImageKind::Icon);
  EXPECT_EQ(odd.image.height, 32);
  EXPECT_EQ(odd.record.area, 320);
}

TEST(PrepareImage, ClrUsedSetsTheColourCount) {
  DibShape shape;
  shape.bitCount = 8;
  shape.clrUsed = 17;
  Prepared p = Prepare(MakeBitmap(shape), ImageKind::Bitmap);
  EXPECT_FALSE(p.image.unusable);
  EXPECT_EQ(p.image.colorCount, 17u);
  EXPECT_EQ(Offset(p.image.colorTable, p.image.bits), 68);
}

TEST(PrepareImage, ColourMasksBehindAPlainHeaderComeBeforeThePixels) {
  DibShape shape;
  shape.bitCount = 16;
  shape.compression = 3;  // BI_BITFIELDS
  Prepared p = Prepare(MakeBitmap(shape), ImageKind::Bitmap);
  EXPECT_FALSE(p.image.unusable);
  EXPECT_EQ(Offset(p.image.header, p.image.bits), 40 + 12);

  shape.bitCount = 32;
  shape.compression = 6;  // BI_ALPHABITFIELDS: four masks
  p = Prepare(MakeBitmap(shape), ImageKind::Bitmap);
  EXPECT_FALSE(p.image.unusable);
  EXPECT_EQ(Offset(p.image.header, p.image.bits), 40 + 16);

  // A colour table, when there is one, follows the masks.
  shape.compression = 3;
  shape.clrUsed = 2;
  p = Prepare(MakeBitmap(shape), ImageKind::Bitmap);
  EXPECT_EQ(Offset(p.image.header, p.image.bits), 40 + 12 + 8);

  // The longer header versions hold their masks inside.
  shape.clrUsed = 0;
  shape.headerSize = 124;
  p = Prepare(MakeBitmap(shape), ImageKind::Bitmap);
  EXPECT_FALSE(p.image.unusable);
  EXPECT_EQ(Offset(p.image.header, p.image.bits), 124);

  // GDI takes the masks from bytes 40 to 52 whatever biSize says: a header
  // ending among them would have it read the pixels, or past a 1 x 1 image.
  for (uint32_t headerSize : {44u, 48u, 51u}) {
    shape.width = 1;
    shape.height = 1;
    shape.headerSize = headerSize;
    p = Prepare(MakeBitmap(shape), ImageKind::Bitmap);
    EXPECT_TRUE(p.image.unusable) << headerSize;
  }
  shape.headerSize = 52;
  EXPECT_FALSE(Prepare(MakeBitmap(shape), ImageKind::Bitmap).image.unusable);
}

// What GDI may read, from the header alone. The table holds the header
// fields; rows, mask and bounds follow from them.
TEST(GdiReadExtent, CountsHeaderColoursPixelsAndMask) {
  struct Case {
    const char* what;
    ImageKind kind;
    uint32_t biSize;
    int32_t width;
    int32_t height;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    uint32_t clrUsed;
    bool bounded;
    int64_t infoBytes;
    int64_t pixelBytes;
    int64_t maskBytes;
    int64_t rows;
  };
  constexpr int64_t kSaturated = std::numeric_limits<int64_t>::max();
  const Case cases[] = {
      {"4-bit bottom-up", ImageKind::Bitmap, 40, 32, 32, 4, 0, 0, 0, true, 104, 512, 0, 32},
      {"4-bit top-down", ImageKind::Bitmap, 40, 32, -32, 4, 0, 0, 0, true, 104, 512, 0, 32},
      {"1-bit rows padded", ImageKind::Bitmap, 40, 33, 2, 1, 0, 0, 0, true, 48, 16, 0, 2},
      {"24-bit one pixel", ImageKind::Bitmap, 40, 1, 1, 24, 0, 0, 0, true, 40, 4, 0, 1},
      {"biClrUsed 17", ImageKind::Bitmap, 40, 4, 1, 8, 0, 0, 17, true, 108, 4, 0, 1},
      {"biClrUsed over 256 counted whole", ImageKind::Bitmap, 40, 4, 1, 8, 0, 0, 300, true, 1240, 4,
       0, 1},
      {"16-bit, no table", ImageKind::Bitmap, 40, 2, 2, 16, 0, 0, 0, true, 40, 8, 0, 2},
      {"32-bit with an optimising table", ImageKind::Bitmap, 40, 1, 1, 32, 0, 0, 3, true, 52, 4, 0,
       1},
      {"bitfields behind 40 bytes", ImageKind::Bitmap, 40, 2, 2, 16, 3, 0, 0, true, 52, 8, 0, 2},
      {"alpha bitfields behind 40 bytes", ImageKind::Bitmap, 40, 1, 1, 32, 6, 0, 0, true, 56, 4, 0,
       1},
      {"bitfields inside a V5 header", ImageKind::Bitmap, 124, 1, 1, 32, 3, 0, 0, true, 124, 4, 0,
       1},
      {"bitfields past a 44-byte header", ImageKind::Bitmap, 44, 1, 1, 32, 3, 0, 0, true, 52, 4, 0,
       1},
      {"large biSizeImage read too", ImageKind::Bitmap, 40, 1, 1, 24, 0, 4000, 0, true, 40, 4000, 0,
       1},
      {"small biSizeImage ignored", ImageKind::Bitmap, 40, 8, 8, 8, 0, 1, 0, true, 1064, 64, 0, 8},
      {"RLE8 read to biSizeImage", ImageKind::Bitmap, 40, 32, 32, 8, 1, 300, 0, true, 1064, 300, 0,
       32},
      {"RLE4 read to biSizeImage", ImageKind::Bitmap, 40, 32, 32, 4, 2, 7, 0, true, 104, 7, 0, 32},
      {"RLE8 without biSizeImage", ImageKind::Bitmap, 40, 32, 32, 8, 1, 0, 0, false, 1064, 0, 0,
       32},
      {"JPEG without biSizeImage", ImageKind::Bitmap, 40, 32, 32, 24, 4, 0, 0, false, 40, 0, 0, 32},
      {"unknown compression", ImageKind::Bitmap, 40, 32, 32, 24, 77, 50, 0, true, 40, 50, 0, 32},
      {"lowest biHeight", ImageKind::Bitmap, 40, 1, INT32_MIN, 8, 0, 0, 0, true, 1064,
       int64_t{4} << 31, 0, int64_t{1} << 31},
      {"sides near 2^31 saturate", ImageKind::Bitmap, 40, INT32_MAX, INT32_MAX, 32, 0, 0, 0, true,
       40, kSaturated, 0, INT32_MAX},
      {"icon: visible half and mask", ImageKind::Icon, 40, 32, 64, 4, 0, 0, 0, true, 104, 512, 128,
       32},
      {"icon: odd stored height", ImageKind::Icon, 40, 32, 65, 4, 0, 0, 0, true, 104, 512, 128, 32},
      {"icon: top-down", ImageKind::Icon, 40, 32, -64, 32, 0, 0, 0, true, 40, 4096, 128, 32},
      {"cursor: 1-bit, mask padded", ImageKind::Cursor, 40, 33, 4, 1, 0, 0, 0, true, 48, 16, 16, 2},
      {"icon: RLE's biSizeImage replaced", ImageKind::Icon, 40, 32, 64, 8, 1, 5, 0, true, 1064,
       1024, 128, 32},
      {"icon: RLE of no pixels", ImageKind::Icon, 40, 0, 64, 8, 1, 5, 0, false, 1064, 0, 0, 32},
      {"short header", ImageKind::Bitmap, 39, 1, 1, 8, 0, 0, 0, false, 0, 0, 0, 0},
      {"negative width", ImageKind::Bitmap, 40, -1, 1, 8, 0, 0, 0, false, 0, 0, 0, 0},
      {"2-bit", ImageKind::Bitmap, 40, 1, 1, 2, 0, 0, 0, false, 0, 0, 0, 0},
      {"0-bit", ImageKind::Icon, 40, 1, 2, 0, 5, 10, 0, false, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    Bytes h(40, 0);
    Put32(h, 0, c.biSize);
    Put32(h, 4, static_cast<uint32_t>(c.width));
    Put32(h, 8, static_cast<uint32_t>(c.height));
    Put16(h, 12, 1);
    Put16(h, 14, c.bitCount);
    Put32(h, 16, c.compression);
    Put32(h, 20, c.sizeImage);
    Put32(h, 32, c.clrUsed);
    const GdiReadExtent e = ComputeGdiReadExtent(h.data(), c.kind);
    EXPECT_EQ(e.bounded, c.bounded) << c.what;
    if (!c.bounded && c.rows == 0) continue;
    EXPECT_EQ(e.infoBytes, c.infoBytes) << c.what;
    EXPECT_EQ(e.pixelBytes, c.pixelBytes) << c.what;
    EXPECT_EQ(e.maskBytes, c.maskBytes) << c.what;
    EXPECT_EQ(e.rows, c.rows) << c.what;
  }
}

TEST(PrepareImage, TooShortResourcesAreUnusableWithoutTouchingOtherFields) {
  LoadedImage before;
  memset(static_cast<void*>(&before), 0x5A, sizeof before);
  before.unusable = false;
  before.maskComplete = false;
  Bytes cursor = MakeCursor(1, 2, DibShape{});
  cursor.resize(43);
  Exact bytes(cursor);
  Prepared p = Prepare(bytes, ImageKind::Cursor, before);
  EXPECT_TRUE(p.image.unusable);
  EXPECT_EQ(p.record.area, -1);
  EXPECT_EQ(p.image.data, bytes.data.get());
  EXPECT_EQ(p.image.dataSize, 43);
  EXPECT_EQ(p.image.kind, before.kind);
  EXPECT_EQ(p.image.width, before.width);
  EXPECT_EQ(p.image.height, before.height);
  EXPECT_EQ(p.image.bitCount, before.bitCount);
  EXPECT_EQ(p.image.hotspotX, before.hotspotX);
  EXPECT_EQ(p.image.hotspotY, before.hotspotY);
  EXPECT_EQ(p.image.header, before.header);
  EXPECT_EQ(p.image.colorTable, before.colorTable);
  EXPECT_EQ(p.image.colorCount, before.colorCount);
  EXPECT_EQ(p.image.bits, before.bits);
  EXPECT_EQ(p.image.bitsSize, before.bitsSize);
  EXPECT_EQ(p.image.filled, 0);

  // 44 bytes of cursor and 40 of bitmap pass the size test: a 0 x 0
  // 24-bit bitmap is nothing but its header.
  cursor = MakeCursor(1, 2, DibShape{});
  cursor.resize(44);
  p = Prepare(Exact(cursor), ImageKind::Cursor, before);
  EXPECT_EQ(p.image.kind, ImageKind::Cursor);
  EXPECT_EQ(p.image.hotspotX, 1u);
  EXPECT_EQ(p.image.hotspotY, 2u);
  DibShape empty;
  empty.width = 0;
  empty.height = 0;
  empty.bitCount = 24;
  Bytes bitmap = MakeBitmap(empty);
  ASSERT_EQ(bitmap.size(), 40u);
  EXPECT_FALSE(Prepare(bitmap, ImageKind::Bitmap).image.unusable);
}

TEST(PrepareImage, DepthsAndPlanesOutsideTheTableAreUnusable) {
  DibShape shape;
  shape.bitCount = 2;
  EXPECT_TRUE(Prepare(MakeBitmap(shape), ImageKind::Bitmap).image.unusable);
  shape.bitCount = 0;
  EXPECT_TRUE(Prepare(MakeBitmap(shape), ImageKind::Bitmap).image.unusable);
  shape.bitCount = 4;
  Bytes planes = MakeBitmap(shape);
  Put16(planes, 12, 2);
  EXPECT_TRUE(Prepare(planes, ImageKind::Bitmap).image.unusable);
}

TEST(PrepareImage, PixelsMustLieInTheBytesCountedFromTheHeader) {
  // A cursor's header starts 4 bytes in: pixels that would end 2 bytes
  // past the data are refused even though header, colours and pixels
  // together are shorter than the whole resource.
  DibShape shape;
  shape.bitCount = 1;
  Bytes cursor = MakeCursor(11, 11, shape);
  ASSERT_EQ(cursor.size(), 308u);
  cursor.resize(4 + 40 + 8 + 128 - 2);
  EXPECT_TRUE(Prepare(cursor, ImageKind::Cursor).image.unusable);
  cursor.resize(4 + 40 + 8 + 128 + 2);  // colour bitmap whole, mask cut
  EXPECT_FALSE(Prepare(cursor, ImageKind::Cursor).image.unusable);

  // An uncompressed bitmap is drawn from all its rows, whatever
  // biSizeImage says; a compressed one only from biSizeImage bytes.
  shape.bitCount = 8;
  shape.sizeImage = 100;
  Bytes bitmap = MakeBitmap(shape);
  bitmap.resize(40 + 1024 + 100);
  EXPECT_TRUE(Prepare(bitmap, ImageKind::Bitmap).image.unusable);
  Put32(bitmap, 16, 1);  // BI_RLE8
  Prepared rle = Prepare(bitmap, ImageKind::Bitmap);
  EXPECT_FALSE(rle.image.unusable);
  EXPECT_EQ(rle.image.bitsSize, 100u);
}

TEST(PrepareImage, IconWhoseMaskIsCutShortIsDrawnOpaque) {
  Bytes icon = MakeIcon(DibShape{});
  for (size_t size : {743u, 700u, 616u}) {
    icon.resize(size);
    Prepared p = Prepare(icon, ImageKind::Icon);
    EXPECT_FALSE(p.image.unusable) << size;
    EXPECT_FALSE(p.image.maskComplete) << size;
  }
  icon.resize(615);  // the colour bitmap itself is cut
  EXPECT_TRUE(Prepare(icon, ImageKind::Icon).image.unusable);
}

TEST(PrepareImage, HugeHeaderValuesMakeTheImageUnusable) {
  DibShape shape;
  shape.bitCount = 8;
  const Bytes good = MakeBitmap(shape);
  const int wb = kPreparedWidth | kPreparedBitCount;
  const int wbh = wb | kPreparedHeight;
  const int all = wbh | kPreparedColorCount | kPreparedBitsSize;
  struct Case {
    size_t at;
    uint32_t value;
    int filled;  // the fields written before the preparation stops
  };
  const Case cases[] = {
      {0, 0xFFFFFFFF, wbh},  {0, 0x80000000, wbh},  {0, 0x7FFFFFFF, wbh}, {0, 39, wbh},  // biSize
      {4, 0x7FFFFFFF, wbh},  {4, 0x80000000, wbh},  {4, 0xFFFFFFFF, wbh},                // biWidth
      {8, 0x7FFFFFFF, wbh},  {8, 0x80000000, wb},                                        // biHeight
      {20, 0xFFFFFFFF, all}, {20, 0x7FFFFFFF, all},                  // biSizeImage
      {32, 0xFFFFFFFF, all}, {32, 0x40000000, all}, {32, 257, all},  // biClrUsed
  };
  for (const Case& c : cases) {
    Bytes bad = good;
    Put32(bad, c.at, c.value);
    Prepared p = Prepare(bad, ImageKind::Bitmap);
    EXPECT_TRUE(p.image.unusable) << "offset " << c.at << " value " << c.value;
    EXPECT_EQ(p.image.filled, c.filled) << "offset " << c.at << " value " << c.value;
  }
  // width x height beyond 32 bits leaves the record's area alone.
  Bytes wide = good;
  Put32(wide, 4, 0x10000);
  Put32(wide, 8, 0x10000);
  Prepared p = Prepare(wide, ImageKind::Bitmap);
  EXPECT_TRUE(p.image.unusable);
  EXPECT_EQ(p.record.area, -1);
  // The lowest biHeight of an icon halves to 2^30 rows, far more than
  // the bytes hold.
  Bytes icon = MakeIcon(DibShape{});
  Put32(icon, 4, 1);
  Put32(icon, 8, 0x80000000);
  EXPECT_TRUE(Prepare(icon, ImageKind::Icon).image.unusable);
  // A 32-bit icon with no column and 2^30 rows holds no pixel at all: it
  // has no alpha and nothing to convert, found without walking its rows
  // (which took the fuzzer's loader over ten seconds).
  DibShape deep;
  deep.bitCount = 32;
  Bytes empty = MakeIcon(deep);
  Put32(empty, 4, 0);
  Put32(empty, 8, 0x7FFFFFFE);
  const Prepared e = Prepare(empty, ImageKind::Icon);
  EXPECT_FALSE(e.image.alpha);
  std::vector<uint8_t> rgba;
  EXPECT_FALSE(ImageToRgba(e.image, &rgba));
}

// Every truncation and many single-byte changes of real layouts: the
// preparation must stay inside the bytes (the sanitizer build checks the
// reads) and whatever it calls usable must lie inside them too.
TEST(PrepareImage, MutatedResourcesNeverPointOutsideTheirBytes) {
  DibShape bitfields;
  bitfields.bitCount = 16;
  bitfields.compression = 3;
  DibShape mono;
  mono.bitCount = 1;
  DibShape rle;
  rle.bitCount = 8;
  rle.compression = 1;
  rle.sizeImage = 300;
  DibShape alpha;
  alpha.bitCount = 32;
  struct Sample {
    ImageKind kind;
    Bytes bytes;
  };
  DibShape rle4NoSize;
  rle4NoSize.bitCount = 4;
  rle4NoSize.compression = 2;
  DibShape rleIcon;
  rleIcon.bitCount = 8;
  rleIcon.compression = 1;
  rleIcon.sizeImage = 3;
  DibShape v5;
  v5.bitCount = 32;
  v5.compression = 3;
  v5.headerSize = 124;
  v5.width = 3;
  v5.height = 2;
  v5.topDown = true;
  const Sample samples[] = {
      {ImageKind::Icon, MakeIcon(DibShape{})},     {ImageKind::Cursor, MakeCursor(3, 4, mono)},
      {ImageKind::Bitmap, MakeBitmap(bitfields)},  {ImageKind::Bitmap, MakeBitmap(rle)},
      {ImageKind::Bitmap, MakeBitmap(rle4NoSize)}, {ImageKind::Icon, MakeIcon(rleIcon)},
      {ImageKind::Bitmap, MakeBitmap(v5)},         {ImageKind::Icon, MakeIcon(alpha)},
  };
  const uint8_t values[] = {0x00, 0x01, 0x02, 0x03, 0x06, 0x7F, 0x80, 0xFF};
  int usable = 0;
  int checked = 0;
  for (const Sample& s : samples) {
    auto check = [&](const Bytes& bytes) {
      Exact exact(bytes);
      Prepared p = Prepare(exact, s.kind);
      ++checked;
      const LoadedImage& im = p.image;
      if (im.unusable) return;
      ++usable;
      const uint8_t* begin = exact.data.get();
      ASSERT_EQ(im.data, begin);
      ASSERT_GE(im.colorTable, im.header + 40);
      ASSERT_GE(im.bits, im.colorTable);
      const char* outside = GdiReadsOutside(im, begin, static_cast<int64_t>(exact.size));
      ASSERT_EQ(outside, nullptr) << outside << ", " << bytes.size() << " bytes";
      // The pixels --png and alpha drawing read stay inside the bytes too
      // (the sanitizer build watches), or are refused.
      std::vector<uint8_t> rgba;
      if (ImageToRgba(im, &rgba)) {
        ASSERT_EQ(rgba.size(), static_cast<size_t>(im.width) * im.height * 4);
      }
    };
    for (size_t n = 0; n <= s.bytes.size(); ++n) {
      check(Bytes(s.bytes.begin(), s.bytes.begin() + static_cast<long>(n)));
    }
    const size_t header = s.kind == ImageKind::Cursor ? 4 + 40 : 40;
    for (size_t at = 0; at < header; ++at) {
      for (uint8_t v : values) {
        Bytes changed = s.bytes;
        changed[at] = v;
        check(changed);
      }
    }
  }
  // The sweep must have exercised both outcomes.
  EXPECT_GT(usable, 100);
  EXPECT_GT(checked - usable, 100);
}
