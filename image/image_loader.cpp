#include "image/image_loader.h"

#include <cstdlib>
#include <cstring>

#include "image/png_codec.h"

namespace {

struct Pool {
  CacheSlot* slots;
  int32_t count;
};

Pool PoolFor(ImageCache& cache, int32_t size) {
  if (size <= kSmallSlotSize) return {cache.smallSlots, kSmallSlotCount};
  return {cache.mediumSlots, kMediumSlotCount};
}

bool IsPinned(const ImageCache& cache, const CacheSlot& slot) {
  return cache.hasPin && slot.inUse && slot.key == cache.pinnedKey;
}

// The first free slot, else the one used longest ago (lowest index on a
// tie), never the slot of the image on show.
CacheSlot* ChooseSlot(const ImageCache& cache, Pool pool) {
  for (int32_t i = 0; i < pool.count; ++i) {
    if (!pool.slots[i].inUse) return &pool.slots[i];
  }
  CacheSlot* oldest = nullptr;
  for (int32_t i = 0; i < pool.count; ++i) {
    CacheSlot& slot = pool.slots[i];
    if (IsPinned(cache, slot)) continue;
    if (oldest == nullptr || slot.lastUse < oldest->lastUse) oldest = &slot;
  }
  return oldest;
}

void DropSlotPixels(ImageCache& cache, CacheSlot* slot) {
  std::free(slot->pixels);
  cache.slotPixelBytes -= slot->pixelBytes;
  slot->pixels = nullptr;
  slot->pixelBytes = 0;
  slot->pixelsTried = false;
}

bool DecodeRecordPng(const uint8_t* bytes, const ImageRecord& record, uint32_t width,
                     uint32_t height, uint8_t* out);

void DropMemo(ImageCache& cache, PixelMemo* memo) {
  std::free(memo->pixels);
  cache.slotPixelBytes -= memo->pixelBytes;
  *memo = PixelMemo{false, 0, 0, nullptr, 0};
}

// Gives up decoded pixels until needed more bytes fit the budget or nothing
// more can go: first the memo's (copies only), the entry used longest ago
// first, then those of the slots used longest ago, never those of keep or
// of the image on show.
void MakeRoomForPixels(ImageCache& cache, int64_t needed, const CacheSlot* keep) {
  while (cache.slotPixelBytes + needed > kSlotPixelBudget) {
    PixelMemo* oldestMemo = nullptr;
    for (PixelMemo& memo : cache.pixelMemo) {
      if (memo.inUse && (oldestMemo == nullptr || memo.lastUse < oldestMemo->lastUse)) {
        oldestMemo = &memo;
      }
    }
    if (oldestMemo != nullptr) {
      DropMemo(cache, oldestMemo);
      continue;
    }
    CacheSlot* oldest = nullptr;
    const Pool pools[] = {{cache.smallSlots, kSmallSlotCount},
                          {cache.mediumSlots, kMediumSlotCount}};
    for (const Pool& pool : pools) {
      for (int32_t i = 0; i < pool.count; ++i) {
        CacheSlot& slot = pool.slots[i];
        if (slot.pixels == nullptr || &slot == keep || IsPinned(cache, slot)) continue;
        if (oldest == nullptr || slot.lastUse < oldest->lastUse) oldest = &slot;
      }
    }
    if (oldest == nullptr) return;
    DropSlotPixels(cache, oldest);
  }
}

PixelMemo* FindMemo(ImageCache& cache, int32_t key) {
  for (PixelMemo& memo : cache.pixelMemo) {
    if (memo.inUse && memo.key == key) return &memo;
  }
  return nullptr;
}

// Keeps a copy of a large record's decoded pixels; nothing when memory is
// short, which only costs a decode next time.
void RememberPixels(ImageCache& cache, int32_t key, const uint8_t* pixels, int64_t bytes) {
  if (bytes > kSlotPixelBudget) return;
  MakeRoomForPixels(cache, bytes, nullptr);
  PixelMemo* chosen = nullptr;
  for (PixelMemo& memo : cache.pixelMemo) {
    if (!memo.inUse) {
      chosen = &memo;
      break;
    }
    if (chosen == nullptr || memo.lastUse < chosen->lastUse) chosen = &memo;
  }
  DropMemo(cache, chosen);
  auto* copy = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes)));
  if (copy == nullptr) return;
  memcpy(copy, pixels, static_cast<size_t>(bytes));
  *chosen = PixelMemo{true, key, ++cache.memoClock, copy, bytes};
  cache.slotPixelBytes += bytes;
}

// A large PNG record's pixels into out: copied from the memo when it has
// them, else decoded and remembered.
bool LargePngPixels(ImageCache& cache, const uint8_t* bytes, const ImageRecord& record,
                    uint32_t width, uint32_t height, uint8_t* out, int64_t pixelBytes) {
  if (PixelMemo* memo = FindMemo(cache, record.sequence)) {
    memcpy(out, memo->pixels, static_cast<size_t>(pixelBytes));
    memo->lastUse = ++cache.memoClock;
    return true;
  }
  if (!DecodeRecordPng(bytes, record, width, height, out)) return false;
  RememberPixels(cache, record.sequence, out, pixelBytes);
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
const uint8_t* SlotPixels(ImageCache& cache, CacheSlot* slot, const ImageRecord& record) {
  uint32_t width = 0;
  uint32_t height = 0;
  if (!RecordPngSize(slot->data, record, &width, &height)) return nullptr;
  if (slot->pixelsTried) return slot->pixels;
  slot->pixelsTried = true;
  const int64_t bytes = PngPixelBytes(width, height);
  if (bytes == 0) return nullptr;
  MakeRoomForPixels(cache, bytes, slot);
  auto* pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes)));
  if (pixels == nullptr) return nullptr;
  if (!DecodeRecordPng(slot->data, record, width, height, pixels)) {
    std::free(pixels);
    return nullptr;
  }
  slot->pixels = pixels;
  slot->pixelBytes = bytes;
  cache.slotPixelBytes += bytes;
  return pixels;
}

// Large blocks keep a PNG's decoded pixels after the record's bytes, from
// an offset rounded up for 4-byte pixel access.
int64_t PixelsOffset(int32_t recordSize) {
  return (static_cast<int64_t>(recordSize) + 15) / 16 * 16;
}

// A lent record's bytes go with the block that holds them.
void ForgetLentBlock(ImageCache& cache, const uint8_t* block) {
  if (block != nullptr && cache.lent.data == block) cache.lent.inUse = false;
}

bool LoadLarge(ImageCache& cache, ImageRecord* record, LoadedImage* image, uint8_t** largeBuffer) {
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
      if (LargePngPixels(cache, block, *record, width, height, block + at, pixelBytes))
        pixels = block + at;
    }
  }
  ForgetLentBlock(cache, *largeBuffer);
  std::free(*largeBuffer);
  *largeBuffer = block;
  PrepareImage(block, record, image, pixels);
  return true;
}

bool LoadSmall(ImageCache& cache, ImageRecord* record, LoadedImage* image) {
  ++cache.useClock;
  Pool pool = PoolFor(cache, record->size);
  for (int32_t i = 0; i < pool.count; ++i) {
    CacheSlot& slot = pool.slots[i];
    if (slot.inUse && slot.key == record->sequence) {
      PrepareImage(slot.data, record, image, SlotPixels(cache, &slot, *record));
      slot.lastUse = cache.useClock;
      return true;
    }
  }
  FileHandle file = OpenInDirectory(record->directory, record->fileName);
  if (file == kInvalidFile) return false;
  CacheSlot* slot = FillCacheSlot(cache, file, *record);
  CloseFile(file);
  if (slot == nullptr) return false;
  PrepareImage(slot->data, record, image, SlotPixels(cache, slot, *record));
  return true;
}

}  // namespace

ImageCache::~ImageCache() {
  std::free(smallBlock);
  std::free(mediumBlock);
  for (CacheSlot& slot : smallSlots) std::free(slot.pixels);
  for (CacheSlot& slot : mediumSlots) std::free(slot.pixels);
  for (PixelMemo& memo : pixelMemo) std::free(memo.pixels);
}

bool InitImageLoader(ImageCache& cache) {
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

CacheSlot* FillCacheSlot(ImageCache& cache, FileHandle file, const ImageRecord& record) {
  if (record.size < 0 || record.size > kMediumSlotSize) return nullptr;
  CacheSlot* slot = ChooseSlot(cache, PoolFor(cache, record.size));
  if (slot == nullptr || slot->data == nullptr) return nullptr;
  slot->inUse = false;
  DropSlotPixels(cache, slot);
  if (!ReadExactlyAt(file, record.offset, slot->data, record.size)) return nullptr;
  slot->inUse = true;
  slot->key = record.sequence;
  slot->lastUse = cache.useClock;
  return slot;
}

bool LoadImageRecord(ImageCache& cache, ImageRecord* record, LoadedImage* image,
                     uint8_t** largeBuffer) {
  if (record->size < 0) return false;
  if (!LoadReadsTheFile(*record)) return LoadSmall(cache, record, image);
  const LentRecord& lent = cache.lent;
  if (lent.inUse && lent.key == record->sequence) {
    PrepareImage(lent.data, record, image, lent.pixels);
    return true;
  }
  return LoadLarge(cache, record, image, largeBuffer);
}

void PinCachedRecord(ImageCache& cache, const ImageRecord& record) {
  cache.hasPin = record.size >= 0 && record.size <= kMediumSlotSize;
  cache.pinnedKey = record.sequence;
}

void UnpinCachedRecord(ImageCache& cache) { cache.hasPin = false; }

void LendLargeRecord(ImageCache& cache, const ImageRecord& record, const LoadedImage& image) {
  if (!LoadReadsTheFile(record) || image.data == nullptr) {
    cache.lent.inUse = false;
    return;
  }
  cache.lent = LentRecord{true, record.sequence, image.data, image.png ? image.bits : nullptr};
}

void ReleaseLargeBuffer(ImageCache& cache, uint8_t** largeBuffer) {
  ForgetLentBlock(cache, *largeBuffer);
  std::free(*largeBuffer);
  *largeBuffer = nullptr;
}
