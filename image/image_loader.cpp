#include "image/image_loader.h"

#include <cstdlib>

#include "shell/wait_cursor.h"

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

bool ReadExactly(FileHandle file, int32_t offset, uint8_t* buffer, int32_t size) {
  if (!SeekFromStart(file, offset)) return false;
  return ReadBytes(file, buffer, size) == size;
}

bool LoadLarge(ImageRecord* record, LoadedImage* image, uint8_t** largeBuffer) {
  FileHandle file = OpenInDirectory(record->directory, record->fileName);
  if (file == kInvalidFile) return false;
  // The old block may hold the image on show; it goes only once the new
  // bytes are in.
  auto* block = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(record->size)));
  bool ok = block != nullptr && ReadExactly(file, record->offset, block, record->size);
  CloseFile(file);
  if (!ok) {
    std::free(block);
    return false;
  }
  std::free(*largeBuffer);
  *largeBuffer = block;
  PrepareImage(block, record, image);
  return true;
}

bool LoadSmall(ImageRecord* record, LoadedImage* image) {
  ++imageCache.useClock;
  Pool pool = PoolFor(record->size);
  for (int32_t i = 0; i < pool.count; ++i) {
    CacheSlot& slot = pool.slots[i];
    if (slot.inUse && slot.key == record->sequence) {
      PrepareImage(slot.data, record, image);
      slot.lastUse = imageCache.useClock;
      return true;
    }
  }
  FileHandle file = OpenInDirectory(record->directory, record->fileName);
  if (file == kInvalidFile) return false;
  CacheSlot* slot = FillCacheSlot(file, *record);
  CloseFile(file);
  if (slot == nullptr) return false;
  PrepareImage(slot->data, record, image);
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
  for (int32_t i = 0; i < kSmallSlotCount; ++i) {
    cache.smallSlots[i] = {false, 0, 0,
                           cache.smallBlock ? cache.smallBlock + i * kSmallSlotSize : nullptr};
  }
  for (int32_t i = 0; i < kMediumSlotCount; ++i) {
    cache.mediumSlots[i] = {false, 0, 0,
                            cache.mediumBlock ? cache.mediumBlock + i * kMediumSlotSize : nullptr};
  }
  return cache.smallBlock != nullptr && cache.mediumBlock != nullptr;
}

CacheSlot* FillCacheSlot(FileHandle file, const ImageRecord& record) {
  if (record.size < 0 || record.size > kMediumSlotSize) return nullptr;
  CacheSlot* slot = ChooseSlot(PoolFor(record.size));
  if (slot == nullptr || slot->data == nullptr) return nullptr;
  slot->inUse = false;
  if (!ReadExactly(file, record.offset, slot->data, record.size)) return nullptr;
  slot->inUse = true;
  slot->key = record.sequence;
  slot->lastUse = imageCache.useClock;
  return slot;
}

bool LoadImageRecord(ImageRecord* record, LoadedImage* image, uint8_t** largeBuffer) {
  if (record->size < 0) return false;
  if (record->size <= kMediumSlotSize) return LoadSmall(record, image);
  SetWaitCursor(true);
  bool ok = LoadLarge(record, image, largeBuffer);
  SetWaitCursor(false);
  return ok;
}

void PinCachedRecord(const ImageRecord& record) {
  imageCache.hasPin = record.size >= 0 && record.size <= kMediumSlotSize;
  imageCache.pinnedKey = record.sequence;
}

void UnpinCachedRecord() { imageCache.hasPin = false; }

void ReleaseLargeBuffer(uint8_t** largeBuffer) {
  std::free(*largeBuffer);
  *largeBuffer = nullptr;
}
