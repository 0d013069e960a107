// The monkey: starts Ravelin.exe and drives it from this process with a
// seeded random stream of what a user can do (commands, accelerators,
// navigation keys, clicks, drags and wheel turns on the view, the Finder and
// the navigation bar, resizes, minimise and restore, the Finder closed and
// shown again), answers every dialog at random and cancels long work at
// random moments. Every 500 events it checks that the program lives and
// answers, and prints its private bytes and GDI/USER object counts.
//
//   monkey SEED EVENTS|SECONDSs RAVELIN_EXE [FILE...]
//
// A crash, a hang or a program that ends by itself prints the seed and the
// last 50 events and exits 1. Paths may be Unix paths (/...): they are read
// through Wine's Z: drive.
// The other system headers need windows.h first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shlobj.h>
#include <winternl.h>
// clang-format on

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "res/resource.h"
#include "shell/finder_window_win32.h"
#include "shell/main_window_win32.h"
#include "shell/view_window_win32.h"
#include "support/dialog_driver_win32.h"
#include "support/window_query_win32.h"
#include "tests/support/sample_fixtures.h"

namespace {

constexpr char kProgressClass[] = "PgsWnd";
constexpr char kChooserTitle[] = "Select a directory...";
constexpr char kSearchTitle[] = "Searching for images...";
constexpr int kCheckEvery = 500;
constexpr size_t kHistory = 50;
constexpr DWORD kAnswerTimeoutMs = 30000;

struct Run {
  uint32_t seed = 0;
  long events = 0;
  DWORD seconds = 0;
  std::mt19937 random;
  std::deque<std::string> history;
  long done = 0;
  PROCESS_INFORMATION process{};
  HWND main = nullptr;
  std::string root, files, tree, saves;
  std::vector<std::string> fileNames;  // inside files
  void* remoteSaves = nullptr;         // the saves folder's name in Ravelin's memory
  bool minimised = false;
  bool ctrlWorks = true;
  bool trace = false;  // every event printed as it happens
} run;

int Pick(int n) { return static_cast<int>(run.random() % static_cast<uint32_t>(n)); }
bool Chance(int percent) { return Pick(100) < percent; }

void Note(const char* format, ...) {
  char text[600];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  char line[700];
  snprintf(line, sizeof line, "#%ld %s", run.done, text);
  if (run.trace) printf("%s\n", line);
  run.history.emplace_back(line);
  if (run.history.size() > kHistory) run.history.pop_front();
}

[[noreturn]] void Fail(const char* what) {
  printf("MONKEY FAILED: %s\nseed %u, after %ld events; the last %zu:\n", what, run.seed, run.done,
         run.history.size());
  for (const std::string& line : run.history) printf("  %s\n", line.c_str());
  // Kept for a debugger when asked: RAVELIN_MONKEY_KEEP=1.
  if (getenv("RAVELIN_MONKEY_KEEP") != nullptr && run.process.hProcess != nullptr) {
    printf("Ravelin kept running: process id 0x%lx\n", run.process.dwProcessId);
    WaitForSingleObject(run.process.hProcess, INFINITE);
  }
  if (run.process.hProcess != nullptr) TerminateProcess(run.process.hProcess, 3);
  exit(1);
}

std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string out = "Z:" + path;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

std::string BaseName(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

// The open dialog's set (the samples and the given files, in one folder so
// that several can be picked at once) and a small tree for the chooser.
void MakeFolders(const std::vector<std::string>& given) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  char name[80];
  snprintf(name, sizeof name, "ravelin-monkey-%u-%lu", run.seed, GetCurrentProcessId());
  run.root = std::string(temp) + name;
  run.files = run.root + "\\files";
  run.tree = run.root + "\\tree";
  run.saves = run.root + "\\saves";
  for (const std::string& dir : {run.root, run.files, run.tree, run.tree + "\\a",
                                 run.tree + "\\a\\b", run.tree + "\\c", run.saves}) {
    CreateDirectoryA(dir.c_str(), nullptr);
  }
  const std::vector<SampleExecutable> samples = SampleExecutables();
  for (size_t i = 0; i < samples.size(); ++i) {
    const SampleExecutable& s = samples[i];
    if (!WriteBytes(run.files + "\\" + s.name, s.bytes)) Fail("cannot write the samples");
    run.fileNames.push_back(s.name);
    const char* sub[] = {"\\a", "\\a\\b", "\\c", ""};
    WriteBytes(run.tree + sub[i % 4] + "\\" + s.name, s.bytes);
  }
  std::vector<std::string> all = given;
  for (const char* dll : {"shell32.dll", "user32.dll", "comdlg32.dll"}) {
    all.push_back(std::string(kWineSystemDlls) + "\\" + dll);
  }
  for (size_t i = 0; i < all.size(); ++i) {
    const std::string copy = "given" + std::to_string(i) + "-" + BaseName(all[i]);
    if (!CopyFileA(WindowsPath(all[i]).c_str(), (run.files + "\\" + copy).c_str(), FALSE)) {
      printf("monkey: cannot read %s, left out\n", all[i].c_str());
      continue;
    }
    run.fileNames.push_back(copy);
  }
}

struct FoundWindows {
  DWORD pid;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<FoundWindows*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == found->pid && IsWindowVisible(window)) found->windows.push_back(window);
  return TRUE;
}

// Ravelin's visible top-level windows.
std::vector<HWND> ProgramWindows() {
  FoundWindows found{run.process.dwProcessId, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found.windows;
}

HWND FindProgramWindow(const char* className) {
  FoundWindows found{run.process.dwProcessId, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&found));
  for (HWND w : found.windows) {
    if (WindowClass(w) == className) return w;
  }
  return nullptr;
}

// Ravelin's own Finder, visible or not.
HWND Finder() {
  HWND w = nullptr;
  while ((w = FindWindowExA(nullptr, w, kFinderClassName, nullptr)) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == run.process.dwProcessId) return w;
  }
  return nullptr;
}

bool Alive() { return WaitForSingleObject(run.process.hProcess, 0) == WAIT_TIMEOUT; }

bool Answers(DWORD timeoutMs) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(run.main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

void Launch(const std::string& exe) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string command = "\"" + exe + "\"";
  if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      run.tree.c_str(), &startup, &run.process)) {
    Fail("cannot start Ravelin");
  }
  WaitForInputIdle(run.process.hProcess, 30000);
  for (int i = 0; i < 300 && run.main == nullptr; ++i) {
    run.main = FindProgramWindow(kMainClassName);
    if (run.main == nullptr) Sleep(100);
  }
  if (run.main == nullptr) Fail("no main window");
  run.remoteSaves = VirtualAllocEx(run.process.hProcess, nullptr, MAX_PATH,
                                   MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (run.remoteSaves != nullptr) {
    WriteProcessMemory(run.process.hProcess, run.remoteSaves, run.saves.c_str(),
                       run.saves.size() + 1, nullptr);
  }
}

// ---- Dialogs ----------------------------------------------------------

struct Seen {
  DWORD first = 0;
  DWORD acted = 0;
  int stage = 0;
};
std::map<HWND, Seen> seen;

void Post(HWND window, UINT message, WPARAM w, LPARAM l) { PostMessageA(window, message, w, l); }

void Click(HWND dialog, int id) {
  if (HWND button = GetDlgItem(dialog, id)) Post(button, BM_CLICK, 0, 0);
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

void AnswerOpen(HWND dialog, Seen& s) {
  const int way = Pick(10);
  if (s.stage == 1) {  // in the files folder: several names
    std::string names;
    const int count = 1 + Pick(4);
    for (int i = 0; i < count; ++i) {
      names +=
          Quoted(run.fileNames[static_cast<size_t>(Pick(static_cast<int>(run.fileNames.size())))]) +
          " ";
    }
    Note("open dialog: %s", names.c_str());
    SetFileNameAndAccept(dialog, names);
    s.stage = 2;
  } else if (way == 0) {
    Note("open dialog: cancel");
    Click(dialog, IDCANCEL);
  } else if (way == 1) {
    Note("open dialog: a missing file");
    SetFileNameAndAccept(dialog, run.files + "\\no such file.exe");
  } else if (way <= 5) {
    const std::string& name =
        run.fileNames[static_cast<size_t>(Pick(static_cast<int>(run.fileNames.size())))];
    Note("open dialog: %s", name.c_str());
    SetFileNameAndAccept(dialog, run.files + "\\" + name);
  } else {
    Note("open dialog: go to the files folder");
    SetFileNameAndAccept(dialog, run.files);
    s.stage = 1;
  }
}

void AnswerSave(HWND dialog, const std::string& title) {
  const int way = Pick(10);
  if (way == 0) {
    Note("save dialog \"%s\": cancel", title.c_str());
    Click(dialog, IDCANCEL);
    return;
  }
  std::string name;
  if (way == 1) {
    name = run.saves + "\\bad<|>name";
  } else if (way == 2) {
    name = run.root + "\\no\\such\\folder\\x";
  } else {
    name = run.saves + "\\image" + std::to_string(Pick(8));
  }
  Note("save dialog \"%s\": %s", title.c_str(), name.c_str());
  SetFileNameAndAccept(dialog, name);
}

void AnswerChooser(HWND dialog) {
  const std::string path = WindowText(GetDlgItem(dialog, IDC_PATH_LINE));
  const int way = Pick(10);
  HWND list = GetDlgItem(dialog, IDC_FOLDER_LIST);
  // Moves stay below the monkey's own folder: a search of the whole disk
  // would take the run's time.
  const bool inside = lstrcmpiA(path.substr(0, run.tree.size()).c_str(), run.tree.c_str()) == 0;
  if (way <= 2 && inside && list != nullptr) {
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    if (count > 0) {
      const int item = Pick(count);
      Note("chooser at %s: open item %d", path.c_str(), item);
      SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(item), 0);
      Post(dialog, WM_COMMAND, MAKEWPARAM(IDC_FOLDER_LIST, LBN_DBLCLK),
           reinterpret_cast<LPARAM>(list));
      return;
    }
  }
  if (way == 3) {
    Note("chooser at %s: cancel", path.c_str());
    Click(dialog, IDCANCEL);
    return;
  }
  Note("chooser at %s: OK", path.c_str());
  Click(dialog, IDOK);
}

void AnswerPicker(HWND dialog) {
  if (Chance(20) || run.remoteSaves == nullptr) {
    Note("folder picker: cancel");
    Click(dialog, IDCANCEL);
    return;
  }
  Note("folder picker: %s", run.saves.c_str());
  DWORD_PTR result = 0;
  SendMessageTimeoutA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(run.remoteSaves),
                      SMTO_ABORTIFHUNG, 5000, &result);
  Click(dialog, IDOK);
}

// Any other box: its OK, else one of its other buttons.
void AnswerBox(HWND dialog, const std::string& title) {
  std::vector<int> buttons;
  for (int id : {IDOK, IDYES, IDNO, IDCANCEL, IDRETRY}) {
    if (HWND b = GetDlgItem(dialog, id); b != nullptr && IsWindowVisible(b)) buttons.push_back(id);
  }
  int id = IDCANCEL;
  if (!buttons.empty()) {
    id = buttons[0] == IDOK ? IDOK
                            : buttons[static_cast<size_t>(Pick(static_cast<int>(buttons.size())))];
  }
  Note("box \"%s\" (%s): button %d", title.c_str(), MessageBoxText(dialog).c_str(), id);
  if (buttons.empty()) {
    Post(dialog, WM_CLOSE, 0, 0);
  } else {
    Click(dialog, id);
  }
}

// Answers what Ravelin shows besides its two windows; how many acts.
int ServiceDialogs() {
  const DWORD now = GetTickCount();
  int acts = 0;
  std::map<HWND, Seen> still;
  for (HWND w : ProgramWindows()) {
    const std::string cls = WindowClass(w);
    if (w == run.main || cls == kFinderClassName || cls == "tooltips_class32") continue;
    Seen s = seen.count(w) != 0 ? seen[w] : Seen{now, 0, 0};
    still[w] = s;
    Seen& mine = still[w];
    // A dialog is left alone a moment after it appears and after each act.
    if (now - mine.first < 150 || (mine.acted != 0 && now - mine.acted < 700)) continue;
    if (!IsWindowEnabled(w)) continue;  // a box of its own is on top
    const std::string title = WindowText(w);
    if (cls == "#32768") {
      if (Chance(50)) {
        Note("context menu: escape");
        Post(w, WM_KEYDOWN, VK_ESCAPE, 1);
      } else {
        const int downs = 1 + Pick(3);
        Note("context menu: item %d", downs);
        for (int i = 0; i < downs; ++i) Post(w, WM_KEYDOWN, VK_DOWN, 1);
        Post(w, WM_KEYDOWN, VK_RETURN, 1);
      }
    } else if (cls == kProgressClass) {
      if (GetDlgItem(w, IDCANCEL) == nullptr || !Chance(30)) continue;
      Note("progress \"%s\": cancel", title.c_str());
      Click(w, IDCANCEL);
    } else if (cls != "#32770") {
      if (!Chance(50)) continue;
      Note("window %s \"%s\": close", cls.c_str(), title.c_str());
      Post(w, WM_CLOSE, 0, 0);
    } else if (title == kSearchTitle) {
      if (!Chance(30)) continue;
      Note("search: cancel");
      Click(w, IDCANCEL);
    } else if (GetDlgItem(w, 0x47c) != nullptr) {
      if (title == kOpenDialogTitle) {
        AnswerOpen(w, mine);
      } else {
        AnswerSave(w, title);
      }
    } else if (title == kChooserTitle) {
      AnswerChooser(w);
    } else if (FindDescendant(w, "SysTreeView32") != nullptr) {
      AnswerPicker(w);
    } else {
      AnswerBox(w, title);
    }
    mine.acted = now;
    ++acts;
  }
  seen.swap(still);
  return acts;
}

// ---- User events --------------------------------------------------------

HWND View() { return FindWindowExA(run.main, nullptr, kViewClassName, nullptr); }
HWND NavigationBar() { return FindWindowExA(run.main, nullptr, "ScrollBar", nullptr); }

POINT RandomPoint(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return {r.right > 0 ? Pick(r.right) : 0, r.bottom > 0 ? Pick(r.bottom) : 0};
}

LPARAM At(POINT p) { return MAKELPARAM(p.x, p.y); }

constexpr int kCommands[] = {CMD_OPEN_FILES,
                             CMD_OPEN_DIRECTORY,
                             CMD_SAVE_IMAGE,
                             CMD_SAVE_ICON_GROUP,
                             CMD_SAVE_ALL,
                             CMD_COPY,
                             CMD_TOGGLE_FINDER,
                             CMD_ZOOM_IN,
                             CMD_ZOOM_OUT,
                             CMD_SORT_LARGE_TO_SMALL,
                             CMD_SORT_SMALL_TO_LARGE,
                             CMD_NO_SORT,
                             CMD_HIDE_DUPLICATES,
                             CMD_ABOUT,
                             CMD_HELP_CONTENTS};

struct Key {
  WPARAM key;
  bool ctrl;
  const char* name;
};
// The accelerator table's keys; Ctrl+Space and the plus keys with Shift are
// the same commands as their neighbours.
constexpr Key kAccelerators[] = {
    {VK_F1, false, "F1"},           {VK_SPACE, true, "Ctrl+Space"}, {'O', true, "Ctrl+O"},
    {'D', true, "Ctrl+D"},          {'S', true, "Ctrl+S"},          {'G', true, "Ctrl+G"},
    {VK_DOWN, true, "Ctrl+Down"},   {VK_UP, true, "Ctrl+Up"},       {VK_ADD, false, "Gray +"},
    {VK_SUBTRACT, false, "Gray -"}, {VK_OEM_PLUS, false, "+"},      {VK_OEM_PLUS, true, "Ctrl++"},
    {VK_OEM_MINUS, false, "-"},     {VK_OEM_MINUS, true, "Ctrl+-"}, {VK_TAB, false, "Tab"},
    {'C', true, "Ctrl+C"},          {'H', true, "Ctrl+H"}};
constexpr WPARAM kNavigationKeys[] = {VK_LEFT,  VK_RIGHT, VK_HOME, VK_END,
                                      VK_PRIOR, VK_NEXT,  VK_UP,   VK_DOWN};

// A key through Ravelin's own loop; Ctrl is held in the input state the
// two threads share while the key is attached.
void PressKey(HWND target, WPARAM key, bool ctrl) {
  const DWORD mine = GetCurrentThreadId();
  const DWORD theirs = GetWindowThreadProcessId(run.main, nullptr);
  if (ctrl && run.ctrlWorks && AttachThreadInput(mine, theirs, TRUE)) {
    BYTE saved[256], pressed[256];
    GetKeyboardState(saved);
    CopyMemory(pressed, saved, sizeof pressed);
    pressed[VK_CONTROL] = 0x80;
    SetKeyboardState(pressed);
    Post(target, WM_KEYDOWN, key, 1);
    Answers(3000);
    Sleep(30);
    SetKeyboardState(saved);
    AttachThreadInput(mine, theirs, FALSE);
    return;
  }
  if (ctrl) run.ctrlWorks = false;
  Post(target, WM_KEYDOWN, key, 1);
  Post(target, WM_KEYUP, key, 0xC0000001);
}

void MouseEvents(HWND target, const char* name) {
  const POINT p = RandomPoint(target);
  switch (Pick(6)) {
    case 0:
      Note("%s: click %ld,%ld", name, p.x, p.y);
      Post(target, WM_LBUTTONDOWN, MK_LBUTTON, At(p));
      Post(target, WM_LBUTTONUP, 0, At(p));
      break;
    case 1:
      Note("%s: double-click %ld,%ld", name, p.x, p.y);
      Post(target, WM_LBUTTONDOWN, MK_LBUTTON, At(p));
      Post(target, WM_LBUTTONUP, 0, At(p));
      Post(target, WM_LBUTTONDBLCLK, MK_LBUTTON, At(p));
      Post(target, WM_LBUTTONUP, 0, At(p));
      break;
    case 2: {
      const POINT q = RandomPoint(target);
      Note("%s: drag %ld,%ld to %ld,%ld", name, p.x, p.y, q.x, q.y);
      Post(target, WM_LBUTTONDOWN, MK_LBUTTON, At(p));
      for (int i = 1; i <= 4; ++i) {
        const POINT m{p.x + (q.x - p.x) * i / 4, p.y + (q.y - p.y) * i / 4};
        Post(target, WM_MOUSEMOVE, MK_LBUTTON, At(m));
      }
      Post(target, WM_LBUTTONUP, 0, At(q));
      break;
    }
    case 3: {
      POINT s = p;
      ClientToScreen(target, &s);
      const int clicks = Pick(7) - 3;
      Note("%s: wheel %d at %ld,%ld", name, clicks, p.x, p.y);
      // The main window passes wheel turns over its view on to it.
      HWND to = target == View() ? run.main : target;
      Post(to, WM_MOUSEWHEEL, MAKEWPARAM(0, clicks * WHEEL_DELTA), MAKELPARAM(s.x, s.y));
      break;
    }
    case 4:
      Note("%s: right click %ld,%ld", name, p.x, p.y);
      Post(target, WM_RBUTTONDOWN, MK_RBUTTON, At(p));
      Post(target, WM_RBUTTONUP, 0, At(p));
      break;
    default:
      Note("%s: move %ld,%ld", name, p.x, p.y);
      Post(target, WM_MOUSEMOVE, 0, At(p));
      break;
  }
}

void ScrollEvent(HWND target, UINT message, const char* name) {
  constexpr WORD kCodes[] = {SB_LINEUP, SB_LINEDOWN,   SB_PAGEUP,        SB_PAGEDOWN, SB_TOP,
                             SB_BOTTOM, SB_THUMBTRACK, SB_THUMBPOSITION, SB_ENDSCROLL};
  const WORD code = kCodes[Pick(9)];
  const int position = Pick(3) == 0 ? Pick(70000) : Pick(200);
  Note("%s: scroll code %u position %d", name, code, position);
  const HWND bar = message == WM_HSCROLL && target == run.main ? NavigationBar() : nullptr;
  Post(target, message, MAKEWPARAM(code, position), reinterpret_cast<LPARAM>(bar));
}

void WindowEvent() {
  HWND finder = Finder();
  switch (Pick(6)) {
    case 0: {
      const int w = 200 + Pick(900), h = 150 + Pick(700);
      Note("main: resize to %dx%d", w, h);
      SetWindowPos(run.main, nullptr, 0, 0, w, h,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
      break;
    }
    case 1:
      if (finder == nullptr) break;
      Note("finder: resize");
      SetWindowPos(finder, nullptr, 0, 0, 40 + Pick(500), 40 + Pick(700),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
      break;
    case 2:
      Note(run.minimised ? "main: restore" : "main: minimise");
      ShowWindowAsync(run.main, run.minimised ? SW_RESTORE : SW_MINIMIZE);
      run.minimised = !run.minimised;
      break;
    case 3:
      if (finder == nullptr) break;
      Note("finder: close");
      Post(finder, WM_CLOSE, 0, 0);
      break;
    case 4:
      if (finder == nullptr) break;
      Note("finder: minimise and restore");
      ShowWindowAsync(finder, SW_MINIMIZE);
      Answers(3000);
      ShowWindowAsync(finder, SW_RESTORE);
      break;
    default:
      Note("main: maximise or restore");
      ShowWindowAsync(run.main, Chance(50) ? SW_MAXIMIZE : SW_RESTORE);
      run.minimised = false;
      break;
  }
}

void UserEvent() {
  HWND finder = Finder();
  const bool finderShown = finder != nullptr && IsWindowVisible(finder);
  // Narrowed runs (which kinds, which commands) look for where memory goes.
  static const char* kinds = getenv("RAVELIN_MONKEY_KINDS");
  static const std::vector<int> commands = [] {
    std::vector<int> c(std::begin(kCommands), std::end(kCommands));
    if (const char* only = getenv("RAVELIN_MONKEY_COMMANDS")) {
      c.clear();
      for (const char* p = only; *p != '\0'; p += strspn(p, "0123456789"), p += *p != '\0') {
        c.push_back(atoi(p));
      }
    }
    return c;
  }();
  int kind = Pick(100);
  constexpr int kLimits[] = {8, 18, 40, 62, 78, 88, 92, 100};
  while (kinds != nullptr) {
    int k = 0;
    while (kind >= kLimits[k]) ++k;
    if (strchr(kinds, "cknvfbsw"[k]) != nullptr) break;
    kind = Pick(100);
  }
  if (kind < 8) {
    const int command = commands[static_cast<size_t>(Pick(static_cast<int>(commands.size())))];
    Note("command %d", command);
    Post(run.main, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  } else if (kind < 18) {
    const Key& k = kAccelerators[Pick(sizeof kAccelerators / sizeof kAccelerators[0])];
    Note("key %s", k.name);
    PressKey(run.main, k.key, k.ctrl);
  } else if (kind < 40) {
    const WPARAM key = kNavigationKeys[Pick(8)];
    HWND to = finderShown && Chance(30) ? finder : run.main;
    Note("navigation key %u to %s", static_cast<unsigned>(key), to == run.main ? "main" : "finder");
    PressKey(to, key, false);
  } else if (kind < 62) {
    MouseEvents(View(), "view");
  } else if (kind < 78) {
    if (finderShown) {
      if (Chance(25)) {
        ScrollEvent(finder, WM_VSCROLL, "finder");
      } else {
        MouseEvents(finder, "finder");
      }
    } else {
      Note("key Tab (finder hidden)");
      PressKey(run.main, VK_TAB, false);
    }
  } else if (kind < 88) {
    if (Chance(50)) {
      ScrollEvent(run.main, WM_HSCROLL, "navigation bar");
    } else {
      HWND bar = NavigationBar();
      const POINT p = RandomPoint(bar);
      Note("navigation bar: click %ld", p.x);
      Post(bar, WM_LBUTTONDOWN, MK_LBUTTON, At(p));
      Post(bar, WM_LBUTTONUP, 0, At(p));
    }
  } else if (kind < 92) {
    ScrollEvent(View(), Chance(50) ? WM_HSCROLL : WM_VSCROLL, "view");
  } else {
    WindowEvent();
  }
}

// ---- Checks ------------------------------------------------------------

struct Sample {
  SIZE_T privateBytes = 0;
  SIZE_T workingSet = 0;
  DWORD gdi = 0, user = 0;
};

// Wine answers GetGuiResources with 0. Its GDI handles live in a table in
// the process itself, named by the PEB's GdiSharedHandleTable: 0x10000
// entries of 24 bytes, whose type byte (at 14) is 0 when the entry is free.
DWORD WineGdiObjects() {
  using Query = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic{};
  if (query == nullptr ||
      query(run.process.hProcess, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) {
    return 0;
  }
  constexpr size_t kTableAt = sizeof(void*) == 8 ? 0xF8 : 0x94;
  constexpr size_t kEntries = 0x10000, kEntrySize = 24, kTypeAt = 14;
  void* table = nullptr;
  std::vector<unsigned char> entries(kEntries * kEntrySize);
  if (!ReadProcessMemory(run.process.hProcess,
                         reinterpret_cast<char*>(basic.PebBaseAddress) + kTableAt, &table,
                         sizeof table, nullptr) ||
      table == nullptr ||
      !ReadProcessMemory(run.process.hProcess, table, entries.data(), entries.size(), nullptr)) {
    return 0;
  }
  DWORD count = 0;
  for (size_t i = 0; i < kEntries; ++i) count += entries[i * kEntrySize + kTypeAt] != 0;
  return count;
}

Sample Measure() {
  Sample s;
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(run.process.hProcess,
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters)) {
    // Wine leaves PrivateUsage at 0 for another process; its commit charge
    // is the same figure on Windows.
    s.privateBytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
    s.workingSet = counters.WorkingSetSize;
  }
  s.gdi = GetGuiResources(run.process.hProcess, GR_GDIOBJECTS);
  if (s.gdi == 0) s.gdi = WineGdiObjects();
  s.user = GetGuiResources(run.process.hProcess, GR_USEROBJECTS);
  return s;
}

void CheckAlive(const char* when) {
  if (!Alive()) {
    DWORD code = 0;
    GetExitCodeProcess(run.process.hProcess, &code);
    char what[120];
    snprintf(what, sizeof what, "Ravelin ended %s with code 0x%lx", when, code);
    Fail(what);
  }
}

void Check() {
  CheckAlive("during the run");
  // Long work pumps its dialog's loop, which answers too; a second try
  // covers a file that takes its time.
  if (!Answers(kAnswerTimeoutMs) && !Answers(kAnswerTimeoutMs)) Fail("Ravelin does not answer");
  const Sample s = Measure();
  printf("events %ld: private %lu KiB, working set %lu KiB, GDI %lu, USER %lu, title \"%s\"\n",
         run.done, static_cast<unsigned long>(s.privateBytes / 1024),
         static_cast<unsigned long>(s.workingSet / 1024), s.gdi, s.user,
         WindowText(run.main).c_str());
}

// Every dialog cancelled and the program closed as a user would.
void Close() {
  const DWORD start = GetTickCount();
  while (Alive() && GetTickCount() - start < 30000) {
    for (HWND w : ProgramWindows()) {
      if (w == run.main || WindowClass(w) == kFinderClassName) continue;
      if (WindowClass(w) == "#32768") Post(w, WM_KEYDOWN, VK_ESCAPE, 1);
      if (HWND cancel = GetDlgItem(w, IDCANCEL))
        Post(cancel, BM_CLICK, 0, 0);
      else
        Post(w, WM_CLOSE, 0, 0);
    }
    Post(run.main, WM_CLOSE, 0, 0);
    WaitForSingleObject(run.process.hProcess, 500);
  }
  if (Alive()) Fail("Ravelin does not close");
  DWORD code = 0;
  GetExitCodeProcess(run.process.hProcess, &code);
  if (code != 0) Fail("Ravelin closed with a non-zero status");
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 4) {
    fprintf(stderr, "usage: monkey SEED EVENTS|SECONDSs RAVELIN_EXE [FILE...]\n");
    return 2;
  }
  run.seed = static_cast<uint32_t>(strtoul(argv[1], nullptr, 10));
  const std::string amount = argv[2];
  if (!amount.empty() && amount.back() == 's') {
    run.seconds = static_cast<DWORD>(atol(amount.c_str()));
    run.events = 0x7fffffff;
  } else {
    run.events = atol(amount.c_str());
  }
  run.random.seed(run.seed);
  run.trace = getenv("RAVELIN_MONKEY_TRACE") != nullptr;
  MakeFolders(std::vector<std::string>(argv + 4, argv + argc));
  printf("monkey: seed %u, %s %s, %zu files to open\n", run.seed, amount.c_str(),
         run.seconds != 0 ? "" : "events", run.fileNames.size());
  Launch(WindowsPath(argv[3]));
  Answers(kAnswerTimeoutMs);

  const DWORD start = GetTickCount();
  Sample first{}, last{};
  int silent = 0;
  while (run.done < run.events) {
    if (run.seconds != 0 && GetTickCount() - start >= run.seconds * 1000) break;
    CheckAlive("after the last event");
    if (ServiceDialogs() == 0) UserEvent();
    ++run.done;
    // Paced by Ravelin: the next event waits until it takes messages again.
    // A program that stops answering is checked at once, so that the last
    // events printed are those before it stopped.
    if (Answers(2000)) {
      silent = 0;
    } else if (++silent == 5) {
      Note("no answer for the last 5 events");
      Check();
    }
    if (run.done % kCheckEvery == 0) {
      Check();
      last = Measure();
      // Warm: its stores (decoded images, Finder thumbnails) fill as it
      // goes, so growth counts over the second half of a long run.
      const long half = run.seconds != 0 ? 0 : run.events / 2 / kCheckEvery * kCheckEvery;
      const long warm = std::max<long>(2 * kCheckEvery, half);
      if (run.done == warm) first = last;
    }
  }
  Check();
  last = Measure();
  if (first.privateBytes == 0) first = last;
  Close();
  const DWORD elapsed = GetTickCount() - start;
  printf(
      "monkey: seed %u passed %ld events in %lu s; private %lu -> %lu KiB (once warm), GDI %lu "
      "-> %lu, USER %lu -> %lu%s\n",
      run.seed, run.done, elapsed / 1000, static_cast<unsigned long>(first.privateBytes / 1024),
      static_cast<unsigned long>(last.privateBytes / 1024), first.gdi, last.gdi, first.user,
      last.user, last.user == 0 ? " (this platform reports no USER object count)" : "");
  return 0;
}
