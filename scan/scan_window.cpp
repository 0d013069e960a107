#include "scan/scan_window.h"

#include <cstring>
#include <new>

#include "scan/pe_walker.h"
#include "scan/dib_header.h"
#include "scan/png_header.h"

namespace {

constexpr int64_t kPieceSize = kWindowPieceSize;

void ForgetPieces(ScanWindow& w) {
  for (int32_t& n : w.arrived) n = -1;
}

int64_t PieceStart(const ScanWindow& w, int64_t slot) { return (w.firstPiece + slot) * kPieceSize; }

// Whether slot holds its bytes up to end (counted from the piece's start):
// read that far, or read up to where the file ends.
bool Holds(const ScanWindow& w, int64_t slot, int64_t end) {
  return w.arrived[slot] >= end || (w.arrived[slot] >= 0 && w.atEnd[slot]);
}

// Makes position the window's start, keeping the pieces of the same file
// that the new window still covers in the slots where it expects them.
// False for a position no read can start from.
bool PlaceWindow(ScanWindow& w, FileHandle file, int64_t position) {
  w.start = position;
  w.filled = 0;
  if (position < 0) return false;
  if (file != w.file) {
    w.file = file;
    ForgetPieces(w);
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
    if (kept) {
      memcpy(w.buffer + to * kPieceSize, w.buffer + from * kPieceSize,
             static_cast<size_t>(w.arrived[from]));
      w.atEnd[to] = w.atEnd[from];
    }
    w.arrived[to] = kept ? w.arrived[from] : -1;
  }
  return true;
}

// Reads what slots first to last lack of the file up to position end, one
// read per run of them. A piece is read whole, except the file's first piece
// when nothing of it has been read yet: of most files only the 64-byte MZ
// header is ever looked at, and of executables little beyond the headers.
void ReadPieces(ScanWindow& w, int64_t first, int64_t last, int64_t end) {
  int64_t slot = first;
  while (slot <= last) {
    int64_t wanted = slot == last ? end - PieceStart(w, slot) : kPieceSize;
    if (Holds(w, slot, wanted)) {
      ++slot;
      continue;
    }
    int64_t from = w.arrived[slot] < 0 ? 0 : w.arrived[slot];
    // The slots after the first join the read only while nothing of them
    // has been read, so that what arrives follows on from what is there.
    int64_t runEnd = slot;
    while (runEnd + 1 <= last && w.arrived[runEnd + 1] < 0) ++runEnd;
    int64_t upTo = (runEnd - slot + 1) * kPieceSize;
    if (PieceStart(w, slot) == 0 && from == 0 && runEnd == slot && wanted <= kHeadReadSize) {
      upTo = kHeadReadSize;
    }
    uint8_t* into = w.buffer + slot * kPieceSize;
    int32_t count = static_cast<int32_t>(upTo - from);
    int32_t got = ReadBytesAt(w.file, PieceStart(w, slot) + from, into + from, count);
    if (got < 0) got = 0;
    int64_t reached = from + got;
    // Bytes of the window that did not arrive (the file has shrunk since its
    // length was taken) read as zeros, never as what an earlier file left in
    // the buffer. Those past the window's end are never looked at.
    int64_t windowEnd = w.start + w.filled - PieceStart(w, slot);
    if (windowEnd > upTo) windowEnd = upTo;
    if (windowEnd > reached) memset(into + reached, 0, static_cast<size_t>(windowEnd - reached));
    for (int64_t i = slot; i <= runEnd; ++i) {
      int64_t base = (i - slot) * kPieceSize;
      int64_t asked = upTo - base < kPieceSize ? upTo - base : kPieceSize;
      int64_t have = reached - base;
      if (have < 0) have = 0;
      if (have > asked) have = asked;
      if (have > w.arrived[i]) w.arrived[i] = static_cast<int32_t>(have);
      if (w.arrived[i] < 0) w.arrived[i] = 0;
      w.atEnd[i] = have < asked;
    }
    slot = runEnd + 1;
  }
}

// The slots that window bytes [at, at + length) lie in; length above 0.
void SlotsOf(const ScanWindow& w, int64_t at, int64_t length, int64_t* first, int64_t* last) {
  *first = (w.start + at) / kPieceSize - w.firstPiece;
  *last = (w.start + at + length - 1) / kPieceSize - w.firstPiece;
}

}  // namespace

bool ReadIntoWindow(ScanWindow& w, FileHandle file, int64_t position, int32_t count) {
  if (!PlaceWindow(w, file, position)) return false;
  if (count < 0 || count > kScanWindowSize) return false;
  if (count == 0) return true;
  int64_t first = 0;
  int64_t last = 0;
  SlotsOf(w, 0, count, &first, &last);
  int64_t end = position + count;
  ReadPieces(w, first, last, end);
  // As a read would: the bytes up to where the file ended.
  for (int64_t slot = first; slot <= last; ++slot) {
    int64_t wanted = slot == last ? end - PieceStart(w, slot) : kPieceSize;
    if (w.arrived[slot] < wanted) {
      end = PieceStart(w, slot) + w.arrived[slot];
      break;
    }
  }
  w.filled = static_cast<int32_t>(end > position ? end - position : 0);
  return w.filled == count;
}

bool MapWindow(ScanWindow& w, FileHandle file, int64_t position, int32_t count) {
  if (!PlaceWindow(w, file, position)) return false;
  if (count < 0 || count > kScanWindowSize) return false;
  w.filled = count;
  return true;
}

const uint8_t* WindowBytes(ScanWindow& w, int64_t at, int64_t length) {
  if (at < 0 || length < 0 || at > w.filled || length > w.filled - at) return nullptr;
  if (length > 0) {
    int64_t first = 0;
    int64_t last = 0;
    SlotsOf(w, at, length, &first, &last);
    int64_t end = w.start + at + length;
    for (int64_t slot = first; slot <= last; ++slot) {
      if (!Holds(w, slot, slot == last ? end - PieceStart(w, slot) : kPieceSize)) {
        ReadPieces(w, slot, last, end);
        break;
      }
    }
  }
  return w.bytes + at;
}

void ForgetWindowFile(ScanWindow& w) {
  w.file = kInvalidFile;
  w.filled = 0;
  ForgetPieces(w);
}

void ScanWindowDeleter::operator()(ScanWindow* window) const { delete window; }

ScanWindow::~ScanWindow() {
  delete[] buffer;
  delete peWalk;
}

bool EnsureWindowBuffer(ScanWindow& w) {
  if (w.buffer != nullptr) return true;
  if (w.peWalk == nullptr) w.peWalk = new (std::nothrow) PeWalkState;
  if (w.peWalk == nullptr) return false;
  w.buffer = new (std::nothrow) uint8_t[kWindowPieces * kWindowPieceSize];
  if (w.buffer == nullptr) return false;
  w.bytes = w.buffer;
  ForgetPieces(w);
  return true;
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
  const DibHeader dib(r, h);
  const int64_t height = dib.Rows(kind != ImageKind::Bitmap);
  const int64_t width = dib.Width();
  if (!dib.ok()) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(width * height)));
}

bool RecordImage(ScanWindow& w, int64_t offset, int64_t size, int64_t windowStart, ImageKind kind,
                 Catalogue* catalogue, int32_t fileLength) {
  if (catalogue->count >= catalogue->capacity) return true;
  // A negative offset cannot be read back, so it is dropped like data past
  // the end of the file.
  if (size < 0 || offset < 0 || offset + size > fileLength) return false;
  ImageRecord& rec = catalogue->records[catalogue->count];
  rec.kind = kind;
  rec.offset = static_cast<int32_t>(offset);
  rec.size = static_cast<int32_t>(size);
  rec.sequence = catalogue->nextSequence++;
  rec.area = 0;
  if (offset >= windowStart && offset + 16 <= windowStart + kScanWindowSize &&
      WindowBytes(w, offset - windowStart, 16) != nullptr) {
    rec.area = AreaFromHeader(w.bytes, w.filled, offset - windowStart, kind);
  }
  ++catalogue->count;
  return true;
}
