#include "image/save_dialog_win32.h"

#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "image/image_export.h"
#include "shell/error_box_win32.h"

namespace {

// Display text and pattern pairs; the list ends with a second NUL, which the
// literal's own terminator supplies.
constexpr char kSaveFilter[] =
    "Image files [.bmp;.ico;.cur]\0*.bmp;*.ico;*.cur\0"
    "All files [*.*]\0*.*\0";

// The folder of the remembered path. The dialog does not take a file's
// path for its initial folder (it falls back to a folder of its own
// choosing), so the name is cut off; a root keeps its backslash.
void InitialFolder(const char* lastPath, char* folder) {
  snprintf(folder, kPathBufferSize, "%s", lastPath);
  char* cut = strrchr(folder, '\\');
  char* slash = strrchr(folder, '/');
  if (slash != nullptr && (cut == nullptr || slash > cut)) cut = slash;
  if (cut == nullptr) return;
  if (cut == folder || cut[-1] == ':') ++cut;
  *cut = '\0';
}

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
  char folder[kPathBufferSize];
  InitialFolder(saveState.lastSavePath, folder);
  ofn.lpstrInitialDir = folder[0] != '\0' ? folder : nullptr;
  ofn.lpstrTitle = SaveDialogTitle(record.kind);
  ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT;
  if (!GetSaveFileNameA(&ofn)) return;

  if (SaveToPath(path, record, image) != ExportStatus::Written) {
    ShowErrorBox(owner, "Can't create file", path);
  }
}
