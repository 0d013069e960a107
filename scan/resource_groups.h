#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "scan/catalogue.h"

// Icon and cursor groups: the directories that bind several images of one
// icon (16, 32, 48 pixels...) together. Nothing here runs during a scan;
// a file's groups are read on demand, through the same tree walk and the
// same offsets as the scan uses for the images themselves.

inline constexpr int32_t kGroupHeaderSize = 6;
inline constexpr int32_t kGroupEntrySize = 14;
// The last two bytes of a group entry name its member.
inline constexpr int32_t kGroupEntryIdAt = 12;
inline constexpr int32_t kCursorHotspotSize = 4;
// A group file is built whole in memory before it is written, so that a
// failed read never leaves half a file; real icons stay far below this, and
// a group that names one large member over and over does not exhaust memory.
inline constexpr int64_t kMaxGroupFileBytes = 64 << 20;

// A numbered icon or cursor, which a group entry can name.
struct GroupMemberImage {
  ImageKind kind;  // Icon or Cursor
  uint32_t id;
  int32_t language;  // -1 when the data entry stands directly below the name
  int64_t offset;
  int64_t size;
};

// One language of one icon group (kind Icon) or cursor group (kind Cursor).
struct ResourceGroup {
  ImageKind kind;
  // The decimal ID or the string name (its first 128 characters), each
  // character outside letters, digits, '_', '-' and '.' replaced by '_', so
  // that it can stand in a file name on any system.
  std::string name;
  int32_t language;
  int64_t offset;
  int64_t size;
};

// What one file holds, in walk order: types as the table lists them, names,
// languages.
struct FileGroups {
  int32_t fileLength = 0;
  std::vector<ResourceGroup> groups;
  std::vector<GroupMemberImage> images;

  // The images a group entry can name (those with 16-bit IDs), as keys of
  // kind, ID, language and walk order, sorted and first of each kind, ID and
  // language only; and the first of each kind and ID. A group of 65535
  // entries over thousands of images resolves in logarithmic steps, and a
  // file of a million images is indexed without a million allocations.
  std::vector<uint64_t> byLanguage;
  std::vector<uint64_t> byId;
  // One bit per kind and ID that some image has: most entries of a hostile
  // directory name no image at all, and are answered without a search.
  std::vector<uint8_t> idBits;
  // The first stretch of a PE file's resource section, as the tree was read
  // from it: group directories and members that lie there are taken from
  // memory instead of being read again for every group that names them.
  std::vector<uint8_t> section;
  int64_t sectionAt = 0;
  // What the group reads of one file may cost, however its groups repeat
  // or overlap: each image is read and measured once (its image bytes, or
  // -1; -2 until then), and bytes read and entries resolved have a ceiling.
  mutable std::vector<int64_t> measured;
  mutable int64_t bytesLeft = 0;
  mutable int64_t entriesLeft = 0;
};

// Reads the group and image directories of an open file. False when it is
// no PE or NE executable or its headers are out of bounds; a file without
// groups gives true and none.
bool ReadFileGroups(FileHandle file, FileGroups* out);

struct GroupMember {
  uint8_t entry[kGroupEntrySize];  // the group's entry, as stored
  int64_t offset;
  int64_t size;
  // What goes into the group file: the image after a cursor's hotspot, as
  // long as its own header says, without the padding an NE file's
  // alignment (or a linker) adds behind it.
  int64_t imageBytes;
};

struct GroupContents {
  std::vector<GroupMember> members;
  // IDs of the entries whose member is missing, empty, shorter than its
  // header says or past the end of the file (or would take the group file
  // past kMaxGroupFileBytes, or the file past its ceilings), in entry order.
  std::vector<uint16_t> leftOut;
};

// The bytes of one icon image (a member after its hotspot) as its header
// gives them: a PNG through its IEND chunk, a bitmap through its AND mask.
// -1 when available bytes do not hold that much or the header gives no size
// (an unknown bit count or a compressed bitmap).
int64_t ImageBytesOfMember(const uint8_t* image, int64_t available);

// Reads group's directory and resolves its entries to members: the image of
// the group's kind whose numeric name is the entry's ID, in the group's
// language when it has one, otherwise in its first. A directory that is
// shorter than its count says gives the entries that lie wholly in it.
// Returns the number of members (0 for a group that lies outside the file).
int32_t ReadGroupContents(FileHandle file, const FileGroups& groups, const ResourceGroup& group,
                          GroupContents* out);

// The first group (in walk order, every language) of the file whose members
// include the image at offset with size bytes, or -1. contents receives that
// group's members.
int32_t FindGroupOfImage(FileHandle file, const FileGroups& groups, ImageKind kind, int64_t offset,
                         int64_t size, GroupContents* contents);
