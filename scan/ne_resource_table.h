#pragma once
#include <cstdint>

#include "scan/byte_reader.h"
#include "scan/resource_format.h"

// The one walk of an NE resource table, for the scan and for the group
// reader alike.

// A 16-bit table value in units of 2^shift bytes. Shifts the format cannot
// mean (32 and over) and results that leave the signed 32-bit range give -1,
// which every reader drops, rather than a wrapped value that would point at
// unrelated bytes.
inline int64_t Shifted(uint16_t value, uint16_t shift) {
  if (shift >= 32) return -1;
  const int64_t result = static_cast<int64_t>(value) << shift;
  return result > 0x7FFFFFFF ? -1 : result;
}

// Finds the resource table of the NE file whose "NE" signature stands at
// headerPosition: reads the header through read(position, count, &bytes),
// which gives the count bytes at position of the file and false when they
// cannot all be read. *tableStart receives the table's file position.
// Damaged when the header lies beyond fileLength or does not arrive; NoTree
// when the file ends before the smallest table would.
template <class ReadBytes>
TreeLookup LocateNeTable(int64_t headerPosition, int64_t fileLength, ReadBytes read,
                         int64_t* tableStart) {
  ByteReader header(nullptr, 0);
  if (headerPosition + 2 + kNeHeaderBytes > fileLength) return TreeLookup::Damaged;
  if (!read(headerPosition + 2, kNeHeaderBytes, &header)) return TreeLookup::Damaged;
  *tableStart = headerPosition + header.U16(kNeTableOffsetField);
  if (fileLength - *tableStart < kNeSmallestTable) return TreeLookup::NoTree;
  return TreeLookup::Found;
}

// Walks the table in window, the length bytes from its start (Reader gives
// U16 at window offsets), and calls entry(type, at, offset, size) for each
// resource of a type that wants(type) accepts, in table order: at is the
// window offset of its entry, offset and size are its data's file position
// and length, Shifted. The type list ends at a type of 0 or where the window
// does, a type's entries where the window does.
template <class Reader, class WantsType, class EntryVisitor>
void WalkNeResourceTable(const Reader& window, int64_t length, WantsType wants,
                         EntryVisitor entry) {
  const uint16_t shift = window.U16(0);
  int64_t p = 2;
  while (p + kNeTypeEntrySize <= length) {
    const uint16_t type = window.U16(p);
    int64_t count = window.U16(p + 2);
    if (type == 0) break;
    const int64_t q = p + kNeTypeEntrySize;
    if (wants(type)) {
      if (q + kNeResourceEntrySize * count > length) count = (length - q) / kNeResourceEntrySize;
      for (int64_t i = 0; i < count; ++i) {
        const int64_t at = q + kNeResourceEntrySize * i;
        entry(type, at, Shifted(window.U16(at), shift), Shifted(window.U16(at + 2), shift));
      }
    }
    p = q + kNeResourceEntrySize * count;
  }
}
