#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "scan/file_services.h"

// What the directory chooser shows and how it moves, apart from its dialog:
// the drive table, the folder list as the chain of the current folder's
// ancestors followed by its subfolders, and the path changes that a
// double-click makes. Chooser paths are Windows paths: a drive letter and
// colon, backslash separators.

// The folder the chooser shows, and what it returns.
extern char ChooserPath[kPathBufferSize];

inline constexpr int32_t kMaxDrives = 32;
inline constexpr int32_t kDriveRootSize = 4;
inline constexpr int32_t kDriveTextSize = 32;

struct DriveEntry {
  // Letter, colon, backslash.
  char root[kDriveRootSize];
  // Letter, colon, two spaces and the volume label (empty when unread).
  char display[kDriveTextSize];
};

struct DriveTable {
  DriveEntry rows[kMaxDrives];
  int32_t count;
};

// One row per logical drive, from A on. Removable drives are not asked for
// their label: asking would wait for, or complain about, a missing medium.
void BuildDriveTable(DriveTable* table);
// The first row whose root begins with the path's first character (compared
// exactly), or 0 when none does.
int32_t DriveRowForPath(const DriveTable& table, const char* path);
// The row whose display text is exactly text, or -1.
int32_t DriveRowWithText(const DriveTable& table, const char* text);

// "Drive %s is not ready" with root in place of %s.
std::string DriveNotReadyText(const char* root);

// A folder list item's data: the indentation in pixels in the high 16 bits;
// in the low 16 bits the offset of an ancestor's name in ChooserPath, or
// kSubfolderMark for a subfolder of the current folder.
inline constexpr uint16_t kSubfolderMark = 0xFFFF;
inline constexpr int32_t kIndentStep = 8;
inline constexpr uint32_t FolderItemData(int32_t indentation, uint16_t low) {
  return (static_cast<uint32_t>(indentation) << 16) | low;
}
inline constexpr int32_t ItemIndentation(uint32_t data) { return static_cast<int32_t>(data >> 16); }
inline constexpr uint16_t ItemLow(uint32_t data) { return static_cast<uint16_t>(data & 0xFFFF); }

struct FolderItem {
  std::string text;
  uint32_t data;
};

// Compares two folder names without regard to case, as the platform's
// dialogs order them: below zero, zero or above zero.
using NameCompare = int (*)(const char* a, const char* b);

// One item per component of path up to the first empty one: the drive as
// its letter and colon, then each folder, each a step deeper than the one
// before. A path that begins with a backslash has no ancestors here.
std::vector<FolderItem> AncestorItems(const char* path);

// The subfolders of the current directory whose names do not begin with a
// dot, links included, sorted by compare; names that compare equal keep
// their listing order. Empty when the directory cannot be listed. Every
// subfolder is kept, however many there are.
std::vector<std::string> ListSubfolders(NameCompare compare);

// The whole folder list for path, whose folder is the current directory:
// its ancestors, then its subfolders a step deeper than the last ancestor.
std::vector<FolderItem> BuildFolderList(const char* path, NameCompare compare);

// The item to select after a move: the last ancestor, that is the current
// folder (the item before the first subfolder, or the last item); -1 when
// the list is empty.
int32_t CurrentFolderIndex(const std::vector<FolderItem>& items);

enum class PathMove : int32_t {
  // path holds the new folder.
  Moved,
  // The new path would not fit 259 characters; path is unchanged.
  TooLong,
  // The item does not belong to path (an ancestor offset past its end);
  // path is unchanged.
  Stale,
};

// The path that a double-click on the item leads to: a subfolder is
// appended with one backslash between; an ancestor cuts the path after its
// own name, and the drive leads to the root folder with its backslash.
// path is a buffer of kPathBufferSize bytes.
PathMove MoveByItem(char* path, uint32_t data, const char* text);
