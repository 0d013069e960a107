#include "scan/catalogue.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "scan/byte_reader.h"
#include "scan/ne_walker.h"
#include "scan/pe_walker.h"
#include "scan/scan_window.h"

namespace {

// Lengths are kept as signed 32-bit values; a file of 2 GiB or more is read
// as its first 2 GiB - 1 bytes, which is as far as any 32-bit offset reaches.
constexpr int64_t kMaxFileLength = 0x7FFFFFFF;

int32_t ClampedLength(int64_t length) {
  if (length < 0) return -1;
  return static_cast<int32_t>(length > kMaxFileLength ? kMaxFileLength : length);
}

}  // namespace

bool AllocateCatalogue(Catalogue* catalogue, int32_t capacity) {
  catalogue->records.reset(new (std::nothrow) ImageRecord[capacity]());
  catalogue->capacity = catalogue->records != nullptr ? capacity : 0;
  catalogue->count = 0;
  catalogue->damagedFile = nullptr;
  return catalogue->records != nullptr;
}

bool JoinPath(const char* directory, const char* fileName, char* out) {
  size_t dirLength = strlen(directory);
  size_t nameLength = strlen(fileName);
  bool addSeparator = dirLength > 0 && directory[dirLength - 1] != PathSeparator();
  size_t total = dirLength + (addSeparator ? 1 : 0) + nameLength;
  if (total >= static_cast<size_t>(kPathBufferSize)) return false;
  memmove(out, directory, dirLength);
  if (addSeparator) out[dirLength] = PathSeparator();
  memmove(out + total - nameLength, fileName, nameLength + 1);
  return true;
}

FileHandle OpenInDirectory(const char* directory, const char* fileName) {
  char path[kPathBufferSize];
  if (!JoinPath(directory, fileName, path)) return kInvalidFile;
  return OpenFileForReading(path);
}

ScanStatus ScanFile(const char* directory, const char* fileName, Catalogue* catalogue,
                    int32_t* count) {
  const int32_t start = catalogue->count;
  // Without its buffer no scan can run; the caller hears it as a file it
  // could not read.
  if (catalogue->window == nullptr) catalogue->window.reset(new (std::nothrow) ScanWindow);
  ScanWindow* window = catalogue->window.get();
  if (window == nullptr || !EnsureWindowBuffer(*window)) return ScanStatus::CannotOpen;
  FileHandle file = OpenInDirectory(directory, fileName);
  if (file == kInvalidFile) return ScanStatus::CannotOpen;

  ScanStatus status = ScanStatus::Ok;
  int32_t fileLength = 0;
  // The length is asked for only once the header has been read: a file of
  // which 64 bytes do not arrive is shorter than that, and one that does not
  // start with "MZ" is refused whatever its length. Most files met in a tree
  // are of that kind, and the length costs a call of its own.
  if (!ReadIntoWindow(*window, file, 0, 64)) {
    status = ScanStatus::Damaged;
  } else {
    ByteReader mz(window->bytes, window->filled);
    int64_t headerPosition = mz.I32(60);
    if (mz.U8(0) != 'M' || mz.U8(1) != 'Z') {
      status = ScanStatus::Unsupported;
    } else if ((fileLength = ClampedLength(GetFileLength(file))) < 64) {
      status = ScanStatus::Damaged;
    } else if (headerPosition < 0 || headerPosition + 4 > fileLength) {
      status = ScanStatus::Unsupported;
    } else if (!ReadIntoWindow(*window, file, headerPosition, 4)) {
      status = ScanStatus::Damaged;
    } else {
      const uint8_t* sig = window->bytes;
      if (sig[0] == 'P' && sig[1] == 'E' && sig[2] == 0 && sig[3] == 0) {
        status = ScanPeResources(*window, file, fileLength, headerPosition + 4, catalogue);
      } else if (sig[0] == 'N' && sig[1] == 'E') {
        status = ScanNeResources(*window, file, fileLength, headerPosition, catalogue);
      } else {
        status = ScanStatus::Unsupported;
      }
    }
  }
  CloseFile(file);
  ForgetWindowFile(*window);
  // The walkers make no record before they are sure of the file; a file they
  // turn down adds nothing all the same.
  if (status != ScanStatus::Ok && status != ScanStatus::Partial) {
    catalogue->count = start;
    return status;
  }
  if (catalogue->count == start) return ScanStatus::NoImages;
  *count = catalogue->count - start;
  return status;
}

namespace {

// What a scan that said status means for the catalogue, once its records
// are the count - first last ones: they are given the file's names.
AddStatus Settle(Catalogue* catalogue, const char* directory, const char* fileName,
                 ScanStatus status, int32_t first) {
  switch (status) {
    case ScanStatus::Partial:
      if (catalogue->damagedFile == nullptr) catalogue->damagedFile = fileName;
      [[fallthrough]];
    case ScanStatus::Ok:
      for (int32_t i = first; i < catalogue->count; ++i) {
        catalogue->records[i].directory = directory;
        catalogue->records[i].fileName = fileName;
      }
      return AddStatus::Done;
    case ScanStatus::CannotOpen:
      return AddStatus::CannotOpen;
    case ScanStatus::Unsupported:
      return AddStatus::Unsupported;
    case ScanStatus::Damaged:
    case ScanStatus::NoImages:
      break;
  }
  return AddStatus::Done;
}

}  // namespace

AddStatus AddFileToCatalogue(Catalogue* catalogue, const char* directory, const char* fileName,
                             ScanStatus* scanStatus) {
  if (scanStatus != nullptr) *scanStatus = ScanStatus::Ok;
  if (catalogue->count >= catalogue->capacity) return AddStatus::CatalogueFull;
  int32_t n = 0;
  ScanStatus status = ScanFile(directory, fileName, catalogue, &n);
  if (scanStatus != nullptr) *scanStatus = status;
  const bool kept = status == ScanStatus::Ok || status == ScanStatus::Partial;
  return Settle(catalogue, directory, fileName, status, catalogue->count - (kept ? n : 0));
}

AddStatus AddScannedFile(Catalogue* catalogue, const char* directory, const char* fileName,
                         const ScannedFile& scan) {
  const int32_t first = catalogue->count;
  for (int32_t i = 0; i < scan.count; ++i) {
    ImageRecord& rec = catalogue->records[first + i];
    rec = scan.records[i];
    rec.sequence += catalogue->nextSequence;
  }
  catalogue->count = first + scan.count;
  catalogue->nextSequence += scan.sequencesUsed;
  return Settle(catalogue, directory, fileName, scan.status, first);
}
