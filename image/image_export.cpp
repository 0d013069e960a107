#include "image/image_export.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "image/image_pixels.h"
#include "image/png_codec.h"
#include "scan/byte_reader.h"
#include "scan/dib_header.h"
#include "scan/little_endian.h"
#include "scan/png_header.h"
#include "scan/resource_groups.h"

namespace {

constexpr int64_t kHotspotSize = 4;

// ICO/CUR directory: reserved, type, image count; then one 16-byte entry.
constexpr uint16_t kIconType = 1;
constexpr uint16_t kCursorType = 2;

// A PNG is its signature and then chunks (length, type, data, CRC), the
// first IHDR (13 bytes: width and height big-endian, bit depth, colour
// type, ...), the last IEND.
constexpr uint32_t kIend = 0x49454E44;

struct IconEntry {
  uint32_t width;
  uint32_t height;
  uint32_t colourCount;
  uint32_t planesOrHotspotX;
  uint32_t bitCountOrHotspotY;
  uint32_t bytes;
};

void PutIconHeader(ImageKind kind, const IconEntry& e, uint8_t* out) {
  memset(out, 0, kIconFileHeaderSize);
  PutLe16(out + 2, kind == ImageKind::Cursor ? kCursorType : kIconType);
  PutLe16(out + 4, 1);
  out[6] = static_cast<uint8_t>(e.width);
  out[7] = static_cast<uint8_t>(e.height);
  out[8] = static_cast<uint8_t>(e.colourCount);
  PutLe16(out + 10, e.planesOrHotspotX);
  PutLe16(out + 12, e.bitCountOrHotspotY);
  PutLe32(out + 14, e.bytes);
  PutLe32(out + 18, kIconFileHeaderSize);
}

// Icons (and cursors) of Vista and later may store a whole PNG instead of a
// DIB. An .ico or .cur entry may hold one as it is, sized from the PNG's own
// header (256 is written as 0, like every width of 256 in an icon
// directory).
bool PlanPngEntry(const ImageRecord& record, const LoadedImage& image, ExportPlan* plan) {
  const int64_t headerAt = record.kind == ImageKind::Cursor ? kHotspotSize : 0;
  ByteReader all(image.data, image.dataSize);
  if (!all.Has(headerAt, 8)) return false;
  ByteReader png(image.data + headerAt, image.dataSize - headerAt);
  uint32_t width = 0;
  uint32_t height = 0;
  if (!PngImageSize(png.data(), png.size(), &width, &height)) return false;
  if (png.BigU32(8) != 13) return false;
  // The chunks must reach IEND inside the bytes: a PNG cut short would make
  // a file that no reader can open.
  int64_t at = 8;
  for (;;) {
    const int64_t length = png.BigU32(at);
    const uint32_t type = png.BigU32(at + 4);
    if (!png.ok() || !png.Has(at + 8, length + 4)) return false;
    at += 8 + length + 4;
    if (type == kIend) break;
  }
  if (width == 0 || height == 0) return false;
  // Grey, RGB, palette, grey and alpha, RGBA: the colour types a reader
  // knows.
  const uint32_t colourType = png.U8(25);
  if (colourType > 6 || colourType == 1 || colourType == 5) return false;
  IconEntry e{};
  e.width = width;
  e.height = height;
  if (record.kind == ImageKind::Cursor) {
    e.planesOrHotspotX = all.U16(0) & 0xFF;
    e.bitCountOrHotspotY = all.U16(2) & 0xFF;
  } else {
    // As icon files and groups state a PNG entry, whatever its own depth.
    e.planesOrHotspotX = 1;
    e.bitCountOrHotspotY = 32;
  }
  // The PNG ends at IEND; an NE resource's alignment may have padded it.
  e.bytes = static_cast<uint32_t>(at);
  PutIconHeader(record.kind, e, plan->header);
  plan->headerSize = kIconFileHeaderSize;
  plan->body = image.data + headerAt;
  plan->bodySize = static_cast<int32_t>(at);
  plan->padBytes = 0;
  return true;
}

}  // namespace

void DefaultSaveName(const SaveState& save, ImageKind kind, char* out) {
  switch (kind) {
    case ImageKind::Bitmap:
      snprintf(out, kPathBufferSize, "Bitmap%d.bmp", save.bitmapCounter);
      return;
    case ImageKind::Icon:
      snprintf(out, kPathBufferSize, "Icon%d.ico", save.iconCounter);
      return;
    case ImageKind::Cursor:
      snprintf(out, kPathBufferSize, "Cursor%d.cur", save.cursorCounter);
      return;
  }
  out[0] = '\0';
}

const char* SaveDialogTitle(ImageKind kind) {
  switch (kind) {
    case ImageKind::Bitmap:
      return "Save bitmap";
    case ImageKind::Icon:
      return "Save icon";
    case ImageKind::Cursor:
      return "Save cursor";
  }
  return "Save";
}

bool PlanExport(const ImageRecord& record, const LoadedImage& image, ExportPlan* plan) {
  if (image.data == nullptr || record.size < 0 || image.dataSize != record.size) return false;
  if (record.kind != ImageKind::Bitmap && record.kind != ImageKind::Icon &&
      record.kind != ImageKind::Cursor) {
    return false;
  }
  // A PNG goes into its file as it is, decoded or not.
  if (image.unusable || image.png) {
    return record.kind != ImageKind::Bitmap && PlanPngEntry(record, image, plan);
  }
  if (image.kind != record.kind) return false;

  const int64_t headerAt = image.header - image.data;
  const int64_t bitsFromHeader = image.bits - image.header;
  if (record.kind == ImageKind::Bitmap) {
    uint8_t* h = plan->header;
    memset(h, 0, kBitmapFileHeaderSize);
    h[0] = 'B';
    h[1] = 'M';
    PutLe32(h + 2,
            static_cast<uint32_t>(kBitmapFileHeaderSize + static_cast<int64_t>(record.size)));
    PutLe32(h + 10, static_cast<uint32_t>(kBitmapFileHeaderSize + bitsFromHeader));
    plan->headerSize = kBitmapFileHeaderSize;
    plan->body = image.header;
    plan->bodySize = record.size;
    plan->padBytes = 0;
    return true;
  }

  int64_t bodySize = record.size - headerAt;
  // An NE resource's length is rounded up to its alignment; the file states
  // the image's own bytes, as readers check that size against the header.
  const int64_t ownBytes = ImageBytesOfMember(image.header, bodySize);
  if (ownBytes > 0 && ownBytes < bodySize) bodySize = ownBytes;
  int64_t pad = 0;
  if (!image.maskComplete) {
    const int64_t maskBytes = image.height * DibStride(image.width, 1);
    pad = bitsFromHeader + image.bitsSize + maskBytes - bodySize;
    if (pad < 0 || pad > 0x7FFFFFFF - bodySize) return false;
  }
  IconEntry e{};
  e.width = static_cast<uint32_t>(image.width);
  e.height = static_cast<uint32_t>(image.height);
  if (record.kind == ImageKind::Cursor) {
    e.planesOrHotspotX = image.hotspotX & 0xFF;
    e.bitCountOrHotspotY = image.hotspotY & 0xFF;
  } else {
    e.colourCount = image.bitCount == 1 ? 2 : image.bitCount == 4 ? 16 : 0;
    e.planesOrHotspotX = 1;
    e.bitCountOrHotspotY = image.bitCount;
  }
  e.bytes = static_cast<uint32_t>(bodySize + pad);
  PutIconHeader(record.kind, e, plan->header);
  plan->headerSize = kIconFileHeaderSize;
  plan->body = image.header;
  plan->bodySize = static_cast<int32_t>(bodySize);
  plan->padBytes = static_cast<int32_t>(pad);
  return true;
}

ExportStatus WriteImageFile(const char* path, const ImageRecord& record, const LoadedImage& image) {
  ExportPlan plan;
  if (!PlanExport(record, image, &plan)) return ExportStatus::Refused;
  const FilePiece pieces[] = {
      {plan.header, plan.headerSize}, {plan.body, plan.bodySize}, {nullptr, plan.padBytes}};
  return WriteWholeFile(path, pieces, 3) ? ExportStatus::Written : ExportStatus::CannotCreate;
}

bool BuildPngFile(const LoadedImage& image, std::vector<uint8_t>* png) {
  png->clear();
  std::vector<uint8_t> rgba;
  if (image.width <= 0 || image.height <= 0 || !ImageToRgba(image, &rgba) ||
      !EncodePng(rgba.data(), static_cast<uint32_t>(image.width),
                 static_cast<uint32_t>(image.height), png)) {
    return false;
  }
  // WriteBytes takes a 32-bit count.
  return png->size() <= 0x7FFFFFFF;
}

ExportStatus WriteEntryFile(const char* path, const ImageRecord& record, const LoadedImage& image,
                            SaveFormat format) {
  if (format == SaveFormat::Classic) return WriteImageFile(path, record, image);
  std::vector<uint8_t> png;
  if (!BuildPngFile(image, &png)) return ExportStatus::Refused;
  const FilePiece piece = {png.data(), static_cast<int32_t>(png.size())};
  return WriteWholeFile(path, &piece, 1) ? ExportStatus::Written : ExportStatus::CannotCreate;
}

namespace {

// The extension of the last name in path, without its dot; empty when the
// name has none. A name ending in a dot has none either. Both separators
// count on every platform, so a name decides alike everywhere.
const char* ExtensionOf(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  const char* dot = strrchr(name, '.');
  return dot == nullptr ? name + strlen(name) : dot + 1;
}

bool SameLetters(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if ((*a | 0x20) != (*b | 0x20)) return false;
  }
  return *a == *b;
}

}  // namespace

const char* ClassicExtension(ImageKind kind) {
  switch (kind) {
    case ImageKind::Bitmap:
      return "bmp";
    case ImageKind::Icon:
      return "ico";
    case ImageKind::Cursor:
      return "cur";
  }
  return "bin";
}

SaveNameCheck ResolveSaveTarget(ImageKind kind, const char* typed, int32_t typeIndex,
                                SaveTarget* target) {
  const bool pngType = typeIndex == kSaveTypePng;
  const char* ext = ExtensionOf(typed);
  std::string path(typed, static_cast<size_t>(ext - typed));
  const char* own = ClassicExtension(kind);
  target->format = pngType ? SaveFormat::Png : SaveFormat::Classic;
  if (SameLetters(ext, "png")) {
    target->format = SaveFormat::Png;
    path += ext;
  } else if (SameLetters(ext, own)) {
    path += pngType ? "png" : ext;
  } else if (SameLetters(ext, "bmp") || SameLetters(ext, "ico") || SameLetters(ext, "cur")) {
    return SaveNameCheck::WrongExtension;
  } else if (*ext == '\0') {
    if (path.empty() || path.back() != '.') path += '.';
    path += pngType ? "png" : own;
  } else {
    path += ext;
  }
  if (path.size() >= sizeof target->path) return SaveNameCheck::TooLong;
  memcpy(target->path, path.c_str(), path.size() + 1);
  return SaveNameCheck::Ok;
}

const char* SaveNameRefusal(ImageKind kind) {
  switch (kind) {
    case ImageKind::Bitmap:
      return "A bitmap is saved as .bmp or .png, not under this name";
    case ImageKind::Icon:
      return "An icon is saved as .ico or .png, not under this name";
    case ImageKind::Cursor:
      return "A cursor is saved as .cur or .png, not under this name";
  }
  return "Can't save under this name";
}

ExportStatus SaveToPath(SaveState& save, const char* path, const ImageRecord& record,
                        const LoadedImage& image, SaveFormat format) {
  snprintf(save.lastSavePath, sizeof save.lastSavePath, "%s", path);
  ExportStatus status = WriteEntryFile(path, record, image, format);
  if (status != ExportStatus::Written) return status;
  switch (record.kind) {
    case ImageKind::Bitmap:
      ++save.bitmapCounter;
      break;
    case ImageKind::Icon:
      ++save.iconCounter;
      break;
    case ImageKind::Cursor:
      ++save.cursorCounter;
      break;
  }
  return status;
}
