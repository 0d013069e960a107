#include "scan/pe_walker.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/dib_builder.h"
#include "tests/support/pe_builder.h"
#include "tests/support/put_bytes.h"
#include "tests/support/scan_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr uint32_t kSub = kResourceSubdirectory;
constexpr uint32_t kRsrcPosition = 0x400;
constexpr uint32_t kRsrcVa = 0x1000;

// A PE file whose ".rsrc" holds exactly the section bytes given, at
// kRsrcPosition and kRsrcVa.
std::vector<uint8_t> PeAround(const std::vector<uint8_t>& section) {
  PeBuilder pe;
  pe.sections.push_back({".rsrc", kRsrcVa, kRsrcPosition, section});
  return pe.Build().bytes;
}

std::map<ImageKind, int> CountKinds(const std::vector<ImageRecord>& records) {
  std::map<ImageKind, int> n;
  for (const ImageRecord& r : records) ++n[r.kind];
  return n;
}

std::vector<ImageKind> Kinds(const std::vector<ImageRecord>& records) {
  std::vector<ImageKind> k;
  for (const ImageRecord& r : records) k.push_back(r.kind);
  return k;
}

}  // namespace

TEST(PeWalker, SectionTableHoldsAtMost1638Sections) {
  TempDir dir;
  ResourceSection rsrc = BuildResourceSection({PeBitmap(1, MakeBitmapData(4, 4))}, 0x2000);
  for (int n : {1638, 1639}) {
    PeBuilder pe;
    for (int i = 0; i < n - 1; ++i) pe.sections.push_back({".data", 0x1000, 0, {}});
    pe.sections.push_back({".rsrc", 0x2000, 0, rsrc.bytes});
    ScanOutcome out = ScanBytes(dir, pe.Build().bytes);
    EXPECT_EQ(out.status, n == 1638 ? ScanStatus::Ok : ScanStatus::Damaged) << n;
    EXPECT_EQ(out.records.size(), n == 1638 ? 1u : 0u);
  }
}

TEST(PeWalker, HeadersMustEndInsideTheFile) {
  TempDir dir;
  // No sections and no optional header: the file ends with the COFF header.
  PeBuilder pe;
  pe.optionalHeaderSize = 0;
  std::vector<uint8_t> file = pe.Build().bytes;
  ASSERT_EQ(file.size(), 0x80u + 24);
  EXPECT_EQ(ScanBytes(dir, file).status, ScanStatus::NoImages);
  file.pop_back();
  EXPECT_EQ(ScanBytes(dir, file).status, ScanStatus::Damaged);

  // A section table that ends exactly at the end of the file.
  pe.optionalHeaderSize = 0xE0;
  pe.sections.push_back({".text", 0x1000, 0, {}});
  file = pe.Build().bytes;
  ASSERT_EQ(file.size(), pe.SectionTablePosition() + 40);
  EXPECT_EQ(ScanBytes(dir, file).status, ScanStatus::NoImages);
  file.pop_back();
  EXPECT_EQ(ScanBytes(dir, file).status, ScanStatus::Damaged);

  // An optional header size that puts the table past the end.
  file = pe.Build().bytes;
  Put16(file, 0x80 + 4 + 16, 0xFFFF);
  EXPECT_EQ(ScanBytes(dir, file).status, ScanStatus::Damaged);
}

TEST(PeWalker, OptionalHeaderIsSkippedByItsStatedSize) {
  TempDir dir;
  EXPECT_EQ(ScanBytes(dir, MakeMinimalPe({PeIcon(1, MakeIconData(16, 16))}, true).bytes).status,
            ScanStatus::Ok);
  ResourceSection rsrc = BuildResourceSection({PeIcon(1, MakeIconData(16, 16))}, kRsrcVa);
  for (uint16_t size : {0, 0xE0, 0x1F0}) {
    PeBuilder pe;
    pe.optionalHeaderSize = size;
    pe.sections.push_back({".rsrc", kRsrcVa, 0, rsrc.bytes});
    EXPECT_EQ(ScanBytes(dir, pe.Build().bytes).status, ScanStatus::Ok) << size;
  }
}

TEST(PeWalker, ResourceSectionFoundByItsFirstSixNameBytes) {
  TempDir dir;
  ResourceSection rsrc = BuildResourceSection({PeBitmap(1, MakeBitmapData(4, 4))}, 0x2000);
  const std::pair<std::string, bool> names[] = {
      {std::string(".rsrc\0\0\0", 8), true},  {std::string(".rsrc\0\x12\x34", 8), true},
      {std::string(".rsrc1\0\0", 8), false},  {std::string(".RSRC\0\0\0", 8), false},
      {std::string(".rsr\0\0\0\0", 8), false}, {std::string("rsrc\0\0\0\0", 8), false},
  };
  for (const auto& [name, found] : names) {
    PeBuilder pe;
    pe.sections.push_back({".text", 0x1000, 0, std::vector<uint8_t>(16, 0xC3)});
    pe.sections.push_back({name, 0x2000, 0, rsrc.bytes});
    EXPECT_EQ(ScanBytes(dir, pe.Build().bytes).status, found ? ScanStatus::Ok : ScanStatus::NoImages)
        << name.c_str();
  }

  // Only the first ".rsrc" is looked at.
  std::vector<uint8_t> empty = BuildResourceSection({}, 0x3000).bytes;
  PeBuilder pe;
  pe.sections.push_back({".rsrc", 0x3000, 0, empty});
  pe.sections.push_back({".rsrc", 0x2000, 0, rsrc.bytes});
  EXPECT_EQ(ScanBytes(dir, pe.Build().bytes).status, ScanStatus::NoImages);
  std::swap(pe.sections[0], pe.sections[1]);
  EXPECT_EQ(ScanBytes(dir, pe.Build().bytes).status, ScanStatus::Ok);
}

TEST(PeWalker, ResourceTreeFoundThroughTheHeaderBeforeAnyName) {
  TempDir dir;
  const std::string unnamed(8, '\0');
  // Sections at 0x3000 (an empty tree) and 0x2000 (the tree, treeAt bytes in);
  // the header's address of the tree; the PE32+ form; whether it is found.
  const std::tuple<std::string, std::string, uint32_t, uint32_t, bool, bool> cases[] = {
      {".text", unnamed, 0x2100, 0x100, false, true}, {".text", unnamed, 0x2100, 0x100, true, true},
      {".rsrc", ".data", 0x2000, 0, false, true},     {".text", unnamed, 0, 0, false, false},
      {".data", ".rsrc", 0, 0, false, true},          {".data", ".rsrc", 0x9000, 0, false, true},
  };
  for (const auto& [emptyName, treeName, address, treeAt, pe32Plus, found] : cases) {
    ResourceSection tree =
        BuildResourceSection({PeBitmap(1, MakeBitmapData(4, 4))}, 0x2000 + treeAt);
    std::vector<uint8_t> bytes(treeAt, 0);
    bytes.insert(bytes.end(), tree.bytes.begin(), tree.bytes.end());
    PeBuilder pe;
    pe.pe32Plus = pe32Plus;
    pe.optionalHeaderSize = pe32Plus ? 0xF0 : 0xE0;
    pe.resourceAddress = address;
    pe.sections = {{emptyName, 0x3000, 0, BuildResourceSection({}, 0x3000).bytes},
                   {treeName, 0x2000, 0, bytes}};
    PeFile file = pe.Build();
    ScanOutcome out = ScanBytes(dir, file.bytes);
    ASSERT_EQ(out.status, found ? ScanStatus::Ok : ScanStatus::NoImages) << std::hex << address;
    if (found) {
      EXPECT_EQ(out.records.at(0).offset,
                file.sectionPositions[1] + treeAt + tree.dataOffsets.at(0));
    }
  }
}

TEST(PeWalker, ResourceSectionNeedsSixteenBytesInTheFile) {
  TempDir dir;
  std::vector<uint8_t> file = PeAround(std::vector<uint8_t>(16, 0));
  ASSERT_EQ(file.size(), kRsrcPosition + 16);
  EXPECT_EQ(ScanBytes(dir, file).status, ScanStatus::NoImages);
  file.pop_back();
  EXPECT_EQ(ScanBytes(dir, file).status, ScanStatus::Damaged);

  for (uint32_t position : {0x1000u, 0x7FFFFFF0u, 0x80000000u, 0xFFFFFFF8u}) {
    PeBuilder pe;
    pe.sections.push_back({".rsrc", kRsrcVa, position, {}});
    EXPECT_EQ(ScanBytes(dir, pe.Build().bytes).status, ScanStatus::Damaged) << std::hex << position;
  }
}

TEST(PeWalker, OnlyTypesOneTwoAndThreeAreWalked) {
  std::vector<uint8_t> png(24, 0x89);
  MinimalPe pe = MakeMinimalPe({
      {ResName::Text("A"), ResName::Id(1), 0x0409, MakeBitmapData(4, 4)},
      {ResName::Text("B"), ResName::Id(1), 0x0409, MakeBitmapData(4, 4)},
      PeCursor(1, MakeCursorData(0, 0, 16, 16)),
      PeBitmap(1, MakeBitmapData(4, 4)),
      PeIcon(1, MakeIconData(16, 16)),
      {ResName::Id(0x10002), ResName::Id(1), 0x0409, MakeBitmapData(4, 4)},
      {ResName::Id(kResourceTypeGroupIcon), ResName::Id(1), 0x0409, png},
  });
  // Type "B" renamed to a name whose low bits say 2: still a name, skipped.
  Put32(pe.bytes, pe.rsrcPosition + 16 + 8 * 1, kSub | 2);
  // The bitmap type's entry without its subdirectory bit still leads to the
  // directory.
  size_t bitmapTarget = pe.rsrcPosition + 16 + 8 * 3 + 4;
  Put32(pe.bytes, bitmapTarget, Get32(pe.bytes, bitmapTarget) & ~kSub);

  TempDir dir;
  ScanOutcome out = ScanBytes(dir, pe.bytes);
  ASSERT_EQ(out.status, ScanStatus::Ok);
  ASSERT_EQ(out.records.size(), 3u);
  EXPECT_EQ(Kinds(out.records),
            (std::vector<ImageKind>{ImageKind::Cursor, ImageKind::Bitmap, ImageKind::Icon}));
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(out.records[i].offset, pe.DataPosition(2 + i));
}

TEST(PeWalker, NamesAndLanguagesAreTakenAlike) {
  MinimalPe pe = MakeMinimalPe({
      {ResName::Id(kResourceTypeBitmap), ResName::Text("LOGO"), 0x0409, MakeBitmapData(8, 8)},
      {ResName::Id(kResourceTypeBitmap), ResName::Text("LOGO"), 0x0407, MakeBitmapData(9, 8)},
      {ResName::Id(kResourceTypeBitmap), ResName::Text("BANNER"), 0x0409, MakeBitmapData(10, 8)},
      PeBitmap(5, MakeBitmapData(11, 8)),
  });
  TempDir dir;
  ScanOutcome out = ScanBytes(dir, pe.bytes);
  ASSERT_EQ(out.status, ScanStatus::Ok);
  ASSERT_EQ(out.records.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(out.records[i].offset, pe.DataPosition(i));
    EXPECT_EQ(out.records[i].size, 40 + 64 + DibStride(static_cast<int32_t>(8 + i), 4) * 8);
    EXPECT_EQ(out.records[i].area, static_cast<int32_t>(8 * (8 + i)));
  }
}

TEST(PeWalker, RecordsFollowTheOrderOfTheTypeEntries) {
  TempDir dir;
  MinimalPe shuffled = MakeMinimalPe({
      PeIcon(1, MakeIconData(16, 16)),
      PeIcon(2, MakeIconData(32, 32)),
      PeCursor(1, MakeCursorData(1, 1, 32, 32)),
      PeBitmap(1, MakeBitmapData(4, 4)),
  });
  ScanOutcome out = ScanBytes(dir, shuffled.bytes);
  ASSERT_EQ(out.status, ScanStatus::Ok);
  EXPECT_EQ(Kinds(out.records), (std::vector<ImageKind>{ImageKind::Icon, ImageKind::Icon,
                                                        ImageKind::Cursor, ImageKind::Bitmap}));
  for (size_t i = 0; i < out.records.size(); ++i) {
    EXPECT_EQ(out.records[i].offset, shuffled.DataPosition(i));
    if (i > 0) {
      EXPECT_EQ(out.records[i].sequence, out.records[i - 1].sequence + 1);
    }
  }
}

TEST(PeWalker, KeepsDataEntriesUntilTheCatalogueIsFull) {
  std::vector<PeResource> many;
  for (int32_t i = 0; i < 1200; ++i) {
    many.push_back(PeBitmap(static_cast<uint32_t>(i + 1), MakeInfoHeader(i + 1, 1)));
  }
  MinimalPe pe = MakeMinimalPe(many);
  TempDir dir;
  ScanOutcome out = ScanBytes(dir, pe.bytes);
  ASSERT_EQ(out.status, ScanStatus::Ok);
  ASSERT_EQ(out.records.size(), 1200u);
  // Headers beyond 64 KiB of the data entries are measured when sorted.
  size_t measured = 0;
  while (measured < 1200 && out.records[measured].area != 0) ++measured;
  EXPECT_GE(measured, 1000u);
  for (size_t i = 0; i < 1200; ++i) {
    ASSERT_EQ(out.records[i].offset, pe.DataPosition(i)) << i;
    ASSERT_EQ(out.records[i].area, i < measured ? static_cast<int32_t>(i + 1) : 0) << i;
  }

  // Fewer when the catalogue fills first, which is no damage.
  ScanOutcome some = ScanBytes(dir, pe.bytes, 600);
  EXPECT_EQ(some.status, ScanStatus::Ok);
  EXPECT_EQ(some.records.size(), 600u);
  EXPECT_EQ(some.slotsTouched, 600);

  // A resource past the end of the file is dropped, and the scan says so.
  pe.PointDataEntry(5, static_cast<int64_t>(pe.bytes.size()), 1);
  ScanOutcome dropped = ScanBytes(dir, pe.bytes);
  EXPECT_EQ(dropped.status, ScanStatus::Partial);
  ASSERT_EQ(dropped.records.size(), 1199u);
  EXPECT_EQ(dropped.records.back().offset, pe.DataPosition(1199));
}

TEST(PeWalker, DirectoriesCutOffByTheFirstWindow) {
  // root: cursors, bitmaps and icons, each type directory listing data
  // entries directly. Only the bitmap and icon directories move about.
  struct Case {
    uint32_t sectionLength;  // the first window ends at min(this, 65536)
    int32_t bitmapFromEnd;   // directory position relative to the window end
    int32_t iconFromEnd;     // 0: far from the end
    int bitmaps;
    int icons;
  };
  const Case cases[] = {
      {0x10800, -24, 0, 1, 5},  {0x10800, -23, 0, 0, 5},  {0x10800, -16, 0, 0, 5},
      {0x10800, -10, 0, 0, 5},  {0x10800, 0, -56, 1, 5},  {0x10800, 0, -40, 1, 3},
      {0x10800, 0, -39, 1, 2},  {0x2000, -24, 0, 1, 5},   {0x2000, -10, 0, 0, 5},
      {0x2000, 0, -40, 1, 3},   {0x2000, 0, -39, 1, 2},
  };
  TempDir dir;
  for (const Case& c : cases) {
    uint32_t windowEnd = c.sectionLength < 65536 ? c.sectionLength : 65536;
    bool big = c.sectionLength > 65536;
    uint32_t entries = big ? 0x10400 : 0x400;  // data entries, then the data
    uint32_t data = entries + 0x100;
    uint32_t cursorDir = 0x100;
    uint32_t bitmapDir = c.bitmapFromEnd != 0 ? static_cast<uint32_t>(windowEnd + c.bitmapFromEnd) : 0x140;
    uint32_t iconDir = c.iconFromEnd != 0 ? static_cast<uint32_t>(windowEnd + c.iconFromEnd) : 0x180;

    std::vector<uint8_t> s;
    PutResourceDirectory(s, 0, 0, 3);
    PutResourceEntry(s, 16, kResourceTypeCursor, kSub | cursorDir);
    PutResourceEntry(s, 24, kResourceTypeBitmap, kSub | bitmapDir);
    PutResourceEntry(s, 32, kResourceTypeIcon, kSub | iconDir);
    PutResourceDirectory(s, cursorDir, 0, 1);
    PutResourceEntry(s, cursorDir + 16, 1, entries);
    PutResourceDirectory(s, bitmapDir, 0, 1);
    PutResourceEntry(s, bitmapDir + 16, 1, entries + 16);
    PutResourceDirectory(s, iconDir, 0, 5);
    for (uint32_t k = 0; k < 5; ++k) PutResourceEntry(s, iconDir + 16 + 8 * k, 1, entries + 32 + 16 * k);
    for (uint32_t k = 0; k < 7; ++k) {
      PutResourceDataEntry(s, entries + 16 * k, kRsrcVa + data + 48 * k, 40);
      PutBytes(s, data + 48 * k, MakeInfoHeader(8, 8));
    }
    s.resize(c.sectionLength, 0);

    ScanOutcome out = ScanBytes(dir, PeAround(s));
    ASSERT_EQ(out.status, ScanStatus::Ok);
    std::map<ImageKind, int> n = CountKinds(out.records);
    EXPECT_EQ(n[ImageKind::Cursor], 1);
    EXPECT_EQ(n[ImageKind::Bitmap], c.bitmaps) << c.sectionLength << " " << c.bitmapFromEnd;
    EXPECT_EQ(n[ImageKind::Icon], c.icons) << c.sectionLength << " " << c.iconFromEnd;
  }
}

TEST(PeWalker, DataEntriesBeyondTheSecondReadAreReadThere) {
  TempDir dir;
  // Two icons; the second one's data entry moves away from the first.
  auto build = [](uint32_t secondEntry, uint32_t sectionLength) {
    std::vector<uint8_t> s;
    PutResourceDirectory(s, 0, 0, 1);
    PutResourceEntry(s, 16, kResourceTypeIcon, kSub | 0x40);
    PutResourceDirectory(s, 0x40, 0, 2);
    PutResourceEntry(s, 0x50, 1, 0x200);
    PutResourceEntry(s, 0x58, 2, secondEntry);
    PutResourceDataEntry(s, 0x200, kRsrcVa + 0x300, 40);
    PutBytes(s, 0x300, MakeInfoHeader(16, 32));
    PutResourceDataEntry(s, secondEntry, kRsrcVa + 0x340, 40);
    PutBytes(s, 0x340, MakeInfoHeader(16, 32));
    s.resize(sectionLength, 0);
    return PeAround(s);
  };
  // Within the 64 KiB of the second read and beyond it.
  for (uint32_t at : {0x200u + 65528, 0x200u + 65529, 0x1FFF8u}) {
    ScanOutcome out = ScanBytes(dir, build(at, 0x20000));
    EXPECT_EQ(out.status, ScanStatus::Ok) << at;
    EXPECT_EQ(out.records.size(), 2u) << at;
  }
  // Through the end of the file: the RVA and size fields must be there, or
  // the file was cut short.
  EXPECT_EQ(ScanBytes(dir, build(0x1000, 0x1008)).records.size(), 2u);
  ScanOutcome cut = ScanBytes(dir, build(0x1000, 0x1007));
  EXPECT_EQ(cut.status, ScanStatus::Partial);
  ASSERT_EQ(cut.records.size(), 1u);
  EXPECT_EQ(cut.records[0].offset, kRsrcPosition + 0x300);
}

TEST(PeWalker, SecondReadMustStartInsideTheFile) {
  TempDir dir;
  auto build = [](uint32_t entry, uint32_t sectionLength) {
    std::vector<uint8_t> s;
    PutResourceDirectory(s, 0, 0, 1);
    PutResourceEntry(s, 16, kResourceTypeBitmap, kSub | 0x40);
    PutResourceDirectory(s, 0x40, 0, 1);
    PutResourceEntry(s, 0x50, 1, entry);
    if (entry < sectionLength) PutResourceDataEntry(s, entry, kRsrcVa + 0x100, 40);
    PutBytes(s, 0x100, MakeInfoHeader(16, 16));
    s.resize(sectionLength, 0);
    return PeAround(s);
  };
  EXPECT_EQ(ScanBytes(dir, build(0x1F8, 0x200)).status, ScanStatus::Ok);
  for (uint32_t entry : {0x200u, 0x7FFFFFF0u}) {
    ScanOutcome damaged = ScanBytes(dir, build(entry, 0x200));
    EXPECT_EQ(damaged.status, ScanStatus::Damaged) << std::hex << entry;
    EXPECT_EQ(damaged.slotsTouched, 0) << std::hex << entry;  // no record made
  }
}

TEST(PeWalker, LoopingAndDeepTreesEnd) {
  TempDir dir;
  std::vector<uint8_t> icon = MakeInfoHeader(16, 32);
  auto dataAt = [&](std::vector<uint8_t>& s, uint32_t entry, uint32_t data) {
    PutResourceDataEntry(s, entry, kRsrcVa + data, 40);
    PutBytes(s, data, icon);
  };

  // A type entry that leads back to the root.
  std::vector<uint8_t> s;
  PutResourceDirectory(s, 0, 0, 1);
  PutResourceEntry(s, 16, kResourceTypeIcon, kSub | 0);
  EXPECT_EQ(ScanBytes(dir, PeAround(s)).status, ScanStatus::NoImages);

  // Two types sharing one directory: it is walked for the first only.
  s.clear();
  PutResourceDirectory(s, 0, 0, 2);
  PutResourceEntry(s, 16, kResourceTypeCursor, kSub | 0x100);
  PutResourceEntry(s, 24, kResourceTypeIcon, kSub | 0x100);
  PutResourceDirectory(s, 0x100, 0, 1);
  PutResourceEntry(s, 0x110, 1, 0x200);
  dataAt(s, 0x200, 0x300);
  ScanOutcome shared = ScanBytes(dir, PeAround(s));
  EXPECT_EQ(Kinds(shared.records), std::vector<ImageKind>{ImageKind::Cursor});

  // A name directory listing itself, and a language directory listing the
  // root, itself and a fourth level that holds a data entry.
  s.clear();
  PutResourceDirectory(s, 0, 0, 1);
  PutResourceEntry(s, 16, kResourceTypeIcon, kSub | 0x100);
  PutResourceDirectory(s, 0x100, 0, 2);
  PutResourceEntry(s, 0x110, 1, kSub | 0x100);
  PutResourceEntry(s, 0x118, 2, kSub | 0x180);
  PutResourceDirectory(s, 0x180, 0, 4);
  PutResourceEntry(s, 0x190, 0x0409, 0x200);
  PutResourceEntry(s, 0x198, 0x0409, kSub | 0);
  PutResourceEntry(s, 0x1A0, 0x0409, kSub | 0x180);
  PutResourceEntry(s, 0x1A8, 0x0409, kSub | 0x1C0);
  PutResourceDirectory(s, 0x1C0, 0, 1);
  PutResourceEntry(s, 0x1D0, 0x0409, 0x210);
  dataAt(s, 0x200, 0x300);
  dataAt(s, 0x210, 0x340);
  ScanOutcome looped = ScanBytes(dir, PeAround(s));
  ASSERT_EQ(looped.records.size(), 1u);
  EXPECT_EQ(looped.records[0].offset, kRsrcPosition + 0x300);

  // A chain of 1900 directories, each with a data entry and a link to the
  // next: only the name and language levels count.
  s.clear();
  constexpr uint32_t kChain = 1900;
  constexpr uint32_t kDir = 32;
  constexpr uint32_t kFirst = 0x20;
  const uint32_t entries = kFirst + kChain * kDir;
  PutResourceDirectory(s, 0, 0, 1);
  PutResourceEntry(s, 16, kResourceTypeBitmap, kSub | kFirst);
  for (uint32_t k = 0; k < kChain; ++k) {
    uint32_t d = kFirst + k * kDir;
    PutResourceDirectory(s, d, 0, 2);
    PutResourceEntry(s, d + 16, 1, entries + 16 * k);
    PutResourceEntry(s, d + 24, 2, kSub | (d + kDir));
    PutResourceDataEntry(s, entries + 16 * k, kRsrcVa + entries + 16 * kChain, 40);
  }
  PutBytes(s, entries + 16 * kChain, icon);
  ScanOutcome chain = ScanBytes(dir, PeAround(s));
  EXPECT_EQ(chain.records.size(), 2u);
}

TEST(PeWalker, DataPositionIsRvaLessSectionAddressPlusFilePosition) {
  struct Case {
    uint32_t sectionVa;
    uint32_t rva;
    bool recorded;
    int64_t offset;
  };
  const uint32_t p = 0x400;  // where MakeMinimalPe puts .rsrc with one .text before it
  const Case cases[] = {
      {0x2000, 0x2000 - 0x100, true, p - 0x100},   // below the section: still in the file
      {0x2000, 0x2000 - p, true, 0},               // the first byte of the file
      {0x2000, 0x2000 - p - 1, false, 0},          // one before it
      {0x2000, 0x7FFFFFFF, false, 0},              // far beyond the end
      {0x2000, 0xFFFFFFFF, false, 0},              // a negative RVA
      {0x80000000, 0x80000000, false, 0},          // a 32-bit sum would wrap to p
      {0x80000000, 0x80000010, false, 0},
      {0, 0x40, true, p + 0x40},
  };
  TempDir dir;
  for (const Case& c : cases) {
    MinimalPe pe = MakeMinimalPe({PeBitmap(1, MakeBitmapData(4, 4))}, false, c.sectionVa);
    ASSERT_EQ(pe.rsrcPosition, p);
    Put32(pe.bytes, static_cast<size_t>(pe.DataEntryPosition(0)), c.rva);
    Put32(pe.bytes, static_cast<size_t>(pe.DataEntryPosition(0)) + 4, 16);
    ScanOutcome out = ScanBytes(dir, pe.bytes);
    EXPECT_EQ(out.status, c.recorded ? ScanStatus::Ok : ScanStatus::NoImages)
        << std::hex << c.sectionVa << " " << c.rva;
    if (c.recorded && !out.records.empty()) {
      EXPECT_EQ(out.records[0].offset, c.offset);
    }
  }
}
