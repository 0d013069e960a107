// The real main window under Wine: start-up state, commands, accelerators,
// the open flow through the real open dialog, navigation and the status line.
#include <windows.h>
// The common controls need the types of windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "res/resource.h"
#include "scan/catalogue.h"
#include "shell/main_window_win32.h"
#include "shell/navigation_win32.h"
#include "shell/view_window_win32.h"
#include "support/dialog_driver_win32.h"
#include "tests/support/dib_builder.h"
#include "tests/support/pe_builder.h"
#include "tests/support/temp_dir.h"

namespace {

HACCEL accelerators = nullptr;
std::set<int> commandsSeen;
WNDPROC mainProc = nullptr;

// Records every command that reaches the main window, then lets it run.
LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) commandsSeen.insert(LOWORD(wParam));
  return CallWindowProcA(mainProc, window, message, wParam, lParam);
}

std::string Title() {
  char text[600] = {};
  GetWindowTextA(mainState.window, text, sizeof text);
  return text;
}

bool MenuGreyed(UINT command) {
  return (GetMenuState(GetMenu(mainState.window), command, MF_BYCOMMAND) & MF_GRAYED) != 0;
}
bool MenuChecked(UINT command) {
  return (GetMenuState(GetMenu(mainState.window), command, MF_BYCOMMAND) & MF_CHECKED) != 0;
}
bool ButtonEnabled(UINT command) {
  return SendMessageA(mainState.toolbar, TB_ISBUTTONENABLED, command, 0) != 0;
}
bool ButtonChecked(UINT command) {
  return SendMessageA(mainState.toolbar, TB_ISBUTTONCHECKED, command, 0) != 0;
}

SCROLLINFO NavigationInfo() {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(mainState.navigationBar, SB_CTL, &info);
  return info;
}

// Runs the open command with the dialog answered by typing text.
bool OpenThroughDialog(const std::string& text) {
  DialogDriver driver({{kOpenDialogTitle, [text](HWND d) { SetFileNameAndAccept(d, text); }}});
  SendMessageA(mainState.window, WM_COMMAND, CMD_OPEN_FILES, 0);
  PumpMessages();
  return driver.finished();
}

std::string DllPath(const char* name) { return std::string(kWineSystemDlls) + "\\" + name; }

// Counts pixels of the status strip painted in the text colour.
int TextPixelsInStatusStrip(int fromX, int toX) {
  UpdateWindow(mainState.window);
  HDC dc = GetDC(mainState.window);
  COLORREF text = GetSysColor(COLOR_BTNTEXT);
  int found = 0;
  for (int y = mainState.statusLineTop; y < mainState.statusLineTop + mainState.statusLineHeight;
       ++y) {
    for (int x = fromX; x < toX; ++x) found += GetPixel(dc, x, y) == text;
  }
  ReleaseDC(mainState.window, dc);
  return found;
}

class MainWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(StartRavelin(GetModuleHandleA(nullptr), &accelerators));
    mainProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        mainState.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc)));
    PumpMessages();
  }
  void SetUp() override { commandsSeen.clear(); }
};

TEST_F(MainWindow, StartsEmptyWithEntryCommandsDisabled) {
  EXPECT_EQ(Title(), "Ravelin 1.5");
  char className[32] = {};
  GetClassNameA(mainState.window, className, sizeof className);
  EXPECT_STREQ(className, "KestrelWnd");
  for (UINT command : {CMD_SAVE_ICON_GROUP, CMD_COPY, CMD_SAVE_ALL}) {
    EXPECT_TRUE(MenuGreyed(command)) << command;
  }
  for (UINT command : {CMD_SAVE_IMAGE, CMD_ZOOM_IN, CMD_ZOOM_OUT, CMD_SORT_LARGE_TO_SMALL,
                       CMD_SORT_SMALL_TO_LARGE, CMD_NO_SORT}) {
    EXPECT_TRUE(MenuGreyed(command)) << command;
    EXPECT_FALSE(ButtonEnabled(command)) << command;
  }
  for (UINT command : {CMD_OPEN_FILES, CMD_OPEN_DIRECTORY, CMD_TOGGLE_FINDER, CMD_EXIT,
                       CMD_HELP_CONTENTS, CMD_ABOUT}) {
    EXPECT_FALSE(MenuGreyed(command)) << command;
  }
  EXPECT_TRUE(MenuChecked(CMD_NO_SORT));
  EXPECT_FALSE(MenuChecked(CMD_SORT_LARGE_TO_SMALL));
  EXPECT_FALSE(MenuChecked(CMD_TOGGLE_FINDER));
  EXPECT_TRUE(ButtonChecked(CMD_NO_SORT));
  EXPECT_EQ(SendMessageA(mainState.toolbar, TB_BUTTONCOUNT, 0, 0), 13);
  // The Finder starts visible, to the right of the main window.
  ASSERT_NE(mainState.finder, nullptr);
  EXPECT_TRUE(IsWindowVisible(mainState.finder));
  RECT mainRect, finderRect;
  GetWindowRect(mainState.window, &mainRect);
  GetWindowRect(mainState.finder, &finderRect);
  EXPECT_EQ(finderRect.left, mainRect.right);
  EXPECT_EQ(finderRect.bottom - finderRect.top, mainRect.bottom - mainRect.top);
  // No entries: the view shows nothing and the status strip no text.
  EXPECT_FALSE(CurrentViewState().hasImage);
  RECT client;
  GetClientRect(mainState.window, &client);
  EXPECT_EQ(TextPixelsInStatusStrip(0, client.right), 0);
}

TEST_F(MainWindow, AcceleratorsOfGreyedCommandsAreSwallowed) {
  ASSERT_EQ(mainState.catalogue.count, 0);
  PressKey(mainState.window, accelerators, 'S', true);
  PressKey(mainState.window, accelerators, 'G', true);
  PressKey(mainState.window, accelerators, 'C', true);
  PressKey(mainState.window, accelerators, VK_ADD);
  PressKey(mainState.window, accelerators, VK_SUBTRACT);
  PressKey(mainState.window, accelerators, VK_DOWN, true);
  EXPECT_TRUE(commandsSeen.empty());
  // Tab is never greyed: it hides the Finder, and again shows it.
  PressKey(mainState.window, accelerators, VK_TAB);
  EXPECT_EQ(commandsSeen.count(CMD_TOGGLE_FINDER), 1u);
  EXPECT_FALSE(IsWindowVisible(mainState.finder));
  PressKey(mainState.window, accelerators, VK_TAB);
  EXPECT_TRUE(IsWindowVisible(mainState.finder));
}

TEST_F(MainWindow, SaveIconGroupFollowsTheCurrentEntrysKind) {
  if (mainState.catalogue.count == 0) {
    ASSERT_TRUE(OpenThroughDialog(DllPath("user32.dll")));
  }
  int32_t bitmap = -1, cursor = -1;
  for (int32_t i = 0; i < mainState.catalogue.count; ++i) {
    if (bitmap < 0 && mainState.catalogue.records[i].kind == ImageKind::Bitmap) bitmap = i;
    if (cursor < 0 && mainState.catalogue.records[i].kind == ImageKind::Cursor) cursor = i;
  }
  ASSERT_GE(bitmap, 0);
  ASSERT_GE(cursor, 0);
  // Moving to another entry runs no command: the accelerator itself must
  // find the state of the entry it acts on.
  SelectItem(mainState.window, bitmap, true);
  PressKey(mainState.window, accelerators, 'G', true);
  PressKey(mainState.window, accelerators, 'C', true);
  EXPECT_EQ(commandsSeen.count(CMD_SAVE_ICON_GROUP), 0u);
  EXPECT_TRUE(MenuGreyed(CMD_SAVE_ICON_GROUP));
  SelectItem(mainState.window, cursor, true);
  DialogDriver driver({{"Save cursor group", [](HWND d) { PressButton(d, IDCANCEL); }}});
  PressKey(mainState.window, accelerators, 'G', true);
  PressKey(mainState.window, accelerators, 'C', true);
  PumpMessages();
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(commandsSeen.count(CMD_SAVE_ICON_GROUP), 1u);
  EXPECT_FALSE(MenuGreyed(CMD_SAVE_ICON_GROUP));
}

TEST_F(MainWindow, TooltipsNameTheCommandsAndTheirKeys) {
  NMTTDISPINFOA request = {};
  request.hdr.hwndFrom = mainState.toolbar;
  request.hdr.idFrom = CMD_OPEN_DIRECTORY;
  request.hdr.code = TTN_NEEDTEXTA;
  SendMessageA(mainState.window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&request));
  ASSERT_NE(request.lpszText, nullptr);
  EXPECT_STREQ(request.lpszText, "Open Directory (Ctrl+D)");
  request.lpszText = nullptr;
  request.hdr.idFrom = CMD_EXIT;  // no button, no tooltip
  SendMessageA(mainState.window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&request));
  EXPECT_EQ(request.lpszText, nullptr);
}

TEST_F(MainWindow, CancelledOpenChangesNothing) {
  std::string before = Title();
  int32_t count = mainState.catalogue.count;
  DialogDriver driver({{kOpenDialogTitle, [](HWND d) { PressButton(d, IDCANCEL); }}});
  SendMessageA(mainState.window, WM_COMMAND, CMD_OPEN_FILES, 0);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(Title(), before);
  EXPECT_EQ(mainState.catalogue.count, count);
}

TEST_F(MainWindow, OpeningAFileShowsItsFirstEntry) {
  ASSERT_TRUE(OpenThroughDialog(DllPath("user32.dll")));
  ASSERT_GT(mainState.catalogue.count, 20);
  EXPECT_EQ(mainState.currentIndex, 0);
  EXPECT_EQ(Title(), "Ravelin 1.5 - [" + DllPath("user32.dll") + "]");
  EXPECT_TRUE(CurrentViewState().hasImage);
  for (UINT command : {CMD_COPY, CMD_SAVE_ALL}) EXPECT_FALSE(MenuGreyed(command)) << command;
  for (UINT command : {CMD_SAVE_IMAGE, CMD_ZOOM_IN, CMD_ZOOM_OUT, CMD_SORT_LARGE_TO_SMALL,
                       CMD_SORT_SMALL_TO_LARGE, CMD_NO_SORT}) {
    EXPECT_FALSE(MenuGreyed(command)) << command;
    EXPECT_TRUE(ButtonEnabled(command)) << command;
  }
  EXPECT_TRUE(MenuChecked(CMD_NO_SORT));
  SCROLLINFO nav = NavigationInfo();
  EXPECT_EQ(nav.nMin, 0);
  EXPECT_EQ(nav.nMax, mainState.catalogue.count + 8);
  EXPECT_EQ(nav.nPage, 10u);
  EXPECT_EQ(nav.nPos, 0);
  // "1 of N" ends flush with the right edge.
  RECT client;
  GetClientRect(mainState.window, &client);
  EXPECT_GT(TextPixelsInStatusStrip(client.right - 40, client.right), 0);
}

TEST_F(MainWindow, AnOpenThatFindsNoImagesSaysSoInTheStatusLine) {
  ASSERT_TRUE(OpenThroughDialog(DllPath("ntdll.dll")));  // no images in it
  EXPECT_EQ(mainState.catalogue.count, 0);
  EXPECT_EQ(mainState.statusNote, "No images found.");
  RECT client;
  GetClientRect(mainState.window, &client);
  EXPECT_GT(TextPixelsInStatusStrip(0, client.right / 2), 0);
  EXPECT_EQ(TextPixelsInStatusStrip(client.right / 2, client.right), 0);
  // An open that finds images shows the first one's description instead.
  ASSERT_TRUE(OpenThroughDialog(DllPath("user32.dll")));
  EXPECT_EQ(mainState.statusNote, "");
  EXPECT_GT(TextPixelsInStatusStrip(0, 40), 0);
  // A file cut short in its last image says so.
  TempDir dir;
  MinimalPe pe = MakeMinimalPe({PeIcon(1, MakeIconData(16, 16)), PeIcon(2, MakeIconData(16, 16))});
  pe.bytes.resize(static_cast<size_t>(pe.DataPosition(1)) + 8);
  ASSERT_TRUE(OpenThroughDialog(dir.Write("cut.dll", pe.bytes)));
  EXPECT_EQ(mainState.catalogue.count, 1);
  EXPECT_EQ(mainState.statusNote, "cut.dll is damaged: some images may be missing");
  ASSERT_TRUE(OpenThroughDialog(DllPath("user32.dll")));  // as the later cases expect
}

TEST_F(MainWindow, NavigationKeysAndBarClampAndSelect) {
  if (mainState.catalogue.count == 0) {
    ASSERT_TRUE(OpenThroughDialog(DllPath("user32.dll")));
  }
  int32_t last = mainState.catalogue.count - 1;
  ASSERT_GT(last, 20);
  SelectItem(mainState.window, 0, true);
  PressKey(mainState.window, accelerators, VK_RIGHT);
  EXPECT_EQ(mainState.currentIndex, 1);
  EXPECT_EQ(NavigationInfo().nPos, 1);
  PressKey(mainState.window, accelerators, VK_NEXT);
  EXPECT_EQ(mainState.currentIndex, 11);
  PressKey(mainState.window, accelerators, VK_PRIOR);
  PressKey(mainState.window, accelerators, VK_PRIOR);
  EXPECT_EQ(mainState.currentIndex, 0);
  PressKey(mainState.window, accelerators, VK_LEFT);
  EXPECT_EQ(mainState.currentIndex, 0);
  PressKey(mainState.window, accelerators, VK_END);
  EXPECT_EQ(mainState.currentIndex, last);
  PressKey(mainState.window, accelerators, VK_NEXT);
  PressKey(mainState.window, accelerators, VK_RIGHT);
  EXPECT_EQ(mainState.currentIndex, last);
  // Up and Down without Ctrl do nothing.
  PressKey(mainState.window, accelerators, VK_UP);
  PressKey(mainState.window, accelerators, VK_DOWN);
  EXPECT_EQ(mainState.currentIndex, last);
  PressKey(mainState.window, accelerators, VK_HOME);
  EXPECT_EQ(mainState.currentIndex, 0);

  SendMessageA(mainState.window, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 7), 0);
  EXPECT_EQ(mainState.currentIndex, 7);
  SendMessageA(mainState.window, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 3), 0);
  EXPECT_EQ(mainState.currentIndex, 7);
  SendMessageA(mainState.window, WM_HSCROLL, MAKEWPARAM(SB_PAGERIGHT, 0), 0);
  EXPECT_EQ(mainState.currentIndex, 17);
  SendMessageA(mainState.window, WM_HSCROLL, MAKEWPARAM(SB_LINELEFT, 0), 0);
  EXPECT_EQ(mainState.currentIndex, 16);
  EXPECT_EQ(NavigationInfo().nPos, 16);
}

TEST_F(MainWindow, AFileInADriveRootIsNamedWithoutADoubledBackslash) {
  const char rootCopy[] = "C:\\ravelin-root-test.dll";
  ASSERT_TRUE(CopyFileA(DllPath("user32.dll").c_str(), rootCopy, FALSE));
  bool opened = OpenThroughDialog(rootCopy);
  DeleteFileA(rootCopy);
  ASSERT_TRUE(opened);
  ASSERT_GT(mainState.catalogue.count, 0);
  EXPECT_STREQ(mainState.catalogue.records[0].directory, "C:");
  EXPECT_EQ(Title(), "Ravelin 1.5 - [C:\\ravelin-root-test.dll]");
}

TEST_F(MainWindow, AnEntryThatCannotBeReadOffersRetryAndCancelKeepsThePreviousOne) {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  std::string copy = std::string(folder) + "ravelin-vanishing.dll";
  ASSERT_TRUE(CopyFileA(DllPath("user32.dll").c_str(), copy.c_str(), FALSE));
  ASSERT_TRUE(OpenThroughDialog(copy));
  ASSERT_GT(mainState.catalogue.count, 30);
  // Far enough from the entries loaded so far that nothing is cached.
  SelectItem(mainState.window, 2, false);
  std::string before = Title();
  ASSERT_TRUE(DeleteFileA(copy.c_str()));

  std::string firstText;
  DialogDriver driver({
      {"Ravelin 1.5",
       [&](HWND box) {
         firstText = MessageBoxText(box);
         PressButton(box, IDRETRY);
       }},
      {"Ravelin 1.5", [](HWND box) { PressButton(box, IDCANCEL); }},
  });
  PressKey(mainState.window, accelerators, VK_END);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(firstText, "Can't view item.\nPossibly, drive not ready");
  EXPECT_EQ(mainState.currentIndex, 2);
  EXPECT_EQ(Title(), before);
  EXPECT_TRUE(CurrentViewState().hasImage);
}

TEST_F(MainWindow, ACancelledFirstLoadOfANewCatalogueLeavesNoStaleEntry) {
  ASSERT_TRUE(OpenThroughDialog(DllPath("user32.dll")));
  SelectItem(mainState.window, mainState.catalogue.count - 1, false);
  ASSERT_TRUE(mainState.imageShown);
  // A refill to two entries of a file that has gone by the time the first
  // is loaded, as after a drive was removed.
  static const char kGone[] = "ravelin-no-such-file.dll";
  static const char kNowhere[] = "C:\\";
  for (int i = 0; i < 2; ++i) {
    mainState.catalogue.records[i] = {ImageKind::Icon, 0, 744, 900000 + i, 0, kNowhere, kGone};
  }
  mainState.catalogue.count = 2;
  mainState.catalogueChanged = true;
  DialogDriver driver({{"Ravelin 1.5", [](HWND box) { PressButton(box, IDCANCEL); }}});
  SelectItem(mainState.window, 0, true);
  EXPECT_TRUE(driver.finished());
  EXPECT_LT(mainState.currentIndex, mainState.catalogue.count);
  EXPECT_FALSE(mainState.imageShown);
  EXPECT_FALSE(CurrentViewState().hasImage);
  EXPECT_EQ(Title(), "Ravelin 1.5");
  // Saving now has nothing to write, and asks nothing.
  DialogDriver none({{"Save icon", [](HWND d) { PressButton(d, IDCANCEL); }}}, 1500);
  SendMessageA(mainState.window, WM_COMMAND, CMD_SAVE_IMAGE, 0);
  PumpMessages();
  EXPECT_FALSE(none.finished());
  mainState.catalogue.count = 0;
  mainState.catalogueChanged = false;
  SelectItem(mainState.window, 0, true);
  UpdateCommandStates();
}

TEST_F(MainWindow, LayoutFollowsTheClientSize) {
  for (SIZE size : {SIZE{640, 480}, SIZE{400, 300}, SIZE{300, 120}}) {
    SetWindowPos(mainState.window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages();
    RECT client, view, nav, banner, toolbar;
    GetClientRect(mainState.window, &client);
    GetWindowRect(mainState.view, &view);
    GetWindowRect(mainState.navigationBar, &nav);
    GetWindowRect(mainState.banner, &banner);
    GetWindowRect(mainState.toolbar, &toolbar);
    int bannerHeight = banner.bottom - banner.top;
    int s = GetSystemMetrics(SM_CYHSCROLL);
    POINT bannerTop = {banner.left, banner.top};
    ScreenToClient(mainState.window, &bannerTop);
    EXPECT_EQ(bannerTop.y, client.bottom - bannerHeight - 4);
    EXPECT_EQ(nav.bottom - nav.top, 2 * s);
    int expectedView = client.bottom - (toolbar.bottom - toolbar.top) - mainState.statusLineHeight -
                       2 * s - bannerHeight - 18;
    EXPECT_EQ(view.bottom - view.top, expectedView < 0 ? 0 : expectedView) << size.cx;
    EXPECT_EQ(view.right - view.left, client.right);
  }
}

// The children's rectangles in the main window's client coordinates.
std::vector<RECT> ChildPlaces() {
  std::vector<RECT> places;
  for (HWND child :
       {mainState.toolbar, mainState.view, mainState.navigationBar, mainState.banner}) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, mainState.window, reinterpret_cast<POINT*>(&r), 2);
    places.push_back(r);
  }
  return places;
}

bool SamePlaces(const std::vector<RECT>& a, const std::vector<RECT>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!EqualRect(&a[i], &b[i])) return false;
  }
  return true;
}

TEST_F(MainWindow, MinimiseAndRestoreLeaveTheLayoutAsItWas) {
  SetWindowPos(mainState.window, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER);
  PumpMessages();
  std::vector<RECT> before = ChildPlaces();
  int statusTop = mainState.statusLineTop;
  ShowWindow(mainState.window, SW_MINIMIZE);
  PumpMessages();
  ASSERT_TRUE(IsIconic(mainState.window));
  ShowWindow(mainState.window, SW_RESTORE);
  PumpMessages();
  ASSERT_FALSE(IsIconic(mainState.window));
  EXPECT_TRUE(SamePlaces(ChildPlaces(), before));
  EXPECT_EQ(mainState.statusLineTop, statusTop);
  EXPECT_EQ(before[0].bottom - before[0].top, mainState.toolbarRowHeight);
}

TEST_F(MainWindow, SizingStopsWhereEveryPartIsStillWhole) {
  SetWindowPos(mainState.window, nullptr, 0, 0, 60, 60, SWP_NOMOVE | SWP_NOZORDER);
  PumpMessages();
  RECT client;
  GetClientRect(mainState.window, &client);
  std::vector<RECT> places = ChildPlaces();
  const RECT& toolbar = places[0];
  const RECT& view = places[1];
  const RECT& nav = places[2];
  const RECT& banner = places[3];
  // The toolbar keeps its one row: its last button beside the first.
  RECT first, last;
  SendMessageA(mainState.toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
  SendMessageA(mainState.toolbar, TB_GETITEMRECT, 12, reinterpret_cast<LPARAM>(&last));
  EXPECT_EQ(last.top, first.top);
  EXPECT_LE(last.right, client.right);
  EXPECT_EQ(toolbar.bottom - toolbar.top, mainState.toolbarRowHeight);
  EXPECT_GT(view.bottom - view.top, 0);
  EXPECT_GE(view.top, toolbar.bottom);
  EXPECT_GE(nav.top, mainState.statusLineTop + mainState.statusLineHeight);
  EXPECT_LE(nav.bottom, banner.top);
  EXPECT_GE(banner.left, 0);
  EXPECT_LE(banner.right, client.right);
  EXPECT_EQ(banner.bottom, client.bottom - 4);
}

TEST_F(MainWindow, ExitAndCloseEndTheLoopWithCodeZero) {
  SendMessageA(mainState.window, WM_CLOSE, 0, 0);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_TRUE(IsWindow(mainState.window));  // closing does not destroy it
  SendMessageA(mainState.window, WM_COMMAND, CMD_EXIT, 0);
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 0u);
}

}  // namespace
