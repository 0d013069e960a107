// Times the window's directory search as its user waits, from another
// process: Ravelin runs in the same Wine prefix, its current directory the
// tree to search (the directory chooser starts there). The robot gives the
// main window its open-directory command, presses the chooser's OK and
// waits until the "Searching for images..." dialog has come and gone; then
// it closes Ravelin.
//
// usage: search_wait_robot
// Prints "search N ms": from the OK to the end of the search dialog.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "res/resource.h"
#include "shell/main_window_win32.h"
#include "timed_rounds_win32.h"

namespace {

constexpr DWORD kTimeoutMs = 600000;

// The visible, enabled dialog of that title, waited for.
HWND WaitForDialog(const char* title) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < kTimeoutMs) {
    HWND found = FindWindowA("#32770", title);
    if (found != nullptr && IsWindowVisible(found) && IsWindowEnabled(found)) return found;
    Sleep(5);
  }
  return nullptr;
}

}  // namespace

int main() {
  setvbuf(stdout, nullptr, _IONBF, 0);
  const DWORD start = GetTickCount();
  HWND main = nullptr;
  while (main == nullptr && GetTickCount() - start < kTimeoutMs) {
    main = FindWindowA(kMainClassName, nullptr);
    if (main == nullptr || !IsWindowVisible(main)) {
      main = nullptr;
      Sleep(20);
    }
  }
  if (main == nullptr) {
    fprintf(stderr, "search_wait_robot: no Ravelin window\n");
    return 1;
  }
  PostMessageA(main, WM_COMMAND, CMD_OPEN_DIRECTORY, 0);
  HWND chooser = WaitForDialog("Select a directory...");
  if (chooser == nullptr) {
    fprintf(stderr, "search_wait_robot: no directory chooser\n");
    return 1;
  }
  // The chooser fills its lists before it shows; a pause lets it settle.
  Sleep(300);
  LARGE_INTEGER from;
  QueryPerformanceCounter(&from);
  PostMessageA(GetDlgItem(chooser, IDOK), BM_CLICK, 0, 0);
  HWND searching = nullptr;
  char before[256] = {};
  GetWindowTextA(main, before, sizeof before);
  for (;;) {
    if (searching == nullptr) {
      searching = FindWindowA("#32770", "Searching for images...");
      // A tree read whole before the dialog could show ends with the
      // window's title naming the first entry found.
      char now[256] = {};
      GetWindowTextA(main, now, sizeof now);
      if (searching == nullptr && strcmp(now, before) != 0) break;
    } else if (!IsWindow(searching)) {
      break;
    }
    if (MillisecondsSince(from) > kTimeoutMs) {
      fprintf(stderr, "search_wait_robot: the search did not end\n");
      return 1;
    }
    Sleep(1);
  }
  const double ms = MillisecondsSince(from);
  printf("search %.1f ms%s\n", ms, searching == nullptr ? " (no search dialog seen)" : "");
  PostMessageA(main, WM_CLOSE, 0, 0);
  return 0;
}
