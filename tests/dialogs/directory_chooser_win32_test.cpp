// The directory chooser under Wine: its lists for a nested folder, moves by
// double-click, what OK and Cancel return, its owner-drawn items and a drive
// that is not ready.
#include "dialogs/directory_chooser_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/directory_chooser.h"
#include "res/resource.h"
#include "support/dialog_driver_win32.h"
#include "support/memory_canvas_win32.h"
#include "tests/dialogs/search_owner_win32.h"
#include "tests/scan/search_tree.h"

namespace fs = std::filesystem;

namespace {

const char kChooserTitle[] = "Select a directory...";
const char kBoxTitle[] = "Ravelin 1.5";

// A folder right below C:\, so that the ancestor chain is short and known;
// removed with everything in it.
class RootFolder {
 public:
  RootFolder() : path_("C:\\ravelin-chooser-" + std::to_string(GetCurrentProcessId())) {
    fs::remove_all(path_);
    fs::create_directory(path_);
  }
  ~RootFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string name() const { return fs::path(path_).filename().string(); }

 private:
  std::string path_;
};

std::vector<std::string> Texts(const std::vector<ListedFolder>& items) {
  std::vector<std::string> texts;
  for (const ListedFolder& item : items) texts.push_back(item.text);
  return texts;
}

std::vector<int> Indentations(const std::vector<ListedFolder>& items) {
  std::vector<int> indentations;
  for (const ListedFolder& item : items) indentations.push_back(ItemIndentation(item.data));
  return indentations;
}

struct Seen {
  std::vector<ListedFolder> list;
  int selection = -2;
  std::string path;
  std::string drive;
};

Seen Look(HWND chooser) {
  return {ReadFolderList(chooser), FolderSelection(chooser), ControlText(chooser, IDC_PATH_LINE),
          DriveSelectionText(chooser)};
}

class Chooser : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(SearchOwner(), nullptr);
    nest_ = root_.path() + "\\Nest";
    for (const char* name : {"beta", "Alpha", "gamma", ".dot", "Delta"}) {
      fs::create_directories(nest_ + "\\" + name);
    }
    fs::create_directory(root_.path() + "\\Other");
    PutPe(nest_, "zzzz.exe", 1);
  }

  const char* Run(std::vector<DialogStep> steps, bool* finished) {
    DialogDriver driver(std::move(steps));
    const char* chosen = ChooseDirectory(SearchOwner());
    PumpMessages();
    *finished = driver.finished();
    return chosen;
  }

  RootFolder root_;
  std::string nest_;
  // Declared last: the chooser leaves the current directory in the tree.
  CurrentDirectoryKeeper keep_;
};

}  // namespace

TEST_F(Chooser, NestedFolderMovesByDoubleClickAndOkReturnsThePathLine) {
  ASSERT_TRUE(SetCurrentDirectoryA(nest_.c_str()));
  Seen atNest, atRootFolder, atDrive, back;
  const std::string folder = root_.name();
  bool finished = false;
  const char* chosen =
      Run({{kChooserTitle,
            [&](HWND d) {
              atNest = Look(d);
              DoubleClickFolder(d, 1);
            }},
           {kChooserTitle,
            [&](HWND d) {
              atRootFolder = Look(d);
              DoubleClickFolder(d, 0);
            }},
           {kChooserTitle,
            [&](HWND d) {
              atDrive = Look(d);
              DoubleClickFolder(d, FindFolder(d, folder));
            }},
           {kChooserTitle,
            [&](HWND d) {
              back = Look(d);
              // A single click only selects.
              SendDlgItemMessageA(d, IDC_FOLDER_LIST, LB_SETCURSEL, FindFolder(d, "Other"), 0);
              PressButton(d, IDOK);
            }}},
          &finished);
  ASSERT_TRUE(finished);

  EXPECT_EQ(Texts(atNest.list),
            (std::vector<std::string>{"C:", folder, "Nest", "Alpha", "beta", "Delta", "gamma"}));
  EXPECT_EQ(Indentations(atNest.list), (std::vector<int>{0, 8, 16, 24, 24, 24, 24}));
  for (size_t i = 0; i < atNest.list.size(); ++i) {
    EXPECT_EQ(ItemLow(atNest.list[i].data) == kSubfolderMark, i >= 3) << i;
  }
  EXPECT_EQ(ItemLow(atNest.list[2].data), 4 + folder.size());
  EXPECT_EQ(atNest.selection, 0);
  EXPECT_EQ(atNest.path, nest_);
  EXPECT_EQ(atNest.drive.substr(0, 4), "C:  ");

  EXPECT_EQ(Texts(atRootFolder.list), (std::vector<std::string>{"C:", folder, "Nest", "Other"}));
  EXPECT_EQ(Indentations(atRootFolder.list), (std::vector<int>{0, 8, 16, 16}));
  EXPECT_EQ(atRootFolder.selection, 1);
  EXPECT_EQ(atRootFolder.path, root_.path());

  ASSERT_FALSE(atDrive.list.empty());
  EXPECT_EQ(atDrive.list[0].text, "C:");
  EXPECT_EQ(atDrive.selection, 0);
  EXPECT_EQ(atDrive.path, "C:\\");
  for (size_t i = 1; i < atDrive.list.size(); ++i) {
    EXPECT_EQ(ItemIndentation(atDrive.list[i].data), 8);
    if (i > 1) {
      EXPECT_LE(lstrcmpiA(atDrive.list[i - 1].text.c_str(), atDrive.list[i].text.c_str()), 0);
    }
  }

  EXPECT_EQ(back.path, root_.path());  // one backslash after the colon
  EXPECT_EQ(back.selection, 1);
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(std::string(chosen), root_.path());
  EXPECT_TRUE(fs::equivalent(CurrentDirectory(), root_.path()));
}

TEST_F(Chooser, CancelReturnsNothingAndLeavesTheCurrentDirectoryWhereTheUserWent) {
  ASSERT_TRUE(SetCurrentDirectoryA(nest_.c_str()));
  bool finished = false;
  const char* chosen = Run({{kChooserTitle, [](HWND d) { DoubleClickFolder(d, 0); }},
                            {kChooserTitle, [](HWND d) { PressButton(d, IDCANCEL); }}},
                           &finished);
  ASSERT_TRUE(finished);
  EXPECT_EQ(chosen, nullptr);
  EXPECT_EQ(CurrentDirectory(), "C:\\");
  // Each opening starts from the current directory of that moment.
  ASSERT_TRUE(SetCurrentDirectoryA(root_.path().c_str()));
  Seen opened;
  chosen = Run({{kChooserTitle,
                 [&](HWND d) {
                   opened = Look(d);
                   PressButton(d, IDOK);
                 }}},
               &finished);
  ASSERT_TRUE(finished);
  EXPECT_EQ(opened.path, root_.path());
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(std::string(chosen), root_.path());
}

TEST_F(Chooser, ItemsDrawTheirIconAtTheIndentationAndHighlightOnlyWithFocus) {
  ASSERT_TRUE(SetCurrentDirectoryA(nest_.c_str()));
  HICON open = static_cast<HICON>(LoadImageA(
      GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_FOLDER_OPEN), IMAGE_ICON, 16, 16, 0));
  HICON closed = static_cast<HICON>(LoadImageA(
      GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_FOLDER_CLOSED), IMAGE_ICON, 16, 16, 0));
  ASSERT_NE(open, nullptr);
  ASSERT_NE(closed, nullptr);

  const int width = 200, height = 16;
  const COLORREF backdrop = RGB(255, 0, 255);
  const MemoryCanvas canvas(width, height);
  HDC dc = canvas.dc();
  auto clear = [&] {
    HBRUSH brush = CreateSolidBrush(backdrop);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
  };
  auto grab = [&](int x0) {
    std::vector<COLORREF> block;
    for (int y = 0; y < 16; ++y) {
      for (int x = x0; x < x0 + 16; ++x) block.push_back(GetPixel(dc, x, y));
    }
    return block;
  };
  auto reference = [&](HICON icon, int x) {
    clear();
    DrawIconEx(dc, x, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
    return grab(x);
  };

  struct Drawn {
    std::vector<COLORREF> icon;
    COLORREF rightEdge;
    COLORREF leftOfIcon;
  };
  auto draw = [&](HWND chooser, int index, UINT state) {
    clear();
    HWND list = GetDlgItem(chooser, IDC_FOLDER_LIST);
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_LISTBOX;
    item.CtlID = IDC_FOLDER_LIST;
    item.itemID = static_cast<UINT>(index);
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = list;
    item.hDC = dc;
    item.rcItem = {0, 0, width, height};
    item.itemData = static_cast<ULONG_PTR>(SendMessageA(list, LB_GETITEMDATA, index, 0));
    SendMessageA(chooser, WM_DRAWITEM, IDC_FOLDER_LIST, reinterpret_cast<LPARAM>(&item));
    int x = ItemIndentation(static_cast<uint32_t>(item.itemData));
    return Drawn{grab(x), GetPixel(dc, width - 1, 8), x > 0 ? GetPixel(dc, x - 1, 8) : backdrop};
  };

  Drawn drive, nest, subfolder, selectedWithFocus, selectedOnly;
  bool finished = false;
  Run({{kChooserTitle,
        [&](HWND d) {
          drive = draw(d, 0, 0);
          nest = draw(d, 2, 0);
          subfolder = draw(d, 3, 0);
          selectedWithFocus = draw(d, 3, ODS_SELECTED | ODS_FOCUS);
          selectedOnly = draw(d, 3, ODS_SELECTED);
          PressButton(d, IDCANCEL);
        }}},
      &finished);
  ASSERT_TRUE(finished);

  std::vector<COLORREF> openAt0 = reference(open, 0);
  std::vector<COLORREF> openAt16 = reference(open, 16);
  std::vector<COLORREF> closedAt24 = reference(closed, 24);
  ASSERT_NE(openAt16, closedAt24) << "the two folder icons must differ for this test";
  EXPECT_EQ(drive.icon, openAt0);
  EXPECT_EQ(nest.icon, openAt16);
  EXPECT_EQ(subfolder.icon, closedAt24);
  // Left of the indentation nothing is drawn.
  EXPECT_EQ(subfolder.leftOfIcon, backdrop);
  EXPECT_EQ(subfolder.rightEdge, GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(selectedWithFocus.rightEdge, GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(selectedOnly.rightEdge, GetSysColor(COLOR_WINDOW));

  DestroyIcon(open);
  DestroyIcon(closed);
}

TEST_F(Chooser, DriveThatIsNotReadyOffersRetryAndCancelBringsThePreviousDriveBack) {
  // A drive letter mapped to a folder that does not exist: Wine lists it
  // among the logical drives, and it cannot be made the current directory.
  char letter = 0;
  DWORD mask = GetLogicalDrives();
  for (char c = 'Q'; c <= 'Y' && letter == 0; ++c) {
    if ((mask & (1u << (c - 'A'))) == 0) letter = c;
  }
  ASSERT_NE(letter, 0);
  const std::string device = std::string(1, letter) + ":";
  const std::string missing = root_.path() + "\\missing";
  ASSERT_TRUE(DefineDosDeviceA(0, device.c_str(), missing.c_str()));
  const std::string root = device + "\\";
  ASSERT_FALSE(SetCurrentDirectoryA(root.c_str()));
  ASSERT_TRUE(SetCurrentDirectoryA(nest_.c_str()));

  Seen before, after, onZ;
  std::vector<std::string> boxTexts;
  bool finished = false;
  const char* chosen =
      Run({{kChooserTitle,
            [&](HWND d) {
              before = Look(d);
              HWND combo = GetDlgItem(d, IDC_DRIVE_LIST);
              LRESULT index = SendMessageA(combo, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(device.c_str()));
              SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
              PostMessageA(d, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELCHANGE),
                           reinterpret_cast<LPARAM>(combo));
            }},
           {kBoxTitle,
            [&](HWND box) {
              boxTexts.push_back(MessageBoxText(box));
              PressButton(box, IDRETRY);
            }},
           {kBoxTitle,
            [&](HWND box) {
              boxTexts.push_back(MessageBoxText(box));
              PressButton(box, IDCANCEL);
            }},
           {kChooserTitle,
            [&](HWND d) {
              after = Look(d);
              HWND combo = GetDlgItem(d, IDC_DRIVE_LIST);
              LRESULT index = SendMessageA(combo, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>("Z:"));
              SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
              PostMessageA(d, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELCHANGE),
                           reinterpret_cast<LPARAM>(combo));
            }},
           {kChooserTitle,
            [&](HWND d) {
              onZ = Look(d);
              PressButton(d, IDOK);
            }}},
          &finished);
  DefineDosDeviceA(DDD_REMOVE_DEFINITION, device.c_str(), nullptr);
  ASSERT_TRUE(finished);

  const std::string expected = "Drive " + root + " is not ready";
  EXPECT_EQ(boxTexts, (std::vector<std::string>{expected, expected}));
  EXPECT_EQ(after.drive, before.drive);
  EXPECT_EQ(after.path, nest_);
  EXPECT_EQ(Texts(after.list), Texts(before.list));
  // A drive that is ready lands in its root folder.
  EXPECT_EQ(onZ.drive.substr(0, 4), "Z:  ");
  EXPECT_EQ(onZ.path, "Z:\\");
  ASSERT_FALSE(onZ.list.empty());
  EXPECT_EQ(onZ.list[0].text, "Z:");
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(std::string(chosen), "Z:\\");
}

TEST_F(Chooser, DoubleClickThatWouldMakeThePathTooLongChangesNothing) {
  // A folder whose path is close to the limit, with a subfolder whose name
  // would carry it past 259 characters.
  std::string deep = root_.path();
  while (deep.size() + 41 < 240) deep += "\\" + std::string(40, 'd');
  fs::create_directories(deep);
  std::string name(259 - deep.size(), 's');  // one more than fits with the backslash
  ASSERT_TRUE(SetCurrentDirectoryA(deep.c_str()));
  ASSERT_TRUE(CreateDirectoryA(name.c_str(), nullptr));

  Seen before, after;
  bool finished = false;
  const char* chosen = Run({{kChooserTitle,
                             [&](HWND d) {
                               before = Look(d);
                               DoubleClickFolder(d, FindFolder(d, name));
                             }},
                            {kChooserTitle,
                             [&](HWND d) {
                               after = Look(d);
                               PressButton(d, IDOK);
                             }}},
                           &finished);
  ASSERT_TRUE(finished);
  EXPECT_EQ(before.path, deep);
  EXPECT_EQ(after.path, deep);
  EXPECT_EQ(Texts(after.list), Texts(before.list));
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(std::string(chosen), deep);
  RemoveDirectoryA((deep + "\\" + name).c_str());
}
