#include "scan/pe_walker.h"

#include <cstring>

#include "scan/byte_reader.h"
#include "scan/resource_format.h"
#include "scan/scan_window.h"
#include "scan/table_visits.h"

namespace {

constexpr int32_t kMaxDataEntries = 1000;

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

// Reused for every file: nothing is allocated per scan.
DataEntryList dataEntries;

TableVisits visitedTables;

// Entries of the table at d that lie wholly within the window.
int64_t EntryCount(const WindowReader& w, int64_t d, int32_t windowLength) {
  int64_t k = static_cast<int64_t>(w.U16(d + 12)) + w.U16(d + 14);
  int64_t room = (windowLength - d - kDirectoryTableSize) / kDirectoryEntrySize;
  return k < room ? k : room;
}

// Walks the directory at window offset directoryOffset (the window holds the
// resource section from its first byte); depth 1 is the type level.
void WalkResourceDirectory(int32_t windowLength, int64_t directoryOffset, ImageKind kind,
                           int depth = 2) {
  int64_t d = directoryOffset;
  if (d < 0 || d + kDirectoryTableSize > windowLength) return;
  if (!visitedTables.MarkVisited(d)) return;
  WindowReader w(windowLength);
  int64_t k = EntryCount(w, d, windowLength);
  for (int64_t j = 0; j < k; ++j) {
    uint32_t target = w.U32(d + kDirectoryTableSize + kDirectoryEntrySize * j + 4);
    if (target & kSubdirectoryBit) {
      if (depth < kMaxDirectoryDepth) {
        WalkResourceDirectory(windowLength, target & ~kSubdirectoryBit, kind, depth + 1);
      }
      continue;
    }
    if (dataEntries.count >= kMaxDataEntries) return;
    int32_t offset = static_cast<int32_t>(target);
    dataEntries.entries[dataEntries.count++] = {offset, kind};
    if (offset < dataEntries.lowest) dataEntries.lowest = offset;
  }
}

}  // namespace

ScanStatus ScanPeResources(FileHandle file, int32_t fileLength, int64_t coffPosition,
                           Catalogue* catalogue) {
  if (coffPosition + kCoffHeaderSize > fileLength) return ScanStatus::Damaged;
  if (!ReadIntoWindow(file, coffPosition, kCoffHeaderSize)) return ScanStatus::Damaged;
  ByteReader coff(scanWindow.bytes, scanWindow.filled);
  int64_t n = coff.U16(2);
  int64_t optionalSize = coff.U16(16);

  int64_t tableBytes = n * kSectionHeaderSize;
  if (tableBytes > kMaxSectionTableBytes) return ScanStatus::Damaged;
  int64_t tablePosition = coffPosition + kCoffHeaderSize + optionalSize;
  if (tablePosition + tableBytes > fileLength) return ScanStatus::Damaged;
  if (!ReadIntoWindow(file, tablePosition, static_cast<int32_t>(tableBytes))) {
    return ScanStatus::Damaged;
  }
  if (n == 0) return ScanStatus::NoImages;

  ByteReader sections(scanWindow.bytes, scanWindow.filled);
  int64_t found = -1;
  for (int64_t i = 0; i < n && found < 0; ++i) {
    if (memcmp(scanWindow.bytes + i * kSectionHeaderSize, ".rsrc", 6) == 0) found = i;
  }
  if (found < 0) return ScanStatus::NoImages;
  int64_t virtualAddress = sections.U32(found * kSectionHeaderSize + 12);
  int64_t rawPosition = sections.U32(found * kSectionHeaderSize + 20);

  int64_t room = fileLength - rawPosition;
  int32_t firstLength = static_cast<int32_t>(room < kScanWindowSize ? room : kScanWindowSize);
  if (room < kDirectoryTableSize) return ScanStatus::Damaged;
  // The tree is read piece by piece as the walk reaches it.
  if (!MapWindow(file, rawPosition, firstLength)) return ScanStatus::Damaged;

  dataEntries.count = 0;
  dataEntries.lowest = 0x7FFFFFFF;
  visitedTables.Clear();
  visitedTables.MarkVisited(0);

  WindowReader w(firstLength);
  int64_t k = EntryCount(w, 0, firstLength);
  for (int64_t j = 0; j < k; ++j) {
    int64_t at = kDirectoryTableSize + kDirectoryEntrySize * j;
    int32_t id = w.I32(at);
    uint32_t target = w.U32(at + 4) & ~kSubdirectoryBit;
    switch (id) {
      case kPeTypeCursor:
        WalkResourceDirectory(firstLength, target, ImageKind::Cursor);
        break;
      case kPeTypeBitmap:
        WalkResourceDirectory(firstLength, target, ImageKind::Bitmap);
        break;
      case kPeTypeIcon:
        WalkResourceDirectory(firstLength, target, ImageKind::Icon);
        break;
      default:
        break;
    }
  }
  if (dataEntries.count == 0) return ScanStatus::Ok;

  int64_t secondStart = rawPosition + dataEntries.lowest;
  if (secondStart >= fileLength) return ScanStatus::Damaged;
  int64_t rest = fileLength - secondStart;
  int32_t secondLength = static_cast<int32_t>(rest < kScanWindowSize ? rest : kScanWindowSize);
  MapWindow(file, secondStart, secondLength);
  // A data entry that does not lie wholly in the window is skipped rather
  // than read from stale or foreign bytes.
  WindowReader second(secondLength);
  for (int32_t i = 0; i < dataEntries.count; ++i) {
    int64_t e = static_cast<int64_t>(dataEntries.entries[i].offset) - dataEntries.lowest;
    if (!second.Has(e, 8)) continue;
    int64_t rva = second.I32(e);
    int64_t size = second.I32(e + 4);
    RecordImage(rva - virtualAddress + rawPosition, size, secondStart, dataEntries.entries[i].kind,
                catalogue, fileLength);
  }
  return ScanStatus::Ok;
}
