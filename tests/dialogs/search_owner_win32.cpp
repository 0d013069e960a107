#include "tests/dialogs/search_owner_win32.h"

#include "dialogs/search_dialog_win32.h"
#include "res/resource.h"

OwnerLog ownerLog;

namespace {

void NoteCountLine(HWND dialog) {
  char text[64] = {};
  GetDlgItemTextA(dialog, IDC_FOUND_COUNT, text, sizeof text);
  if (ownerLog.countTexts.empty() || ownerLog.countTexts.back() != text) {
    ownerLog.countTexts.emplace_back(text);
  }
}

// The count line's own procedure, and one that notes every text set on it,
// so that texts set and replaced within one idle notification are seen too.
WNDPROC countLineProc = nullptr;
LRESULT CALLBACK NotingCountLineProc(HWND line, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallWindowProcA(countLineProc, line, message, wParam, lParam);
  if (message == WM_SETTEXT) NoteCountLine(GetParent(line));
  return result;
}

void WatchCountLine(HWND dialog) {
  HWND line = GetDlgItem(dialog, IDC_FOUND_COUNT);
  if (line == nullptr ||
      GetWindowLongPtrA(line, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(NotingCountLineProc)) {
    return;
  }
  countLineProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(line, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NotingCountLineProc)));
}

bool IsSearchDialog(HWND window) {
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  return std::string(title) == "Searching for images...";
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENTERIDLE) {
    HWND dialog = reinterpret_cast<HWND>(lParam);
    bool search = wParam == MSGF_DIALOGBOX && IsSearchDialog(dialog);
    if (search) {
      ++ownerLog.searchIdles;
      NoteCountLine(dialog);
      WatchCountLine(dialog);
    }
    SearchIdleStep(wParam, lParam);
    if (search) NoteCountLine(dialog);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND SearchOwner() {
  static HWND owner = nullptr;
  if (owner != nullptr) return owner;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = OwnerProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "SearchOwnerWnd";
  RegisterClassA(&windowClass);
  owner = CreateWindowExA(0, "SearchOwnerWnd", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20,
                          500, 400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  return owner;
}

std::vector<ListedFolder> ReadFolderList(HWND chooser) {
  HWND list = GetDlgItem(chooser, IDC_FOLDER_LIST);
  std::vector<ListedFolder> items;
  LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char text[300] = {};
    if (SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0) >= LRESULT{sizeof text}) {
      continue;
    }
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    auto data =
        static_cast<uint32_t>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0));
    items.push_back({text, data});
  }
  return items;
}

int FolderSelection(HWND chooser) {
  return static_cast<int>(SendDlgItemMessageA(chooser, IDC_FOLDER_LIST, LB_GETCURSEL, 0, 0));
}

std::string ControlText(HWND dialog, int id) {
  char text[300] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

std::string DriveSelectionText(HWND chooser) {
  HWND combo = GetDlgItem(chooser, IDC_DRIVE_LIST);
  LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  char text[64] = {};
  if (index < 0 ||
      SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0) >= LRESULT{sizeof text}) {
    return "";
  }
  SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}

void DoubleClickFolder(HWND chooser, int index) {
  HWND list = GetDlgItem(chooser, IDC_FOLDER_LIST);
  SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
  RECT item = {};
  SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
  PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
}

int FindFolder(HWND chooser, const std::string& text) {
  std::vector<ListedFolder> items = ReadFolderList(chooser);
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].text == text) return static_cast<int>(i);
  }
  return -1;
}
