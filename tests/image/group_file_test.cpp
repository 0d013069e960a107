#include "image/group_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "scan/resource_groups.h"
#include "tests/support/dib_builder.h"
#include "tests/support/icon_file_check.h"
#include "tests/support/ne_builder.h"
#include "tests/support/pe_builder.h"
#include "tests/support/put_bytes.h"
#include "tests/support/sample_fixtures.h"
#include "tests/support/temp_dir.h"

namespace {

// What the group file of one group of an executable came out as.
struct GroupRun {
  bool read = false;
  std::vector<ResourceGroup> groups;
  GroupContents contents;
  bool built = false;
  Bytes file;
};

GroupRun RunGroup(const Bytes& exe, size_t groupIndex = 0) {
  TempDir dir;
  FileHandle f = OpenFileForReading(dir.Write("groups.exe", exe).c_str());
  EXPECT_NE(f, kInvalidFile);
  GroupRun run;
  FileGroups groups;
  run.read = ReadFileGroups(f, &groups);
  run.groups = groups.groups;
  if (groupIndex < groups.groups.size()) {
    const ResourceGroup& g = groups.groups[groupIndex];
    ReadGroupContents(f, groups, g, &run.contents);
    run.built = BuildGroupFile(f, g.kind, run.contents, &run.file);
  }
  CloseFile(f);
  return run;
}

// The images of a group file, in entry order.
std::vector<Bytes> Images(const Bytes& file, const std::vector<IconFileEntry>& entries) {
  std::vector<Bytes> out;
  for (const IconFileEntry& e : entries) {
    out.emplace_back(file.begin() + e.offset, file.begin() + e.offset + e.bytes);
  }
  return out;
}

Bytes Icon16() { return MakeIconData(16, 16, 4); }
Bytes Icon32() { return MakeIconData(32, 32, 8); }
Bytes Icon48() { return MakeIconData(48, 48, 32); }

PeResource PeGroup(uint32_t id, Bytes data, uint16_t language = 0x0409) {
  return {ResName::Id(kResourceTypeGroupIcon), ResName::Id(id), language, std::move(data)};
}

// A small but whole PNG: signature, IHDR, IDAT, IEND, then padding that is
// not part of it.
Bytes PngImage() {
  Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&b](const char* type, size_t length) {
    size_t at = b.size();
    b.resize(at + 12 + length, 0x11);
    b[at] = 0;
    b[at + 1] = 0;
    b[at + 2] = 0;
    b[at + 3] = static_cast<uint8_t>(length);
    for (int i = 0; i < 4; ++i) b[at + 4 + i] = static_cast<uint8_t>(type[i]);
  };
  chunk("IHDR", 13);
  chunk("IDAT", 5);
  chunk("IEND", 0);
  return b;
}

Bytes WithPadding(Bytes b, size_t n) {
  b.resize(b.size() + n, 0xEE);
  return b;
}

struct GroupCase {
  const char* name;
  std::function<Bytes()> build;
  std::vector<Bytes> images;  // what the file must hold, in order
  std::vector<uint16_t> leftOut;
};

std::vector<GroupCase> GroupCases() {
  Bytes short20 = Icon32();
  short20.resize(20);
  Bytes maskCut = Icon48();
  maskCut.pop_back();
  std::vector<GroupCase> c;
  c.push_back({"EveryMemberInGroupOrderWhateverTheEntriesClaim",
               [] {
                 return MakeMinimalPe({PeIcon(1, Icon16()), PeIcon(2, Icon32()),
                                       PeIcon(3, Icon48()),
                                       PeGroup(1, MakeGroupData(false, {{3, 48, 48, 32, 9},
                                                                        {1, 16, 16, 4, 99999},
                                                                        {2, 32, 32, 8, 0}}))})
                     .bytes;
               },
               {Icon48(), Icon16(), Icon32()},
               {}});
  c.push_back(
      {"MissingIdLeftOutAndTheNextStillItsOwn",
       [] {
         return MakeMinimalPe(
                    {PeIcon(1, Icon16()), PeIcon(3, Icon48()),
                     PeGroup(1, MakeGroupData(false, {{1, 16, 16, 4}, {7}, {3, 48, 48, 32}}))})
             .bytes;
       },
       {Icon16(), Icon48()},
       {7}});
  c.push_back({"EmptyMemberLeftOut",
               [] {
                 return MakeMinimalPe({PeIcon(1, {}), PeIcon(2, Icon32()),
                                       PeGroup(1, MakeGroupData(false, {{1}, {2, 32, 32, 8}}))})
                     .bytes;
               },
               {Icon32()},
               {1}});
  c.push_back({"MembersShorterThanTheirHeaderSaysLeftOut",
               [short20, maskCut] {
                 return MakeMinimalPe({PeIcon(1, short20), PeIcon(2, maskCut), PeIcon(3, Icon16()),
                                       PeGroup(1, MakeGroupData(false, {{1}, {2}, {3, 16, 16}}))})
                     .bytes;
               },
               {Icon16()},
               {1, 2}});
  c.push_back({"MemberPastTheEndLeftOut",
               [] {
                 MinimalPe pe = MakeMinimalPe({PeIcon(1, Icon16()), PeIcon(2, Icon32()),
                                               PeGroup(1, MakeGroupData(false, {{1}, {2}}))});
                 pe.PointDataEntry(1, static_cast<int64_t>(pe.bytes.size()) - 16,
                                   static_cast<uint32_t>(Icon32().size()));
                 return pe.bytes;
               },
               {Icon16()},
               {2}});
  c.push_back(
      {"CountPastTheEndTakesTheWholeEntries",
       [] {
         Bytes g = MakeGroupData(false, {{1}, {2}}, 500);
         g.resize(g.size() + 13, 0x02);  // most of a third entry
         return MakeMinimalPe({PeIcon(1, Icon16()), PeIcon(2, Icon32()), PeGroup(1, g)}).bytes;
       },
       {Icon16(), Icon32()},
       {}});
  c.push_back({"NoMemberLeftWritesNothing",
               [] {
                 return MakeMinimalPe(
                            {PeIcon(1, Icon16()), PeGroup(1, MakeGroupData(false, {{8}, {9}}))})
                     .bytes;
               },
               {},
               {8, 9}});
  c.push_back({"CursorOfOnlyItsHotspotIsNoMember",
               [] {
                 return MakeMinimalPe({PeCursor(3, Bytes(4, 0x01)),
                                       {ResName::Id(kResourceTypeGroupCursor), ResName::Id(1),
                                        0x0409, MakeGroupData(true, {{3}})}})
                     .bytes;
               },
               {},
               {3}});
  c.push_back({"GroupShorterThanItsHeaderHasNoMember",
               [] {
                 return MakeMinimalPe({PeIcon(1, Icon16()), PeGroup(1, {0, 0, 1, 0, 1})}).bytes;
               },
               {},
               {}});
  c.push_back({"PaddingBehindAnImageIsNotWritten",
               [] {
                 return MakeMinimalPe({PeIcon(1, WithPadding(Icon16(), 16)),
                                       PeIcon(2, WithPadding(PngImage(), 7)),
                                       PeGroup(1, MakeGroupData(false, {{1}, {2}}))})
                     .bytes;
               },
               {Icon16(), PngImage()},
               {}});
  c.push_back({"OnlyNumberedImagesAreMembers",
               [] {
                 return MakeMinimalPe(
                            {{ResName::Id(kResourceTypeIcon), ResName::Text("1"), 0x0409, Icon16()},
                             PeIcon(2, Icon32()),
                             PeGroup(1, MakeGroupData(false, {{1}, {2}}))})
                     .bytes;
               },
               {Icon32()},
               {1}});
  c.push_back({"TheGroupsLanguageFirst",
               [] {
                 return MakeMinimalPe(
                            {PeIcon(1, Icon16()),
                             {ResName::Id(kResourceTypeIcon), ResName::Id(1), 0x0407, Icon32()},
                             PeGroup(1, MakeGroupData(false, {{1}}), 0x0407)})
                     .bytes;
               },
               {Icon32()},
               {}});
  c.push_back({"ElseTheMembersFirstLanguage",
               [] {
                 return MakeMinimalPe(
                            {PeIcon(1, Icon16()),
                             {ResName::Id(kResourceTypeIcon), ResName::Id(1), 0x0407, Icon32()},
                             PeGroup(1, MakeGroupData(false, {{1}}), 0x0411)})
                     .bytes;
               },
               {Icon16()},
               {}});
  c.push_back({"NeShiftedOffsetsAndAlignmentPaddingLeftBehind",
               [] {
                 NeBuilder ne;
                 ne.shift = 6;
                 ne.Add(kNeTypeIcon, Icon16());
                 ne.Add(kNeTypeIcon, Icon48());
                 ne.Add(kNeTypeGroupIcon, MakeGroupData(false, {{2}, {5}, {1}}));
                 return ne.Build().bytes;
               },
               {Icon48(), Icon16()},
               {5}});
  return c;
}

TEST(GroupFile, BrokenAndWholeGroupsGiveValidFilesOrNone) {
  for (const GroupCase& c : GroupCases()) {
    SCOPED_TRACE(c.name);
    GroupRun run = RunGroup(c.build());
    ASSERT_TRUE(run.read);
    ASSERT_FALSE(run.groups.empty());
    EXPECT_EQ(run.contents.leftOut, c.leftOut);
    EXPECT_EQ(run.contents.members.size(), c.images.size());
    EXPECT_EQ(run.built, !c.images.empty());
    if (c.images.empty()) {
      EXPECT_TRUE(run.file.empty());
      continue;
    }
    std::vector<IconFileEntry> entries;
    ASSERT_EQ(CheckIconFile(run.file.data(), run.file.size(), 1, &entries), "");
    EXPECT_EQ(Images(run.file, entries), c.images);
  }
}

TEST(GroupFile, IconEntriesComeFromTheGroupSizesFromTheMembers) {
  Bytes group = MakeGroupData(false, {{2, 32, 32, 8, 12345}, {1, 16, 16, 4, 1}});
  group[6 + 3] = 0x5A;  // reserved byte of the first entry, kept as stored
  GroupRun run =
      RunGroup(MakeMinimalPe({PeIcon(1, Icon16()), PeIcon(2, Icon32()), PeGroup(1, group)}).bytes);
  std::vector<IconFileEntry> e;
  ASSERT_EQ(CheckIconFile(run.file.data(), run.file.size(), 1, &e), "");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].width, 32);
  EXPECT_EQ(e[0].height, 32);
  EXPECT_EQ(e[0].colours, 0);
  EXPECT_EQ(e[0].reserved, 0x5A);
  EXPECT_EQ(e[0].planesOrHotspotX, 1);
  EXPECT_EQ(e[0].bitCountOrHotspotY, 8);
  EXPECT_EQ(e[0].bytes, Icon32().size());
  EXPECT_EQ(e[0].offset, 6u + 2 * 16);
  EXPECT_EQ(e[1].colours, 16);
  EXPECT_EQ(e[1].bitCountOrHotspotY, 4);
  EXPECT_EQ(e[1].offset, 6u + 2 * 16 + Icon32().size());
}

TEST(GroupFile, CursorEntriesHalveTheHeightAndCarryTheHotspot) {
  const Bytes big = MakeCursorData(300, 5, 64, 64, 1);
  const Bytes small = MakeCursorData(7, 9, 16, 16, 4);
  Bytes group = MakeGroupData(true, {{2, 16, 16, 4, 1}, {9}, {1, 256, 64, 1, 0}});
  GroupRun run = RunGroup(
      MakeMinimalPe({PeCursor(1, big),
                     PeCursor(2, small),
                     PeCursor(3, Bytes(3, 0x01)),
                     {ResName::Id(kResourceTypeGroupCursor), ResName::Id(4), 0x0409, group}})
          .bytes);
  ASSERT_EQ(run.groups.size(), 1u);
  EXPECT_EQ(run.groups[0].kind, ImageKind::Cursor);
  EXPECT_EQ(run.contents.leftOut, std::vector<uint16_t>{9});
  std::vector<IconFileEntry> e;
  ASSERT_EQ(CheckIconFile(run.file.data(), run.file.size(), 2, &e), "");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].width, 16);
  EXPECT_EQ(e[0].height, 16);
  EXPECT_EQ(e[0].colours, 0);
  EXPECT_EQ(e[0].planesOrHotspotX, 7);
  EXPECT_EQ(e[0].bitCountOrHotspotY, 9);
  EXPECT_EQ(e[1].width, 0);  // 256 wide
  EXPECT_EQ(e[1].height, 64);
  EXPECT_EQ(e[1].planesOrHotspotX, 300);  // the whole 16-bit hotspot
  EXPECT_EQ(Images(run.file, e), (std::vector<Bytes>{Bytes(small.begin() + 4, small.end()),
                                                     Bytes(big.begin() + 4, big.end())}));
}

TEST(GroupFile, NamesKeepOnlyPortableCharacters) {
  Bytes g = MakeGroupData(false, {{1}});
  GroupRun run = RunGroup(
      MakeMinimalPe(
          {PeIcon(1, Icon16()),
           {ResName::Id(kResourceTypeGroupIcon), ResName::Text("My icon/..\\x:1-A_b.c"), 0x0409, g},
           PeGroup(32512, g),
           {ResName::Id(kResourceTypeGroupIcon), ResName::Text(std::string(300, 'L')), 0x0409, g}})
          .bytes);
  ASSERT_EQ(run.groups.size(), 3u);
  EXPECT_EQ(run.groups[0].name, "My_icon_.._x_1-A_b.c");
  EXPECT_EQ(run.groups[1].name, "32512");
  EXPECT_EQ(run.groups[2].name, std::string(128, 'L'));
}

TEST(GroupFile, TheFirstGroupHoldingAnImageIsFound) {
  MinimalPe pe = MakeMinimalPe({PeIcon(1, Icon16()), PeIcon(2, Icon32()), PeIcon(3, Icon48()),
                                PeGroup(10, MakeGroupData(false, {{1}})),
                                PeGroup(11, MakeGroupData(false, {{9}, {2}, {1}})),
                                PeGroup(12, MakeGroupData(false, {{2}}))});
  TempDir dir;
  FileHandle f = OpenFileForReading(dir.Write("find.exe", pe.bytes).c_str());
  FileGroups groups;
  ASSERT_TRUE(ReadFileGroups(f, &groups));
  GroupContents contents;
  EXPECT_EQ(
      FindGroupOfImage(f, groups, ImageKind::Icon, pe.DataPosition(1), Icon32().size(), &contents),
      1);
  EXPECT_EQ(contents.members.size(), 2u);
  EXPECT_EQ(
      FindGroupOfImage(f, groups, ImageKind::Icon, pe.DataPosition(2), Icon48().size(), &contents),
      -1);
  EXPECT_TRUE(contents.members.empty());
  // A cursor at an icon's place belongs to no icon group.
  EXPECT_EQ(FindGroupOfImage(f, groups, ImageKind::Cursor, pe.DataPosition(0), Icon16().size(),
                             &contents),
            -1);
  CloseFile(f);
}

TEST(GroupFile, SaveRaisesOnlyTheKindsGroupCounter) {
  TempDir dir;
  SaveState save;
  char name[kPathBufferSize];
  DefaultGroupSaveName(save, ImageKind::Icon, name);
  EXPECT_STREQ(name, "Group0.ico");
  const Bytes bytes = {0, 0, 1, 0, 0, 0};
  EXPECT_EQ(SaveGroupToPath(save, dir.Join("a.ico").c_str(), ImageKind::Icon, bytes),
            ExportStatus::Written);
  EXPECT_EQ(SaveGroupToPath(save, dir.Join("missing/b.ico").c_str(), ImageKind::Icon, bytes),
            ExportStatus::CannotCreate);
  EXPECT_EQ(save.lastSavePath, dir.Join("missing/b.ico"));
  DefaultGroupSaveName(save, ImageKind::Icon, name);
  EXPECT_STREQ(name, "Group1.ico");
  DefaultGroupSaveName(save, ImageKind::Cursor, name);
  EXPECT_STREQ(name, "Group0.cur");
  EXPECT_EQ(save.iconCounter, 0);
}

// Every group of a file, built: the first problem found, or an empty text
// when each file reads back whole and holds exactly its members' bytes.
std::string CheckEveryGroup(const TempDir& dir, const Bytes& exe) {
  FileHandle f = OpenFileForReading(dir.Write("bent.exe", exe).c_str());
  if (f == kInvalidFile) return "cannot open";
  std::string problem;
  FileGroups groups;
  if (ReadFileGroups(f, &groups)) {
    for (const ResourceGroup& g : groups.groups) {
      GroupContents contents;
      ReadGroupContents(f, groups, g, &contents);
      Bytes file;
      if (!BuildGroupFile(f, g.kind, contents, &file)) {
        if (!contents.members.empty()) problem = "members but no file";
        continue;
      }
      std::vector<IconFileEntry> entries;
      problem =
          CheckIconFile(file.data(), file.size(), g.kind == ImageKind::Cursor ? 2 : 1, &entries);
      const size_t skip = g.kind == ImageKind::Cursor ? 4 : 0;
      for (size_t i = 0; problem.empty() && i < entries.size(); ++i) {
        const GroupMember& m = contents.members[i];
        const auto from = exe.begin() + static_cast<std::ptrdiff_t>(m.offset + skip);
        if (Bytes(from, from + entries[i].bytes) != Images(file, entries)[i]) {
          problem = "image " + std::to_string(i) + " is not its member's bytes";
        }
      }
      if (!problem.empty()) break;
    }
  }
  CloseFile(f);
  return problem;
}

}  // namespace

TEST(GroupFile, BentSamplesGiveValidFilesOrNone) {
  constexpr uint32_t kSeed = 0x47726F75;
#ifdef _WIN32
  constexpr int kRounds = 60;  // every file operation is far slower under Wine
#else
  constexpr int kRounds = 300;
#endif
  printf("group sweep: seed %u, %d rounds per sample\n", kSeed, kRounds);
  std::mt19937 rng(kSeed);
  TempDir dir;
  int samples = 0;
  for (const SampleExecutable& s : SampleExecutables()) {
    if (s.name.find("groups") == std::string::npos) continue;
    ++samples;
    SCOPED_TRACE(s.name);
    ASSERT_EQ(CheckEveryGroup(dir, s.bytes), "");
    for (int round = 0; round < kRounds; ++round) {
      Bytes bent = s.bytes;
      const int flips = 1 + static_cast<int>(rng() % 8);
      for (int i = 0; i < flips; ++i) {
        bent[rng() % bent.size()] = static_cast<uint8_t>(rng());
      }
      if (round % 10 == 0) bent.resize(rng() % bent.size());
      const std::string problem = CheckEveryGroup(dir, bent);
      ASSERT_EQ(problem, "") << "round " << round;
    }
  }
  EXPECT_EQ(samples, 2);
}
