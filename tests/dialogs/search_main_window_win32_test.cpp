// Ctrl+D in the real main window: the chooser, the search driven by the
// main window's own idle notifications, and the new catalogue shown.
#include <gtest/gtest.h>
#include <windows.h>
// DROPFILES needs the types of windows.h first.
#include <shlobj.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "dialogs/open_files.h"
#include "res/resource.h"
#include "scan/catalogue.h"
#include "shell/finder_window_win32.h"
#include "shell/main_window_win32.h"
#include "support/dialog_driver_win32.h"
#include "tests/scan/search_tree.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

const char kChooserTitle[] = "Select a directory...";

void PostIntruders() {
  for (int command : {CMD_OPEN_FILES, CMD_OPEN_DIRECTORY, CMD_SAVE_IMAGE, CMD_SAVE_ICON_GROUP,
                      CMD_SORT_LARGE_TO_SMALL, CMD_SORT_SMALL_TO_LARGE, CMD_HIDE_DUPLICATES,
                      CMD_ABOUT}) {
    PostMessageA(mainState.window, WM_COMMAND, command, 0);
  }
  for (HWND w : {mainState.window, mainState.finder}) PostMessageA(w, WM_KEYDOWN, VK_END, 0);
  PostMessageA(mainState.window, WM_HSCROLL, SB_LINEDOWN, 0);
  PostMessageA(mainState.finder, WM_LBUTTONDOWN, 0, MAKELPARAM(4, 4));
}

std::string Title() {
  char text[600] = {};
  GetWindowTextA(mainState.window, text, sizeof text);
  return text;
}

// An HDROP as the shell posts it: ANSI paths, each ended by a NUL, and one
// more NUL.
HGLOBAL MakeDrop(const std::vector<std::string>& paths) {
  size_t size = sizeof(DROPFILES) + 1;
  for (const std::string& p : paths) size += p.size() + 1;
  HGLOBAL block = GlobalAlloc(GHND, size);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
  drop->pFiles = sizeof(DROPFILES);
  char* at = reinterpret_cast<char*>(drop + 1);
  for (const std::string& p : paths) at = strcpy(at, p.c_str()) + p.size() + 1;
  GlobalUnlock(block);
  return block;
}

void Drop(const std::vector<std::string>& paths) {
  PostMessageA(mainState.finder, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
  PumpMessages();
}

using Entries = std::vector<std::tuple<ImageKind, int32_t, int32_t, std::string, std::string>>;
Entries Shown() {
  Entries entries;
  for (int32_t i = 0; i < mainState.catalogue.count; ++i) {
    const ImageRecord& r = mainState.catalogue.records[i];
    entries.emplace_back(r.kind, r.offset, r.size, r.directory, r.fileName);
  }
  return entries;
}

}  // namespace

TEST(SearchFromMainWindow, CtrlDSearchesTheChosenTreeAndCancelKeepsTheCatalogue) {
  HACCEL accelerators = nullptr;
  ASSERT_TRUE(StartRavelin(GetModuleHandleA(nullptr), &accelerators));
  PumpMessages();
  TempDir dir;
  CurrentDirectoryKeeper keep;
  std::string a = Under(dir.path(), "A");
  PutPe(a, "a.exe", 1);
  PutPe(Under(a, "B"), "b.exe", 2);
  PutPe(Under(a, "B/D"), "d.exe", 3);
  ASSERT_TRUE(SetCurrentDirectoryA(a.c_str()));

  {
    DialogDriver driver({{kChooserTitle, [](HWND d) { PressButton(d, IDOK); }}});
    PressKey(mainState.window, accelerators, 'D', true);
    PumpMessages();
    ASSERT_TRUE(driver.finished());
  }
  EXPECT_EQ(mainState.catalogue.count, 6);
  EXPECT_EQ(mainState.currentIndex, 0);
  // The first entry is shown: the start directory's file comes first.
  EXPECT_EQ(Title().rfind("Ravelin 1.5 - [", 0), 0u) << Title();
  EXPECT_NE(Title().find("a.exe]"), std::string::npos) << Title();
  EXPECT_FALSE(GetMenuState(GetMenu(mainState.window), CMD_SAVE_IMAGE, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(fs::equivalent(CurrentDirectory(), dir.path())) << CurrentDirectory();

  // Cancelling the chooser leaves the catalogue as it was.
  const std::string before = Title();
  {
    DialogDriver driver({{kChooserTitle, [](HWND d) { PressButton(d, IDCANCEL); }}});
    SendMessageA(mainState.window, WM_COMMAND, CMD_OPEN_DIRECTORY, 0);
    PumpMessages();
    ASSERT_TRUE(driver.finished());
  }
  EXPECT_EQ(mainState.catalogue.count, 6);
  EXPECT_EQ(Title(), before);
  EXPECT_EQ(mainState.statusNote, "");

  // A tree without images: the status line says so, and no box asks
  // anything.
  std::string empty = Under(dir.path(), "Empty");
  fs::create_directories(Under(empty, "sub"));
  ASSERT_TRUE(SetCurrentDirectoryA(empty.c_str()));
  {
    DialogDriver driver({{kChooserTitle, [](HWND d) { PressButton(d, IDOK); }}});
    SendMessageA(mainState.window, WM_COMMAND, CMD_OPEN_DIRECTORY, 0);
    PumpMessages();
    ASSERT_TRUE(driver.finished());
  }
  EXPECT_EQ(mainState.catalogue.count, 0);
  EXPECT_EQ(mainState.statusNote, "No images found.");
  EXPECT_EQ(Title(), "Ravelin 1.5");
  // Posted in the open dialog, the chooser and the search's loop, the save dialog or the About
  // box, every intruder is refused: each command ends as alone, and no dialog of theirs shows.
  std::string typed, alone;
  auto outcome = [] { return std::to_string(mainState.catalogue.count) + Title(); };
  for (int i = 0; i < 12; ++i) {
    typed += "\"" + std::to_string(i) + ".exe\" ";
    strcpy(OpenDialogDirectory, PutPe(dir.path(), std::to_string(i) + ".exe", 1).c_str());
  }
  for (int command : {CMD_OPEN_FILES, CMD_OPEN_DIRECTORY, CMD_SAVE_IMAGE, CMD_ABOUT}) {
    const bool search = command == CMD_OPEN_DIRECTORY;
    const auto kind = search || command == CMD_ABOUT ? DialogStep::Kind::Other
                                                     : DialogStep::Kind::FileDialog;
    for (bool intrude : {false, true}) {
      ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));  // a search ends above its tree
      auto first = [&](HWND) { intrude ? PostIntruders() : void(); };
      auto end = [&](HWND d) {
        EXPECT_EQ(mainState.refusedWhileBusy, intrude) << command;  // "Busy" in the status line
        if (command == CMD_OPEN_FILES) SetFileNameAndAccept(d, typed);
        if (command == CMD_SAVE_IMAGE) PressButton(d, IDCANCEL);
        if (command == CMD_ABOUT) PressButton(d, IDOK);
        if (search) PressButton(d, IDOK), first(d);
      };
      DialogDriver driver({{"", first, kind}, {"", end, kind}}, 20000,
                          search ? DialogDriver::Others::Wait : DialogDriver::Others::Cancel);
      SendMessageA(mainState.window, WM_COMMAND, command, 0);
      PumpMessages();
      EXPECT_TRUE(driver.finished() && driver.unexpected().empty()) << command;
      if (!intrude) alone = outcome();
    }
    EXPECT_EQ(outcome(), alone) << command;
    EXPECT_TRUE(mainState.sortOrder == SortOrder::Unsorted && !mainState.hideDuplicates);
  }
}

TEST(SearchFromMainWindow, HiddenDuplicatesFollowTheSearchAndReturnWithoutAFileRead) {
  HACCEL keys = nullptr;
  if (mainState.window == nullptr) StartRavelin(GetModuleHandleA(nullptr), &keys);
  keys = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAIN_ACCELERATORS));
  TempDir dir;
  CurrentDirectoryKeeper keep;
  // Bitmaps 1 wide; 1 and 2; 1, 2 and 3: six entries, three images.
  const std::string a = Under(dir.path(), "A");
  const std::string files[] = {Under(PutPe(a, "a.exe", 1), "a.exe"),
                               Under(PutPe(Under(a, "B"), "b.exe", 2), "b.exe"),
                               Under(PutPe(Under(a, "B/D"), "d.exe", 3), "d.exe")};
  ASSERT_TRUE(SetCurrentDirectoryA(a.c_str()));
  PressKey(mainState.window, keys, 'H', true);
  {
    DialogDriver driver({{kChooserTitle, [](HWND d) { PressButton(d, IDOK); }}});
    PressKey(mainState.window, keys, 'D', true);
    PumpMessages();
    ASSERT_TRUE(driver.finished() && mainState.catalogue.count == 6);
  }
  const ShownEntries shown = ShownCatalogueEntries();
  ASSERT_TRUE(shown.count() == 3 && CurrentFinderState().count == 3);
  for (int32_t p = 0; p < 3; ++p) EXPECT_EQ(CurrentFinderState().shown[p], shown.Entry(p));
  SendMessageA(mainState.window, WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(mainState.currentIndex, shown.Entry(2));
  // Off and on again while no file can be opened: a read would fail and
  // change the count, or ask to retry.
  std::vector<HANDLE> locks;
  for (const std::string& f : files)
    locks.push_back(CreateFileA(f.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ShowWindow(mainState.finder, SW_HIDE);
  DialogDriver none({}, 2000, DialogDriver::Others::Cancel);
  SCROLLINFO bar = {sizeof bar, SIF_ALL, 0, 0, 0, 0, 0};
  for (int32_t count : {6, 3}) {
    SendMessageA(mainState.window, WM_COMMAND, CMD_HIDE_DUPLICATES, 0);
    PumpMessages();
    GetScrollInfo(mainState.navigationBar, SB_CTL, &bar);
    EXPECT_EQ(ShownCatalogueEntries().count(), count);
    EXPECT_EQ(bar.nMax, count + 8);
    EXPECT_EQ(mainState.currentIndex, shown.Entry(2));
  }
  EXPECT_TRUE(none.unexpected().empty());
  for (HANDLE lock : locks) CloseHandle(lock);
  SendMessageA(mainState.window, WM_COMMAND, CMD_HIDE_DUPLICATES, 0);
}

// Files and folders dropped on the Finder (handed to the main window) fill
// the catalogue as the open dialog and the chooser do, in drop order.
TEST(SearchFromMainWindow, DropsOpenAsThePickAndTheChooserDo) {
  HACCEL accelerators = nullptr;
  ASSERT_TRUE(mainState.window != nullptr ||
              StartRavelin(GetModuleHandleA(nullptr), &accelerators));
  PumpMessages();
  TempDir dir;
  CurrentDirectoryKeeper keep;
  const std::string a = Under(dir.path(), "A");
  const std::string b = Under(a, "B");
  PutPe(a, "a.exe", 1);
  PutPe(b, "b.exe", 2);
  ASSERT_TRUE(SetCurrentDirectoryA(a.c_str()));
  Entries chosen, pickedA, pickedB;
  for (auto [text, into] : {std::pair{std::string(), &chosen}, std::pair{a + "\\a.exe", &pickedA},
                            std::pair{b + "\\b.exe", &pickedB}}) {
    const std::string typed = text;
    DialogDriver driver({{typed.empty() ? kChooserTitle : kOpenDialogTitle, [typed](HWND d) {
                            typed.empty() ? PressButton(d, IDOK)
                                          : void(SetFileNameAndAccept(d, typed));
                          }}});
    SendMessageA(mainState.window, WM_COMMAND, typed.empty() ? CMD_OPEN_DIRECTORY : CMD_OPEN_FILES,
                 0);
    PumpMessages();
    ASSERT_TRUE(driver.finished());
    *into = Shown();
  }
  ASSERT_TRUE(chosen.size() == 3 && pickedB.size() == 2);
  Drop({a + "\\a.exe", b + "\\b.exe"});
  pickedA.insert(pickedA.end(), pickedB.begin(), pickedB.end());
  EXPECT_EQ(Shown(), pickedA);
  Drop({a});
  EXPECT_EQ(Shown(), chosen);
  Drop({b + "\\b.exe", a});
  pickedB.insert(pickedB.end(), chosen.begin(), chosen.end());
  EXPECT_EQ(Shown(), pickedB);
}
