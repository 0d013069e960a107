#include "scan/directory_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "scan/name_pool.h"
#include "tests/scan/search_tree.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// Subdirectory names of path in the order the file services list them.
std::vector<std::string> ListedSubdirectories(const std::string& path) {
  CurrentDirectoryKeeper keep;
  std::vector<std::string> names;
  if (!SetCurrentDir(path.c_str())) return names;
  DirEntry entry;
  DirListing* listing = ListFirst("*.*", &entry);
  if (listing == nullptr) return names;
  do {
    if (entry.isDirectory && entry.name[0] != '.') names.emplace_back(entry.name);
  } while (ListNext(listing, &entry));
  ListClose(listing);
  return names;
}

// Relative paths of the directories below path, each before its own
// subdirectories, siblings in listing order.
void DepthFirst(const std::string& path, const std::string& relative,
                std::vector<std::string>* out) {
  out->push_back(relative);
  for (const std::string& name : ListedSubdirectories(path)) {
    DepthFirst(Under(path, name), relative.empty() ? name : relative + "/" + name, out);
  }
}

bool SamePath(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

class DirectorySearch : public ::testing::Test {
 protected:
  // A table of exactly capacity slots, so that a write past it is caught.
  bool Start(int32_t capacity = kCatalogueCapacity) {
    return AllocateCatalogue(&catalogue_, capacity) && StartSearch(search_, &catalogue_);
  }

  // The walk as the search dialog drives it: the start directory read before
  // the dialog, then steps until the walk is over. Returns the steps taken.
  int Walk(const std::string& start, int32_t capacity = kCatalogueCapacity) {
    EXPECT_TRUE(Start(capacity));
    EnterSearchDirectory(search_, start.c_str());
    ReadSearchListing(search_, kFilesBeforeSearchDialog);
    return Finish();
  }
  int Finish() {
    int steps = 0;
    while (SearchStep(search_, kFilesPerSearchStep) != SearchStepResult::Done) {
      if (++steps > 1000000) {
        ADD_FAILURE() << "the walk does not end";
        break;
      }
    }
    return steps;
  }

  // Entered directories relative to the start directory, which must come
  // first; forward slashes.
  std::vector<std::string> EnteredBelow(const std::string& start) {
    std::vector<std::string> entered = PoolTexts(catalogue_.directoryNames);
    std::vector<std::string> relative;
    if (entered.empty() || !SamePath(entered[0], start)) {
      ADD_FAILURE() << "the start directory is not the first one recorded";
      return relative;
    }
    for (const std::string& path : entered) {
      std::string rest = path.substr(std::min(path.size(), entered[0].size()));
      if (!rest.empty() && IsPathSeparator(rest[0])) rest.erase(0, 1);
      std::replace(rest.begin(), rest.end(), PathSeparator(), '/');
      relative.push_back(rest);
    }
    return relative;
  }

  // Each record's file, joined, relative to base.
  std::multiset<std::string> RecordFiles(const std::string& base) {
    std::multiset<std::string> files;
    for (int32_t i = 0; i < catalogue_.count; ++i) {
      const ImageRecord& record = catalogue_.records[i];
      fs::path full = fs::path(record.directory) / record.fileName;
      files.insert(fs::relative(full, base).generic_string());
    }
    return files;
  }

  Catalogue catalogue_;
  // Last, so that an open listing is closed and the directory is back before the trees go.
  TempDir dir_;
  CurrentDirectoryKeeper keep_;
  SearchState search_;
};

}  // namespace

TEST_F(DirectorySearch, EntersEachDirectoryBeforeItsSubtreeAndSiblingsInListingOrder) {
  std::string a = Under(dir_.path(), "A");
  PutPe(a, "a.exe", 1);
  PutPe(Under(a, "B"), "b.exe", 2);
  PutPe(Under(a, "B/D"), "d.exe", 3);
  PutPe(Under(a, "E"), "e.exe", 4);

  Walk(a);

  std::vector<std::string> order = EnteredBelow(a);
  std::vector<std::string> listed = ListedSubdirectories(a);
  ASSERT_EQ(listed.size(), 2u);
  std::vector<std::string> expected = listed[0] == "B"
                                          ? std::vector<std::string>{"", "B", "B/D", "E"}
                                          : std::vector<std::string>{"", "E", "B", "B/D"};
  EXPECT_EQ(order, expected);
  EXPECT_EQ(catalogue_.count, 10);
  // Records follow the walk: a directory's files come before its subtree's.
  const std::map<std::string, std::string> fileOf = {
      {"", "a.exe"}, {"B", "b.exe"}, {"B/D", "d.exe"}, {"E", "e.exe"}};
  std::vector<std::string> filesInOrder;
  for (int32_t i = 0; i < catalogue_.count; ++i) {
    std::string file = catalogue_.records[i].fileName;
    if (filesInOrder.empty() || filesInOrder.back() != file) filesInOrder.push_back(file);
  }
  std::vector<std::string> expectedFiles;
  for (const std::string& relative : expected) expectedFiles.push_back(fileOf.at(relative));
  EXPECT_EQ(filesInOrder, expectedFiles);
  // Leaving level 0 goes up once more, to the start directory's parent.
  EXPECT_TRUE(SamePath(CurrentDirectory(), dir_.path())) << CurrentDirectory();
}

TEST_F(DirectorySearch, WiderTreeIsWalkedDepthFirst) {
  std::string s = Under(dir_.path(), "S");
  for (const char* relative : {"", "p", "p/q", "p/q/r", "p/t", "u", "v/w", "v/x/y/z"}) {
    PutPe(Under(s, relative), "img.dll", 1);
  }
  Walk(s);
  std::vector<std::string> expected;
  DepthFirst(s, "", &expected);
  EXPECT_EQ(EnteredBelow(s), expected);
  // Directories without files of their own (v, v/x, v/x/y) are entered too.
  EXPECT_EQ(expected.size(), 11u);
  EXPECT_EQ(catalogue_.count, 8);
}

TEST_F(DirectorySearch, OffersOnlyFilesOfFourCharactersOrMoreAndNoDotNames) {
  std::string s = Under(dir_.path(), "S");
  PutPe(s, "a.exe", 2);
  PutPe(s, "a.x", 5);       // three characters: not offered
  PutPe(s, ".profile", 7);  // dot name: not offered
  dir_.Write("S/readme.txt", {'t', 'e', 'x', 't'});
  PutPe(Under(s, ".cache"), "hidden.exe", 11);
  PutPe(Under(s, "abc"), "in.exe", 1);  // short directory names are visited

  Walk(s);

  EXPECT_EQ(catalogue_.count, 3);
  std::vector<std::string> offered = PoolTexts(catalogue_.fileNames);
  EXPECT_EQ(std::multiset<std::string>(offered.begin(), offered.end()),
            (std::multiset<std::string>{"a.exe", "readme.txt", "in.exe"}));
  EXPECT_EQ(EnteredBelow(s), (std::vector<std::string>{"", "abc"}));
  EXPECT_EQ(RecordFiles(s), (std::multiset<std::string>{"a.exe", "a.exe", "abc/in.exe"}));
}

TEST_F(DirectorySearch,
       SubdirectoryThatCannotBeEnteredIsSkippedAndItsSiblingsStayUnderTheirParent) {
  std::string s = Under(dir_.path(), "S");
  PutPe(Under(s, "P"), "p.exe", 1);
  PutPe(Under(s, "X"), "x.exe", 2);
  PutPe(Under(s, "Y"), "y.exe", 4);
  // Same names beside S: a walk that went up after the failure would find
  // these instead.
  PutPe(Under(dir_.path(), "P"), "decoy.exe", 8);
  PutPe(Under(dir_.path(), "Y"), "decoy.exe", 16);

  ASSERT_TRUE(Start());
  ASSERT_TRUE(EnterSearchDirectory(search_, s.c_str()));
  ASSERT_TRUE(ReadSearchListing(search_, kFilesBeforeSearchDialog));
  // X is listed, then goes before the walk reaches it.
  fs::remove_all(Under(s, "X"));
  Finish();

  std::vector<std::string> entered = EnteredBelow(s);
  std::set<std::string> enteredSet(entered.begin(), entered.end());
  EXPECT_EQ(enteredSet, (std::set<std::string>{"", "P", "Y"}));
  EXPECT_EQ(RecordFiles(s),
            (std::multiset<std::string>{"P/p.exe", "Y/y.exe", "Y/y.exe", "Y/y.exe", "Y/y.exe"}));
  EXPECT_TRUE(SamePath(CurrentDirectory(), dir_.path())) << CurrentDirectory();
}

TEST_F(DirectorySearch, MissingStartDirectoryEndsAtOnceWhereItWas) {
  std::string before = CurrentDirectory();
  ASSERT_TRUE(Start());
  EXPECT_FALSE(EnterSearchDirectory(search_, Under(dir_.path(), "gone").c_str()));
  EXPECT_EQ(SearchStep(search_, kFilesPerSearchStep), SearchStepResult::Done);
  EXPECT_EQ(CurrentDirectory(), before);
  EXPECT_EQ(catalogue_.count, 0);
  EXPECT_FALSE(ScanDirectory(search_, Under(dir_.path(), "gone").c_str(), &catalogue_));
}

TEST_F(DirectorySearch, TreeDeeperThanThirtyLevelsIsWalkedToLevelTwentyNine) {
  std::string level = Under(dir_.path(), "lv00");
  const std::string start = level;
  for (int i = 0; i < kSearchLevelCount + 4; ++i) {
    if (i > 0) level = Under(level, "lv" + std::string(i < 10 ? "0" : "") + std::to_string(i));
    PutPe(level, "one.exe", 1);
  }

  Walk(start);

  std::vector<std::string> entered = EnteredBelow(start);
  ASSERT_EQ(entered.size(), static_cast<size_t>(kSearchLevelCount));
  EXPECT_EQ(fs::path(entered.back()).filename().string(), "lv29");
  EXPECT_EQ(catalogue_.count, kSearchLevelCount);
  EXPECT_TRUE(SamePath(CurrentDirectory(), dir_.path())) << CurrentDirectory();
}

TEST_F(DirectorySearch, DirectoryWhosePathDoesNotFitIsSkippedWithItsSubtree) {
  std::string s = Under(dir_.path(), "S");
  std::string longName(120, 'n');
  std::string first = Under(s, longName);
  PutPe(first, "near.exe", 1);
  // The second level's path is longer than 259 characters.
  std::string second = Under(first, longName);
  ASSERT_GT(second.size(), 259u);
  {
    // Made relative to its parent: some platforms refuse long absolute paths.
    CurrentDirectoryKeeper keep;
    fs::current_path(first);
    fs::create_directory(longName);
    fs::current_path(longName);
    PutPe(".", "far.exe", 2);
    PutPe("deeper", "farther.exe", 4);
  }
  PutPe(Under(s, "zz"), "after.exe", 8);

  Walk(s);

  std::vector<std::string> entered = EnteredBelow(s);
  EXPECT_EQ(std::set<std::string>(entered.begin(), entered.end()),
            (std::set<std::string>{"", longName, "zz"}));
  EXPECT_EQ(catalogue_.count, 9);
  EXPECT_TRUE(SamePath(CurrentDirectory(), dir_.path())) << CurrentDirectory();

  // Removed by short relative names: a recursive removal through the long
  // names loses its way on some platforms.
  fs::current_path(first);
  fs::current_path(longName);
  for (const char* name : {"far.exe", "deeper/farther.exe", "deeper"}) {
    EXPECT_TRUE(fs::remove(fs::path(name).make_preferred())) << name;
  }
  fs::current_path(first);
  EXPECT_TRUE(fs::remove(longName));
}

TEST_F(DirectorySearch, EachStepOffersAtMostItsBudgetOfFiles) {
  std::string s = Under(dir_.path(), "S");
  fs::create_directories(s);
  std::string big = Under(s, "big");
  for (int i = 0; i < 2 * kFilesPerSearchStep + 3; ++i) {
    PutPe(big, "file" + std::to_string(i) + ".exe", 1);
  }
  ASSERT_TRUE(Start());
  ASSERT_TRUE(EnterSearchDirectory(search_, s.c_str()));
  ASSERT_TRUE(ReadSearchListing(search_, kFilesBeforeSearchDialog));

  EXPECT_EQ(SearchStep(search_, kFilesPerSearchStep), SearchStepResult::Listing);
  EXPECT_EQ(catalogue_.count, kFilesPerSearchStep);
  EXPECT_EQ(SearchStep(search_, kFilesPerSearchStep), SearchStepResult::Listing);
  EXPECT_EQ(catalogue_.count, 2 * kFilesPerSearchStep);
  EXPECT_EQ(SearchStep(search_, kFilesPerSearchStep), SearchStepResult::DirectoryRead);
  EXPECT_EQ(catalogue_.count, 2 * kFilesPerSearchStep + 3);
  EXPECT_EQ(SearchStep(search_, kFilesPerSearchStep), SearchStepResult::LevelLeft);
  EXPECT_EQ(SearchStep(search_, kFilesPerSearchStep), SearchStepResult::Done);

  // The start directory before the dialog stops at its own budget too.
  ASSERT_TRUE(Start());
  ASSERT_TRUE(EnterSearchDirectory(search_, big.c_str()));
  EXPECT_FALSE(ReadSearchListing(search_, 5));
  EXPECT_EQ(catalogue_.count, 5);
  StopSearch(search_);
  EXPECT_EQ(search_.listing, nullptr);
  // With the listing closed the walk goes on as if the directory had ended.
  EXPECT_EQ(SearchStep(search_, kFilesPerSearchStep), SearchStepResult::Done);
  EXPECT_EQ(catalogue_.count, 5);
}

TEST_F(DirectorySearch, FullCatalogueStillWalksToTheEnd) {
  std::string s = Under(dir_.path(), "S");
  for (const char* relative : {"", "a", "a/b", "c", "d"}) PutPe(Under(s, relative), "four.exe", 4);
  Walk(s, 10);
  EXPECT_EQ(catalogue_.count, 10);
  std::vector<std::string> entered = EnteredBelow(s);
  ASSERT_EQ(entered.size(), 5u);
  // The third file filled it; the status line names its directory.
  EXPECT_EQ(search_.stop, SearchStop::CatalogueFull);
  EXPECT_TRUE(SamePath(search_.stopDirectory, Under(s, entered[2])));
  EXPECT_EQ(SearchStopText(search_),
            std::string("Catalogue full (10 images) at ") + search_.stopDirectory);
  EXPECT_EQ(PoolTexts(catalogue_.fileNames).size(), 5u);
  EXPECT_TRUE(SamePath(CurrentDirectory(), dir_.path()));
}

TEST_F(DirectorySearch, AFullDirectoryArenaStartsAnotherAndKeepsEveryPath) {
  std::string s = Under(dir_.path(), "S");
  PutPe(s, "top.exe", 1);
  PutPe(Under(s, "sub1"), "one.exe", 2);
  PutPe(Under(s, "sub2/sub3"), "two.exe", 4);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(SetCurrentDir(s.c_str()));
  std::string recorded = CurrentDirectory();
  // Leaves room for exactly the start directory's path.
  int32_t room = catalogue_.directoryNames.capacity - catalogue_.directoryNames.used;
  std::string filler(static_cast<size_t>(room) - recorded.size() - 2, 'f');
  ASSERT_NE(catalogue_.directoryNames.Append(filler.c_str()), nullptr);

  EnterSearchDirectory(search_, s.c_str());
  ReadSearchListing(search_, kFilesBeforeSearchDialog);
  EXPECT_EQ(catalogue_.directoryNames.used, catalogue_.directoryNames.capacity);
  Finish();
  EXPECT_EQ(catalogue_.directoryNames.earlier.size(), 1u);
  EXPECT_EQ(catalogue_.count, 7);
  EXPECT_EQ(RecordFiles(s), (std::multiset<std::string>{"top.exe", "sub1/one.exe", "sub1/one.exe",
                                                        "sub2/sub3/two.exe", "sub2/sub3/two.exe",
                                                        "sub2/sub3/two.exe", "sub2/sub3/two.exe"}));
  EXPECT_EQ(search_.stop, SearchStop::None);
  EXPECT_EQ(SearchStopText(search_), "");
  EXPECT_TRUE(SamePath(CurrentDirectory(), dir_.path()));
}

TEST_F(DirectorySearch, AFullSubdirectoryArenaGrowsAndEverySubdirectoryIsVisited) {
  std::string s = Under(dir_.path(), "S");
  PutPe(s, "top.exe", 1);
  for (const char* name : {"sub1", "sub2", "sub3"}) PutPe(Under(s, name), "two.exe", 2);

  ASSERT_TRUE(Start());
  // Room for one name of four characters.
  int32_t below = search_.subdirectoryNames.capacity - 5;
  search_.subdirectoryNames.used = below;
  EnterSearchDirectory(search_, s.c_str());
  ReadSearchListing(search_, kFilesBeforeSearchDialog);
  EXPECT_EQ(search_.levels[0].subdirCount, 3);
  EXPECT_GT(search_.subdirectoryNames.capacity, kSubdirectoryPoolSize);
  Finish();

  EXPECT_EQ(EnteredBelow(s).size(), 4u);
  EXPECT_EQ(catalogue_.count, 7);
  // Every level gave its names back.
  EXPECT_EQ(search_.subdirectoryNames.used, below);
}

TEST_F(DirectorySearch, AFullFileNameArenaStartsAnotherAndEveryFileIsOffered) {
  std::string s = Under(dir_.path(), "S");
  PutPe(s, "aaaa.exe", 1);
  PutPe(s, "bbbb.exe", 1);
  PutPe(Under(s, "sub"), "cccc.exe", 1);

  ASSERT_TRUE(Start());
  // Room for one name of eight characters.
  catalogue_.fileNames.used = catalogue_.fileNames.capacity - 9;
  EnterSearchDirectory(search_, s.c_str());
  ReadSearchListing(search_, kFilesBeforeSearchDialog);
  Finish();

  EXPECT_EQ(RecordFiles(s), (std::multiset<std::string>{"aaaa.exe", "bbbb.exe", "sub/cccc.exe"}));
  EXPECT_EQ(catalogue_.fileNames.earlier.size(), 1u);
  EXPECT_EQ(EnteredBelow(s).size(), 2u);
}

// A pool that can grow no further, as when memory runs out: the walk ends
// where it stands, keeps what it found and says where that was.
TEST_F(DirectorySearch, APoolThatCannotGrowStopsTheWalkAndSaysWhere) {
  std::string s = Under(dir_.path(), "S");
  PutPe(s, "aaaa.exe", 1);
  PutPe(Under(s, "sub1"), "one.exe", 2);
  PutPe(Under(s, "sub2"), "two.exe", 4);
  struct Case {
    NamePool* pool;
    // Bytes left in the pool's arena before the walk.
    int32_t room;
    // Whether the start directory was read whole before the stop.
    bool startRead;
  };
  ASSERT_TRUE(SetCurrentDir(s.c_str()));
  int32_t startPath = static_cast<int32_t>(CurrentDirectory().size()) + 1;
  const Case cases[] = {
      {&catalogue_.directoryNames, startPath, true},  // the first subdirectory is not kept
      {&search_.subdirectoryNames, 5, false},         // nor the second subdirectory name
      {&catalogue_.fileNames, 0, false},              // nor the first file name
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Start());
    c.pool->used = c.pool->capacity - c.room;
    c.pool->ceiling = c.pool->capacity;
    EnterSearchDirectory(search_, s.c_str());
    ReadSearchListing(search_, kFilesBeforeSearchDialog);
    int steps = Finish();
    EXPECT_EQ(search_.stop, SearchStop::OutOfMemory);
    EXPECT_EQ(search_.listing, nullptr);
    std::string stoppedIn = search_.stopDirectory;
    if (c.startRead) {
      EXPECT_EQ(catalogue_.count, 1);
      EXPECT_EQ(search_.directoriesRead, 1);
      EXPECT_TRUE(SamePath(fs::path(stoppedIn).parent_path().string(), s)) << stoppedIn;
      EXPECT_LE(steps, 1);
    } else {
      EXPECT_TRUE(SamePath(stoppedIn, s)) << stoppedIn;
      EXPECT_EQ(steps, 0);
      EXPECT_LE(catalogue_.count, 1);
    }
    EXPECT_EQ(SearchStopText(search_), "Out of memory: search stopped at " + stoppedIn + " after " +
                                           std::to_string(search_.directoriesRead) + " folders");
    EXPECT_TRUE(SamePath(CurrentDirectory(), stoppedIn)) << CurrentDirectory();
    // The records found stay usable.
    for (int32_t i = 0; i < catalogue_.count; ++i) {
      EXPECT_STREQ(catalogue_.records[i].fileName, "aaaa.exe");
    }
    ASSERT_TRUE(SetCurrentDir(s.c_str()));
  }
}

// Far more folders than the first arenas of the directory and subdirectory
// pools hold (51200 and 25600 bytes): every one is searched.
TEST_F(DirectorySearch, ATreeOfThousandsOfFoldersIsSearchedWhole) {
  constexpr int kTop = 600;
  constexpr int kBelowEach = 4;
  std::string s = Under(dir_.path(), "S");
  std::multiset<std::string> expected;
  std::string pad(44, 'x');
  for (int i = 0; i < kTop; ++i) {
    std::string top = "t" + std::to_string(1000 + i) + pad;
    PutPe(Under(s, top), "one.exe", 1);
    expected.insert(top + "/one.exe");
    for (int j = 0; j < kBelowEach; ++j) {
      fs::create_directory(Under(s, top + "/b" + std::to_string(j) + pad));
    }
  }
  std::string last = "t" + std::to_string(1000 + kTop - 1) + pad + "/b3" + pad;
  PutPe(Under(s, last), "last.exe", 2);
  expected.insert(last + "/last.exe");
  expected.insert(last + "/last.exe");

  Walk(s);
  EXPECT_EQ(EnteredBelow(s).size(), static_cast<size_t>(1 + kTop * (1 + kBelowEach)));
  EXPECT_EQ(search_.directoriesRead, 1 + kTop * (1 + kBelowEach));
  EXPECT_EQ(RecordFiles(s), expected);
  EXPECT_FALSE(catalogue_.directoryNames.earlier.empty());
  EXPECT_GT(search_.subdirectoryNames.capacity, kSubdirectoryPoolSize);
  EXPECT_EQ(search_.stop, SearchStop::None);
  EXPECT_TRUE(SamePath(CurrentDirectory(), dir_.path()));
}

TEST_F(DirectorySearch, LinksToDirectoriesAreNotFollowed) {
  std::string s = Under(dir_.path(), "S");
  PutPe(Under(s, "real"), "one.exe", 1);
  std::error_code ec;
  fs::create_directory_symlink(s, Under(s, "loop"), ec);
  if (ec) GTEST_SKIP() << "no directory links here: " << ec.message();
  Walk(s);
  EXPECT_EQ(EnteredBelow(s), (std::vector<std::string>{"", "real"}));
  EXPECT_EQ(catalogue_.count, 1);
}
