#pragma once
#include <cstdint>

#include "scan/catalogue.h"
#include "scan/table_visits.h"

// What the PE scan keeps of one file's tree, held by whoever owns the scan
// window and reused for every file: nothing is allocated per scan.
struct PeWalkState {
  // One file may fill the catalogue: system libraries hold thousands of icons.
  static constexpr int32_t kMaxDataEntries = kCatalogueCapacity;
  // The resource data entries found in the tree, in walk order.
  struct Entry {
    int32_t offset;  // of the data entry, from the start of the resource section
    ImageKind kind;
  };
  Entry entries[kMaxDataEntries];
  int32_t count = 0;
  int32_t lowest = 0x7FFFFFFF;
  TableVisits visitedTables;
};

struct ScanWindow;

// Walks the tree with the walk state the window holds.
ScanStatus ScanPeResources(ScanWindow& window, FileHandle file, int32_t fileLength,
                           int64_t coffPosition, Catalogue* catalogue);
