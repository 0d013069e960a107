#include "dialogs/progress_window_win32.h"

#include <commctrl.h>

#include "res/resource.h"
#include "ui/window_state_win32.h"

namespace {

constexpr char kProgressClass[] = "PgsWnd";

bool classRegistered = false;

// The bar gets the popup's outer size, so it fills the client area and is
// clipped at the right and bottom.
LRESULT OnCreate(HWND hwnd, const CREATESTRUCTA* create) {
  auto* progress = static_cast<ProgressWindow*>(create->lpCreateParams);
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(progress));
  HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, create->cx,
                             create->cy, hwnd, nullptr, create->hInstance, nullptr);
  progress->bar = bar;
  return bar != nullptr ? 0 : -1;
}

LRESULT CALLBACK ProgressWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(hwnd, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_COMMAND: {
      ProgressWindow* progress = WindowState<ProgressWindow>(hwnd);
      if (LOWORD(wParam) == IDCANCEL && progress != nullptr) progress->cancelled = true;
      return 0;
    }
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool RegisterProgressClass(HINSTANCE instance) {
  if (classRegistered) return true;
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = ProgressWindowProc;
  wc.hInstance = instance;
  // Null where the module carries no application icon; the caption then
  // shows the system's default.
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_RAVELIN));
  wc.hCursor = LoadCursorA(nullptr, IDC_WAIT);
  wc.lpszClassName = kProgressClass;
  classRegistered = RegisterClassA(&wc) != 0;
  return classRegistered;
}

}  // namespace

namespace {

void ShowProgress(ProgressWindow* progress, HWND owner, const char* title, int range, int step,
                  bool withCancel) {
  CloseProgressWindow(progress);
  progress->cancelled = false;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterProgressClass(instance)) return;
  RECT ownerRect{};
  GetWindowRect(owner, &ownerRect);
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  int left = ownerRect.left + (ownerRect.right - ownerRect.left) / 2 - screenWidth / 8;
  int top = ownerRect.top + (ownerRect.bottom - ownerRect.top) / 2 - screenHeight / 24;
  const int width = screenWidth / 4;
  const int barHeight = screenHeight / 12;
  // The button and a margin round it below the bar's height.
  const int buttonHeight = withCancel ? GetSystemMetrics(SM_CYCAPTION) + 6 : 0;
  const int margin = withCancel ? 8 : 0;
  HWND popup =
      CreateWindowExA(0, kProgressClass, title, WS_POPUP | WS_CAPTION, left, top, width,
                      barHeight + buttonHeight + 2 * margin, owner, nullptr, instance, progress);
  progress->popup = popup;
  if (popup == nullptr) {
    progress->bar = nullptr;
    return;
  }
  HWND bar = progress->bar;
  if (withCancel) {
    RECT client{};
    GetClientRect(popup, &client);
    MoveWindow(bar, margin, margin, client.right - 2 * margin,
               client.bottom - buttonHeight - 3 * margin, FALSE);
    const int buttonWidth = 10 * buttonHeight / 3;
    HWND button = CreateWindowExA(0, "BUTTON", "Cancel", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                                  (client.right - buttonWidth) / 2,
                                  client.bottom - buttonHeight - margin, buttonWidth, buttonHeight,
                                  popup, reinterpret_cast<HMENU>(IDCANCEL), instance, nullptr);
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
  }
  // The 16-bit range holds every pick of up to 6552 files; larger ones only
  // come from a grown result buffer and take the 32-bit form.
  if (range <= 0xFFFF) {
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, range));
  } else {
    SendMessageA(bar, PBM_SETRANGE32, 0, range);
  }
  SendMessageA(bar, PBM_SETSTEP, static_cast<WPARAM>(step), 0);
  SendMessageA(bar, PBM_STEPIT, 0, 0);
  ShowWindow(popup, SW_SHOW);
  UpdateWindow(popup);
  SetActiveWindow(popup);
}

}  // namespace

ProgressWindow::~ProgressWindow() { CloseProgressWindow(this); }

void ShowProgressWindow(ProgressWindow* progress, HWND owner, const char* title, int range,
                        int step) {
  ShowProgress(progress, owner, title, range, step, false);
}

void ShowCancellableProgressWindow(ProgressWindow* progress, HWND owner, const char* title,
                                   int range, int step) {
  ShowProgress(progress, owner, title, range, step, true);
}

bool ProgressCancelled(ProgressWindow* progress) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Left for the program's own loop to end it.
      PostQuitMessage(static_cast<int>(message.wParam));
      return true;
    }
    if (progress->popup != nullptr && IsDialogMessageA(progress->popup, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return progress->cancelled || progress->popup == nullptr;
}

void StepProgressWindow(ProgressWindow* progress) {
  if (progress->popup == nullptr) return;
  SendMessageA(progress->bar, PBM_STEPIT, 0, 0);
  // No message loop runs during a load, so the new position is painted here
  // rather than left to a WM_PAINT that would come only after it.
  UpdateWindow(progress->bar);
}

void CloseProgressWindow(ProgressWindow* progress) {
  if (progress->popup == nullptr) return;
  DestroyWindow(progress->popup);
  progress->popup = nullptr;
  progress->bar = nullptr;
}
