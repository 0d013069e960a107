#include "dialogs/directory_chooser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/scan/search_tree.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

int CompareIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    int x = std::tolower(static_cast<unsigned char>(*a));
    int y = std::tolower(static_cast<unsigned char>(*b));
    if (x != y || x == 0) return x - y;
  }
}

std::vector<std::string> Texts(const std::vector<FolderItem>& items) {
  std::vector<std::string> texts;
  for (const FolderItem& item : items) texts.push_back(item.text);
  return texts;
}

std::vector<uint32_t> Data(const std::vector<FolderItem>& items) {
  std::vector<uint32_t> data;
  for (const FolderItem& item : items) data.push_back(item.data);
  return data;
}

struct PathBuffer {
  char text[kPathBufferSize];
  explicit PathBuffer(const std::string& path) {
    memset(text, 'X', sizeof text);
    strcpy(text, path.c_str());
  }
};

}  // namespace

TEST(ChooserAncestors, EachComponentOneStepDeeperWithItsOffset) {
  std::vector<FolderItem> items = AncestorItems("C:\\Windows\\System32");
  EXPECT_EQ(Texts(items), (std::vector<std::string>{"C:", "Windows", "System32"}));
  EXPECT_EQ(Data(items), (std::vector<uint32_t>{FolderItemData(0, 0), FolderItemData(8, 3),
                                                FolderItemData(16, 11)}));
  EXPECT_EQ(Texts(AncestorItems("C:\\")), (std::vector<std::string>{"C:"}));
  EXPECT_EQ(Texts(AncestorItems("C:\\A\\")), (std::vector<std::string>{"C:", "A"}));
  // The split ends at the first empty component.
  EXPECT_EQ(Texts(AncestorItems("C:\\A\\\\B")), (std::vector<std::string>{"C:", "A"}));
  EXPECT_TRUE(AncestorItems("\\\\server\\share").empty());
  EXPECT_TRUE(AncestorItems("").empty());
}

TEST(ChooserAncestors, FullLengthPathKeepsOffsetsInsideIt) {
  std::string path = "C:";
  while (path.size() + 5 <= kPathBufferSize - 1) path += "\\abcd";
  ASSERT_EQ(path.size(), 257u);
  std::vector<FolderItem> items = AncestorItems(path.c_str());
  ASSERT_EQ(items.size(), 52u);
  EXPECT_EQ(ItemLow(items.back().data), 253);
  EXPECT_EQ(ItemIndentation(items.back().data), 51 * kIndentStep);
}

TEST(ChooserList, SubfoldersSortedWithoutCaseAfterTheAncestorsAndDotFoldersHidden) {
  TempDir dir;
  CurrentDirectoryKeeper keep;
  for (const char* name : {"beta", "Alpha", "gamma", ".hidden", "Delta", "_under"}) {
    fs::create_directory(dir.Join(name));
  }
  dir.Write("aardvark.exe", {'M', 'Z'});  // files are not folders
  ASSERT_TRUE(SetCurrentDir(dir.path().c_str()));

  std::vector<FolderItem> items = BuildFolderList("C:\\Outer\\Inner", CompareIgnoringCase);
  EXPECT_EQ(Texts(items), (std::vector<std::string>{"C:", "Outer", "Inner", "_under", "Alpha",
                                                    "beta", "Delta", "gamma"}));
  for (size_t i = 0; i < items.size(); ++i) {
    bool ancestor = i < 3;
    EXPECT_EQ(ItemIndentation(items[i].data), ancestor ? 8 * static_cast<int32_t>(i) : 24) << i;
    EXPECT_EQ(ItemLow(items[i].data) == kSubfolderMark, !ancestor) << i;
  }
  EXPECT_EQ(CurrentFolderIndex(items), 2);
}

TEST(ChooserList, NamesThatCompareEqualKeepTheirListingOrder) {
  TempDir dir;
  CurrentDirectoryKeeper keep;
  fs::create_directory(dir.Join("same"));
  std::error_code ec;
  fs::create_directory(dir.Join("SAME"), ec);
  if (ec || !fs::exists(dir.Join("SAME")) || fs::equivalent(dir.Join("same"), dir.Join("SAME"))) {
    GTEST_SKIP() << "names differing only in case are one name here";
  }
  fs::create_directory(dir.Join("Same"));
  fs::create_directory(dir.Join("a"));
  ASSERT_TRUE(SetCurrentDir(dir.path().c_str()));

  std::vector<std::string> listed;
  DirEntry entry;
  DirListing* listing = ListFirst("*.*", &entry);
  ASSERT_NE(listing, nullptr);
  do {
    if (entry.name[0] == 's' || entry.name[0] == 'S') listed.emplace_back(entry.name);
  } while (ListNext(listing, &entry));
  ListClose(listing);

  std::vector<std::string> sorted = ListSubfolders(CompareIgnoringCase);
  ASSERT_EQ(sorted.size(), 4u);
  EXPECT_EQ(sorted[0], "a");
  EXPECT_EQ(std::vector<std::string>(sorted.begin() + 1, sorted.end()), listed);
}

TEST(ChooserList, MoreThanFiveHundredTwelveSubfoldersAreAllListed) {
  TempDir dir;
  CurrentDirectoryKeeper keep;
  const int count = 600;
  for (int i = count - 1; i >= 0; --i) {
    char name[16];
    snprintf(name, sizeof name, "f%04d", i);
    fs::create_directory(dir.Join(name));
  }
  ASSERT_TRUE(SetCurrentDir(dir.path().c_str()));
  std::vector<FolderItem> items = BuildFolderList("C:\\", CompareIgnoringCase);
  ASSERT_EQ(items.size(), static_cast<size_t>(count) + 1);
  EXPECT_EQ(items[1].text, "f0000");
  EXPECT_EQ(items[512].text, "f0511");
  EXPECT_EQ(items[count].text, "f0599");
  EXPECT_EQ(CurrentFolderIndex(items), 0);
}

TEST(ChooserList, UnlistableFolderShowsTheAncestorsOnly) {
  TempDir dir;
  CurrentDirectoryKeeper keep;
  std::string gone = dir.Join("gone");
  fs::create_directory(gone);
  ASSERT_TRUE(SetCurrentDir(gone.c_str()));
  std::error_code ec;
  fs::remove(gone, ec);  // possible where a current directory can be removed
  if (fs::exists(gone)) GTEST_SKIP() << "the current directory cannot be removed here";
  std::vector<FolderItem> items = BuildFolderList("C:\\gone", CompareIgnoringCase);
  EXPECT_EQ(Texts(items), (std::vector<std::string>{"C:", "gone"}));
  EXPECT_EQ(CurrentFolderIndex(items), 1);
}

TEST(ChooserList, CurrentFolderIsTheLastAncestor) {
  std::vector<FolderItem> none;
  EXPECT_EQ(CurrentFolderIndex(none), -1);
  std::vector<FolderItem> items = {{"C:", FolderItemData(0, 0)},
                                   {"A", FolderItemData(8, 3)},
                                   {"sub", FolderItemData(16, kSubfolderMark)},
                                   {"sub2", FolderItemData(16, kSubfolderMark)}};
  EXPECT_EQ(CurrentFolderIndex(items), 1);
  items.resize(2);
  EXPECT_EQ(CurrentFolderIndex(items), 1);
  // Only subfolders: a path with no ancestors has no current folder item.
  std::vector<FolderItem> subfoldersOnly = {{"x", FolderItemData(0, kSubfolderMark)}};
  EXPECT_EQ(CurrentFolderIndex(subfoldersOnly), -1);
}

TEST(ChooserMove, SubfolderIsAppendedWithOneBackslash) {
  PathBuffer path("C:\\Windows");
  EXPECT_EQ(MoveByItem(path.text, FolderItemData(16, kSubfolderMark), "System32"), PathMove::Moved);
  EXPECT_STREQ(path.text, "C:\\Windows\\System32");
  PathBuffer root("C:\\");
  EXPECT_EQ(MoveByItem(root.text, FolderItemData(8, kSubfolderMark), "Data"), PathMove::Moved);
  EXPECT_STREQ(root.text, "C:\\Data");
}

TEST(ChooserMove, AncestorCutsThePathAfterItsNameAndTheDriveLeadsToTheRoot) {
  PathBuffer path("C:\\Windows\\System32\\drivers");
  EXPECT_EQ(MoveByItem(path.text, FolderItemData(8, 3), "Windows"), PathMove::Moved);
  EXPECT_STREQ(path.text, "C:\\Windows");
  EXPECT_EQ(MoveByItem(path.text, FolderItemData(8, 3), "Windows"), PathMove::Moved);
  EXPECT_STREQ(path.text, "C:\\Windows");
  EXPECT_EQ(MoveByItem(path.text, FolderItemData(0, 0), "C:"), PathMove::Moved);
  EXPECT_STREQ(path.text, "C:\\");
  EXPECT_EQ(MoveByItem(path.text, FolderItemData(0, 0), "C:"), PathMove::Moved);
  EXPECT_STREQ(path.text, "C:\\");
  PathBuffer bare("D:");
  EXPECT_EQ(MoveByItem(bare.text, FolderItemData(0, 0), "D:"), PathMove::Moved);
  EXPECT_STREQ(bare.text, "D:\\");
}

TEST(ChooserMove, PathThatWouldNotFitIsRefusedUnchanged) {
  // 250 characters, then a backslash and a name: 259 fits, 260 does not.
  std::string base = "C:\\" + std::string(247, 'p');
  ASSERT_EQ(base.size(), 250u);
  PathBuffer fits(base);
  EXPECT_EQ(MoveByItem(fits.text, FolderItemData(16, kSubfolderMark), "12345678"), PathMove::Moved);
  EXPECT_EQ(strlen(fits.text), 259u);
  PathBuffer tooLong(base);
  EXPECT_EQ(MoveByItem(tooLong.text, FolderItemData(16, kSubfolderMark), "123456789"),
            PathMove::TooLong);
  EXPECT_EQ(std::string(tooLong.text), base);
  // The byte after the terminator is untouched.
  EXPECT_EQ(tooLong.text[base.size() + 1], 'X');
  // A folder name of 259 characters does not fit below any folder.
  PathBuffer root("C:\\");
  std::string longest(kPathBufferSize - 1, 'n');
  EXPECT_EQ(MoveByItem(root.text, FolderItemData(8, kSubfolderMark), longest.c_str()),
            PathMove::TooLong);
  EXPECT_STREQ(root.text, "C:\\");
}

TEST(ChooserMove, AncestorOfALongerFormerPathIsRefused) {
  // After a move to C:\A that could not be shown, the list may still hold
  // C:\A\B\C's ancestors; C sits at offset 7, past the end of the path.
  PathBuffer path("C:\\A");
  EXPECT_EQ(MoveByItem(path.text, FolderItemData(24, 7), "C"), PathMove::Stale);
  EXPECT_STREQ(path.text, "C:\\A");
  // B at offset 5: also past the end.
  EXPECT_EQ(MoveByItem(path.text, FolderItemData(16, 5), "B"), PathMove::Stale);
  // A drive-like text at the end of a full-length path cannot get its
  // backslash.
  std::string full(kPathBufferSize - 2, 'q');
  full += ':';
  PathBuffer edge(full);
  EXPECT_EQ(MoveByItem(edge.text, FolderItemData(0, 0), "x"), PathMove::TooLong);
  EXPECT_EQ(std::string(edge.text), full);
}

TEST(ChooserDrives, TableLooksUpByFirstCharacterAndByExactText) {
  DriveTable table{};
  table.count = 3;
  strcpy(table.rows[0].root, "C:\\");
  strcpy(table.rows[0].display, "C:  System");
  strcpy(table.rows[1].root, "D:\\");
  strcpy(table.rows[1].display, "D:  ");
  strcpy(table.rows[2].root, "Z:\\");
  strcpy(table.rows[2].display, "Z:  ");
  EXPECT_EQ(DriveRowForPath(table, "D:\\Data"), 1);
  EXPECT_EQ(DriveRowForPath(table, "Z:\\"), 2);
  // Exact: a lower-case letter matches no root.
  EXPECT_EQ(DriveRowForPath(table, "d:\\data"), 0);
  EXPECT_EQ(DriveRowForPath(table, "\\\\server\\share"), 0);
  EXPECT_EQ(DriveRowWithText(table, "C:  System"), 0);
  EXPECT_EQ(DriveRowWithText(table, "C:  system"), -1);
  EXPECT_EQ(DriveRowWithText(table, "D:  "), 1);
  EXPECT_EQ(DriveRowWithText(table, "D:"), -1);
  DriveTable empty{};
  EXPECT_EQ(DriveRowForPath(empty, "C:\\"), 0);
  EXPECT_EQ(DriveNotReadyText("A:\\"), "Drive A:\\ is not ready");
}

TEST(ChooserDrives, OneRowPerLogicalDriveInLetterOrder) {
  DriveTable table;
  memset(&table, 0x55, sizeof table);
  BuildDriveTable(&table);
  uint32_t mask = LogicalDriveMask();
  ASSERT_EQ(table.count, std::popcount(mask));
  int32_t row = 0;
  for (int bit = 0; bit < 32; ++bit) {
    if ((mask & (1u << bit)) == 0) continue;
    const DriveEntry& entry = table.rows[row++];
    char letter = static_cast<char>('A' + bit);
    EXPECT_EQ(std::string(entry.root), std::string(1, letter) + ":\\");
    std::string display = entry.display;
    ASSERT_GE(display.size(), 4u);
    EXPECT_EQ(display.substr(0, 4), std::string(1, letter) + ":  ");
    EXPECT_LT(display.size(), static_cast<size_t>(kDriveTextSize));
  }
}
