#include "dialogs/directory_chooser.h"

#include <algorithm>
#include <cstring>

char ChooserPath[kPathBufferSize];

namespace {

constexpr char kSeparator = '\\';
constexpr char kListPattern[] = "*.*";
// Letter, colon and two spaces before the label.
constexpr int32_t kLabelStart = 4;
static_assert(kLabelStart + kVolumeLabelSize == kDriveTextSize);

}  // namespace

void BuildDriveTable(DriveTable* table) {
  table->count = 0;
  uint32_t mask = LogicalDriveMask();
  for (int32_t bit = 0; bit < kMaxDrives && table->count < kMaxDrives; ++bit) {
    if ((mask & (uint32_t{1} << bit)) == 0) continue;
    DriveEntry& row = table->rows[table->count];
    char letter = static_cast<char>('A' + bit);
    row = DriveEntry{};
    row.root[0] = letter;
    row.root[1] = ':';
    row.root[2] = '\\';
    row.display[0] = letter;
    row.display[1] = ':';
    row.display[2] = ' ';
    row.display[3] = ' ';
    if (!IsRemovableDrive(row.root)) {
      char label[kVolumeLabelSize] = {};
      // A drive that is not ready shows no label, whatever the call left in
      // the buffer.
      if (GetVolumeLabel(row.root, label)) {
        label[kVolumeLabelSize - 1] = '\0';
        memcpy(row.display + kLabelStart, label, strlen(label) + 1);
      }
    }
    ++table->count;
  }
}

int32_t DriveRowForPath(const DriveTable& table, const char* path) {
  for (int32_t i = 0; i < table.count; ++i) {
    if (table.rows[i].root[0] == path[0]) return i;
  }
  return 0;
}

int32_t DriveRowWithText(const DriveTable& table, const char* text) {
  for (int32_t i = 0; i < table.count; ++i) {
    if (strcmp(table.rows[i].display, text) == 0) return i;
  }
  return -1;
}

std::string DriveNotReadyText(const char* root) {
  return std::string("Drive ") + root + " is not ready";
}

std::vector<FolderItem> AncestorItems(const char* path) {
  std::vector<FolderItem> items;
  size_t length = strnlen(path, kPathBufferSize - 1);
  size_t start = 0;
  while (start < length) {
    const char* end = static_cast<const char*>(memchr(path + start, kSeparator, length - start));
    size_t stop = end != nullptr ? static_cast<size_t>(end - path) : length;
    if (stop == start) break;
    int32_t indentation = kIndentStep * static_cast<int32_t>(items.size());
    items.push_back({std::string(path + start, stop - start),
                     FolderItemData(indentation, static_cast<uint16_t>(start))});
    start = stop + 1;
  }
  return items;
}

std::vector<std::string> ListSubfolders(NameCompare compare) {
  std::vector<std::string> names;
  DirEntry entry;
  DirListing* listing = ListFirst(kListPattern, &entry);
  if (listing == nullptr) return names;
  do {
    if (entry.isDirectory && entry.name[0] != '.') names.emplace_back(entry.name);
  } while (ListNext(listing, &entry));
  ListClose(listing);
  std::stable_sort(names.begin(), names.end(),
                   [compare](const std::string& a, const std::string& b) {
                     return compare(a.c_str(), b.c_str()) < 0;
                   });
  return names;
}

std::vector<FolderItem> BuildFolderList(const char* path, NameCompare compare) {
  std::vector<FolderItem> items = AncestorItems(path);
  int32_t indentation = kIndentStep * static_cast<int32_t>(items.size());
  for (std::string& name : ListSubfolders(compare)) {
    items.push_back({std::move(name), FolderItemData(indentation, kSubfolderMark)});
  }
  return items;
}

int32_t CurrentFolderIndex(const std::vector<FolderItem>& items) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (ItemLow(items[i].data) == kSubfolderMark) return static_cast<int32_t>(i) - 1;
  }
  return static_cast<int32_t>(items.size()) - 1;
}

PathMove MoveByItem(char* path, uint32_t data, const char* text) {
  size_t length = strnlen(path, kPathBufferSize - 1);
  uint16_t offset = ItemLow(data);
  if (offset == kSubfolderMark) {
    bool needsSeparator = length == 0 || path[length - 1] != kSeparator;
    size_t nameLength = strlen(text);
    size_t added = nameLength + (needsSeparator ? 1 : 0);
    if (added > kPathBufferSize - 1 - length) return PathMove::TooLong;
    if (needsSeparator) path[length++] = kSeparator;
    memcpy(path + length, text, nameLength + 1);
    return PathMove::Moved;
  }
  // After a move that could not be shown, the list may still hold the
  // ancestors of a longer path than the one now in the buffer.
  if (offset > length) return PathMove::Stale;
  const char* end = static_cast<const char*>(memchr(path + offset, kSeparator, length - offset));
  size_t cut = end != nullptr ? static_cast<size_t>(end - path) : length;
  // A drive leads to its root folder, which needs the backslash.
  bool toRoot = cut > 0 && path[cut - 1] == ':';
  if (toRoot && cut + 1 > kPathBufferSize - 1) return PathMove::TooLong;
  path[cut] = '\0';
  if (toRoot) {
    path[cut] = kSeparator;
    path[cut + 1] = '\0';
  }
  return PathMove::Moved;
}
