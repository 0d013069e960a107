// libFuzzer target: each input is written to a file and read as an
// executable's icon and cursor groups, every group built into its .ico or
// .cur. Beyond the sanitizers' own checks, every file built must read back
// whole (header, entries, offsets and sizes that meet, nothing past the
// end), hold exactly the members the group resolved, and each image must be
// the member's own bytes from the input; anything else traps.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/group_file.h"
#include "scan/resource_groups.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/icon_file_check.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "group invariant broken: %s\n", what);
    __builtin_trap();
  }
}

void CheckGroup(FileHandle file, const FileGroups& groups, const ResourceGroup& group,
                const uint8_t* input, size_t size) {
  Require(group.kind == ImageKind::Icon || group.kind == ImageKind::Cursor, "group kind");
  const char* kNameCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-.";
  Require(strspn(group.name.c_str(), kNameCharacters) == group.name.size(), "name character");
  GroupContents contents;
  const int32_t n = ReadGroupContents(file, groups, group, &contents);
  Require(n >= 0 && static_cast<size_t>(n) == contents.members.size(), "member count");
  std::vector<uint8_t> bytes;
  const bool built = BuildGroupFile(file, group.kind, contents, &bytes);
  Require(built == (n > 0), "built exactly when a member is left");
  if (!built) {
    Require(bytes.empty(), "bytes without a file");
    return;
  }
  const bool cursor = group.kind == ImageKind::Cursor;
  std::vector<IconFileEntry> entries;
  const std::string problem = CheckIconFile(bytes.data(), bytes.size(), cursor ? 2 : 1, &entries);
  if (!problem.empty()) fprintf(stderr, "%s\n", problem.c_str());
  Require(problem.empty(), "file does not read back");
  Require(entries.size() == contents.members.size(), "entry count");
  const int64_t skip = cursor ? 4 : 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const GroupMember& m = contents.members[i];
    Require(m.offset >= 0 && m.size > skip && static_cast<uint64_t>(m.offset + m.size) <= size,
            "member outside the input");
    Require(
        entries[i].bytes == static_cast<uint64_t>(m.imageBytes) && m.imageBytes <= m.size - skip,
        "entry size");
    Require(memcmp(bytes.data() + entries[i].offset, input + m.offset + skip,
                   static_cast<size_t>(m.imageBytes)) == 0,
            "image not the member's bytes");
    if (cursor) {
      Require(entries[i].planesOrHotspotX == (input[m.offset] | (input[m.offset + 1] << 8)),
              "hotspot");
    } else {
      // The sides may be the image's own where the group states others.
      Require(memcmp(bytes.data() + 6 + 16 * i + 2, m.entry + 2, 6) == 0, "icon entry fields");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string& path = FuzzScratchFile("input.exe").path;
  WriteFuzzFile(path, data, size);
  FileHandle file = OpenFileForReading(path.c_str());
  Require(file != kInvalidFile, "open");
  FileGroups groups;
  if (ReadFileGroups(file, &groups)) {
    Require(groups.fileLength == static_cast<int64_t>(size), "file length");
    for (const GroupMemberImage& image : groups.images) {
      Require(image.kind == ImageKind::Icon || image.kind == ImageKind::Cursor, "image kind");
    }
    for (const ResourceGroup& group : groups.groups) CheckGroup(file, groups, group, data, size);
    // The window command's search, for the first images the file holds
    // (each search may resolve every group again).
    GroupContents contents;
    constexpr size_t kSearches = 4;
    for (size_t i = 0; i < groups.images.size() && i < kSearches; ++i) {
      const GroupMemberImage& image = groups.images[i];
      int32_t g = FindGroupOfImage(file, groups, image.kind, image.offset, image.size, &contents);
      Require(g >= -1 && g < static_cast<int32_t>(groups.groups.size()), "group index");
      if (g >= 0) Require(groups.groups[static_cast<size_t>(g)].kind == image.kind, "found kind");
    }
  }
  CloseFile(file);
  return 0;
}
