#pragma once
#include <cstdint>
#include <vector>

#include "image/image_loader.h"
#include "scan/file_services.h"

// The save command's memory for the run, which the window's run keeps: one
// number per kind for the next default name, raised only by a successful
// save of that kind, and the last path the user confirmed, which seeds the
// next dialog.
struct SaveState {
  int32_t bitmapCounter = 0;
  int32_t iconCounter = 0;
  int32_t cursorCounter = 0;
  // Whole icon and cursor groups number their default names apart.
  int32_t iconGroupCounter = 0;
  int32_t cursorGroupCounter = 0;
  char lastSavePath[kPathBufferSize] = {};
};

// "Bitmap3.bmp", "Icon0.ico", "Cursor12.cur": the kind's counter in decimal.
// out holds kPathBufferSize bytes.
void DefaultSaveName(const SaveState& save, ImageKind kind, char* out);
// "Save bitmap", "Save icon" or "Save cursor".
const char* SaveDialogTitle(ImageKind kind);

inline constexpr int32_t kBitmapFileHeaderSize = 14;
inline constexpr int32_t kIconFileHeaderSize = 22;  // directory and one entry

// What goes into an exported file: the header, then body bytes of the
// resource unchanged, then padBytes zero bytes that complete an AND mask the
// resource cut short (so the file is valid and draws those rows opaque).
struct ExportPlan {
  uint8_t header[kIconFileHeaderSize];
  int32_t headerSize;
  const uint8_t* body;
  int32_t bodySize;
  int32_t padBytes;
};

// Builds the plan for record as loaded into image. False for an entry that
// would make a broken file: an unusable image other than an icon or cursor
// holding a PNG, or an image that was not loaded from this record.
bool PlanExport(const ImageRecord& record, const LoadedImage& image, ExportPlan* plan);

// "bmp", "ico" or "cur": the extension of the kind's classic file.
const char* ClassicExtension(ImageKind kind);

enum class ExportStatus : int32_t { Written = 0, CannotCreate = 1, Refused = 2 };

// Writes the entry to path, replacing any file there. Refused entries create
// nothing; CannotCreate covers a failed create and a failed write, either of
// which leaves whatever was at path as it was.
ExportStatus WriteImageFile(const char* path, const ImageRecord& record, const LoadedImage& image);

// What a save writes: the resource behind its .bmp, .ico or .cur header, or
// its pixels as a PNG file.
enum class SaveFormat : int32_t { Classic = 0, Png = 1 };

// The entry's pixels as a PNG file of 8-bit RGBA, as the view shows them
// (ImageToRgba). False for an image whose pixels cannot be read.
bool BuildPngFile(const LoadedImage& image, std::vector<uint8_t>* png);

// Writes the entry in format to path, replacing any file there; Refused
// creates nothing.
ExportStatus WriteEntryFile(const char* path, const ImageRecord& record, const LoadedImage& image,
                            SaveFormat format);

// The save command after the dialog was confirmed with path: remembers the
// path (even when the write then fails), writes, and raises the kind's
// counter only when the file was written.
ExportStatus SaveToPath(SaveState& save, const char* path, const ImageRecord& record,
                        const LoadedImage& image, SaveFormat format = SaveFormat::Classic);

// The save dialog's file types, by their 1-based place in its list.
inline constexpr int32_t kSaveTypeClassic = 1;
inline constexpr int32_t kSaveTypePng = 2;

// What a confirmed save dialog writes, and under which name.
struct SaveTarget {
  SaveFormat format;
  char path[kPathBufferSize];
};

enum class SaveNameCheck : int32_t {
  Ok = 0,
  // The extension names a format the entry cannot be written as.
  WrongExtension = 1,
  // The name with its extension added does not fit the path buffer.
  TooLong = 2,
};

// Decides format and name from the typed path and the chosen type. An
// extension of a format decides it (".png", or the kind's own; another
// kind's is refused), except that the kind's own extension under the PNG
// type becomes ".png", as if the type's choice had renamed it. A name
// without an extension gets the chosen type's; one with an unknown
// extension is written as the chosen type under that name.
SaveNameCheck ResolveSaveTarget(ImageKind kind, const char* typed, int32_t typeIndex,
                                SaveTarget* target);

// The error box text for a name ResolveSaveTarget refused.
const char* SaveNameRefusal(ImageKind kind);
