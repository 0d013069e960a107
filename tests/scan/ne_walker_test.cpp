#include "scan/ne_walker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/dib_builder.h"
#include "tests/support/ne_builder.h"
#include "tests/support/put_bytes.h"
#include "tests/support/scan_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

NeResource Entry(uint16_t offset, uint16_t length) {
  NeResource r;
  r.offset = offset;
  r.length = length;
  return r;
}

// count placeholder entries of a type the walker passes over.
NeTypeEntry Filler(uint16_t type, size_t count) {
  return NeTypeEntry{type, std::vector<NeResource>(count), std::nullopt};
}

std::vector<ImageKind> Kinds(const std::vector<ImageRecord>& records) {
  std::vector<ImageKind> k;
  for (const ImageRecord& r : records) k.push_back(r.kind);
  return k;
}

}  // namespace

TEST(NeWalker, HeaderReadNeedsSixtySixBytes) {
  TempDir dir;
  NeBuilder ne;
  std::vector<uint8_t> file = ne.Build().bytes;
  file.resize(static_cast<size_t>(ne.headerPosition) + 66);
  EXPECT_EQ(ScanBytes(dir, file).status, ScanStatus::NoImages);
  file.pop_back();
  EXPECT_EQ(ScanBytes(dir, file).status, ScanStatus::Damaged);
}

TEST(NeWalker, ShiftScalesOffsetAndLength) {
  TempDir dir;
  NeBuilder ne;
  ne.shift = 4;
  ne.types.push_back({kNeTypeIcon, {Entry(0x0123, 0x0010)}, std::nullopt});
  std::vector<uint8_t> file = ne.Build().bytes;
  PutBytes(file, 0x1230, MakeInfoHeader(32, 64));
  file.resize(0x1330);  // the resource ends exactly at the end of the file
  ScanOutcome out = ScanBytes(dir, file);
  ASSERT_EQ(out.status, ScanStatus::Ok);
  ASSERT_EQ(out.records.size(), 1u);
  EXPECT_EQ(out.records[0].kind, ImageKind::Icon);
  EXPECT_EQ(out.records[0].offset, 0x1230);
  EXPECT_EQ(out.records[0].size, 0x100);
  EXPECT_EQ(out.records[0].area, 1024);
  file.pop_back();
  EXPECT_EQ(ScanBytes(dir, file).status, ScanStatus::NoImages);
}

TEST(NeWalker, OtherTypesAreSkippedWithTheirEntries) {
  TempDir dir;
  NeBuilder ne;
  for (int i = 0; i < 5; ++i) ne.Add(kNeTypeGroupIcon, std::vector<uint8_t>(20, 1));
  ne.types.push_back(Filler(0x0010, 3));  // a named type: top bit clear
  ne.types.push_back(Filler(0x8004, 1));
  ne.Add(kNeTypeIcon, MakeIconData(16, 16));
  ne.Add(kNeTypeIcon, MakeIconData(32, 32));
  NeFile file = ne.Build();
  ScanOutcome out = ScanBytes(dir, file.bytes);
  ASSERT_EQ(out.status, ScanStatus::Ok);
  ASSERT_EQ(out.records.size(), 2u);
  EXPECT_EQ(out.records[0].offset, file.resourcePositions[9]);
  EXPECT_EQ(out.records[1].offset, file.resourcePositions[10]);
  EXPECT_EQ(out.records[0].area, 256);
  EXPECT_EQ(out.records[1].area, 1024);
}

TEST(NeWalker, RecordsFollowTableOrder) {
  TempDir dir;
  NeBuilder ne;
  ne.Add(kNeTypeIcon, MakeIconData(16, 16));
  ne.Add(kNeTypeIcon, MakeIconData(32, 32));
  ne.Add(kNeTypeCursor, MakeCursorData(2, 2, 32, 32));
  ne.Add(kNeTypeBitmap, MakeBitmapData(3, 5));
  ne.Add(kNeTypeBitmap, MakeBitmapData(7, -2));
  NeFile file = ne.Build();
  ScanOutcome out = ScanBytes(dir, file.bytes);
  ASSERT_EQ(out.status, ScanStatus::Ok);
  EXPECT_EQ(Kinds(out.records), (std::vector<ImageKind>{ImageKind::Icon, ImageKind::Icon,
                                                        ImageKind::Cursor, ImageKind::Bitmap,
                                                        ImageKind::Bitmap}));
  std::vector<int32_t> areas;
  for (size_t i = 0; i < out.records.size(); ++i) {
    EXPECT_EQ(out.records[i].offset, file.resourcePositions[i]);
    areas.push_back(out.records[i].area);
  }
  EXPECT_EQ(areas, (std::vector<int32_t>{256, 1024, 1024, 15, 14}));
}

TEST(NeWalker, TableCutByTheWindowEndsTheWalkQuietly) {
  TempDir dir;
  // One icon, a skipped type whose entries bring the next type entry near
  // the end of the 64 KiB window, then icons whose entries lie partly or
  // wholly past it. The table's end lies beyond the window.
  struct Case {
    size_t fillerCount;
    size_t recorded;
  };
  // 5458 fillers put the last type entry at 65526: whole, but none of its
  // entries fit. 5457 put it at 65514: one of its three entries fits.
  for (Case c : {Case{5458, 1}, Case{5457, 2}}) {
    NeBuilder ne;
    ne.Add(kNeTypeIcon, MakeIconData(16, 16));
    ne.types.push_back(Filler(kNeTypeGroupIcon, c.fillerCount));
    ne.types.push_back({kNeTypeIcon, {}, std::nullopt});
    for (int i = 0; i < 3; ++i) ne.types.back().resources.push_back({0, 0, 0x30, 1, MakeIconData(8, 8)});
    NeFile file = ne.Build();
    ASSERT_GT(file.bytes.size(), file.tablePosition + 65536u);
    ScanOutcome out = ScanBytes(dir, file.bytes);
    ASSERT_EQ(out.status, ScanStatus::Ok);
    ASSERT_EQ(out.records.size(), c.recorded) << c.fillerCount;
    EXPECT_EQ(out.records.back().offset, file.resourcePositions[c.recorded == 1 ? 0 : 1 + c.fillerCount]);
  }
}

TEST(NeWalker, EntriesCutByTheFileEnd) {
  TempDir dir;
  // Data first, table last, so the file can end inside the table.
  NeBuilder ne;
  ne.dataStart = 0x100;
  ne.tableOffset = 0x400;
  for (int i = 0; i < 3; ++i) ne.Add(kNeTypeIcon, MakeInfoHeader(16, 32));
  NeFile file = ne.Build();
  size_t thirdEnd = file.tablePosition + 2 + 8 + 3 * 12;
  file.bytes.resize(thirdEnd);
  ScanOutcome out = ScanBytes(dir, file.bytes);
  ASSERT_EQ(out.records.size(), 3u);
  // Headers that lie before the table are not in the window.
  for (const ImageRecord& r : out.records) EXPECT_EQ(r.area, 0);
  file.bytes.pop_back();
  EXPECT_EQ(ScanBytes(dir, file.bytes).records.size(), 2u);
}

TEST(NeWalker, TableAtOrPastTheEndOfTheFile) {
  TempDir dir;
  NeBuilder ne;
  ne.Add(kNeTypeIcon, MakeIconData(16, 16));
  std::vector<uint8_t> file = ne.Build().bytes;
  ASSERT_EQ(ScanBytes(dir, file).status, ScanStatus::Ok);
  size_t field = static_cast<size_t>(ne.headerPosition) + 0x24;
  uint32_t toEnd = static_cast<uint32_t>(file.size()) - static_cast<uint32_t>(ne.headerPosition);
  for (uint32_t offset : {toEnd, toEnd - 9, toEnd + 1, 0xFFFFu}) {
    Put16(file, field, static_cast<uint16_t>(offset));
    EXPECT_EQ(ScanBytes(dir, file).status, ScanStatus::NoImages) << offset;
  }
}

TEST(NeWalker, ShiftedValuesOutsideTheSigned32BitRangeAreDropped) {
  struct Case {
    uint16_t shift;
    uint16_t offset;
    uint16_t length;
    size_t fileLength;
    bool recorded;
  };
  const Case cases[] = {
      {0, 0xFFFF, 1, 0x10000, true},   {0, 0xFFFF, 1, 0xFFFF, false},
      {15, 1, 1, 0x10000, true},       {15, 1, 1, 0xFFFF, false},
      {17, 0x8000, 0, 0x1000, false},  // 2^32: a 32-bit shift leaves 0
      {31, 1, 0, 0x1000, false},       // 2^31: negative in 32 bits
      {16, 0, 0x8000, 0x1000, false},
      {32, 1, 0, 0x1000, false},       // a shift taken mod 32 leaves 1
      {40, 0, 0, 0x1000, false},       {0xFFFF, 0, 0, 0x1000, false},
  };
  TempDir dir;
  for (const Case& c : cases) {
    NeBuilder ne;
    ne.shift = c.shift;
    ne.types.push_back({kNeTypeBitmap, {Entry(c.offset, c.length)}, std::nullopt});
    std::vector<uint8_t> file = ne.Build().bytes;
    ASSERT_LE(file.size(), c.fileLength);
    file.resize(c.fileLength);
    ScanOutcome out = ScanBytes(dir, file);
    EXPECT_EQ(out.status, c.recorded ? ScanStatus::Ok : ScanStatus::NoImages)
        << "shift " << c.shift << " offset " << c.offset << " length " << c.length;
    if (c.recorded && !out.records.empty()) {
      EXPECT_EQ(out.records[0].offset, int64_t{c.offset} << c.shift);
      EXPECT_EQ(out.records[0].size, int64_t{c.length} << c.shift);
    }
  }
}

TEST(NeWalker, AreaCountsFromTheStartOfTheTable) {
  TempDir dir;
  for (uint32_t past : {0u, 2u}) {
    NeBuilder ne;
    ne.shift = 1;
    uint32_t header = ne.TablePosition() + 65536 - 16 + past;
    ne.types.push_back({kNeTypeIcon, {Entry(static_cast<uint16_t>(header >> 1), 20)}, std::nullopt});
    std::vector<uint8_t> file = ne.Build().bytes;
    PutBytes(file, header, MakeInfoHeader(32, 64));
    ScanOutcome out = ScanBytes(dir, file);
    ASSERT_EQ(out.records.size(), 1u);
    EXPECT_EQ(out.records[0].offset, static_cast<int32_t>(header));
    EXPECT_EQ(out.records[0].area, past == 0 ? 1024 : 0);
  }
}
