#include "tests/dialogs/dialog_robot_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <utility>

#include "tests/support/window_query_win32.h"

namespace {

constexpr UINT kTickMs = 50;
constexpr DWORD kWatchdogMs = 20000;

struct RobotState {
  HWND owner = nullptr;
  std::vector<RobotStep> steps;
  RobotReport report;
  UINT_PTR timer = 0;
  // The window last acted on, left alone while it closes.
  HWND actedOn = nullptr;
  DWORD actedAt = 0;
} robot;

BOOL CALLBACK FindActiveDialog(HWND window, LPARAM param) {
  if (WindowClass(window) == "#32770" && IsWindowVisible(window) && IsWindowEnabled(window)) {
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindMessageText(HWND child, LPARAM param) {
  if (WindowClass(child) != "Static") return TRUE;
  if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return TRUE;
  std::string text = WindowText(child);
  if (text.empty()) return TRUE;
  *reinterpret_cast<std::string*>(param) = text;
  return FALSE;
}

void Fail(const std::string& what) { robot.report.failures.push_back(what); }

// The Edit inside cmb13 (ComboBoxEx32 -> ComboBox -> Edit, or a ComboBox
// holding the Edit directly).
HWND FileNameEdit(HWND dialog) {
  HWND box = GetDlgItem(dialog, cmb13);
  if (box == nullptr) return nullptr;
  for (int depth = 0; depth < 3 && box != nullptr; ++depth) {
    if (WindowClass(box) == "Edit") return box;
    HWND edit = FindWindowExA(box, nullptr, "Edit", nullptr);
    if (edit != nullptr) return edit;
    box = FindWindowExA(box, nullptr, nullptr, nullptr);
  }
  return nullptr;
}

void NoteOpenDialog(HWND dialog) {
  char folder[MAX_PATH] = {};
  SendMessageA(dialog, CDM_GETFOLDERPATH, sizeof folder, reinterpret_cast<LPARAM>(folder));
  robot.report.dialogFolders.push_back(folder);
  std::vector<std::string> filters;
  HWND types = GetDlgItem(dialog, cmb1);
  int count = types ? static_cast<int>(SendMessageA(types, CB_GETCOUNT, 0, 0)) : 0;
  for (int i = 0; i < count; ++i) {
    char item[256] = {};
    SendMessageA(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
    filters.push_back(item);
  }
  robot.report.dialogFilters.push_back(filters);
  robot.report.dialogFilterSelections.push_back(
      types ? static_cast<int>(SendMessageA(types, CB_GETCURSEL, 0, 0)) : -2);
}

void Press(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (button == nullptr) {
    Fail("no button " + std::to_string(id) + " in \"" + WindowText(dialog) + "\"");
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  PostMessageA(button, BM_CLICK, 0, 0);
}

void Play(HWND dialog, const RobotStep& step) {
  switch (step.kind) {
    case RobotStep::Kind::Pick:
    case RobotStep::Kind::Navigate: {
      NoteOpenDialog(dialog);
      HWND edit = FileNameEdit(dialog);
      if (edit == nullptr) {
        Fail("no file name box");
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
      }
      SetWindowTextA(edit, step.typed.c_str());
      Press(dialog, IDOK);
      // The click is handled before the next tick (posted messages come
      // before timers), and the dialog that stays is the next step's.
      if (step.kind == RobotStep::Kind::Navigate) robot.actedOn = nullptr;
      return;
    }
    case RobotStep::Kind::Cancel:
      NoteOpenDialog(dialog);
      Press(dialog, IDCANCEL);
      return;
    case RobotStep::Kind::Answer: {
      std::string text;
      EnumChildWindows(dialog, FindMessageText, reinterpret_cast<LPARAM>(&text));
      robot.report.boxTexts.push_back(text);
      robot.report.boxOwnedByOwner.push_back(GetWindow(dialog, GW_OWNER) == robot.owner);
      Press(dialog, step.button);
      return;
    }
  }
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindActiveDialog, reinterpret_cast<LPARAM>(&dialog));
  if (dialog == nullptr) return;
  if (dialog == robot.actedOn) {
    // Still closing, or stuck: a step that did not take ends here.
    if (GetTickCount() - robot.actedAt > kWatchdogMs) {
      Fail("window did not close: \"" + WindowText(dialog) + "\"");
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      robot.actedAt = GetTickCount();
    }
    return;
  }
  robot.actedOn = dialog;
  robot.actedAt = GetTickCount();
  std::string title = WindowText(dialog);
  if (robot.report.stepsDone < robot.steps.size()) {
    const RobotStep& step = robot.steps[robot.report.stepsDone];
    const char* expected = step.kind == RobotStep::Kind::Answer ? kBoxTitle : kOpenDialogTitle;
    if (title == expected) {
      ++robot.report.stepsDone;
      Play(dialog, step);
      return;
    }
  }
  std::string text;
  EnumChildWindows(dialog, FindMessageText, reinterpret_cast<LPARAM>(&text));
  Fail("unexpected window \"" + title + "\": " + text);
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

struct WindowSearch {
  const char* className;
  const char* title;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  if (WindowClass(window) != search->className) return TRUE;
  if (search->title != nullptr && WindowText(window) != search->title) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND FindThreadWindow(const char* className, const char* title) {
  WindowSearch search{className, title, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

DialogRobot::DialogRobot(HWND owner, std::vector<RobotStep> steps) {
  robot = RobotState{};
  robot.owner = owner;
  robot.steps = std::move(steps);
  robot.timer = SetTimer(nullptr, 0, kTickMs, Tick);
  if (robot.timer == 0) Fail("no timer");
}

DialogRobot::~DialogRobot() {
  if (robot.timer != 0) KillTimer(nullptr, robot.timer);
  robot.timer = 0;
}

const RobotReport& DialogRobot::report() const { return robot.report; }

bool DialogRobot::clean() const {
  return robot.report.failures.empty() && robot.report.stepsDone == robot.steps.size();
}

std::string DialogRobot::Describe() const {
  std::string s = "steps played " + std::to_string(robot.report.stepsDone) + " of " +
                  std::to_string(robot.steps.size());
  for (const std::string& failure : robot.report.failures) s += "; " + failure;
  return s;
}

HWND CreateOwnerWindow(int x, int y, int width, int height) {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "RobotOwnerWnd";
    return RegisterClassA(&wc) != 0;
  }();
  if (!registered) return nullptr;
  return CreateWindowExA(0, "RobotOwnerWnd", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width,
                         height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}
