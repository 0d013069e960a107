#include "support/dialog_driver_win32.h"

#include <commctrl.h>

#include <utility>

#include "support/window_query_win32.h"

namespace {

struct DriverState {
  std::vector<DialogStep> steps;
  size_t next = 0;
  DWORD deadline = 0;
  bool timedOut = false;
  UINT_PTR timer = 0;
  DialogDriver::Others others = DialogDriver::Others::Wait;
  // The dialog last acted on, left alone while it closes.
  HWND actedOn = nullptr;
  std::vector<std::string> unexpected;
} driver;

struct Search {
  const DialogStep* step;  // null: any open dialog
  HWND except;
  HWND found;
};

bool Matches(HWND window, const DialogStep& step) {
  if (!step.title.empty() && WindowText(window) != step.title) return false;
  if (step.kind == DialogStep::Kind::Any) return true;
  const bool fileDialog = GetDlgItem(window, 0x47c) != nullptr;  // cmb13
  return fileDialog == (step.kind == DialogStep::Kind::FileDialog);
}

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  if (WindowClass(window) != "#32770") return TRUE;
  if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
  if (search->step != nullptr && !Matches(window, *search->step)) return TRUE;
  if (window == search->except) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindThreadDialog(const DialogStep* step, HWND except = nullptr) {
  Search search = {step, except, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A Yes/No box ignores IDCANCEL, so the way out is its No.
void Dismiss(HWND dialog) {
  int button = IDCANCEL;
  if (GetDlgItem(dialog, IDCANCEL) == nullptr && GetDlgItem(dialog, IDNO) != nullptr) button = IDNO;
  PostMessageA(dialog, WM_COMMAND, button, 0);
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (!driver.timedOut && driver.next < driver.steps.size() && GetTickCount() > driver.deadline) {
    driver.timedOut = true;
  }
  if (driver.timedOut) {
    // One dialog a tick: the one beneath becomes enabled once the top one
    // has closed, and is cancelled on a later tick.
    if (HWND open = FindThreadDialog(nullptr)) Dismiss(open);
    return;
  }
  if (driver.next < driver.steps.size()) {
    DialogStep& step = driver.steps[driver.next];
    if (HWND dialog = FindThreadDialog(&step)) {
      ++driver.next;  // before acting: the action may start another modal loop
      driver.actedOn = dialog;
      step.act(dialog);
      return;
    }
  }
  if (driver.others != DialogDriver::Others::Cancel) return;
  if (GetTickCount() > driver.deadline && FindThreadDialog(nullptr) != nullptr) {
    driver.timedOut = true;  // a dialog that did not close: cancelled on the next ticks
    return;
  }
  if (HWND other = FindThreadDialog(nullptr, driver.actedOn)) {
    driver.unexpected.push_back("\"" + WindowText(other) + "\": " + MessageBoxText(other));
    Dismiss(other);
  }
}

}  // namespace

DialogDriver::DialogDriver(std::vector<DialogStep> steps, DWORD timeoutMs, Others others) {
  driver.steps = std::move(steps);
  driver.next = 0;
  driver.timedOut = false;
  driver.others = others;
  driver.actedOn = nullptr;
  driver.unexpected.clear();
  driver.deadline = GetTickCount() + timeoutMs;
  driver.timer = SetTimer(nullptr, 0, 50, OnTimer);
}

DialogDriver::~DialogDriver() {
  KillTimer(nullptr, driver.timer);
  driver.steps.clear();
}

bool DialogDriver::finished() const {
  return !driver.timedOut && driver.next >= driver.steps.size();
}
bool DialogDriver::timedOut() const { return driver.timedOut; }
const std::vector<std::string>& DialogDriver::unexpected() const { return driver.unexpected; }

bool SetFileNameAndAccept(HWND dialog, const std::string& text) {
  // The file name box is cmb13: a ComboBoxEx32 holding a ComboBox holding an Edit.
  HWND combo = GetDlgItem(dialog, 0x47c);
  HWND edit = combo != nullptr ? FindDescendant(combo, "Edit") : nullptr;
  if (edit == nullptr) edit = GetDlgItem(dialog, 0x480);  // edt1 in older layouts
  if (edit == nullptr) return false;
  SetWindowTextA(edit, text.c_str());
  PressButton(dialog, IDOK);
  return true;
}

void PressButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  // A missing button leaves the dialog open and the watchdog fails the test.
  if (button != nullptr) PostMessageA(button, BM_CLICK, 0, 0);
}

std::string MessageBoxText(HWND box) {
  char text[1024] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  return text;
}

void PumpMessages(HWND acceleratorTarget, HACCEL accelerators) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (accelerators != nullptr &&
        TranslateAcceleratorA(acceleratorTarget, accelerators, &message)) {
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpMessages();
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
}

HWND CreateOwnerWindow(int x, int y, int width, int height) {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TestOwnerWnd";
    return RegisterClassA(&wc) != 0;
  }();
  if (!registered) return nullptr;
  return CreateWindowExA(0, "TestOwnerWnd", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width,
                         height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void PressKey(HWND window, HACCEL accelerators, WPARAM key, bool ctrl) {
  BYTE saved[256];
  GetKeyboardState(saved);
  if (ctrl) {
    BYTE pressed[256];
    CopyMemory(pressed, saved, sizeof pressed);
    pressed[VK_CONTROL] = 0x80;
    SetKeyboardState(pressed);
  }
  PostMessageA(window, WM_KEYDOWN, key, 1);
  PumpMessages(window, accelerators);
  if (ctrl) SetKeyboardState(saved);
}
