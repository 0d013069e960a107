// The open-directory search under Wine: the chooser picks the start folder,
// the "Searching for images..." dialog runs the walk from its idle
// notifications, and Cancel answers while a large directory is read.
#include "dialogs/search_dialog_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "scan/directory_search.h"
#include "scan/name_pool.h"
#include "support/dialog_driver_win32.h"
#include "tests/dialogs/search_owner_win32.h"
#include "tests/scan/search_tree.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

const char kChooserTitle[] = "Select a directory...";
const char kSearchTitle[] = "Searching for images...";

class Search : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(SearchOwner(), nullptr);
    ownerLog = OwnerLog{};
    ASSERT_TRUE(AllocateCatalogue(&catalogue_, kCatalogueCapacity));
  }

  // Opens the chooser in start, accepts it and lets the search run; further
  // steps act on the search dialog.
  int32_t SearchFrom(const std::string& start, std::vector<DialogStep> searchSteps = {},
                     DWORD timeoutMs = 20000) {
    EXPECT_TRUE(SetCurrentDirectoryA(start.c_str()));
    std::vector<DialogStep> steps = {{kChooserTitle, [](HWND d) { PressButton(d, IDOK); }}};
    steps.insert(steps.end(), searchSteps.begin(), searchSteps.end());
    DialogDriver driver(std::move(steps), timeoutMs);
    int32_t result = SearchDirectory(SearchOwner(), search_, &catalogue_);
    PumpMessages();
    finished_ = driver.finished();
    return result;
  }

  // Every record of the first count names a file that opens, in a directory
  // below base.
  void ExpectUsableRecords(int32_t count, const std::string& base) {
    std::set<std::pair<const char*, const char*>> files;
    for (int32_t i = 0; i < count; ++i) {
      files.insert({catalogue_.records[i].directory, catalogue_.records[i].fileName});
    }
    for (const auto& [directory, name] : files) {
      ASSERT_NE(directory, nullptr);
      FileHandle file = OpenInDirectory(directory, name);
      EXPECT_NE(file, kInvalidFile) << directory << " " << name;
      CloseFile(file);
      EXPECT_EQ(std::string(directory).rfind(base, 0), 0u) << directory;
    }
  }

  Catalogue catalogue_;
  bool finished_ = false;
  TempDir dir_;
  CurrentDirectoryKeeper keep_;
  SearchState search_;
};

}  // namespace

TEST_F(Search, CancelledChooserChangesNothing) {
  std::string s = PutPe(Under(dir_.path(), "S"), "one.exe", 3);
  catalogue_.count = 7;
  ASSERT_TRUE(catalogue_.directoryNames.Reset(kDirectoryPoolSize));
  const char* kept = catalogue_.directoryNames.Append("kept");
  ASSERT_TRUE(SetCurrentDirectoryA(s.c_str()));
  DialogDriver driver({{kChooserTitle, [](HWND d) { PressButton(d, IDCANCEL); }}});
  EXPECT_EQ(SearchDirectory(SearchOwner(), search_, &catalogue_), -1);
  PumpMessages();
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(catalogue_.count, 7);
  EXPECT_STREQ(kept, "kept");
  EXPECT_EQ(catalogue_.directoryNames.used, 5);
  EXPECT_EQ(ownerLog.searchIdles, 0);
}

TEST_F(Search, StartDirectoryWithoutSubdirectoriesIsScannedBeforeTheDialogAndClosesIt) {
  std::string s = Under(dir_.path(), "S");
  PutPe(s, "one.exe", 1);
  PutPe(s, "two.dll", 2);
  int32_t result = SearchFrom(s);
  ASSERT_TRUE(finished_);
  EXPECT_EQ(result, 3);
  EXPECT_GE(ownerLog.searchIdles, 1);
  EXPECT_EQ(ownerLog.countTexts, (std::vector<std::string>{"Found image(s): 0"}));
  EXPECT_TRUE(fs::equivalent(CurrentDirectory(), dir_.path())) << CurrentDirectory();
  ExpectUsableRecords(result, CurrentDirectory());
}

TEST_F(Search, WholeTreeIsSearchedAndTheCountLineFollows) {
  std::string a = Under(dir_.path(), "A");
  PutPe(a, "a.exe", 1);
  PutPe(Under(a, "B"), "b.exe", 2);
  PutPe(Under(a, "B/D"), "d.exe", 3);
  PutPe(Under(a, "E"), "e.exe", 4);
  int32_t result = SearchFrom(a);
  ASSERT_TRUE(finished_);
  EXPECT_EQ(result, 10);
  ASSERT_FALSE(ownerLog.countTexts.empty());
  EXPECT_EQ(ownerLog.countTexts.front(), "Found image(s): 0");
  EXPECT_EQ(ownerLog.countTexts.back(), "Found image(s): 10");
  // The start directory's image shows together with its first
  // subdirectory's: 1 + 2 when B comes first, 1 + 4 when E does.
  ASSERT_GE(ownerLog.countTexts.size(), 2u);
  EXPECT_TRUE(ownerLog.countTexts[1] == "Found image(s): 3" ||
              ownerLog.countTexts[1] == "Found image(s): 5")
      << ownerLog.countTexts[1];
  // After a complete search the current directory is the start's parent.
  EXPECT_TRUE(fs::equivalent(CurrentDirectory(), dir_.path())) << CurrentDirectory();
  ExpectUsableRecords(result, CurrentDirectory());
}

TEST_F(Search, NameThatCannotBeEnteredIsSkippedAndLaterSiblingsStayUnderTheirParent) {
  std::string s = Under(dir_.path(), "S");
  PutPe(Under(s, "sub1"), "one.exe", 1);
  PutPe(Under(s, "sub2"), "two.exe", 4);
  // Windows drops a trailing dot from every path it is given, so a folder
  // whose real name ends in one is listed but cannot be entered by it. Only
  // the \\?\ form, which is taken as it stands, can make it.
  const std::string dotted = "\\\\?\\" + s + "\\abcd.";
  ASSERT_TRUE(CreateDirectoryA(dotted.c_str(), nullptr));
  const std::string inside = dotted + "\\inside.exe";
  HANDLE file = CreateFileA(inside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> bytes = PeWithBitmaps(2);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  // Beside S: where a walk that went up after the failure would look.
  PutPe(Under(dir_.path(), "sub1"), "decoy.exe", 8);
  PutPe(Under(dir_.path(), "sub2"), "decoy.exe", 16);
  ASSERT_TRUE(SetCurrentDirectoryA(s.c_str()));
  ASSERT_FALSE(SetCurrentDirectoryA("abcd."));
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA("abcd*", &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(found.cFileName, "abcd.");
  FindClose(find);

  int32_t result = SearchFrom(s);
  ASSERT_TRUE(finished_);
  EXPECT_EQ(result, 5);
  ExpectUsableRecords(result, s);
  EXPECT_TRUE(fs::equivalent(CurrentDirectory(), dir_.path())) << CurrentDirectory();
  DeleteFileA(inside.c_str());
  RemoveDirectoryA(dotted.c_str());
}

TEST_F(Search, FullCatalogueWalksToTheEndWithTwentyThousand) {
  std::string s = Under(dir_.path(), "S");
  for (int i = 0; i < 24; ++i) PutPe(Under(s, "d" + std::to_string(i)), "many.dll", 900);
  int32_t result = SearchFrom(s);
  ASSERT_TRUE(finished_);
  EXPECT_EQ(result, kCatalogueCapacity);
  EXPECT_EQ(ownerLog.countTexts.back(), "Found image(s): 20000");
  // Every directory was still listed.
  EXPECT_EQ(std::count(catalogue_.directoryNames.base,
                       catalogue_.directoryNames.base + catalogue_.directoryNames.used, '\0'),
            25);
  EXPECT_TRUE(fs::equivalent(CurrentDirectory(), dir_.path()));
}

// A directory of many files is read a few files per step, so the dialog
// looks at its messages often; Cancel then ends the walk at once, and what
// was found stays.
class LargeDirectory : public Search {
 protected:
  static constexpr int kFiles = 2000;
  // Writing the files takes seconds under Wine: one tree serves every case.
  static void SetUpTestSuite() {
    tree_ = new TempDir;
    start_ = Under(tree_->path(), "S");
    PutPe(start_, "top.exe", 1);
    big_ = Under(start_, "big");
    std::vector<uint8_t> bytes = PeWithBitmaps(1);
    for (int i = 0; i < kFiles; ++i) {
      char name[32];
      snprintf(name, sizeof name, "file%04d.exe", i);
      tree_->Write("S\\big\\" + std::string(name), bytes);
    }
  }
  static void TearDownTestSuite() {
    delete tree_;
    tree_ = nullptr;
  }
  static TempDir* tree_;
  static std::string start_, big_;
};
TempDir* LargeDirectory::tree_ = nullptr;
std::string LargeDirectory::start_;
std::string LargeDirectory::big_;

TEST_F(LargeDirectory, CancelKeepsTheRecordsFound) {
  // The click comes from another thread, as a user's would, at a moment
  // that does not depend on when the dialog looks at its messages. How
  // soon the search answers it is bench/search_bench_win32.cpp's longest
  // step.
  std::thread user;
  int32_t result = SearchFrom(start_, {{kSearchTitle, [&](HWND d) {
                                          HWND cancel = GetDlgItem(d, IDCANCEL);
                                          user = std::thread([cancel] {
                                            Sleep(30);
                                            PostMessageA(cancel, BM_CLICK, 0, 0);
                                          });
                                        }}});
  if (user.joinable()) user.join();
  ASSERT_TRUE(finished_);
  EXPECT_GT(result, 1);
  EXPECT_LT(result, kFiles + 1);
  EXPECT_EQ(result, catalogue_.count);
  EXPECT_EQ(search_.stop, SearchStop::Cancelled);
  ExpectUsableRecords(result, start_);
  // The walk stopped inside the large directory and stays there.
  EXPECT_TRUE(fs::equivalent(CurrentDirectory(), big_)) << CurrentDirectory();
}

TEST_F(LargeDirectory, StepsStayShortAndTheWalkFindsEverything) {
  ASSERT_TRUE(StartSearch(search_, &catalogue_));
  EnterSearchDirectory(search_, start_.c_str());
  ReadSearchListing(search_, kFilesBeforeSearchDialog);
  int steps = 0;
  while (SearchStep(search_, kFilesPerSearchStep) != SearchStepResult::Done) ++steps;
  EXPECT_EQ(catalogue_.count, kFiles + 1);
  // The large directory is offered a step's budget at a time, not read in
  // one step.
  EXPECT_GE(steps, (kFiles - kFilesBeforeSearchDialog) / kFilesPerSearchStep);
}

TEST_F(Search, WineWindowsFolderIsSearchedToTheEnd) {
  char windows[MAX_PATH] = {};
  ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
  int32_t result = SearchFrom(windows, {}, 240000);
  ASSERT_TRUE(finished_);
  int directories = static_cast<int>(
      std::count(catalogue_.directoryNames.base,
                 catalogue_.directoryNames.base + catalogue_.directoryNames.used, '\0'));
  int files = static_cast<int>(std::count(
      catalogue_.fileNames.base, catalogue_.fileNames.base + catalogue_.fileNames.used, '\0'));
  printf("%s: %d records from %d files in %d directories\n", windows, result, files, directories);
  EXPECT_GT(result, 0);
  EXPECT_GT(directories, 1);
  char parent[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof parent, parent);
  EXPECT_TRUE(fs::equivalent(parent, fs::path(windows).parent_path())) << parent;
}
