#include "tests/support/sample_fixtures.h"

#include "tests/support/dib_builder.h"
#include "tests/support/ne_builder.h"
#include "tests/support/pe_builder.h"
#include "tests/support/put_bytes.h"

namespace {

std::vector<PeResource> MixedPeResources() {
  std::vector<PeResource> r;
  r.push_back({ResName::Text("PNG"), ResName::Id(1), 0x0409, std::vector<uint8_t>(24, 0x89)});
  r.push_back(PeCursor(1, MakeCursorData(3, 5, 32, 32)));
  r.push_back(PeBitmap(7, MakeBitmapData(16, 16, 4)));
  r.push_back({ResName::Id(kResourceTypeBitmap), ResName::Text("LOGO"), 0x0409,
               MakeBitmapData(8, -8, 8)});
  r.push_back(PeIcon(1, MakeIconData(32, 32, 4)));
  r.push_back({ResName::Id(kResourceTypeIcon), ResName::Id(1), 0x0407, MakeIconData(16, 16, 24)});
  r.push_back({ResName::Id(kResourceTypeGroupIcon), ResName::Id(1), 0x0409,
               std::vector<uint8_t>(20, 0x01)});
  return r;
}

// Root: icons at 0x28 and bitmaps at the root itself. The icon name
// directory lists itself and a language directory, which lists a data entry
// and the root again.
std::vector<uint8_t> LoopingPe() {
  constexpr uint32_t kVa = 0x3000;
  std::vector<uint8_t> s;
  PutResourceDirectory(s, 0x00, 0, 2);
  PutResourceEntry(s, 0x10, kResourceTypeIcon, kResourceSubdirectory | 0x28);
  PutResourceEntry(s, 0x18, kResourceTypeBitmap, kResourceSubdirectory | 0x00);
  PutResourceDirectory(s, 0x28, 0, 2);
  PutResourceEntry(s, 0x38, 1, kResourceSubdirectory | 0x28);
  PutResourceEntry(s, 0x40, 2, kResourceSubdirectory | 0x48);
  PutResourceDirectory(s, 0x48, 0, 2);
  PutResourceEntry(s, 0x58, 0x0409, 0x68);
  PutResourceEntry(s, 0x60, 0x0409, kResourceSubdirectory | 0x00);
  std::vector<uint8_t> icon = MakeIconData(16, 16, 4);
  PutResourceDataEntry(s, 0x68, kVa + 0x80, static_cast<uint32_t>(icon.size()));
  PutBytes(s, 0x80, icon);
  PeBuilder pe;
  pe.sections.push_back({".rsrc", kVa, 0, s});
  return pe.Build().bytes;
}

std::vector<uint8_t> MixedNe() {
  NeBuilder ne;
  ne.shift = 4;
  ne.Add(kNeTypeCursor, MakeCursorData(1, 2, 32, 32));
  ne.Add(kNeTypeGroupIcon, std::vector<uint8_t>(20, 0x01));
  ne.Add(kNeTypeBitmap, MakeBitmapData(20, 10, 4));
  ne.Add(kNeTypeBitmap, MakeBitmapData(4, -4, 1));
  ne.Add(kNeTypeIcon, MakeIconData(32, 32, 4));
  // A type named by an offset into the table's name list.
  ne.types.push_back({0x0002, {NeResource{0x0040, 0x0001, 0x0030, 0x8001, std::nullopt}}, {}});
  return ne.Build().bytes;
}

std::vector<uint8_t> UnshiftedNe() {
  NeBuilder ne;
  ne.shift = 0;
  ne.Add(kNeTypeIcon, MakeIconData(16, 16, 1));
  ne.Add(kNeTypeIcon, MakeIconData(32, 32, 1));
  return ne.Build().bytes;
}

// Icon and cursor groups: one whole, one naming a missing image, over icons
// in two languages; NE groups of icons and cursors.
std::vector<uint8_t> GroupsPe() {
  return MakeMinimalPe(
             {PeIcon(1, MakeIconData(16, 16, 4)), PeIcon(2, MakeIconData(32, 32, 8)),
              {ResName::Id(kResourceTypeIcon), ResName::Id(2), 0x0407, MakeIconData(24, 24, 1)},
              PeCursor(1, MakeCursorData(3, 4, 32, 32)),
              {ResName::Id(kResourceTypeGroupIcon), ResName::Text("MAIN ICON"), 0x0407,
               MakeGroupData(false, {{2, 24, 24, 1}, {1, 16, 16, 4}})},
              {ResName::Id(kResourceTypeGroupIcon), ResName::Id(7), 0x0409,
               MakeGroupData(false, {{5}, {2, 32, 32, 8}})},
              {ResName::Id(kResourceTypeGroupCursor), ResName::Id(1), 0x0409,
               MakeGroupData(true, {{1, 32, 32, 1}})}})
      .bytes;
}

std::vector<uint8_t> GroupsNe() {
  NeBuilder ne;
  ne.shift = 4;
  ne.Add(kNeTypeIcon, MakeIconData(32, 32, 4));
  ne.Add(kNeTypeIcon, MakeIconData(16, 16, 1));
  ne.Add(kNeTypeCursor, MakeCursorData(1, 2, 32, 32));
  ne.Add(kNeTypeGroupIcon, MakeGroupData(false, {{2, 16, 16, 1}, {1, 32, 32, 4}}));
  ne.Add(kNeTypeGroupCursor, MakeGroupData(true, {{1, 32, 32, 1}, {3}}));
  return ne.Build().bytes;
}

}  // namespace

std::vector<SampleExecutable> SampleExecutables() {
  std::vector<SampleExecutable> out;
  out.push_back({"pe32-mixed.exe", MakeMinimalPe(MixedPeResources()).bytes});
  out.push_back({"pe32plus-mixed.dll", MakeMinimalPe(MixedPeResources(), true).bytes});
  out.push_back({"pe-looping-tree.exe", LoopingPe()});
  out.push_back({"ne-mixed.exe", MixedNe()});
  out.push_back({"ne-unshifted.dll", UnshiftedNe()});
  out.push_back({"pe-groups.exe", GroupsPe()});
  out.push_back({"ne-groups.exe", GroupsNe()});
  std::vector<uint8_t> mz(64, 0);
  mz[0] = 'M';
  mz[1] = 'Z';
  out.push_back({"mz-only.exe", mz});
  return out;
}
