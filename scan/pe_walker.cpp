#include "scan/pe_walker.h"

#include <cstring>

#include "scan/byte_reader.h"
#include "scan/pe_resource_section.h"
#include "scan/pe_resource_tree.h"
#include "scan/resource_format.h"
#include "scan/scan_window.h"

namespace {

// The window from start: 64 KiB, or up to the end of the file.
int32_t WindowLengthAt(int64_t start, int32_t fileLength) {
  int64_t rest = fileLength - start;
  return static_cast<int32_t>(rest < kScanWindowSize ? rest : kScanWindowSize);
}

}  // namespace

ScanStatus ScanPeResources(ScanWindow& window, FileHandle file, int32_t fileLength,
                           int64_t coffPosition, Catalogue* catalogue) {
  ResourceSection section;
  TreeLookup lookup =
      LocateResourceTree(coffPosition, fileLength, WindowHeaderReader{window, file}, &section);
  if (lookup != TreeLookup::Found) {
    return lookup == TreeLookup::NoTree ? ScanStatus::NoImages : ScanStatus::Damaged;
  }
  int64_t virtualAddress = section.virtualAddress;
  int64_t rawPosition = section.rawPosition;

  int64_t room = fileLength - rawPosition;
  int32_t firstLength = static_cast<int32_t>(room < kScanWindowSize ? room : kScanWindowSize);
  // The tree is read piece by piece as the walk reaches it.
  if (!MapWindow(window, file, rawPosition, firstLength)) return ScanStatus::Damaged;

  PeWalkState& found = *window.peWalk;
  found.count = 0;
  found.lowest = 0x7FFFFFFF;
  found.visitedTables.Clear();
  const WindowReader w(window, firstLength);
  // The scan's tree has no ceiling of its own: its window bounds the work.
  PeResourceTree tree(w, firstLength, &found.visitedTables, INT64_MAX);
  tree.ForEachType([&](int32_t id, int64_t table) {
    ImageKind kind;
    switch (id) {
      case kPeTypeCursor:
        kind = ImageKind::Cursor;
        break;
      case kPeTypeBitmap:
        kind = ImageKind::Bitmap;
        break;
      case kPeTypeIcon:
        kind = ImageKind::Icon;
        break;
      default:
        return;
    }
    tree.WalkType(table, [&](int64_t entry, int64_t, int64_t) {
      if (found.count >= PeWalkState::kMaxDataEntries) return false;
      int32_t offset = static_cast<int32_t>(entry);
      found.entries[found.count++] = {offset, kind};
      if (offset < found.lowest) found.lowest = offset;
      return true;
    });
  });
  if (found.count == 0) return ScanStatus::Ok;

  int64_t secondStart = rawPosition + found.lowest;
  if (secondStart >= fileLength) return ScanStatus::Damaged;
  int64_t windowStart = secondStart;
  int32_t windowLength = WindowLengthAt(windowStart, fileLength);
  MapWindow(window, file, windowStart, windowLength);
  bool damaged = false;
  for (int32_t i = 0; i < found.count; ++i) {
    int64_t entryAt = rawPosition + found.entries[i].offset;
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
                     found.entries[i].kind, catalogue, fileLength)) {
      damaged = true;
    }
  }
  return damaged ? ScanStatus::Partial : ScanStatus::Ok;
}
