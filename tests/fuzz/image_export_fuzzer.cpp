// libFuzzer target for the export: the resource (laid out as for the loader
// target) is prepared and written as a .bmp, .ico or .cur file, which is read
// back by a reader of its own here. A written file must be what its header
// says: sizes, offsets and counts consistent, the resource bytes unchanged,
// any padding zero, and every structure the header announces inside the
// file. A refused entry must create no file.
#include <algorithm>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/image_export.h"
#include "image/image_loader.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "exported file broken: %s\n", what);
    __builtin_trap();
  }
}

// Little-endian reads that stop the run on any read outside the file.
struct FileBytes {
  std::vector<uint8_t> b;
  uint32_t U8(int64_t at) const {
    Require(at >= 0 && at < static_cast<int64_t>(b.size()), "field past the end");
    return b[static_cast<size_t>(at)];
  }
  uint32_t U16(int64_t at) const { return U8(at) | (U8(at + 1) << 8); }
  uint32_t U32(int64_t at) const { return U16(at) | (U16(at + 2) << 16); }
  uint32_t Big32(int64_t at) const {
    return (U8(at) << 24) | (U8(at + 1) << 16) | (U8(at + 2) << 8) | U8(at + 3);
  }
  int64_t size() const { return static_cast<int64_t>(b.size()); }
};

bool ReadBack(const std::string& path, FileBytes* out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) out->b.insert(out->b.end(), chunk, chunk + n);
  fclose(f);
  return true;
}

// What the DIB at `at` needs, as a reader of the file computes it: header,
// colour masks behind a plain header, colour table, then pixel rows (or a
// compressed stream of biSizeImage bytes) and, for icons, the AND mask.
struct DibNeeds {
  int64_t tableEnd;  // from the DIB's start
  int64_t pixels;
  int64_t mask;
};

DibNeeds ReadDibNeeds(const FileBytes& f, int64_t at, bool iconLike) {
  const int64_t biSize = f.U32(at);
  Require(biSize >= 40, "header shorter than BITMAPINFOHEADER");
  const int64_t width = static_cast<int32_t>(f.U32(at + 4));
  const int64_t height = static_cast<int32_t>(f.U32(at + 8));
  const int64_t bitCount = f.U16(at + 14);
  const uint32_t compression = f.U32(at + 16);
  const int64_t sizeImage = f.U32(at + 20);
  const int64_t clrUsed = f.U32(at + 32);
  Require(f.U16(at + 12) == 1, "planes");
  Require(width >= 0, "negative width");
  int64_t masks = 0;
  if (biSize == 40 && compression == 3) masks = 12;
  if (biSize == 40 && compression == 6) masks = 16;
  const int64_t colours = clrUsed != 0 ? clrUsed : (bitCount <= 8 ? int64_t{1} << bitCount : 0);
  int64_t rows = height < 0 ? -height : height;
  if (iconLike) rows /= 2;
  const int64_t stride = (width * bitCount + 31) / 32 * 4;
  const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
  DibNeeds n{};
  n.tableEnd = biSize + masks + 4 * colours;
  if (iconLike || uncompressed) {
    n.pixels = stride * rows;
    if (!iconLike && sizeImage > n.pixels) n.pixels = sizeImage;
  } else {
    n.pixels = sizeImage != 0 ? sizeImage : stride * rows;
  }
  n.mask = iconLike ? (width + 31) / 32 * 4 * rows : 0;
  return n;
}

void CheckBitmapFile(const FileBytes& f, const uint8_t* resource, int32_t size) {
  Require(f.size() == 14 + int64_t{size}, "file is header and resource");
  Require(f.U8(0) == 'B' && f.U8(1) == 'M', "signature");
  Require(f.U32(2) == f.size(), "bfSize");
  Require(f.U32(6) == 0, "reserved words");
  const int64_t offBits = f.U32(10);
  Require(memcmp(f.b.data() + 14, resource, static_cast<size_t>(size)) == 0, "resource changed");
  const DibNeeds n = ReadDibNeeds(f, 14, false);
  Require(offBits == 14 + n.tableEnd, "bfOffBits is not the end of the colour table");
  Require(n.pixels <= f.size() - offBits, "pixels past the end");
}

void CheckPng(const FileBytes& f, int64_t at, int64_t end) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (int i = 0; i < 8; ++i) Require(f.U8(at + i) == kSignature[i], "PNG signature");
  Require(f.Big32(at + 8) == 13 && f.Big32(at + 12) == 0x49484452, "IHDR first");
  const uint32_t width = f.Big32(at + 16);
  const uint32_t height = f.Big32(at + 20);
  Require(width != 0 && height != 0, "PNG size");
  Require(f.U8(6) == (width & 0xFF) && f.U8(7) == (height & 0xFF), "entry size of the PNG");
  for (int64_t chunk = at + 8;;) {
    const int64_t length = f.Big32(chunk);
    Require(length <= end - chunk - 12, "chunk past the end");
    const uint32_t type = f.Big32(chunk + 4);
    chunk += 12 + length;
    if (type == 0x49454E44) break;
  }
}

void CheckIconFile(const FileBytes& f, ImageKind kind, const uint8_t* resource, int32_t size,
                   const LoadedImage& image) {
  Require(f.size() >= 22, "directory");
  Require(f.U16(0) == 0, "reserved");
  Require(f.U16(2) == (kind == ImageKind::Cursor ? 2u : 1u), "type");
  Require(f.U16(4) == 1, "one image");
  Require(f.U8(9) == 0, "entry reserved byte");
  const int64_t bytes = f.U32(14);
  const int64_t offset = f.U32(18);
  Require(offset == 22, "image offset");
  Require(bytes == f.size() - offset, "dwBytesInRes is the rest of the file");
  const int64_t hotspot = kind == ImageKind::Cursor ? 4 : 0;
  // The image's own bytes: what follows them in the resource (an NE
  // resource's alignment) is left out, a mask cut short is completed.
  const int64_t body = std::min<int64_t>(size - hotspot, bytes);
  Require(body >= 0, "body length");
  Require(memcmp(f.b.data() + 22, resource + hotspot, static_cast<size_t>(body)) == 0,
          "resource changed");
  for (int64_t i = 22 + body; i < f.size(); ++i)
    Require(f.b[static_cast<size_t>(i)] == 0, "padding");
  if (kind == ImageKind::Cursor) {
    Require(f.U16(10) == (resource[0] & 0xFFu) && f.U16(12) == (resource[2] & 0xFFu), "hotspot");
  }
  if (image.unusable) {
    Require(bytes == body, "a PNG entry is not padded");
    CheckPng(f, 22, f.size());
    return;
  }
  const DibNeeds n = ReadDibNeeds(f, 22, true);
  const int64_t width = static_cast<int32_t>(f.U32(26));
  const int64_t height = static_cast<int32_t>(f.U32(30));
  const int64_t rows = (height < 0 ? -height : height) / 2;
  Require(f.U8(6) == (width & 0xFF) && f.U8(7) == (rows & 0xFF), "entry size");
  if (kind == ImageKind::Icon) Require(f.U16(12) == f.U16(22 + 14), "entry bit count");
  Require(n.tableEnd <= bytes, "colour table past the end");
  Require(n.pixels <= bytes - n.tableEnd, "colour bitmap past the end");
  Require(n.mask <= bytes - n.tableEnd - n.pixels, "AND mask past the end");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string& path = FuzzScratchFile("out").path;
  FuzzResource resource = SplitFuzzResource(data, size);
  if (!resource.ok) return 0;
  ImageRecord record{resource.kind, 0, resource.size, 0, -1, "", ""};
  LoadedImage image;
  PrepareImage(resource.bytes.get(), &record, &image);
  unlink(path.c_str());
  const ExportStatus status = WriteImageFile(path.c_str(), record, image);
  FileBytes file;
  const bool exists = ReadBack(path, &file);
  Require(status != ExportStatus::CannotCreate, "cannot create in a writable folder");
  if (status == ExportStatus::Refused) {
    Require(!exists, "a refused entry left a file");
    return 0;
  }
  Require(exists, "written but not there");
  if (resource.kind == ImageKind::Bitmap) {
    Require(!image.unusable, "an unusable bitmap was written");
    CheckBitmapFile(file, resource.bytes.get(), resource.size);
  } else {
    CheckIconFile(file, resource.kind, resource.bytes.get(), resource.size, image);
  }
  return 0;
}
