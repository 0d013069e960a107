#include "scan/catalogue_sort.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/dib_builder.h"
#include "tests/support/pe_builder.h"
#include "tests/support/put_bytes.h"
#include "tests/support/temp_dir.h"

namespace {

// The ordering the sort must reproduce, written out as the swapping passes
// it is defined by: neighbours compared left to right, swapped when out of
// order, passes repeated until one swaps nothing.
std::vector<int32_t> BubbleOrder(const std::vector<ImageRecord>& records, SortOrder sortOrder) {
  const int32_t count = static_cast<int32_t>(records.size());
  std::vector<int32_t> order(records.size());
  for (int32_t i = 0; i < count; ++i) order[i] = i;
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (int32_t i = 0; i + 1 < count; ++i) {
      const ImageRecord& left = records[order[i]];
      const ImageRecord& right = records[order[i + 1]];
      bool outOfOrder = false;
      switch (sortOrder) {
        case SortOrder::Unsorted:
          outOfOrder = left.sequence > right.sequence;
          break;
        case SortOrder::LargeToSmall:
          outOfOrder = left.area < right.area;
          break;
        case SortOrder::SmallToLarge:
          outOfOrder = left.area > right.area;
          break;
      }
      if (outOfOrder) {
        std::swap(order[i], order[i + 1]);
        swapped = true;
      }
    }
  }
  return order;
}

std::vector<int32_t> SortedOrder(const std::vector<ImageRecord>& records, SortOrder sortOrder) {
  std::vector<int32_t> order(records.size());
  SortIndex(records.data(), static_cast<int32_t>(records.size()), sortOrder, order.data());
  return order;
}

ImageRecord Record(int32_t sequence, int32_t area) {
  return ImageRecord{ImageKind::Bitmap, 0, 40, sequence, area, "dir", "file.exe"};
}

// Sequences are a shuffled permutation, as after an earlier sort; areas
// come from keyOf and are never 0, so no file is needed.
template <typename KeyOf>
std::vector<ImageRecord> MakeRecords(int32_t count, uint32_t seed, KeyOf keyOf) {
  std::mt19937 random(seed);
  std::vector<int32_t> sequences(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) sequences[i] = 1000 + 3 * i;
  std::shuffle(sequences.begin(), sequences.end(), random);
  std::vector<ImageRecord> records;
  for (int32_t i = 0; i < count; ++i) {
    int32_t area = keyOf(i, random);
    records.push_back(Record(sequences[i], area == 0 ? 1 : area));
  }
  return records;
}

// A catalogue of full capacity holding records, as the main window keeps.
Catalogue NewCatalogue(const std::vector<ImageRecord>& records) {
  Catalogue catalogue;
  if (!AllocateCatalogue(&catalogue, kCatalogueCapacity)) abort();
  for (size_t i = 0; i < records.size(); ++i) catalogue.records[i] = records[i];
  catalogue.count = static_cast<int32_t>(records.size());
  return catalogue;
}

std::vector<int32_t> Sequences(const ImageRecord* table, int32_t count) {
  std::vector<int32_t> out;
  for (int32_t i = 0; i < count; ++i) out.push_back(table[i].sequence);
  return out;
}

}  // namespace

TEST(SortIndex, MatchesTheSwappingPassesOnEveryKindOfInput) {
  using KeyFn = int32_t (*)(int32_t, std::mt19937&);
  const std::pair<const char*, KeyFn> inputs[] = {
      {"random", [](int32_t, std::mt19937& r) { return static_cast<int32_t>(r()); }},
      {"ascending", [](int32_t i, std::mt19937&) { return i * 7 - 900; }},
      {"descending", [](int32_t i, std::mt19937&) { return 900 - i * 7; }},
      {"few keys", [](int32_t, std::mt19937& r) { return static_cast<int32_t>(r() % 4) - 1; }},
      {"extremes",
       [](int32_t i, std::mt19937&) {
         const int32_t keys[] = {INT32_MIN, -1, 1, INT32_MAX, INT32_MIN + 1, INT32_MAX - 1};
         return keys[i % 6];
       }},
  };
  const uint32_t seeds[] = {1u, 20240611u, 0xC0FFEEu};
  printf("shuffle and key seeds: %u %u %u\n", seeds[0], seeds[1], seeds[2]);
  for (uint32_t seed : seeds) {
    for (const auto& [name, keyOf] : inputs) {
      for (int32_t count : {0, 1, 2, 3, 17, 600}) {
        const std::vector<ImageRecord> records = MakeRecords(count, seed, keyOf);
        for (SortOrder sortOrder :
             {SortOrder::Unsorted, SortOrder::LargeToSmall, SortOrder::SmallToLarge}) {
          ASSERT_EQ(SortedOrder(records, sortOrder), BubbleOrder(records, sortOrder))
              << "seed " << seed << ", " << name << ", " << count << " records, order "
              << static_cast<int>(sortOrder);
        }
      }
    }
  }
}

TEST(SortIndex, AnUnknownOrderLeavesTheSlotsAsTheyAre) {
  const std::vector<ImageRecord> records = {Record(5, 9), Record(2, 1), Record(7, 4)};
  EXPECT_EQ(SortedOrder(records, static_cast<SortOrder>(3)), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(SortedOrder(records, static_cast<SortOrder>(-1)), (std::vector<int32_t>{0, 1, 2}));
}

TEST(SortRecords, AreaBothWaysAndBackToDiscovery) {
  // Discovery order 10..15; areas with ties, a negative width's area, and a
  // top-down bitmap's (already positive, as the scan stores it).
  const std::vector<ImageRecord> scanned = {Record(10, 1024), Record(11, 5000), Record(12, 1024),
                                            Record(13, -64),  Record(14, 5000), Record(15, 1024)};
  Catalogue table = NewCatalogue(scanned);
  const ImageRecord* const first = table.records.get();

  ASSERT_EQ(SortRecords(&table, SortOrder::LargeToSmall), SortOutcome::Sorted);
  EXPECT_NE(table.records.get(), first);  // a new table replaced the old one
  EXPECT_EQ(Sequences(table.records.get(), 6), (std::vector<int32_t>{11, 14, 10, 12, 15, 13}));

  // Equal areas keep the order the previous sort left them in.
  ASSERT_EQ(SortRecords(&table, SortOrder::SmallToLarge), SortOutcome::Sorted);
  EXPECT_EQ(Sequences(table.records.get(), 6), (std::vector<int32_t>{13, 10, 12, 15, 11, 14}));

  ASSERT_EQ(SortRecords(&table, SortOrder::Unsorted), SortOutcome::Sorted);
  EXPECT_EQ(Sequences(table.records.get(), 6), (std::vector<int32_t>{10, 11, 12, 13, 14, 15}));
  // Whole records travel, not only their keys.
  EXPECT_EQ(table.records[1].area, 5000);
  EXPECT_EQ(table.records[3].area, -64);
}

TEST(SortRecords, AFullCatalogueKeepsEveryRecordOnceAndTiesInPlace) {
  // Sequences here are the slots the records start in.
  std::vector<ImageRecord> records;
  constexpr uint32_t kSeed = 77;
  printf("area seed: %u\n", kSeed);
  std::mt19937 random(kSeed);
  for (int32_t i = 0; i < kCatalogueCapacity; ++i) {
    records.push_back(Record(i, static_cast<int32_t>(random() % 50) + 1));
  }
  Catalogue table = NewCatalogue(records);
  ASSERT_EQ(SortRecords(&table, SortOrder::SmallToLarge), SortOutcome::Sorted);
  std::vector<bool> seen(kCatalogueCapacity, false);
  for (int32_t i = 0; i < kCatalogueCapacity; ++i) {
    const ImageRecord& r = table.records[i];
    ASSERT_TRUE(r.sequence >= 0 && r.sequence < kCatalogueCapacity && !seen[r.sequence]) << i;
    seen[r.sequence] = true;
    ASSERT_EQ(r.area, records[r.sequence].area) << i;
    if (i > 0) {
      const ImageRecord& before = table.records[i - 1];
      ASSERT_TRUE(before.area < r.area || (before.area == r.area && before.sequence < r.sequence))
          << "slot " << i;
    }
  }
}

TEST(SortRecords, AnEmptyCatalogueIsLeftAlone) {
  Catalogue table = NewCatalogue({});
  const ImageRecord* const before = table.records.get();
  EXPECT_EQ(SortRecords(&table, SortOrder::LargeToSmall), SortOutcome::Empty);
  EXPECT_EQ(table.records.get(), before);
  EXPECT_TRUE(FillMissingAreas(table.records.get(), 0));
  EXPECT_TRUE(FillMissingAreas(table.records.get(), -5));
}

namespace {

// A file of image headers at known positions, and records for them whose
// areas are still unknown, as the scan leaves them when a header lies
// outside its window.
class AreaPass : public ::testing::Test {
 protected:
  void WriteHeaders(const std::string& name, std::vector<std::pair<int32_t, int32_t>> sizes) {
    std::vector<uint8_t> file(64, 0);
    for (auto [width, storedHeight] : sizes) {
      PutBytes(file, file.size(), MakeInfoHeader(width, storedHeight));
    }
    dir_.Write(name, file);
  }
  ImageRecord Unknown(ImageKind kind, int32_t offset, int32_t sequence, const char* fileName) {
    return ImageRecord{kind, offset, 40, sequence, 0, dir_.path().c_str(), fileName};
  }

  TempDir dir_;
};

}  // namespace

TEST_F(AreaPass, ReadsTheHeadersTheScanCouldNotSee) {
  const std::string name = "headers.exe";
  // A bitmap 50 x -100 (top-down), an icon stored 32 x 64, a bitmap 32 x 32,
  // and a width of 0.
  WriteHeaders(name, {{50, -100}, {32, 64}, {32, 32}, {0, 16}});
  std::vector<uint8_t> withHotspot(4, 0);
  PutBytes(withHotspot, 4, MakeInfoHeader(32, 64));  // a cursor after its hotspot
  dir_.Write("cursor.exe", withHotspot);
  const std::string cursorName = "cursor.exe";
  // A PNG icon, a PNG cursor, and a PNG icon whose file ends inside IHDR:
  // its 16 bytes are there, so the pass goes on, but its size is not.
  std::vector<uint8_t> pngs = MakePngStart(256, 256);
  PutBytes(pngs, pngs.size(), {1, 0, 2, 0});
  PutBytes(pngs, pngs.size(), MakePngStart(48, 32));
  PutBytes(pngs, pngs.size(), MakePngStart(64, 64));
  pngs.resize(pngs.size() - 1);
  dir_.Write("pngs.exe", pngs);
  const std::string pngName = "pngs.exe";

  std::vector<ImageRecord> records = {
      Unknown(ImageKind::Bitmap, 64, 1, name.c_str()),
      Unknown(ImageKind::Icon, 104, 2, name.c_str()),
      Unknown(ImageKind::Bitmap, 144, 3, name.c_str()),
      Unknown(ImageKind::Bitmap, 184, 4, name.c_str()),
      Unknown(ImageKind::Cursor, 0, 5, cursorName.c_str()),
      Unknown(ImageKind::Icon, 0, 6, pngName.c_str()),
      Unknown(ImageKind::Cursor, 24, 7, pngName.c_str()),
      Unknown(ImageKind::Icon, 52, 8, pngName.c_str()),
  };
  records[2].area = 7;  // known areas are not read again
  ASSERT_TRUE(FillMissingAreas(records.data(), static_cast<int32_t>(records.size())));
  EXPECT_EQ(records[0].area, 5000);
  EXPECT_EQ(records[1].area, 1024);
  EXPECT_EQ(records[2].area, 7);
  EXPECT_EQ(records[3].area, 0);
  EXPECT_EQ(records[4].area, 1024);
  EXPECT_EQ(records[5].area, 65536);
  EXPECT_EQ(records[6].area, 1536);
  EXPECT_EQ(records[7].area, 0);

  // The icon sorts next to a 32 x 32 bitmap, by area alone.
  Catalogue table = NewCatalogue(records);
  table.count = 5;
  table.records[2].area = 1024;
  ASSERT_EQ(SortRecords(&table, SortOrder::LargeToSmall), SortOutcome::Sorted);
  EXPECT_EQ(Sequences(table.records.get(), 5), (std::vector<int32_t>{1, 2, 3, 5, 4}));

  // A width of 0 leaves the area unknown, so the next sort reads it again:
  // with its file gone, that sort cannot run.
  std::filesystem::remove(dir_.Join(name));
  EXPECT_EQ(SortRecords(&table, SortOrder::SmallToLarge), SortOutcome::AreasUnreadable);
  EXPECT_EQ(Sequences(table.records.get(), 5), (std::vector<int32_t>{1, 2, 3, 5, 4}));
}

TEST_F(AreaPass, AFileGoneOrCutShortLeavesTheOrderAndKeepsTheAreasFound) {
  WriteHeaders("first.exe", {{10, 10}});
  WriteHeaders("second.exe", {{20, 20}, {30, 30}});
  const std::vector<ImageRecord> records = {
      ImageRecord{ImageKind::Bitmap, 0, 40, 1, 500, "", ""},
      Unknown(ImageKind::Bitmap, 64, 2, "first.exe"),
      Unknown(ImageKind::Bitmap, 64, 3, "second.exe"),
      Unknown(ImageKind::Bitmap, 104, 4, "second.exe"),
  };
  // A header that ends one byte past the end of the file.
  std::filesystem::resize_file(dir_.Join("second.exe"), 104 + 15);
  Catalogue table = NewCatalogue(records);
  const ImageRecord* const before = table.records.get();
  EXPECT_EQ(SortRecords(&table, SortOrder::LargeToSmall), SortOutcome::AreasUnreadable);
  EXPECT_EQ(table.records.get(), before);
  EXPECT_EQ(Sequences(table.records.get(), 4), (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(table.records[1].area, 100);
  EXPECT_EQ(table.records[2].area, 400);
  EXPECT_EQ(table.records[3].area, 0);

  // Exactly 16 bytes are enough.
  std::filesystem::resize_file(dir_.Join("second.exe"), 104 + 16);
  EXPECT_EQ(SortRecords(&table, SortOrder::LargeToSmall), SortOutcome::Sorted);
  EXPECT_EQ(Sequences(table.records.get(), 4), (std::vector<int32_t>{4, 1, 3, 2}));
}

TEST_F(AreaPass, AScannedFileDeletedBeforeTheSortKeepsItsOrder) {
  // The second bitmap's data lies far past the resource tables, outside
  // the scan's window, so the scan cannot know its area.
  const MinimalPe pe = MakeMinimalPe(
      {PeBitmap(1, MakeBitmapData(300, 80, 24)), PeBitmap(2, MakeBitmapData(8, 4, 24))});
  dir_.Write("late.exe", pe.bytes);
  Catalogue table = NewCatalogue({});
  ASSERT_EQ(AddFileToCatalogue(&table, dir_.path().c_str(), "late.exe"), AddStatus::Done);
  ASSERT_EQ(table.count, 2);
  ASSERT_EQ(table.records[1].area, 0) << "the fixture no longer puts the header out of the window";
  const std::vector<int32_t> scanned = Sequences(table.records.get(), 2);

  std::filesystem::remove(dir_.Join("late.exe"));
  EXPECT_EQ(SortRecords(&table, SortOrder::SmallToLarge), SortOutcome::AreasUnreadable);
  EXPECT_EQ(Sequences(table.records.get(), 2), scanned);

  // Back in place, the area pass finds the area and the small one leads.
  dir_.Write("late.exe", pe.bytes);
  ASSERT_EQ(SortRecords(&table, SortOrder::SmallToLarge), SortOutcome::Sorted);
  EXPECT_EQ(table.records[0].area, 32);
  EXPECT_EQ(table.records[0].sequence, scanned[1]);
}
