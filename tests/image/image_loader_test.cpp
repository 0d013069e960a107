#include "image/image_loader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "image/png_codec.h"
#include "scan/path_walk.h"
#include "tests/support/dib_builder.h"
#include "tests/support/put_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

// A 24-bit bitmap padded with a pattern to exactly size bytes, so that two
// resources of one size still differ.
Bytes SizedBitmap(int32_t size, uint8_t seed) {
  DibShape shape;
  shape.width = 1;
  shape.height = 1;
  shape.bitCount = 24;
  Bytes b = MakeBitmap(shape);
  while (b.size() < static_cast<size_t>(size)) b.push_back(static_cast<uint8_t>(seed + b.size()));
  b.resize(static_cast<size_t>(size));
  return b;
}

class ImageLoader : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitImageLoader(cache_)); }
  void TearDown() override { ReleaseLargeBuffer(cache_, &large_); }

  // Writes the resource into its own file behind a few lead bytes, as an
  // executable would hold it, and returns its record.
  ImageRecord Put(const std::string& name, const Bytes& resource,
                  ImageKind kind = ImageKind::Bitmap) {
    Bytes file(kLead, 0xEE);
    file.insert(file.end(), resource.begin(), resource.end());
    dir_.Write(name, file);
    names_.push_back(name);
    return ImageRecord{kind,
                       kLead,
                       static_cast<int32_t>(resource.size()),
                       nextSequence_++,
                       0,
                       dir_.path().c_str(),
                       names_.back().c_str()};
  }
  void Remove(const std::string& name) { std::filesystem::remove(dir_.Join(name)); }
  void Rewrite(const std::string& name, const Bytes& resource) {
    Bytes file(kLead, 0xEE);
    file.insert(file.end(), resource.begin(), resource.end());
    dir_.Write(name, file);
  }
  bool Load(ImageRecord* record, LoadedImage* image) {
    return LoadImageRecord(cache_, record, image, &large_);
  }
  static int InUse(const CacheSlot* slots, int count) {
    int n = 0;
    for (int i = 0; i < count; ++i) n += slots[i].inUse ? 1 : 0;
    return n;
  }
  static bool Holds(const LoadedImage& image, const Bytes& bytes) {
    return image.dataSize == static_cast<int32_t>(bytes.size()) &&
           memcmp(image.data, bytes.data(), bytes.size()) == 0;
  }

  static constexpr int32_t kLead = 16;
  TempDir dir_;
  std::deque<std::string> names_;
  int32_t nextSequence_ = 500;
  ImageCache cache_;
  uint8_t* large_ = nullptr;
};

}  // namespace

TEST_F(ImageLoader, PoolIsChosenBySizeAt1024And4096) {
  ImageCache& cache = cache_;
  LoadedImage image;
  ImageRecord r1024 = Put("a", SizedBitmap(1024, 1));
  ASSERT_TRUE(Load(&r1024, &image));
  EXPECT_EQ(image.data, cache.smallSlots[0].data);
  EXPECT_EQ(cache.smallSlots[0].key, r1024.sequence);

  ImageRecord r1025 = Put("b", SizedBitmap(1025, 2));
  ASSERT_TRUE(Load(&r1025, &image));
  EXPECT_EQ(image.data, cache.mediumSlots[0].data);
  ImageRecord r4096 = Put("c", SizedBitmap(4096, 3));
  ASSERT_TRUE(Load(&r4096, &image));
  EXPECT_EQ(image.data, cache.mediumSlots[1].data);
  EXPECT_EQ(cache.useClock, 3u);

  ImageRecord r4097 = Put("d", SizedBitmap(4097, 4));
  ASSERT_TRUE(Load(&r4097, &image));
  ASSERT_NE(large_, nullptr);
  EXPECT_EQ(image.data, large_);
  EXPECT_TRUE(Holds(image, SizedBitmap(4097, 4)));
  EXPECT_EQ(InUse(cache.smallSlots, kSmallSlotCount), 1);
  EXPECT_EQ(InUse(cache.mediumSlots, kMediumSlotCount), 2);
  EXPECT_EQ(cache.useClock, 3u);  // large loads do not tick
}

TEST_F(ImageLoader, SmallRecordIsReadOnceAndLargeOneEveryTime) {
  for (int32_t size : {1024, 4096, 4097}) {
    SCOPED_TRACE(size);
    std::string name = "r" + std::to_string(size);
    Bytes first = SizedBitmap(size, 10);
    Bytes second = SizedBitmap(size, 20);
    ImageRecord record = Put(name, first);
    LoadedImage image;
    ASSERT_TRUE(Load(&record, &image));
    EXPECT_TRUE(Holds(image, first));
    // New bytes in the file show only if the file is read again.
    Rewrite(name, second);
    ASSERT_TRUE(Load(&record, &image));
    EXPECT_TRUE(Holds(image, size <= 4096 ? first : second));
    Remove(name);
    EXPECT_EQ(Load(&record, &image), size <= 4096);
  }
}

TEST_F(ImageLoader, FullPoolReplacesTheSlotUsedLongestAgo) {
  ImageCache& cache = cache_;
  std::vector<ImageRecord> medium;
  for (int i = 0; i < kMediumSlotCount; ++i) {
    medium.push_back(Put("m" + std::to_string(i), SizedBitmap(2000, static_cast<uint8_t>(i))));
    LoadedImage image;
    ASSERT_TRUE(Load(&medium.back(), &image));
  }
  std::vector<ImageRecord> small;
  for (int i = 0; i <= kSmallSlotCount; ++i) {
    small.push_back(Put("s" + std::to_string(i), SizedBitmap(500, static_cast<uint8_t>(i))));
  }
  LoadedImage image;
  for (int i = 0; i < kSmallSlotCount; ++i) ASSERT_TRUE(Load(&small[i], &image));
  ASSERT_TRUE(Load(&small[0], &image));  // a hit makes record 0 the newest
  ASSERT_TRUE(Load(&small[100], &image));
  EXPECT_EQ(cache.smallSlots[0].key, small[0].sequence);
  EXPECT_EQ(cache.smallSlots[1].key, small[100].sequence);
  for (int i = 0; i < kMediumSlotCount; ++i) {
    EXPECT_EQ(cache.mediumSlots[i].key, medium[i].sequence) << i;
  }

  // With every file gone, only cached records still load.
  for (const std::string& name : names_) Remove(name);
  EXPECT_TRUE(Load(&small[0], &image));
  EXPECT_FALSE(Load(&small[1], &image));
  EXPECT_TRUE(Load(&small[2], &image));
  EXPECT_TRUE(Holds(image, SizedBitmap(500, 2)));
  EXPECT_TRUE(Load(&medium[0], &image));
  EXPECT_TRUE(Load(&small[100], &image));
}

TEST_F(ImageLoader, PinnedRecordKeepsItsSlotAndBytes) {
  const Bytes shownBytes = SizedBitmap(700, 77);
  ImageRecord shown = Put("shown", shownBytes);
  LoadedImage view;
  ASSERT_TRUE(Load(&shown, &view));
  PinCachedRecord(cache_, shown);
  Remove("shown");

  // The Finder loads far more records than the pool holds.
  std::vector<ImageRecord> others;
  for (int i = 0; i < 150; ++i) {
    others.push_back(Put("o" + std::to_string(i), SizedBitmap(600, static_cast<uint8_t>(i))));
    LoadedImage thumb;
    ASSERT_TRUE(Load(&others.back(), &thumb));
  }
  EXPECT_TRUE(Holds(view, shownBytes));
  LoadedImage again;
  EXPECT_TRUE(Load(&shown, &again));
  EXPECT_EQ(again.data, view.data);

  // Unpinned, the record goes like any other.
  UnpinCachedRecord(cache_);
  for (int i = 0; i < kSmallSlotCount; ++i) {
    ImageRecord r = Put("p" + std::to_string(i), SizedBitmap(600, static_cast<uint8_t>(i)));
    LoadedImage thumb;
    ASSERT_TRUE(Load(&r, &thumb));
  }
  EXPECT_FALSE(Load(&shown, &again));

  // A large record on show lives in its own buffer and lifts the pin.
  PinCachedRecord(cache_, shown);
  EXPECT_TRUE(cache_.hasPin);
  ImageRecord big = Put("big", SizedBitmap(5000, 1));
  PinCachedRecord(cache_, big);
  EXPECT_FALSE(cache_.hasPin);

  // Lent, its bytes answer its loads without the file, until a load
  // through the same buffer replaces them.
  LoadedImage bigView;
  ASSERT_TRUE(Load(&big, &bigView));
  LendLargeRecord(cache_, big, bigView);
  Remove("big");
  LoadedImage thumb;
  ASSERT_TRUE(Load(&big, &thumb));
  EXPECT_EQ(thumb.data, bigView.data);
  ImageRecord next = Put("next", SizedBitmap(6000, 2));
  ASSERT_TRUE(Load(&next, &thumb));
  EXPECT_FALSE(Load(&big, &thumb));
}

TEST_F(ImageLoader, FailedLargeLoadKeepsTheImageOnShow) {
  const Bytes shownBytes = SizedBitmap(5000, 5);
  ImageRecord shown = Put("shown", shownBytes);
  LoadedImage view;
  ASSERT_TRUE(Load(&shown, &view));
  uint8_t* block = large_;
  const LoadedImage before = view;

  // The file ends 100 bytes before the record does.
  ImageRecord cut = Put("cut", SizedBitmap(6000, 6));
  Bytes shortFile = SizedBitmap(6000, 6);
  shortFile.resize(5900);
  Rewrite("cut", shortFile);
  ImageRecord missing = cut;
  missing.fileName = "no-such-file";
  ImageRecord negative = shown;
  negative.offset = -1;
  for (ImageRecord* failing : {&cut, &missing, &negative}) {
    EXPECT_FALSE(Load(failing, &view));
    EXPECT_EQ(large_, block);
    EXPECT_EQ(view.data, before.data);
    EXPECT_EQ(view.bits, before.bits);
    EXPECT_EQ(view.width, before.width);
    EXPECT_TRUE(Holds(view, shownBytes));
  }

  ImageRecord next = Put("next", SizedBitmap(7000, 7));
  ASSERT_TRUE(Load(&next, &view));
  EXPECT_NE(large_, block);
  EXPECT_EQ(view.data, large_);
  EXPECT_TRUE(Holds(view, SizedBitmap(7000, 7)));
}

TEST_F(ImageLoader, ShortReadLeavesTheSlotFreeAndTheImageAlone) {
  ImageRecord record = Put("short", SizedBitmap(800, 1));
  record.offset = kLead + 100;  // the last 100 bytes lie past the end
  LoadedImage image;
  image.width = 12345;
  EXPECT_FALSE(Load(&record, &image));
  EXPECT_EQ(image.width, 12345);
  EXPECT_EQ(image.data, nullptr);
  EXPECT_EQ(InUse(cache_.smallSlots, kSmallSlotCount), 0);

  ImageRecord good = Put("good", SizedBitmap(800, 2));
  ASSERT_TRUE(Load(&good, &image));
  EXPECT_EQ(image.data, cache_.smallSlots[0].data);

  ImageRecord negative = good;
  negative.size = -1;
  EXPECT_FALSE(Load(&negative, &image));
}

TEST_F(ImageLoader, LoadWritesTheAreaOfTheVisibleImage) {
  DibShape shape;  // 32 x 32: stored 32 x 64
  ImageRecord icon = Put("icon", MakeIcon(shape), ImageKind::Icon);
  ImageRecord cursor = Put("cursor", MakeCursor(11, 11, shape), ImageKind::Cursor);
  LoadedImage image;
  ASSERT_TRUE(Load(&icon, &image));
  EXPECT_EQ(icon.area, 1024);
  ASSERT_TRUE(Load(&cursor, &image));
  EXPECT_EQ(cursor.area, 1024);
  EXPECT_EQ(image.hotspotX, 11u);
  EXPECT_EQ(image.hotspotY, 11u);
  EXPECT_TRUE(image.maskComplete);
}

// Pixel (x, y) of MakePng's pattern as decoded: blue, green, red, alpha.
bool HasPngPattern(const LoadedImage& image) {
  for (int32_t y = 0; y < image.height; ++y) {
    for (int32_t x = 0; x < image.width; ++x) {
      const uint8_t* p = image.bits + (static_cast<int64_t>(y) * image.width + x) * 4;
      if (p[0] != 0x80 || p[1] != static_cast<uint8_t>(y) || p[2] != static_cast<uint8_t>(x) ||
          p[3] != 0xFF) {
        return false;
      }
    }
  }
  return true;
}

TEST_F(ImageLoader, PngImagesDecodeOncePerSlotAndBadOnesAreUnusable) {
  Bytes cursorBytes = {3, 0, 5, 0};
  Bytes cursorPng = MakePng(20, 12);
  cursorBytes.insert(cursorBytes.end(), cursorPng.begin(), cursorPng.end());
  Bytes badCrc = MakePng(8, 8);
  badCrc[40] ^= 1;  // inside IDAT: its CRC no longer matches
  Bytes cut = MakePng(8, 8);
  cut.resize(cut.size() - 30);
  // Refused from IHDR alone, before anything is allocated for it.
  Bytes tooWide = MakePng(8, 8);
  tooWide[17] = (kMaxPngSide + 1) >> 16;
  tooWide[18] = static_cast<uint8_t>((kMaxPngSide + 1) >> 8);
  tooWide[19] = static_cast<uint8_t>(kMaxPngSide + 1);
  struct Case {
    const char* name;
    ImageKind kind;
    Bytes bytes;
    int32_t width, height;
    bool usable;
  };
  const Case cases[] = {
      {"small", ImageKind::Icon, MakePng(16, 8), 16, 8, true},  // a 1 KiB slot
      {"medium", ImageKind::Icon, MakePng(30, 20), 30, 20, true},
      {"large", ImageKind::Icon, MakePng(64, 48), 64, 48, true},  // the large buffer
      {"cursor", ImageKind::Cursor, cursorBytes, 20, 12, true},
      {"bad-crc", ImageKind::Icon, badCrc, 8, 8, false},
      {"cut", ImageKind::Icon, cut, 8, 8, false},
      {"too-wide", ImageKind::Icon, tooWide, static_cast<int32_t>(kMaxPngSide + 1), 8, false},
  };
  for (const Case& c : cases) {
    ImageRecord record = Put(c.name, c.bytes, c.kind);
    LoadedImage image;
    ASSERT_TRUE(Load(&record, &image)) << c.name;
    EXPECT_EQ(image.unusable, !c.usable) << c.name;
    EXPECT_TRUE(image.png) << c.name;
    EXPECT_EQ(image.width, c.width) << c.name;
    EXPECT_EQ(image.height, c.height) << c.name;
    EXPECT_EQ(record.area, c.width * c.height) << c.name;
    EXPECT_EQ(image.bitCount, 32u) << c.name;
    EXPECT_EQ(image.colorCount, 0u) << c.name;
    EXPECT_EQ(image.bitsSize, static_cast<uint32_t>(c.width * 4 * c.height)) << c.name;
    if (!c.usable) continue;
    EXPECT_TRUE(image.alpha) << c.name;
    EXPECT_TRUE(HasPngPattern(image)) << c.name;
    // Loaded again from its slot, the same decoded pixels serve.
    LoadedImage again;
    ASSERT_TRUE(Load(&record, &again)) << c.name;
    if (record.size <= kMediumSlotSize) {
      EXPECT_EQ(again.bits, image.bits) << c.name;
    } else {
      // Read again into a new block, but the pixels come from the memo.
      int remembered = 0;
      for (const PixelMemo& memo : cache_.pixelMemo) {
        remembered += memo.inUse && memo.key == record.sequence ? 1 : 0;
      }
      EXPECT_EQ(remembered, 1) << c.name;
    }
    EXPECT_TRUE(HasPngPattern(again)) << c.name;
  }
}

// Every byte flipped and every length cut: the decoder answers, writes only
// its own buffer (the sanitizer build watches) and never accepts a PNG whose
// IHDR no longer states the size it was asked for.
TEST(PngDecoder, MutatedAndCutPngsNeverDecodeOutsideTheirBuffer) {
  const Bytes png = MakePng(6, 5);
  std::vector<uint8_t> out(static_cast<size_t>(PngPixelBytes(6, 5)));
  ASSERT_TRUE(DecodePng(png.data(), static_cast<int64_t>(png.size()), 6, 5, out.data()));
  EXPECT_FALSE(DecodePng(png.data(), static_cast<int64_t>(png.size()), 5, 6, out.data()));
  int decoded = 0;
  for (size_t at = 0; at < png.size(); ++at) {
    Bytes flipped = png;
    flipped[at] ^= 0x41;
    decoded += DecodePng(flipped.data(), static_cast<int64_t>(flipped.size()), 6, 5, out.data());
    Bytes cut(png.begin(), png.begin() + static_cast<long>(at));
    EXPECT_FALSE(DecodePng(cut.data(), static_cast<int64_t>(cut.size()), 6, 5, out.data())) << at;
  }
  // Only flips inside the CRCs of chunks a reader may skip can pass; none of
  // these chunks is one.
  EXPECT_EQ(decoded, 0);
}

#ifdef RAVELIN_CORPUS_DIR
// Real executables, damaged ones among them: every entry the scan records
// loads without a read outside its bytes, and usable images lie inside.
TEST_F(ImageLoader, EveryEntryOfTheCorpusLoads) {
  if (!std::filesystem::is_directory(RAVELIN_CORPUS_DIR)) GTEST_SKIP() << "no corpus";
  std::deque<std::string> texts;
  Catalogue catalogue;
  ASSERT_TRUE(AllocateCatalogue(&catalogue, kCatalogueCapacity));
  WalkPath(RAVELIN_CORPUS_DIR, [&](const char* directory, const char* fileName) {
    texts.emplace_back(directory);
    const char* d = texts.back().c_str();
    texts.emplace_back(fileName);
    AddFileToCatalogue(&catalogue, d, texts.back().c_str());
  });
  ASSERT_GT(catalogue.count, 0);
  int usable = 0;
  for (int32_t i = 0; i < catalogue.count; ++i) {
    LoadedImage image;
    ASSERT_TRUE(Load(&catalogue.records[i], &image)) << catalogue.records[i].fileName;
    if (image.unusable) continue;
    ++usable;
    if (image.png) continue;  // its pixels lie beside the bytes
    const uint8_t* end = image.data + image.dataSize;
    EXPECT_LE(image.bitsSize, static_cast<uint32_t>(end - image.bits))
        << catalogue.records[i].fileName;
  }
  EXPECT_GT(usable, 0);
}
#endif
