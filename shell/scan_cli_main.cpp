// ravelin-scan: the scanning core over files and directory trees, with one
// line of output per catalogue entry. Other tools read this format.
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "image/group_file.h"
#include "image/image_export.h"
#include "image/image_loader.h"
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

int Usage() {
  fprintf(stderr,
          "usage: ravelin-scan [--describe] [--export DIR] [--export-groups DIR] "
          "[--sort large|small|none] [--] "
          "PATH...\n");
  return 2;
}

struct Options {
  bool describe = false;
  const char* exportDirectory = nullptr;
  // Set by --export-groups: every icon and cursor group of every file.
  const char* groupDirectory = nullptr;
  // Set by --sort: the catalogue is put in this order, after the area pass,
  // as the window's sort commands do.
  bool sort = false;
  SortOrder sortOrder = SortOrder::Unsorted;
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
    } else if (strcmp(arg, "--sort") == 0) {
      if (i + 1 >= argc || !ParseSortOrder(argv[++i], &options->sortOrder)) return false;
      options->sort = true;
    } else {
      return false;
    }
  }
  options->firstPath = i;
  return i < argc;
}

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

void PrintPathLine(const char* status, const char* directory, const char* fileName) {
  char path[kPathBufferSize];
  if (JoinPath(directory, fileName, path)) {
    fprintf(stderr, "%s\t%s\n", status, path);
  } else {
    fprintf(stderr, "%s\t%s%c%s\n", status, directory, PathSeparator(), fileName);
  }
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
  const bool load = options.describe || options.exportDirectory != nullptr;
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
  auto offer = [&](const char* directory, const char* fileName) {
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
  for (int i = options.firstPath; i < argc; ++i) WalkPath(argv[i], offer);

  int status = groupWriteFailed ? 1 : 0;
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
    printf("%d\t%s\t%d\t%d\t%d\t%d\t%s", i, KindName(r.kind), r.offset, r.size, r.sequence, r.area,
           path);
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
    }
    printf("\n");
  }
  ReleaseLargeBuffer(&largeBuffer);
  return status;
}
