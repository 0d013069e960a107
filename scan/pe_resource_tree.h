#pragma once
#include <cstdint>

#include "scan/resource_format.h"

// The one walk of a PE resource tree, for the scan and for the group reader
// alike, each over its own window of the section: the window holds the
// section from its first byte, Reader gives its bytes (U16, U32 and I32 at
// window offsets), and Visits marks the tables walked in it.
//
// The root lists types; a type's table lists names; below a name stands a
// data entry or a table of languages, whose entries lead to data entries.
// The language level is the deepest the format nests: subdirectories there
// are not followed, so a tree that claims more levels cannot make the walk
// recurse without end. A table is walked only when its header lies wholly in
// the window, and only as many of its entries as the window holds.
template <class Reader, class Visits>
class PeResourceTree {
 public:
  // visits is cleared for this window; maxEntries is how many entries of the
  // tables below the root the whole walk reads at most.
  PeResourceTree(const Reader& window, int64_t length, Visits* visits, int64_t maxEntries)
      : w_(window), length_(length), visits_(visits), entriesLeft_(maxEntries) {
    visits_->MarkVisited(0);
  }

  // Calls type(id, table) for each entry of the root, in table order: id is
  // the entry's type number, table its target without the subdirectory bit.
  template <class TypeVisitor>
  void ForEachType(TypeVisitor type) const {
    const int64_t k = EntryCount(0);
    for (int64_t j = 0; j < k; ++j) {
      const int64_t at = kDirectoryTableSize + kDirectoryEntrySize * j;
      type(w_.I32(at), static_cast<int64_t>(w_.U32(at + 4) & ~kSubdirectoryBit));
    }
  }

  // Walks the names below the type table at window offset table and their
  // languages, and calls data(entry, nameAt, languageAt) for each data entry
  // in walk order: entry is the data entry's offset in the section, nameAt
  // and languageAt are the window offsets of the name's and the language's
  // table entries (languageAt -1 for data directly below the name). When
  // data returns false, the rest of the table it was called from is left.
  template <class DataVisitor>
  void WalkType(int64_t table, DataVisitor data) {
    const int64_t k = EnterTable(table);
    for (int64_t j = 0; j < k; ++j) {
      const int64_t nameAt = table + kDirectoryTableSize + kDirectoryEntrySize * j;
      const uint32_t target = w_.U32(nameAt + 4);
      if (target & kSubdirectoryBit) {
        WalkLanguages(target & ~kSubdirectoryBit, nameAt, data);
      } else if (!data(static_cast<int64_t>(static_cast<int32_t>(target)), nameAt, int64_t{-1})) {
        return;
      }
    }
  }

 private:
  template <class DataVisitor>
  void WalkLanguages(int64_t table, int64_t nameAt, DataVisitor& data) {
    const int64_t k = EnterTable(table);
    for (int64_t j = 0; j < k; ++j) {
      const int64_t languageAt = table + kDirectoryTableSize + kDirectoryEntrySize * j;
      const uint32_t target = w_.U32(languageAt + 4);
      if (target & kSubdirectoryBit) continue;
      if (!data(static_cast<int64_t>(static_cast<int32_t>(target)), nameAt, languageAt)) return;
    }
  }

  // Entries of the table at d that lie wholly within the window.
  int64_t EntryCount(int64_t d) const {
    const int64_t k = static_cast<int64_t>(w_.U16(d + 12)) + w_.U16(d + 14);
    const int64_t room = (length_ - d - kDirectoryTableSize) / kDirectoryEntrySize;
    return k < room ? k : room;
  }

  // The entries to read of the table at d: none when its header does not lie
  // in the window or it was walked before (a loop, or many links to one
  // subtree, is walked once), and no more than the ceiling leaves.
  int64_t EnterTable(int64_t d) {
    if (d < 0 || d + kDirectoryTableSize > length_) return 0;
    if (!visits_->MarkVisited(d)) return 0;
    int64_t k = EntryCount(d);
    if (k > entriesLeft_) k = entriesLeft_;
    entriesLeft_ -= k;
    return k;
  }

  const Reader& w_;
  const int64_t length_;
  Visits* visits_;
  int64_t entriesLeft_;
};
