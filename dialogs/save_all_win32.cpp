#include "dialogs/save_all_win32.h"

#include <shlobj.h>

#include <cstdio>

#include "dialogs/progress_window_win32.h"
#include "image/save_all.h"
#include "ui/error_box_win32.h"

namespace {

constexpr char kPickerText[] = "Choose the folder to save every image in:";
constexpr char kPngChoiceText[] = "Save as &PNG images";
constexpr int kPngChoiceId = 0x3F01;
constexpr char kProgressTitle[] = "Saving images...";

// Kept for the run: the next picker starts where the last one ended, with
// the same format chosen.
char lastFolder[MAX_PATH] = "";
bool lastPng = false;

WNDPROC choiceBaseProc = nullptr;

// The picker reports no control of its own, so the check box tells its
// state as the picker is taken down.
LRESULT CALLBACK ChoiceProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) lastPng = SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
  return CallWindowProcA(choiceBaseProc, box, message, wParam, lParam);
}

// Puts the check box in the picker's free corner, left of its OK button.
void AddPngChoice(HWND picker) {
  HWND ok = GetDlgItem(picker, IDOK);
  RECT okRect{};
  GetWindowRect(ok, &okRect);
  MapWindowPoints(nullptr, picker, reinterpret_cast<POINT*>(&okRect), 2);
  const int margin = 8;
  HWND box = CreateWindowExA(0, "BUTTON", kPngChoiceText,
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, margin,
                             okRect.top, okRect.left - 2 * margin, okRect.bottom - okRect.top,
                             picker, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPngChoiceId)),
                             GetModuleHandleA(nullptr), nullptr);
  if (box == nullptr) return;
  SendMessageA(box, WM_SETFONT, SendMessageA(picker, WM_GETFONT, 0, 0), FALSE);
  SendMessageA(box, BM_SETCHECK, lastPng ? BST_CHECKED : BST_UNCHECKED, 0);
  choiceBaseProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ChoiceProc)));
}

int CALLBACK PickerCallback(HWND picker, UINT message, LPARAM, LPARAM) {
  if (message != BFFM_INITIALIZED) return 0;
  AddPngChoice(picker);
  if (lastFolder[0] != '\0') {
    SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(lastFolder));
  }
  return 0;
}

// False when the picker was cancelled or gave no file system folder.
bool PickFolder(HWND owner, char* folder, SaveFormat* format) {
  char display[MAX_PATH] = "";
  BROWSEINFOA info{};
  info.hwndOwner = owner;
  info.pszDisplayName = display;
  info.lpszTitle = kPickerText;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = PickerCallback;
  LPITEMIDLIST picked = SHBrowseForFolderA(&info);
  if (picked == nullptr) return false;
  const bool ok = SHGetPathFromIDListA(picked, folder) != FALSE;
  CoTaskMemFree(picked);
  if (!ok) return false;
  snprintf(lastFolder, sizeof lastFolder, "%s", folder);
  *format = lastPng ? SaveFormat::Png : SaveFormat::Classic;
  return true;
}

class WindowFeedback final : public SaveAllFeedback {
 public:
  bool Cancelled() override { return ProgressCancelled(); }
  void Step() override { StepProgressWindow(); }
};

}  // namespace

std::string SaveAllImages(HWND owner, Catalogue* catalogue, const std::vector<int32_t>& indices) {
  char folder[MAX_PATH];
  SaveFormat format = SaveFormat::Classic;
  if (indices.empty() || !PickFolder(owner, folder, &format)) return std::string();
  bool keepExisting = false;
  const int32_t existing = CountExistingSaveAllFiles(*catalogue, indices, folder, format);
  if (existing > 0) {
    char text[MAX_PATH + 200];
    snprintf(text, sizeof text,
             "%d of the files to save are already in\n%s\n\nYes replaces them, No keeps them and "
             "saves the others, Cancel saves nothing.",
             static_cast<int>(existing), folder);
    const int answer =
        MessageBoxA(owner, text, kSaveAllTitle, MB_ICONWARNING | MB_YESNOCANCEL | MB_DEFBUTTON2);
    if (answer == IDCANCEL) return std::string();
    keepExisting = answer == IDNO;
  }
  const int count = static_cast<int>(indices.size());
  ShowCancellableProgressWindow(owner, kProgressTitle, count + 1, 1);
  // The progress window's messages are dispatched between files; the owner
  // takes no input meanwhile.
  EnableWindow(owner, FALSE);
  WindowFeedback feedback;
  const SaveAllResult result =
      SaveAllEntries(catalogue, indices, folder, format, keepExisting, feedback);
  EnableWindow(owner, TRUE);
  CloseProgressWindow();
  if (!result.failedPath.empty())
    ShowErrorBox(owner, "Can't create file", result.failedPath.c_str());
  return SaveAllSummary(result);
}
