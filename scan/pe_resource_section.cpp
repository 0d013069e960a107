#include "scan/pe_resource_section.h"

#include <cstring>

#include "scan/resource_format.h"

namespace {

constexpr uint16_t kMagic32 = 0x10B;
constexpr uint16_t kMagic64 = 0x20B;
// Where each form keeps its count of data directory entries; the entries
// follow it, 8 bytes each.
constexpr int64_t kRvaCountField32 = 92;
constexpr int64_t kRvaCountField64 = 108;
constexpr uint32_t kResourceEntryIndex = 2;
constexpr int64_t kDataDirectoryEntrySize = 8;

}  // namespace

uint32_t ResourceDirectoryAddress(const ByteReader& optionalHeader) {
  uint16_t magic = optionalHeader.U16(0);
  int64_t countField = 0;
  if (magic == kMagic32) {
    countField = kRvaCountField32;
  } else if (magic == kMagic64) {
    countField = kRvaCountField64;
  } else {
    return 0;
  }
  if (optionalHeader.U32(countField) <= kResourceEntryIndex) return 0;
  int64_t entry = countField + 4 + kDataDirectoryEntrySize * kResourceEntryIndex;
  uint32_t address = optionalHeader.U32(entry);
  return optionalHeader.ok() ? address : 0;
}

bool FindResourceSection(uint32_t directoryAddress, const ByteReader& sections,
                         int64_t sectionCount, ResourceSection* out) {
  if (directoryAddress != 0) {
    for (int64_t i = 0; i < sectionCount; ++i) {
      int64_t at = i * kSectionHeaderSize;
      int64_t virtualAddress = sections.U32(at + 12);
      int64_t virtualSize = sections.U32(at + 8);
      int64_t rawSize = sections.U32(at + 16);
      // Linkers leave either size 0 at times; the section spans the larger.
      int64_t span = virtualSize > rawSize ? virtualSize : rawSize;
      if (directoryAddress < virtualAddress || directoryAddress - virtualAddress >= span) continue;
      out->virtualAddress = directoryAddress;
      out->rawPosition = sections.U32(at + 20) + (directoryAddress - virtualAddress);
      return true;
    }
  }
  for (int64_t i = 0; i < sectionCount; ++i) {
    int64_t at = i * kSectionHeaderSize;
    if (!sections.Has(at, kSectionHeaderSize)) return false;
    if (memcmp(sections.data() + at, ".rsrc", 6) != 0) continue;
    out->virtualAddress = sections.U32(at + 12);
    out->rawPosition = sections.U32(at + 20);
    return true;
  }
  return false;
}
