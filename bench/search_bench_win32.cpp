// Times the window's directory search without its dialog: the same calls that
// the search command and its idle steps make (StartSearch, the start
// directory read before the dialog shows, then SearchStep with the window's
// file budget and a look at the message queue between steps, as the idle
// handler does), over one tree, so that it can be set beside win32_floor.
//
// usage: search_bench [--rounds N] DIRECTORY
// One untimed search warms the caches; then N timed searches. Prints the
// files offered, the records found and the median and the fastest
// milliseconds of a search.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "scan/catalogue.h"
#include "scan/directory_search.h"
#include "scan/name_pool.h"

namespace {

// Counts the names the walk put in the file name pool: one per file offered.
int32_t FilesOffered() {
  int32_t n = 0;
  for (int32_t at = 0; at < fileNamePool.used; ++at) {
    if (fileNamePool.base[at] == '\0') ++n;
  }
  return n;
}

bool Search(const char* start, ImageRecord* catalogue) {
  if (!StartSearch(catalogue, kCatalogueCapacity)) return false;
  EnterSearchDirectory(start);
  ReadSearchListing(kFilesBeforeSearchDialog);
  MSG waiting;
  for (;;) {
    // The idle handler's look at the queue; nothing is ever waiting here.
    if (PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) DispatchMessageA(&waiting);
    if (SearchStep(kFilesPerSearchStep) == SearchStepResult::Done) break;
  }
  StopSearch();
  return true;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 5;
  int i = 1;
  if (i + 1 < argc && strcmp(argv[i], "--rounds") == 0) {
    rounds = std::max(1, atoi(argv[i + 1]));
    i += 2;
  }
  if (i + 1 != argc) {
    fprintf(stderr, "usage: search_bench [--rounds N] DIRECTORY\n");
    return 2;
  }
  const char* start = argv[i];
  std::unique_ptr<ImageRecord[]> catalogue(new ImageRecord[kCatalogueCapacity]);
  if (!Search(start, catalogue.get())) {
    fprintf(stderr, "search_bench: out of memory\n");
    return 1;
  }
  std::vector<double> times;
  for (int r = 0; r < rounds; ++r) {
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    Search(start, catalogue.get());
    QueryPerformanceCounter(&to);
    times.push_back(Milliseconds(from, to));
  }
  std::sort(times.begin(), times.end());
  printf("%d files offered, %d records, median %.1f ms, fastest %.1f ms of %d searches\n",
         static_cast<int>(FilesOffered()), static_cast<int>(catalogueFill.fillCount),
         times[times.size() / 2], times[0], rounds);
  return 0;
}
