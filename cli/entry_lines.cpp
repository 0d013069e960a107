#include "cli/entry_lines.h"

#include <cstdio>
#include <cstring>

namespace {

const char* KindName(ImageKind kind) {
  switch (kind) {
    case ImageKind::Bitmap:
      return "bitmap";
    case ImageKind::Icon:
      return "icon";
    case ImageKind::Cursor:
      return "cursor";
  }
  return "unknown";
}

// The record lines are most of what is printed, so they are put together
// without the format parser; each reads as printf's "%d\t%s\t%d\t%d\t%d\t%d\t%s".
char* AppendNumber(char* at, int32_t value) {
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *at++ = '-';
  while (n > 0) *at++ = digits[--n];
  *at++ = '\t';
  return at;
}

}  // namespace

const char* StatusName(ScanStatus status) {
  switch (status) {
    case ScanStatus::Ok:
      return "ok";
    case ScanStatus::CannotOpen:
      return "cannot-open";
    case ScanStatus::Damaged:
    case ScanStatus::Partial:
      return "damaged";
    case ScanStatus::Unsupported:
      return "unsupported";
    case ScanStatus::NoImages:
      return "no-images";
  }
  return "unknown";
}

void PrintRecordLine(int32_t index, const ImageRecord& r, const char* path) {
  char line[kPathBufferSize + 128];
  char* at = AppendNumber(line, index);
  size_t kindLength = strlen(KindName(r.kind));
  memcpy(at, KindName(r.kind), kindLength);
  at += kindLength;
  *at++ = '\t';
  at = AppendNumber(at, r.offset);
  at = AppendNumber(at, r.size);
  at = AppendNumber(at, r.sequence);
  at = AppendNumber(at, r.area);
  size_t pathLength = strnlen(path, kPathBufferSize - 1);
  memcpy(at, path, pathLength);
  at += pathLength;
  fwrite(line, 1, static_cast<size_t>(at - line), stdout);
}

void PrintDescription(bool loaded, const LoadedImage& image) {
  auto field = [&](PreparedField which, long long value) {
    if (loaded && (image.filled & which) != 0)
      printf("\t%lld", value);
    else
      printf("\t");
  };
  field(kPreparedWidth, image.width);
  field(kPreparedHeight, image.height);
  field(kPreparedBitCount, image.bitCount);
  field(kPreparedColorCount, image.colorCount);
  field(kPreparedBitsSize, image.bitsSize);
  printf("\t%d", !loaded || image.unusable ? 1 : 0);
}
