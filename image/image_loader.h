#pragma once
#include <cstdint>

#include "scan/catalogue.h"

// The fields a preparation writes as it reads on; one that stops early
// leaves the later ones as they were.
enum PreparedField : uint8_t {
  kPreparedWidth = 1 << 0,
  kPreparedHeight = 1 << 1,
  kPreparedBitCount = 1 << 2,
  kPreparedColorCount = 1 << 3,
  kPreparedBitsSize = 1 << 4,
};

// One catalogue entry read back from its executable and parsed for drawing.
// It owns nothing: the pointers refer to a cache slot (records of up to 4096
// bytes) or to the caller's largeBuffer (larger ones).
struct LoadedImage {
  // The bytes cannot be drawn; the other fields may be stale.
  bool unusable = false;
  ImageKind kind = ImageKind::Bitmap;
  int32_t width = 0;
  // The visible height: |biHeight|, halved for icons and cursors, whose
  // stored image holds the colour bitmap and the AND mask.
  int32_t height = 0;
  uint32_t bitCount = 0;
  // Cursors only.
  uint32_t hotspotX = 0;
  uint32_t hotspotY = 0;
  // The BITMAPINFOHEADER, also the BITMAPINFO for drawing: the first byte,
  // or the fifth for a cursor.
  const uint8_t* header = nullptr;
  const uint8_t* colorTable = nullptr;
  uint32_t colorCount = 0;
  // The pixel array (the colour bitmap of an icon or cursor). A 40-byte
  // header with BI_BITFIELDS or BI_ALPHABITFIELDS keeps its colour masks
  // between colorTable and the colour table proper, so bits lies past them.
  const uint8_t* bits = nullptr;
  // For icons and cursors the AND mask follows at bits + bitsSize: height
  // rows of (width + 31) / 32 * 4 bytes.
  uint32_t bitsSize = 0;

  // Written by every preparation, even one that stops at once: the
  // PreparedField bits of the fields it wrote, and the bytes as
  // loaded, so that the export can look at an entry the drawing refuses.
  uint8_t filled = 0;
  const uint8_t* data = nullptr;
  int32_t dataSize = 0;
  // Icons and cursors: the whole AND mask lies inside the loaded bytes.
  // When it does not, the image is still usable but must be drawn opaque,
  // without reading the mask at all.
  bool maskComplete = false;
  // An icon or cursor holding a PNG: header points at the PNG's first byte,
  // bits at its decoded pixels (rows top-down, blue, green, red, alpha; not
  // premultiplied), which the loader keeps beside the bytes; bitsSize is
  // width x 4 x height. Without decoded pixels the image is unusable.
  bool png = false;
  // The pixels carry their own alpha and are drawn blended: every decoded
  // PNG, and a 32-bit uncompressed icon or cursor with any non-zero alpha
  // byte (one whose alpha bytes are all 0 is drawn through its AND mask).
  bool alpha = false;
};

// Which record's bytes a slot holds, and when they were last used.
struct CacheSlot {
  bool inUse;
  int32_t key;  // the record's sequence, unique for the run
  uint32_t lastUse;
  uint8_t* data;
  // A PNG record's decoded pixels, made at most once while the slot holds
  // the record (pixelsTried), so repeated loads do not decode again; freed
  // when the slot takes another record or the pixel budget needs the room.
  uint8_t* pixels;
  int64_t pixelBytes;
  bool pixelsTried;
};

inline constexpr int32_t kSmallSlotSize = 1024;
inline constexpr int32_t kSmallSlotCount = 100;
inline constexpr int32_t kMediumSlotSize = 4096;
inline constexpr int32_t kMediumSlotCount = 50;

// Decoded pixels of a PNG record over 4096 bytes. Such records are read
// again at every load, but decoding is what costs, so the pixels are kept
// and copied into the caller's block instead.
struct PixelMemo {
  bool inUse;
  int32_t key;  // the record's sequence
  uint32_t lastUse;
  uint8_t* pixels;
  int64_t pixelBytes;
};

inline constexpr int32_t kPixelMemoCount = 64;

// A record over 4096 bytes whose bytes stay in memory with their owner (the
// image on show), and its decoded PNG pixels or nullptr.
struct LentRecord {
  bool inUse;
  int32_t key;  // the record's sequence
  const uint8_t* data;
  const uint8_t* pixels;
};

// Small resources stay in memory, so repeated loads such as the Finder's
// thumbnails on every paint cost no file access. The window's run keeps one
// and every other loader its own; InitImageLoader makes it ready, and its
// blocks and pixels go with it.
struct ImageCache {
  CacheSlot smallSlots[kSmallSlotCount] = {};
  CacheSlot mediumSlots[kMediumSlotCount] = {};
  uint8_t* smallBlock = nullptr;
  uint8_t* mediumBlock = nullptr;
  uint32_t useClock = 0;
  // The key of the image on show, whose slot no other record may take.
  bool hasPin = false;
  int32_t pinnedKey = 0;
  PixelMemo pixelMemo[kPixelMemoCount] = {};
  uint32_t memoClock = 0;
  // Bytes of decoded PNG pixels the slots and the memo hold together.
  int64_t slotPixelBytes = 0;
  LentRecord lent = {false, 0, nullptr, nullptr};

  ImageCache() = default;
  ~ImageCache();
  ImageCache(const ImageCache&) = delete;
  ImageCache& operator=(const ImageCache&) = delete;
};

// What the slots and the memo may hold in decoded PNG pixels together before
// the pixels used longest ago are given up (they are decoded again when
// their record is next loaded): 64 icons of 256 x 256, or four of the
// largest images decoded.
inline constexpr int64_t kSlotPixelBudget = 16 << 20;

// Resets the cache (no slot in use, clock 0, nothing pinned) and allocates
// the pool blocks that are not there yet; false when one is missing.
bool InitImageLoader(ImageCache& cache);

// Reads record's bytes and prepares image from them. Records over 4096
// bytes go through *largeBuffer, which then holds a block of exactly the
// record's size, followed, for a PNG icon or cursor, by its decoded pixels;
// its previous block is released only once the new bytes are in, so a
// failed load leaves both the buffer and image as they were.
// False when the file cannot be opened or read or memory is short; true
// when the bytes were prepared (the caller still checks image->unusable).
// The record's area is rewritten from the image's header.
bool LoadImageRecord(ImageCache& cache, ImageRecord* record, LoadedImage* image,
                     uint8_t** largeBuffer);

// Records over 4096 bytes are never cached, so every load of one reads its
// file: the one load slow enough for a window to show the hourglass over.
inline bool LoadReadsTheFile(const ImageRecord& record) { return record.size > kMediumSlotSize; }

// Keeps the slot of the record on show out of every later replacement, so
// the view and the save command can use its bytes for as long as it is
// shown. The main window calls it after each successful load of its current
// record; a record over 4096 bytes lives in the caller's largeBuffer and
// simply lifts the previous pin.
void PinCachedRecord(ImageCache& cache, const ImageRecord& record);
void UnpinCachedRecord(ImageCache& cache);

// Lends the bytes of a record over 4096 bytes (image as its load prepared
// them, the bytes in the caller's largeBuffer): until that block is given
// back or replaced by a load through the same buffer, or another record is
// lent, loads of the record prepare those bytes where they lie instead of
// reading the file, so the Finder's thumbnail of the image on show costs no
// read. A small record, or one whose image holds no bytes, lends nothing.
void LendLargeRecord(ImageCache& cache, const ImageRecord& record, const LoadedImage& image);

// Reads record's bytes from an open file into a slot of the pool for its
// size; nullptr, with the chosen slot left free, when fewer arrive.
CacheSlot* FillCacheSlot(ImageCache& cache, FileHandle file, const ImageRecord& record);

// Parses the record's bytes (record->size of them) into image and writes
// the record's area. Never reads outside the bytes; everything that cannot
// be drawn safely sets unusable. For an icon or cursor holding a PNG,
// pngPixels are its decoded pixels, or nullptr when it did not decode.
void PrepareImage(const uint8_t* bytes, ImageRecord* record, LoadedImage* image,
                  const uint8_t* pngPixels = nullptr);

// True when the record's bytes (record.size of them) hold a PNG image, with
// IHDR's width and height.
bool RecordPngSize(const uint8_t* bytes, const ImageRecord& record, uint32_t* width,
                   uint32_t* height);

// Gives back a caller's large block, loaded through cache, at the end of its
// use.
void ReleaseLargeBuffer(ImageCache& cache, uint8_t** largeBuffer);
