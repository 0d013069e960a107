// Starts the real main window, presses F1 through its accelerator table
// (the number of times given, default once; with "close", each window the
// key brought is closed before the next) and reports what the help command
// put on the screen. Run by
// help_command_win32_test.cpp from a folder of its choosing, with or
// without Ravelin.chm beside it.
//
// Exit code: the number of top-level windows of this process that appeared
// after the keys (each is listed on standard output and closed), plus 0x100
// when the help command never reached the main window, 0x200 when the
// main window could not be started, or 0x400 when the keys after the first
// took more than kGrowthPerPress of private memory each.
//
// The help control opens its file anew on every request and keeps each
// copy while the viewer lives, a few hundred KiB a time.
#include <windows.h>
// After windows.h.
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "res/resource.h"
#include "shell/main_window_win32.h"
#include "support/dialog_driver_win32.h"

namespace {

constexpr DWORD kSettleMs = 2500;
constexpr SIZE_T kGrowthPerPress = 32 * 1024;

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

// Wine reports the commit charge as the page file's share only.
SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof counters);
  return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

std::set<HWND> VisibleWindows() {
  std::set<HWND> windows;
  EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Runs in every modal loop too, so a message box shown by the command is
// seen and closed rather than left waiting for a user; other windows stay
// until the end, so that a later key can find them open.
void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD) {
  for (HWND window : VisibleWindows()) {
    if (before.count(window) != 0 || !appeared.insert(window).second) continue;
    char className[64] = {}, title[256] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    std::printf("help probe: window of class \"%s\" titled \"%s\"\n", className, title);
    if (std::string(className) == "#32770") PostMessageA(window, WM_CLOSE, 0, 0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int presses = argc > 1 ? std::atoi(argv[1]) : 1;
  const bool closeEach = argc > 2 && std::string(argv[2]) == "close";
  setvbuf(stdout, nullptr, _IONBF, 0);
  HACCEL accelerators = nullptr;
  if (!StartRavelin(GetModuleHandleA(nullptr), &accelerators)) return 0x200;
  mainProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(mainState.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc)));
  PumpMessages();
  before = VisibleWindows();
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, Watch);
  SIZE_T afterFirst = 0;
  for (int i = 0; i < presses; ++i) {
    PressKey(mainState.window, accelerators, VK_F1);
    // Nothing ends the wait early: whatever the key brings has this long to appear.
    PumpUntil([] { return false; }, kSettleMs);
    Watch(nullptr, 0, 0, 0);
    if (i == 0) afterFirst = PrivateBytes();
    if (closeEach) {
      for (HWND window : appeared) PostMessageA(window, WM_CLOSE, 0, 0);
      PumpMessages();
    }
  }
  const SIZE_T grown = PrivateBytes() - afterFirst;
  std::printf("help probe: %zu bytes more after %d more key(s)\n", static_cast<size_t>(grown),
              presses - 1);
  const bool leaked = presses > 1 && grown > (presses - 1) * kGrowthPerPress;
  KillTimer(nullptr, timer);
  for (HWND window : appeared) PostMessageA(window, WM_CLOSE, 0, 0);
  PumpMessages();
  std::printf("help probe: command %s, %zu new window(s)\n", helpCommandSeen ? "seen" : "not seen",
              appeared.size());
  return static_cast<int>(appeared.size()) | (helpCommandSeen ? 0 : 0x100) | (leaked ? 0x400 : 0);
}
