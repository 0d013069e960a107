#pragma once
#include <cstdint>

#include "scan/byte_reader.h"
#include "scan/resource_format.h"

// Where a PE file's resource tree lies, found as the loader finds it: through
// the optional header's resource directory entry, and by a section's name
// only when the header names no tree.

// Of the optional header, only the magic number and the data directory up to
// the resource entry are read: 136 bytes in its 64-bit form, 120 in its
// 32-bit form.
inline constexpr int32_t kOptionalHeaderBytesRead = 136;

struct ResourceSection {
  // The tree's root: its address in the loaded image and its file position.
  // A resource's data at address R lies at file position
  // R - virtualAddress + rawPosition.
  int64_t virtualAddress = 0;
  int64_t rawPosition = 0;
};

// The resource tree's address from the optional header's first bytes (as
// many as the header's size holds, at most kOptionalHeaderBytesRead); 0 when
// the header has no such entry or gives it no address.
uint32_t ResourceDirectoryAddress(const ByteReader& optionalHeader);

// Looks up the tree of a file whose header gave directoryAddress (0 for
// none) in its sectionCount section headers: the first section, in table
// order, that holds that address; without an address, or when no section
// holds it, the first section named ".rsrc" followed by a zero byte. False
// when neither is there.
bool FindResourceSection(uint32_t directoryAddress, const ByteReader& sections,
                         int64_t sectionCount, ResourceSection* out);

// Finds the resource tree of the PE file whose COFF header stands at
// coffPosition: reads the COFF header, the optional header's first bytes and
// the section table through read(position, count, &bytes), which gives the
// count bytes at position of the file (valid until its next call) and false
// when they cannot all be read. Damaged when a header lies beyond
// fileLength, does not arrive, the section table is larger than
// kMaxSectionTableBytes or the tree's root table does not fit in the file;
// NoTree when no section holds a tree.
template <class ReadBytes>
TreeLookup LocateResourceTree(int64_t coffPosition, int64_t fileLength, ReadBytes read,
                              ResourceSection* out) {
  ByteReader bytes(nullptr, 0);
  if (coffPosition + kCoffHeaderSize > fileLength) return TreeLookup::Damaged;
  if (!read(coffPosition, kCoffHeaderSize, &bytes)) return TreeLookup::Damaged;
  const int64_t n = bytes.U16(2);
  const int64_t optionalSize = bytes.U16(16);

  const int64_t tableBytes = n * kSectionHeaderSize;
  if (tableBytes > kMaxSectionTableBytes) return TreeLookup::Damaged;
  const int64_t tablePosition = coffPosition + kCoffHeaderSize + optionalSize;
  if (tablePosition + tableBytes > fileLength) return TreeLookup::Damaged;
  const int32_t optionalRead = static_cast<int32_t>(
      optionalSize < kOptionalHeaderBytesRead ? optionalSize : kOptionalHeaderBytesRead);
  // The optional header lies in the file, as the section table behind it does.
  if (!read(coffPosition + kCoffHeaderSize, optionalRead, &bytes)) return TreeLookup::Damaged;
  const uint32_t directoryAddress = ResourceDirectoryAddress(bytes);
  if (!read(tablePosition, static_cast<int32_t>(tableBytes), &bytes)) return TreeLookup::Damaged;
  if (n == 0 || !FindResourceSection(directoryAddress, bytes, n, out)) return TreeLookup::NoTree;
  if (fileLength - out->rawPosition < kDirectoryTableSize) return TreeLookup::Damaged;
  return TreeLookup::Found;
}
