#pragma once
#include <cstdint>

#include "scan/byte_reader.h"

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
