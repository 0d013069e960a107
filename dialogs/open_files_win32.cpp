#include "dialogs/open_files_win32.h"

#include <cderr.h>
#include <commdlg.h>

#include <cstring>
#include <memory>
#include <new>

#include "dialogs/open_files.h"
#include "dialogs/progress_window_win32.h"
#include "dialogs/search_dialog_win32.h"
#include "scan/directory_search.h"
#include "ui/error_box_win32.h"
#include "ui/program_title.h"
#include "ui/wait_cursor.h"

namespace {

constexpr char kFilter[] =
    "Executable files [.exe;.dll;.ocx]\0*.exe;*.dll;*.ocx\0All files [*.*]\0*.*\0";
constexpr char kDialogTitle[] = "Open the executable file(s)";
constexpr DWORD kDialogFlags =
    OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
static_assert(kDialogFlags == 0x81A00);

constexpr char kProgressTitle[] = "Loading files...";
constexpr int kOverflowMessageSize = 300;

// A pick's load searches no folder, so its feedback is made without a walk.
class WindowFeedback final : public DropFeedback {
 public:
  WindowFeedback(HWND owner, SearchState* search) : owner_(owner), search_(search) {}
  void ShowError(const char* message, const char* fileName) override {
    ShowErrorBox(owner_, message, fileName);
  }
  void ShowProgress(int32_t range, int32_t step) override {
    ShowProgressWindow(&progress_, owner_, kProgressTitle, range, step);
  }
  void StepProgress() override { StepProgressWindow(&progress_); }
  void CloseProgress() override { CloseProgressWindow(&progress_); }
  bool SearchFolder(const char* folder, Catalogue* catalogue) override {
    SetWaitCursor(false);
    SearchTree(owner_, *search_, catalogue, folder, true);
    SetWaitCursor(true);
    return search_->stop != SearchStop::OutOfMemory;
  }

 private:
  HWND owner_;
  SearchState* search_;
  ProgressWindow progress_;
};

int32_t LoadPick(HWND owner, char* result, int32_t resultSize, int32_t fileOffset,
                 Catalogue* catalogue) {
  RememberOpenDialogDirectory(result, resultSize);
  // The dialog's area is painted over before the load takes the thread.
  UpdateWindow(owner);
  SetWaitCursor(true);
  WindowFeedback feedback(owner, nullptr);
  int32_t count = LoadPickedFiles(result, resultSize, fileOffset, catalogue, feedback);
  SetWaitCursor(false);
  return count;
}

// Tells the user that the names did not fit; true when they want to pick
// again with the larger buffer now in *size.
bool OfferLargerBuffer(HWND owner, int32_t* size, int32_t neededSize) {
  char message[kOverflowMessageSize];
  int32_t retrySize = PlanOverflowRetry(*size, neededSize, message, sizeof message);
  if (retrySize == 0) {
    MessageBoxA(owner, message, kProgramTitle, MB_ICONWARNING | MB_OK);
    return false;
  }
  if (MessageBoxA(owner, message, kProgramTitle, MB_ICONWARNING | MB_RETRYCANCEL) != IDRETRY) {
    return false;
  }
  *size = retrySize;
  return true;
}

}  // namespace

int32_t OpenExecutableFiles(HWND owner, Catalogue* catalogue) {
  int32_t size = kOpenResultSize;
  // A pick that overflowed is offered again in the folder it was made in,
  // when the dialog let that be seen.
  char retryFolder[kPathBufferSize];
  const char* initialFolder = OpenDialogDirectory;
  for (;;) {
    std::unique_ptr<char[]> result(new (std::nothrow) char[static_cast<size_t>(size)]);
    if (result == nullptr) return -1;
    result[0] = '\0';

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = result.get();
    ofn.nMaxFile = static_cast<DWORD>(size);
    ofn.lpstrInitialDir = initialFolder;
    ofn.lpstrTitle = kDialogTitle;
    ofn.Flags = kDialogFlags;

    int32_t neededSize = 0;
    if (GetOpenFileNameA(&ofn)) {
      // Some dialogs report success with the list cut at the buffer's end
      // instead of failing; a cut list is treated like a failed one.
      PickedFiles picked = ReadOpenResult(result.get(), size, ofn.nFileOffset);
      if (picked.form == PickForm::Single || picked.form == PickForm::Several) {
        return LoadPick(owner, result.get(), size, ofn.nFileOffset, catalogue);
      }
      if (picked.form != PickForm::Cut) return -1;
      if (picked.folder != nullptr && strlen(picked.folder) < sizeof retryFolder) {
        strcpy(retryFolder, picked.folder);
        initialFolder = retryFolder;
      }
    } else if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
      neededSize = NeededSizeFromFailedResult(result.get());
    } else {
      return -1;
    }
    if (!OfferLargerBuffer(owner, &size, neededSize)) return -1;
  }
}

int32_t OpenDroppedPaths(HWND owner, SearchState& search, const std::vector<DroppedPath>& paths,
                         Catalogue* catalogue) {
  SetWaitCursor(true);
  WindowFeedback feedback(owner, &search);
  int32_t count = LoadDroppedPaths(paths, catalogue, feedback);
  SetWaitCursor(false);
  return count;
}

std::vector<DroppedPath> ClassifyPaths(const std::vector<std::string>& paths) {
  std::vector<DroppedPath> classified;
  for (const std::string& path : paths) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    classified.push_back(
        {path, attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)});
  }
  return classified;
}
