// Starts the real main window, presses F1 through its accelerator table and
// reports what the help command put on the screen. Run by
// help_command_win32_test.cpp from a folder of its choosing, with or
// without Ravelin.chm beside it.
//
// Exit code: the number of top-level windows of this process that appeared
// after the key (each is listed on standard output and closed), plus 0x100
// when the help command never reached the main window, or 0x200 when the
// main window could not be started.
#include <windows.h>

#include <cstdio>
#include <set>

#include "res/resource.h"
#include "shell/main_window_win32.h"
#include "support/dialog_driver_win32.h"

namespace {

constexpr DWORD kSettleMs = 2500;

WNDPROC mainProc = nullptr;
bool helpCommandSeen = false;
std::set<HWND> before;
std::set<HWND> appeared;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == CMD_HELP_CONTENTS) helpCommandSeen = true;
  return CallWindowProcA(mainProc, window, message, wParam, lParam);
}

BOOL CALLBACK CollectVisible(HWND window, LPARAM param) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && IsWindowVisible(window)) {
    reinterpret_cast<std::set<HWND>*>(param)->insert(window);
  }
  return TRUE;
}

std::set<HWND> VisibleWindows() {
  std::set<HWND> windows;
  EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Runs in every modal loop too, so a message box shown by the command is
// seen and closed rather than left waiting for a user.
void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD) {
  for (HWND window : VisibleWindows()) {
    if (before.count(window) != 0 || !appeared.insert(window).second) continue;
    char className[64] = {}, title[256] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    std::printf("help probe: window of class \"%s\" titled \"%s\"\n", className, title);
    PostMessageA(window, WM_CLOSE, 0, 0);
  }
}

}  // namespace

int main() {
  setvbuf(stdout, nullptr, _IONBF, 0);
  HACCEL accelerators = nullptr;
  if (!StartRavelin(GetModuleHandleA(nullptr), &accelerators)) return 0x200;
  mainProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(mainState.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc)));
  PumpMessages();
  before = VisibleWindows();
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, Watch);
  PressKey(mainState.window, accelerators, VK_F1);
  // Nothing ends the wait early: whatever the key brings has this long to appear.
  PumpUntil([] { return false; }, kSettleMs);
  Watch(nullptr, 0, 0, 0);
  KillTimer(nullptr, timer);
  PumpMessages();
  std::printf("help probe: command %s, %zu new window(s)\n", helpCommandSeen ? "seen" : "not seen",
              appeared.size());
  return static_cast<int>(appeared.size()) | (helpCommandSeen ? 0 : 0x100);
}
