#include "image/group_file.h"

#include <cstdio>
#include <cstring>

#include "scan/byte_reader.h"
#include "scan/dib_header.h"
#include "scan/little_endian.h"
#include "scan/png_header.h"

namespace {

constexpr int32_t kFileEntrySize = 16;
constexpr uint16_t kIconType = 1;
constexpr uint16_t kCursorType = 2;

// A group may state sides its image does not have; readers that trust the
// directory would then read past the image, so the image's own sides are
// written (256 as 0, as directories hold it).
void PutImageSides(const uint8_t* image, int64_t size, uint8_t* entry) {
  const DibHeader dib(ByteReader(image, size), 0);
  uint32_t width = 0;
  uint32_t height = 0;
  if (!PngImageSize(image, size, &width, &height)) {
    width = static_cast<uint32_t>(dib.Width());
    height = static_cast<uint32_t>(dib.Rows(true));
  }
  if (!dib.ok() || width == 0 || width > 256 || height == 0 || height > 256) return;
  entry[0] = static_cast<uint8_t>(width);
  entry[1] = static_cast<uint8_t>(height);
}

}  // namespace

bool BuildGroupFile(FileHandle file, ImageKind kind, const GroupContents& contents,
                    std::vector<uint8_t>* out) {
  out->clear();
  const bool cursor = kind == ImageKind::Cursor;
  const int64_t n = static_cast<int64_t>(contents.members.size());
  if (n == 0 || n > 0xFFFF) return false;
  const int64_t skip = cursor ? kCursorHotspotSize : 0;
  int64_t total = kGroupHeaderSize + kFileEntrySize * n;
  // Sizes are checked against the members before anything is read.
  for (const GroupMember& m : contents.members) {
    if (m.size <= skip || m.size > kMaxGroupFileBytes || m.imageBytes <= 0 ||
        m.imageBytes > m.size - skip) {
      return false;
    }
    total += m.imageBytes;
  }
  if (total > kMaxGroupFileBytes) return false;

  std::vector<uint8_t> bytes(static_cast<size_t>(total));
  PutLe16(&bytes[2], cursor ? kCursorType : kIconType);
  PutLe16(&bytes[4], static_cast<uint32_t>(n));
  int64_t dataAt = kGroupHeaderSize + kFileEntrySize * n;
  std::vector<uint8_t> member;
  for (int64_t i = 0; i < n; ++i) {
    const GroupMember& m = contents.members[static_cast<size_t>(i)];
    member.resize(static_cast<size_t>(m.size));
    // Read again and checked again: a file changed since its group was read
    // must not yield a file that claims what its bytes do not hold.
    if (!ReadExactlyAt(file, m.offset, member.data(), static_cast<int32_t>(m.size)) ||
        ImageBytesOfMember(member.data() + skip, m.size - skip) != m.imageBytes) {
      return false;
    }
    ByteReader g(m.entry, kGroupEntrySize);
    uint8_t* e = &bytes[static_cast<size_t>(kGroupHeaderSize + kFileEntrySize * i)];
    if (cursor) {
      // Cursor group entries hold 16-bit sizes, the height doubled for the
      // AND mask; the hotspot is the member's own prefix.
      ByteReader hotspot(member.data(), m.size);
      e[0] = static_cast<uint8_t>(g.U16(0));
      e[1] = static_cast<uint8_t>(g.U16(2) / 2);
      PutLe16(e + 4, hotspot.U16(0));
      PutLe16(e + 6, hotspot.U16(2));
    } else {
      memcpy(e, m.entry, 8);  // width, height, colours, reserved, planes, bit count
      PutImageSides(member.data(), m.imageBytes, e);
    }
    PutLe32(e + 8, static_cast<uint32_t>(m.imageBytes));
    PutLe32(e + 12, static_cast<uint32_t>(dataAt));
    memcpy(&bytes[static_cast<size_t>(dataAt)], member.data() + skip,
           static_cast<size_t>(m.imageBytes));
    dataAt += m.imageBytes;
  }
  out->swap(bytes);
  return true;
}

ExportStatus WriteGroupFile(const char* path, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return ExportStatus::Refused;
  if (bytes.size() > 0x7FFFFFFF) return ExportStatus::Refused;
  const FilePiece piece = {bytes.data(), static_cast<int32_t>(bytes.size())};
  return WriteWholeFile(path, &piece, 1) ? ExportStatus::Written : ExportStatus::CannotCreate;
}

void DefaultGroupSaveName(const SaveState& save, ImageKind kind, char* out) {
  if (kind == ImageKind::Cursor) {
    snprintf(out, kPathBufferSize, "Group%d.cur", save.cursorGroupCounter);
  } else {
    snprintf(out, kPathBufferSize, "Group%d.ico", save.iconGroupCounter);
  }
}

const char* GroupSaveDialogTitle(ImageKind kind) {
  return kind == ImageKind::Cursor ? "Save cursor group" : "Save icon group";
}

ExportStatus SaveGroupToPath(SaveState& save, const char* path, ImageKind kind,
                             const std::vector<uint8_t>& bytes) {
  snprintf(save.lastSavePath, sizeof save.lastSavePath, "%s", path);
  ExportStatus status = WriteGroupFile(path, bytes);
  if (status != ExportStatus::Written) return status;
  if (kind == ImageKind::Cursor) {
    ++save.cursorGroupCounter;
  } else {
    ++save.iconGroupCounter;
  }
  return status;
}
