#include "scan/catalogue.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "scan/byte_reader.h"
#include "scan/ne_walker.h"
#include "scan/pe_walker.h"

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

namespace {

constexpr int64_t kPieceSize = kWindowPieceSize;

void ForgetPieces() {
  for (int32_t& n : scanWindow.arrived) n = -1;
}

// Makes position the window's start, keeping the pieces of the same file
// that the new window still covers in the slots where it expects them.
// False for a position no read can start from.
bool PlaceWindow(FileHandle file, int64_t position) {
  ScanWindow& w = scanWindow;
  w.start = position;
  w.filled = 0;
  if (position < 0) return false;
  if (file != w.file) {
    w.file = file;
    ForgetPieces();
  }
  int64_t first = position / kPieceSize;
  int64_t shift = first - w.firstPiece;
  w.firstPiece = first;
  w.bytes = w.buffer + (position - first * kPieceSize);
  if (shift == 0) return true;
  // Slots move towards the front when the window moves on and towards the
  // back when it moves back, each copied from before it is overwritten.
  int64_t step = shift > 0 ? 1 : -1;
  int64_t to = shift > 0 ? 0 : kWindowPieces - 1;
  for (; to >= 0 && to < kWindowPieces; to += step) {
    int64_t from = to + shift;
    bool kept = from >= 0 && from < kWindowPieces && w.arrived[from] >= 0;
    if (kept) memcpy(w.buffer + to * kPieceSize, w.buffer + from * kPieceSize, kPieceSize);
    w.arrived[to] = kept ? w.arrived[from] : -1;
  }
  return true;
}

// Reads the slots from first to last that have not been read, one read per
// run of them.
void ReadPieces(int64_t first, int64_t last) {
  ScanWindow& w = scanWindow;
  int64_t slot = first;
  while (slot <= last) {
    if (w.arrived[slot] >= 0) {
      ++slot;
      continue;
    }
    int64_t end = slot;
    while (end + 1 <= last && w.arrived[end + 1] < 0) ++end;
    uint8_t* into = w.buffer + slot * kPieceSize;
    int32_t count = static_cast<int32_t>((end - slot + 1) * kPieceSize);
    int32_t got = ReadBytesAt(w.file, (w.firstPiece + slot) * kPieceSize, into, count);
    if (got < 0) got = 0;
    // Bytes of the window that did not arrive (the file has shrunk since its
    // length was taken) read as zeros, never as what an earlier file left in
    // the buffer. Those past the window's end are never looked at.
    int64_t windowEnd = w.start + w.filled - (w.firstPiece + slot) * kPieceSize;
    if (windowEnd > count) windowEnd = count;
    if (windowEnd > got) memset(into + got, 0, static_cast<size_t>(windowEnd - got));
    for (int64_t i = slot; i <= end; ++i) {
      int64_t rest = got - (i - slot) * kPieceSize;
      w.arrived[i] = static_cast<int32_t>(rest < 0 ? 0 : (rest < kPieceSize ? rest : kPieceSize));
    }
    slot = end + 1;
  }
}

// The slots that window bytes [at, at + length) lie in; length above 0.
void SlotsOf(int64_t at, int64_t length, int64_t* first, int64_t* last) {
  const ScanWindow& w = scanWindow;
  *first = (w.start + at) / kPieceSize - w.firstPiece;
  *last = (w.start + at + length - 1) / kPieceSize - w.firstPiece;
}

}  // namespace

bool ReadIntoWindow(FileHandle file, int64_t position, int32_t count) {
  if (!PlaceWindow(file, position)) return false;
  if (count < 0 || count > kScanWindowSize) return false;
  if (count == 0) return true;
  ScanWindow& w = scanWindow;
  int64_t first = 0;
  int64_t last = 0;
  SlotsOf(0, count, &first, &last);
  ReadPieces(first, last);
  // As a read would: the bytes up to the first piece that came short.
  int64_t end = position + count;
  for (int64_t slot = first; slot <= last; ++slot) {
    if (w.arrived[slot] < kPieceSize) {
      int64_t pieceEnd = (w.firstPiece + slot) * kPieceSize + w.arrived[slot];
      if (pieceEnd < end) end = pieceEnd;
      break;
    }
  }
  w.filled = static_cast<int32_t>(end > position ? end - position : 0);
  return w.filled == count;
}

bool MapWindow(FileHandle file, int64_t position, int32_t count) {
  if (!PlaceWindow(file, position)) return false;
  if (count < 0 || count > kScanWindowSize) return false;
  scanWindow.filled = count;
  return true;
}

const uint8_t* WindowBytes(int64_t at, int64_t length) {
  const ScanWindow& w = scanWindow;
  if (at < 0 || length < 0 || at > w.filled || length > w.filled - at) return nullptr;
  if (length > 0) {
    int64_t first = 0;
    int64_t last = 0;
    SlotsOf(at, length, &first, &last);
    for (int64_t slot = first; slot <= last; ++slot) {
      if (w.arrived[slot] < 0) {
        ReadPieces(slot, last);
        break;
      }
    }
  }
  return w.bytes + at;
}

void ForgetWindowFile() {
  scanWindow.file = kInvalidFile;
  scanWindow.filled = 0;
  ForgetPieces();
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
  int64_t h = at + (kind == ImageKind::Cursor ? 4 : 0);
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
      WindowBytes(offset - windowStart, 16) != nullptr) {
    rec.area = AreaFromHeader(scanWindow.bytes, scanWindow.filled, offset - windowStart, kind);
  }
  ++fill.fileImageCount;
}

ScanStatus ScanFile(const char* directory, const char* fileName, ImageRecord* records,
                    int32_t capacity, int32_t* count) {
  catalogueFill.fileImageCount = 0;
  if (scanWindow.buffer == nullptr) {
    scanWindow.buffer = new (std::nothrow) uint8_t[kWindowPieces * kWindowPieceSize];
    // Without its buffer no scan can run; the caller hears it as a file it
    // could not read.
    if (scanWindow.buffer == nullptr) return ScanStatus::CannotOpen;
    scanWindow.bytes = scanWindow.buffer;
    ForgetPieces();
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
  ForgetWindowFile();
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
