#include "scan/catalogue_sort.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "scan/scan_window.h"

namespace {

// Enough for a cursor's hotspot and the PNG size that may follow it; a
// classic header needs only the first 16.
constexpr int32_t kAreaHeaderBytes = static_cast<int32_t>(kPngAreaBytes);

// The file open during an area pass and the references it was opened for.
struct OpenRecordFile {
  FileHandle file = kInvalidFile;
  const char* directory = nullptr;
  const char* fileName = nullptr;

  void Close() {
    if (file != kInvalidFile) CloseFile(file);
    file = kInvalidFile;
  }
};

// Ascending for Unsorted and SmallToLarge, descending for LargeToSmall; each
// is the "left goes after right" test of a swapping pass, turned around into
// "left goes first", so that a stable sort leaves equal keys where the
// passes would.
struct GoesFirst {
  const ImageRecord* records;
  SortOrder sortOrder;
  bool operator()(int32_t left, int32_t right) const {
    const ImageRecord& a = records[left];
    const ImageRecord& b = records[right];
    switch (sortOrder) {
      case SortOrder::Unsorted:
        return a.sequence < b.sequence;
      case SortOrder::LargeToSmall:
        return a.area > b.area;
      case SortOrder::SmallToLarge:
        return a.area < b.area;
    }
    return false;
  }
};

bool KnownOrder(SortOrder sortOrder) {
  return sortOrder == SortOrder::Unsorted || sortOrder == SortOrder::LargeToSmall ||
         sortOrder == SortOrder::SmallToLarge;
}

}  // namespace

bool FillMissingAreas(ImageRecord* records, int32_t count) {
  if (count <= 0) return true;
  OpenRecordFile open;
  for (int32_t i = 0; i < count; ++i) {
    ImageRecord& record = records[i];
    if (record.area != 0) continue;
    // The records of one file share their references, so a run of them
    // costs one open; equal texts behind other references do not count.
    if (open.file == kInvalidFile || record.directory != open.directory ||
        record.fileName != open.fileName) {
      open.Close();
      open.file = OpenInDirectory(record.directory, record.fileName);
      if (open.file == kInvalidFile) return false;
      open.directory = record.directory;
      open.fileName = record.fileName;
    }
    uint8_t header[kAreaHeaderBytes];
    // A classic header may end the file; only its 16 bytes must be there.
    const int32_t got = ReadBytesAt(open.file, record.offset, header, kAreaHeaderBytes);
    if (got < kClassicAreaBytes) {
      open.Close();
      return false;
    }
    record.area = AreaFromHeader(header, got, 0, record.kind);
  }
  open.Close();
  return true;
}

void SortIndex(const ImageRecord* records, int32_t count, SortOrder sortOrder, int32_t* order) {
  for (int32_t i = 0; i < count; ++i) order[i] = i;
  if (count < 2 || !KnownOrder(sortOrder)) return;
  std::stable_sort(order, order + count, GoesFirst{records, sortOrder});
}

SortOutcome SortRecords(Catalogue* catalogue, SortOrder sortOrder) {
  const int32_t count = catalogue->count;
  if (count <= 0) return SortOutcome::Empty;
  ImageRecord* old = catalogue->records.get();
  if (!FillMissingAreas(old, count)) return SortOutcome::AreasUnreadable;
  std::unique_ptr<int32_t[]> order(new (std::nothrow) int32_t[count]);
  if (order == nullptr) return SortOutcome::NoMemory;
  SortIndex(old, count, sortOrder, order.get());
  std::unique_ptr<ImageRecord[]> sorted(new (std::nothrow) ImageRecord[catalogue->capacity]);
  if (sorted == nullptr) return SortOutcome::NoMemory;
  for (int32_t i = 0; i < count; ++i) sorted[i] = old[order[i]];
  catalogue->records = std::move(sorted);
  return SortOutcome::Sorted;
}
