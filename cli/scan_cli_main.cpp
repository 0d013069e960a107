// ravelin-scan: the scanning core over files and directory trees, with one
// line of output per catalogue entry. Other tools read this format.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cli/entry_files.h"
#include "cli/entry_lines.h"
#include "cli/options.h"
#include "cli/output_folder.h"
#include "cli/parallel_scan.h"
#include "cli/tree_prefetch.h"
#include "image/image_loader.h"
#include "scan/catalogue.h"
#include "scan/catalogue_sort.h"
#include "scan/duplicate_fold.h"
#include "scan/name_pool.h"
#include "scan/path_walk.h"

namespace {

// Far larger than the program's own pools: a command line may name trees of
// any size, and a name the pools refuse would silently drop a file.
constexpr int32_t kCliDirectoryPoolSize = 8 << 20;
constexpr int32_t kCliFilePoolSize = 64 << 20;

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

// A directory that names the same place whatever the current directory is:
// the walk moves that while the workers open files.
bool IsAbsoluteDirectory(const char* directory) {
  return IsPathSeparator(directory[0]) ||
         (directory[0] != '\0' && directory[1] == ':' && IsPathSeparator(directory[2]));
}

// Folders read ahead of a walk at once: a disk's queue, not the processors,
// sets how many requests are worth having in flight.
constexpr int kPrefetchThreads = 8;

// The named paths that are folders, in order, as absolute paths: the walk
// moves the current directory while the prefetch reads.
std::vector<std::string> FoldersNamed(int first, int argc, char** argv) {
  std::vector<std::string> folders;
  for (int i = first; i < argc; ++i) {
    std::error_code ec;
    if (!std::filesystem::is_directory(argv[i], ec)) continue;
    // As the walk names them: with links resolved, as the current directory
    // reads back.
    std::filesystem::path real = std::filesystem::canonical(argv[i], ec);
    if (!ec) folders.push_back(real.string());
  }
  return folders;
}

}  // namespace

int main(int argc, char** argv) {
  // A write per status line costs as much as scanning the file it names; the
  // lines go out together, at the latest when the program ends.
  static char statusBuffer[1 << 16];
  setvbuf(stderr, statusBuffer, _IOFBF, sizeof statusBuffer);
#ifdef SIGXFSZ
  // A file size limit then fails the write (EFBIG), which is reported and
  // leaves no cut file, rather than ending the program mid-file.
  signal(SIGXFSZ, SIG_IGN);
#endif
  Options options;
  if (!ParseOptions(argc, argv, &options)) return Usage();
  if (options.help) {
    PrintHelp();
    return 0;
  }
  if (options.version) {
    PrintVersion();
    return 0;
  }
  if (!OutputFolderUsable(options.exportDirectory) || !OutputFolderUsable(options.groupDirectory) ||
      !OutputFolderUsable(options.pngDirectory)) {
    return 2;
  }
  // The walk changes the current folder and groups are written during it, so
  // a folder named relative to where the tool started is fixed now.
  const std::string exportFolder = AbsoluteFolder(options.exportDirectory);
  const std::string groupFolder = AbsoluteFolder(options.groupDirectory);
  const std::string pngFolder = AbsoluteFolder(options.pngDirectory);
  if (options.exportDirectory != nullptr) options.exportDirectory = exportFolder.c_str();
  if (options.groupDirectory != nullptr) options.groupDirectory = groupFolder.c_str();
  if (options.pngDirectory != nullptr) options.pngDirectory = pngFolder.c_str();
  const bool load =
      options.describe || options.exportDirectory != nullptr || options.pngDirectory != nullptr;
  // The loads run on this thread only; the workers scan.
  ImageCache cache;
  if (load && !InitImageLoader(cache)) {
    fprintf(stderr, "ravelin-scan: out of memory\n");
    return 1;
  }

  Catalogue catalogue;
  if (!catalogue.directoryNames.Reset(kCliDirectoryPoolSize) ||
      !catalogue.fileNames.Reset(kCliFilePoolSize) ||
      !AllocateCatalogue(&catalogue, kCatalogueCapacity)) {
    fprintf(stderr, "ravelin-scan: out of memory\n");
    return 1;
  }

  bool groupWriteFailed = false;
  // What the status lines and the group export make of one file, in the
  // order the walk offered the files.
  auto finishFile = [&](const char* directory, const char* fileName, AddStatus added,
                        ScanStatus status) {
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
  std::string lastDirectory;
  const char* directoryRef = nullptr;
  // The pools' copies of an offered file's names; false when one is refused.
  auto keepNames = [&](const char* directory, const char* fileName, const char** nameRef) {
    if (directoryRef == nullptr || lastDirectory != directory) {
      directoryRef = catalogue.directoryNames.Append(directory);
      lastDirectory = directory;
    }
    *nameRef = catalogue.fileNames.Append(fileName);
    return directoryRef != nullptr && *nameRef != nullptr;
  };
  long long filesSeen = 0;
  auto scanHere = [&](const char* directory, const char* fileName) {
    progress.Update(++filesSeen, catalogue.count);
    const char* nameRef = nullptr;
    if (!keepNames(directory, fileName, &nameRef)) {
      PrintPathLine("cannot-open", directory, fileName);
      return;
    }
    ScanStatus status = ScanStatus::Ok;
    AddStatus added = AddFileToCatalogue(&catalogue, directoryRef, nameRef, &status);
    finishFile(directory, fileName, added, status);
  };
  // A worker's scan goes into the catalogue as it stands; one that might
  // fill it is done again here, where the catalogue's room shapes the scan.
  auto takeScanned = [&](OfferedFile& file) {
    progress.Update(++filesSeen, catalogue.count);
    if (file.directory == nullptr) {
      PrintPathLine("cannot-open", file.offeredDirectory.c_str(), file.offeredName.c_str());
      return;
    }
    ScanStatus status = ScanStatus::Ok;
    AddStatus added = AddStatus::CatalogueFull;
    const int64_t room = static_cast<int64_t>(catalogue.capacity) - catalogue.count;
    // Records made and dropped alike count: each took a sequence number.
    if (file.scan && file.sequencesUsed < room) {
      status = file.status;
      const ScannedFile scanned{file.status, file.records.data(),
                                static_cast<int32_t>(file.records.size()), file.sequencesUsed};
      added = AddScannedFile(&catalogue, file.directory, file.fileName, scanned);
    } else {
      added = AddFileToCatalogue(&catalogue, file.directory, file.fileName, &status);
    }
    finishFile(file.directory, file.fileName, added, status);
  };
  ParallelScan workers(options.jobs, takeScanned);
  if (options.jobs > 1 && !workers.Start()) {
    fprintf(stderr, "ravelin-scan: out of memory\n");
    return 1;
  }
  // The sequential path stays as it was: one request at a time.
  TreePrefetch prefetch(kPrefetchThreads);
  if (options.jobs > 1) prefetch.Start(FoldersNamed(options.firstPath, argc, argv));
  auto offer = [&](const char* directory, const char* fileName) {
    if (options.jobs <= 1) {
      scanHere(directory, fileName);
      return;
    }
    if (!IsAbsoluteDirectory(directory)) {
      // Opened from where the tool was started, which only holds now.
      workers.Drain();
      scanHere(directory, fileName);
      return;
    }
    prefetch.Passed(directory);
    OfferedFile file;
    if (!keepNames(directory, fileName, &file.fileName)) {
      file.offeredDirectory = directory;
      file.offeredName = fileName;
      file.fileName = nullptr;
    } else {
      file.directory = directoryRef;
      // Once the catalogue is full it stays full: nothing to read, nor to
      // read ahead.
      file.scan = catalogue.count < catalogue.capacity;
      if (!file.scan) prefetch.Stop();
    }
    workers.Offer(std::move(file));
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
  workers.Drain();
  prefetch.Stop();
  progress.Clear();
  if (groupWriteFailed) status = 1;

  if (options.sort) {
    const SortOutcome sorted = SortRecords(&catalogue, options.sortOrder);
    if (sorted == SortOutcome::AreasUnreadable) {
      // As in the window: the order stays, the areas found so far are kept.
      fprintf(stderr, "sort-abandoned\n");
      status = 1;
    } else if (sorted == SortOutcome::NoMemory) {
      fprintf(stderr, "ravelin-scan: out of memory\n");
      return 1;
    }
  }
  // With --unique only the first entry of each set of equal images is
  // listed, in output order; its index is still its place in the catalogue.
  DuplicateFold fold;
  if (options.unique && (!fold.Read(catalogue) || !fold.Arrange(catalogue))) {
    fprintf(stderr, "ravelin-scan: out of memory\n");
    return 1;
  }
  const ShownEntries shown{&catalogue, options.unique ? &fold : nullptr};
  uint8_t* largeBuffer = nullptr;
  for (int32_t position = 0; position < shown.count(); ++position) {
    const int32_t i = shown.Entry(position);
    // The area column is the scan's (with --sort, the area pass's), before a
    // load rewrites it.
    const ImageRecord r = catalogue.records[i];
    char path[kPathBufferSize];
    if (!JoinPath(r.directory, r.fileName, path)) path[0] = '\0';
    PrintRecordLine(i, r, path);
    if (load) {
      LoadedImage image;
      bool loaded = LoadImageRecord(cache, &catalogue.records[i], &image, &largeBuffer);
      if (!loaded) fprintf(stderr, "cannot-load\t%d\t%s\n", i, path);
      if (options.describe) PrintDescription(loaded, image);
      if (loaded && options.exportDirectory != nullptr &&
          !ExportEntry(options.exportDirectory, i, catalogue.records[i], image, path)) {
        status = 1;
      }
      if (loaded && options.pngDirectory != nullptr &&
          !WritePngEntry(options.pngDirectory, i, image, path)) {
        status = 1;
      }
    }
    printf("\n");
  }
  ReleaseLargeBuffer(cache, &largeBuffer);
  return status;
}
