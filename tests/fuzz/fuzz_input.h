#pragma once
// The input layout of the image fuzz targets: one byte picks the kind
// (bitmap, icon, cursor), the rest is the resource, copied into a heap
// block of exactly its size.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "scan/catalogue.h"

struct FuzzResource {
  bool ok = false;
  ImageKind kind = ImageKind::Bitmap;
  int32_t size = 0;
  std::unique_ptr<uint8_t[]> bytes;
};

inline FuzzResource SplitFuzzResource(const uint8_t* data, size_t size) {
  FuzzResource r;
  if (size < 1 || size - 1 > 1u << 24) return r;
  r.kind = static_cast<ImageKind>(data[0] % 3 + 1);
  r.size = static_cast<int32_t>(size - 1);
  // new[] of 0 still gives a distinct block that may not be read.
  r.bytes.reset(new uint8_t[size - 1]);
  if (size > 1) memcpy(r.bytes.get(), data + 1, size - 1);
  r.ok = true;
  return r;
}

// The kind byte the seeds carry.
inline uint8_t FuzzKindByte(ImageKind kind) {
  return static_cast<uint8_t>(static_cast<int>(kind) - 1);
}
