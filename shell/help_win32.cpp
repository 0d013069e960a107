#include "shell/help_win32.h"

#include <cstring>

namespace {

constexpr char kHelpFileName[] = "Ravelin.chm";
constexpr char kHelpControlKey[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr int kHtmlHelpOrdinal = 14;
constexpr UINT kDisplayToc = 1;  // HH_DISPLAY_TOC

using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

// Looked up at the first request; a failure is remembered so that later
// requests do not try again.
struct HelpControl {
  bool tried = false;
  HMODULE module = nullptr;
  HtmlHelpFunction htmlHelp = nullptr;
  HWND viewer = nullptr;         // the one the last request opened
  WNDPROC viewerProc = nullptr;  // the help control's own, behind KeptViewerProc
} helpControl;

// A viewer is made once and kept: closing it only hides it. Wine's help
// control does not free all that a viewer made (a bitmap, two fonts, a brush
// and tens of KiB each time), so a user who opens and closes help often
// would otherwise see the program grow; the viewer also stays where the user
// left it.
LRESULT CALLBACK KeptViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    ShowWindow(window, SW_HIDE);
    return 0;
  }
  return CallWindowProcW(helpControl.viewerProc, window, message, wParam, lParam);
}

HMODULE LoadHelpControl() {
  char path[MAX_PATH] = {};
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kHelpControlKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD size = sizeof path - 1;
    DWORD type = 0;
    LONG status =
        RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && path[0] != '\0') {
      if (HMODULE module = LoadLibraryA(path)) return module;
    }
  }
  return LoadLibraryA("hhctrl.ocx");
}

HtmlHelpFunction HtmlHelpEntry() {
  if (!helpControl.tried) {
    helpControl.tried = true;
    helpControl.module = LoadHelpControl();
    if (helpControl.module != nullptr) {
      helpControl.htmlHelp = reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void*>(
          GetProcAddress(helpControl.module, MAKEINTRESOURCEA(kHtmlHelpOrdinal))));
    }
  }
  return helpControl.htmlHelp;
}

}  // namespace

void ShowHelpContents(HWND owner) {
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length >= sizeof path) length = 0;
  path[length] = '\0';
  char* cut = path + length;
  while (cut > path && cut[-1] != '\\' && cut[-1] != '/') --cut;
  if (cut > path) --cut;  // drop the separator itself
  *cut = '\0';
  if (strlen(path) + 1 + sizeof kHelpFileName > sizeof path) return;
  strcat(path, "\\");
  strcat(path, kHelpFileName);
  // The help control opens the file again on every call, holding on to each
  // copy while its viewer lives: a viewer already open is brought forward.
  if (helpControl.viewer != nullptr && IsWindow(helpControl.viewer)) {
    if (!IsWindowVisible(helpControl.viewer)) ShowWindow(helpControl.viewer, SW_SHOW);
    if (IsIconic(helpControl.viewer)) ShowWindow(helpControl.viewer, SW_RESTORE);
    SetForegroundWindow(helpControl.viewer);
    return;
  }
  HtmlHelpFunction htmlHelp = HtmlHelpEntry();
  if (htmlHelp == nullptr) return;
  helpControl.viewer = htmlHelp(owner, path, kDisplayToc, 0);
  if (helpControl.viewer != nullptr) {
    helpControl.viewerProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        helpControl.viewer, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(KeptViewerProc)));
  }
}
