#include "image/save_all.h"

#include <cstdio>

namespace {

const char* SaveAllExtension(ImageKind kind, SaveFormat format) {
  return format == SaveFormat::Png ? "png" : ClassicExtension(kind);
}

bool SaveAllPath(const ImageRecord& record, int32_t index, const char* folder, SaveFormat format,
                 char* path) {
  char name[kPathBufferSize];
  return SaveAllName(record, index, format, name) && JoinPath(folder, name, path);
}

bool FileIsThere(const char* path) {
  FileHandle file = OpenFileForReading(path);
  if (file == kInvalidFile) return false;
  CloseFile(file);
  return true;
}

}  // namespace

bool SaveAllName(const ImageRecord& record, int32_t index, SaveFormat format, char* out) {
  const int n = snprintf(out, kPathBufferSize, "%s.%04d.%s", record.fileName,
                         static_cast<int>(index), SaveAllExtension(record.kind, format));
  return n > 0 && n < kPathBufferSize;
}

int32_t CountExistingSaveAllFiles(const Catalogue& catalogue, const std::vector<int32_t>& indices,
                                  const char* folder, SaveFormat format) {
  int32_t existing = 0;
  char path[kPathBufferSize];
  for (int32_t index : indices) {
    if (index < 0 || index >= catalogue.count) continue;
    if (SaveAllPath(catalogue.records[index], index, folder, format, path) && FileIsThere(path)) {
      ++existing;
    }
  }
  return existing;
}

SaveAllResult SaveAllEntries(ImageCache& cache, Catalogue* catalogue,
                             const std::vector<int32_t>& indices, const char* folder,
                             SaveFormat format, bool keepExisting, SaveAllFeedback& feedback) {
  SaveAllResult result;
  uint8_t* largeBuffer = nullptr;
  char path[kPathBufferSize];
  for (int32_t index : indices) {
    if (feedback.Cancelled()) {
      result.cancelled = true;
      break;
    }
    if (index < 0 || index >= catalogue->count) continue;
    ImageRecord& record = catalogue->records[index];
    if (!SaveAllPath(record, index, folder, format, path)) {
      result.failedPath = std::string(folder) + PathSeparator() + record.fileName;
      break;
    }
    if (keepExisting && FileIsThere(path)) {
      ++result.kept;
      feedback.Step();
      continue;
    }
    LoadedImage image;
    const ExportStatus status = LoadImageRecord(cache, &record, &image, &largeBuffer)
                                    ? WriteEntryFile(path, record, image, format)
                                    : ExportStatus::Refused;
    if (status == ExportStatus::CannotCreate) {
      result.failedPath = path;
      break;
    }
    ++(status == ExportStatus::Written ? result.written : result.unusable);
    feedback.Step();
  }
  ReleaseLargeBuffer(cache, &largeBuffer);
  return result;
}

std::string SaveAllSummary(const SaveAllResult& result) {
  char text[160];
  snprintf(text, sizeof text, "%sSaved %d image(s), skipped %d.",
           result.cancelled ? "Cancelled: " : "", static_cast<int>(result.written),
           static_cast<int>(result.unusable + result.kept));
  return text;
}
