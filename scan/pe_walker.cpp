#include "scan/pe_walker.h"

#include <cstring>

#include "scan/byte_reader.h"
#include "scan/pe_resource_section.h"
#include "scan/resource_format.h"
#include "scan/scan_window.h"
#include "scan/table_visits.h"

namespace {

// One file may fill the catalogue: system libraries hold thousands of icons.
constexpr int32_t kMaxDataEntries = kCatalogueCapacity;

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

// Reused for every file: nothing is allocated per scan. Each thread has its
// own, for the workers of a parallel walk.
thread_local DataEntryList dataEntries;

thread_local TableVisits visitedTables;

// Entries of the table at d that lie wholly within the window.
int64_t EntryCount(const WindowReader& w, int64_t d, int32_t windowLength) {
  int64_t k = static_cast<int64_t>(w.U16(d + 12)) + w.U16(d + 14);
  int64_t room = (windowLength - d - kDirectoryTableSize) / kDirectoryEntrySize;
  return k < room ? k : room;
}

// Walks the directory at window offset directoryOffset (the window holds the
// resource section from its first byte); depth 1 is the type level.
void WalkResourceDirectory(ScanWindow& window, int32_t windowLength, int64_t directoryOffset,
                           ImageKind kind, int depth = 2) {
  int64_t d = directoryOffset;
  if (d < 0 || d + kDirectoryTableSize > windowLength) return;
  if (!visitedTables.MarkVisited(d)) return;
  WindowReader w(window, windowLength);
  int64_t k = EntryCount(w, d, windowLength);
  for (int64_t j = 0; j < k; ++j) {
    uint32_t target = w.U32(d + kDirectoryTableSize + kDirectoryEntrySize * j + 4);
    if (target & kSubdirectoryBit) {
      if (depth < kMaxDirectoryDepth) {
        WalkResourceDirectory(window, windowLength, target & ~kSubdirectoryBit, kind, depth + 1);
      }
      continue;
    }
    if (dataEntries.count >= kMaxDataEntries) return;
    int32_t offset = static_cast<int32_t>(target);
    dataEntries.entries[dataEntries.count++] = {offset, kind};
    if (offset < dataEntries.lowest) dataEntries.lowest = offset;
  }
}

// The window from start: 64 KiB, or up to the end of the file.
int32_t WindowLengthAt(int64_t start, int32_t fileLength) {
  int64_t rest = fileLength - start;
  return static_cast<int32_t>(rest < kScanWindowSize ? rest : kScanWindowSize);
}

}  // namespace

ScanStatus ScanPeResources(ScanWindow& window, FileHandle file, int32_t fileLength,
                           int64_t coffPosition, Catalogue* catalogue) {
  if (coffPosition + kCoffHeaderSize > fileLength) return ScanStatus::Damaged;
  if (!ReadIntoWindow(window, file, coffPosition, kCoffHeaderSize)) return ScanStatus::Damaged;
  ByteReader coff(window.bytes, window.filled);
  int64_t n = coff.U16(2);
  int64_t optionalSize = coff.U16(16);

  int64_t tableBytes = n * kSectionHeaderSize;
  if (tableBytes > kMaxSectionTableBytes) return ScanStatus::Damaged;
  int64_t tablePosition = coffPosition + kCoffHeaderSize + optionalSize;
  if (tablePosition + tableBytes > fileLength) return ScanStatus::Damaged;
  int32_t optionalRead = static_cast<int32_t>(
      optionalSize < kOptionalHeaderBytesRead ? optionalSize : kOptionalHeaderBytesRead);
  // The optional header lies in the file, as the section table behind it does.
  if (!ReadIntoWindow(window, file, coffPosition + kCoffHeaderSize, optionalRead)) {
    return ScanStatus::Damaged;
  }
  uint32_t directoryAddress = ResourceDirectoryAddress(ByteReader(window.bytes, optionalRead));
  if (!ReadIntoWindow(window, file, tablePosition, static_cast<int32_t>(tableBytes))) {
    return ScanStatus::Damaged;
  }
  if (n == 0) return ScanStatus::NoImages;

  ResourceSection section;
  if (!FindResourceSection(directoryAddress, ByteReader(window.bytes, window.filled), n,
                           &section)) {
    return ScanStatus::NoImages;
  }
  int64_t virtualAddress = section.virtualAddress;
  int64_t rawPosition = section.rawPosition;

  int64_t room = fileLength - rawPosition;
  int32_t firstLength = static_cast<int32_t>(room < kScanWindowSize ? room : kScanWindowSize);
  if (room < kDirectoryTableSize) return ScanStatus::Damaged;
  // The tree is read piece by piece as the walk reaches it.
  if (!MapWindow(window, file, rawPosition, firstLength)) return ScanStatus::Damaged;

  dataEntries.count = 0;
  dataEntries.lowest = 0x7FFFFFFF;
  visitedTables.Clear();
  visitedTables.MarkVisited(0);

  WindowReader w(window, firstLength);
  int64_t k = EntryCount(w, 0, firstLength);
  for (int64_t j = 0; j < k; ++j) {
    int64_t at = kDirectoryTableSize + kDirectoryEntrySize * j;
    int32_t id = w.I32(at);
    uint32_t target = w.U32(at + 4) & ~kSubdirectoryBit;
    switch (id) {
      case kPeTypeCursor:
        WalkResourceDirectory(window, firstLength, target, ImageKind::Cursor);
        break;
      case kPeTypeBitmap:
        WalkResourceDirectory(window, firstLength, target, ImageKind::Bitmap);
        break;
      case kPeTypeIcon:
        WalkResourceDirectory(window, firstLength, target, ImageKind::Icon);
        break;
      default:
        break;
    }
  }
  if (dataEntries.count == 0) return ScanStatus::Ok;

  int64_t secondStart = rawPosition + dataEntries.lowest;
  if (secondStart >= fileLength) return ScanStatus::Damaged;
  int64_t windowStart = secondStart;
  int32_t windowLength = WindowLengthAt(windowStart, fileLength);
  MapWindow(window, file, windowStart, windowLength);
  bool damaged = false;
  for (int32_t i = 0; i < dataEntries.count; ++i) {
    int64_t entryAt = rawPosition + dataEntries.entries[i].offset;
    // An entry beyond the window (a tree of thousands of resources keeps its
    // data entries over more than 64 KiB) gets a window of its own; one that
    // the file does not hold means the file was cut short.
    if (entryAt < windowStart || entryAt + 8 > windowStart + windowLength) {
      if (entryAt < 0 || entryAt + 8 > fileLength) {
        damaged = true;
        continue;
      }
      windowStart = entryAt;
      windowLength = WindowLengthAt(windowStart, fileLength);
      MapWindow(window, file, windowStart, windowLength);
    }
    WindowReader entries(window, windowLength);
    int64_t e = entryAt - windowStart;
    int64_t rva = entries.I32(e);
    int64_t size = entries.I32(e + 4);
    if (!RecordImage(window, rva - virtualAddress + rawPosition, size, windowStart,
                     dataEntries.entries[i].kind, catalogue, fileLength)) {
      damaged = true;
    }
  }
  return damaged ? ScanStatus::Partial : ScanStatus::Ok;
}
