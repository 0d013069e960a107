#include "dialogs/open_files.h"

#include <cstdio>
#include <cstring>

#include "scan/little_endian.h"

char OpenDialogDirectory[kPathBufferSize] = "";

void RememberOpenDialogDirectory(const char* result, int32_t resultSize) {
  int32_t n = 0;
  while (n < resultSize && n < kPathBufferSize - 1 && result[n] != '\0') ++n;
  memcpy(OpenDialogDirectory, result, static_cast<size_t>(n));
  OpenDialogDirectory[n] = '\0';
}

namespace {

// Length of the text at p when its terminator lies before end; -1 when the
// text runs to the end of the buffer unterminated.
int32_t TerminatedLength(const char* p, const char* end) {
  const void* nul = memchr(p, '\0', static_cast<size_t>(end - p));
  if (nul == nullptr) return -1;
  return static_cast<int32_t>(static_cast<const char*>(nul) - p);
}

}  // namespace

PickedFiles ReadOpenResult(const char* result, int32_t resultSize, int32_t fileOffset) {
  PickedFiles picked;
  // The character before the offset must be in the buffer, and so must at
  // least one byte of the first name.
  if (fileOffset < 1 || fileOffset >= resultSize) return picked;
  const char* end = result + resultSize;
  char before = result[fileOffset - 1];
  if (IsPathSeparator(before)) {
    if (TerminatedLength(result + fileOffset, end) < 0) {
      picked.form = PickForm::Cut;
      return picked;
    }
    picked.form = PickForm::Single;
    picked.folder = result;
    picked.firstName = result + fileOffset;
    picked.count = 1;
    return picked;
  }
  if (before != '\0') return picked;
  // Only an empty string inside the buffer ends the list; a dialog that ran
  // out of room may have filled the buffer to its last byte instead.
  // The folder is whole even when the names are cut: the dialog can be
  // shown there again.
  picked.folder = result;
  int32_t count = 0;
  for (const char* p = result + fileOffset;; ++count) {
    int32_t length = p == end ? -1 : TerminatedLength(p, end);
    if (length < 0) {
      picked.form = PickForm::Cut;
      return picked;
    }
    if (length == 0) break;
    p += length + 1;
  }
  picked.form = PickForm::Several;
  picked.firstName = result + fileOffset;
  picked.count = count;
  return picked;
}

int32_t ProgressRange(int32_t fileCount) { return kProgressStep * (fileCount + 1); }

const char* AddStatusMessage(AddStatus status) {
  switch (status) {
    case AddStatus::CannotOpen:
      return "Can't open";
    case AddStatus::Unsupported:
      return "Unsupported format";
    case AddStatus::Done:
    case AddStatus::CatalogueFull:
      break;
  }
  return nullptr;
}

namespace {

void LoadSingle(const PickedFiles& picked, Catalogue* catalogue, LoadFeedback& feedback) {
  const char* folder = catalogue->directoryNames.Append(picked.folder);
  const char* name = catalogue->fileNames.Append(picked.firstName);
  if (folder == nullptr || name == nullptr) return;
  const char* message = AddStatusMessage(AddFileToCatalogue(catalogue, folder, name));
  if (message != nullptr) feedback.ShowError(message, name);
}

void LoadSeveral(const PickedFiles& picked, Catalogue* catalogue, LoadFeedback& feedback) {
  bool withProgress = picked.count >= kProgressMinimumFiles;
  if (withProgress) feedback.ShowProgress(ProgressRange(picked.count), kProgressStep);
  const char* folder = catalogue->directoryNames.Append(picked.folder);
  if (folder != nullptr) {
    const char* next = picked.firstName;
    for (int32_t i = 0; i < picked.count; ++i) {
      const char* nameInResult = next;
      next += strlen(nameInResult) + 1;
      const char* name = catalogue->fileNames.Append(nameInResult);
      if (name == nullptr) break;
      // Unreadable and unsupported files among several are skipped quietly.
      if (AddFileToCatalogue(catalogue, folder, name) == AddStatus::CatalogueFull) break;
      if (withProgress) feedback.StepProgress();
    }
  }
  if (withProgress) feedback.CloseProgress();
}

}  // namespace

int32_t LoadPickedFiles(char* result, int32_t resultSize, int32_t fileOffset, Catalogue* catalogue,
                        LoadFeedback& feedback) {
  PickedFiles picked = ReadOpenResult(result, resultSize, fileOffset);
  if (picked.form != PickForm::Single && picked.form != PickForm::Several) return -1;
  catalogue->count = 0;
  catalogue->damagedFile = nullptr;
  // A pool left without storage refuses every name, and then nothing loads.
  catalogue->directoryNames.Reset(kDirectoryPoolSize);
  catalogue->fileNames.Reset(kFilePoolSize);
  if (picked.form == PickForm::Single) {
    // The folder keeps no trailing separator; for a file in a drive's root
    // it is the drive letter and colon alone.
    result[fileOffset - 1] = '\0';
    LoadSingle(picked, catalogue, feedback);
  } else {
    LoadSeveral(picked, catalogue, feedback);
  }
  return catalogue->count;
}

namespace {

// Splits path at its last separator into the folder as a pick gives it (no
// trailing separator; a drive's root is the letter and colon alone) and the
// name. False for a path without a separator or a name.
bool SplitDroppedFile(const std::string& path, std::string* folder, std::string* name) {
  size_t cut = path.size();
  while (cut > 0 && !IsPathSeparator(path[cut - 1])) --cut;
  if (cut == 0 || cut == path.size()) return false;
  *folder = path.substr(0, cut - 1);
  *name = path.substr(cut);
  return true;
}

}  // namespace

int32_t LoadDroppedPaths(const std::vector<DroppedPath>& paths, Catalogue* catalogue,
                         DropFeedback& feedback) {
  if (paths.empty()) return -1;
  catalogue->count = 0;
  catalogue->directoryNames.Reset(kDirectoryPoolSize);
  catalogue->fileNames.Reset(kFilePoolSize);
  int32_t files = 0;
  bool folders = false;
  for (const DroppedPath& p : paths) {
    folders = folders || p.folder;
    files += p.folder ? 0 : 1;
  }
  const bool single = paths.size() == 1 && files == 1;
  const bool withProgress = !folders && files >= kProgressMinimumFiles;
  if (withProgress) feedback.ShowProgress(ProgressRange(files), kProgressStep);
  std::string lastFolder;
  const char* folderRef = nullptr;
  for (const DroppedPath& p : paths) {
    if (p.folder) {
      if (!feedback.SearchFolder(p.path.c_str(), catalogue)) break;
      folderRef = nullptr;
      continue;
    }
    std::string folder, name;
    const char* nameRef = nullptr;
    if (SplitDroppedFile(p.path, &folder, &name)) {
      if (folderRef == nullptr || folder != lastFolder) {
        folderRef = catalogue->directoryNames.Append(folder.c_str());
        lastFolder = folder;
      }
      nameRef = catalogue->fileNames.Append(name.c_str());
    }
    AddStatus status = AddStatus::CannotOpen;
    if (folderRef != nullptr && nameRef != nullptr) {
      status = AddFileToCatalogue(catalogue, folderRef, nameRef);
    }
    const char* message = single ? AddStatusMessage(status) : nullptr;
    if (message != nullptr)
      feedback.ShowError(message, name.empty() ? p.path.c_str() : name.c_str());
    if (status == AddStatus::CatalogueFull) break;
    if (withProgress) feedback.StepProgress();
  }
  if (withProgress) feedback.CloseProgress();
  return catalogue->count;
}

int32_t PlanOverflowRetry(int32_t currentSize, int32_t neededSize, char* message,
                          int32_t messageSize) {
  int32_t retrySize = currentSize < kLargestOpenResultSize ? kLargestOpenResultSize : 0;
  if (retrySize != 0 && neededSize > retrySize) retrySize = 0;
  char need[96];
  if (neededSize > currentSize) {
    snprintf(need, sizeof need, "their names need %d bytes but only %d fit", neededSize,
             currentSize);
  } else {
    snprintf(need, sizeof need, "their names need more than %d bytes", currentSize);
  }
  if (retrySize != 0) {
    snprintf(message, static_cast<size_t>(messageSize),
             "Too many files picked: %s.\nChoose Retry to pick them again with room for %d bytes.",
             need, retrySize);
  } else {
    snprintf(message, static_cast<size_t>(messageSize),
             "Too many files picked: %s.\nPick fewer files at a time.", need);
  }
  return retrySize;
}

int32_t NeededSizeFromFailedResult(const char* result) {
  return GetLe16(reinterpret_cast<const uint8_t*>(result));
}
