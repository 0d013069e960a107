// What the fold hides, from records whose file is deleted once it is read.
#include "scan/duplicate_fold.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "scan/catalogue_sort.h"
#include "tests/support/temp_dir.h"

namespace {

struct Entry {
  ImageKind kind;
  std::string bytes;  // "?": in a file that is not there
  int32_t area;
};

constexpr auto kB = ImageKind::Bitmap, kI = ImageKind::Icon, kC = ImageKind::Cursor;
const std::string kDib = std::string("\x28\0\0\0\x08\0\0\0", 8) + "pixels";
const std::string kHot12(std::string("\1\0\2\0", 4)), kHot21(std::string("\2\0\1\0", 4));

// clang-format off
const struct {
  const char* name;
  std::vector<Entry> entries;  // in discovery order: sequence = position
  SortOrder order;             // applied after the read
  std::vector<int32_t> shown;  // sequences, in that order
  int32_t shownLast;           // the position the last entry is shown at
} kCases[] = {
    {"equal bytes", {{kB, kDib, 1}, {kB, kDib + "x", 1}, {kB, kDib, 1}}, {}, {0, 1}, 0},
    {"equal bytes, other kind", {{kB, kDib, 1}, {kI, kDib, 1}, {kI, kDib, 1}}, {}, {0, 1}, 1},
    {"cursor hotspots differ",
     {{kC, kHot12 + kDib, 1}, {kC, kHot21 + kDib, 1}, {kC, kHot12 + kDib, 1}}, {}, {0, 1}, 0},
    {"empty records", {{kI, "", 1}, {kI, "", 1}, {kB, "", 1}}, {}, {0, 2}, 1},
    {"unreadable never folds", {{kB, kDib, 1}, {kB, "?", 1}, {kB, "?", 1}, {kB, kDib, 1}}, {},
     {0, 1, 2}, 0},
    {"sort, then the first in the new order is shown",
     {{kB, kDib, 4}, {kI, kDib, 1}, {kB, kDib, 9}, {kI, kDib, 7}, {kB, "other", 5}},
     SortOrder::LargeToSmall, {2, 3, 4}, 1},
};
// clang-format on

TEST(DuplicateFold, FoldingCases) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::vector<uint8_t> file;
    Catalogue catalogue;
    ASSERT_TRUE(AllocateCatalogue(&catalogue, 16));
    for (const Entry& e : c.entries) {
      const bool missing = e.bytes == "?";
      const int32_t at = catalogue.count++;
      const int32_t offset = static_cast<int32_t>(file.size());
      const int32_t size = static_cast<int32_t>(e.bytes.size());
      const char* name = missing ? "missing.exe" : "a.exe";
      catalogue.records[at] = {e.kind, offset, size, at, e.area, dir.path().c_str(), name};
      if (!missing) file.insert(file.end(), e.bytes.begin(), e.bytes.end());
    }
    const std::string path = dir.Write("a.exe", file);
    DuplicateFold fold;
    ASSERT_TRUE(fold.Read(catalogue));
    ASSERT_EQ(std::remove(path.c_str()), 0);
    ASSERT_EQ(SortRecords(&catalogue, c.order), SortOutcome::Sorted);
    ASSERT_TRUE(fold.Arrange(catalogue));
    std::vector<int32_t> shown;
    for (int32_t index : fold.shown()) shown.push_back(catalogue.records[index].sequence);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(fold.hiddenCount(), catalogue.count - static_cast<int32_t>(c.shown.size()));
    // A hidden entry stands at the place of the shown one equal to it.
    const ShownEntries entries{&catalogue, &fold};
    EXPECT_EQ(entries.Entry(entries.PositionOf(catalogue.count - 1)),
              fold.shown()[static_cast<size_t>(c.shownLast)]);
  }
}

// More sets than the hash table first holds: each copy still finds its set
// after the table has grown.
TEST(DuplicateFold, ManySetsEachCopyFindsItsOwn) {
  constexpr int32_t kSets = 1500;
  TempDir dir;
  Catalogue catalogue;
  ASSERT_TRUE(AllocateCatalogue(&catalogue, 2 * kSets));
  std::vector<uint8_t> file;
  for (int32_t i = 0; i < 2 * kSets; ++i, ++catalogue.count) {
    file.insert(file.end(),
                {static_cast<uint8_t>(i % kSets), static_cast<uint8_t>(i % kSets >> 8)});
    catalogue.records[i] = {kI, 2 * i, 2, i, 1, dir.path().c_str(), "a.exe"};
  }
  dir.Write("a.exe", file);
  DuplicateFold fold;
  ASSERT_TRUE(fold.Read(catalogue) && fold.Arrange(catalogue) && fold.shownCount() == kSets);
  for (int32_t i = kSets; i < 2 * kSets; i += 97)
    EXPECT_EQ(fold.PositionOf(catalogue, i), i - kSets);
}

}  // namespace
