#pragma once
#include <cstdint>
#include <memory>

#include "scan/file_services.h"
#include "scan/name_pool.h"

struct ScanWindow;
// Frees a scan window; defined where the window is.
struct ScanWindowDeleter {
  void operator()(ScanWindow* window) const;
};

enum class ImageKind : int32_t { Bitmap = 1, Icon = 2, Cursor = 3 };

// One catalogue entry: where one bitmap, icon or cursor resource lies.
struct ImageRecord {
  ImageKind kind;
  // File position of the resource data: the BITMAPINFOHEADER, or for a
  // cursor the 4-byte hotspot in front of it.
  int32_t offset;
  int32_t size;
  // Discovery number, unique for the run.
  int32_t sequence;
  // width x height of the visible image; 0 while not known.
  int32_t area;
  // Shared by every record of one file: the same pool entries.
  const char* directory;
  const char* fileName;
};

inline constexpr int32_t kCatalogueCapacity = 20000;

// The table of found images and how far it is filled. Its owner gives it a
// table once; the fills only write into it, so a refill costs no memory. The
// valid records are slots 0 to count - 1.
struct Catalogue {
  // A sort replaces the table: users take it from here each time.
  std::unique_ptr<ImageRecord[]> records;
  int32_t capacity = 0;
  int32_t count = 0;
  // Never reset, so sequence numbers rise across the fills of a run.
  int32_t nextSequence = 0;
  // The name of the first file of this fill whose scan said Partial, so the
  // window can say that images may be missing; nullptr when none did. Each
  // fill that empties the table clears it.
  const char* damagedFile = nullptr;
  // The directory paths and file names the records refer to. A fill that
  // empties the table gives them new arenas; one that appends keeps them.
  NamePool directoryNames;
  NamePool fileNames;
  // The read buffer the fills scan through, had at the first scan: each
  // catalogue that is filled side by side with another has its own.
  std::unique_ptr<ScanWindow, ScanWindowDeleter> window;
};

// Gives catalogue an empty table of capacity slots. False, with no table,
// when the memory cannot be had; the sequence numbers go on either way.
bool AllocateCatalogue(Catalogue* catalogue, int32_t capacity);

enum class ScanStatus : int32_t {
  Ok = 0,
  CannotOpen = 1,
  Damaged = 2,
  Unsupported = 3,
  NoImages = 4,
  // Images were recorded, but others the file names lie outside it: a file
  // cut short. The records made are kept, as on Ok.
  Partial = 5
};
enum class AddStatus : int32_t { Done = 0, CannotOpen = 1, Unsupported = 2, CatalogueFull = 3 };

// Joins directory and name into out (kPathBufferSize bytes), adding the
// separator when the directory is not empty and does not end in one. False,
// with out untouched, when the join is longer than 259 characters.
bool JoinPath(const char* directory, const char* fileName, char* out);

// Opens the joined path for reading. A join that does not fit is not opened:
// the file it names cannot be reached through the path buffer.
FileHandle OpenInDirectory(const char* directory, const char* fileName);

// Scans one file into the free slots of catalogue, from its count on, and
// counts the records made into catalogue->count; on Ok and Partial *count
// receives how many. Their directory and file name are left for the caller to
// set. Any other status leaves the count and *count as they were.
ScanStatus ScanFile(const char* directory, const char* fileName, Catalogue* catalogue,
                    int32_t* count);

// scanStatus, when given, receives what ScanFile said (Ok when the file was
// not opened because the catalogue was full).
AddStatus AddFileToCatalogue(Catalogue* catalogue, const char* directory, const char* fileName,
                             ScanStatus* scanStatus = nullptr);

// One file scanned into a catalogue of its own: a worker of a parallel walk
// scans into one, from count 0 and sequence 0, and hands it on.
struct ScannedFile {
  ScanStatus status = ScanStatus::Ok;
  const ImageRecord* records = nullptr;
  int32_t count = 0;
  // How far the scan moved its catalogue's sequence numbers.
  int32_t sequencesUsed = 0;
};

// Puts scan into catalogue as AddFileToCatalogue would have scanned it
// there: the records, their sequence numbers moved on from the catalogue's,
// and what the status means. The caller has made sure that they fit with
// room to spare, for a scan that filled the catalogue ends differently.
AddStatus AddScannedFile(Catalogue* catalogue, const char* directory, const char* fileName,
                         const ScannedFile& scan);
