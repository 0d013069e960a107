#include "dialogs/save_dialog_win32.h"

#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "image/group_file.h"
#include "image/image_export.h"
#include "scan/resource_groups.h"
#include "ui/error_box_win32.h"
#include "ui/program_title.h"

namespace {

// Display text and pattern pairs; the list ends with a second NUL, which the
// literal's own terminator supplies.
constexpr char kSaveFilter[] =
    "Image files [.bmp;.ico;.cur]\0*.bmp;*.ico;*.cur\0"
    "All files [*.*]\0*.*\0";
// A single image may also go out as PNG, after the classic type
// (kSaveTypeClassic, kSaveTypePng); a group may not.
constexpr char kSaveImageFilter[] =
    "Image files [.bmp;.ico;.cur]\0*.bmp;*.ico;*.cur\0"
    "PNG image (*.png)\0*.png\0"
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

// Runs the save dialog with title and the default name in path (a
// kPathBufferSize buffer), in the folder of the last path save confirmed;
// false when it was cancelled. *typeIndex gives the file type first
// selected and receives the one chosen.
bool AskSavePath(HWND owner, const SaveState& save, const char* title, char* path,
                 const char* filter = kSaveFilter, int32_t* typeIndex = nullptr) {
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = typeIndex != nullptr ? static_cast<DWORD>(*typeIndex) : 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = kPathBufferSize;
  // Empty until the first confirmed save, so that the dialog's own default
  // folder applies.
  char folder[kPathBufferSize];
  InitialFolder(save.lastSavePath, folder);
  ofn.lpstrInitialDir = folder[0] != '\0' ? folder : nullptr;
  ofn.lpstrTitle = title;
  ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT;
  if (GetSaveFileNameA(&ofn) == FALSE) return false;
  if (typeIndex != nullptr) *typeIndex = static_cast<int32_t>(ofn.nFilterIndex);
  return true;
}

// The dialog asked about the name it returned; a name this program changed
// is asked about here.
bool MayReplace(HWND owner, const char* title, const char* path) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return true;
  char text[kPathBufferSize + 64];
  snprintf(text, sizeof text, "%s already exists.\nDo you want to replace it?", path);
  return MessageBoxA(owner, text, title, MB_ICONWARNING | MB_YESNO) == IDYES;
}

// The group file of the first group that holds the entry. False when the
// entry is in no group; *opened tells whether the file could be read.
bool BuildGroupOfEntry(const ImageRecord& record, std::vector<uint8_t>* bytes, bool* opened) {
  *opened = false;
  FileHandle file = OpenInDirectory(record.directory, record.fileName);
  if (file == kInvalidFile) return false;
  *opened = true;
  FileGroups groups;
  GroupContents contents;
  bool found =
      ReadFileGroups(file, &groups) &&
      FindGroupOfImage(file, groups, record.kind, record.offset, record.size, &contents) >= 0 &&
      BuildGroupFile(file, record.kind, contents, bytes);
  CloseFile(file);
  return found;
}

}  // namespace

void SaveImage(HWND owner, SaveState& save, const ImageRecord& record, const LoadedImage& image) {
  // Asking for a name first would be pointless: nothing can be written.
  ExportPlan plan;
  if (!PlanExport(record, image, &plan)) {
    ShowErrorBox(owner, "Can't save an image of this format", record.fileName);
    return;
  }
  char path[kPathBufferSize];
  DefaultSaveName(save, record.kind, path);
  const char* title = SaveDialogTitle(record.kind);
  int32_t typeIndex = kSaveTypeClassic;
  SaveTarget target;
  for (;;) {
    if (!AskSavePath(owner, save, title, path, kSaveImageFilter, &typeIndex)) return;
    const SaveNameCheck check = ResolveSaveTarget(record.kind, path, typeIndex, &target);
    if (check == SaveNameCheck::Ok) {
      if (strcmp(target.path, path) == 0 || MayReplace(owner, title, target.path)) break;
      continue;
    }
    ShowErrorBox(
        owner,
        check == SaveNameCheck::TooLong ? "The name is too long" : SaveNameRefusal(record.kind),
        path);
  }
  switch (SaveToPath(save, target.path, record, image, target.format)) {
    case ExportStatus::Written:
      break;
    case ExportStatus::Refused:
      ShowErrorBox(owner, "Can't save an image of this format", record.fileName);
      break;
    case ExportStatus::CannotCreate:
      ShowErrorBox(owner, "Can't create file", target.path);
      break;
  }
}

void SaveIconGroup(HWND owner, SaveState& save, const ImageRecord& record) {
  if (record.kind != ImageKind::Icon && record.kind != ImageKind::Cursor) return;
  // The group is built before the dialog, so that a file that cannot be
  // read or an entry in no group is said at once, and what the dialog
  // confirms is written as it was read.
  std::vector<uint8_t> bytes;
  bool opened = false;
  bool found = BuildGroupOfEntry(record, &bytes, &opened);
  if (!opened) {
    ShowErrorBox(owner, "Can't open", record.fileName);
    return;
  }
  if (!found) {
    MessageBoxA(owner,
                record.kind == ImageKind::Cursor ? "This cursor belongs to no cursor group."
                                                 : "This icon belongs to no icon group.",
                kProgramTitle, MB_ICONINFORMATION | MB_OK);
    return;
  }
  char path[kPathBufferSize];
  DefaultGroupSaveName(save, record.kind, path);
  if (!AskSavePath(owner, save, GroupSaveDialogTitle(record.kind), path)) return;
  if (SaveGroupToPath(save, path, record.kind, bytes) != ExportStatus::Written) {
    ShowErrorBox(owner, "Can't create file", path);
  }
}
