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

// One picker's: the run's choice it starts from and keeps, and the check
// box's own procedure, which the box reaches through its user data.
struct PickerState {
  SaveAllChoice* choice;
  WNDPROC choiceBaseProc;
};

// The picker reports no control of its own, so the check box tells its
// state as the picker is taken down.
LRESULT CALLBACK ChoiceProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto* state = reinterpret_cast<const PickerState*>(GetWindowLongPtrA(box, GWLP_USERDATA));
  if (message == WM_DESTROY) {
    state->choice->png = SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  return CallWindowProcA(state->choiceBaseProc, box, message, wParam, lParam);
}

// Puts the check box in the picker's free corner, left of its OK button.
void AddPngChoice(HWND picker, PickerState* state) {
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
  SendMessageA(box, BM_SETCHECK, state->choice->png ? BST_CHECKED : BST_UNCHECKED, 0);
  SetWindowLongPtrA(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  state->choiceBaseProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ChoiceProc)));
}

int CALLBACK PickerCallback(HWND picker, UINT message, LPARAM, LPARAM data) {
  if (message != BFFM_INITIALIZED) return 0;
  auto* state = reinterpret_cast<PickerState*>(data);
  AddPngChoice(picker, state);
  const char* last = state->choice->folder;
  if (last[0] != '\0') {
    SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(last));
  }
  return 0;
}

// False when the picker was cancelled or gave no file system folder.
bool PickFolder(HWND owner, SaveAllChoice* choice, char* folder, SaveFormat* format) {
  PickerState state = {choice, nullptr};
  char display[MAX_PATH] = "";
  BROWSEINFOA info{};
  info.hwndOwner = owner;
  info.pszDisplayName = display;
  info.lpszTitle = kPickerText;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = PickerCallback;
  info.lParam = reinterpret_cast<LPARAM>(&state);
  LPITEMIDLIST picked = SHBrowseForFolderA(&info);
  if (picked == nullptr) return false;
  const bool ok = SHGetPathFromIDListA(picked, folder) != FALSE;
  CoTaskMemFree(picked);
  if (!ok) return false;
  snprintf(choice->folder, sizeof choice->folder, "%s", folder);
  *format = choice->png ? SaveFormat::Png : SaveFormat::Classic;
  return true;
}

class WindowFeedback final : public SaveAllFeedback {
 public:
  explicit WindowFeedback(ProgressWindow* progress) : progress_(progress) {}
  bool Cancelled() override { return ProgressCancelled(progress_); }
  void Step() override { StepProgressWindow(progress_); }

 private:
  ProgressWindow* progress_;
};

}  // namespace

std::string SaveAllImages(HWND owner, SaveAllChoice* choice, ImageCache& cache,
                          Catalogue* catalogue, const std::vector<int32_t>& indices) {
  char folder[MAX_PATH];
  SaveFormat format = SaveFormat::Classic;
  if (indices.empty() || !PickFolder(owner, choice, folder, &format)) return std::string();
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
  ProgressWindow progress;
  ShowCancellableProgressWindow(&progress, owner, kProgressTitle, count + 1, 1);
  // The progress window's messages are dispatched between files; the owner
  // takes no input meanwhile.
  EnableWindow(owner, FALSE);
  WindowFeedback feedback(&progress);
  const SaveAllResult result =
      SaveAllEntries(cache, catalogue, indices, folder, format, keepExisting, feedback);
  EnableWindow(owner, TRUE);
  CloseProgressWindow(&progress);
  if (!result.failedPath.empty())
    ShowErrorBox(owner, "Can't create file", result.failedPath.c_str());
  return SaveAllSummary(result);
}
