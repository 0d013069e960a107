#include "cli/entry_files.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "image/group_file.h"
#include "image/image_export.h"
#include "scan/resource_groups.h"

namespace {

// Says what a write came to; false only when a file could not be written.
bool Reported(ExportStatus status, int32_t index, const char* path, const char* sourcePath) {
  switch (status) {
    case ExportStatus::Written:
      return true;
    case ExportStatus::Refused:
      fprintf(stderr, "export-refused\t%d\t%s\n", index, sourcePath);
      return true;
    case ExportStatus::CannotCreate:
      break;
  }
  fprintf(stderr, "cannot-create\t%d\t%s\n", index, path);
  return false;
}

}  // namespace

bool ExportEntry(const char* directory, int32_t index, const ImageRecord& record,
                 const LoadedImage& image, const char* sourcePath) {
  char name[32];
  snprintf(name, sizeof name, "%d.%s", index, ClassicExtension(record.kind));
  char path[kPathBufferSize];
  if (!JoinPath(directory, name, path)) {
    fprintf(stderr, "cannot-create\t%d\t%s%c%s\n", index, directory, PathSeparator(), name);
    return false;
  }
  return Reported(WriteImageFile(path, record, image), index, path, sourcePath);
}

bool WritePngEntry(const char* directory, int32_t index, const LoadedImage& image,
                   const char* sourcePath) {
  char name[32];
  snprintf(name, sizeof name, "%d.png", index);
  char path[kPathBufferSize];
  if (!JoinPath(directory, name, path)) {
    fprintf(stderr, "cannot-create\t%d\t%s%c%s\n", index, directory, PathSeparator(), name);
    return false;
  }
  return Reported(WriteEntryFile(path, ImageRecord{}, image, SaveFormat::Png), index, path,
                  sourcePath);
}

bool ExportGroups(const char* outDirectory, const char* directory, const char* fileName) {
  char source[kPathBufferSize];
  if (!JoinPath(directory, fileName, source)) return true;
  FileHandle file = OpenFileForReading(source);
  if (file == kInvalidFile) return true;
  bool ok = true;
  FileGroups groups;
  if (ReadFileGroups(file, &groups)) {
    std::set<std::string> written;
    GroupContents contents;
    std::vector<uint8_t> bytes;
    for (const ResourceGroup& group : groups.groups) {
      const bool cursor = group.kind == ImageKind::Cursor;
      const std::string key = group.name + (cursor ? ".cur" : ".ico");
      if (!written.insert(key).second) continue;
      ReadGroupContents(file, groups, group, &contents);
      for (uint16_t id : contents.leftOut) {
        fprintf(stderr, "member-missing\t%u\t%s\t%s\n", id, group.name.c_str(), source);
      }
      if (!BuildGroupFile(file, group.kind, contents, &bytes)) {
        fprintf(stderr, "group-empty\t%s\t%s\n", group.name.c_str(), source);
        continue;
      }
      const std::string name = std::string(fileName) + "." + key;
      char path[kPathBufferSize];
      if (!JoinPath(outDirectory, name.c_str(), path)) {
        fprintf(stderr, "cannot-create\t%s\t%s%c%s\n", group.name.c_str(), outDirectory,
                PathSeparator(), name.c_str());
        ok = false;
      } else if (WriteGroupFile(path, bytes) != ExportStatus::Written) {
        fprintf(stderr, "cannot-create\t%s\t%s\n", group.name.c_str(), path);
        ok = false;
      }
    }
  }
  CloseFile(file);
  return ok;
}
