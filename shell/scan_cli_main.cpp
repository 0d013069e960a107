// ravelin-scan: the scanning core over files and directory trees, with one
// line of output per catalogue entry. Other tools read this format.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "scan/catalogue.h"
#include "scan/name_pool.h"
#include "scan/path_walk.h"

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
  fprintf(stderr, "usage: ravelin-scan PATH...\n");
  return 2;
}

void PrintPathLine(const char* status, const char* directory, const char* fileName) {
  char path[kPathBufferSize];
  if (JoinPath(directory, fileName, path)) {
    fprintf(stderr, "%s\t%s\n", status, path);
  } else {
    fprintf(stderr, "%s\t%s%c%s\n", status, directory, PathSeparator(), fileName);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  if (first < argc && strcmp(argv[first], "--") == 0) ++first;
  else if (first < argc && argv[first][0] == '-' && argv[first][1] != '\0') return Usage();
  if (first >= argc) return Usage();

  if (!directoryNamePool.Reset(kCliDirectoryPoolSize) || !fileNamePool.Reset(kCliFilePoolSize)) {
    fprintf(stderr, "ravelin-scan: out of memory\n");
    return 1;
  }
  std::unique_ptr<ImageRecord[]> catalogue(new ImageRecord[kCatalogueCapacity]);
  catalogueFill.fillCount = 0;

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
  };
  for (int i = first; i < argc; ++i) WalkPath(argv[i], offer);

  for (int32_t i = 0; i < catalogueFill.fillCount; ++i) {
    const ImageRecord& r = catalogue[i];
    char path[kPathBufferSize];
    if (!JoinPath(r.directory, r.fileName, path)) path[0] = '\0';
    printf("%d\t%s\t%d\t%d\t%d\t%d\t%s\n", i, KindName(r.kind), r.offset, r.size, r.sequence,
           r.area, path);
  }
  return 0;
}
