#include "cli/output_folder.h"

#include <cstdio>
#include <filesystem>

#include "scan/catalogue.h"
#include "scan/file_services.h"

namespace {

// A file can be made in folder: tried with a name that no file has yet, so
// that nothing there is replaced, and removed again.
bool CanCreateFileIn(const char* folder) {
  constexpr int kProbeNames = 100;
  for (int n = 0; n < kProbeNames; ++n) {
    char name[40];
    snprintf(name, sizeof name, ".ravelin-scan-probe-%d", n);
    char path[kPathBufferSize];
    if (!JoinPath(folder, name, path)) return false;
    std::error_code ec;
    if (std::filesystem::exists(path, ec) || ec) continue;
    FileHandle probe = CreateFileForWriting(path);
    if (probe == kInvalidFile) return false;
    CloseFile(probe);
    std::filesystem::remove(path, ec);
    return true;
  }
  return false;
}

}  // namespace

bool OutputFolderUsable(const char* folder) {
  if (folder == nullptr) return true;
  std::error_code ec;
  const char* problem = nullptr;
  if (!std::filesystem::is_directory(folder, ec)) {
    problem = std::filesystem::exists(folder, ec) ? "not a folder" : "no such folder";
  } else if (!CanCreateFileIn(folder)) {
    problem = "cannot be written";
  }
  if (problem == nullptr) return true;
  fprintf(stderr, "ravelin-scan: output folder %s: %s\n", folder, problem);
  return false;
}

std::string AbsoluteFolder(const char* folder) {
  if (folder == nullptr) return std::string();
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
  return ec ? std::string(folder) : absolute.string();
}
