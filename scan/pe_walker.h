#pragma once
#include <cstdint>

#include "scan/catalogue.h"

inline constexpr int32_t kMaxDataEntries = 1000;

// The resource data entries found in one file's tree, in walk order.
struct DataEntryList {
  struct Entry {
    int32_t offset;  // of the data entry, from the start of the resource section
    ImageKind kind;
  };
  Entry entries[kMaxDataEntries];
  int32_t count = 0;
  int32_t lowest = 0x7FFFFFFF;
};

ScanStatus ScanPeResources(FileHandle file, int32_t fileLength, int64_t coffPosition,
                           ImageRecord* records, int32_t capacity);

// Walks the directory at window offset directoryOffset (the window holds the
// resource section from its first byte); depth 1 is the type level.
void WalkResourceDirectory(int32_t windowLength, int64_t directoryOffset, ImageKind kind,
                           int depth = 2);
