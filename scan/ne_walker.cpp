#include "scan/ne_walker.h"

#include "scan/byte_reader.h"
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

// A 16-bit table value in units of 2^shift bytes. Shifts the format cannot
// mean (32 and over) and results that leave the signed 32-bit range give -1,
// which RecordImage drops, rather than a wrapped value that would point at
// unrelated bytes.
int64_t Shifted(uint16_t value, uint16_t shift) {
  if (shift >= 32) return -1;
  int64_t result = static_cast<int64_t>(value) << shift;
  return result > 0x7FFFFFFF ? -1 : result;
}

}  // namespace

ScanStatus ScanNeResources(ScanWindow& window, FileHandle file, int32_t fileLength,
                           int64_t headerPosition, Catalogue* catalogue) {
  if (headerPosition + 2 + kNeHeaderBytes > fileLength) return ScanStatus::Damaged;
  if (!ReadIntoWindow(window, file, headerPosition + 2, kNeHeaderBytes)) return ScanStatus::Damaged;
  ByteReader header(window.bytes, window.filled);
  int64_t tableStart = headerPosition + header.U16(kNeTableOffsetField);

  int64_t room = fileLength - tableStart;
  if (room < kNeSmallestTable) return ScanStatus::Ok;
  int32_t length = static_cast<int32_t>(room < kScanWindowSize ? room : kScanWindowSize);
  // The table is read piece by piece as the walk reaches it.
  MapWindow(window, file, tableStart, length);
  WindowReader w(window, length);

  uint16_t shift = w.U16(0);
  bool damaged = false;
  int64_t p = 2;
  while (p + kNeTypeEntrySize <= length) {
    uint16_t type = w.U16(p);
    int64_t count = w.U16(p + 2);
    if (type == 0) break;
    int64_t q = p + kNeTypeEntrySize;
    ImageKind kind;
    if (!KindOfType(type, &kind)) {
      p = q + kNeResourceEntrySize * count;
      continue;
    }
    if (q + kNeResourceEntrySize * count > length) count = (length - q) / kNeResourceEntrySize;
    for (int64_t i = 0; i < count; ++i) {
      int64_t entry = q + kNeResourceEntrySize * i;
      if (!RecordImage(window, Shifted(w.U16(entry), shift), Shifted(w.U16(entry + 2), shift),
                       tableStart, kind, catalogue, fileLength)) {
        damaged = true;
      }
    }
    p = q + kNeResourceEntrySize * count;
  }
  return damaged ? ScanStatus::Partial : ScanStatus::Ok;
}
