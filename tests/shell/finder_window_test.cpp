// The real Finder and the sort commands under Wine, in the main window they
// belong to: clicks, the wheel and the scroll bar, Tab, the pixels of
// thumbnails, what a scroll repaints, and sorting 20000 real entries.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "image/image_loader.h"
#include "res/resource.h"
#include "scan/catalogue.h"
#include "shell/catalogue_sort_win32.h"
#include "shell/finder_geometry.h"
#include "shell/finder_window_win32.h"
#include "shell/main_window_win32.h"
#include "shell/navigation_win32.h"
#include "support/dialog_driver_win32.h"
#include "support/memory_canvas_win32.h"
#include "tests/support/dib_builder.h"
#include "tests/support/pe_builder.h"
#include "tests/support/put_bytes.h"
#include "tests/support/temp_dir.h"
#include "ui/wait_cursor.h"

namespace {

const char* const kDllFolders[] = {"Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows",
                                   "Z:\\usr\\lib\\i386-linux-gnu\\wine\\i386-windows"};

HACCEL accelerators = nullptr;
// Directory and file names stay put for as long as records point at them.
std::deque<std::string> names;

const char* Keep(const std::string& text) {
  names.push_back(text);
  return names.back().c_str();
}

HWND Finder() { return mainState.finder; }

// Makes the catalogue hold what the given files hold, as an open command
// leaves it, and shows it in the Finder.
void FillCatalogue(const std::vector<std::pair<std::string, std::string>>& files,
                   int32_t limit = kCatalogueCapacity) {
  Catalogue& catalogue = mainState.catalogue;
  catalogue.count = 0;
  for (const auto& [directory, fileName] : files) {
    if (AddFileToCatalogue(&catalogue, Keep(directory), Keep(fileName)) ==
        AddStatus::CatalogueFull) {
      break;
    }
  }
  if (catalogue.count > limit) catalogue.count = limit;
  mainState.catalogueChanged = true;
  SelectItem(mainState.window, 0, true);
  UpdateCommandStates();
  RefreshFinder(Finder(), mainState.catalogue.records.get(), mainState.catalogue.count,
                mainState.window);
  PumpMessages();
}

// Gives the Finder a client area of exactly width x height, with or
// without its scroll bar.
void SetFinderClient(int width, int height) {
  for (int round = 0; round < 4; ++round) {
    RECT window, client;
    GetWindowRect(Finder(), &window);
    GetClientRect(Finder(), &client);
    if (client.right == width && client.bottom == height) return;
    SetWindowPos(Finder(), nullptr, 0, 0, window.right - window.left + width - client.right,
                 window.bottom - window.top + height - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpMessages();
  }
}

SCROLLINFO FinderBar() {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(Finder(), SB_VERT, &info);
  return info;
}

bool BarShown() { return (GetWindowLongA(Finder(), GWL_STYLE) & WS_VSCROLL) != 0; }

void Click(int x, int y) { SendMessageA(Finder(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
void Wheel(int delta) {
  SendMessageA(Finder(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), 0);
}

std::string Title() {
  char text[600] = {};
  GetWindowTextA(mainState.window, text, sizeof text);
  return text;
}

// --- Pictures built in code -------------------------------------------------

constexpr COLORREF kRed = RGB(220, 20, 30);
constexpr COLORREF kGreen = RGB(10, 200, 40);
constexpr COLORREF kBlue = RGB(30, 40, 210);
constexpr COLORREF kYellow = RGB(240, 230, 20);
constexpr COLORREF kMagenta = RGB(200, 30, 190);

// A COLORREF as a 24-bit DIB pixel: 0xRRGGBB.
uint32_t DibColour(COLORREF c) {
  return static_cast<uint32_t>(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

// A 24-bit DIB whose upper half (counted from the top of the picture) has
// one colour and lower half another, stored top-down when asked.
std::vector<uint8_t> HalvesDib(int32_t width, int32_t height, COLORREF top, COLORREF bottom,
                               bool topDown = false) {
  return MakeDib({width,
                  height,
                  24,
                  {},
                  [=](int32_t, int32_t y) { return DibColour(y < height / 2 ? top : bottom); },
                  nullptr,
                  topDown});
}

// An icon whose AND mask marks every pixel transparent: a thumbnail that
// applied the mask would show nothing of it.
std::vector<uint8_t> TransparentIcon(int32_t side, COLORREF top, COLORREF bottom) {
  return MakeDib({side,
                  side,
                  24,
                  {},
                  [=](int32_t, int32_t y) { return DibColour(y < side / 2 ? top : bottom); },
                  [](int32_t, int32_t) { return true; },
                  false});
}

// Colour and alpha varying across a 48 x 48 picture (0xAARRGGBB, y from the
// top); alpha takes 0 and 255 too.
uint32_t AlphaPixel(uint32_t x, uint32_t y) {
  const uint32_t a = (x + y) % 5 == 0 ? 0 : (x * y) % 7 == 0 ? 255 : (x * 29 + y * 13) % 256;
  return (a << 24) | ((x * 23 % 256) << 16) | ((y * 31 % 256) << 8) | 0xA5;
}

// Colour x alpha, each channel rounded to nearest: the picture over black.
COLORREF OverBlack(uint32_t argb) {
  const uint32_t a = argb >> 24;
  auto mix = [a](uint32_t c) { return static_cast<BYTE>((c * a + 127) / 255); };
  return RGB(mix((argb >> 16) & 255), mix((argb >> 8) & 255), mix(argb & 255));
}

// A 48 x 48 32-bit icon with AlphaPixel's colours and alpha, bottom-up, its
// mask set where alpha is 0.
std::vector<uint8_t> AlphaIcon() {
  return MakeDib({48,
                  48,
                  32,
                  {},
                  AlphaPixel,
                  [](int32_t x, int32_t y) { return AlphaPixel(x, y) >> 24 == 0; },
                  false});
}

// Reads the colour at (x, y) of a picture of the Finder's client area drawn
// by its own painting code into memory, over the class background.
class FinderPicture {
 public:
  FinderPicture() {
    RECT client;
    GetClientRect(Finder(), &client);
    width_ = client.right > 0 ? client.right : 1;
    height_ = client.bottom > 0 ? client.bottom : 1;
    canvas_ = std::make_unique<MemoryCanvas>(width_, height_);
    RECT all = {0, 0, width_, height_};
    FillRect(canvas_->dc(), &all, GetSysColorBrush(COLOR_APPWORKSPACE));
    PaintFinder(Finder(), canvas_->dc(), all);
  }
  COLORREF At(int x, int y) const { return GetPixel(canvas_->dc(), x, y); }
  // Pixels of the rectangle that differ from the background.
  int Drawn(int left, int top, int right, int bottom) const {
    const COLORREF background = GetSysColor(COLOR_APPWORKSPACE);
    int n = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) n += At(x, y) != background;
    }
    return n;
  }

 private:
  int width_ = 0;
  int height_ = 0;
  std::unique_ptr<MemoryCanvas> canvas_;
};

// Every DLL and EXE of Wine's folders, by name, as often as it takes to
// reach the count of entries wanted.
std::vector<std::pair<std::string, std::string>> SystemFiles(int rounds) {
  std::vector<std::pair<std::string, std::string>> files;
  for (int round = 0; round < rounds; ++round) {
    for (const char* folder : kDllFolders) {
      std::error_code ec;
      std::vector<std::string> found;
      for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".dll" || ext == ".exe") found.push_back(entry.path().filename().string());
      }
      std::sort(found.begin(), found.end());
      for (const std::string& name : found) files.emplace_back(folder, name);
    }
  }
  return files;
}

class FinderWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(StartRavelin(GetModuleHandleA(nullptr), &accelerators));
    PumpMessages();
    fixtures_ = new TempDir;
    // Entries 0-4 are the pictures the pixel test reads; 30 small bitmaps
    // follow for the scrolling tests.
    std::vector<PeResource> resources = {
        PeBitmap(1, HalvesDib(100, 10, kRed, kRed)),
        PeBitmap(2, HalvesDib(32, 32, kGreen, kBlue)),
        PeBitmap(3, HalvesDib(32, 32, kGreen, kBlue, true)),
        PeBitmap(4, HalvesDib(1, 200, kRed, kRed)),
        PeBitmap(5, HalvesDib(16, 8, kBlue, kBlue)),
    };
    for (uint32_t i = 0; i < 30; ++i) {
      resources.push_back(PeBitmap(10 + i, HalvesDib(8, 8, kRed, kGreen)));
    }
    fixtures_->Write("pictures.exe", MakeMinimalPe(resources).bytes);
    std::vector<PeResource> icons = {PeIcon(1, TransparentIcon(32, kYellow, kMagenta))};
    fixtures_->Write("icon.exe", MakeMinimalPe(icons).bytes);
    // A PNG icon (over 4096 bytes: the large path) and a 32-bit icon with
    // alpha, the same picture.
    std::vector<PeResource> alpha = {PeIcon(1, MakeRgbaPng(48, 48, AlphaPixel)),
                                     PeIcon(2, AlphaIcon())};
    fixtures_->Write("alpha.exe", MakeMinimalPe(alpha).bytes);
  }
  static void TearDownTestSuite() {
    mainState.catalogue.count = 0;
    delete fixtures_;
  }
  void SetUp() override {
    ShowWindow(Finder(), SW_RESTORE);
    ShowWindow(Finder(), SW_SHOWNOACTIVATE);
    if (mainState.sortOrder != SortOrder::Unsorted) {
      SendMessageA(mainState.window, WM_COMMAND, CMD_NO_SORT, 0);
    }
  }
  static std::vector<std::pair<std::string, std::string>> Pictures() {
    return {{fixtures_->path(), "pictures.exe"}};
  }

  static TempDir* fixtures_;
};
TempDir* FinderWindow::fixtures_ = nullptr;

TEST_F(FinderWindow, IsAnOwnedWindowOfItsOwnClass) {
  char className[32] = {};
  GetClassNameA(Finder(), className, sizeof className);
  EXPECT_STREQ(className, "FndWnd");
  char title[32] = {};
  GetWindowTextA(Finder(), title, sizeof title);
  EXPECT_STREQ(title, "Finder");
  EXPECT_EQ(GetWindow(Finder(), GW_OWNER), mainState.window);
  EXPECT_EQ(GetClassLongA(Finder(), GCL_STYLE) & (CS_HREDRAW | CS_VREDRAW),
            static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW));
}

TEST_F(FinderWindow, AnEmptyCatalogueShowsNothingAndNoScrollBar) {
  FillCatalogue({});
  SetFinderClient(170, 120);
  EXPECT_FALSE(BarShown());
  FinderPicture picture;
  EXPECT_EQ(picture.Drawn(0, 0, 170, 120), 0);
}

TEST_F(FinderWindow, ThumbnailsAreFittedCentredAndOpaque) {
  std::vector<std::pair<std::string, std::string>> files = Pictures();
  files.emplace_back(fixtures_->path(), "icon.exe");
  FillCatalogue(files);
  ASSERT_EQ(mainState.catalogue.count, 36);
  SetFinderClient(150, 300);
  // Put the icon in slot 5, the second row's last cell; the current entry
  // is the first cell of the third row.
  std::swap(mainState.catalogue.records[5], mainState.catalogue.records[35]);
  SelectItem(mainState.window, 6, false);
  FinderPicture picture;
  const COLORREF background = GetSysColor(COLOR_APPWORKSPACE);
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);

  // 100 x 10: 48 x 4 at (1, 23) of its cell.
  EXPECT_EQ(picture.At(1, 23), kRed);
  EXPECT_EQ(picture.At(48, 26), kRed);
  EXPECT_EQ(picture.Drawn(0, 0, 50, 50), 48 * 4);
  EXPECT_EQ(picture.At(1, 22), background);
  EXPECT_EQ(picture.At(1, 27), background);
  // A square fills 48 x 48 at (1, 1), the right way up whichever way its
  // rows are stored.
  for (int cellX : {50, 100}) {
    EXPECT_EQ(picture.At(cellX + 1, 1), kGreen) << cellX;
    EXPECT_EQ(picture.At(cellX + 48, 20), kGreen) << cellX;
    EXPECT_EQ(picture.At(cellX + 1, 29), kBlue) << cellX;
    EXPECT_EQ(picture.At(cellX + 48, 48), kBlue) << cellX;
    EXPECT_EQ(picture.At(cellX + 49, 48), background) << cellX;
    EXPECT_EQ(picture.At(cellX, 0), background) << cellX;
  }
  // 1 x 200 is too thin to show: its cell stays empty.
  EXPECT_EQ(picture.Drawn(0, 50, 50, 100), 0);
  // 16 x 8: 48 x 24 at (1, 13).
  EXPECT_EQ(picture.Drawn(50, 50, 100, 100), 48 * 24);
  EXPECT_EQ(picture.At(51, 63), kBlue);
  // The icon is drawn without its mask, all of its colours showing.
  EXPECT_EQ(picture.At(101, 51), kYellow);
  EXPECT_EQ(picture.At(148, 98), kMagenta);
  EXPECT_EQ(picture.Drawn(100, 50, 150, 100), 48 * 48);
  // The current cell's frame: its edge and the thumbnail's, not beyond.
  for (POINT p : {POINT{0, 100}, POINT{1, 148}, POINT{49, 120}, POINT{25, 149}, POINT{48, 101}}) {
    EXPECT_EQ(picture.At(p.x, p.y), highlight) << p.x << "," << p.y;
  }
  EXPECT_EQ(picture.At(2, 102), kRed);
  EXPECT_EQ(picture.Drawn(50, 100, 100, 150), 48 * 48);

  // The window's own painting shows the same.
  InvalidateRect(Finder(), nullptr, TRUE);
  UpdateWindow(Finder());
  HDC dc = GetDC(Finder());
  EXPECT_EQ(GetPixel(dc, 101, 51), kYellow);
  EXPECT_EQ(GetPixel(dc, 1, 23), kRed);
  EXPECT_EQ(GetPixel(dc, 1, 22), background);
  EXPECT_EQ(GetPixel(dc, 0, 100), highlight);
  ReleaseDC(Finder(), dc);
}

TEST_F(FinderWindow, AlphaThumbnailsAreColourTimesAlpha) {
  FillCatalogue({{fixtures_->path(), "alpha.exe"}});
  ASSERT_EQ(mainState.catalogue.count, 2);
  ASSERT_GT(mainState.catalogue.records[0].size, kMediumSlotSize);
  SetFinderClient(150, 100);
  // The first paint makes the thumbnails, the second draws them as kept.
  for (int paint = 0; paint < 2; ++paint) {
    FinderPicture picture;
    int wrong = 0;
    for (int cell = 0; cell < 2; ++cell) {
      for (uint32_t y = 0; y < 48 && wrong < 5; ++y) {
        for (uint32_t x = 0; x < 48 && wrong < 5; ++x) {
          if (cell == 0 && (x % 47 == 0 || y % 47 == 0)) continue;  // the current entry's frame
          const COLORREF got =
              picture.At(50 * cell + 1 + static_cast<int>(x), 1 + static_cast<int>(y));
          if (got != OverBlack(AlphaPixel(x, y))) {
            ADD_FAILURE() << "paint " << paint << ", cell " << cell << " (" << x << ", " << y
                          << "): " << std::hex << got << ", expected "
                          << OverBlack(AlphaPixel(x, y));
            ++wrong;
          }
        }
      }
    }
  }
}

TEST_F(FinderWindow, ClicksSelectTheEntryUnderThePointer) {
  FillCatalogue(Pictures(), 7);
  SetFinderClient(170, 300);  // 3 columns and a strip of 20 pixels
  Click(60, 60);
  EXPECT_EQ(mainState.currentIndex, 4);
  Click(10, 140);
  EXPECT_EQ(mainState.currentIndex, 6);
  // The two empty cells of the last row, below it, and the strip.
  for (POINT p : {POINT{60, 110}, POINT{140, 149}, POINT{10, 160}, POINT{155, 10}}) {
    Click(p.x, p.y);
    EXPECT_EQ(mainState.currentIndex, 6) << p.x << "," << p.y;
  }
  // Clicking the current entry loads it again.
  SetWindowTextA(mainState.window, "stale");
  Click(10, 140);
  EXPECT_EQ(Title().rfind("Ravelin 1.5 - [", 0), 0u);

  // A cell's tip names its file, position and size; empty cells and the
  // strip have none, and the tip's tool takes the cell under the pointer.
  const struct {
    int x, y;
    const char* text;
  } tips[] = {{10, 10, "pictures.exe, #1, 100x10"},
              {10, 60, "pictures.exe, #4, 1x200"},
              {10, 140, "pictures.exe, #7, 8x8"},
              {60, 110, ""},
              {155, 10, ""},
              {60, 60, "pictures.exe, #5, 16x8"}};
  for (const auto& tip : tips) {
    SendMessageA(Finder(), WM_MOUSEMOVE, 0, MAKELPARAM(tip.x, tip.y));
    NMTTDISPINFOA request = {};
    request.hdr = {CurrentFinderState().tooltip, 1, TTN_GETDISPINFOA};
    SendMessageA(Finder(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&request));
    ASSERT_NE(request.lpszText, nullptr);
    EXPECT_STREQ(request.lpszText, tip.text) << tip.x << "," << tip.y;
  }
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V1_SIZE;
  tool.hwnd = Finder();
  tool.uId = 1;
  ASSERT_TRUE(SendMessageA(CurrentFinderState().tooltip, TTM_GETTOOLINFOA, 0,
                           reinterpret_cast<LPARAM>(&tool)));
  EXPECT_EQ(std::vector<LONG>({tool.rect.left, tool.rect.top, tool.rect.right, tool.rect.bottom}),
            std::vector<LONG>({50, 50, 100, 100}));
}

TEST_F(FinderWindow, NavigationKeysTypedInTheFinderStepTheMainWindow) {
  FillCatalogue(Pictures());  // 35 entries
  SetFinderClient(170, 300);
  Click(60, 60);
  SetForegroundWindow(Finder());
  SetActiveWindow(Finder());
  SetFocus(Finder());
  ASSERT_EQ(GetFocus(), Finder());
  // 3 columns, 6 of 12 rows whole in view; the last row holds 33 and 34.
  struct Step {
    WPARAM key;
    int32_t index;
    int32_t topRow;
  };
  const Step steps[] = {{VK_RIGHT, 5, 0}, {VK_NEXT, 15, 0}, {VK_DOWN, 18, 1}, {VK_LEFT, 17, 1},
                        {VK_PRIOR, 7, 1}, {VK_UP, 4, 1},    {VK_UP, 1, 0},    {VK_UP, 1, 0},
                        {VK_END, 34, 6},  {VK_DOWN, 34, 6}, {VK_UP, 31, 6},   {VK_RIGHT, 32, 6},
                        {VK_DOWN, 34, 6}, {VK_HOME, 0, 0}};
  EXPECT_EQ(mainState.currentIndex, 4);
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  int32_t before = 4;
  for (const Step& step : steps) {
    PostMessageA(Finder(), WM_KEYDOWN, step.key, 1);
    PumpMessages(mainState.window, accelerators);
    EXPECT_EQ(mainState.currentIndex, step.index) << step.key;
    EXPECT_EQ(CurrentFinderState().topRow, step.topRow) << step.key;
    UpdateWindow(Finder());
    HDC dc = GetDC(Finder());
    auto edge = [&](int32_t entry) {
      return GetPixel(dc, entry % 3 * 50, (entry / 3 - step.topRow) * 50 + 1);
    };
    EXPECT_EQ(edge(step.index), highlight) << step.key;
    if (before != step.index && before / 3 >= step.topRow) {
      EXPECT_NE(edge(before), highlight);
    }
    ReleaseDC(Finder(), dc);
    before = step.index;
  }
  EXPECT_EQ(GetFocus(), Finder());
}

TEST_F(FinderWindow, WheelAndBarScrollByRows) {
  FillCatalogue(Pictures());  // 35 entries
  SetFinderClient(150, 220);  // 3 columns, 12 rows, 4 of them whole
  SCROLLINFO bar = FinderBar();
  EXPECT_TRUE(BarShown());
  EXPECT_EQ(bar.nMin, 0);
  EXPECT_EQ(bar.nMax, 11);
  EXPECT_EQ(bar.nPage, 4u);
  EXPECT_EQ(bar.nPos, 0);
  // One row per notch, whatever the delta; a delta of 0 goes down.
  Wheel(-120);
  EXPECT_EQ(CurrentFinderState().topRow, 1);
  Wheel(-600);
  EXPECT_EQ(CurrentFinderState().topRow, 2);
  Wheel(360);
  EXPECT_EQ(CurrentFinderState().topRow, 1);
  Wheel(0);
  EXPECT_EQ(CurrentFinderState().topRow, 2);
  EXPECT_EQ(FinderBar().nPos, 2);
  // A click now lands one row further on per row scrolled.
  Click(60, 10);
  EXPECT_EQ(mainState.currentIndex, 7);

  SendMessageA(Finder(), WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
  EXPECT_EQ(CurrentFinderState().topRow, 6);
  for (int i = 0; i < 5; ++i) SendMessageA(Finder(), WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
  EXPECT_EQ(CurrentFinderState().topRow, 8);  // the last row ends at the last whole row
  SendMessageA(Finder(), WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
  SendMessageA(Finder(), WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
  EXPECT_EQ(CurrentFinderState().topRow, 8);
  SendMessageA(Finder(), WM_VSCROLL, MAKEWPARAM(SB_PAGEUP, 0), 0);
  EXPECT_EQ(CurrentFinderState().topRow, 4);

  // Wider: 4 columns, 9 rows; the top row is pulled back so that no whole
  // empty row shows below the last one.
  SendMessageA(Finder(), WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
  ASSERT_EQ(CurrentFinderState().topRow, 8);
  SetFinderClient(200, 220);
  EXPECT_EQ(CurrentFinderState().topRow, 5);
  EXPECT_EQ(FinderBar().nPos, 5);
  EXPECT_EQ(FinderBar().nMax, 8);

  // A refresh returns to the top.
  RefreshFinder(Finder(), mainState.catalogue.records.get(), mainState.catalogue.count,
                mainState.window);
  EXPECT_EQ(CurrentFinderState().topRow, 0);
}

TEST_F(FinderWindow, AScrollRepaintsOnlyTheUncoveredBand) {
  FillCatalogue(Pictures());
  SetFinderClient(150, 200);  // 3 columns, 4 whole rows
  UpdateWindow(Finder());
  // Every small load ticks the loader's clock: it counts the thumbnails read.
  uint32_t before = mainState.imageCache.useClock;
  SendMessageA(Finder(), WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
  RECT band = {};
  ASSERT_TRUE(GetUpdateRect(Finder(), &band, FALSE));
  EXPECT_EQ(band.top, 150);
  EXPECT_EQ(band.bottom, 200);
  UpdateWindow(Finder());
  EXPECT_EQ(mainState.imageCache.useClock - before, 3u);

  // The rows that moved are the right ones: row 1 now shows at the top.
  HDC dc = GetDC(Finder());
  EXPECT_EQ(GetPixel(dc, 51, 13), kBlue);  // entry 4, the 16 x 8 bitmap
  ReleaseDC(Finder(), dc);

  before = mainState.imageCache.useClock;
  InvalidateRect(Finder(), nullptr, TRUE);
  UpdateWindow(Finder());
  EXPECT_EQ(mainState.imageCache.useClock - before, 12u);
  SetFinderClient(150, 220);  // a partly visible fifth row is drawn too
  before = mainState.imageCache.useClock;
  InvalidateRect(Finder(), nullptr, TRUE);
  UpdateWindow(Finder());
  EXPECT_EQ(mainState.imageCache.useClock - before, 15u);
}

TEST_F(FinderWindow, CloseAndTabHideItAndTabShowsItAtTheTop) {
  FillCatalogue(Pictures());
  SetFinderClient(150, 200);
  SendMessageA(Finder(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(Finder()));
  EXPECT_FALSE(IsWindowVisible(Finder()));
  PressKey(mainState.window, accelerators, VK_TAB);
  EXPECT_TRUE(IsWindowVisible(Finder()));

  // Tab typed while the Finder is the active window: the loop translates
  // it for the main window all the same.
  Wheel(-120);
  SetForegroundWindow(Finder());
  SetActiveWindow(Finder());
  SetFocus(Finder());
  EXPECT_EQ(GetActiveWindow(), Finder());
  PostMessageA(Finder(), WM_KEYDOWN, VK_TAB, 1);
  PumpMessages(mainState.window, accelerators);
  EXPECT_FALSE(IsWindowVisible(Finder()));
  PressKey(mainState.window, accelerators, VK_TAB);
  EXPECT_TRUE(IsWindowVisible(Finder()));
  EXPECT_EQ(CurrentFinderState().topRow, 0);
}

TEST_F(FinderWindow, AMinimisedFinderDrawsNothingAndKeepsItsRow) {
  FillCatalogue(Pictures());
  SetFinderClient(150, 200);
  Wheel(-120);
  Wheel(-120);
  ASSERT_EQ(CurrentFinderState().topRow, 2);
  SelectItem(mainState.window, 7, true);  // in view: the Finder stays on row 2
  ShowWindow(Finder(), SW_MINIMIZE);
  PumpMessages();
  RECT client;
  GetClientRect(Finder(), &client);
  ASSERT_LT(client.right, kFinderCellSize);
  Click(0, 0);
  Wheel(-120);
  SendMessageA(Finder(), WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
  EXPECT_EQ(mainState.currentIndex, 7);
  EXPECT_EQ(CurrentFinderState().topRow, 2);
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 100, 100);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all = {0, 0, 100, 100};
  FillRect(dc, &all, GetSysColorBrush(COLOR_APPWORKSPACE));
  const uint32_t before = mainState.imageCache.useClock;
  PaintFinder(Finder(), dc, all);
  EXPECT_EQ(mainState.imageCache.useClock, before);  // nothing loaded, nothing drawn
  EXPECT_EQ(GetPixel(dc, 25, 25), GetPixel(dc, 0, 0));
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ShowWindow(Finder(), SW_RESTORE);
  PumpMessages();
  EXPECT_EQ(CurrentFinderState().topRow, 2);
  EXPECT_EQ(FinderBar().nPos, 2);
}

// --- Sorting through the main window's commands ------------------------------

bool MenuChecked(UINT command) {
  return (GetMenuState(GetMenu(mainState.window), command, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

std::vector<ImageRecord> Entries() {
  const Catalogue& catalogue = mainState.catalogue;
  return std::vector<ImageRecord>(catalogue.records.get(),
                                  catalogue.records.get() + catalogue.count);
}

TEST_F(FinderWindow, SortCommandsOrderByAreaBothWaysAndBack) {
  FillCatalogue({{kWineSystemDlls, "user32.dll"}, {kWineSystemDlls, "comctl32.dll"}});
  ASSERT_GT(mainState.catalogue.count, 50);
  const std::vector<ImageRecord> scanned = Entries();
  SelectItem(mainState.window, 5, false);

  SendMessageA(mainState.window, WM_COMMAND, CMD_SORT_LARGE_TO_SMALL, 0);
  EXPECT_EQ(mainState.sortOrder, SortOrder::LargeToSmall);
  EXPECT_TRUE(MenuChecked(CMD_SORT_LARGE_TO_SMALL));
  EXPECT_TRUE(SendMessageA(mainState.toolbar, TB_ISBUTTONCHECKED, CMD_SORT_LARGE_TO_SMALL, 0));
  EXPECT_EQ(mainState.currentIndex, 0);
  EXPECT_EQ(CurrentFinderState().catalogue, mainState.catalogue.records.get());
  EXPECT_EQ(CurrentFinderState().count, mainState.catalogue.count);
  std::vector<ImageRecord> large = Entries();
  for (size_t i = 0; i < large.size(); ++i) EXPECT_NE(large[i].area, 0) << i;
  int ties = 0;
  for (size_t i = 1; i < large.size(); ++i) {
    ASSERT_GE(large[i - 1].area, large[i].area) << i;
    if (large[i - 1].area == large[i].area) {
      ++ties;
      // Equal areas keep the order of discovery.
      EXPECT_LT(large[i - 1].sequence, large[i].sequence) << i;
    }
  }
  EXPECT_GT(ties, 0);

  SendMessageA(mainState.window, WM_COMMAND, CMD_SORT_SMALL_TO_LARGE, 0);
  std::vector<ImageRecord> small = Entries();
  for (size_t i = 1; i < small.size(); ++i) {
    ASSERT_LE(small[i - 1].area, small[i].area) << i;
    if (small[i - 1].area == small[i].area) {
      EXPECT_LT(small[i - 1].sequence, small[i].sequence) << i;
    }
  }

  // The order that is already current: nothing happens, not even a new
  // selection.
  SelectItem(mainState.window, 9, false);
  const ImageRecord* table = mainState.catalogue.records.get();
  SendMessageA(mainState.window, WM_COMMAND, CMD_SORT_SMALL_TO_LARGE, 0);
  EXPECT_EQ(mainState.currentIndex, 9);
  EXPECT_EQ(mainState.catalogue.records.get(), table);

  SendMessageA(mainState.window, WM_COMMAND, CMD_NO_SORT, 0);
  EXPECT_TRUE(MenuChecked(CMD_NO_SORT));
  ASSERT_EQ(mainState.catalogue.count, static_cast<int32_t>(scanned.size()));
  for (size_t i = 0; i < scanned.size(); ++i) {
    EXPECT_EQ(mainState.catalogue.records[i].sequence, scanned[i].sequence) << i;
  }
}

TEST_F(FinderWindow, AnOpenWithASortOrderShowsTheNewEntriesSorted) {
  FillCatalogue(Pictures());
  SendMessageA(mainState.window, WM_COMMAND, CMD_SORT_SMALL_TO_LARGE, 0);
  ASSERT_EQ(mainState.sortOrder, SortOrder::SmallToLarge);
  const std::string path = std::string(kWineSystemDlls) + "\\user32.dll";
  DialogDriver driver({{kOpenDialogTitle, [&](HWND d) { SetFileNameAndAccept(d, path); }}});
  SendMessageA(mainState.window, WM_COMMAND, CMD_OPEN_FILES, 0);
  PumpMessages();
  ASSERT_TRUE(driver.finished());
  ASSERT_GT(mainState.catalogue.count, 20);
  for (int32_t i = 1; i < mainState.catalogue.count; ++i) {
    ASSERT_LE(mainState.catalogue.records[i - 1].area, mainState.catalogue.records[i].area) << i;
  }
  EXPECT_EQ(mainState.currentIndex, 0);
  EXPECT_EQ(CurrentFinderState().catalogue, mainState.catalogue.records.get());
}

TEST_F(FinderWindow, ASortRunsUnderTheWaitCursorAndAnEmptyOneDoesNot) {
  // The wait cursor does not nest: switched on around a sort while already
  // on, it forgets the cursor of before, and the outer off leaves the
  // hourglass. An empty catalogue must not touch it at all.
  HCURSOR cross = LoadCursorA(nullptr, IDC_CROSS);
  HCURSOR hourglass = LoadCursorA(nullptr, IDC_WAIT);
  FillCatalogue({});
  SetCursor(cross);
  SetWaitCursor(true);
  SortCatalogue(mainState.window);
  SetWaitCursor(false);
  EXPECT_EQ(GetCursor(), cross);

  FillCatalogue(Pictures());
  SetCursor(cross);
  SetWaitCursor(true);
  SortCatalogue(mainState.window);
  SetWaitCursor(false);
  EXPECT_EQ(GetCursor(), hourglass);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(FinderWindow, AFileDeletedAfterTheScanLeavesTheOrderAsItWas) {
  // The third bitmap's header lies past the scan's window, so a sort has
  // to read it from the file; the first, on show, is held by the cache.
  TempDir dir;
  std::vector<PeResource> resources = {PeBitmap(1, HalvesDib(8, 8, kRed, kRed)),
                                       PeBitmap(2, HalvesDib(300, 80, kBlue, kBlue)),
                                       PeBitmap(3, HalvesDib(4, 2, kRed, kRed))};
  dir.Write("going.exe", MakeMinimalPe(resources).bytes);
  // Thumbnails would load the entries and learn their areas on the way.
  ShowWindow(Finder(), SW_HIDE);
  FillCatalogue({{dir.path(), "going.exe"}});
  ASSERT_EQ(mainState.catalogue.count, 3);
  ASSERT_EQ(mainState.catalogue.records[2].area, 0);
  const std::string title = Title();
  const int32_t scanned[] = {mainState.catalogue.records[0].sequence,
                             mainState.catalogue.records[1].sequence,
                             mainState.catalogue.records[2].sequence};
  ASSERT_TRUE(DeleteFileA(dir.Join("going.exe").c_str()));

  DialogDriver noBox({{"Ravelin 1.5", [](HWND box) { PressButton(box, IDCANCEL); }}}, 1500);
  SendMessageA(mainState.window, WM_COMMAND, CMD_SORT_SMALL_TO_LARGE, 0);
  PumpMessages();
  EXPECT_FALSE(noBox.finished());
  EXPECT_EQ(mainState.sortOrder, SortOrder::SmallToLarge);
  EXPECT_TRUE(MenuChecked(CMD_SORT_SMALL_TO_LARGE));
  for (int32_t i = 0; i < 3; ++i)
    EXPECT_EQ(mainState.catalogue.records[i].sequence, scanned[i]) << i;
  EXPECT_EQ(mainState.catalogue.records[2].area, 0);
  EXPECT_EQ(mainState.currentIndex, 0);
  EXPECT_EQ(Title(), title);
}

// 20000 real entries: the sort, a full paint, and scrolling row by row and
// page by page (bench/finder_entries_win32.cpp times the same).
TEST_F(FinderWindow, TwentyThousandEntriesSortAndScroll) {
  FillCatalogue(SystemFiles(6));
  ASSERT_EQ(mainState.catalogue.count, kCatalogueCapacity);
  SetFinderClient(300, 700);

  SendMessageA(mainState.window, WM_COMMAND, CMD_SORT_LARGE_TO_SMALL, 0);
  SendMessageA(mainState.window, WM_COMMAND, CMD_SORT_SMALL_TO_LARGE, 0);
  for (int32_t i = 1; i < mainState.catalogue.count; ++i) {
    ASSERT_LE(mainState.catalogue.records[i - 1].area, mainState.catalogue.records[i].area) << i;
  }
  InvalidateRect(Finder(), nullptr, TRUE);
  UpdateWindow(Finder());

  constexpr int kSteps = 200;
  for (int i = 0; i < kSteps; ++i) {
    Wheel(-120);
    UpdateWindow(Finder());
  }
  EXPECT_EQ(CurrentFinderState().topRow, kSteps);
  for (int i = 0; i < 20; ++i) {
    SendMessageA(Finder(), WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
    UpdateWindow(Finder());
  }
  // 14 whole rows of 50 pixels in 700: a page each.
  EXPECT_EQ(CurrentFinderState().topRow, kSteps + 20 * 14);
}

}  // namespace
