// Drives a running Ravelin from another process, for the run command's
// screenshot and the package test: `robot open PATH [RIGHT_PRESSES
// [ZOOM_STEPS]]` opens PATH through the real open dialog and waits until it
// is shown; `robot help TITLE` presses F1 and waits for a window of that
// title (the help viewer), which it closes; `robot close` closes Ravelin.
// Exit code 0 on success, 1 when a step times out.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "res/resource.h"
#include "support/dialog_driver_win32.h"
#include "support/window_query_win32.h"

namespace {

constexpr DWORD kStepTimeoutMs = 30000;

bool WaitFor(const std::function<bool()>& found) { return PumpUntil(found, kStepTimeoutMs); }

int Fail(const char* step) {
  fprintf(stderr, "robot: timed out waiting for %s\n", step);
  return 1;
}

int Open(const char* path, int rightPresses, int zoomSteps) {
  HWND main = nullptr;
  if (!WaitFor([&] { return (main = FindWindowA("KestrelWnd", nullptr)) != nullptr; })) {
    return Fail("the main window");
  }
  PostMessageA(main, WM_COMMAND, CMD_OPEN_FILES, 0);
  HWND dialog = nullptr;
  if (!WaitFor([&] {
        dialog = FindWindowA("#32770", kOpenDialogTitle);
        return dialog != nullptr && IsWindowVisible(dialog);
      })) {
    return Fail("the open dialog");
  }
  if (!SetFileNameAndAccept(dialog, path)) return Fail("the file name box");
  if (!WaitFor([&] { return WindowText(main).rfind("Ravelin 1.5 - [", 0) == 0; })) {
    return Fail("the first entry");
  }
  for (int i = 0; i < rightPresses; ++i) {
    SendMessageA(main, WM_KEYDOWN, VK_RIGHT, 1);
  }
  for (int i = 0; i < zoomSteps; ++i) SendMessageA(main, WM_COMMAND, CMD_ZOOM_IN, 0);
  Sleep(500);
  printf("%s\n", WindowText(main).c_str());
  return 0;
}

int Help(const char* viewerTitle) {
  HWND main = nullptr;
  if (!WaitFor([&] { return (main = FindWindowA("KestrelWnd", nullptr)) != nullptr; })) {
    return Fail("the main window");
  }
  // Posted, so that Ravelin's message loop offers the key to its accelerators.
  PostMessageA(main, WM_KEYDOWN, VK_F1, 1);
  HWND viewer = nullptr;
  if (!WaitFor([&] { return (viewer = FindWindowA(nullptr, viewerTitle)) != nullptr; })) {
    return Fail("the help window");
  }
  PostMessageA(viewer, WM_CLOSE, 0, 0);
  return 0;
}

int Close() {
  HWND main = FindWindowA("KestrelWnd", nullptr);
  if (main == nullptr) return 0;
  PostMessageA(main, WM_CLOSE, 0, 0);
  return WaitFor([] { return FindWindowA("KestrelWnd", nullptr) == nullptr; }) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc >= 3 && strcmp(argv[1], "open") == 0) {
    return Open(argv[2], argc > 3 ? atoi(argv[3]) : 0, argc > 4 ? atoi(argv[4]) : 0);
  }
  if (argc == 3 && strcmp(argv[1], "help") == 0) return Help(argv[2]);
  if (argc == 2 && strcmp(argv[1], "close") == 0) return Close();
  fprintf(stderr,
          "usage: robot open PATH [RIGHT_PRESSES [ZOOM_STEPS]] | robot help TITLE | "
          "robot close\n");
  return 2;
}
