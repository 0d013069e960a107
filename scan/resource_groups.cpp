#include "scan/resource_groups.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "scan/byte_reader.h"
#include "scan/ne_resource_table.h"
#include "scan/dib_header.h"
#include "scan/pe_resource_section.h"
#include "scan/pe_resource_tree.h"
#include "scan/resource_format.h"
#include "scan/scan_window.h"
#include "scan/table_visits.h"

namespace {

constexpr int64_t kMaxFileLength = 0x7FFFFFFF;
constexpr int32_t kMzHeaderSize = 64;

// Icon images are a BITMAPINFOHEADER (or a longer version), colour masks
// after a plain header, the colour table, the colour rows and the AND mask
// rows, each row padded to 4 bytes; or a whole PNG file.
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Far beyond any icon; they keep the size arithmetic in range.
constexpr int64_t kMaxImageSide = 1 << 16;
constexpr int64_t kMaxColours = 1 << 24;

constexpr bool NameCharacterKept(uint32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.';
}

// A file of many long names asks for a character a hundred million times.
constexpr std::array<char, 128> kNameCharacters = [] {
  std::array<char, 128> table{};
  for (uint32_t c = 0; c < table.size(); ++c) {
    table[c] = NameCharacterKept(c) ? static_cast<char>(c) : '_';
  }
  return table;
}();

char NameCharacter(uint32_t c) { return c < kNameCharacters.size() ? kNameCharacters[c] : '_'; }

// The scan reads the tree from the first 64 KiB of the section only; a file
// with many icons (a thousand or more) keeps its group directories beyond
// that, so groups are looked for in a larger stretch.
constexpr int64_t kGroupTreeWindowSize = 1 << 20;
// Tables may overlap, so visiting each once still allows about
// (window / 8)^2 entry reads; real trees hold a few thousand entries.
constexpr int64_t kMaxTreeEntries = 1 << 20;

// Real files read each member once; members that overlap or repeat under
// many IDs could otherwise make the reads of one small file endless.
constexpr int32_t kMemberReadsPerFileByte = 4;
// Real files hold a few thousand group entries; groups that share one
// directory of 65535 entries could otherwise ask for billions.
constexpr int64_t kMaxGroupEntriesPerFile = 1 << 22;

// Names go into file names, which hold 259 characters with the folder and
// the executable's name; a file of many long names would also fill memory.
constexpr int32_t kMaxGroupNameLength = 128;

// Index keys: kind, ID and language above the image's place in walk order,
// which the tree's ceiling keeps below 2^21.
constexpr int kImageIndexBits = 21;
constexpr uint64_t kImageIndexMask = (uint64_t{1} << kImageIndexBits) - 1;
static_assert(kMaxTreeEntries <= (int64_t{1} << kImageIndexBits));
// Languages are 16-bit, or -1 for data directly below a name.
constexpr int kLanguageBits = 17;

uint64_t IdKey(ImageKind kind, uint32_t id) {
  return (kind == ImageKind::Cursor ? uint64_t{1} << 16 : 0) | id;
}

uint64_t LanguageKey(ImageKind kind, uint32_t id, int32_t language) {
  return IdKey(kind, id) << kLanguageBits | static_cast<uint64_t>(language + 1);
}

// The image index of the first key with prefix, or -1.
int64_t FirstImageOf(const std::vector<uint64_t>& keys, uint64_t prefix) {
  auto it = std::lower_bound(keys.begin(), keys.end(), prefix << kImageIndexBits);
  if (it == keys.end() || (*it >> kImageIndexBits) != prefix) return -1;
  return static_cast<int64_t>(*it & kImageIndexMask);
}

// Reads a file's headers for the layout lookups.
struct FileHeaderReader {
  FileHandle file;
  std::vector<uint8_t> bytesRead;
  bool operator()(int64_t position, int32_t count, ByteReader* bytes) {
    bytesRead.resize(static_cast<size_t>(count));
    if (!ReadExactlyAt(file, position, bytesRead.data(), count)) return false;
    *bytes = ByteReader(bytesRead.data(), count);
    return true;
  }
};

// What the walk collects from a type's subtree.
enum class Collect { Nothing, Images, Groups };

struct TypeTaken {
  int32_t type;
  ImageKind kind;
  Collect collect;
};
// First the types the scan walks, in the scan's order, so that a table
// reachable from two types is taken where the scan takes it; then groups.
constexpr TypeTaken kImageTypes[] = {{kPeTypeCursor, ImageKind::Cursor, Collect::Images},
                                     {kPeTypeBitmap, ImageKind::Bitmap, Collect::Nothing},
                                     {kPeTypeIcon, ImageKind::Icon, Collect::Images}};
constexpr TypeTaken kGroupTypes[] = {{kPeTypeGroupCursor, ImageKind::Cursor, Collect::Groups},
                                     {kPeTypeGroupIcon, ImageKind::Icon, Collect::Groups}};

// What the group reader takes from the resource tree of a PE file, walked
// as the scan walks it (the same walk and order of types), over a larger
// window; data lies at RVA - VirtualAddress + PointerToRawData.
struct PeTree {
  FileHandle file;
  FileGroups* out;
  int64_t virtualAddress;
  int64_t rawPosition;
  std::vector<uint8_t> window;
  SizedTableVisits visits;
  // The last string name read: tables that overlap give thousands of groups
  // the name of one string, and each would read it again.
  uint32_t lastNameField = 0;
  std::string lastName;

  // Section bytes at at: from the window when they lie there, else from the
  // file (data entries and names may stand beyond the first 64 KiB).
  bool Read(int64_t at, int32_t count, uint8_t* into) {
    if (count == 0) return true;  // an empty name: nothing to copy
    ByteReader w(window.data(), static_cast<int64_t>(window.size()));
    if (w.Has(at, count)) {
      memcpy(into, window.data() + at, static_cast<size_t>(count));
      return true;
    }
    int64_t position = rawPosition + at;
    if (at < 0 || position < 0 || count > out->fileLength - position) return false;
    return ReadExactlyAt(file, position, into, count);
  }

  bool NameText(uint32_t nameField, std::string* name) {
    if ((nameField & kSubdirectoryBit) == 0) {
      *name = std::to_string(nameField);
      return true;
    }
    if (nameField == lastNameField) {
      *name = lastName;
      return true;
    }
    int64_t at = nameField & ~kSubdirectoryBit;
    uint8_t lengthBytes[2];
    if (!Read(at, 2, lengthBytes)) return false;
    int32_t length = lengthBytes[0] | (lengthBytes[1] << 8);
    if (length > kMaxGroupNameLength) length = kMaxGroupNameLength;
    uint8_t text[2 * kMaxGroupNameLength];
    if (!Read(at + 2, length * 2, text)) return false;
    char kept[kMaxGroupNameLength];
    for (int32_t i = 0; i < length; ++i) {
      kept[i] = NameCharacter(text[2 * i] | (static_cast<uint32_t>(text[2 * i + 1]) << 8));
    }
    name->assign(kept, static_cast<size_t>(length));
    lastNameField = nameField;
    lastName = *name;
    return true;
  }

  void AddData(int64_t at, uint32_t nameField, int32_t language, ImageKind kind, Collect collect) {
    if (collect == Collect::Nothing) return;
    // Group entries name their members by number only.
    if (collect == Collect::Images && (nameField & kSubdirectoryBit) != 0) return;
    // Data entries stand in the window but for the few beyond its megabyte.
    uint8_t copy[8];
    const uint8_t* entry = copy;
    if (ByteReader(window.data(), static_cast<int64_t>(window.size())).Has(at, 8)) {
      entry = window.data() + at;
    } else if (!Read(at, 8, copy)) {
      return;
    }
    ByteReader r(entry, 8);
    int64_t offset = static_cast<int64_t>(r.I32(0)) - virtualAddress + rawPosition;
    int64_t size = r.I32(4);
    if (collect == Collect::Images) {
      out->images.push_back({kind, nameField, language, offset, size});
      return;
    }
    ResourceGroup group{kind, {}, language, offset, size};
    if (NameText(nameField, &group.name)) out->groups.push_back(std::move(group));
  }
};

bool ReadPeGroups(FileHandle file, int64_t coffPosition, FileGroups* out) {
  ResourceSection section;
  TreeLookup found =
      LocateResourceTree(coffPosition, out->fileLength, FileHeaderReader{file, {}}, &section);
  // A file without a tree has no groups, which is no failure.
  if (found != TreeLookup::Found) return found == TreeLookup::NoTree;

  PeTree tree{};
  tree.file = file;
  tree.out = out;
  tree.virtualAddress = section.virtualAddress;
  tree.rawPosition = section.rawPosition;
  int64_t room = out->fileLength - tree.rawPosition;
  tree.window.resize(
      static_cast<size_t>(room < kGroupTreeWindowSize ? room : kGroupTreeWindowSize));
  if (!ReadExactlyAt(file, tree.rawPosition, tree.window.data(),
                     static_cast<int32_t>(tree.window.size()))) {
    return false;
  }
  const int64_t length = static_cast<int64_t>(tree.window.size());
  tree.visits.Reset(length);
  const ByteReader w(tree.window.data(), length);
  PeResourceTree walk(w, length, &tree.visits, kMaxTreeEntries);

  auto takeTypes = [&](const auto& types) {
    walk.ForEachType([&](int32_t id, int64_t table) {
      for (const TypeTaken& t : types) {
        if (t.type != id) continue;
        walk.WalkType(table, [&](int64_t entry, int64_t nameAt, int64_t languageAt) {
          const int32_t language =
              languageAt < 0 ? -1 : static_cast<int32_t>(w.U32(languageAt) & 0xFFFF);
          tree.AddData(entry, w.U32(nameAt), language, t.kind, t.collect);
          return true;
        });
      }
    });
  };
  takeTypes(kImageTypes);
  takeTypes(kGroupTypes);
  out->section.swap(tree.window);
  out->sectionAt = tree.rawPosition;
  return true;
}

bool ReadNeGroups(FileHandle file, int64_t headerPosition, FileGroups* out) {
  int64_t tableStart = 0;
  TreeLookup found =
      LocateNeTable(headerPosition, out->fileLength, FileHeaderReader{file, {}}, &tableStart);
  if (found != TreeLookup::Found) return found == TreeLookup::NoTree;
  int64_t room = out->fileLength - tableStart;
  std::vector<uint8_t> window(static_cast<size_t>(room < kScanWindowSize ? room : kScanWindowSize));
  if (!ReadExactlyAt(file, tableStart, window.data(), static_cast<int32_t>(window.size()))) {
    return false;
  }
  const int64_t length = static_cast<int64_t>(window.size());
  const ByteReader w(window.data(), length);

  auto wanted = [](uint16_t type) {
    return type == kNeTypeGroupCursor || type == kNeTypeGroupIcon || type == kNeTypeCursor ||
           type == kNeTypeIcon;
  };
  auto take = [&](uint16_t type, int64_t entry, int64_t offset, int64_t size) {
    ImageKind kind =
        type == kNeTypeCursor || type == kNeTypeGroupCursor ? ImageKind::Cursor : ImageKind::Icon;
    uint16_t id = w.U16(entry + 6);
    if (type == kNeTypeCursor || type == kNeTypeIcon) {
      if (id & kNeNumberedBit) out->images.push_back({kind, id & 0x7FFFu, -1, offset, size});
      return;
    }
    ResourceGroup g{kind, {}, -1, offset, size};
    if (id & kNeNumberedBit) {
      g.name = std::to_string(id & 0x7FFF);
    } else {
      // A counted string at that offset of the table.
      int64_t textLength = w.U8(id);
      if (!w.Has(id + 1, textLength)) return;
      if (textLength > kMaxGroupNameLength) textLength = kMaxGroupNameLength;
      char kept[kMaxGroupNameLength];
      for (int64_t c = 0; c < textLength; ++c) kept[c] = NameCharacter(w.U8(id + 1 + c));
      g.name.assign(kept, static_cast<size_t>(textLength));
    }
    out->groups.push_back(std::move(g));
  };
  WalkNeResourceTable(w, length, wanted, take);
  return true;
}

const GroupMemberImage* FindMember(const FileGroups& groups, ImageKind kind, uint16_t id,
                                   int32_t language) {
  const uint64_t idKey = IdKey(kind, id);
  if (groups.idBits.empty() || (groups.idBits[idKey >> 3] & (1u << (idKey & 7))) == 0) {
    return nullptr;
  }
  int64_t found = -1;
  if (language >= -1 && language <= 0xFFFF) {
    found = FirstImageOf(groups.byLanguage, LanguageKey(kind, id, language));
  }
  if (found < 0) found = FirstImageOf(groups.byId, idKey);
  return found >= 0 ? &groups.images[static_cast<size_t>(found)] : nullptr;
}

// count bytes of the file at position, which the caller has checked against
// the file's length: in the resource section kept in memory when they lie
// there, else read into buffer. Null when the read fails.
const uint8_t* BytesAt(FileHandle file, const FileGroups& groups, int64_t position, int64_t count,
                       std::vector<uint8_t>* buffer) {
  const int64_t at = position - groups.sectionAt;
  if (ByteReader(groups.section.data(), static_cast<int64_t>(groups.section.size()))
          .Has(at, count) &&
      count > 0) {
    return groups.section.data() + at;
  }
  buffer->resize(static_cast<size_t>(count));
  if (!ReadExactlyAt(file, position, buffer->data(), static_cast<int32_t>(count))) return nullptr;
  return buffer->data();
}

// The images a group entry can name, indexed: see FileGroups.
void IndexImages(FileGroups* out) {
  std::vector<uint64_t>& keys = out->byLanguage;
  for (size_t i = 0; i < out->images.size(); ++i) {
    const GroupMemberImage& image = out->images[i];
    if (image.id > 0xFFFF) continue;
    keys.push_back(LanguageKey(image.kind, image.id, image.language) << kImageIndexBits | i);
  }
  std::sort(keys.begin(), keys.end());
  // Equal kind, ID and language sort in walk order: the first of each stays.
  // A kind and ID's languages follow one another, so its first image is the
  // least of theirs.
  size_t kept = 0;
  for (size_t i = 0; i < keys.size(); ++i) {
    const uint64_t language = keys[i] >> kImageIndexBits;
    if (kept > 0 && (keys[kept - 1] >> kImageIndexBits) == language) continue;
    keys[kept++] = keys[i];
    const uint64_t idKey = language >> kLanguageBits;
    const uint64_t image = keys[i] & kImageIndexMask;
    if (out->byId.empty() || (out->byId.back() >> kImageIndexBits) != idKey) {
      out->byId.push_back(idKey << kImageIndexBits | image);
      if (out->idBits.empty()) out->idBits.assign((IdKey(ImageKind::Cursor, 0xFFFF) >> 3) + 1, 0);
      out->idBits[idKey >> 3] |= static_cast<uint8_t>(1u << (idKey & 7));
    } else if (image < (out->byId.back() & kImageIndexMask)) {
      out->byId.back() = idKey << kImageIndexBits | image;
    }
  }
  keys.resize(kept);
}

// The image bytes of a member (ImageBytesOfMember after a cursor's
// hotspot), measured once per image of the file; -1 for a member that is
// empty, past the end of the file, too large for a group file or beyond the
// file's read ceiling.
int64_t MeasureMember(FileHandle file, const FileGroups& groups, const GroupMemberImage& image) {
  const size_t index = static_cast<size_t>(&image - groups.images.data());
  int64_t& known = groups.measured[index];
  if (known != -2) return known;
  known = -1;
  const int64_t headerAt = image.kind == ImageKind::Cursor ? kCursorHotspotSize : 0;
  if (image.offset < 0 || image.size <= headerAt || image.size > kMaxGroupFileBytes ||
      image.size > groups.fileLength - image.offset || image.size > groups.bytesLeft) {
    return known;
  }
  groups.bytesLeft -= image.size;
  std::vector<uint8_t> buffer;
  const uint8_t* data = BytesAt(file, groups, image.offset, image.size, &buffer);
  if (data != nullptr) known = ImageBytesOfMember(data + headerAt, image.size - headerAt);
  return known;
}

// A PNG ends with its IEND chunk; each chunk is length, type, data, CRC.
int64_t PngBytes(const ByteReader& r) {
  constexpr uint32_t kIend = 0x49454E44;
  int64_t at = 8;
  for (;;) {
    const int64_t length = r.BigU32(at);
    const uint32_t type = r.BigU32(at + 4);
    if (!r.ok() || !r.Has(at + 8, length + 4)) return -1;
    at += 8 + length + 4;
    if (type == kIend) return at;
  }
}

bool ReadDirectories(FileHandle file, FileGroups* out);

}  // namespace

int64_t ImageBytesOfMember(const uint8_t* image, int64_t available) {
  ByteReader r(image, available);
  if (r.Has(0, 8) && memcmp(image, kPngSignature, 8) == 0) return PngBytes(r);
  const DibHeader dib(r, 0);
  const int64_t biSize = dib.Size();
  const int64_t width = dib.Width();
  // A biSize within the bytes held keeps every field read inside them; only
  // uncompressed rows have a size the header alone gives.
  if (biSize < kDibInfoHeaderSize || biSize > available || width <= 0 || !dib.Uncompressed() ||
      !dib.KnownDepth()) {
    return -1;
  }
  const int64_t colours = dib.Colours();
  // The stored height covers the colour image and the AND mask.
  const int64_t height = dib.Rows(true);
  if (width > kMaxImageSide || height > kMaxImageSide || colours > kMaxColours) return -1;
  const int64_t total = biSize + dib.MasksAfterHeader() + 4 * colours + height * dib.Stride() +
                        dib.AndMaskBytes(height);
  return total <= available ? total : -1;
}

bool ReadFileGroups(FileHandle file, FileGroups* out) {
  if (!ReadDirectories(file, out)) return false;
  IndexImages(out);
  out->measured.assign(out->images.size(), -2);
  out->bytesLeft = kMaxGroupFileBytes + int64_t{kMemberReadsPerFileByte} * out->fileLength;
  out->entriesLeft = kMaxGroupEntriesPerFile;
  return true;
}

namespace {

bool ReadDirectories(FileHandle file, FileGroups* out) {
  out->groups.clear();
  out->images.clear();
  out->byLanguage.clear();
  out->byId.clear();
  out->idBits.clear();
  out->section.clear();
  out->sectionAt = 0;
  int64_t length = GetFileLength(file);
  if (length < kMzHeaderSize) return false;
  out->fileLength = static_cast<int32_t>(length > kMaxFileLength ? kMaxFileLength : length);
  uint8_t mzBytes[kMzHeaderSize];
  if (!ReadExactlyAt(file, 0, mzBytes, kMzHeaderSize)) return false;
  ByteReader mz(mzBytes, kMzHeaderSize);
  int64_t headerPosition = mz.I32(60);
  if (mz.U8(0) != 'M' || mz.U8(1) != 'Z' || headerPosition < 0 ||
      headerPosition + 4 > out->fileLength) {
    return false;
  }
  uint8_t sig[4];
  if (!ReadExactlyAt(file, headerPosition, sig, 4)) return false;
  if (sig[0] == 'P' && sig[1] == 'E' && sig[2] == 0 && sig[3] == 0) {
    return ReadPeGroups(file, headerPosition + 4, out);
  }
  if (sig[0] == 'N' && sig[1] == 'E') return ReadNeGroups(file, headerPosition, out);
  return false;
}

}  // namespace

int32_t ReadGroupContents(FileHandle file, const FileGroups& groups, const ResourceGroup& group,
                          GroupContents* out) {
  out->members.clear();
  out->leftOut.clear();
  if (group.offset < 0 || group.size < kGroupHeaderSize ||
      group.size > groups.fileLength - group.offset) {
    return 0;
  }
  // Only as much as the count can name: 65535 entries.
  const int64_t most = kGroupHeaderSize + int64_t{kGroupEntrySize} * 0xFFFF;
  const int64_t length = group.size < most ? group.size : most;
  // The count first, then only the entries it names and the ceiling leaves:
  // a million groups that name one long directory must not read it whole
  // each time.
  std::vector<uint8_t> buffer;
  const uint8_t* header = BytesAt(file, groups, group.offset, kGroupHeaderSize, &buffer);
  if (header == nullptr) return 0;
  int64_t count = ByteReader(header, kGroupHeaderSize).U16(4);
  int64_t room = (length - kGroupHeaderSize) / kGroupEntrySize;
  if (count > room) count = room;
  if (count > groups.entriesLeft) count = groups.entriesLeft;
  const uint8_t* bytes =
      BytesAt(file, groups, group.offset, kGroupHeaderSize + kGroupEntrySize * count, &buffer);
  if (bytes == nullptr) return 0;
  ByteReader r(bytes, kGroupHeaderSize + kGroupEntrySize * count);
  groups.entriesLeft -= count;

  int64_t total = kGroupHeaderSize;
  // A directory that names one ID over and over (a run of zeros) looks it
  // up once.
  int32_t lastId = -1;
  const GroupMemberImage* image = nullptr;
  for (int64_t i = 0; i < count; ++i) {
    const int64_t at = kGroupHeaderSize + kGroupEntrySize * i;
    const uint16_t id = r.U16(at + kGroupEntryIdAt);
    if (id != lastId) image = FindMember(groups, group.kind, id, group.language);
    lastId = id;
    const int64_t imageBytes = image != nullptr ? MeasureMember(file, groups, *image) : -1;
    // Each member adds its 16-byte file entry and its image.
    if (imageBytes <= 0 || total + 16 + imageBytes > kMaxGroupFileBytes) {
      out->leftOut.push_back(id);
      continue;
    }
    total += 16 + imageBytes;
    GroupMember m;
    memcpy(m.entry, bytes + at, kGroupEntrySize);
    m.offset = image->offset;
    m.size = image->size;
    m.imageBytes = imageBytes;
    out->members.push_back(m);
  }
  return static_cast<int32_t>(out->members.size());
}

int32_t FindGroupOfImage(FileHandle file, const FileGroups& groups, ImageKind kind, int64_t offset,
                         int64_t size, GroupContents* contents) {
  for (size_t g = 0; g < groups.groups.size(); ++g) {
    if (groups.groups[g].kind != kind) continue;
    ReadGroupContents(file, groups, groups.groups[g], contents);
    for (const GroupMember& m : contents->members) {
      if (m.offset == offset && m.size == size) return static_cast<int32_t>(g);
    }
  }
  contents->members.clear();
  contents->leftOut.clear();
  return -1;
}
