#include "scan/directory_search.h"

#include <cstdio>
#include <cstring>

#include "scan/name_pool.h"

namespace {

constexpr char kListPattern[] = "*.*";
// Names this short cannot carry a name and an extension worth opening.
constexpr size_t kShortestFileName = 4;

void CloseListing(SearchState& s) {
  ListClose(s.listing);
  s.listing = nullptr;
  s.entryPending = false;
  s.directory = nullptr;
}

// Keeps the first reason the search was cut short and where it happened.
void NoteStop(SearchState& s, SearchStop why) {
  if (s.stop != SearchStop::None) return;
  s.stop = why;
  const char* where = s.directory != nullptr ? s.directory : "";
  snprintf(s.stopDirectory, sizeof s.stopDirectory, "%s", where);
}

// Makes the current directory the deepest directory the walk has entered
// below the start, which stays current while the walk is below it. The text
// holds that directory's path as its start.
void PlaceAtWalkPosition(SearchState& s) {
  int32_t at = s.depth;
  if (at > 0 && !s.entered[at]) --at;
  if (at == 0) return;
  s.text[s.levels[at].pathLength] = '\0';
  SetCurrentDir(s.text);
}

// A pool that cannot grow ends the walk where it stands.
void RunOutOfMemory(SearchState& s) {
  NoteStop(s, SearchStop::OutOfMemory);
  CloseListing(s);
}

// Returns whether a file was offered to the catalogue.
bool TakeEntry(SearchState& s, const DirEntry& entry) {
  // A dot name is "." or "..", or something its owner hides.
  if (entry.name[0] == '.') return false;
  if (entry.isDirectory) {
    // A link may lead back up the tree, and ".." from it would not lead back
    // to where the walk came from.
    if (entry.isLink) return false;
    if (s.depth >= kSearchLevelCount - 1) return false;
    if (s.subdirectoryNames.AppendRelocating(entry.name) == nullptr) {
      RunOutOfMemory(s);
      return false;
    }
    ++s.levels[s.depth].subdirCount;
    return false;
  }
  if (strlen(entry.name) < kShortestFileName) return false;
  const char* name = s.catalogue->fileNames.AppendGrowing(entry.name);
  if (name == nullptr) {
    RunOutOfMemory(s);
    return false;
  }
  // What the scan reports does not change the walk: a full catalogue still
  // lets the walk run to its end.
  AddFileToCatalogue(s.catalogue, s.directory, name);
  if (s.catalogue->count >= s.catalogue->capacity) NoteStop(s, SearchStop::CatalogueFull);
  return true;
}

}  // namespace

bool StartSearch(SearchState& s, Catalogue* catalogue, bool append) {
  CloseListing(s);
  s.stop = SearchStop::None;
  s.directoriesRead = 0;
  if ((!append && (!catalogue->directoryNames.Reset(kDirectoryPoolSize) ||
                   !catalogue->fileNames.Reset(kFilePoolSize))) ||
      !s.subdirectoryNames.Reset(kSubdirectoryPoolSize)) {
    NoteStop(s, SearchStop::OutOfMemory);
    return false;
  }
  if (!append) {
    catalogue->count = 0;
    catalogue->damagedFile = nullptr;
  }
  s.depth = 0;
  s.catalogue = catalogue;
  return true;
}

bool EnterSearchDirectory(SearchState& s, const char* path) {
  CloseListing(s);
  SearchLevel& level = s.levels[s.depth];
  level.savedUsed = s.subdirectoryNames.used;
  level.nextNameOffset = s.subdirectoryNames.used;
  level.subdirCount = 0;
  level.nextIndex = 0;
  s.entered[s.depth] = false;
  DirListing* listing = nullptr;
  if (s.depth == 0) {
    level.pathLength = 0;
    if (!SetCurrentDir(path)) return false;
    s.entered[0] = true;
    // A path too long for the buffer could not be used to reopen the files.
    if (!GetCurrentDir(s.text)) return true;
    level.pathLength = static_cast<int32_t>(strlen(s.text));
    listing = ListFirst(kListPattern, &s.entry);
  } else {
    level.pathLength = s.levels[s.depth - 1].pathLength;
    s.text[level.pathLength] = '\0';
    char pattern[kPathBufferSize];
    if (!JoinPath(s.text, path, s.text) || !JoinPath(s.text, kListPattern, pattern)) return false;
    listing = ListFirst(pattern, &s.entry);
    if (listing == nullptr) return false;
    s.entered[s.depth] = true;
    level.pathLength = static_cast<int32_t>(strlen(s.text));
  }
  if (listing == nullptr) return true;
  s.directory = s.catalogue->directoryNames.AppendGrowing(s.text);
  if (s.directory == nullptr) {
    ListClose(listing);
    // Where the walk stopped is the directory it could not keep.
    s.directory = s.text;
    RunOutOfMemory(s);
    return true;
  }
  ++s.directoriesRead;
  s.listing = listing;
  s.entryPending = true;
  return true;
}

bool ReadSearchListing(SearchState& s, int32_t fileBudget) {
  int32_t offered = 0;
  while (s.listing != nullptr) {
    if (!s.entryPending && !ListNext(s.listing, &s.entry)) {
      CloseListing(s);
      return true;
    }
    s.entryPending = false;
    if (TakeEntry(s, s.entry) && ++offered >= fileBudget) return false;
  }
  return true;
}

bool ScanDirectory(SearchState& s, const char* path, Catalogue* catalogue) {
  s.catalogue = catalogue;
  bool entered = EnterSearchDirectory(s, path);
  while (!ReadSearchListing(s, INT32_MAX)) {
  }
  return entered;
}

SearchStepResult SearchStep(SearchState& s, int32_t fileBudget) {
  if (s.stop == SearchStop::OutOfMemory) {
    PlaceAtWalkPosition(s);
    return SearchStepResult::Done;
  }
  if (s.listing != nullptr) {
    return ReadSearchListing(s, fileBudget) ? SearchStepResult::DirectoryRead
                                            : SearchStepResult::Listing;
  }
  SearchLevel& level = s.levels[s.depth];
  if (level.nextIndex < level.subdirCount) {
    const char* name = s.subdirectoryNames.base + level.nextNameOffset;
    ++s.depth;
    EnterSearchDirectory(s, name);
    return ReadSearchListing(s, fileBudget) ? SearchStepResult::DirectoryRead
                                            : SearchStepResult::Listing;
  }
  s.subdirectoryNames.used = level.savedUsed;
  if (s.depth == 0) {
    if (s.entered[0]) SetCurrentDir("..");
    return SearchStepResult::Done;
  }
  --s.depth;
  SearchLevel& parent = s.levels[s.depth];
  const char* visited = s.subdirectoryNames.base + parent.nextNameOffset;
  parent.nextNameOffset += static_cast<int32_t>(strlen(visited)) + 1;
  ++parent.nextIndex;
  return SearchStepResult::LevelLeft;
}

void StopSearch(SearchState& s) {
  CloseListing(s);
  PlaceAtWalkPosition(s);
}

void CancelSearch(SearchState& s) {
  if (s.stop == SearchStop::None) s.stop = SearchStop::Cancelled;
}

std::string SearchStopText(const SearchState& s) {
  char text[kPathBufferSize + 120];
  switch (s.stop) {
    case SearchStop::None:
    case SearchStop::Cancelled:
      return std::string();
    case SearchStop::CatalogueFull:
      snprintf(text, sizeof text, "Catalogue full (%d images) at %s",
               static_cast<int>(s.catalogue->capacity), s.stopDirectory);
      break;
    case SearchStop::OutOfMemory:
      if (s.stopDirectory[0] == '\0') return "Out of memory: nothing searched";
      snprintf(text, sizeof text, "Out of memory: search stopped at %s after %d folders",
               s.stopDirectory, static_cast<int>(s.directoriesRead));
      break;
  }
  return text;
}
