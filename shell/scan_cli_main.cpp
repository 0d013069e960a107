// ravelin-scan: the scanning core over files and directory trees, with one
// line of output per catalogue entry. Other tools read this format.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "image/group_file.h"
#include "image/image_export.h"
#include "image/image_loader.h"
#include "image/image_pixels.h"
#include "image/png_codec.h"
#include "scan/catalogue.h"
#include "scan/catalogue_sort.h"
#include "scan/name_pool.h"
#include "scan/path_walk.h"
#include "scan/resource_groups.h"

namespace {

// Far larger than the program's own pools: a command line may name trees of
// any size, and a name the pools refuse would silently drop a file.
constexpr int32_t kCliDirectoryPoolSize = 8 << 20;
constexpr int32_t kCliFilePoolSize = 64 << 20;

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

const char* StatusName(ScanStatus status) {
  switch (status) {
    case ScanStatus::Ok:
      return "ok";
    case ScanStatus::CannotOpen:
      return "cannot-open";
    case ScanStatus::Damaged:
      return "damaged";
    case ScanStatus::Unsupported:
      return "unsupported";
    case ScanStatus::NoImages:
      return "no-images";
  }
  return "unknown";
}

void PrintUsage(FILE* out) {
  fprintf(out,
          "usage: ravelin-scan [--describe] [--export DIR] [--export-groups DIR] "
          "[--sort large|small|none] [--] PATH...\n");
}

int Usage() {
  PrintUsage(stderr);
  return 2;
}

constexpr char kVersionText[] = "ravelin-scan (Ravelin) 1.5\n";

void PrintHelp() {
  PrintUsage(stdout);
  fputs(
      "Lists the bitmaps, icons and cursors inside Windows executables (NE and PE), one line\n"
      "per entry on standard output: index, kind, offset, size, sequence, area, path.\n"
      "Files that add nothing are named on standard error with the reason.\n"
      "\n"
      "  --describe            add width, height, bitCount, colorCount, bitsSize, unusable\n"
      "  --export DIR          write entry i as DIR/i.bmp, i.ico or i.cur (also --save-all)\n"
      "  --export-groups DIR   write every icon and cursor group as one .ico or .cur\n"
      "  --png DIR             write every drawable entry as DIR/i.png (RGBA)\n"
      "  --sort large|small|none  order the entries by area before printing\n"
      "  --help                print this help and exit\n"
      "  --version             print the name and version and exit\n"
      "\n"
      "Exit status: 0; 1 when a PATH does not exist, an entry cannot be written or the\n"
      "sort was abandoned; 2 on a usage error or an output folder that cannot be written.\n",
      stdout);
}

struct Options {
  bool describe = false;
  const char* exportDirectory = nullptr;
  // Set by --export-groups: every icon and cursor group of every file.
  const char* groupDirectory = nullptr;
  // --png: every drawable entry as an RGBA PNG of what the window shows.
  const char* pngDirectory = nullptr;
  // Set by --sort: the catalogue is put in this order, after the area pass,
  // as the window's sort commands do.
  bool sort = false;
  SortOrder sortOrder = SortOrder::Unsorted;
  bool help = false;
  bool version = false;
  int firstPath = 1;
};

bool ParseSortOrder(const char* name, SortOrder* sortOrder) {
  if (strcmp(name, "large") == 0) {
    *sortOrder = SortOrder::LargeToSmall;
  } else if (strcmp(name, "small") == 0) {
    *sortOrder = SortOrder::SmallToLarge;
  } else if (strcmp(name, "none") == 0) {
    *sortOrder = SortOrder::Unsorted;
  } else {
    return false;
  }
  return true;
}

// Options come before the paths; "--" ends them. False on anything unknown.
bool ParseOptions(int argc, char** argv, Options* options) {
  int i = 1;
  for (; i < argc; ++i) {
    const char* arg = argv[i];
    if (strcmp(arg, "--") == 0) {
      ++i;
      break;
    }
    if (arg[0] != '-' || arg[1] == '\0') break;
    if (strcmp(arg, "--describe") == 0) {
      options->describe = true;
    } else if (strcmp(arg, "--export") == 0 || strcmp(arg, "--save-all") == 0) {
      if (i + 1 >= argc) return false;
      options->exportDirectory = argv[++i];
    } else if (strcmp(arg, "--export-groups") == 0) {
      if (i + 1 >= argc) return false;
      options->groupDirectory = argv[++i];
    } else if (strcmp(arg, "--png") == 0) {
      if (i + 1 >= argc) return false;
      options->pngDirectory = argv[++i];
    } else if (strcmp(arg, "--sort") == 0) {
      if (i + 1 >= argc || !ParseSortOrder(argv[++i], &options->sortOrder)) return false;
      options->sort = true;
    } else if (strcmp(arg, "--help") == 0) {
      options->help = true;
    } else if (strcmp(arg, "--version") == 0) {
      options->version = true;
    } else {
      return false;
    }
  }
  options->firstPath = i;
  return i < argc || options->help || options->version;
}

// A file can be made in folder: tried with a name that no file has yet, so
// that nothing there is replaced, and removed again.
bool CanCreateFileIn(const char* folder) {
  constexpr int kProbeNames = 100;
  for (int n = 0; n < kProbeNames; ++n) {
    char name[40];
    snprintf(name, sizeof name, ".ravelin-scan-probe-%d", n);
    char path[kPathBufferSize];
    if (!JoinPath(folder, name, path)) return false;
    std::error_code ec;
    if (std::filesystem::exists(path, ec) || ec) continue;
    FileHandle probe = CreateFileForWriting(path);
    if (probe == kInvalidFile) return false;
    CloseFile(probe);
    std::filesystem::remove(path, ec);
    return true;
  }
  return false;
}

// An output folder is checked before anything is scanned: one clear error
// rather than a cannot-create line for every entry.
bool OutputFolderUsable(const char* folder) {
  if (folder == nullptr) return true;
  std::error_code ec;
  const char* problem = nullptr;
  if (!std::filesystem::is_directory(folder, ec)) {
    problem = std::filesystem::exists(folder, ec) ? "not a folder" : "no such folder";
  } else if (!CanCreateFileIn(folder)) {
    problem = "cannot be written";
  }
  if (problem == nullptr) return true;
  fprintf(stderr, "ravelin-scan: output folder %s: %s\n", folder, problem);
  return false;
}

// On a terminal, one line on standard error says how far the walk has come,
// rewritten in place; it is cleared before any other line goes there, and at
// the end. Elsewhere it is never written, so the status lines stay as they are.
class ProgressLine {
 public:
  void Start() { shown_ = StandardErrorIsTerminal(); }
  void Update(long long filesSeen, int entriesFound) {
    if (!shown_) return;
    auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < kInterval) return;
    last_ = now;
    drawn_ = true;
    int width = fprintf(stderr, "\rfiles seen: %lld, entries found: %d", filesSeen, entriesFound);
    if (width > 0 && width - 1 < width_) fprintf(stderr, "%*s", width_ - (width - 1), "");
    if (width > 0 && width - 1 > width_) width_ = width - 1;
    fflush(stderr);
  }
  void Clear() {
    if (width_ == 0) return;
    fprintf(stderr, "\r%*s\r", width_, "");
    width_ = 0;
  }

 private:
  static constexpr std::chrono::milliseconds kInterval{100};
  bool shown_ = false;
  bool drawn_ = false;
  int width_ = 0;
  std::chrono::steady_clock::time_point last_;
};
ProgressLine progress;

const char* ExportExtension(ImageKind kind) {
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

// The loader leaves the fields it did not reach as they were. Preparing the
// same bytes a second time over a differently filled image tells which ones
// it wrote: those agree, the untouched ones keep the two different fills.
struct Reached {
  bool width, height, bitCount, colorCount, bitsSize;
};

Reached FieldsReached(const LoadedImage& image, const ImageRecord& record) {
  LoadedImage other;
  memset(static_cast<void*>(&other), 0x5A, sizeof other);
  ImageRecord copy = record;
  PrepareImage(image.data, &copy, &other);
  return {image.width == other.width, image.height == other.height,
          image.bitCount == other.bitCount, image.colorCount == other.colorCount,
          image.bitsSize == other.bitsSize};
}

void PrintDescription(bool loaded, const LoadedImage& image, const ImageRecord& record) {
  Reached reached{};
  if (loaded) reached = FieldsReached(image, record);
  auto field = [](bool set, long long value) {
    if (set)
      printf("\t%lld", value);
    else
      printf("\t");
  };
  field(reached.width, image.width);
  field(reached.height, image.height);
  field(reached.bitCount, image.bitCount);
  field(reached.colorCount, image.colorCount);
  field(reached.bitsSize, image.bitsSize);
  printf("\t%d", !loaded || image.unusable ? 1 : 0);
}

// Writes entry index as DIR/index.ext through the save command's writer.
// False only when a file could not be created or written.
bool ExportEntry(const char* directory, int32_t index, const ImageRecord& record,
                 const LoadedImage& image, const char* sourcePath) {
  char name[32];
  snprintf(name, sizeof name, "%d.%s", index, ExportExtension(record.kind));
  char path[kPathBufferSize];
  if (!JoinPath(directory, name, path)) {
    fprintf(stderr, "cannot-create\t%d\t%s%c%s\n", index, directory, PathSeparator(), name);
    return false;
  }
  switch (WriteImageFile(path, record, image)) {
    case ExportStatus::Written:
      return true;
    case ExportStatus::Refused:
      fprintf(stderr, "export-refused\t%d\t%s\n", index, sourcePath);
      return true;
    case ExportStatus::CannotCreate:
      break;
  }
  fprintf(stderr, "cannot-create\t%d\t%s\n", index, path);
  return false;
}

// Writes entry index as DIR/index.png, 8-bit RGBA. An entry that cannot be
// drawn is refused as by ExportEntry. False only when a file could not be
// created or written.
bool WritePngEntry(const char* directory, int32_t index, const LoadedImage& image,
                   const char* sourcePath) {
  char name[32];
  snprintf(name, sizeof name, "%d.png", index);
  char path[kPathBufferSize];
  if (!JoinPath(directory, name, path)) {
    fprintf(stderr, "cannot-create\t%d\t%s%c%s\n", index, directory, PathSeparator(), name);
    return false;
  }
  std::vector<uint8_t> rgba;
  std::vector<uint8_t> png;
  if (image.width <= 0 || image.height <= 0 || !ImageToRgba(image, &rgba) ||
      !EncodePng(rgba.data(), static_cast<uint32_t>(image.width),
                 static_cast<uint32_t>(image.height), &png) ||
      png.size() > 0x7FFFFFFF) {
    fprintf(stderr, "export-refused\t%d\t%s\n", index, sourcePath);
    return true;
  }
  FileHandle file = CreateFileForWriting(path);
  bool ok = file != kInvalidFile;
  if (ok) {
    ok = WriteBytes(file, png.data(), static_cast<int32_t>(png.size()));
    CloseFile(file);
  }
  if (!ok) fprintf(stderr, "cannot-create\t%d\t%s\n", index, path);
  return ok;
}

void PrintPathLine(const char* status, const char* directory, const char* fileName) {
  progress.Clear();
  char path[kPathBufferSize];
  if (JoinPath(directory, fileName, path)) {
    // Most files of a tree get a line, so it is put together without the
    // format parser.
    fputs(status, stderr);
    fputc('\t', stderr);
    fputs(path, stderr);
    fputc('\n', stderr);
  } else {
    fprintf(stderr, "%s\t%s%c%s\n", status, directory, PathSeparator(), fileName);
  }
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

// Writes each group name of the file once (its first language) as
// DIR/<file name>.<group name>.ico or .cur. False only when a file could not
// be created or written.
bool ExportGroups(const char* outDirectory, const char* directory, const char* fileName) {
  char source[kPathBufferSize];
  if (!JoinPath(directory, fileName, source)) return true;
  FileHandle file = OpenFileForReading(source);
  if (file == kInvalidFile) return true;
  bool ok = true;
  FileGroups groups;
  if (ReadFileGroups(file, &groups)) {
    std::set<std::string> written;
    GroupContents contents;
    std::vector<uint8_t> bytes;
    for (const ResourceGroup& group : groups.groups) {
      const bool cursor = group.kind == ImageKind::Cursor;
      const std::string key = group.name + (cursor ? ".cur" : ".ico");
      if (!written.insert(key).second) continue;
      ReadGroupContents(file, groups, group, &contents);
      for (uint16_t id : contents.leftOut) {
        fprintf(stderr, "member-missing\t%u\t%s\t%s\n", id, group.name.c_str(), source);
      }
      if (!BuildGroupFile(file, group.kind, contents, &bytes)) {
        fprintf(stderr, "group-empty\t%s\t%s\n", group.name.c_str(), source);
        continue;
      }
      const std::string name = std::string(fileName) + "." + key;
      char path[kPathBufferSize];
      if (!JoinPath(outDirectory, name.c_str(), path)) {
        fprintf(stderr, "cannot-create\t%s\t%s%c%s\n", group.name.c_str(), outDirectory,
                PathSeparator(), name.c_str());
        ok = false;
      } else if (WriteGroupFile(path, bytes) != ExportStatus::Written) {
        fprintf(stderr, "cannot-create\t%s\t%s\n", group.name.c_str(), path);
        ok = false;
      }
    }
  }
  CloseFile(file);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  // A write per status line costs as much as scanning the file it names; the
  // lines go out together, at the latest when the program ends.
  static char statusBuffer[1 << 16];
  setvbuf(stderr, statusBuffer, _IOFBF, sizeof statusBuffer);
  Options options;
  if (!ParseOptions(argc, argv, &options)) return Usage();
  if (options.help) {
    PrintHelp();
    return 0;
  }
  if (options.version) {
    fputs(kVersionText, stdout);
    return 0;
  }
  if (!OutputFolderUsable(options.exportDirectory) || !OutputFolderUsable(options.groupDirectory) ||
      !OutputFolderUsable(options.pngDirectory)) {
    return 2;
  }
  const bool load =
      options.describe || options.exportDirectory != nullptr || options.pngDirectory != nullptr;
  if (load && !InitImageLoader()) {
    fprintf(stderr, "ravelin-scan: out of memory\n");
    return 1;
  }

  if (!directoryNamePool.Reset(kCliDirectoryPoolSize) || !fileNamePool.Reset(kCliFilePoolSize)) {
    fprintf(stderr, "ravelin-scan: out of memory\n");
    return 1;
  }
  std::unique_ptr<ImageRecord[]> catalogue(new ImageRecord[kCatalogueCapacity]);
  catalogueFill.fillCount = 0;

  bool groupWriteFailed = false;
  std::string lastDirectory;
  const char* directoryRef = nullptr;
  long long filesSeen = 0;
  auto offer = [&](const char* directory, const char* fileName) {
    progress.Update(++filesSeen, catalogueFill.fillCount);
    if (directoryRef == nullptr || lastDirectory != directory) {
      directoryRef = directoryNamePool.Append(directory);
      lastDirectory = directory;
    }
    const char* nameRef = fileNamePool.Append(fileName);
    if (directoryRef == nullptr || nameRef == nullptr) {
      PrintPathLine("cannot-open", directory, fileName);
      return;
    }
    ScanStatus status = ScanStatus::Ok;
    AddStatus added =
        AddFileToCatalogue(kCatalogueCapacity, directoryRef, catalogue.get(), nameRef, &status);
    if (added == AddStatus::CatalogueFull) {
      PrintPathLine("catalogue-full", directory, fileName);
    } else if (status != ScanStatus::Ok) {
      PrintPathLine(StatusName(status), directory, fileName);
    }
    if (options.groupDirectory != nullptr &&
        !ExportGroups(options.groupDirectory, directory, fileName)) {
      groupWriteFailed = true;
    }
  };
  progress.Start();
  int status = 0;
  for (int i = options.firstPath; i < argc; ++i) {
    // A named path that is not there gets its cannot-open line and makes the
    // run fail; files inside a tree that cannot be opened do not.
    std::error_code ec;
    if (!std::filesystem::exists(argv[i], ec)) status = 1;
    WalkPath(argv[i], offer);
  }
  progress.Clear();
  if (groupWriteFailed) status = 1;

  if (options.sort) {
    ImageRecord* table = catalogue.release();
    const SortOutcome sorted = SortRecords(&table, catalogueFill.fillCount, options.sortOrder);
    catalogue.reset(table);
    if (sorted == SortOutcome::AreasUnreadable) {
      // As in the window: the order stays, the areas found so far are kept.
      fprintf(stderr, "sort-abandoned\n");
      status = 1;
    } else if (sorted == SortOutcome::NoMemory) {
      fprintf(stderr, "ravelin-scan: out of memory\n");
      return 1;
    }
  }
  uint8_t* largeBuffer = nullptr;
  for (int32_t i = 0; i < catalogueFill.fillCount; ++i) {
    // The area column is the scan's (with --sort, the area pass's), before a
    // load rewrites it.
    const ImageRecord r = catalogue[i];
    char path[kPathBufferSize];
    if (!JoinPath(r.directory, r.fileName, path)) path[0] = '\0';
    PrintRecordLine(i, r, path);
    if (load) {
      LoadedImage image;
      memset(static_cast<void*>(&image), 0xA5, sizeof image);
      bool loaded = LoadImageRecord(&catalogue[i], &image, &largeBuffer);
      if (!loaded) fprintf(stderr, "cannot-load\t%d\t%s\n", i, path);
      if (options.describe) PrintDescription(loaded, image, r);
      if (loaded && options.exportDirectory != nullptr &&
          !ExportEntry(options.exportDirectory, i, catalogue[i], image, path)) {
        status = 1;
      }
      if (loaded && options.pngDirectory != nullptr &&
          !WritePngEntry(options.pngDirectory, i, image, path)) {
        status = 1;
      }
    }
    printf("\n");
  }
  ReleaseLargeBuffer(&largeBuffer);
  return status;
}
