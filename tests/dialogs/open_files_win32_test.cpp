#include "dialogs/open_files_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/open_files.h"
#include "scan/name_pool.h"
#include "support/dialog_driver_win32.h"
#include "support/window_query_win32.h"
#include "tests/support/dib_builder.h"
#include "tests/support/pe_builder.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// What the progress window went through during one command, seen from
// hooks on this thread, since the load itself dispatches no messages.
struct ProgressSeen {
  // After each PBM_STEPIT of the bar: its position, and whether a visible
  // "PgsWnd" titled "Loading files..." could be found at that moment.
  std::vector<int> positions;
  std::vector<bool> foundVisible;
  // Paints still owed by the bar before each step after the first.
  int stalePaints = 0;
  // At the popup's destruction.
  int destroyed = 0;
  int rangeLow = -1;
  int rangeHigh = -1;
  int finalPosition = -1;
  HWND owner = nullptr;
  std::string title;
} seen;

bool IsProgressBar(HWND window) {
  return WindowClass(window) == PROGRESS_CLASSA && WindowClass(GetParent(window)) == "PgsWnd";
}

LRESULT CALLBACK WatchDestroy(int code, WPARAM wParam, LPARAM lParam) {
  HWND window = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_DESTROYWND && WindowClass(window) == "PgsWnd") {
    HWND bar = FindWindowExA(window, nullptr, PROGRESS_CLASSA, nullptr);
    PBRANGE range{};
    SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    ++seen.destroyed;
    seen.rangeLow = range.iLow;
    seen.rangeHigh = range.iHigh;
    seen.finalPosition = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
    seen.owner = GetWindow(window, GW_OWNER);
    seen.title = WindowText(window);
    if (GetUpdateRect(bar, nullptr, FALSE)) ++seen.stalePaints;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK WatchStepBefore(int code, WPARAM wParam, LPARAM lParam) {
  const auto* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && m->message == PBM_STEPIT && IsProgressBar(m->hwnd) &&
      !seen.positions.empty() && GetUpdateRect(m->hwnd, nullptr, FALSE)) {
    ++seen.stalePaints;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK WatchStepAfter(int code, WPARAM wParam, LPARAM lParam) {
  const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && m->message == PBM_STEPIT && IsProgressBar(m->hwnd)) {
    seen.positions.push_back(static_cast<int>(SendMessageA(m->hwnd, PBM_GETPOS, 0, 0)));
    HWND found = FindThreadWindow("PgsWnd", "Loading files...");
    seen.foundVisible.push_back(found == GetParent(m->hwnd) && IsWindowVisible(found));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

class ProgressSpy {
 public:
  ProgressSpy() {
    seen = ProgressSeen{};
    DWORD thread = GetCurrentThreadId();
    hooks_[0] = SetWindowsHookExA(WH_CBT, WatchDestroy, nullptr, thread);
    hooks_[1] = SetWindowsHookExA(WH_CALLWNDPROC, WatchStepBefore, nullptr, thread);
    hooks_[2] = SetWindowsHookExA(WH_CALLWNDPROCRET, WatchStepAfter, nullptr, thread);
  }
  ~ProgressSpy() {
    for (HHOOK hook : hooks_) UnhookWindowsHookEx(hook);
  }
  bool ok() const { return hooks_[0] && hooks_[1] && hooks_[2]; }

 private:
  HHOOK hooks_[3];
};

std::vector<uint8_t> PeWithIcons(int count) {
  std::vector<PeResource> r;
  for (int i = 1; i <= count; ++i)
    r.push_back(PeIcon(static_cast<uint32_t>(i), MakeIconData(16, 16)));
  return MakeMinimalPe(r).bytes;
}

constexpr char kBoxTitle[] = "Ravelin 1.5";

// What the steps saw, in the order they saw it.
struct StepsSeen {
  // Per open dialog: the folder it showed and its file type choices.
  std::vector<std::string> dialogFolders;
  std::vector<std::vector<std::string>> dialogFilters;
  std::vector<int> dialogFilterSelections;
  // Per message box: its text and whether the owner window owned it.
  std::vector<std::string> boxTexts;
  std::vector<bool> boxOwnedByOwner;
};

// The user's part in the open command: a pick types names into the open
// dialog and presses Open; going to a folder does the same with a folder,
// and the dialog stays for the next step; a cancel presses Cancel; an
// answer presses a message box's button. Each notes what it saw.
struct UserStep {
  enum class Kind { Pick, GoTo, Cancel, Answer };
  Kind kind;
  std::string typed;
  int button = IDOK;
};
UserStep PickFiles(std::string typed) { return {UserStep::Kind::Pick, std::move(typed)}; }
UserStep GoTo(std::string folder) { return {UserStep::Kind::GoTo, std::move(folder)}; }
UserStep CancelDialog() { return {UserStep::Kind::Cancel, {}}; }
UserStep AnswerBox(int button) { return {UserStep::Kind::Answer, {}, button}; }

void NoteOpenDialog(HWND dialog, StepsSeen* seenBySteps) {
  char folder[MAX_PATH] = {};
  SendMessageA(dialog, CDM_GETFOLDERPATH, sizeof folder, reinterpret_cast<LPARAM>(folder));
  seenBySteps->dialogFolders.push_back(folder);
  std::vector<std::string> filters;
  HWND types = GetDlgItem(dialog, cmb1);
  int count = types ? static_cast<int>(SendMessageA(types, CB_GETCOUNT, 0, 0)) : 0;
  for (int i = 0; i < count; ++i) {
    char item[256] = {};
    SendMessageA(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
    filters.push_back(item);
  }
  seenBySteps->dialogFilters.push_back(filters);
  seenBySteps->dialogFilterSelections.push_back(
      types ? static_cast<int>(SendMessageA(types, CB_GETCURSEL, 0, 0)) : -2);
}

DialogStep Play(const UserStep& step, HWND owner, StepsSeen* seenBySteps) {
  if (step.kind == UserStep::Kind::Answer) {
    return {kBoxTitle, [step, owner, seenBySteps](HWND box) {
              seenBySteps->boxTexts.push_back(MessageBoxText(box));
              seenBySteps->boxOwnedByOwner.push_back(GetWindow(box, GW_OWNER) == owner);
              PressButton(box, step.button);
            }};
  }
  return {kOpenDialogTitle, [step, seenBySteps](HWND dialog) {
            NoteOpenDialog(dialog, seenBySteps);
            if (step.kind == UserStep::Kind::Cancel) {
              PressButton(dialog, IDCANCEL);
            } else if (!SetFileNameAndAccept(dialog, step.typed)) {
              ADD_FAILURE() << "no file name box";
              PressButton(dialog, IDCANCEL);
            }
          }};
}

std::string Quoted(const std::vector<std::string>& names) {
  std::string typed;
  for (const std::string& name : names) typed += "\"" + name + "\" ";
  return typed;
}

// A file held open with no sharing: the scan's open of it fails as it would
// for a file another program has locked.
class LockedFile {
 public:
  explicit LockedFile(const std::string& path) {
    handle_ = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  ~LockedFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

class OpenCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateOwnerWindow(100, 80, 800, 600);
    ASSERT_NE(owner_, nullptr);
    ASSERT_TRUE(AllocateCatalogue(&table_, kCatalogueCapacity));
    // Quoted names are looked up in the folder the dialog opens in.
    strcpy(OpenDialogDirectory, dir_.path().c_str());
  }

  void TearDown() override { DestroyWindow(owner_); }

  // Any other dialog or box fails the test: it is cancelled and noted.
  int32_t Run(const std::vector<UserStep>& steps) {
    report_ = StepsSeen{};
    std::vector<DialogStep> driven;
    for (const UserStep& step : steps) driven.push_back(Play(step, owner_, &report_));
    DialogDriver driver(std::move(driven), 20000, DialogDriver::Others::Cancel);
    int32_t result = OpenExecutableFiles(owner_, &table_);
    EXPECT_TRUE(driver.finished()) << (driver.timedOut() ? "timed out" : "steps left");
    for (const std::string& window : driver.unexpected()) ADD_FAILURE() << "unexpected " << window;
    return result;
  }

  TempDir dir_;
  HWND owner_ = nullptr;
  Catalogue table_;
  StepsSeen report_;
};

}  // namespace

TEST_F(OpenCommandTest, OneFileByItsFullPath) {
  std::string path = dir_.Write("one.exe", PeWithIcons(3));
  EXPECT_EQ(Run({PickFiles(path)}), 3);
  EXPECT_EQ(table_.count, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(table_.records[i].directory, dir_.path().c_str());
    EXPECT_STREQ(table_.records[i].fileName, "one.exe");
  }
  EXPECT_STREQ(OpenDialogDirectory, path.c_str());

  ASSERT_EQ(report_.dialogFilters.size(), 1u);
  EXPECT_EQ(report_.dialogFilters[0],
            (std::vector<std::string>{"Executable files [.exe;.dll;.ocx]", "All files [*.*]"}));
  EXPECT_EQ(report_.dialogFilterSelections[0], 0);
  EXPECT_TRUE(report_.boxTexts.empty());
}

TEST_F(OpenCommandTest, SeveralQuotedFilesSkipProblemsQuietly) {
  dir_.Write("a.exe", PeWithIcons(1));
  dir_.Write("b.exe", PeWithIcons(2));
  dir_.Write("notes.dll", std::vector<uint8_t>(300, 'x'));
  std::string locked = dir_.Write("locked.exe", PeWithIcons(4));
  LockedFile lock(locked);
  ASSERT_TRUE(lock.ok());

  EXPECT_EQ(Run({PickFiles(Quoted({"b.exe", "locked.exe", "a.exe", "notes.dll"}))}), 3);
  EXPECT_STREQ(table_.records[0].fileName, "b.exe");
  EXPECT_STREQ(table_.records[1].fileName, "b.exe");
  EXPECT_STREQ(table_.records[2].fileName, "a.exe");
  EXPECT_STREQ(table_.records[2].directory, dir_.path().c_str());
  // After a multi-file pick the folder is remembered, not a file.
  EXPECT_STREQ(OpenDialogDirectory, dir_.path().c_str());
  // Run fails on any message box it was not told to expect.
  EXPECT_TRUE(report_.boxTexts.empty());
}

TEST_F(OpenCommandTest, CancelChangesNothing) {
  dir_.Write("keep.exe", PeWithIcons(2));
  ASSERT_EQ(Run({PickFiles(Quoted({"keep.exe"}))}), 2);
  const char* directoryBase = table_.directoryNames.base;
  const char* fileBase = table_.fileNames.base;
  int32_t fileUsed = table_.fileNames.used;
  std::string remembered = OpenDialogDirectory;

  EXPECT_EQ(Run({CancelDialog()}), -1);
  EXPECT_EQ(table_.count, 2);
  EXPECT_EQ(table_.directoryNames.base, directoryBase);
  EXPECT_EQ(table_.fileNames.base, fileBase);
  EXPECT_EQ(table_.fileNames.used, fileUsed);
  EXPECT_STREQ(table_.records[1].fileName, "keep.exe");
  EXPECT_EQ(remembered, OpenDialogDirectory);
}

TEST_F(OpenCommandTest, SingleFileThatCannotBeOpened) {
  std::string path = dir_.Write("locked.exe", PeWithIcons(1));
  LockedFile lock(path);
  ASSERT_TRUE(lock.ok());
  table_.count = 9;
  EXPECT_EQ(Run({PickFiles(path), AnswerBox(IDOK)}), 0);
  ASSERT_EQ(report_.boxTexts.size(), 1u);
  EXPECT_EQ(report_.boxTexts[0], "Can't open\n\"locked.exe\"");
  EXPECT_TRUE(report_.boxOwnedByOwner[0]);
  EXPECT_EQ(table_.count, 0);
}

TEST_F(OpenCommandTest, SingleFileOfAnotherFormat) {
  std::string path = dir_.Write("notes.dll", std::vector<uint8_t>(300, 'x'));
  EXPECT_EQ(Run({PickFiles(path), AnswerBox(IDOK)}), 0);
  ASSERT_EQ(report_.boxTexts.size(), 1u);
  EXPECT_EQ(report_.boxTexts[0], "Unsupported format\n\"notes.dll\"");
  EXPECT_TRUE(report_.boxOwnedByOwner[0]);
}

TEST_F(OpenCommandTest, TenFilesShowTheProgressWindow) {
  std::vector<std::string> names;
  for (int i = 0; i < 10; ++i) {
    names.push_back("p" + std::to_string(i) + ".exe");
    dir_.Write(names.back(), PeWithIcons(1));
  }
  {
    // Nine: no progress window at all.
    ProgressSpy spy;
    ASSERT_TRUE(spy.ok());
    EXPECT_EQ(Run({PickFiles(Quoted({names.begin(), names.begin() + 9}))}), 9);
    EXPECT_TRUE(seen.positions.empty());
    EXPECT_EQ(seen.destroyed, 0);
  }
  ProgressSpy spy;
  EXPECT_EQ(Run({PickFiles(Quoted(names))}), 10);
  // One step when the window opens, one per file: full after the tenth.
  EXPECT_EQ(seen.positions, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110}));
  // Shown from the first file on, while no messages are dispatched.
  std::vector<bool> visible(11, true);
  visible[0] = false;
  EXPECT_EQ(seen.foundVisible, visible);
  EXPECT_EQ(seen.stalePaints, 0);
  EXPECT_EQ(seen.destroyed, 1);
  EXPECT_EQ(seen.rangeLow, 0);
  EXPECT_EQ(seen.rangeHigh, 110);
  EXPECT_EQ(seen.finalPosition, 110);
  EXPECT_EQ(seen.owner, owner_);
  EXPECT_EQ(seen.title, "Loading files...");
  EXPECT_EQ(FindThreadWindow("PgsWnd", nullptr), nullptr);
}

TEST_F(OpenCommandTest, FileInADriveRoot) {
  // The prefix's drive C: is a folder of its own, so a file can be put in
  // a real drive root.
  std::string path = "C:\\ravelin-open-test-" + std::to_string(GetCurrentProcessId()) + ".exe";
  {
    TempDir scratch;
    std::string built = scratch.Write("root.exe", PeWithIcons(2));
    ASSERT_TRUE(CopyFileA(built.c_str(), path.c_str(), FALSE));
  }
  int32_t count = Run({PickFiles(path)});
  DeleteFileA(path.c_str());
  EXPECT_EQ(count, 2);
  EXPECT_STREQ(table_.records[0].directory, "C:");
  EXPECT_STREQ(table_.records[0].fileName, path.substr(3).c_str());
  EXPECT_STREQ(OpenDialogDirectory, path.c_str());
}

TEST_F(OpenCommandTest, NextDialogStartsWhereThePickWas) {
  TempDir other;
  other.Write("x.exe", PeWithIcons(1));
  other.Write("y.exe", PeWithIcons(1));
  std::string single = dir_.Write("s.exe", PeWithIcons(1));

  // Several files: the next dialog opens in their folder.
  strcpy(OpenDialogDirectory, other.path().c_str());
  EXPECT_EQ(Run({PickFiles(Quoted({"x.exe", "y.exe"}))}), 2);
  EXPECT_STREQ(OpenDialogDirectory, other.path().c_str());
  EXPECT_EQ(Run({CancelDialog()}), -1);
  ASSERT_EQ(report_.dialogFolders.size(), 1u);
  EXPECT_EQ(report_.dialogFolders[0], other.path());

  // One file, picked by its full path from another folder: the path itself
  // is handed on, and the dialog opens in the file's folder.
  EXPECT_EQ(Run({PickFiles(single)}), 1);
  EXPECT_STREQ(OpenDialogDirectory, single.c_str());
  EXPECT_EQ(Run({CancelDialog()}), -1);
  ASSERT_EQ(report_.dialogFolders.size(), 1u);
  EXPECT_EQ(report_.dialogFolders[0], dir_.path());
}

TEST_F(OpenCommandTest, TooManyFilesAreOfferedAgainWithRoom) {
  // 30 names of 100 characters: over 3000 bytes with their terminators,
  // more than the 2600 the first dialog is given.
  std::vector<std::string> names;
  std::vector<uint8_t> pe = PeWithIcons(1);
  for (int i = 0; i < 30; ++i) {
    names.push_back(std::string(93, 'n') + "-" + std::to_string(10 + i) + ".exe");
    dir_.Write(names.back(), pe);
  }
  std::string typed = Quoted(names);
  ASSERT_GT(typed.size(), static_cast<size_t>(kOpenResultSize));

  // Cancelled at the box: nothing changes.
  table_.count = 4;
  std::string remembered = OpenDialogDirectory;
  EXPECT_EQ(Run({PickFiles(typed), AnswerBox(IDCANCEL)}), -1);
  EXPECT_EQ(table_.count, 4);
  EXPECT_EQ(remembered, OpenDialogDirectory);
  ASSERT_EQ(report_.boxTexts.size(), 1u);
  EXPECT_EQ(report_.boxTexts[0].substr(0, 23), "Too many files picked: ");
  EXPECT_NE(report_.boxTexts[0].find("2600"), std::string::npos);

  // Retried: the dialog opens again in the folder the pick was made in (not
  // the one it started in), and the same pick then loads every file.
  strcpy(OpenDialogDirectory, "C:\\");
  ProgressSpy spy;
  EXPECT_EQ(Run({GoTo(dir_.path()), PickFiles(typed), AnswerBox(IDRETRY), PickFiles(typed)}), 30);
  ASSERT_EQ(report_.dialogFolders.size(), 3u);
  EXPECT_EQ(report_.dialogFolders[0], "C:\\");
  EXPECT_EQ(report_.dialogFolders[1], dir_.path());
  EXPECT_EQ(report_.dialogFolders[2], dir_.path());
  EXPECT_STREQ(table_.records[29].fileName, names[29].c_str());
  EXPECT_STREQ(OpenDialogDirectory, dir_.path().c_str());
  EXPECT_EQ(seen.finalPosition, 310);
}

TEST_F(OpenCommandTest, OneOfWinesOwnDlls) {
  const char* source = "Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows\\user32.dll";
  if (GetFileAttributesA(source) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no " << source;
  std::string copy = dir_.Join("user32.dll");
  ASSERT_TRUE(CopyFileA(source, copy.c_str(), FALSE));
  int32_t count = Run({PickFiles(copy)});
  EXPECT_GT(count, 0);
  for (int32_t i = 0; i < count; ++i) EXPECT_STREQ(table_.records[i].fileName, "user32.dll");
}
