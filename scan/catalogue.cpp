#include "scan/catalogue.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "scan/byte_reader.h"
#include "scan/ne_walker.h"
#include "scan/pe_walker.h"
#include "scan/png_header.h"

CatalogueFill catalogueFill;
ScanWindow scanWindow;

namespace {

char* pathBuffer = nullptr;

// Lengths are kept as signed 32-bit values; a file of 2 GiB or more is read
// as its first 2 GiB - 1 bytes, which is as far as any 32-bit offset reaches.
constexpr int64_t kMaxFileLength = 0x7FFFFFFF;

int32_t ClampedLength(int64_t length) {
  if (length < 0) return -1;
  return static_cast<int32_t>(length > kMaxFileLength ? kMaxFileLength : length);
}

}  // namespace

bool ReadIntoWindow(FileHandle file, int64_t position, int32_t count) {
  scanWindow.start = position;
  scanWindow.filled = 0;
  if (count < 0 || count > kScanWindowSize) return false;
  if (!SeekFromStart(file, position)) return false;
  scanWindow.filled = ReadBytes(file, scanWindow.bytes, count);
  return scanWindow.filled == count;
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
  if (pathBuffer == nullptr) {
    pathBuffer = new (std::nothrow) char[kPathBufferSize];
    if (pathBuffer == nullptr) return kInvalidFile;
  }
  if (!JoinPath(directory, fileName, pathBuffer)) return kInvalidFile;
  return OpenFileForReading(pathBuffer);
}

int32_t AreaFromHeader(const uint8_t* bytes, int64_t size, int64_t at, ImageKind kind) {
  ByteReader r(bytes, size);
  if (!r.Has(at, kClassicAreaBytes)) return 0;
  int64_t h = at + (kind == ImageKind::Cursor ? 4 : 0);
  if (kind != ImageKind::Bitmap) {
    uint32_t pngWidth = 0;
    uint32_t pngHeight = 0;
    if (PngImageSize(bytes + h, size - h, &pngWidth, &pngHeight)) {
      return static_cast<int32_t>(pngWidth * pngHeight);
    }
    // Its IHDR is out of sight: the area pass or the loader will see it.
    if (!r.Has(h, kPngSizeBytes) && MayBePng(bytes + h, size - h)) return 0;
  }
  int64_t height = std::llabs(static_cast<int64_t>(r.I32(h + 8)));
  if (kind != ImageKind::Bitmap) height /= 2;
  int64_t width = r.I32(h + 4);
  if (!r.ok()) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(width * height)));
}

void RecordImage(int64_t offset, int64_t size, int64_t windowStart, ImageKind kind,
                 ImageRecord* records, int32_t fileLength, int32_t capacity) {
  CatalogueFill& fill = catalogueFill;
  if (fill.fileImageCount >= capacity) return;
  // A negative offset cannot be read back, so it is dropped like data past
  // the end of the file.
  if (size < 0 || offset < 0 || offset + size > fileLength) return;
  ImageRecord& rec = records[fill.fileImageCount];
  rec.kind = kind;
  rec.offset = static_cast<int32_t>(offset);
  rec.size = static_cast<int32_t>(size);
  rec.sequence = fill.nextSequence++;
  rec.area = 0;
  if (offset >= windowStart && offset + 16 <= windowStart + kScanWindowSize &&
      offset + 16 <= windowStart + scanWindow.filled) {
    rec.area = AreaFromHeader(scanWindow.bytes, scanWindow.filled, offset - windowStart, kind);
  }
  ++fill.fileImageCount;
}

ScanStatus ScanFile(const char* directory, const char* fileName, ImageRecord* records,
                    int32_t capacity, int32_t* count) {
  catalogueFill.fileImageCount = 0;
  if (scanWindow.bytes == nullptr) {
    scanWindow.bytes = new (std::nothrow) uint8_t[kScanWindowSize];
    // Without its buffer no scan can run; the caller hears it as a file it
    // could not read.
    if (scanWindow.bytes == nullptr) return ScanStatus::CannotOpen;
  }
  FileHandle file = OpenInDirectory(directory, fileName);
  if (file == kInvalidFile) return ScanStatus::CannotOpen;

  ScanStatus status = ScanStatus::Ok;
  int32_t fileLength = ClampedLength(GetFileLength(file));
  if (fileLength < 64) {
    status = ScanStatus::Damaged;
  } else if (!ReadIntoWindow(file, 0, 64)) {
    status = ScanStatus::Damaged;
  } else {
    ByteReader mz(scanWindow.bytes, scanWindow.filled);
    int64_t headerPosition = mz.I32(60);
    if (mz.U8(0) != 'M' || mz.U8(1) != 'Z' || headerPosition < 0 ||
        headerPosition + 4 > fileLength) {
      status = ScanStatus::Unsupported;
    } else if (!ReadIntoWindow(file, headerPosition, 4)) {
      status = ScanStatus::Damaged;
    } else {
      const uint8_t* sig = scanWindow.bytes;
      if (sig[0] == 'P' && sig[1] == 'E' && sig[2] == 0 && sig[3] == 0) {
        status = ScanPeResources(file, fileLength, headerPosition + 4, records, capacity);
      } else if (sig[0] == 'N' && sig[1] == 'E') {
        status = ScanNeResources(file, fileLength, headerPosition, records, capacity);
      } else {
        status = ScanStatus::Unsupported;
      }
    }
  }
  CloseFile(file);
  if (status != ScanStatus::Ok) return status;
  if (catalogueFill.fileImageCount == 0) return ScanStatus::NoImages;
  *count = catalogueFill.fileImageCount;
  return ScanStatus::Ok;
}

AddStatus AddFileToCatalogue(int32_t capacity, const char* directory, ImageRecord* catalogue,
                             const char* fileName, ScanStatus* scanStatus) {
  CatalogueFill& fill = catalogueFill;
  if (scanStatus != nullptr) *scanStatus = ScanStatus::Ok;
  if (fill.fillCount >= capacity) return AddStatus::CatalogueFull;
  int32_t n = 0;
  ScanStatus status =
      ScanFile(directory, fileName, catalogue + fill.fillCount, capacity - fill.fillCount, &n);
  if (scanStatus != nullptr) *scanStatus = status;
  switch (status) {
    case ScanStatus::Ok:
      for (int32_t i = 0; i < n; ++i) {
        catalogue[fill.fillCount + i].directory = directory;
        catalogue[fill.fillCount + i].fileName = fileName;
      }
      fill.fillCount += n;
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
