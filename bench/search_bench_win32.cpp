// Times the window's directory search without its dialog: the same calls that
// the search command and its idle steps make (StartSearch, the start
// directory read before the dialog shows, then SearchStep with the window's
// file budget and a look at the message queue between steps, as the idle
// handler does), over one tree, so that it can be set beside win32_floor.
//
// usage: search_bench [--rounds N] DIRECTORY
// One untimed search warms the caches; then N timed searches. Prints the
// files offered, the records found, the median and the fastest
// milliseconds of a search, and its longest step: how long a Cancel can
// wait for the search to look at its messages.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "scan/catalogue.h"
#include "scan/directory_search.h"
#include "scan/name_pool.h"
#include "timed_rounds_win32.h"

namespace {

// Counts the names the walk put in the file name pool: one per file offered.
int32_t FilesOffered(const Catalogue& catalogue) {
  const NamePool& names = catalogue.fileNames;
  int32_t n = 0;
  for (int32_t at = 0; at < names.used; ++at) {
    if (names.base[at] == '\0') ++n;
  }
  return n;
}

// The longest single step of every search so far, in ms.
double longestStep = 0;

double Since(LARGE_INTEGER from) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

bool Search(const char* start, Catalogue* catalogue) {
  SearchState search;
  if (!StartSearch(search, catalogue)) return false;
  EnterSearchDirectory(search, start);
  ReadSearchListing(search, kFilesBeforeSearchDialog);
  MSG waiting;
  for (;;) {
    // The idle handler's look at the queue; nothing is ever waiting here.
    if (PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) DispatchMessageA(&waiting);
    LARGE_INTEGER from;
    QueryPerformanceCounter(&from);
    const SearchStepResult step = SearchStep(search, kFilesPerSearchStep);
    longestStep = std::max(longestStep, Since(from));
    if (step == SearchStepResult::Done) break;
  }
  StopSearch(search);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  BenchArgs args;
  if (!ParseBenchArgs(argc, argv, "search_bench", &args)) return 2;
  Catalogue catalogue;
  if (!AllocateCatalogue(&catalogue, kCatalogueCapacity) || !Search(args.directory, &catalogue)) {
    fprintf(stderr, "search_bench: out of memory\n");
    return 1;
  }
  const RoundTimes t = TimeRounds(args.rounds, [&] { Search(args.directory, &catalogue); });
  printf("%d files offered, %d records, median %.1f ms, fastest %.1f ms of %d searches\n",
         static_cast<int>(FilesOffered(catalogue)), static_cast<int>(catalogue.count), t.median,
         t.fastest, args.rounds);
  printf("longest step %.2f ms\n", longestStep);
  return 0;
}
