// Ctrl+D in the real main window: the chooser, the search driven by the
// main window's own idle notifications, and the new catalogue shown.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "res/resource.h"
#include "scan/catalogue.h"
#include "shell/main_window_win32.h"
#include "tests/scan/search_tree.h"
#include "tests/support/dialog_driver_win32.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

const char kChooserTitle[] = "Select a directory...";

std::string Title() {
  char text[600] = {};
  GetWindowTextA(mainState.window, text, sizeof text);
  return text;
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
}
