#include "shell/finder_window_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <unordered_map>
#include <vector>

#include "image/colour_bitmap_info.h"
#include "image/image_loader.h"
#include "image/image_pixels.h"
#include "image/view_geometry.h"
#include "res/resource.h"
#include "shell/finder_geometry.h"
#include "shell/main_window_win32.h"
#include "shell/navigation_win32.h"
#include "ui/dib32_win32.h"
#include "ui/gdi_scope_win32.h"
#include "ui/mouse_point.h"
#include "ui/scroll_request.h"
#include "ui/wait_cursor.h"
#include "ui/window_state_win32.h"

static_assert(kScrollBarLineUp == SB_LINEUP && kScrollBarLineDown == SB_LINEDOWN &&
              kScrollBarPageUp == SB_PAGEUP && kScrollBarPageDown == SB_PAGEDOWN &&
              kScrollBarThumbPosition == SB_THUMBPOSITION && kScrollBarThumbTrack == SB_THUMBTRACK);

namespace {

// A thumbnail of an image with its own alpha, as drawn: fit.width x
// fit.height pixels, rows top-down.
struct AlphaThumbnail {
  ThumbnailFit fit;
  std::vector<uint8_t> pixels;
};

// What a Finder owns beside the state the tests read.
struct FinderWindow {
  FinderWindow() = default;
  FinderWindow(const FinderWindow&) = delete;
  FinderWindow& operator=(const FinderWindow&) = delete;
  ~FinderWindow() { ReleaseLargeBuffer(mainState.imageCache, &state.largeBuffer); }

  FinderState state;
  // Decoding and blending a PNG icon costs far more than drawing a classic
  // one, and a full Finder holds more of them than the loader keeps
  // decoded, so their finished thumbnails are kept by record while the
  // window lives.
  std::unordered_map<int32_t, AlphaThumbnail> alphaThumbnails;
  // A bar that appears or vanishes resizes the client, and the size
  // message that brings recomputes the range inside the first call; two
  // rounds settle it, this only stops a runaway.
  int rangeNesting = 0;
};

constexpr int kMaxRangeNesting = 4;

FinderWindow* FinderOf(HWND finder) { return WindowState<FinderWindow>(finder); }

// Only for a Finder whose state exists: reached from its procedure or
// after a check.
FinderState& StateOf(HWND finder) { return FinderOf(finder)->state; }

FinderGrid CurrentGrid(HWND finder) {
  const FinderState& finderState = StateOf(finder);
  RECT client{};
  GetClientRect(finder, &client);
  return ComputeFinderGrid(client.right, client.bottom, finderState.count);
}

void UpdateScrollRange(HWND finder) {
  FinderWindow& self = *FinderOf(finder);
  FinderState& finderState = self.state;
  if (self.rangeNesting >= kMaxRangeNesting) return;
  ++self.rangeNesting;
  const FinderGrid grid = CurrentGrid(finder);
  finderState.topRow = ClampFinderTopRow(finderState.topRow, grid);
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = grid.rows - 1;
  info.nPage = static_cast<UINT>(grid.visibleRows);
  info.nPos = finderState.topRow;
  SetScrollInfo(finder, SB_VERT, &info, TRUE);
  --self.rangeNesting;
}

// At 9 KiB each at most, this many kept thumbnails stay well within any
// memory the program uses; a full store starts again empty.
constexpr size_t kMaxAlphaThumbnails = 4096;

void DrawAlphaThumbnail(HDC dc, const AlphaThumbnail& thumbnail, int cellX, int cellY) {
  if (thumbnail.pixels.empty()) return;
  const BITMAPINFO info = Dib32Info(thumbnail.fit.width, thumbnail.fit.height);
  SetDIBitsToDevice(
      dc, cellX + thumbnail.fit.x, cellY + thumbnail.fit.y, static_cast<DWORD>(thumbnail.fit.width),
      static_cast<DWORD>(thumbnail.fit.height), 0, 0, 0, static_cast<UINT>(thumbnail.fit.height),
      thumbnail.pixels.data(), &info, DIB_RGB_COLORS);
}

// An image with its own alpha as colour x alpha, as if over black: its
// transparent parts then look like those of the classic icons beside it,
// which are black in their colour bitmaps. Reduced the way every thumbnail
// is, once, into the store.
const AlphaThumbnail* MakeAlphaThumbnail(FinderWindow& self, const LoadedImage& image,
                                         const ThumbnailFit& fit, int32_t key) {
  auto& alphaThumbnails = self.alphaThumbnails;
  std::vector<uint8_t> pixels;
  if (!CompositeOver(image, 0, 0, 0, &pixels)) return nullptr;
  const BITMAPINFO info = Dib32Info(fit.width, fit.height);
  const MemoryDc memoryDc(nullptr);
  const HDC memory = memoryDc.get();
  void* bits = nullptr;
  const GdiObject<HBITMAP> target(
      CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (memory == nullptr || target.get() == nullptr) return nullptr;
  const SelectedObject selected(memory, target.get());
  SetStretchBltMode(memory, COLORONCOLOR);
  const BITMAPINFO source = Dib32Info(image.width, image.height);
  StretchDIBits(memory, 0, 0, fit.width, fit.height, 0, 0, image.width, image.height, pixels.data(),
                &source, DIB_RGB_COLORS, SRCCOPY);
  GdiFlush();
  if (alphaThumbnails.size() >= kMaxAlphaThumbnails) alphaThumbnails.clear();
  AlphaThumbnail& made = alphaThumbnails[key];
  made.fit = fit;
  const auto* first = static_cast<const uint8_t*>(bits);
  made.pixels.assign(first, first + static_cast<size_t>(fit.width) * fit.height * 4);
  return &made;
}

// A paint stops making thumbnails of images with their own alpha (a PNG
// decode each, the costly part of a paint) once it has run this long, after
// its first one; the cells after them show the background and wait for the
// next paint, which the paint asks for itself, so the window serves input
// between (the queue hands out input before a paint). A kept thumbnail, or
// a classic image, costs little.
constexpr double kPaintSliceMs = 20;

struct PaintSlice {
  LARGE_INTEGER start{};
  bool madeOne = false;

  PaintSlice() { QueryPerformanceCounter(&start); }
  bool Spent() const {
    if (!madeOne) return false;
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) >=
           kPaintSliceMs * static_cast<double>(frequency.QuadPart);
  }
};

// Thumbnails are opaque: an icon's mask is not applied. A thumbnail that
// cannot be loaded or drawn leaves its cell to the background. With a
// slice, a cell whose thumbnail is not kept waits (false) once the slice is
// spent; without, every cell is drawn.
bool PaintThumbnail(FinderWindow& self, HDC dc, ImageRecord* record, int cellX, int cellY,
                    PaintSlice* slice) {
  const auto kept = self.alphaThumbnails.find(record->sequence);
  if (kept != self.alphaThumbnails.end()) {
    DrawAlphaThumbnail(dc, kept->second, cellX, cellY);
    return true;
  }
  if (slice != nullptr && slice->Spent()) return false;
  LoadedImage image;
  if (!LoadImageRecordWaiting(mainState.imageCache, record, &image, &self.state.largeBuffer))
    return true;
  if (image.unusable || image.header == nullptr || image.bits == nullptr) return true;
  const ThumbnailFit fit = FitThumbnail(image.width, image.height);
  if (fit.width <= 0 || fit.height <= 0) return true;
  if (image.alpha) {
    if (slice != nullptr) slice->madeOne = true;
    if (const AlphaThumbnail* made = MakeAlphaThumbnail(self, image, fit, record->sequence)) {
      DrawAlphaThumbnail(dc, *made, cellX, cellY);
    } else {
      // Kept empty, so that the budget of later paints is not spent on it.
      self.alphaThumbnails[record->sequence] = AlphaThumbnail{};
    }
    return true;
  }
  // A copy of the header describes the checked rows alone: an icon's colour
  // bitmap without its mask, any image with the pixel size the loader
  // verified, so a decoder cannot run past the loaded bytes.
  const std::vector<uint8_t> info = ColourBitmapInfo(image);
  StretchDIBits(dc, cellX + fit.x, cellY + fit.y, fit.width, fit.height, 0, 0, image.width,
                image.height, image.bits, reinterpret_cast<const BITMAPINFO*>(info.data()),
                DIB_RGB_COLORS, SRCCOPY);
  return true;
}

int32_t CatalogueIndex(const FinderState& finderState, int32_t position) {
  return finderState.shown != nullptr ? finderState.shown[position] : position;
}

// The entry a tooltip would name: its tool takes that cell's rectangle, or
// none, and a tip on show for another cell is taken down, so that the next
// one asks for its own text.
constexpr UINT_PTR kTipTool = 1;

void SetTipEntry(HWND finder, int32_t entry, const FinderGrid& grid) {
  FinderState& finderState = StateOf(finder);
  if (entry == finderState.tipEntry || finderState.tooltip == nullptr) return;
  finderState.tipEntry = entry;
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V1_SIZE;
  tool.hwnd = finder;
  tool.uId = kTipTool;
  int32_t x = 0, y = 0;
  if (FinderEntryCell(grid, finderState.topRow, entry, finderState.count, &x, &y)) {
    tool.rect = RECT{x, y, x + kFinderCellSize, y + kFinderCellSize};
  }
  SendMessageA(finderState.tooltip, TTM_POP, 0, 0);
  SendMessageA(finderState.tooltip, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
}

void CreateTooltip(HWND finder) {
  FinderState& finderState = StateOf(finder);
  finderState.tooltip =
      CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                      WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, finder, nullptr, nullptr, nullptr);
  if (finderState.tooltip == nullptr) return;
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V1_SIZE;
  tool.hwnd = finder;
  tool.uId = kTipTool;
  tool.lpszText = LPSTR_TEXTCALLBACKA;
  SendMessageA(finderState.tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  finderState.tipEntry = -1;
}

LRESULT OnMouseMove(HWND finder, UINT message, WPARAM wParam, LPARAM lParam) {
  FinderState& finderState = StateOf(finder);
  const MousePoint at = MousePointOf(static_cast<uint64_t>(lParam));
  const FinderGrid grid = CurrentGrid(finder);
  SetTipEntry(finder, FinderHitTest(at.x, at.y, grid, finderState.topRow, finderState.count), grid);
  if (finderState.tooltip != nullptr) {
    MSG relayed{};
    relayed.hwnd = finder;
    relayed.message = message;
    relayed.wParam = wParam;
    relayed.lParam = lParam;
    relayed.time = static_cast<DWORD>(GetMessageTime());
    relayed.pt = POINT{at.x, at.y};
    ClientToScreen(finder, &relayed.pt);
    SendMessageA(finderState.tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
  }
  return 0;
}

// The tip is asked for its text only when it is about to show, so a
// pointer passing over the grid loads nothing.
LRESULT OnNotify(HWND finder, LPARAM lParam) {
  FinderState& finderState = StateOf(finder);
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (header->hwndFrom != finderState.tooltip || header->code != TTN_GETDISPINFOA) return 0;
  const int32_t entry = finderState.tipEntry;
  finderState.tipText.clear();
  if (entry >= 0 && entry < finderState.count) {
    ImageRecord* record = &finderState.catalogue[CatalogueIndex(finderState, entry)];
    LoadedImage image;
    const bool sized =
        LoadImageRecordWaiting(mainState.imageCache, record, &image, &finderState.largeBuffer) &&
        !image.unusable;
    finderState.tipText = FinderTipText(record->fileName, CatalogueIndex(finderState, entry),
                                        sized ? image.width : 0, sized ? image.height : 0);
  }
  reinterpret_cast<NMTTDISPINFOA*>(lParam)->lpszText = finderState.tipText.data();
  return 0;
}

void InvalidateEntryCell(HWND finder, const FinderGrid& grid, int32_t entry) {
  FinderState& finderState = StateOf(finder);
  int32_t x = 0, y = 0;
  if (!FinderEntryCell(grid, finderState.topRow, entry, finderState.count, &x, &y)) return;
  const RECT cell{x, y, x + kFinderCellSize, y + kFinderCellSize};
  InvalidateRect(finder, &cell, TRUE);
}

// Over the thumbnail's outer pixels too, as the frame is the mark and the
// picture stays recognisable inside it.
void PaintFrame(HDC dc, int cellX, int cellY) {
  const HBRUSH brush = GetSysColorBrush(COLOR_HIGHLIGHT);
  const int inner = kFinderCellSize - kFinderFrameWidth;
  const RECT sides[] = {{cellX, cellY, cellX + kFinderCellSize, cellY + kFinderFrameWidth},
                        {cellX, cellY + inner, cellX + kFinderCellSize, cellY + kFinderCellSize},
                        {cellX, cellY, cellX + kFinderFrameWidth, cellY + kFinderCellSize},
                        {cellX + inner, cellY, cellX + kFinderCellSize, cellY + kFinderCellSize}};
  for (const RECT& side : sides) FillRect(dc, &side, brush);
}

void PaintCells(HWND finder, HDC dc, const RECT& update, PaintSlice* slice,
                std::vector<RECT>* waiting);

// The cells left waiting are painted by the next paint, after any input.
LRESULT OnPaint(HWND finder) {
  std::vector<RECT> waiting;
  {
    const PaintDc paint(finder);
    PaintSlice slice;
    if (paint.get() != nullptr) PaintCells(finder, paint.get(), paint.update(), &slice, &waiting);
  }
  for (const RECT& cell : waiting) InvalidateRect(finder, &cell, TRUE);
  return 0;
}

// The rows still in view move; only the band they uncover is painted.
void ScrollToRow(HWND finder, int32_t row) {
  FinderState& finderState = StateOf(finder);
  const int32_t old = finderState.topRow;
  finderState.topRow = row;
  UpdateScrollRange(finder);
  const int64_t dy = (static_cast<int64_t>(old) - finderState.topRow) * kFinderCellSize;
  if (dy == 0) return;
  SetTipEntry(finder, -1, CurrentGrid(finder));
  RECT client{};
  GetClientRect(finder, &client);
  ScrollWindow(finder, 0, static_cast<int>(dy), &client, &client);
}

LRESULT OnVScroll(HWND finder, ScrollRequest request) {
  FinderState& finderState = StateOf(finder);
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_TRACKPOS;
  GetScrollInfo(finder, SB_VERT, &info);
  const FinderGrid grid = CurrentGrid(finder);
  if (grid.columns == 0) return 0;  // no cells, nothing to scroll
  ScrollToRow(finder,
              FinderScrollTarget(request, finderState.topRow, grid.visibleRows, info.nTrackPos));
  return 0;
}

// Up and Down move by a row of cells, here only: in the main window they
// have no row to move by.
LRESULT OnKeyDown(HWND finder, WPARAM key) {
  FinderState& finderState = StateOf(finder);
  // A search's dialog leaves the Finder enabled: its keys and clicks must
  // not move the entry while the catalogue is being filled.
  if (RefuseWhileBusy()) return 0;
  if (key != VK_UP && key != VK_DOWN) {
    HandleNavigationKey(key);
    return 0;
  }
  const int32_t target = FinderRowStep(finderState.current, key == VK_UP ? -1 : 1,
                                       CurrentGrid(finder).columns, finderState.count);
  if (target != finderState.current && finderState.owner != nullptr) {
    SelectItem(finderState.owner, CatalogueIndex(finderState, target), false);
  }
  return 0;
}

LRESULT OnLButtonDown(HWND finder, LPARAM lParam) {
  FinderState& finderState = StateOf(finder);
  if (RefuseWhileBusy()) return 0;
  const MousePoint at = MousePointOf(static_cast<uint64_t>(lParam));
  const int32_t index =
      FinderHitTest(at.x, at.y, CurrentGrid(finder), finderState.topRow, finderState.count);
  if (index >= 0 && finderState.owner != nullptr) {
    SelectItem(finderState.owner, CatalogueIndex(finderState, index), true);
  }
  return 0;
}

// A right click on a cell makes it the current entry and asks the main
// window for the entry's menu; from the keyboard, for the current entry.
LRESULT OnContextMenu(HWND finder, LPARAM lParam) {
  FinderState& finderState = StateOf(finder);
  if (finderState.owner == nullptr || RefuseWhileBusy()) return 0;
  const MousePoint at = MousePointOf(static_cast<uint64_t>(lParam));
  if (at.x != -1 || at.y != -1) {
    POINT client = {at.x, at.y};
    ScreenToClient(finder, &client);
    const int32_t index = FinderHitTest(client.x, client.y, CurrentGrid(finder), finderState.topRow,
                                        finderState.count);
    if (index < 0) return 0;
    SelectItem(finderState.owner, CatalogueIndex(finderState, index), true);
  }
  SendMessageA(finderState.owner, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(finder), lParam);
  return 0;
}

LRESULT OnMouseWheel(HWND finder, WPARAM wParam) {
  // One row per notch, whatever the delta's size; a delta of 0 goes down.
  const int request = GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? SB_LINEUP : SB_LINEDOWN;
  SendMessageA(finder, WM_VSCROLL, MAKEWPARAM(request, 0), 0);
  return 0;
}

LRESULT CALLBACK FinderProc(HWND finder, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE && !AttachWindowState<FinderWindow>(finder)) return FALSE;
  // Messages that come before WM_NCCREATE find no state yet.
  if (FinderOf(finder) == nullptr) return DefWindowProcA(finder, message, wParam, lParam);
  switch (message) {
    case WM_NCDESTROY:
      // The tooltip, owned by the Finder, is gone already.
      DetachWindowState<FinderWindow>(finder);
      return DefWindowProcA(finder, message, wParam, lParam);
    case WM_CREATE:
      CreateTooltip(finder);
      return 0;
    case WM_SIZE:
      // A minimised Finder has no cells; it keeps its row for when it is
      // restored.
      if (wParam != SIZE_MINIMIZED) UpdateScrollRange(finder);
      return 0;
    case WM_PAINT:
      return OnPaint(finder);
    case WM_CLOSE:
      // Closing only hides it; the main window's Finder command shows it again.
      ShowWindow(finder, SW_HIDE);
      return 0;
    case WM_VSCROLL:
      return OnVScroll(finder, ScrollRequestFromCode(LOWORD(wParam)));
    case WM_LBUTTONDOWN:
      return OnLButtonDown(finder, lParam);
    case WM_MOUSEWHEEL:
      return OnMouseWheel(finder, wParam);
    case WM_MOUSEMOVE:
      return OnMouseMove(finder, message, wParam, lParam);
    case WM_NOTIFY:
      return OnNotify(finder, lParam);
    case WM_CONTEXTMENU:
      return OnContextMenu(finder, lParam);
    case WM_DROPFILES:
      // Files dropped here open as on the main window, its owner.
      return SendMessageA(GetWindow(finder, GW_OWNER), WM_DROPFILES, wParam, lParam);
    case WM_KEYDOWN:
      // A click or Tab leaves the keyboard here; the navigation keys still
      // step through the main window's entries.
      return OnKeyDown(finder, wParam);
    default:
      return DefWindowProcA(finder, message, wParam, lParam);
  }
}

}  // namespace

bool RegisterFinderClass(HINSTANCE instance) {
  WNDCLASSA finderClass = {};
  finderClass.style = CS_HREDRAW | CS_VREDRAW;
  finderClass.lpfnWndProc = FinderProc;
  finderClass.hInstance = instance;
  finderClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_RAVELIN));
  finderClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  finderClass.hbrBackground =
      reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_APPWORKSPACE + 1));
  finderClass.lpszClassName = kFinderClassName;
  return RegisterClassA(&finderClass) != 0;
}

namespace {

// Sequence numbers rise across the fills of a run, so a kept thumbnail
// keyed below every shown record's belongs to a catalogue that was replaced
// and can never be drawn again; without this, files opened one after another
// would hold the store near its limit. An empty refresh, as before an open
// that may yet be cancelled, tells nothing about what was replaced.
void ForgetReplacedThumbnails(FinderWindow& self) {
  const FinderState& state = self.state;
  if (state.count == 0) return;
  int32_t lowest = INT32_MAX;
  for (int32_t k = 0; k < state.count; ++k) {
    const int32_t index = state.shown != nullptr ? state.shown[k] : k;
    lowest = std::min(lowest, state.catalogue[index].sequence);
  }
  std::erase_if(self.alphaThumbnails, [lowest](const auto& kept) { return kept.first < lowest; });
}

}  // namespace

void RefreshFinder(HWND finder, ImageRecord* catalogue, int32_t count, HWND owner,
                   const int32_t* shown) {
  if (FinderOf(finder) == nullptr) return;
  FinderState& finderState = StateOf(finder);
  finderState.catalogue = catalogue;
  finderState.shown = shown;
  finderState.count = catalogue != nullptr && count > 0 ? count : 0;
  finderState.owner = owner;
  finderState.topRow = 0;
  ForgetReplacedThumbnails(*FinderOf(finder));
  UpdateScrollRange(finder);
  const FinderGrid grid = CurrentGrid(finder);
  finderState.topRow = FinderRowShowing(finderState.current, grid, 0);
  UpdateScrollRange(finder);
  SetTipEntry(finder, -1, grid);
  InvalidateRect(finder, nullptr, TRUE);
}

void ShowFinderCurrent(HWND finder, int32_t index) {
  if (FinderOf(finder) == nullptr) return;
  FinderState& finderState = StateOf(finder);
  const int32_t old = finderState.current;
  finderState.current = index;
  const FinderGrid grid = CurrentGrid(finder);
  // A minimised Finder keeps its row for when it is restored.
  if (grid.columns == 0) return;
  ScrollToRow(finder, FinderRowShowing(index, grid, finderState.topRow));
  InvalidateEntryCell(finder, grid, old);
  InvalidateEntryCell(finder, grid, index);
}

namespace {

void PaintCells(HWND finder, HDC dc, const RECT& update, PaintSlice* slice,
                std::vector<RECT>* waiting) {
  FinderWindow* self = FinderOf(finder);
  if (self == nullptr) return;
  const FinderState& finderState = self->state;
  if (finderState.count <= 0 || finderState.catalogue == nullptr) return;
  RECT client{};
  GetClientRect(finder, &client);
  const FinderGrid grid = ComputeFinderGrid(client.right, client.bottom, finderState.count);
  const FinderCellRange cells =
      FinderCellsToPaint(grid, client.bottom, update.left, update.top, update.right, update.bottom);
  // Shrinking a thumbnail keeps whole source pixels rather than blending
  // them, so thumbnails show the image's own colours.
  const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  for (int32_t row = cells.firstRow; row < cells.endRow; ++row) {
    for (int32_t column = cells.firstColumn; column < cells.endColumn; ++column) {
      const int32_t index =
          FinderCellEntry(grid, finderState.topRow, row, column, finderState.count);
      if (index < 0) break;
      const int x = column * kFinderCellSize;
      const int y = row * kFinderCellSize;
      if (!PaintThumbnail(*self, dc, &finderState.catalogue[CatalogueIndex(finderState, index)], x,
                          y, slice)) {
        waiting->push_back(RECT{x, y, x + kFinderCellSize, y + kFinderCellSize});
      }
      if (index == finderState.current) PaintFrame(dc, x, y);
    }
  }
  SetStretchBltMode(dc, oldMode);
}

}  // namespace

void PaintFinder(HWND finder, HDC dc, const RECT& update) {
  PaintCells(finder, dc, update, nullptr, nullptr);
}

const FinderState& CurrentFinderState() {
  static const FinderState none;
  const FinderWindow* self = FinderOf(FindThreadWindow(kFinderClassName));
  return self != nullptr ? self->state : none;
}
