#include "dialogs/open_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "scan/name_pool.h"
#include "tests/support/dib_builder.h"
#include "tests/support/pe_builder.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kSep(1, PathSeparator());

// The open dialog's answer: the buffer and the file-name offset it reports.
struct DialogResult {
  std::vector<char> bytes;
  int32_t fileOffset = 0;
  int32_t size() const { return static_cast<int32_t>(bytes.size()); }
};

DialogResult Single(const std::string& folder, const std::string& name) {
  std::string path = folder + kSep + name;
  DialogResult r;
  r.bytes.assign(path.begin(), path.end());
  r.bytes.push_back('\0');
  r.fileOffset = static_cast<int32_t>(folder.size() + 1);
  return r;
}

DialogResult Several(const std::string& folder, const std::vector<std::string>& names) {
  DialogResult r;
  r.bytes.assign(folder.begin(), folder.end());
  r.bytes.push_back('\0');
  r.fileOffset = static_cast<int32_t>(r.bytes.size());
  for (const std::string& name : names) {
    r.bytes.insert(r.bytes.end(), name.begin(), name.end());
    r.bytes.push_back('\0');
  }
  r.bytes.push_back('\0');
  return r;
}

struct RecordingFeedback final : LoadFeedback {
  std::vector<std::string> errors;  // message, a line feed, the name
  std::vector<std::string> events;  // show(range/step), step, close, in order
  void ShowError(const char* message, const char* fileName) override {
    errors.push_back(std::string(message) + "\n" + fileName);
  }
  void ShowProgress(int32_t range, int32_t step) override {
    events.push_back("show " + std::to_string(range) + "/" + std::to_string(step));
  }
  void StepProgress() override { events.push_back("step"); }
  void CloseProgress() override { events.push_back("close"); }
};

std::vector<uint8_t> PeWithIcons(int count) {
  std::vector<PeResource> r;
  for (int i = 1; i <= count; ++i)
    r.push_back(PeIcon(static_cast<uint32_t>(i), MakeIconData(16, 16)));
  return MakeMinimalPe(r).bytes;
}

// The progress window's life through a load of files names that took steps.
std::vector<std::string> ProgressEvents(size_t files, size_t steps) {
  std::vector<std::string> v(1, "show " + std::to_string(10 * (files + 1)) + "/10");
  v.insert(v.end(), steps, "step");
  v.push_back("close");
  return v;
}

class OpenFilesTest : public ::testing::Test {
 protected:
  // Each load gets a table of exactly capacity slots; the sequence numbers
  // go on from load to load.
  int32_t Load(DialogResult& r, int32_t capacity = kCatalogueCapacity) {
    if (!AllocateCatalogue(&table_, capacity)) return -2;
    return LoadPickedFiles(r.bytes.data(), r.size(), r.fileOffset, &table_, feedback_);
  }

  TempDir dir_;
  Catalogue table_;
  RecordingFeedback feedback_;
};

}  // namespace

TEST(OpenResult, SinglePathAndItsFolder) {
  DialogResult r = Single("C:" + kSep + "apps", "tool.exe");
  PickedFiles p = ReadOpenResult(r.bytes.data(), r.size(), r.fileOffset);
  EXPECT_EQ(p.form, PickForm::Single);
  EXPECT_EQ(p.count, 1);
  EXPECT_STREQ(p.firstName, "tool.exe");
  EXPECT_EQ(p.folder, r.bytes.data());

  // In a drive's root the dialog's offset follows the drive's separator.
  r = Single("C:", "a.exe");
  p = ReadOpenResult(r.bytes.data(), r.size(), r.fileOffset);
  EXPECT_EQ(p.form, PickForm::Single);
  EXPECT_STREQ(p.firstName, "a.exe");
  EXPECT_EQ(r.fileOffset, 3);
}

TEST(OpenResult, ListsEndAtAnEmptyStringInsideTheBuffer) {
  DialogResult r = Several("D:" + kSep + "bin", {"a.dll", "b.exe", "c.ocx"});
  PickedFiles p = ReadOpenResult(r.bytes.data(), r.size(), r.fileOffset);
  EXPECT_EQ(p.form, PickForm::Several);
  EXPECT_EQ(p.count, 3);
  EXPECT_STREQ(p.folder, ("D:" + kSep + "bin").c_str());
  EXPECT_STREQ(p.firstName, "a.dll");

  // The closing empty string as the buffer's last byte: whole. One byte
  // less and the list has no end: the dialog ran out of room.
  EXPECT_EQ(ReadOpenResult(r.bytes.data(), r.size() - 1, r.fileOffset).form, PickForm::Cut);
  // Cut in the middle of a name, and cut with no byte left after the folder.
  EXPECT_EQ(ReadOpenResult(r.bytes.data(), r.size() - 4, r.fileOffset).form, PickForm::Cut);
  p = ReadOpenResult(r.bytes.data(), r.fileOffset + 1, r.fileOffset);
  EXPECT_EQ(p.form, PickForm::Cut);
  // A cut list still tells the folder, where the dialog can be shown again.
  EXPECT_STREQ(p.folder, ("D:" + kSep + "bin").c_str());

  r = Several("D:" + kSep + "bin", {});
  p = ReadOpenResult(r.bytes.data(), r.size(), r.fileOffset);
  EXPECT_EQ(p.form, PickForm::Several);
  EXPECT_EQ(p.count, 0);
}

TEST(OpenResult, OffsetsThatDoNotFitTheBuffer) {
  DialogResult r = Single("C:" + kSep + "x", "y.exe");
  EXPECT_EQ(ReadOpenResult(r.bytes.data(), r.size(), 0).form, PickForm::Invalid);
  EXPECT_EQ(ReadOpenResult(r.bytes.data(), r.size(), r.size()).form, PickForm::Invalid);
  EXPECT_EQ(ReadOpenResult(r.bytes.data(), r.size(), -1).form, PickForm::Invalid);
  // Neither a separator nor a NUL before the offset.
  EXPECT_EQ(ReadOpenResult(r.bytes.data(), r.size(), r.fileOffset + 1).form, PickForm::Invalid);
  // A single name running to the buffer's end without its terminator.
  EXPECT_EQ(ReadOpenResult(r.bytes.data(), r.size() - 1, r.fileOffset).form, PickForm::Cut);
}

TEST(OpenResult, RememberedFolderIsTheFirstString) {
  DialogResult r = Several("E:" + kSep + "games", {"x.exe", "y.exe"});
  RememberOpenDialogDirectory(r.bytes.data(), r.size());
  EXPECT_STREQ(OpenDialogDirectory, ("E:" + kSep + "games").c_str());

  r = Single("E:" + kSep + "games", "x.exe");
  RememberOpenDialogDirectory(r.bytes.data(), r.size());
  EXPECT_STREQ(OpenDialogDirectory, ("E:" + kSep + "games" + kSep + "x.exe").c_str());

  // 259 characters are kept whole; a longer first string is cut there, and
  // an unterminated one is read only up to the size given.
  std::string longest(259, 'p');
  RememberOpenDialogDirectory(longest.c_str(), 300);
  EXPECT_EQ(std::string(OpenDialogDirectory), longest);
  std::string longer(400, 'q');
  RememberOpenDialogDirectory(longer.c_str(), 401);
  EXPECT_EQ(std::string(OpenDialogDirectory), std::string(259, 'q'));
  std::vector<char> unterminated(5, 'z');
  RememberOpenDialogDirectory(unterminated.data(), 5);
  EXPECT_STREQ(OpenDialogDirectory, "zzzzz");
}

TEST_F(OpenFilesTest, OneFile) {
  dir_.Write("one.exe", PeWithIcons(3));
  DialogResult r = Single(dir_.path(), "one.exe");
  int32_t before = table_.nextSequence;
  EXPECT_EQ(Load(r), 3);
  EXPECT_EQ(table_.count, 3);
  EXPECT_TRUE(feedback_.errors.empty());
  EXPECT_TRUE(feedback_.events.empty());
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(table_.records[i].directory, dir_.path().c_str());
    EXPECT_STREQ(table_.records[i].fileName, "one.exe");
    EXPECT_EQ(table_.records[i].sequence, before + i);
  }
  // The names live in the pools, once each, not in the dialog's buffer.
  EXPECT_EQ(table_.records[0].directory, table_.directoryNames.base);
  EXPECT_EQ(table_.records[0].fileName, table_.fileNames.base);
  EXPECT_EQ(table_.records[2].fileName, table_.records[0].fileName);
  EXPECT_EQ(table_.directoryNames.used, static_cast<int32_t>(dir_.path().size() + 1));
  EXPECT_EQ(table_.fileNames.used, 8);
}

TEST_F(OpenFilesTest, SeveralFilesInPickOrder) {
  dir_.Write("b.exe", PeWithIcons(2));
  dir_.Write("a.exe", PeWithIcons(1));
  dir_.Write("notes.dll", std::vector<uint8_t>(200, 'x'));
  dir_.Write("short.exe", std::vector<uint8_t>(63, 0));
  DialogResult r =
      Several(dir_.path(), {"b.exe", "missing.exe", "notes.dll", "short.exe", "a.exe"});
  EXPECT_EQ(Load(r), 3);
  EXPECT_STREQ(table_.records[0].fileName, "b.exe");
  EXPECT_STREQ(table_.records[1].fileName, "b.exe");
  EXPECT_STREQ(table_.records[2].fileName, "a.exe");
  // The folder is stored once for all files.
  EXPECT_EQ(table_.records[0].directory, table_.records[2].directory);
  EXPECT_EQ(table_.directoryNames.used, static_cast<int32_t>(dir_.path().size() + 1));
  // Unreadable, unsupported and damaged files among several are not reported.
  EXPECT_TRUE(feedback_.errors.empty());
  EXPECT_TRUE(feedback_.events.empty());
}

TEST_F(OpenFilesTest, ProblemsOfASingleFileAreReportedByBareName) {
  dir_.Write("notes.dll", std::vector<uint8_t>(200, 'x'));
  dir_.Write("short.exe", std::vector<uint8_t>(63, 0));
  dir_.Write("empty.exe", MakeMinimalPe({}).bytes);

  DialogResult r = Single(dir_.path(), "missing.exe");
  EXPECT_EQ(Load(r), 0);
  r = Single(dir_.path(), "notes.dll");
  EXPECT_EQ(Load(r), 0);
  // Damaged and image-less files are not the user's concern.
  r = Single(dir_.path(), "short.exe");
  EXPECT_EQ(Load(r), 0);
  r = Single(dir_.path(), "empty.exe");
  EXPECT_EQ(Load(r), 0);
  EXPECT_EQ(feedback_.errors,
            (std::vector<std::string>{"Can't open\nmissing.exe", "Unsupported format\nnotes.dll"}));

  // A folder cannot be read as a file either.
  TempDir other;
  other.Write("sub" + kSep + "inner.exe", PeWithIcons(1));
  r = Single(other.path(), "sub");
  EXPECT_EQ(Load(r), 0);
  EXPECT_EQ(feedback_.errors.back(), "Can't open\nsub");
}

TEST_F(OpenFilesTest, ProgressFromTenFiles) {
  std::vector<std::string> names;
  for (int i = 0; i < 10; ++i) {
    names.push_back("f" + std::to_string(i) + ".exe");
    dir_.Write(names.back(), PeWithIcons(1));
  }
  // Nine files: no window.
  std::vector<std::string> nine(names.begin(), names.begin() + 9);
  DialogResult r = Several(dir_.path(), nine);
  EXPECT_EQ(Load(r), 9);
  EXPECT_TRUE(feedback_.events.empty());

  // Ten, one of them unreadable: range 110 in steps of 10, and the bar
  // advances for the unreadable one too.
  names[4] = "gone.exe";
  r = Several(dir_.path(), names);
  EXPECT_EQ(Load(r), 9);
  EXPECT_EQ(feedback_.events, ProgressEvents(10, 10));
  EXPECT_TRUE(feedback_.errors.empty());
}

TEST_F(OpenFilesTest, FileInARootLikeFolder) {
  // A multi-file pick in a drive's root names the folder with its trailing
  // separator; no second one is put between it and the names.
  dir_.Write("r.exe", PeWithIcons(2));
  std::string rootLike = dir_.path() + kSep;
  DialogResult r = Several(rootLike, {"r.exe"});
  EXPECT_EQ(Load(r), 2);
  EXPECT_STREQ(table_.records[0].directory, rootLike.c_str());

  // A single pick there keeps the folder without the separator: "C:".
  r = Single("C:", "a.exe");
  Load(r);
  EXPECT_STREQ(table_.directoryNames.base, "C:");
  EXPECT_STREQ(table_.fileNames.base, "a.exe");
}

TEST_F(OpenFilesTest, CatalogueFillingUpStopsTheLoad) {
  std::vector<std::string> names;
  for (int i = 0; i < 10; ++i) {
    names.push_back("g" + std::to_string(i) + ".exe");
    dir_.Write(names.back(), PeWithIcons(3));
  }
  int32_t before = table_.nextSequence;
  DialogResult r = Several(dir_.path(), names);
  // Three from the first file, two of the second's three, then full.
  EXPECT_EQ(Load(r, 5), 5);
  EXPECT_STREQ(table_.records[4].fileName, "g1.exe");
  EXPECT_EQ(table_.nextSequence - before, 5);
  // The third name was appended before its file was refused, the rest never.
  EXPECT_EQ(table_.fileNames.used, 3 * 7);
  EXPECT_EQ(feedback_.events, ProgressEvents(10, 2));

  // A single file into a catalogue with no free slot: nothing, quietly.
  r = Single(dir_.path(), "g0.exe");
  EXPECT_EQ(Load(r, 0), 0);
  EXPECT_TRUE(feedback_.errors.empty());
}

TEST_F(OpenFilesTest, NamePoolThatRefusesEndsTheLoad) {
  dir_.Write("fit.exe", PeWithIcons(2));
  dir_.Write("toolong.exe", PeWithIcons(1));
  dir_.Write("b", PeWithIcons(1));
  // Names of files that do not exist take the file name pool up to 10
  // bytes short of full; "fit.exe" then leaves 2 bytes, which "toolong.exe"
  // does not fit. "b" would fit, but the load has stopped.
  std::vector<std::string> names;
  int32_t left = kFilePoolSize;
  while (left > 10) {
    int32_t length = left - 10 >= 1000 ? 999 : left - 11;
    names.push_back(std::string(static_cast<size_t>(length), 'n'));
    left -= length + 1;
  }
  ASSERT_EQ(left, 10);
  names.insert(names.end(), {"fit.exe", "toolong.exe", "b"});
  DialogResult r = Several(dir_.path(), names);
  EXPECT_EQ(Load(r), 2);
  EXPECT_STREQ(table_.records[0].fileName, "fit.exe");
  EXPECT_EQ(table_.fileNames.used, kFilePoolSize - 2);
  EXPECT_EQ(feedback_.events, ProgressEvents(names.size(), names.size() - 2));

  // A folder the directory pool refuses: nothing is loaded, with one file
  // or with several, and the progress window still closes.
  std::string hugeFolder(kDirectoryPoolSize, 'd');
  r = Single(hugeFolder, "fit.exe");
  EXPECT_EQ(Load(r), 0);
  r = Several(hugeFolder, std::vector<std::string>(12, "fit.exe"));
  feedback_.events.clear();
  EXPECT_EQ(Load(r), 0);
  EXPECT_EQ(feedback_.events, ProgressEvents(12, 0));
  EXPECT_EQ(table_.fileNames.used, 0);
  EXPECT_TRUE(feedback_.errors.empty());
  // One byte shorter the folder fills the pool exactly, and the file is
  // looked up in it (and cannot be opened there).
  r = Single(std::string(kDirectoryPoolSize - 1, 'd'), "fit.exe");
  EXPECT_EQ(Load(r), 0);
  EXPECT_EQ(table_.directoryNames.used, kDirectoryPoolSize);
  EXPECT_EQ(feedback_.errors, (std::vector<std::string>{"Can't open\nfit.exe"}));
}

TEST_F(OpenFilesTest, UnreadableResultsChangeNothing) {
  dir_.Write("keep.exe", PeWithIcons(2));
  DialogResult good = Single(dir_.path(), "keep.exe");
  ASSERT_EQ(Load(good), 2);
  const char* directoryBase = table_.directoryNames.base;
  int32_t fileUsed = table_.fileNames.used;

  DialogResult cut = Several(dir_.path(), {"keep.exe", "other.exe"});
  EXPECT_EQ(LoadPickedFiles(cut.bytes.data(), cut.size() - 1, cut.fileOffset, &table_, feedback_),
            -1);
  EXPECT_EQ(LoadPickedFiles(cut.bytes.data(), cut.size(), 0, &table_, feedback_), -1);
  EXPECT_EQ(table_.count, 2);
  EXPECT_EQ(table_.directoryNames.base, directoryBase);
  EXPECT_EQ(table_.fileNames.used, fileUsed);
  EXPECT_STREQ(table_.records[1].fileName, "keep.exe");
}

TEST(OverflowRetry, GrowsOnceToWhatThePoolsCanLoad) {
  char message[300];
  // What the dialog said it needs, when it says.
  EXPECT_EQ(PlanOverflowRetry(kOpenResultSize, 5123, message, sizeof message),
            kLargestOpenResultSize);
  EXPECT_STREQ(message,
               "Too many files picked: their names need 5123 bytes but only 2600 fit.\n"
               "Choose Retry to pick them again with room for 256260 bytes.");
  // A dialog that only cut the list short.
  EXPECT_EQ(PlanOverflowRetry(kOpenResultSize, 0, message, sizeof message), kLargestOpenResultSize);
  EXPECT_STREQ(message,
               "Too many files picked: their names need more than 2600 bytes.\n"
               "Choose Retry to pick them again with room for 256260 bytes.");
  // Already at the largest buffer, or asked for more than it: no retry.
  EXPECT_EQ(PlanOverflowRetry(kLargestOpenResultSize, 0, message, sizeof message), 0);
  EXPECT_STREQ(message,
               "Too many files picked: their names need more than 256260 bytes.\n"
               "Pick fewer files at a time.");
  EXPECT_EQ(PlanOverflowRetry(kOpenResultSize, kLargestOpenResultSize + 1, message, sizeof message),
            0);
  EXPECT_EQ(PlanOverflowRetry(kOpenResultSize, kLargestOpenResultSize, message, sizeof message),
            kLargestOpenResultSize);
}

TEST(OverflowRetry, NeededSizeIsAnUnsigned16BitValue) {
  const char a[2] = {0x03, 0x14};
  EXPECT_EQ(NeededSizeFromFailedResult(a), 0x1403);
  const char b[2] = {static_cast<char>(0xFF), static_cast<char>(0xFF)};
  EXPECT_EQ(NeededSizeFromFailedResult(b), 65535);
  const char c[2] = {static_cast<char>(0x80), 0x00};
  EXPECT_EQ(NeededSizeFromFailedResult(c), 128);
}
