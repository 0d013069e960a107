#include "scan/ne_walker.h"

#include "scan/byte_reader.h"
#include "scan/ne_resource_table.h"
#include "scan/resource_format.h"
#include "scan/scan_window.h"

namespace {

bool KindOfType(uint16_t type, ImageKind* kind) {
  switch (type) {
    case kNeTypeCursor:
      *kind = ImageKind::Cursor;
      return true;
    case kNeTypeBitmap:
      *kind = ImageKind::Bitmap;
      return true;
    case kNeTypeIcon:
      *kind = ImageKind::Icon;
      return true;
    default:
      return false;
  }
}

}  // namespace

ScanStatus ScanNeResources(ScanWindow& window, FileHandle file, int32_t fileLength,
                           int64_t headerPosition, Catalogue* catalogue) {
  int64_t tableStart = 0;
  TreeLookup found =
      LocateNeTable(headerPosition, fileLength, WindowHeaderReader{window, file}, &tableStart);
  if (found != TreeLookup::Found) {
    return found == TreeLookup::NoTree ? ScanStatus::Ok : ScanStatus::Damaged;
  }

  int64_t room = fileLength - tableStart;
  int32_t length = static_cast<int32_t>(room < kScanWindowSize ? room : kScanWindowSize);
  // The table is read piece by piece as the walk reaches it.
  MapWindow(window, file, tableStart, length);
  const WindowReader w(window, length);

  bool damaged = false;
  // Set as each wanted type's entries come up.
  ImageKind kind = ImageKind::Bitmap;
  WalkNeResourceTable(
      w, length, [&](uint16_t type) { return KindOfType(type, &kind); },
      [&](uint16_t, int64_t, int64_t offset, int64_t size) {
        if (!RecordImage(window, offset, size, tableStart, kind, catalogue, fileLength)) damaged = true;
      });
  return damaged ? ScanStatus::Partial : ScanStatus::Ok;
}
