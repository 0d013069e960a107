// The view pane as a real window: images are shown, zoomed, scrolled and
// dragged through its own functions and messages, and what it painted is
// read back pixel by pixel from its display context.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "image/view_geometry.h"
#include "res/resource.h"
#include "shell/view_window_win32.h"
#include "support/memory_canvas_win32.h"
#include "tests/support/dib_builder.h"
#include "tests/support/guarded_bytes_win32.h"
#include "tests/support/put_bytes.h"

namespace {

// What the loader makes of the bytes MakeDib builds; size may cut the mask.
LoadedImage Describe(const uint8_t* data, size_t size, ImageKind kind, int32_t width,
                     int32_t height, int32_t bitCount, size_t colours) {
  LoadedImage image;
  image.kind = kind;
  image.width = width;
  image.height = height;
  image.bitCount = static_cast<uint32_t>(bitCount);
  image.header = data;
  image.colorTable = data + 40;
  image.colorCount = static_cast<uint32_t>(colours);
  image.bits = data + 40 + 4 * colours;
  image.bitsSize =
      static_cast<uint32_t>(DibStride(width, static_cast<uint16_t>(bitCount)) * height);
  image.data = data;
  image.dataSize = static_cast<int32_t>(size);
  const size_t maskAt = 40 + 4 * colours + image.bitsSize;
  image.maskComplete = kind != ImageKind::Bitmap &&
                       size >= maskAt + static_cast<size_t>(DibStride(width, 1)) * height;
  return image;
}

COLORREF FromRgb(uint32_t rgb) { return RGB((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255); }

std::string Hex(COLORREF c) {
  char text[16];
  std::snprintf(text, sizeof text, "%06lX", static_cast<unsigned long>(c));
  return text;
}

// The view's client area as painted.
struct Shot {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<COLORREF> pixels;
  COLORREF At(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Shot Capture(HWND view) {
  RECT client{};
  GetClientRect(view, &client);
  Shot shot;
  shot.width = client.right;
  shot.height = client.bottom;
  MemoryCanvas canvas(shot.width, shot.height);
  canvas.CopyFrom(view);
  const uint32_t* p = canvas.bits();
  for (int32_t i = 0; i < shot.width * shot.height; ++i) shot.pixels.push_back(FromRgb(p[i]));
  return shot;
}

// Every pixel of the shot against what it should be; stops after a few
// differences so a broken paint does not flood the log.
void ExpectShot(const Shot& shot, const std::function<COLORREF(int32_t x, int32_t y)>& expected) {
  int failures = 0;
  for (int32_t y = 0; y < shot.height && failures < 5; ++y) {
    for (int32_t x = 0; x < shot.width && failures < 5; ++x) {
      const COLORREF want = expected(x, y);
      if (shot.At(x, y) != want) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << Hex(shot.At(x, y))
                      << ", expected " << Hex(want);
        ++failures;
      }
    }
  }
}

bool BarShown(HWND view, int bar) {
  const LONG style = GetWindowLongA(view, GWL_STYLE);
  return (style & (bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)) != 0;
}

SCROLLINFO Bar(HWND view, int bar) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(view, bar, &info);
  return info;
}

// Sixteen colours that differ from each other and from the system colours.
std::vector<uint32_t> TestPalette() {
  std::vector<uint32_t> palette;
  for (uint32_t i = 0; i < 16; ++i) {
    palette.push_back(i == 0 ? 0 : ((17 * i + 5) << 16) | ((250 - 13 * i) << 8) | (41 + 9 * i));
  }
  return palette;
}

// A unique colour per pixel for 24-bit images up to 128 x 768.
uint32_t Unique(int32_t x, int32_t y) {
  return (static_cast<uint32_t>(x * 2 & 255) << 16) | (static_cast<uint32_t>(y & 255) << 8) |
         static_cast<uint32_t>(7 + 80 * (y >> 8));
}

constexpr char kParentClass[] = "ViewTestParent";

class ViewWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool registered = false;
    if (registered) return;
    ASSERT_TRUE(RegisterViewClass());
    WNDCLASSA parent{};
    parent.lpfnWndProc = DefWindowProcA;
    parent.hInstance = GetModuleHandleA(nullptr);
    parent.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    parent.lpszClassName = kParentClass;
    ASSERT_NE(RegisterClassA(&parent), 0);
    registered = true;
  }

  void TearDown() override {
    if (parent_ != nullptr) DestroyWindow(parent_);
  }

  // A view whose client, with the scroll bars asked for, is width x height;
  // the one opened before goes.
  void Open(int32_t width, int32_t height, bool withHorizontal = false, bool withVertical = false) {
    if (parent_ != nullptr) DestroyWindow(parent_);
    parent_ = CreateWindowExA(0, kParentClass, "view test",
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 900, 700,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
    view_ = CreateWindowExA(WS_EX_CLIENTEDGE, kViewClassName, nullptr, WS_CHILD | WS_VISIBLE, 0, 0,
                            0, 0, parent_, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(view_, nullptr);
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, WS_CHILD, FALSE, WS_EX_CLIENTEDGE);
    if (withVertical) outer.right += GetSystemMetrics(SM_CXVSCROLL);
    if (withHorizontal) outer.bottom += GetSystemMetrics(SM_CYHSCROLL);
    MoveWindow(view_, 10, 10, outer.right - outer.left, outer.bottom - outer.top, TRUE);
    RECT client{};
    GetClientRect(view_, &client);
    ASSERT_EQ(client.right, width + (withVertical ? GetSystemMetrics(SM_CXVSCROLL) : 0));
    ASSERT_EQ(client.bottom, height + (withHorizontal ? GetSystemMetrics(SM_CYHSCROLL) : 0));
    background_ = GetSysColor(COLOR_APPWORKSPACE);
    frame_ = GetSysColor(COLOR_BTNFACE);
  }

  Shot Paint() {
    UpdateWindow(view_);
    return Capture(view_);
  }

  RECT Client() const {
    RECT client{};
    GetClientRect(view_, &client);
    return client;
  }

  void Drag(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY) {
    SendMessageA(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(fromX, fromY));
    SendMessageA(view_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(toX, toY));
  }

  void Wheel(int16_t delta) {
    SendMessageA(view_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), 0);
  }

  // Expected colours of an icon drawn at (x0, y0) with its frame.
  COLORREF IconPixel(int32_t x, int32_t y, int32_t x0, int32_t y0, int32_t zoom, int32_t width,
                     int32_t height, const std::function<COLORREF(int32_t, int32_t)>& image) {
    const int32_t right = x0 + zoom * width;
    const int32_t bottom = y0 + zoom * height;
    if (x >= x0 && x < right && y >= y0 && y < bottom)
      return image((x - x0) / zoom, (y - y0) / zoom);
    const bool onVertical = (x == x0 - 1 || x == right + 1) && y >= y0 - 1 && y <= bottom + 1;
    const bool onHorizontal = (y == y0 - 1 || y == bottom + 1) && x >= x0 - 1 && x <= right + 1;
    return onVertical || onHorizontal ? frame_ : background_;
  }

  HWND parent_ = nullptr;
  HWND view_ = nullptr;
  COLORREF background_ = 0;
  COLORREF frame_ = 0;
};

TEST_F(ViewWindow, ClassHasNoBackgroundAndTheHandCursor) {
  HINSTANCE module = GetModuleHandleA(nullptr);
  WNDCLASSA info{};
  ASSERT_TRUE(GetClassInfoA(module, kViewClassName, &info));
  EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
  EXPECT_EQ(info.hbrBackground, nullptr);
  EXPECT_EQ(info.hIcon, nullptr);
  EXPECT_EQ(info.cbClsExtra, 0);
  EXPECT_EQ(info.cbWndExtra, 0);
  const bool hasHand =
      FindResourceA(module, MAKEINTRESOURCEA(IDCUR_OPEN_HAND), RT_GROUP_CURSOR) != nullptr;
  const HCURSOR expected = hasHand ? LoadCursorA(module, MAKEINTRESOURCEA(IDCUR_OPEN_HAND))
                                   : LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(expected, nullptr);
  EXPECT_EQ(info.hCursor, expected);
  EXPECT_TRUE(hasHand) << "the program's open hand is linked into this test";
}

TEST_F(ViewWindow, NothingShownFillsWithTheWorkspaceColour) {
  Open(120, 90);
  const Shot shot = Paint();
  ExpectShot(shot, [&](int32_t, int32_t) { return background_; });
  EXPECT_FALSE(BarShown(view_, SB_HORZ));
  EXPECT_FALSE(BarShown(view_, SB_VERT));
}

TEST_F(ViewWindow, BitmapAtZoomThreeReplicatesEachPixel) {
  for (const bool topDown : {false, true}) {
    SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
    Open(200, 150);
    const std::vector<uint32_t> palette = TestPalette();
    auto index = [](int32_t x, int32_t y) { return static_cast<uint32_t>((x + 5 * y) % 15 + 1); };
    const Bytes bytes = MakeDib({5, 4, 4, palette, index, nullptr, topDown});
    GuardedBytes guarded(bytes);
    const LoadedImage image =
        Describe(guarded.data(), bytes.size(), ImageKind::Bitmap, 5, 4, 4, palette.size());
    ShowImage(view_, &image);
    ZoomBy(view_, 1);
    ZoomBy(view_, 1);
    ASSERT_EQ(CurrentViewState().zoom, 3);
    // 15 x 12 centred in 200 x 150 starts at (92, 69).
    const Shot shot = Paint();
    ExpectShot(shot, [&](int32_t x, int32_t y) {
      if (x < 92 || x >= 107 || y < 69 || y >= 81) return background_;
      return FromRgb(palette[index((x - 92) / 3, (y - 69) / 3)]);
    });
    EXPECT_FALSE(BarShown(view_, SB_HORZ));
    EXPECT_FALSE(BarShown(view_, SB_VERT));
  }
}

// A bitmap's stored biSizeImage of 0 leaves an RLE decoder nothing to stop
// at but the stream's end code, which this one lacks. The view hands GDI the
// size the loader checked instead, so the picture is drawn, from its bytes
// alone.
TEST_F(ViewWindow, RleBitmapWithoutSizeOrEndCodeIsDrawnFromItsCheckedBytes) {
  Open(200, 150);
  const std::vector<uint32_t> palette = {0x30A050, 0xC02070};
  Bytes bytes(48, 0);
  Put32(bytes, 0, 40);
  Put32(bytes, 4, 4);
  Put32(bytes, 8, 2);
  bytes[12] = 1;
  bytes[14] = 8;
  Put32(bytes, 16, 1);  // BI_RLE8; biSizeImage stays 0
  Put32(bytes, 32, 2);
  Put32(bytes, 40, palette[0]);
  Put32(bytes, 44, palette[1]);
  // Bottom row: 4 x colour 0, end of line; top row: 4 x colour 1, end of
  // line; no end of bitmap. (Wine leaves out a row that no escape ends.)
  bytes.insert(bytes.end(), {4, 0, 0, 0, 4, 1, 0, 0});
  GuardedBytes guarded(bytes);
  ImageRecord record{ImageKind::Bitmap, 0, static_cast<int32_t>(bytes.size()), 0, -1, "", ""};
  LoadedImage image;
  PrepareImage(guarded.data(), &record, &image);
  ASSERT_FALSE(image.unusable);
  ShowImage(view_, &image);
  // 4 x 2 centred in 200 x 150 starts at (98, 74).
  const Shot shot = Paint();
  ExpectShot(shot, [&](int32_t x, int32_t y) {
    if (x < 98 || x >= 102 || y < 74 || y >= 76) return background_;
    return FromRgb(palette[y == 75 ? 0 : 1]);
  });
}

TEST_F(ViewWindow, ScrolledBitmapShowsTheRowsAtItsOffset) {
  for (const bool topDown : {false, true}) {
    SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
    Open(200, 150);
    const Bytes bytes = MakeDib({40, 600, 24, {}, Unique, nullptr, topDown});
    GuardedBytes guarded(bytes);
    const LoadedImage image =
        Describe(guarded.data(), bytes.size(), ImageKind::Bitmap, 40, 600, 24, 0);
    ShowImage(view_, &image);
    Paint();
    ASSERT_TRUE(BarShown(view_, SB_VERT));
    EXPECT_FALSE(BarShown(view_, SB_HORZ));
    const RECT client = Client();
    const int32_t h = client.bottom;
    EXPECT_EQ(Bar(view_, SB_VERT).nMax, 599);
    EXPECT_EQ(Bar(view_, SB_VERT).nPage, static_cast<UINT>(h));

    // A page and a line down, each painting only what they expose.
    SendMessageA(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
    Paint();
    SendMessageA(view_, WM_VSCROLL, SB_LINEDOWN, 0);
    const int32_t scrollY = h + h / 10;
    EXPECT_EQ(CurrentViewState().scrollY, scrollY);
    EXPECT_EQ(Bar(view_, SB_VERT).nPos, scrollY);
    const int32_t x0 = (client.right - 40) / 2;
    ExpectShot(Paint(), [&](int32_t x, int32_t y) {
      if (x < x0 || x >= x0 + 40) return background_;
      return FromRgb(Unique(x - x0, y + scrollY));
    });

    // Page down at the end stops at the image's bottom edge.
    SendMessageA(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
    SendMessageA(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
    SendMessageA(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(CurrentViewState().scrollY, 600 - h);
    ExpectShot(Paint(), [&](int32_t x, int32_t y) {
      if (x < x0 || x >= x0 + 40) return background_;
      return FromRgb(Unique(x - x0, y + 600 - h));
    });
  }
}

TEST_F(ViewWindow, LineScrollAndThumbRequests) {
  Open(300, 100);
  const Bytes bytes = MakeDib({400, 20, 24, {}, Unique, nullptr, false});
  const LoadedImage image = Describe(bytes.data(), bytes.size(), ImageKind::Bitmap, 400, 20, 24, 0);
  ShowImage(view_, &image);
  ASSERT_TRUE(BarShown(view_, SB_HORZ));
  const int32_t w = Client().right;
  SendMessageA(view_, WM_HSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(CurrentViewState().scrollX, w / 10);
  SendMessageA(view_, WM_HSCROLL, SB_LINEUP, 0);
  SendMessageA(view_, WM_HSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(CurrentViewState().scrollX, 0);

  // Outside a drag of the thumb the bar reports its position as the track
  // position: tracking follows it, a thumb-position request does not.
  SetScrollPos(view_, SB_HORZ, 37, FALSE);
  SendMessageA(view_, WM_HSCROLL, SB_THUMBTRACK, 0);
  EXPECT_EQ(CurrentViewState().scrollX, 37);
  SetScrollPos(view_, SB_HORZ, 60, FALSE);
  SendMessageA(view_, WM_HSCROLL, SB_THUMBPOSITION, 0);
  EXPECT_EQ(CurrentViewState().scrollX, 37);
  EXPECT_EQ(Bar(view_, SB_HORZ).nPos, 37);
  const int32_t y0 = (Client().bottom - 20) / 2;
  ExpectShot(Paint(), [&](int32_t x, int32_t y) {
    if (y < y0 || y >= y0 + 20) return background_;
    return FromRgb(Unique(x + 37, y - y0));
  });
}

TEST_F(ViewWindow, ZoomKeepsTheCentreAndSetsTheBars) {
  // Client 400 x 300 once both bars show.
  Open(400, 300, true, true);
  const Bytes bytes = MakeDib({100, 80, 24, {}, Unique, nullptr, false});
  const LoadedImage image = Describe(bytes.data(), bytes.size(), ImageKind::Bitmap, 100, 80, 24, 0);
  ShowImage(view_, &image);
  ZoomBy(view_, 3);
  ASSERT_EQ(CurrentViewState().zoom, 4);
  // At zoom 4 only the height (320) scrolls, in a client as high as 300
  // plus the missing horizontal bar; drag it to its end.
  const int32_t barHeight = GetSystemMetrics(SM_CYHSCROLL);
  ASSERT_LT(barHeight, 20);
  const int32_t high = 300 + barHeight;
  ASSERT_EQ(Client().bottom, high);
  Drag(50, 100, 50, 0);
  ASSERT_EQ(CurrentViewState().scrollY, 320 - high);
  ZoomBy(view_, 1);
  ASSERT_EQ(CurrentViewState().zoom, 5);
  ASSERT_EQ(Client().right, 400);
  ASSERT_EQ(Client().bottom, 300);
  const SCROLLINFO x = Bar(view_, SB_HORZ);
  const SCROLLINFO y = Bar(view_, SB_VERT);
  EXPECT_EQ(x.nMin, 0);
  EXPECT_EQ(x.nMax, 499);
  EXPECT_EQ(x.nPage, 400u);
  EXPECT_EQ(y.nMin, 0);
  EXPECT_EQ(y.nMax, 399);
  EXPECT_EQ(y.nPage, 300u);
  // The width fitted before the zoom, so the image's middle column stays
  // at the middle.
  const int32_t scrollX = CurrentViewState().scrollX;
  const int32_t scrollY = CurrentViewState().scrollY;
  EXPECT_EQ(scrollX, 50);
  // The centre row is measured in the client as it was before the zoom:
  // (offset + half the client) / 4, times 5, minus that half again.
  EXPECT_EQ(scrollY, static_cast<int32_t>((320 - high + high / 2) / 4.0 * 5) - high / 2);
  EXPECT_EQ(x.nPos, scrollX);
  EXPECT_EQ(y.nPos, scrollY);
  ExpectShot(Paint(), [&](int32_t px, int32_t py) {
    return FromRgb(Unique((px + scrollX) / 5, (py + scrollY) / 5));
  });
}

TEST_F(ViewWindow, ZoomLimitsAndTheWheel) {
  Open(100, 100);
  const Bytes bytes = MakeDib({10, 10, 24, {}, Unique, nullptr, false});
  const LoadedImage image = Describe(bytes.data(), bytes.size(), ImageKind::Bitmap, 10, 10, 24, 0);
  ShowImage(view_, &image);
  ZoomBy(view_, 20);
  ASSERT_EQ(CurrentViewState().zoom, 15);
  Paint();
  RECT dirty{};
  ZoomBy(view_, 1);
  EXPECT_FALSE(GetUpdateRect(view_, &dirty, FALSE));
  EXPECT_EQ(CurrentViewState().zoom, 15);

  // Half a notch keeps the zoom but repaints the whole view.
  Wheel(60);
  EXPECT_EQ(CurrentViewState().zoom, 15);
  ASSERT_TRUE(GetUpdateRect(view_, &dirty, FALSE));
  EXPECT_EQ(dirty.right - dirty.left, Client().right);
  EXPECT_EQ(dirty.bottom - dirty.top, Client().bottom);
  Paint();
  Wheel(-120);
  EXPECT_EQ(CurrentViewState().zoom, 14);
  Wheel(-32000);
  EXPECT_EQ(CurrentViewState().zoom, 1);
  Paint();
  ZoomBy(view_, -1);
  EXPECT_FALSE(GetUpdateRect(view_, &dirty, FALSE));
  Wheel(240);
  EXPECT_EQ(CurrentViewState().zoom, 3);
}

TEST_F(ViewWindow, DragFollowsTheMouseWithinTheImage) {
  Open(200, 150);
  const Bytes bytes = MakeDib({120, 400, 24, {}, Unique, nullptr, false});
  const LoadedImage image =
      Describe(bytes.data(), bytes.size(), ImageKind::Bitmap, 120, 400, 24, 0);
  ShowImage(view_, &image);
  Drag(10, 100, 10, 60);
  EXPECT_EQ(CurrentViewState().scrollY, 40);
  // Shift with the button is no drag, and the drag point stays.
  SendMessageA(view_, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(10, 0));
  SendMessageA(view_, WM_MOUSEMOVE, 0, MAKELPARAM(10, 0));
  EXPECT_EQ(CurrentViewState().scrollY, 40);
  SendMessageA(view_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 50));
  EXPECT_EQ(CurrentViewState().scrollY, 50);
  EXPECT_EQ(Bar(view_, SB_VERT).nPos, 50);
  const int32_t x0 = (Client().right - 120) / 2;
  ExpectShot(Paint(), [&](int32_t x, int32_t y) {
    if (x < x0 || x >= x0 + 120) return background_;
    return FromRgb(Unique(x - x0, y + 50));
  });
  // Dragging past either end clamps.
  Drag(0, 0, 0, 1000);
  EXPECT_EQ(CurrentViewState().scrollY, 0);
  Drag(0, 1000, 0, 0);
  EXPECT_EQ(CurrentViewState().scrollY, 400 - Client().bottom);
  EXPECT_EQ(CurrentViewState().scrollX, 0);
}

TEST_F(ViewWindow, SmallerImageAfterScrollingClampsTheOffsets) {
  Open(300, 200);
  const Bytes big = MakeDib({600, 400, 24, {}, Unique, nullptr, false});
  const LoadedImage bigImage = Describe(big.data(), big.size(), ImageKind::Bitmap, 600, 400, 24, 0);
  ShowImage(view_, &bigImage);
  Drag(1000, 1000, 0, 0);
  EXPECT_EQ(CurrentViewState().scrollX, 600 - Client().right);
  EXPECT_EQ(CurrentViewState().scrollY, 400 - Client().bottom);

  const Bytes small = MakeDib({100, 80, 24, {}, Unique, nullptr, false});
  const LoadedImage smallImage =
      Describe(small.data(), small.size(), ImageKind::Bitmap, 100, 80, 24, 0);
  ShowImage(view_, &smallImage);
  EXPECT_EQ(CurrentViewState().scrollX, 0);
  EXPECT_EQ(CurrentViewState().scrollY, 0);
  EXPECT_FALSE(BarShown(view_, SB_HORZ));
  EXPECT_FALSE(BarShown(view_, SB_VERT));
  ASSERT_EQ(Client().right, 300);
  ASSERT_EQ(Client().bottom, 200);
  ExpectShot(Paint(), [&](int32_t x, int32_t y) {
    if (x < 100 || x >= 200 || y < 60 || y >= 140) return background_;
    return FromRgb(Unique(x - 100, y - 60));
  });

  // 320 wide in 300 keeps only 20 pixels of offset.
  ShowImage(view_, &bigImage);
  Drag(1000, 1000, 0, 0);
  const Bytes wide = MakeDib({320, 40, 24, {}, Unique, nullptr, false});
  const LoadedImage wideImage =
      Describe(wide.data(), wide.size(), ImageKind::Bitmap, 320, 40, 24, 0);
  ShowImage(view_, &wideImage);
  EXPECT_EQ(CurrentViewState().scrollX, 20);
  EXPECT_EQ(CurrentViewState().scrollY, 0);
}

TEST_F(ViewWindow, SmallIconThroughItsMaskWithFrame) {
  Open(100, 100);
  const std::vector<uint32_t> palette = TestPalette();
  // Transparent pixels are black in the colour bitmap except one, which is
  // OR-ed onto the background.
  auto transparent = [](int32_t x, int32_t y) { return (x + y) % 3 == 0; };
  auto index = [&](int32_t x, int32_t y) -> uint32_t {
    if (x == 6 && y == 6) return 5;
    return transparent(x, y) ? 0 : static_cast<uint32_t>((x + 2 * y) % 15 + 1);
  };
  const Bytes bytes = MakeDib({8, 8, 4, palette, index, transparent, false});
  GuardedBytes guarded(bytes);
  const LoadedImage image =
      Describe(guarded.data(), bytes.size(), ImageKind::Icon, 8, 8, 4, palette.size());
  ASSERT_TRUE(image.maskComplete);
  ShowImage(view_, &image);
  ZoomBy(view_, 1);
  // 16 x 16 at (42, 42); frame at 41 and 59.
  ExpectShot(Paint(), [&](int32_t x, int32_t y) {
    return IconPixel(x, y, 42, 42, 2, 8, 8, [&](int32_t ix, int32_t iy) {
      const COLORREF colour = FromRgb(palette[index(ix, iy)]);
      return transparent(ix, iy) ? (background_ | colour) : colour;
    });
  });
}

TEST_F(ViewWindow, LargeCursorDrawnDirectlyInTwoPasses) {
  Open(200, 200);
  const std::vector<uint32_t> palette = TestPalette();
  auto transparent = [](int32_t x, int32_t y) { return x < 10 || (x * y) % 7 == 1; };
  auto index = [&](int32_t x, int32_t y) -> uint32_t {
    return transparent(x, y) ? 0 : static_cast<uint32_t>((3 * x + y) % 15 + 1);
  };
  const Bytes dib = MakeDib({72, 72, 4, palette, index, transparent, false});
  // A cursor's hotspot comes first; the view draws from the header on.
  Bytes bytes{3, 0, 4, 0};
  bytes.insert(bytes.end(), dib.begin(), dib.end());
  GuardedBytes guarded(bytes);
  LoadedImage image =
      Describe(guarded.data() + 4, dib.size(), ImageKind::Cursor, 72, 72, 4, palette.size());
  ASSERT_TRUE(image.maskComplete);
  ShowImage(view_, &image);
  ExpectShot(Paint(), [&](int32_t x, int32_t y) {
    return IconPixel(x, y, 64, 64, 1, 72, 72, [&](int32_t ix, int32_t iy) {
      return transparent(ix, iy) ? background_ : FromRgb(palette[index(ix, iy)]);
    });
  });
}

TEST_F(ViewWindow, ScrolledIconsKeepMaskAndColourAligned) {
  // 48 is composed in the canvas, 72 drawn directly; at zoom 4 both scroll
  // both ways, so the frame lies outside the client.
  for (const int32_t side : {48, 72}) {
    SCOPED_TRACE(side);
    Open(150, 120);
    const std::vector<uint32_t> palette = TestPalette();
    auto transparent = [](int32_t x, int32_t y) { return (x / 3 + y / 2) % 4 == 0; };
    auto index = [&](int32_t x, int32_t y) -> uint32_t {
      return transparent(x, y) ? 0 : static_cast<uint32_t>((x + 3 * y) % 15 + 1);
    };
    const Bytes bytes = MakeDib({side, side, 4, palette, index, transparent, false});
    GuardedBytes guarded(bytes);
    const LoadedImage image =
        Describe(guarded.data(), bytes.size(), ImageKind::Icon, side, side, 4, palette.size());
    ShowImage(view_, &image);
    ZoomBy(view_, 3);
    // Put the client origin at the offsets (37, 53), whatever the zoom chose.
    const int32_t startX = CurrentViewState().scrollX;
    const int32_t startY = CurrentViewState().scrollY;
    Drag(200, 200, 200 + startX - 37, 200 + startY - 53);
    ASSERT_EQ(CurrentViewState().scrollX, 37);
    ASSERT_EQ(CurrentViewState().scrollY, 53);
    ExpectShot(Paint(), [&](int32_t x, int32_t y) {
      const int32_t ix = (x + 37) / 4;
      const int32_t iy = (y + 53) / 4;
      return transparent(ix, iy) ? background_ : FromRgb(palette[index(ix, iy)]);
    });
  }
}

TEST_F(ViewWindow, IconWithoutItsWholeMaskIsDrawnOpaque) {
  for (const int32_t side : {8, 72}) {
    SCOPED_TRACE(side);
    Open(200, 200);
    const std::vector<uint32_t> palette = TestPalette();
    auto transparent = [](int32_t x, int32_t y) { return (x ^ y) % 4 == 0; };
    auto index = [&](int32_t x, int32_t y) -> uint32_t {
      return transparent(x, y) ? 0 : static_cast<uint32_t>((x + y) % 15 + 1);
    };
    Bytes bytes = MakeDib({side, side, 4, palette, index, transparent, false});
    // The mask's last row is cut off: nothing of the mask may be read.
    bytes.resize(bytes.size() - 4);
    GuardedBytes guarded(bytes);
    const LoadedImage image =
        Describe(guarded.data(), bytes.size(), ImageKind::Icon, side, side, 4, palette.size());
    ASSERT_FALSE(image.maskComplete);
    ShowImage(view_, &image);
    const int32_t x0 = (200 - side) / 2;
    ExpectShot(Paint(), [&](int32_t x, int32_t y) {
      return IconPixel(x, y, x0, x0, 1, side, side,
                       [&](int32_t ix, int32_t iy) { return FromRgb(palette[index(ix, iy)]); });
    });
  }
}

// c laid over back with alpha a, each channel rounded to nearest.
COLORREF Over(uint32_t argb, COLORREF back) {
  const uint32_t a = argb >> 24;
  auto mix = [a](uint32_t c, uint32_t b) { return (c * a + b * (255 - a) + 127) / 255; };
  return RGB(mix((argb >> 16) & 255, GetRValue(back)), mix((argb >> 8) & 255, GetGValue(back)),
             mix(argb & 255, GetBValue(back)));
}

// Colour and alpha vary across the picture; alpha takes 0 and 255 too.
uint32_t AlphaPixel(int32_t x, int32_t y) {
  const uint32_t a = (x + y) % 5 == 0   ? 0
                     : (x * y) % 7 == 0 ? 255
                                        : static_cast<uint32_t>(x * 29 + y * 13) % 256;
  return (a << 24) | (static_cast<uint32_t>(x * 23 % 256) << 16) |
         (static_cast<uint32_t>(y * 31 % 256) << 8) | 0x5A;
}

TEST_F(ViewWindow, AlphaImagesAreLaidOverTheBackgroundThenMagnified) {
  // A PNG icon as the loader leaves it: IHDR's size, pixels decoded beside
  // the bytes (blue, green, red, alpha; rows top-down).
  const uint8_t pngStart[24] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                                'I',  'H', 'D', 'R', 0,    0,    0,    8,    0, 0, 0, 8};
  Bytes decoded(8 * 8 * 4);
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 8; ++x)
      Put32(decoded, static_cast<size_t>(y * 8 + x) * 4, AlphaPixel(x, y));
  }
  ImageRecord pngRecord{ImageKind::Icon, 0, 24, 0, 0, "", ""};
  LoadedImage png;
  PrepareImage(pngStart, &pngRecord, &png, decoded.data());
  ASSERT_FALSE(png.unusable);
  Open(100, 100);
  ShowImage(view_, &png);
  ZoomBy(view_, 1);
  ExpectShot(Paint(), [&](int32_t x, int32_t y) {
    return IconPixel(x, y, 42, 42, 2, 8, 8,
                     [&](int32_t ix, int32_t iy) { return Over(AlphaPixel(ix, iy), background_); });
  });

  // A 32-bit icon with alpha, large enough for the direct path of classic
  // icons; its mask (set where alpha is 0) is not what draws it.
  auto clear = [](int32_t x, int32_t y) { return AlphaPixel(x, y) >> 24 == 0; };
  const Bytes bytes = MakeDib({72, 72, 32, {}, AlphaPixel, clear, false});
  GuardedBytes guarded(bytes);
  ImageRecord record{ImageKind::Icon, 0, static_cast<int32_t>(bytes.size()), 1, 0, "", ""};
  LoadedImage icon;
  PrepareImage(guarded.data(), &record, &icon);
  ASSERT_TRUE(icon.alpha);
  Open(200, 200);
  ShowImage(view_, &icon);
  ExpectShot(Paint(), [&](int32_t x, int32_t y) {
    return IconPixel(x, y, 64, 64, 1, 72, 72,
                     [&](int32_t ix, int32_t iy) { return Over(AlphaPixel(ix, iy), background_); });
  });
}

TEST_F(ViewWindow, ThirtyTwoBitIconWithoutAlphaGoesThroughItsMask) {
  Open(100, 100);
  auto transparent = [](int32_t x, int32_t y) { return (x + 2 * y) % 3 == 0; };
  // Alpha bytes all 0; transparent pixels black except one, OR-ed onto the
  // background as for any classic icon.
  auto colour = [&](int32_t x, int32_t y) -> uint32_t {
    if (x == 5 && y == 1) return 0x203040;
    return transparent(x, y) ? 0 : AlphaPixel(x, y) & 0xFFFFFF;
  };
  const Bytes bytes = MakeDib({8, 8, 32, {}, colour, transparent, false});
  GuardedBytes guarded(bytes);
  ImageRecord record{ImageKind::Icon, 0, static_cast<int32_t>(bytes.size()), 2, 0, "", ""};
  LoadedImage icon;
  PrepareImage(guarded.data(), &record, &icon);
  ASSERT_FALSE(icon.unusable);
  ASSERT_FALSE(icon.alpha);
  ShowImage(view_, &icon);
  ZoomBy(view_, 1);
  ExpectShot(Paint(), [&](int32_t x, int32_t y) {
    return IconPixel(x, y, 42, 42, 2, 8, 8, [&](int32_t ix, int32_t iy) {
      const COLORREF c = FromRgb(colour(ix, iy));
      return transparent(ix, iy) ? (background_ | c) : c;
    });
  });
}

// The bounding box of the pixels that are not background.
RECT InkBox(const Shot& shot, COLORREF background) {
  RECT box{shot.width, shot.height, 0, 0};
  for (int32_t y = 0; y < shot.height; ++y) {
    for (int32_t x = 0; x < shot.width; ++x) {
      if (shot.At(x, y) == background) continue;
      box.left = std::min<LONG>(box.left, x);
      box.top = std::min<LONG>(box.top, y);
      box.right = std::max<LONG>(box.right, x + 1);
      box.bottom = std::max<LONG>(box.bottom, y + 1);
    }
  }
  return box;
}

TEST_F(ViewWindow, UndrawableImagesShowTheRedLabel) {
  // The label's cell in the system font.
  HDC screen = GetDC(nullptr);
  const HGDIOBJ oldFont = SelectObject(screen, GetStockObject(SYSTEM_FONT));
  SIZE text{};
  GetTextExtentPoint32A(screen, "UNSUPPORTED IMAGE FORMAT", 24, &text);
  SelectObject(screen, oldFont);
  ReleaseDC(nullptr, screen);

  const Bytes bytes = MakeDib({4, 4, 24, {}, Unique, nullptr, false});
  LoadedImage unusable = Describe(bytes.data(), bytes.size(), ImageKind::Bitmap, 4, 4, 24, 0);
  unusable.unusable = true;
  // Sides the view cannot magnify are refused as well, never drawn.
  LoadedImage huge = unusable;
  huge.unusable = false;
  huge.width = 0x7FFFFFFF;
  LoadedImage empty = huge;
  empty.width = 0;

  for (const LoadedImage* image : {&unusable, &huge, &empty}) {
    Open(300, 200);
    const Bytes big = MakeDib({600, 400, 24, {}, Unique, nullptr, false});
    const LoadedImage bigImage =
        Describe(big.data(), big.size(), ImageKind::Bitmap, 600, 400, 24, 0);
    ShowImage(view_, &bigImage);
    Drag(100, 100, 50, 50);
    ASSERT_TRUE(BarShown(view_, SB_HORZ));
    ShowImage(view_, image);
    EXPECT_FALSE(BarShown(view_, SB_HORZ));
    EXPECT_FALSE(BarShown(view_, SB_VERT));
    EXPECT_EQ(Bar(view_, SB_HORZ).nMax, 0);
    EXPECT_EQ(Bar(view_, SB_VERT).nMax, 0);
    const Shot shot = Paint();
    const RECT box = InkBox(shot, background_);
    EXPECT_EQ(box.left, (300 - text.cx) / 2);
    EXPECT_EQ(box.top, (200 - text.cy) / 2);
    EXPECT_EQ(box.right, (300 - text.cx) / 2 + text.cx);
    EXPECT_EQ(box.bottom, (200 - text.cy) / 2 + text.cy);
    int red = 0;
    int white = 0;
    for (int32_t y = box.top; y < box.bottom; ++y) {
      for (int32_t x = box.left; x < box.right; ++x) {
        const COLORREF c = shot.At(x, y);
        red += c == RGB(255, 0, 0);
        white += c == RGB(255, 255, 255);
      }
    }
    EXPECT_EQ(red + white, text.cx * text.cy) << "only red and white inside the label";
    EXPECT_GT(white, 100);
    EXPECT_GT(red, white);

    // Zoom still counts; scroll and drag requests do nothing.
    const ViewState before = CurrentViewState();
    ZoomBy(view_, 2);
    EXPECT_EQ(CurrentViewState().zoom, before.zoom + 2);
    Drag(100, 100, 0, 0);
    SendMessageA(view_, WM_HSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(CurrentViewState().scrollX, before.scrollX);
    EXPECT_EQ(CurrentViewState().scrollY, before.scrollY);
    ExpectShot(Paint(), [&](int32_t x, int32_t y) { return shot.At(x, y); });
  }
}

TEST_F(ViewWindow, ShowingNothingHidesTheBarsAndClears) {
  Open(150, 100);
  const Bytes bytes = MakeDib({300, 300, 24, {}, Unique, nullptr, false});
  const LoadedImage image =
      Describe(bytes.data(), bytes.size(), ImageKind::Bitmap, 300, 300, 24, 0);
  ShowImage(view_, &image);
  Paint();
  ASSERT_TRUE(BarShown(view_, SB_HORZ));
  ASSERT_TRUE(BarShown(view_, SB_VERT));
  SendMessageA(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
  const int32_t scrollY = CurrentViewState().scrollY;
  ASSERT_GT(scrollY, 0);

  ShowImage(view_, nullptr);
  EXPECT_FALSE(CurrentViewState().hasImage);
  EXPECT_FALSE(BarShown(view_, SB_HORZ));
  EXPECT_FALSE(BarShown(view_, SB_VERT));
  const SCROLLINFO x = Bar(view_, SB_HORZ);
  const SCROLLINFO y = Bar(view_, SB_VERT);
  EXPECT_EQ(x.nMin, 0);
  EXPECT_EQ(x.nMax, 0);
  EXPECT_EQ(y.nMin, 0);
  EXPECT_EQ(y.nMax, 0);
  ExpectShot(Paint(), [&](int32_t, int32_t) { return background_; });

  // Without an image scrolling, dragging and zooming are ignored; the
  // offsets wait for the next image.
  SendMessageA(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
  Drag(50, 50, 0, 0);
  ZoomBy(view_, 1);
  EXPECT_EQ(CurrentViewState().scrollY, scrollY);
  EXPECT_EQ(CurrentViewState().scrollX, 0);
  EXPECT_EQ(CurrentViewState().zoom, 1);
}

}  // namespace
