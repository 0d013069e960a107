#pragma once
#include <cstdint>
#include <string>

#include "scan/catalogue.h"
#include "scan/file_services.h"

// The walk over a whole directory tree that fills the catalogue, cut into
// short steps so that a dialog can stay responsive between them. The start
// directory is made the process's current directory; below it the walk keeps
// its position as a path of its own, each level's name joined to its
// parent's, and lists each directory by that path. Under Wine, moving the
// current directory in and out of every folder took about six round trips to
// the wineserver, a fifth of a search's time on a tree of small folders. The
// current directory follows the walk only when it stops: where it ends up is
// where entering each directory and leaving it through ".." would have left
// it.

// The start directory and 29 levels below it. The subdirectories of a
// directory at the deepest level are not visited: a fixed stack cannot be
// overrun, and such paths are close to the 259-character limit anyway.
inline constexpr int32_t kSearchLevelCount = 30;

// Files offered per step before the caller may look at its messages again,
// so that a directory of thousands of files does not hold up Cancel. A small
// executable takes about a third of a millisecond to scan under Wine, so a
// step lasts a few milliseconds, where reading a directory of 2000 files in
// one go would take over half a second.
inline constexpr int32_t kFilesPerSearchStep = 8;
// Files of the start directory scanned before the search dialog is shown;
// a larger start directory goes on in the dialog's steps.
inline constexpr int32_t kFilesBeforeSearchDialog = 256;

// Why a search did not take in all of its tree.
enum class SearchStop : int32_t {
  // It did, or is still going.
  None,
  // The catalogue filled up: the walk goes on, but later files add nothing.
  CatalogueFull,
  // A name pool could not grow: the walk ended there.
  OutOfMemory,
  // The user ended it.
  Cancelled,
};

// One directory of the walk. Its subdirectory names lie one after another
// in the subdirectory name pool from savedUsed on, in listing order.
struct SearchLevel {
  int32_t savedUsed;
  int32_t subdirCount;
  int32_t nextIndex;
  // Offset from the pool's base of the name at nextIndex.
  int32_t nextNameOffset;
  // The length of the directory's full path, which the state's text holds
  // as the start of every path below it.
  int32_t pathLength;
};

// One walk's state. The window's run keeps one for its searches, whose
// outcome the status line reads after the dialog has gone; each caller that
// walks on its own has its own.
struct SearchState {
  SearchLevel levels[kSearchLevelCount] = {};
  // Whether the level's directory was entered: made the current directory
  // (the start) or listed (below it). The current directory is left in the
  // deepest one entered when the walk stops short, and the parent of the
  // start when the walk ends.
  bool entered[kSearchLevelCount] = {};
  int32_t depth = 0;
  // Set while the search dialog is open.
  bool searching = false;
  // The catalogue being filled, kept for the steps.
  Catalogue* catalogue = nullptr;
  // The full path of the directory being entered; its start is the path of
  // each level above it.
  char text[kPathBufferSize] = {};
  // The listing of the directory at depth while its entries are still being
  // read, the entry read from it but not yet looked at, and the directory
  // name pool's copy of that directory's path.
  DirListing* listing = nullptr;
  bool entryPending = false;
  DirEntry entry = {};
  const char* directory = nullptr;
  // Directories whose listing was read, and what cut the search short, with
  // the directory being read when it happened (empty when none was).
  int32_t directoriesRead = 0;
  SearchStop stop = SearchStop::None;
  char stopDirectory[kPathBufferSize] = {};
  // The names of the subdirectories still to visit, level by level.
  NamePool subdirectoryNames;

  SearchState() = default;
  // A listing a cancelled walk left open goes with its state.
  ~SearchState() { ListClose(listing); }
  SearchState(const SearchState&) = delete;
  SearchState& operator=(const SearchState&) = delete;
};

// Gives the catalogue's name pools and the subdirectory names new arenas, empties the catalogue and
// puts the walk at level 0. False (stop OutOfMemory, the catalogue untouched) when a pool cannot
// get its arena. The pools grow as the tree needs, bounded only by memory. With append set, the
// catalogue and the directory and file name pools keep what they hold, and the search adds behind
// it.
bool StartSearch(SearchState& search, Catalogue* catalogue, bool append = false);

// Makes path (absolute for the start directory, which becomes the current
// directory; a bare name below it, joined to its parent's path) the directory
// of the level at depth, records its full path and opens its listing.
// Returns whether the directory was entered; an entered directory whose path
// does not fit the buffer, or that cannot be listed, or whose path the
// directory name pool refuses, is left without an open listing.
bool EnterSearchDirectory(SearchState& search, const char* path);

// Reads the open listing: subdirectory names go to the subdirectory name
// pool and files to the catalogue. Stops after fileBudget files have been
// offered; returns true (and closes the listing) when the listing has ended,
// and also when no listing is open.
bool ReadSearchListing(SearchState& search, int32_t fileBudget);

// One directory scanned whole: entered, listed and all its files offered.
bool ScanDirectory(SearchState& search, const char* path, Catalogue* catalogue);

enum class SearchStepResult : int32_t {
  // Part of a listing was read; more of it remains.
  Listing,
  // A subdirectory was entered (or could not be) and its listing read to the
  // end.
  DirectoryRead,
  // A finished level was left for its parent.
  LevelLeft,
  // Level 0 was finished, or the walk lost its place: the search is over.
  Done,
};

// Advances the walk by one step of at most fileBudget offered files. After
// an OutOfMemory stop the walk is Done where it stands.
SearchStepResult SearchStep(SearchState& search, int32_t fileBudget);

// For the status line: how far a search got that did not take in its whole
// tree, or an empty text when it did (or was cancelled).
std::string SearchStopText(const SearchState& search);

// Records that the user ended the search, unless something had stopped it
// before.
void CancelSearch(SearchState& search);

// Closes a listing left open by a search that was cancelled. The records
// stay, and the current directory is made the directory where the walk had
// come.
void StopSearch(SearchState& search);
