#include "shell/finder_window_win32.h"

#include "res/resource.h"

namespace {

// What the Finder was last told to show. The thumbnails themselves come with
// the Finder's own drawing; until then it shows an empty workspace.
struct FinderState {
  ImageRecord* catalogue = nullptr;
  int32_t count = 0;
  HWND owner = nullptr;
} finderState;

LRESULT CALLBACK FinderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // Closing only hides it; the main window's Finder command shows it again.
      ShowWindow(window, SW_HIDE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_APPWORKSPACE));
      EndPaint(window, &ps);
      return 0;
    }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

bool RegisterFinderClass(HINSTANCE instance) {
  WNDCLASSA finderClass = {};
  finderClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  finderClass.lpfnWndProc = FinderProc;
  finderClass.hInstance = instance;
  finderClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_RAVELIN));
  finderClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  finderClass.lpszClassName = kFinderClassName;
  return RegisterClassA(&finderClass) != 0;
}

void RefreshFinder(HWND finder, ImageRecord* catalogue, int32_t count, HWND owner) {
  finderState = {catalogue, count, owner};
  if (finder != nullptr) InvalidateRect(finder, nullptr, FALSE);
}
