#pragma once
#include <cstdint>

#include "scan/byte_reader.h"
#include "scan/catalogue.h"
#include "scan/file_services.h"

// The scan window: the one read buffer through which the walkers look at a
// file, and the record each image found there becomes.

inline constexpr int32_t kScanWindowSize = 65536;
// The window is read from the file in pieces of this size, aligned in the
// file, each the first time the walk or the area rule touches one of its
// bytes: the resource tree and the headers a scan looks at usually lie in a
// few KiB of the window. A window that starts inside a piece reaches into
// one piece more.
inline constexpr int32_t kWindowPieceSize = 4096;
inline constexpr int32_t kWindowPieces = kScanWindowSize / kWindowPieceSize + 1;
// What is read of a file's first piece at first: the MZ header, and for most
// executables the PE header and section table behind it.
inline constexpr int32_t kHeadReadSize = 2048;
static_assert(kHeadReadSize <= kWindowPieceSize);

struct PeWalkState;

// The read buffer of one scanner: the window's run has one, and so has
// each worker of a parallel walk. start and filled say which stretch of
// the file the last read put into it: window offset x is file position
// start + x and lies at bytes[x]. After ReadIntoWindow all of them are
// there; after MapWindow only those that WindowBytes or a WindowReader has
// been asked for, so the window is looked at through them alone.
struct ScanWindow {
  uint8_t* bytes = nullptr;
  int64_t start = 0;
  int32_t filled = 0;
  // Slot i of buffer holds piece firstPiece + i of file, of which the first
  // arrived[i] bytes have been read (-1: none asked for yet); atEnd[i] says
  // that the file ended there. Pieces that a window of the same file has
  // read stay when the next window still covers them: the headers come with
  // one read, and the second window of a PE file often starts in a piece of
  // the first.
  uint8_t* buffer = nullptr;
  FileHandle file = kInvalidFile;
  int64_t firstPiece = 0;
  int32_t arrived[kWindowPieces];
  bool atEnd[kWindowPieces];
  // What the PE walk keeps of the tree it reads through this window,
  // allocated with the buffer.
  PeWalkState* peWalk = nullptr;

  ScanWindow() = default;
  ~ScanWindow();
  ScanWindow(const ScanWindow&) = delete;
  ScanWindow& operator=(const ScanWindow&) = delete;
};

// Makes the count bytes at position (at most kScanWindowSize) the window and
// reads them now; true when all of them arrived.
bool ReadIntoWindow(ScanWindow& w, FileHandle file, int64_t position, int32_t count);

// ReadIntoWindow for the layout lookups, which take a file's headers
// through a reader like this one: bytes views what arrived.
struct WindowHeaderReader {
  ScanWindow& window;
  FileHandle file;
  bool operator()(int64_t position, int32_t count, ByteReader* bytes) const {
    if (!ReadIntoWindow(window, file, position, count)) return false;
    *bytes = ByteReader(window.bytes, window.filled);
    return true;
  }
};

// Makes the count bytes at position (at most kScanWindowSize) the window
// without reading them yet. The caller has taken count from the file length,
// so they count as filled; should the file have shrunk since its length was
// taken, the bytes that do not arrive read as zeros.
bool MapWindow(ScanWindow& w, FileHandle file, int64_t position, int32_t count);

// The window's bytes [at, at + length), read from the file first where they
// have not been: the one way to the window's bytes, for the walkers and any
// area rule alike. nullptr when they do not lie within the filled part.
const uint8_t* WindowBytes(ScanWindow& w, int64_t at, int64_t length);

// Forgets what the window read: after its file is closed, the same handle
// value may come back for another file.
void ForgetWindowFile(ScanWindow& w);

// The bounds-checked reader over the window's first length bytes (no more
// than are filled); each value is fetched through WindowBytes.
class WindowReader {
 public:
  WindowReader(ScanWindow& window, int64_t length)
      : window_(window), r_(window.bytes, length < window.filled ? length : window.filled) {}
  bool Has(int64_t at, int64_t len) const { return r_.Has(at, len); }
  uint16_t U16(int64_t at) const { return Fetch(at, 2).U16(at); }
  uint32_t U32(int64_t at) const { return Fetch(at, 4).U32(at); }
  int32_t I32(int64_t at) const { return Fetch(at, 4).I32(at); }
  bool ok() const { return r_.ok(); }

 private:
  const ByteReader& Fetch(int64_t at, int64_t len) const {
    if (r_.Has(at, len)) WindowBytes(window_, at, len);
    return r_;
  }
  ScanWindow& window_;
  ByteReader r_;
};

// Allocates the window's buffer and the PE walk's state once for its
// scanner; false when memory is short.
bool EnsureWindowBuffer(ScanWindow& w);

// Offsets and sizes come in wide, as the walkers compute them from file
// values; anything that is negative or ends past fileLength is dropped, and
// so is everything once the catalogue is full. The record takes the next
// free slot and the next sequence number. False when the resource was
// dropped for lying outside the file, which only a damaged file does.
bool RecordImage(ScanWindow& w, int64_t offset, int64_t size, int64_t windowStart, ImageKind kind,
                 Catalogue* catalogue, int32_t fileLength);

// Bytes from a record's offset that a classic header's area needs: a
// cursor's hotspot, then biSize, biWidth and biHeight.
inline constexpr int64_t kClassicAreaBytes = 16;
// And a PNG image's: the hotspot, then signature and IHDR up to the height.
inline constexpr int64_t kPngAreaBytes = 28;

// The area of the record whose data starts at bytes + at, from the size
// bytes there; 0 when the bytes it needs are not all there. A PNG icon or
// cursor gives IHDR's width x height; any other image width x |height|
// (halved for icons and cursors) from its BITMAPINFOHEADER. Both are wrapped
// to 32 bits like the 32-bit product they stand for.
int32_t AreaFromHeader(const uint8_t* bytes, int64_t size, int64_t at, ImageKind kind);
