#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "scan/catalogue.h"
#include "scan/file_services.h"
#include "scan/name_pool.h"

// The part of the open-files command that needs no window: reading what the
// open dialog returned and loading the picked files into the catalogue.

// The open dialog's result buffer as each command first obtains it.
inline constexpr int32_t kOpenResultSize = 2600;
// A larger buffer than this could only hold names that the file name pool
// would refuse anyway, so a pick that overflows it is not offered again.
inline constexpr int32_t kLargestOpenResultSize = kPathBufferSize + kFilePoolSize;

// Loads of this many files or more get the progress window.
inline constexpr int32_t kProgressMinimumFiles = 10;
inline constexpr int32_t kProgressStep = 10;

// The open dialog's initial folder; after each successful pick it holds the
// first string of the result: the folder of a multi-file pick, or the full
// path of a single file.
extern char OpenDialogDirectory[kPathBufferSize];
// Copies the first string of result into OpenDialogDirectory, cut to 259
// characters, reading no further than resultSize bytes.
void RememberOpenDialogDirectory(const char* result, int32_t resultSize);

enum class PickForm : int32_t {
  // One full path, split in place into folder and name.
  Single,
  // The folder, then each name, then an empty string.
  Several,
  // The name list does not end inside the buffer: the dialog cut it short.
  Cut,
  // The file-name offset points outside the result.
  Invalid,
};

struct PickedFiles {
  PickForm form = PickForm::Invalid;
  // Point into the result buffer. A cut list still has its folder; only
  // Single and Several have names.
  const char* folder = nullptr;
  const char* firstName = nullptr;
  int32_t count = 0;
};

// Tells the two result forms apart by the character just before the
// file-name offset: a path separator there means one full path, a NUL means
// a list. Nothing beyond resultSize bytes is read, and nothing is written:
// a Single folder runs up to the separator before firstName, where
// LoadPickedFiles cuts it.
PickedFiles ReadOpenResult(const char* result, int32_t resultSize, int32_t fileOffset);

// 10 x (N + 1): the first step shows when the window opens and each file
// adds one, so the bar is full after the last file.
int32_t ProgressRange(int32_t fileCount);

// The error box text for a single file's result; nullptr when the user is
// told nothing.
const char* AddStatusMessage(AddStatus status);

// What the user sees while files load; the window side draws it, tests
// record it.
class LoadFeedback {
 public:
  virtual void ShowError(const char* message, const char* fileName) = 0;
  virtual void ShowProgress(int32_t range, int32_t step) = 0;
  virtual void StepProgress() = 0;
  virtual void CloseProgress() = 0;

 protected:
  ~LoadFeedback() = default;
};

// Empties the catalogue and the name pools and loads every file of a
// successful pick, given the dialog's result buffer and file-name offset.
// Returns the new fill count, or -1 with nothing changed when the result is
// cut or invalid.
int32_t LoadPickedFiles(char* result, int32_t resultSize, int32_t fileOffset, Catalogue* catalogue,
                        LoadFeedback& feedback);

// A path dropped on a window or named on the command line: a file, or a
// folder whose tree is searched.
struct DroppedPath {
  std::string path;
  bool folder = false;
};

// What a drop needs beyond a load's feedback: the search of one folder's
// tree behind its dialog, appending to the catalogue. False when the search
// could not be had; the records found so far stay.
class DropFeedback : public LoadFeedback {
 public:
  virtual bool SearchFolder(const char* folder, Catalogue* catalogue) = 0;

 protected:
  ~DropFeedback() = default;
};

// Empties the catalogue and the name pools and loads the paths in order into
// one catalogue: files as if picked together in the open dialog (one file
// alone as a single pick, with its error box; several quietly, under the
// progress window from kProgressMinimumFiles files on, when no folder is
// among them), folders as if chosen in the directory chooser. Returns the
// new fill count, or -1 with nothing changed for an empty list.
int32_t LoadDroppedPaths(const std::vector<DroppedPath>& paths, Catalogue* catalogue,
                         DropFeedback& feedback);

// A pick too long for its buffer. neededSize is what the dialog said it
// needs (0 when it did not say). Writes the text to show into message
// (messageSize bytes) and returns the buffer size to show the dialog again
// with, or 0 when no larger buffer would help.
int32_t PlanOverflowRetry(int32_t currentSize, int32_t neededSize, char* message,
                          int32_t messageSize);

// The size a failing dialog leaves in the first two bytes of its buffer.
int32_t NeededSizeFromFailedResult(const char* result);
