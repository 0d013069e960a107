// A full catalogue in the Finder: 20000 entries taken from the executables
// of one folder (Wine's own DLLs by default), offered again and again until
// the catalogue is full, in the real main window. Times the first sort,
// which reads the area of every entry the scan could not size, then the two
// area sorts, a full paint of a 300 x 700 Finder, one wheel row and one
// page.
//
// usage: finder_entries_bench [--rounds N] DIRECTORY
// Prints the first sort's milliseconds, then the median and the fastest of
// each of the others.
#include <windows.h>

#include <cstdio>
#include <deque>
#include <string>

#include "res/resource.h"
#include "scan/catalogue.h"
#include "shell/finder_window_win32.h"
#include "shell/main_window_win32.h"
#include "shell/navigation_win32.h"
#include "support/dialog_driver_win32.h"
#include "timed_rounds_win32.h"

namespace {

std::deque<std::string> names;

// Offers the folder's executables until the catalogue is full; false when
// the folder holds none.
bool Fill(const char* folder) {
  Catalogue& catalogue = mainState.catalogue;
  catalogue.count = 0;
  names.emplace_back(folder);
  const char* directory = names.back().c_str();
  for (;;) {
    const int32_t before = catalogue.count;
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA((std::string(folder) + "\\*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool full = false;
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      names.emplace_back(found.cFileName);
      full = AddFileToCatalogue(&catalogue, directory, names.back().c_str()) ==
             AddStatus::CatalogueFull;
    } while (!full && FindNextFileA(find, &found));
    FindClose(find);
    if (full) return true;
    if (catalogue.count == before) return false;
  }
}

void SetFinderClient(int width, int height) {
  for (int round = 0; round < 4; ++round) {
    RECT window, client;
    GetWindowRect(mainState.finder, &window);
    GetClientRect(mainState.finder, &client);
    if (client.right == width && client.bottom == height) return;
    SetWindowPos(mainState.finder, nullptr, 0, 0, window.right - window.left + width - client.right,
                 window.bottom - window.top + height - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpMessages();
  }
}

void Print(const char* what, const RoundTimes& t) {
  printf("  %-34s median %9.2f ms, fastest %9.2f ms\n", what, t.median, t.fastest);
}

}  // namespace

int main(int argc, char** argv) {
  BenchArgs args;
  if (!ParseBenchArgs(argc, argv, "finder_entries_bench", &args)) return 2;
  HACCEL accelerators = nullptr;
  if (!StartRavelin(GetModuleHandleA(nullptr), &accelerators)) return 1;
  PumpMessages();
  if (!Fill(args.directory)) {
    fprintf(stderr, "finder_entries_bench: no executables in %s\n", args.directory);
    return 1;
  }
  mainState.catalogueChanged = true;
  SelectItem(mainState.window, 0, true);
  UpdateCommandStates();
  RefreshFinder(mainState.finder, mainState.catalogue.records.get(), mainState.catalogue.count,
                mainState.window);
  PumpMessages();
  SetFinderClient(300, 700);
  int32_t unknown = 0;
  for (int32_t i = 0; i < mainState.catalogue.count; ++i) {
    unknown += mainState.catalogue.records[i].area == 0;
  }
  printf("%d entries (%d without an area from the scan), %d rounds:\n", mainState.catalogue.count,
         unknown, args.rounds);

  // The first sort reads every unknown area from its file, once; the
  // rounds after it sort what is then known.
  LARGE_INTEGER from, to, frequency;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&from);
  SendMessageA(mainState.window, WM_COMMAND, CMD_SORT_LARGE_TO_SMALL, 0);
  QueryPerformanceCounter(&to);
  printf("  %-34s %9.2f ms\n", "first sort, reading the areas",
         1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
             static_cast<double>(frequency.QuadPart));
  Print("sort large to small, then small", TimeRounds(args.rounds, [] {
          SendMessageA(mainState.window, WM_COMMAND, CMD_SORT_LARGE_TO_SMALL, 0);
          SendMessageA(mainState.window, WM_COMMAND, CMD_SORT_SMALL_TO_LARGE, 0);
        }));
  Print("full Finder paint", TimeRounds(args.rounds, [] {
          InvalidateRect(mainState.finder, nullptr, TRUE);
          UpdateWindow(mainState.finder);
        }));
  // Down and back up, so that every round starts at the top.
  constexpr int kRows = 200;
  const RoundTimes rows = TimeRounds(args.rounds, [] {
    for (int i = 0; i < kRows; ++i) {
      const int delta = i < kRows / 2 ? -120 : 120;
      SendMessageA(mainState.finder, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), 0);
      UpdateWindow(mainState.finder);
    }
  });
  Print("one wheel row", RoundTimes{rows.median / kRows, rows.fastest / kRows});
  constexpr int kPages = 20;
  const RoundTimes pages = TimeRounds(args.rounds, [] {
    for (int i = 0; i < kPages; ++i) {
      const WORD page = i < kPages / 2 ? SB_PAGEDOWN : SB_PAGEUP;
      SendMessageA(mainState.finder, WM_VSCROLL, MAKEWPARAM(page, 0), 0);
      UpdateWindow(mainState.finder);
    }
  });
  Print("one page", RoundTimes{pages.median / kPages, pages.fastest / kPages});
  return 0;
}
