// The compiled resource script, linked into this test program and read
// back through the same user32 and gdi32 calls that the program makes.
// Ids are fixed from outside: resource.h's values are pinned once below,
// so a wrong value there fails here rather than being repeated.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "res/resource.h"

static_assert(IDR_MAIN_MENU == 109 && IDR_MAIN_ACCELERATORS == 117);
static_assert(IDB_TOOLBAR == 115 && IDB_BANNER == 129);
static_assert(IDI_RAVELIN == 101 && IDI_FOLDER_OPEN == 112 && IDI_FOLDER_CLOSED == 113);
static_assert(IDCUR_OPEN_HAND == 110 && IDCUR_HAND_POINTER == 130);
static_assert(IDD_CHOOSE_DIRECTORY == 111 && IDD_SEARCHING == 114 && IDD_ABOUT == 118);
static_assert(IDR_LOGO_COLOUR == 126 && IDR_LOGO_ALPHA == 127);
static_assert(CMD_OPEN_FILES == 103 && CMD_SAVE_IMAGE == 104 && CMD_TOGGLE_FINDER == 128 &&
              CMD_EXIT == 40003 && CMD_SORT_LARGE_TO_SMALL == 40004 &&
              CMD_SORT_SMALL_TO_LARGE == 40005 && CMD_NO_SORT == 40006 && CMD_ZOOM_IN == 40007 &&
              CMD_ZOOM_OUT == 40008 && CMD_ABOUT == 40009 && CMD_OPEN_DIRECTORY == 40010 &&
              CMD_HELP_CONTENTS == 40011 && CMD_SAVE_ICON_GROUP == 40012);
static_assert(IDC_FOLDER_LIST == 1003 && IDC_DRIVE_LIST == 1004 && IDC_DRIVE_LABEL == 1005 &&
              IDC_TREE_LABEL == 1006 && IDC_PATH_LINE == 1007 && IDC_FOUND_COUNT == 1013 &&
              IDC_ABOUT_TEXT == 1014 && IDC_CONTACT_MAIL == 1015 && IDC_ABOUT_LOGO == 1019 &&
              IDC_CONTACT_WEB == 1020);

namespace {

HINSTANCE Self() { return GetModuleHandleA(nullptr); }

std::string MenuText(HMENU menu, UINT position) {
  char text[256] = {};
  GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
  return text;
}

// The bytes of one resource of this module, or an empty view.
struct ResourceBytes {
  const uint8_t* data = nullptr;
  DWORD size = 0;
};

ResourceBytes FindBytes(int id, LPCSTR type) {
  HRSRC found = FindResourceA(Self(), MAKEINTRESOURCEA(id), type);
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(Self(), found);
  if (loaded == nullptr) return {};
  return {static_cast<const uint8_t*>(LockResource(loaded)), SizeofResource(Self(), found)};
}

// Reads a dialog template the way the dialog manager does; every read is
// checked against the resource's size and a short read marks it broken.
class TemplateReader {
 public:
  explicit TemplateReader(ResourceBytes bytes) : bytes_(bytes) {}
  bool ok() const { return ok_; }
  uint16_t Word() {
    if (bytes_.size < 2 || at_ > bytes_.size - 2) {
      ok_ = false;
      return 0;
    }
    const uint16_t v = static_cast<uint16_t>(bytes_.data[at_] | (bytes_.data[at_ + 1] << 8));
    at_ += 2;
    return v;
  }
  uint32_t Dword() {
    const uint32_t low = Word();
    return low | (static_cast<uint32_t>(Word()) << 16);
  }
  // A name or an ordinal: 0xFFFF and a number, or UTF-16 up to a 0.
  std::string NameOrOrdinal() {
    const uint16_t first = Word();
    if (first == 0xFFFF) return "#" + std::to_string(Word());
    std::string text;
    for (uint16_t c = first; c != 0 && ok_; c = Word())
      text += c < 128 ? static_cast<char>(c) : '?';
    return text;
  }
  void AlignToDword() { at_ = (at_ + 3) & ~DWORD{3}; }

 private:
  ResourceBytes bytes_;
  DWORD at_ = 0;
  bool ok_ = true;
};

struct Control {
  uint16_t id;
  std::string className;
  int16_t x, y, cx, cy;
  uint32_t style;
  std::string text;
};

struct Dialog {
  uint32_t style = 0;
  int16_t cx = 0, cy = 0;
  std::string caption;
  uint16_t pointSize = 0;
  std::string face;
  std::vector<Control> controls;
};

// The predefined control classes that a template names by atom.
std::string ClassName(const std::string& stored) {
  if (stored == "#128") return "BUTTON";
  if (stored == "#129") return "EDIT";
  if (stored == "#130") return "STATIC";
  if (stored == "#131") return "LISTBOX";
  if (stored == "#132") return "SCROLLBAR";
  if (stored == "#133") return "COMBOBOX";
  std::string upper = stored;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return upper;
}

bool ReadDialog(int id, Dialog* dialog) {
  ResourceBytes bytes = FindBytes(id, MAKEINTRESOURCEA(5));  // RT_DIALOG
  if (bytes.data == nullptr) return false;
  TemplateReader in(bytes);
  dialog->style = in.Dword();
  in.Dword();  // extended style
  const uint16_t count = in.Word();
  in.Word();  // x
  in.Word();  // y
  dialog->cx = static_cast<int16_t>(in.Word());
  dialog->cy = static_cast<int16_t>(in.Word());
  if (!in.NameOrOrdinal().empty()) return false;  // no menu
  if (!in.NameOrOrdinal().empty()) return false;  // the standard dialog class
  dialog->caption = in.NameOrOrdinal();
  if (dialog->style & DS_SETFONT) {
    dialog->pointSize = in.Word();
    dialog->face = in.NameOrOrdinal();
  }
  for (uint16_t i = 0; i < count && in.ok(); ++i) {
    in.AlignToDword();
    Control c{};
    c.style = in.Dword();
    in.Dword();
    c.x = static_cast<int16_t>(in.Word());
    c.y = static_cast<int16_t>(in.Word());
    c.cx = static_cast<int16_t>(in.Word());
    c.cy = static_cast<int16_t>(in.Word());
    c.id = in.Word();
    c.className = ClassName(in.NameOrOrdinal());
    c.text = in.NameOrOrdinal();
    const uint16_t extra = in.Word();
    for (uint16_t b = 0; b < (extra + 1) / 2; ++b) in.Word();
    dialog->controls.push_back(c);
  }
  return in.ok();
}

constexpr uint32_t kShown = WS_CHILD | WS_VISIBLE;
constexpr uint32_t kDialogStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER;

void ExpectControls(const Dialog& dialog, const std::vector<Control>& expected) {
  ASSERT_EQ(dialog.controls.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const Control& got = dialog.controls[i];
    const Control& want = expected[i];
    SCOPED_TRACE("control " + std::to_string(i) + ", id " + std::to_string(want.id));
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.className, want.className);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.cx, want.cx);
    EXPECT_EQ(got.cy, want.cy);
    EXPECT_EQ(got.style, want.style) << std::hex << got.style << " instead of " << want.style;
    EXPECT_EQ(got.text, want.text);
  }
}

INT_PTR CALLBACK PassiveDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Creates the dialog for real and checks that the dialog manager built
// every control in template order, with its class, at its place.
void ExpectDialogCreates(int id, const Dialog& dialog) {
  HWND window = CreateDialogParamA(Self(), MAKEINTRESOURCEA(id), nullptr, PassiveDialogProc, 0);
  ASSERT_NE(window, nullptr);
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  EXPECT_EQ(std::string(text), dialog.caption);

  LOGFONTA font{};
  HFONT handle = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
  ASSERT_NE(handle, nullptr);
  GetObjectA(handle, sizeof font, &font);
  EXPECT_EQ(std::string(font.lfFaceName), dialog.face);

  HWND child = GetWindow(window, GW_CHILD);
  for (const Control& c : dialog.controls) {
    SCOPED_TRACE("id " + std::to_string(c.id));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetDlgCtrlID(child), c.id);
    GetClassNameA(child, text, sizeof text);
    EXPECT_EQ(ClassName(text), c.className);
    // The dialog manager converts position and size separately.
    RECT mapped{c.x, c.y, c.cx, c.cy};
    MapDialogRect(window, &mapped);
    const RECT want{mapped.left, mapped.top, mapped.left + mapped.right,
                    mapped.top + mapped.bottom};
    RECT got;
    GetWindowRect(child, &got);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&got), 2);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right, want.right);
    // A drop-down list's window is as high as its closed field.
    if (c.className != "COMBOBOX") {
      EXPECT_EQ(got.bottom, want.bottom);
    }
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "more controls than the template lists";
  DestroyWindow(window);
}

}  // namespace

TEST(MainMenu, PopupsItemsAndCommandsInOrder) {
  struct Item {
    const char* text;  // nullptr for a separator
    UINT id;
  };
  const struct {
    const char* title;
    std::vector<Item> items;
  } popups[] = {
      {"&File",
       {{"&Open Executable File(s)...\tCtrl+O", CMD_OPEN_FILES},
        {"Open &Directory...\tCtrl+D", CMD_OPEN_DIRECTORY},
        {"&Save Image...\tCtrl+S", CMD_SAVE_IMAGE},
        {"Save Icon &Group...\tCtrl+G", CMD_SAVE_ICON_GROUP},
        {"Save &All...", CMD_SAVE_ALL},
        {nullptr, 0},
        {"&Exit", CMD_EXIT}}},
      {"&Edit", {{"&Copy\tCtrl+C", CMD_COPY}}},
      {"&View",
       {{"Finder Window\tTab", CMD_TOGGLE_FINDER},
        {nullptr, 0},
        {"Zoom &In\tGray +", CMD_ZOOM_IN},
        {"Zoom &Out\tGray -", CMD_ZOOM_OUT},
        {nullptr, 0},
        {"Sort from &Large to Small\tCtrl+Down", CMD_SORT_LARGE_TO_SMALL},
        {"Sort from &Small to Large\tCtrl+Up", CMD_SORT_SMALL_TO_LARGE},
        {"&Don't Sort\tCtrl+Space", CMD_NO_SORT},
        {nullptr, 0},
        {"Hide &Duplicates\tCtrl+H", CMD_HIDE_DUPLICATES}}},
      {"&Help", {{"&Contents\tF1", CMD_HELP_CONTENTS}, {"&About...", CMD_ABOUT}}},
  };
  HMENU menu = LoadMenuA(Self(), MAKEINTRESOURCEA(IDR_MAIN_MENU));
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(std::size(popups)));
  for (UINT p = 0; p < std::size(popups); ++p) {
    SCOPED_TRACE(popups[p].title);
    EXPECT_EQ(MenuText(menu, p), popups[p].title);
    HMENU sub = GetSubMenu(menu, static_cast<int>(p));
    ASSERT_NE(sub, nullptr);
    ASSERT_EQ(GetMenuItemCount(sub), static_cast<int>(popups[p].items.size()));
    for (UINT i = 0; i < popups[p].items.size(); ++i) {
      const Item& want = popups[p].items[i];
      SCOPED_TRACE("item " + std::to_string(i));
      MENUITEMINFOA info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
      ASSERT_TRUE(GetMenuItemInfoA(sub, i, TRUE, &info));
      EXPECT_EQ(info.hSubMenu, nullptr);
      if (want.text == nullptr) {
        EXPECT_TRUE(info.fType & MFT_SEPARATOR);
        continue;
      }
      EXPECT_FALSE(info.fType & MFT_SEPARATOR);
      EXPECT_EQ(MenuText(sub, i), want.text);
      EXPECT_EQ(GetMenuItemID(sub, static_cast<int>(i)), want.id);
      // Enabling, greying and the radio mark are the program's to set.
      EXPECT_EQ(info.fState & (MFS_GRAYED | MFS_CHECKED), 0u);
    }
  }
  DestroyMenu(menu);
}

TEST(Accelerators, VirtualKeyEntriesInTableOrder) {
  HACCEL table = LoadAcceleratorsA(Self(), MAKEINTRESOURCEA(IDR_MAIN_ACCELERATORS));
  ASSERT_NE(table, nullptr);
  const ACCEL expected[] = {
      {FVIRTKEY | FNOINVERT, VK_F1, CMD_HELP_CONTENTS},
      {FVIRTKEY | FNOINVERT | FCONTROL, VK_SPACE, CMD_NO_SORT},
      {FVIRTKEY | FNOINVERT | FCONTROL, 'O', CMD_OPEN_FILES},
      {FVIRTKEY | FNOINVERT | FCONTROL, 'D', CMD_OPEN_DIRECTORY},
      {FVIRTKEY | FNOINVERT | FCONTROL, 'S', CMD_SAVE_IMAGE},
      {FVIRTKEY | FNOINVERT | FCONTROL, 'G', CMD_SAVE_ICON_GROUP},
      {FVIRTKEY | FNOINVERT | FCONTROL, VK_DOWN, CMD_SORT_LARGE_TO_SMALL},
      {FVIRTKEY | FNOINVERT | FCONTROL, VK_UP, CMD_SORT_SMALL_TO_LARGE},
      {FVIRTKEY | FNOINVERT, VK_ADD, CMD_ZOOM_IN},
      {FVIRTKEY | FNOINVERT, VK_SUBTRACT, CMD_ZOOM_OUT},
      {FVIRTKEY | FNOINVERT, VK_OEM_PLUS, CMD_ZOOM_IN},
      {FVIRTKEY | FNOINVERT | FSHIFT, VK_OEM_PLUS, CMD_ZOOM_IN},
      {FVIRTKEY | FNOINVERT | FCONTROL, VK_OEM_PLUS, CMD_ZOOM_IN},
      {FVIRTKEY | FNOINVERT | FCONTROL | FSHIFT, VK_OEM_PLUS, CMD_ZOOM_IN},
      {FVIRTKEY | FNOINVERT, VK_OEM_MINUS, CMD_ZOOM_OUT},
      {FVIRTKEY | FNOINVERT | FCONTROL, VK_OEM_MINUS, CMD_ZOOM_OUT},
      {FVIRTKEY | FNOINVERT, VK_TAB, CMD_TOGGLE_FINDER},
      {FVIRTKEY | FNOINVERT | FCONTROL, 'C', CMD_COPY},
      {FVIRTKEY | FNOINVERT | FCONTROL, 'H', CMD_HIDE_DUPLICATES},
  };
  const int count = CopyAcceleratorTableA(table, nullptr, 0);
  constexpr int kEntries = static_cast<int>(std::size(expected));
  ASSERT_EQ(count, kEntries);
  ACCEL got[kEntries] = {};
  ASSERT_EQ(CopyAcceleratorTableA(table, got, count), kEntries);
  for (int i = 0; i < kEntries; ++i) {
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(got[i].fVirt, expected[i].fVirt);
    EXPECT_EQ(got[i].key, expected[i].key);
    EXPECT_EQ(got[i].cmd, expected[i].cmd);
  }
  DestroyAcceleratorTable(table);
}

namespace {

WORD lastCommand = 0;

LRESULT CALLBACK CommandSinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    lastCommand = LOWORD(wParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Translates one key press with Ctrl up or down; the command sent, or 0.
WORD Translate(HWND window, HACCEL table, WPARAM key, bool control) {
  BYTE saved[256];
  GetKeyboardState(saved);
  BYTE keys[256];
  memcpy(keys, saved, sizeof keys);
  keys[VK_CONTROL] = control ? 0x80 : 0;
  keys[VK_LCONTROL] = keys[VK_CONTROL];
  SetKeyboardState(keys);
  lastCommand = 0;
  MSG message{window, WM_KEYDOWN, key, 1, 0, {0, 0}};
  const bool translated = TranslateAcceleratorA(window, table, &message) != 0;
  SetKeyboardState(saved);
  return translated ? lastCommand : 0;
}

}  // namespace

TEST(Accelerators, ControlDecidesBetweenCommandAndPlainKey) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = CommandSinkProc;
  windowClass.hInstance = Self();
  windowClass.lpszClassName = "ResTestSinkWnd";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA("ResTestSinkWnd", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              Self(), nullptr);
  ASSERT_NE(window, nullptr);
  HACCEL table = LoadAcceleratorsA(Self(), MAKEINTRESOURCEA(IDR_MAIN_ACCELERATORS));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(Translate(window, table, 'O', true), CMD_OPEN_FILES);
  EXPECT_EQ(Translate(window, table, 'O', false), 0);
  EXPECT_EQ(Translate(window, table, VK_DOWN, true), CMD_SORT_LARGE_TO_SMALL);
  EXPECT_EQ(Translate(window, table, VK_DOWN, false), 0) << "plain arrows are navigation keys";
  EXPECT_EQ(Translate(window, table, VK_ADD, false), CMD_ZOOM_IN);
  EXPECT_EQ(Translate(window, table, VK_ADD, true), 0);
  EXPECT_EQ(Translate(window, table, VK_TAB, false), CMD_TOGGLE_FINDER);
  EXPECT_EQ(Translate(window, table, VK_OEM_PLUS, false), CMD_ZOOM_IN);
  EXPECT_EQ(Translate(window, table, VK_OEM_MINUS, true), CMD_ZOOM_OUT);
  EXPECT_EQ(Translate(window, table, VK_SUBTRACT, true), 0) << "the keypad's keys take no Ctrl";
  DestroyAcceleratorTable(table);
  DestroyWindow(window);
}

TEST(Bitmaps, ToolbarStripAndBannerLoadAtTheirSizesAndDepths) {
  const struct {
    int id, width, height, bits;
  } bitmaps[] = {{IDB_TOOLBAR, 180, 20, 4}, {IDB_BANNER, 350, 40, 8}};
  for (const auto& b : bitmaps) {
    SCOPED_TRACE("bitmap " + std::to_string(b.id));
    // Natural size and default colours, as the program loads them.
    HBITMAP plain = static_cast<HBITMAP>(
        LoadImageA(Self(), MAKEINTRESOURCEA(b.id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    ASSERT_NE(plain, nullptr);
    BITMAP info{};
    ASSERT_NE(GetObjectA(plain, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, b.width);
    EXPECT_EQ(info.bmHeight, b.height);
    DeleteObject(plain);

    HBITMAP section = static_cast<HBITMAP>(
        LoadImageA(Self(), MAKEINTRESOURCEA(b.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(section, nullptr);
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectA(section, sizeof dib, &dib), static_cast<int>(sizeof dib));
    EXPECT_EQ(dib.dsBmih.biWidth, b.width);
    EXPECT_EQ(dib.dsBmih.biHeight, b.height);
    EXPECT_EQ(dib.dsBmih.biBitCount, b.bits);
    DeleteObject(section);
  }
}

TEST(Bitmaps, ToolbarBackgroundIsTheSilverTheToolbarMaps) {
  // CreateToolbarEx swaps the silver of its strip for the button face;
  // the strip's top-left pixel must be exactly that silver.
  HBITMAP section = static_cast<HBITMAP>(
      LoadImageA(Self(), MAKEINTRESOURCEA(IDB_TOOLBAR), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(section, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, section);
  RGBQUAD colours[16] = {};
  EXPECT_EQ(GetDIBColorTable(dc, 0, 16, colours), 16u);
  const COLORREF corner = GetPixel(dc, 0, 0);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(section);
  EXPECT_EQ(corner, RGB(192, 192, 192));
  EXPECT_EQ(colours[7].rgbRed, 192);
  EXPECT_EQ(colours[7].rgbGreen, 192);
  EXPECT_EQ(colours[7].rgbBlue, 192);
}

TEST(Cursors, MonochromeWithHotspotsWhereThePointerActs) {
  const struct {
    int id;
    DWORD x, y;
  } cursors[] = {{IDCUR_OPEN_HAND, 11, 11}, {IDCUR_HAND_POINTER, 6, 2}};
  for (const auto& c : cursors) {
    SCOPED_TRACE("cursor " + std::to_string(c.id));
    HCURSOR cursor = LoadCursorA(Self(), MAKEINTRESOURCEA(c.id));
    ASSERT_NE(cursor, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, c.x);
    EXPECT_EQ(info.yHotspot, c.y);
    // A monochrome cursor has no colour bitmap: its mask holds the AND
    // and XOR halves one above the other.
    EXPECT_EQ(info.hbmColor, nullptr);
    BITMAP mask{};
    ASSERT_NE(GetObjectA(info.hbmMask, sizeof mask, &mask), 0);
    EXPECT_EQ(mask.bmWidth, 32);
    EXPECT_EQ(mask.bmHeight, 64);
    DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  }
}

TEST(Icons, GroupsHoldTheSizesTheProgramAsksFor) {
  const struct {
    int id;
    std::vector<int> sizes;
  } groups[] = {{IDI_RAVELIN, {32, 16}}, {IDI_FOLDER_OPEN, {16}}, {IDI_FOLDER_CLOSED, {16}}};
  for (const auto& g : groups) {
    SCOPED_TRACE("icon group " + std::to_string(g.id));
    ResourceBytes group = FindBytes(g.id, MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(group.data, nullptr);
    ASSERT_GE(group.size, 6u);
    const uint16_t count = static_cast<uint16_t>(group.data[4] | (group.data[5] << 8));
    ASSERT_EQ(count, g.sizes.size());
    ASSERT_GE(group.size, 6u + 14u * count);
    for (uint16_t i = 0; i < count; ++i) {
      const uint8_t* entry = group.data + 6 + 14 * i;
      EXPECT_EQ(entry[0], g.sizes[i]);
      EXPECT_EQ(entry[1], g.sizes[i]);
      EXPECT_EQ(entry[6] | (entry[7] << 8), 4) << "16 colours";
      const int size = g.sizes[i];
      HICON icon = static_cast<HICON>(
          LoadImageA(Self(), MAKEINTRESOURCEA(g.id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
      ASSERT_NE(icon, nullptr);
      // The system picks the entry of exactly that size, not a scaled one.
      const int picked = LookupIconIdFromDirectoryEx(const_cast<PBYTE>(group.data), TRUE, size,
                                                     size, LR_DEFAULTCOLOR);
      EXPECT_EQ(picked, entry[12] | (entry[13] << 8));
      ICONINFO info{};
      ASSERT_TRUE(GetIconInfo(icon, &info));
      EXPECT_TRUE(info.fIcon);
      BITMAP colour{};
      ASSERT_NE(info.hbmColor, nullptr);
      GetObjectA(info.hbmColor, sizeof colour, &colour);
      EXPECT_EQ(colour.bmWidth, size);
      EXPECT_EQ(colour.bmHeight, size);
      DeleteObject(info.hbmColor);
      DeleteObject(info.hbmMask);
      DestroyIcon(icon);
    }
  }
}

TEST(Dialogs, ChooseDirectoryLayout) {
  Dialog dialog;
  ASSERT_TRUE(ReadDialog(IDD_CHOOSE_DIRECTORY, &dialog));
  EXPECT_EQ(dialog.style, kDialogStyle);
  EXPECT_EQ(dialog.cx, 222);
  EXPECT_EQ(dialog.cy, 160);
  EXPECT_EQ(dialog.caption, "Select a directory...");
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ(dialog.face, "MS Sans Serif");
  const uint32_t label = kShown | WS_GROUP | SS_LEFT;
  ExpectControls(
      dialog,
      {
          {IDC_FOLDER_LIST, "LISTBOX", 5, 40, 155, 100,
           kShown | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_OWNERDRAWFIXED |
               LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
           ""},
          {IDOK, "BUTTON", 165, 40, 50, 15, kShown | WS_TABSTOP | BS_DEFPUSHBUTTON, "OK"},
          {IDCANCEL, "BUTTON", 165, 60, 50, 15, kShown | WS_TABSTOP | BS_PUSHBUTTON, "Cancel"},
          {IDC_DRIVE_LIST, "COMBOBOX", 5, 10, 155, 145,
           kShown | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST | CBS_SORT, ""},
          {IDC_DRIVE_LABEL, "STATIC", 5, 0, 155, 10, label, "Drive:"},
          {IDC_TREE_LABEL, "STATIC", 5, 30, 155, 10, label, "Tree:"},
          {IDC_PATH_LINE, "STATIC", 5, 145, 210, 10, label, ""},
      });
  ExpectDialogCreates(IDD_CHOOSE_DIRECTORY, dialog);
}

TEST(Dialogs, SearchingLayout) {
  Dialog dialog;
  ASSERT_TRUE(ReadDialog(IDD_SEARCHING, &dialog));
  EXPECT_EQ(dialog.style, kDialogStyle);
  EXPECT_EQ(dialog.cx, 162);
  EXPECT_EQ(dialog.cy, 50);
  EXPECT_EQ(dialog.caption, "Searching for images...");
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ(dialog.face, "MS Sans Serif");
  ExpectControls(dialog, {
                             {IDCANCEL, "BUTTON", 50, 30, 60, 15,
                              kShown | WS_TABSTOP | BS_PUSHBUTTON, "Cancel"},
                             {IDC_FOUND_COUNT, "STATIC", 5, 10, 150, 10,
                              kShown | WS_GROUP | SS_CENTER, "Found image(s): 0"},
                         });
  ExpectDialogCreates(IDD_SEARCHING, dialog);
}

TEST(Dialogs, AboutLayout) {
  Dialog dialog;
  ASSERT_TRUE(ReadDialog(IDD_ABOUT, &dialog));
  EXPECT_EQ(dialog.style, kDialogStyle | DS_ABSALIGN);
  EXPECT_EQ(dialog.cx, 302);
  EXPECT_EQ(dialog.cy, 155);
  EXPECT_EQ(dialog.caption, "About Ravelin 1.5");
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ(dialog.face, "MS Sans Serif");
  ASSERT_EQ(dialog.controls.size(), 5u);
  // The credit and contact wording is free; its place and style are not.
  const std::string credits = dialog.controls[1].text;
  EXPECT_EQ(credits.rfind("Version 1.5\n", 0), 0u) << credits;
  size_t lines = 1;
  for (char c : credits) lines += c == '\n';
  EXPECT_EQ(lines, 3u);
  ExpectControls(
      dialog,
      {
          {IDOK, "BUTTON", 125, 135, 50, 14, kShown | WS_TABSTOP | BS_DEFPUSHBUTTON, "OK"},
          {IDC_ABOUT_TEXT, "STATIC", 5, 85, 290, 25, kShown | WS_GROUP | SS_CENTER, credits},
          {IDC_CONTACT_MAIL, "STATIC", 30, 115, 140, 10, kShown | WS_GROUP | SS_LEFT,
           dialog.controls[2].text},
          {IDC_CONTACT_WEB, "STATIC", 180, 115, 105, 10, kShown | WS_GROUP | SS_LEFT,
           dialog.controls[3].text},
          {IDC_ABOUT_LOGO, "STATIC", 0, 0, 15, 13, kShown | SS_BITMAP, ""},
      });
  EXPECT_FALSE(dialog.controls[2].text.empty());
  EXPECT_FALSE(dialog.controls[3].text.empty());
  ExpectDialogCreates(IDD_ABOUT, dialog);
}
