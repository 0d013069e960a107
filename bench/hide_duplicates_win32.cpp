// Hide Duplicates in the real main window: turned on, then a search of one
// folder through the real chooser (the fold read under the search's wait),
// then the option turned off and on again, timed.
//
// usage: hide_duplicates_bench [--rounds N] DIRECTORY
// Prints the entries found, those shown and hidden, what the count line and
// the Finder hold, the search's milliseconds, and the median and fastest
// of turning the option off and on again; the last round's command alone
// and with the repaint that follows it.
#include <windows.h>

#include <cstdio>

#include "res/resource.h"
#include "shell/finder_window_win32.h"
#include "shell/main_window_win32.h"
#include "support/dialog_driver_win32.h"
#include "timed_rounds_win32.h"

namespace {

void Toggle() {
  SendMessageA(mainState.window, WM_COMMAND, CMD_HIDE_DUPLICATES, 0);
  PumpMessages();
}

}  // namespace

int main(int argc, char** argv) {
  BenchArgs args;
  if (!ParseBenchArgs(argc, argv, "hide_duplicates_bench", &args)) return 2;
  HACCEL accelerators = nullptr;
  if (!StartRavelin(GetModuleHandleA(nullptr), &accelerators)) return 1;
  PumpMessages();
  if (!SetCurrentDirectoryA(args.directory)) {
    fprintf(stderr, "hide_duplicates_bench: no folder %s\n", args.directory);
    return 1;
  }
  Toggle();
  LARGE_INTEGER from;
  QueryPerformanceCounter(&from);
  {
    DialogDriver driver({{"Select a directory...", [](HWND d) { PressButton(d, IDOK); }}}, 600000);
    SendMessageA(mainState.window, WM_COMMAND, CMD_OPEN_DIRECTORY, 0);
    PumpMessages();
    if (!driver.finished()) return 1;
  }
  const double search = MillisecondsSince(from);
  const ShownEntries shown = ShownCatalogueEntries();
  printf("%d entries, %d shown, %d hidden, %d unreadable; Finder %d cells; search %.0f ms\n",
         mainState.catalogue.count, shown.count(), shown.hiddenCount(),
         mainState.fold.unreadableCount(), CurrentFinderState().count, search);
  // Off and on in each round; the Finder hidden, so that its thumbnails
  // are not part of the time.
  ShowWindow(mainState.finder, SW_HIDE);
  double command = 0;
  double painted = 0;
  const RoundTimes both = TimeRounds(args.rounds, [&command, &painted] {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    SendMessageA(mainState.window, WM_COMMAND, CMD_HIDE_DUPLICATES, 0);
    command = MillisecondsSince(start);
    PumpMessages();
    painted = MillisecondsSince(start);
    Toggle();
  });
  Toggle();
  printf("off: %d shown; last round %.3f ms for the command, %.3f ms with the repaint\n",
         ShownCatalogueEntries().count(), command, painted);
  printf("off and on again, repainted: median %.3f ms, fastest %.3f ms\n", both.median,
         both.fastest);
  return 0;
}
