#include "dialogs/directory_chooser_win32.h"

#include <cstring>
#include <string>
#include <vector>

#include "dialogs/directory_chooser.h"
#include "res/resource.h"
#include "ui/program_title.h"
#include "ui/wait_cursor.h"

namespace {

constexpr int kIconSize = 16;
// The text starts this far right of an item's icon position.
constexpr int kTextIndent = 18;

struct ChooserState {
  DriveTable drives;
  // Drive list index that a cancelled drive change goes back to.
  LRESULT savedDriveSelection;
  // The items the folder list holds, in its order.
  std::vector<FolderItem> shown;
  HICON openIcon;
  HICON closedIcon;
  // A full path followed by two NULs fits.
  char scratch[kPathBufferSize + 1];
} chooser;

// lstrcmpiA is a __stdcall function on 32-bit Windows.
int CompareFolderNames(const char* a, const char* b) { return lstrcmpiA(a, b); }

HWND FolderList(HWND dialog) { return GetDlgItem(dialog, IDC_FOLDER_LIST); }
HWND DriveList(HWND dialog) { return GetDlgItem(dialog, IDC_DRIVE_LIST); }

void ShowPath(HWND dialog) { SetDlgItemTextA(dialog, IDC_PATH_LINE, ChooserPath); }

// False, with the list as it was, when the path cannot be made the current
// directory.
bool RefillFolderList(HWND dialog) {
  if (!SetCurrentDir(ChooserPath)) return false;
  HWND list = FolderList(dialog);
  chooser.shown = BuildFolderList(ChooserPath, CompareFolderNames);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  size_t added = 0;
  for (const FolderItem& item : chooser.shown) {
    LRESULT index =
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
    if (index < 0) break;
    SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(index), item.data);
    ++added;
  }
  chooser.shown.resize(added);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  return true;
}

void SelectCurrentFolder(HWND dialog) {
  int32_t index = CurrentFolderIndex(chooser.shown);
  if (index >= 0) SendMessageA(FolderList(dialog), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void FillDriveList(HWND dialog) {
  HWND combo = DriveList(dialog);
  for (int32_t i = 0; i < chooser.drives.count; ++i) {
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(chooser.drives.rows[i].display));
  }
  // A current directory too long for the buffer leaves the last folder shown.
  GetCurrentDir(ChooserPath);
  LRESULT selection = 0;
  if (chooser.drives.count > 0) {
    const char* text = chooser.drives.rows[DriveRowForPath(chooser.drives, ChooserPath)].display;
    selection = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(text));
    if (selection < 0) selection = 0;
  }
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
  chooser.savedDriveSelection = selection;
}

BOOL OnInitDialog(HWND dialog) {
  SetWaitCursor(true);
  BuildDriveTable(&chooser.drives);
  SetWaitCursor(false);
  FillDriveList(dialog);
  RefillFolderList(dialog);
  SendMessageA(FolderList(dialog), LB_SETCURSEL, 0, 0);
  ShowPath(dialog);
  return TRUE;
}

// The selected text of a list or combo box into the scratch buffer; false
// when there is none or it would not fit.
bool SelectedText(HWND control, UINT getLength, UINT getText, LRESULT index) {
  LRESULT length = SendMessageA(control, getLength, static_cast<WPARAM>(index), 0);
  if (length < 0 || length >= static_cast<LRESULT>(sizeof chooser.scratch)) return false;
  SendMessageA(control, getText, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(chooser.scratch));
  return true;
}

void OnDriveChange(HWND dialog) {
  HWND combo = DriveList(dialog);
  LRESULT selection = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  int32_t row = -1;
  if (selection >= 0 && SelectedText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, selection)) {
    row = DriveRowWithText(chooser.drives, chooser.scratch);
  }
  if (row >= 0) {
    const char* root = chooser.drives.rows[row].root;
    for (;;) {
      if (SetCurrentDir(root)) {
        strcpy(ChooserPath, root);
        chooser.savedDriveSelection = selection;
        break;
      }
      std::string message = DriveNotReadyText(root);
      int answer = MessageBoxA(nullptr, message.c_str(), kProgramTitle,
                               MB_ICONEXCLAMATION | MB_RETRYCANCEL | MB_TASKMODAL);
      if (answer != IDRETRY) {
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(chooser.savedDriveSelection), 0);
        break;
      }
    }
  }
  RefillFolderList(dialog);
  ShowPath(dialog);
}

void OnFolderDoubleClick(HWND dialog) {
  HWND list = FolderList(dialog);
  LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (index < 0 || !SelectedText(list, LB_GETTEXTLEN, LB_GETTEXT, index)) return;
  auto data =
      static_cast<uint32_t>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
  // A folder whose path would not fit cannot be shown or searched; the
  // chooser stays where it is.
  if (MoveByItem(ChooserPath, data, chooser.scratch) != PathMove::Moved) {
    MessageBeep(MB_ICONWARNING);
    return;
  }
  RefillFolderList(dialog);
  SelectCurrentFolder(dialog);
  ShowPath(dialog);
}

void OnCommand(HWND dialog, WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case IDOK:
      EndDialog(dialog, 1);
      break;
    case IDCANCEL:
      EndDialog(dialog, 0);
      break;
    case IDC_DRIVE_LIST:
      if (HIWORD(wParam) == CBN_SELCHANGE) OnDriveChange(dialog);
      break;
    case IDC_FOLDER_LIST:
      if (HIWORD(wParam) == LBN_DBLCLK) OnFolderDoubleClick(dialog);
      break;
    default:
      break;
  }
}

// The folder icons are loaded at the first item drawn and go with the dialog.
void ReleaseFolderIcons() {
  if (chooser.openIcon != nullptr) DestroyIcon(chooser.openIcon);
  if (chooser.closedIcon != nullptr) DestroyIcon(chooser.closedIcon);
  chooser.openIcon = nullptr;
  chooser.closedIcon = nullptr;
}

INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog);
    case WM_DRAWITEM:
      if (wParam != IDC_FOLDER_LIST) return FALSE;
      DrawFolderItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_COMMAND:
      OnCommand(dialog, wParam);
      return TRUE;
    case WM_DESTROY:
      ReleaseFolderIcons();
      return FALSE;
    default:
      return FALSE;
  }
}

HICON LoadFolderIcon(int id) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                       kIconSize, kIconSize, LR_DEFAULTCOLOR));
}

}  // namespace

void DrawFolderItem(const DRAWITEMSTRUCT& item) {
  // An empty list asks for its focus rectangle with no item.
  if (item.itemID == static_cast<UINT>(-1)) return;
  if (chooser.openIcon == nullptr || chooser.closedIcon == nullptr) {
    chooser.openIcon = LoadFolderIcon(IDI_FOLDER_OPEN);
    chooser.closedIcon = LoadFolderIcon(IDI_FOLDER_CLOSED);
  }
  auto data = static_cast<uint32_t>(item.itemData);
  int x = item.rcItem.left + ItemIndentation(data);
  HICON icon = ItemLow(data) == kSubfolderMark ? chooser.closedIcon : chooser.openIcon;
  if (icon != nullptr) {
    DrawIconEx(item.hDC, x, item.rcItem.top, icon, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
  }
  bool highlighted = (item.itemState & ODS_SELECTED) != 0 && (item.itemState & ODS_FOCUS) != 0;
  int background = highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW;
  int foreground = highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT;
  RECT textArea = {x + kTextIndent, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
  FillRect(item.hDC, &textArea, GetSysColorBrush(background));
  if (!SelectedText(item.hwndItem, LB_GETTEXTLEN, LB_GETTEXT, item.itemID)) return;
  COLORREF oldText = SetTextColor(item.hDC, GetSysColor(foreground));
  COLORREF oldBack = SetBkColor(item.hDC, GetSysColor(background));
  TextOutA(item.hDC, x + kTextIndent, item.rcItem.top, chooser.scratch,
           static_cast<int>(strlen(chooser.scratch)));
  SetBkColor(item.hDC, oldBack);
  SetTextColor(item.hDC, oldText);
}

const char* ChooseDirectory(HWND owner) {
  INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr),
                                   MAKEINTRESOURCEA(IDD_CHOOSE_DIRECTORY), owner, ChooserProc, 0);
  return result == 1 ? ChooserPath : nullptr;
}
