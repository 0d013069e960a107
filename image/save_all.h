#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "image/image_export.h"
#include "scan/catalogue.h"

// Save All: entries of the catalogue written into one folder, each as
// "<file name>.<index>.<ext>", the index (its place in the catalogue) in at
// least four digits: "shell32.dll.0153.ico".

// The file name of catalogue entry index in format; false when it does not
// fit a path buffer.
bool SaveAllName(const ImageRecord& record, int32_t index, SaveFormat format,
                 char* out /* kPathBufferSize */);

// How many of the files the entries would get are already in folder.
int32_t CountExistingSaveAllFiles(const Catalogue& catalogue, const std::vector<int32_t>& indices,
                                  const char* folder, SaveFormat format);

// What Save All sees between files: whether to stop, and each entry done.
class SaveAllFeedback {
 public:
  virtual bool Cancelled() = 0;
  virtual void Step() = 0;

 protected:
  ~SaveAllFeedback() = default;
};

struct SaveAllResult {
  int32_t written = 0;
  // Entries that cannot be loaded or written in the format.
  int32_t unusable = 0;
  // Entries whose file was there and kept.
  int32_t kept = 0;
  bool cancelled = false;
  // The path of a file that could not be created or written; the run ended
  // there. Empty when none.
  std::string failedPath;
};

// Writes the entries at indices, in that order, into folder; files already
// there are replaced, or kept when keepExisting is set. Cancel is asked
// before each entry, so every file written is whole.
SaveAllResult SaveAllEntries(ImageCache& cache, Catalogue* catalogue,
                             const std::vector<int32_t>& indices, const char* folder,
                             SaveFormat format, bool keepExisting, SaveAllFeedback& feedback);

// The status line's account of a run: "Saved 12 images, skipped 3." and
// "Cancelled:" in front when it was.
std::string SaveAllSummary(const SaveAllResult& result);
