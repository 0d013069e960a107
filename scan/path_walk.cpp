#include "scan/path_walk.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "scan/catalogue.h"
#include "scan/file_services.h"

namespace {

constexpr size_t kShortestFileName = 4;

bool Hidden(const DirEntry& entry) { return entry.name[0] == '.'; }

bool ByteOrder(const std::string& a, const std::string& b) {
  return strcmp(a.c_str(), b.c_str()) < 0;
}

// directory is the current directory, as an absolute path.
void WalkDirectory(const std::string& directory, const FileOffer& offer) {
  std::vector<std::string> files;
  std::vector<std::string> subdirectories;
  DirEntry entry;
  DirListing* listing = ListFirst("*.*", &entry);
  if (listing == nullptr) return;
  do {
    if (WalkEnters(entry)) {
      subdirectories.emplace_back(entry.name);
    } else if (WalkOffers(entry)) {
      files.emplace_back(entry.name);
    }
  } while (ListNext(listing, &entry));
  ListClose(listing);

  std::sort(files.begin(), files.end(), ByteOrder);
  std::sort(subdirectories.begin(), subdirectories.end(), ByteOrder);
  for (const std::string& name : files) offer(directory.c_str(), name.c_str());
  for (const std::string& name : subdirectories) {
    char child[kPathBufferSize];
    if (!JoinPath(directory.c_str(), name.c_str(), child)) continue;
    if (!SetCurrentDir(child)) continue;
    WalkDirectory(child, offer);
  }
}

}  // namespace

bool WalkEnters(const DirEntry& entry) {
  return !Hidden(entry) && entry.isDirectory && !entry.isLink;
}

bool WalkOffers(const DirEntry& entry) {
  return !Hidden(entry) && !entry.isDirectory && strlen(entry.name) >= kShortestFileName;
}

void WalkPath(const char* path, const FileOffer& offer) {
  char original[kPathBufferSize];
  bool haveOriginal = GetCurrentDir(original);
  if (SetCurrentDir(path)) {
    char absolute[kPathBufferSize];
    if (GetCurrentDir(absolute)) WalkDirectory(absolute, offer);
    if (haveOriginal) SetCurrentDir(original);
    return;
  }
  std::string whole(path);
  size_t cut = whole.size();
  while (cut > 0 && !IsPathSeparator(whole[cut - 1])) --cut;
  std::string name = whole.substr(cut);
  std::string directory = whole.substr(0, cut);
  // Keep a lone root separator; drop the one that JoinPath would add back.
  if (directory.size() > 1) directory.pop_back();
  offer(directory.c_str(), name.c_str());
}
