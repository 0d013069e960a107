#include "image/image_loader.h"

#include <cstdlib>
#include <cstring>

#include "image/png_codec.h"

ImageCache imageCache;

namespace {

struct Pool {
  CacheSlot* slots;
  int32_t count;
};

Pool PoolFor(int32_t size) {
  if (size <= kSmallSlotSize) return {imageCache.smallSlots, kSmallSlotCount};
  return {imageCache.mediumSlots, kMediumSlotCount};
}

bool IsPinned(const CacheSlot& slot) {
  return imageCache.hasPin && slot.inUse && slot.key == imageCache.pinnedKey;
}

// The first free slot, else the one used longest ago (lowest index on a
// tie), never the slot of the image on show.
CacheSlot* ChooseSlot(Pool pool) {
  for (int32_t i = 0; i < pool.count; ++i) {
    if (!pool.slots[i].inUse) return &pool.slots[i];
  }
  CacheSlot* oldest = nullptr;
  for (int32_t i = 0; i < pool.count; ++i) {
    CacheSlot& slot = pool.slots[i];
    if (IsPinned(slot)) continue;
    if (oldest == nullptr || slot.lastUse < oldest->lastUse) oldest = &slot;
  }
  return oldest;
}

void DropSlotPixels(CacheSlot* slot) {
  std::free(slot->pixels);
  imageCache.slotPixelBytes -= slot->pixelBytes;
  slot->pixels = nullptr;
  slot->pixelBytes = 0;
  slot->pixelsTried = false;
}

bool DecodeRecordPng(const uint8_t* bytes, const ImageRecord& record, uint32_t width,
                     uint32_t height, uint8_t* out);

void DropMemo(PixelMemo* memo) {
  std::free(memo->pixels);
  imageCache.slotPixelBytes -= memo->pixelBytes;
  *memo = PixelMemo{false, 0, 0, nullptr, 0};
}

// Gives up decoded pixels until needed more bytes fit the budget or nothing
// more can go: first the memo's (copies only), the entry used longest ago
// first, then those of the slots used longest ago, never those of keep or
// of the image on show.
void MakeRoomForPixels(int64_t needed, const CacheSlot* keep) {
  while (imageCache.slotPixelBytes + needed > kSlotPixelBudget) {
    PixelMemo* oldestMemo = nullptr;
    for (PixelMemo& memo : imageCache.pixelMemo) {
      if (memo.inUse && (oldestMemo == nullptr || memo.lastUse < oldestMemo->lastUse)) {
        oldestMemo = &memo;
      }
    }
    if (oldestMemo != nullptr) {
      DropMemo(oldestMemo);
      continue;
    }
    CacheSlot* oldest = nullptr;
    const Pool pools[] = {{imageCache.smallSlots, kSmallSlotCount},
                          {imageCache.mediumSlots, kMediumSlotCount}};
    for (const Pool& pool : pools) {
      for (int32_t i = 0; i < pool.count; ++i) {
        CacheSlot& slot = pool.slots[i];
        if (slot.pixels == nullptr || &slot == keep || IsPinned(slot)) continue;
        if (oldest == nullptr || slot.lastUse < oldest->lastUse) oldest = &slot;
      }
    }
    if (oldest == nullptr) return;
    DropSlotPixels(oldest);
  }
}

PixelMemo* FindMemo(int32_t key) {
  for (PixelMemo& memo : imageCache.pixelMemo) {
    if (memo.inUse && memo.key == key) return &memo;
  }
  return nullptr;
}

// Keeps a copy of a large record's decoded pixels; nothing when memory is
// short, which only costs a decode next time.
void RememberPixels(int32_t key, const uint8_t* pixels, int64_t bytes) {
  if (bytes > kSlotPixelBudget) return;
  MakeRoomForPixels(bytes, nullptr);
  PixelMemo* chosen = nullptr;
  for (PixelMemo& memo : imageCache.pixelMemo) {
    if (!memo.inUse) {
      chosen = &memo;
      break;
    }
    if (chosen == nullptr || memo.lastUse < chosen->lastUse) chosen = &memo;
  }
  DropMemo(chosen);
  auto* copy = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes)));
  if (copy == nullptr) return;
  memcpy(copy, pixels, static_cast<size_t>(bytes));
  *chosen = PixelMemo{true, key, ++imageCache.memoClock, copy, bytes};
  imageCache.slotPixelBytes += bytes;
}

// A large PNG record's pixels into out: copied from the memo when it has
// them, else decoded and remembered.
bool LargePngPixels(const uint8_t* bytes, const ImageRecord& record, uint32_t width,
                    uint32_t height, uint8_t* out, int64_t pixelBytes) {
  if (PixelMemo* memo = FindMemo(record.sequence)) {
    memcpy(out, memo->pixels, static_cast<size_t>(pixelBytes));
    memo->lastUse = ++imageCache.memoClock;
    return true;
  }
  if (!DecodeRecordPng(bytes, record, width, height, out)) return false;
  RememberPixels(record.sequence, out, pixelBytes);
  return true;
}

// Decodes a PNG record's pixels into size bytes at out.
bool DecodeRecordPng(const uint8_t* bytes, const ImageRecord& record, uint32_t width,
                     uint32_t height, uint8_t* out) {
  const int64_t at = record.kind == ImageKind::Cursor ? 4 : 0;
  return DecodePng(bytes + at, record.size - at, width, height, out);
}

// The decoded pixels of the PNG record a slot holds, made on the first load
// that needs them; nullptr for any other record and for a PNG that does not
// decode.
const uint8_t* SlotPixels(CacheSlot* slot, const ImageRecord& record) {
  uint32_t width = 0;
  uint32_t height = 0;
  if (!RecordPngSize(slot->data, record, &width, &height)) return nullptr;
  if (slot->pixelsTried) return slot->pixels;
  slot->pixelsTried = true;
  const int64_t bytes = PngPixelBytes(width, height);
  if (bytes == 0) return nullptr;
  MakeRoomForPixels(bytes, slot);
  auto* pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes)));
  if (pixels == nullptr) return nullptr;
  if (!DecodeRecordPng(slot->data, record, width, height, pixels)) {
    std::free(pixels);
    return nullptr;
  }
  slot->pixels = pixels;
  slot->pixelBytes = bytes;
  imageCache.slotPixelBytes += bytes;
  return pixels;
}

// Large blocks keep a PNG's decoded pixels after the record's bytes, from
// an offset rounded up for 4-byte pixel access.
int64_t PixelsOffset(int32_t recordSize) {
  return (static_cast<int64_t>(recordSize) + 15) / 16 * 16;
}

// A lent record's bytes go with the block that holds them.
void ForgetLentBlock(const uint8_t* block) {
  if (block != nullptr && imageCache.lent.data == block) imageCache.lent.inUse = false;
}

bool LoadLarge(ImageRecord* record, LoadedImage* image, uint8_t** largeBuffer) {
  FileHandle file = OpenInDirectory(record->directory, record->fileName);
  if (file == kInvalidFile) return false;
  // The old block may hold the image on show; it goes only once the new
  // bytes are in.
  auto* block = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(record->size)));
  bool ok = block != nullptr && ReadExactlyAt(file, record->offset, block, record->size);
  CloseFile(file);
  if (!ok) {
    std::free(block);
    return false;
  }
  const uint8_t* pixels = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  const int64_t pixelBytes =
      RecordPngSize(block, *record, &width, &height) ? PngPixelBytes(width, height) : 0;
  if (pixelBytes > 0) {
    // Still unpublished, so the block may move. Without the room the image
    // is only unusable, like one that does not decode.
    const int64_t at = PixelsOffset(record->size);
    if (auto* grown =
            static_cast<uint8_t*>(std::realloc(block, static_cast<size_t>(at + pixelBytes)))) {
      block = grown;
      if (LargePngPixels(block, *record, width, height, block + at, pixelBytes))
        pixels = block + at;
    }
  }
  ForgetLentBlock(*largeBuffer);
  std::free(*largeBuffer);
  *largeBuffer = block;
  PrepareImage(block, record, image, pixels);
  return true;
}

bool LoadSmall(ImageRecord* record, LoadedImage* image) {
  ++imageCache.useClock;
  Pool pool = PoolFor(record->size);
  for (int32_t i = 0; i < pool.count; ++i) {
    CacheSlot& slot = pool.slots[i];
    if (slot.inUse && slot.key == record->sequence) {
      PrepareImage(slot.data, record, image, SlotPixels(&slot, *record));
      slot.lastUse = imageCache.useClock;
      return true;
    }
  }
  FileHandle file = OpenInDirectory(record->directory, record->fileName);
  if (file == kInvalidFile) return false;
  CacheSlot* slot = FillCacheSlot(file, *record);
  CloseFile(file);
  if (slot == nullptr) return false;
  PrepareImage(slot->data, record, image, SlotPixels(slot, *record));
  return true;
}

}  // namespace

bool InitImageLoader() {
  ImageCache& cache = imageCache;
  cache.useClock = 0;
  cache.hasPin = false;
  if (cache.smallBlock == nullptr) {
    cache.smallBlock = static_cast<uint8_t*>(std::malloc(kSmallSlotCount * kSmallSlotSize));
  }
  if (cache.mediumBlock == nullptr) {
    cache.mediumBlock = static_cast<uint8_t*>(std::malloc(kMediumSlotCount * kMediumSlotSize));
  }
  // Pixels of an earlier run of the cache belong to records it forgets.
  for (CacheSlot& slot : cache.smallSlots) std::free(slot.pixels);
  for (CacheSlot& slot : cache.mediumSlots) std::free(slot.pixels);
  for (PixelMemo& memo : cache.pixelMemo) {
    std::free(memo.pixels);
    memo = PixelMemo{false, 0, 0, nullptr, 0};
  }
  cache.memoClock = 0;
  cache.slotPixelBytes = 0;
  cache.lent = LentRecord{false, 0, nullptr, nullptr};
  for (int32_t i = 0; i < kSmallSlotCount; ++i) {
    cache.smallSlots[i] = {
        false,   0, 0,    cache.smallBlock ? cache.smallBlock + i * kSmallSlotSize : nullptr,
        nullptr, 0, false};
  }
  for (int32_t i = 0; i < kMediumSlotCount; ++i) {
    cache.mediumSlots[i] = {
        false,   0, 0,    cache.mediumBlock ? cache.mediumBlock + i * kMediumSlotSize : nullptr,
        nullptr, 0, false};
  }
  return cache.smallBlock != nullptr && cache.mediumBlock != nullptr;
}

CacheSlot* FillCacheSlot(FileHandle file, const ImageRecord& record) {
  if (record.size < 0 || record.size > kMediumSlotSize) return nullptr;
  CacheSlot* slot = ChooseSlot(PoolFor(record.size));
  if (slot == nullptr || slot->data == nullptr) return nullptr;
  slot->inUse = false;
  DropSlotPixels(slot);
  if (!ReadExactlyAt(file, record.offset, slot->data, record.size)) return nullptr;
  slot->inUse = true;
  slot->key = record.sequence;
  slot->lastUse = imageCache.useClock;
  return slot;
}

bool LoadImageRecord(ImageRecord* record, LoadedImage* image, uint8_t** largeBuffer) {
  if (record->size < 0) return false;
  if (!LoadReadsTheFile(*record)) return LoadSmall(record, image);
  const LentRecord& lent = imageCache.lent;
  if (lent.inUse && lent.key == record->sequence) {
    PrepareImage(lent.data, record, image, lent.pixels);
    return true;
  }
  return LoadLarge(record, image, largeBuffer);
}

void PinCachedRecord(const ImageRecord& record) {
  imageCache.hasPin = record.size >= 0 && record.size <= kMediumSlotSize;
  imageCache.pinnedKey = record.sequence;
}

void UnpinCachedRecord() { imageCache.hasPin = false; }

void LendLargeRecord(const ImageRecord& record, const LoadedImage& image) {
  if (!LoadReadsTheFile(record) || image.data == nullptr) {
    imageCache.lent.inUse = false;
    return;
  }
  imageCache.lent = LentRecord{true, record.sequence, image.data, image.png ? image.bits : nullptr};
}

void ReleaseLargeBuffer(uint8_t** largeBuffer) {
  ForgetLentBlock(*largeBuffer);
  std::free(*largeBuffer);
  *largeBuffer = nullptr;
}
