#include "image/save_dialog_win32.h"

#include <commdlg.h>

#include "image/image_export.h"
#include "shell/error_box_win32.h"

namespace {

// Display text and pattern pairs; the list ends with a second NUL, which the
// literal's own terminator supplies.
constexpr char kSaveFilter[] =
    "Image files [.bmp;.ico;.cur]\0*.bmp;*.ico;*.cur\0"
    "All files [*.*]\0*.*\0";

}  // namespace

void SaveImage(HWND owner, const ImageRecord& record, const LoadedImage& image) {
  // Asking for a name first would be pointless: nothing can be written.
  ExportPlan plan;
  if (!PlanExport(record, image, &plan)) {
    ShowErrorBox(owner, "Can't save an image of this format", record.fileName);
    return;
  }
  char path[kPathBufferSize];
  DefaultSaveName(record.kind, path);

  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = kSaveFilter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = sizeof path;
  // Empty until the first confirmed save, so that the dialog's own default
  // folder applies.
  ofn.lpstrInitialDir = saveState.lastSavePath[0] != '\0' ? saveState.lastSavePath : nullptr;
  ofn.lpstrTitle = SaveDialogTitle(record.kind);
  ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT;
  if (!GetSaveFileNameA(&ofn)) return;

  if (SaveToPath(path, record, image) != ExportStatus::Written) {
    ShowErrorBox(owner, "Can't create file", path);
  }
}
