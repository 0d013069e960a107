#include "shell/view_window_win32.h"

#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "image/colour_bitmap_info.h"
#include "image/image_pixels.h"
#include "image/view_geometry.h"
#include "res/resource.h"
#include "scan/dib_header.h"
#include "scan/little_endian.h"
#include "ui/dib32_win32.h"
#include "ui/gdi_scope_win32.h"
#include "ui/mouse_point.h"
#include "ui/scroll_request.h"
#include "ui/window_state_win32.h"

namespace {

// What the pane owns beside the state it shows: its drawing objects, made
// with it and deleted with it.
struct ViewWindow {
  ViewState state;
  GdiObject<HBRUSH> backgroundBrush;
  GdiObject<HPEN> framePen;
  GdiObject<HBITMAP> smallCanvas;
  // Nested size changes while the bars appear or vanish end after a couple
  // of rounds; this only stops a runaway.
  int barNesting = 0;
};

ViewWindow* PaneOf(HWND view) { return WindowState<ViewWindow>(view); }

constexpr char kUnsupportedText[] = "UNSUPPORTED IMAGE FORMAT";
constexpr COLORREF kLabelBackground = RGB(255, 0, 0);
constexpr COLORREF kLabelText = RGB(255, 255, 255);

// Nested size changes while the bars appear or vanish end after a couple
// of rounds; this only stops a runaway.
constexpr int kMaxBarNesting = 8;

struct MaskInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colours[2];
};

// A usable image whose sides the pane can magnify without overflow.
bool Drawable(const LoadedImage& image) {
  return !image.unusable && image.header != nullptr && image.bits != nullptr &&
         IsDrawableSize(image.width, image.height);
}

bool IsIconLike(const LoadedImage& image) { return image.kind != ImageKind::Bitmap; }

RECT ToRect(const ViewRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// GDI reads the source rectangle of a top-down DIB from its top or from its
// bottom depending on the raster operation and on whether the rectangle
// starts at the origin unstretched. Handed exactly the rows to draw, as a
// DIB of their own, it has nothing left to interpret.
struct DibRows {
  std::vector<uint8_t> info;
  const uint8_t* bits;
  // First source row, counted from the bottom.
  int32_t sourceRow;
};

// info holds header, masks and colour table for the image's pixel array.
DibRows SourceRows(std::vector<uint8_t> info, const LoadedImage& image, const AxisLayout& rows) {
  DibRows source{std::move(info), image.bits, DibSourceRow(image.height, rows)};
  uint8_t* header = source.info.data();
  const DibHeader dib(ByteReader(header, static_cast<int64_t>(source.info.size())), 0);
  if (dib.Height() >= 0 || !dib.Uncompressed()) return source;
  // The loader found the whole pixel array inside the loaded bytes, so the
  // slice and its size stay within them and within 32 bits.
  const int64_t stride = DibStride(image.width, image.bitCount);
  source.bits = image.bits + stride * rows.first;
  PutLeI32(header + kDibHeightAt, -rows.count);
  PutLeI32(header + kDibSizeImageAt, static_cast<int32_t>(stride * rows.count));
  source.sourceRow = 0;
  return source;
}

MaskInfo MakeMaskInfo(const LoadedImage& image, COLORREF background) {
  MaskInfo mask{};
  mask.header.biSize = sizeof(BITMAPINFOHEADER);
  mask.header.biWidth = image.width;
  mask.header.biHeight = image.height;
  mask.header.biPlanes = 1;
  mask.header.biBitCount = 1;
  mask.header.biCompression = BI_RGB;
  mask.colours[0] = RGBQUAD{GetBValue(background), GetGValue(background), GetRValue(background), 0};
  mask.colours[1] = RGBQUAD{0, 0, 0, 0};
  return mask;
}

void PaintUnsupported(const ViewWindow& pane, HDC dc, const RECT& client) {
  FillRect(dc, &client, pane.backgroundBrush.get());
  const SelectedObject font(dc, GetStockObject(SYSTEM_FONT));
  const COLORREF oldBack = SetBkColor(dc, kLabelBackground);
  const COLORREF oldText = SetTextColor(dc, kLabelText);
  const int oldMode = SetBkMode(dc, OPAQUE);
  const int length = static_cast<int>(sizeof kUnsupportedText - 1);
  SIZE extent{};
  GetTextExtentPoint32A(dc, kUnsupportedText, length, &extent);
  int32_t x = 0;
  int32_t y = 0;
  CentredText(client.right, client.bottom, extent.cx, extent.cy, &x, &y);
  TextOutA(dc, x, y, kUnsupportedText, length);
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBack);
}

// Even a bitmap is drawn from a copy of its header: the copy states the
// pixel size the loader checked, which bounds an RLE decoder whose stream
// has no end code or whose stored biSizeImage is 0.
void PaintBitmap(HDC dc, const LoadedImage& image, const PaintLayout& layout) {
  const ViewRect& to = layout.destination;
  const DibRows source = SourceRows(ColourBitmapInfo(image), image, layout.rows);
  StretchDIBits(dc, to.left, to.top, to.right - to.left, to.bottom - to.top, layout.columns.first,
                source.sourceRow, layout.columns.count, layout.rows.count, source.bits,
                reinterpret_cast<const BITMAPINFO*>(source.info.data()), DIB_RGB_COLORS, SRCCOPY);
}

// Composes the image through its mask in the 64 x 64 canvas and stretches
// the wanted part of it in one call.
void PaintSmallIcon(const ViewWindow& pane, HDC dc, const LoadedImage& image,
                    const PaintLayout& layout) {
  const std::vector<uint8_t> colourInfo = ColourBitmapInfo(image);
  const auto* colour = reinterpret_cast<const BITMAPINFO*>(colourInfo.data());
  const MemoryDc canvasDc(dc);
  const MemoryDc sourceDc(dc);
  const SelectedObject canvas(canvasDc.get(), pane.smallCanvas.get());
  const RECT whole{0, 0, kSmallCanvasSide, kSmallCanvasSide};
  FillRect(canvasDc.get(), &whole, pane.backgroundBrush.get());

  GdiObject<HBITMAP> maskBitmap;
  // Without its whole mask the image is shown opaque rather than reading
  // past the loaded bytes.
  if (image.maskComplete) {
    const MaskInfo mask = MakeMaskInfo(image, pane.state.backgroundColor);
    maskBitmap.reset(CreateDIBitmap(dc, &mask.header, CBM_INIT, image.bits + image.bitsSize,
                                    reinterpret_cast<const BITMAPINFO*>(&mask), DIB_RGB_COLORS));
    if (maskBitmap.get() != nullptr) {
      const SelectedObject source(sourceDc.get(), maskBitmap.get());
      BitBlt(canvasDc.get(), 0, 0, image.width, image.height, sourceDc.get(), 0, 0, SRCINVERT);
    }
  }
  const GdiObject<HBITMAP> colourBitmap(
      CreateDIBitmap(dc, &colour->bmiHeader, CBM_INIT, image.bits, colour, DIB_RGB_COLORS));
  if (colourBitmap.get() != nullptr) {
    const SelectedObject source(sourceDc.get(), colourBitmap.get());
    BitBlt(canvasDc.get(), 0, 0, image.width, image.height, sourceDc.get(), 0, 0,
           maskBitmap.get() != nullptr ? SRCPAINT : SRCCOPY);
  }

  const ViewRect& to = layout.destination;
  StretchBlt(dc, to.left, to.top, to.right - to.left, to.bottom - to.top, canvasDc.get(),
             layout.columns.first, layout.rows.first, layout.columns.count, layout.rows.count,
             SRCCOPY);
}

// Larger images go straight to the pane in two raster passes.
void PaintLargeIcon(const ViewWindow& pane, HDC dc, const RECT& update, const LoadedImage& image,
                    const PaintLayout& layout) {
  FillRect(dc, &update, pane.backgroundBrush.get());
  const ViewRect& to = layout.destination;
  const int width = to.right - to.left;
  const int height = to.bottom - to.top;
  DWORD colourOp = SRCCOPY;
  if (image.maskComplete) {
    const MaskInfo mask = MakeMaskInfo(image, pane.state.backgroundColor);
    StretchDIBits(dc, to.left, to.top, width, height, layout.columns.first,
                  DibSourceRow(image.height, layout.rows), layout.columns.count, layout.rows.count,
                  image.bits + image.bitsSize, reinterpret_cast<const BITMAPINFO*>(&mask),
                  DIB_RGB_COLORS, SRCINVERT);
    colourOp = SRCPAINT;
  }
  const DibRows colour = SourceRows(ColourBitmapInfo(image), image, layout.rows);
  StretchDIBits(dc, to.left, to.top, width, height, layout.columns.first, colour.sourceRow,
                layout.columns.count, layout.rows.count, colour.bits,
                reinterpret_cast<const BITMAPINFO*>(colour.info.data()), DIB_RGB_COLORS, colourOp);
}

// An image with its own alpha is laid over the pane's colour first; the
// visible rows of the result then go out as a DIB of their own, magnified
// like any other image.
void PaintAlphaImage(const ViewWindow& pane, HDC dc, const LoadedImage& image,
                     const PaintLayout& layout) {
  std::vector<uint8_t> pixels;
  const COLORREF back = pane.state.backgroundColor;
  if (!CompositeOver(image, GetRValue(back), GetGValue(back), GetBValue(back), &pixels)) return;
  const BITMAPINFO info = Dib32Info(image.width, layout.rows.count);
  const uint8_t* rows = pixels.data() + static_cast<size_t>(layout.rows.first) * image.width * 4;
  const ViewRect& to = layout.destination;
  StretchDIBits(dc, to.left, to.top, to.right - to.left, to.bottom - to.top, layout.columns.first,
                0, layout.columns.count, layout.rows.count, rows, &info, DIB_RGB_COLORS, SRCCOPY);
}

void PaintFrame(const ViewWindow& pane, HDC dc, const ViewRect& frame) {
  const SelectedObject pen(dc, pane.framePen.get());
  MoveToEx(dc, frame.left, frame.top, nullptr);
  LineTo(dc, frame.right, frame.top);
  LineTo(dc, frame.right, frame.bottom);
  LineTo(dc, frame.left, frame.bottom);
  LineTo(dc, frame.left, frame.top);
}

void SetBar(HWND view, int bar, const AxisScroll& axis) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = axis.maximum;
  info.nPage = static_cast<UINT>(axis.page);
  info.nPos = axis.offset;
  SetScrollInfo(view, bar, &info, TRUE);
}

bool ClientChanged(HWND view, const RECT& before) {
  RECT now{};
  GetClientRect(view, &now);
  return now.right != before.right || now.bottom != before.bottom;
}

void ScrollContents(HWND view, int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  RECT client{};
  GetClientRect(view, &client);
  ScrollWindow(view, dx, dy, nullptr, &client);
}

void MoveImageBy(HWND view, ViewState& viewState, int32_t dx, int32_t dy) {
  if (!viewState.hasImage || !Drawable(viewState.shownImage)) return;
  const int32_t oldX = viewState.scrollX;
  const int32_t oldY = viewState.scrollY;
  viewState.scrollX = DraggedOffset(oldX, 0, dx);
  viewState.scrollY = DraggedOffset(oldY, 0, dy);
  UpdateScrollBars(view);
  ScrollContents(view, oldX - viewState.scrollX, oldY - viewState.scrollY);
}

LRESULT OnCreate(HWND view, ViewWindow& pane) {
  pane.state.backgroundColor = GetSysColor(COLOR_APPWORKSPACE);
  pane.backgroundBrush.reset(CreateSolidBrush(pane.state.backgroundColor));
  pane.framePen.reset(CreatePen(PS_SOLID, 0, GetSysColor(COLOR_BTNFACE)));
  const WindowDc dc(view);
  pane.smallCanvas.reset(CreateCompatibleBitmap(dc.get(), kSmallCanvasSide, kSmallCanvasSide));
  return 0;
}

LRESULT OnSize(HWND view) {
  UpdateScrollBars(view);
  return 0;
}

LRESULT OnPaint(HWND view) {
  const PaintDc paint(view);
  if (paint.get() != nullptr) PaintView(view, paint.get(), paint.update());
  return 0;
}

LRESULT OnScroll(HWND view, ViewState& viewState, int bar, ScrollRequest request) {
  if (!viewState.hasImage || !Drawable(viewState.shownImage)) return 0;
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(view, bar, &info);
  RECT client{};
  GetClientRect(view, &client);
  const bool horizontal = bar == SB_HORZ;
  int32_t& offset = horizontal ? viewState.scrollX : viewState.scrollY;
  const ScrollBarReading reading{info.nMax, static_cast<int32_t>(info.nPage), info.nTrackPos};
  const int32_t old = offset;
  const int32_t next =
      ScrolledOffset(request, old, horizontal ? client.right : client.bottom, reading);
  SetScrollPos(view, bar, next, TRUE);
  offset = next;
  ScrollContents(view, horizontal ? old - next : 0, horizontal ? 0 : old - next);
  return 0;
}

LRESULT OnLButtonDown(ViewState& viewState, LPARAM lParam) {
  const MousePoint at = MousePointOf(static_cast<uint64_t>(lParam));
  viewState.dragX = at.x;
  viewState.dragY = at.y;
  return 0;
}

LRESULT OnMouseMove(HWND view, ViewState& viewState, WPARAM keys, LPARAM lParam) {
  // Only a plain left-button drag moves the image.
  if (keys != MK_LBUTTON) return 0;
  const MousePoint at = MousePointOf(static_cast<uint64_t>(lParam));
  MoveImageBy(view, viewState, at.x - viewState.dragX, at.y - viewState.dragY);
  viewState.dragX = at.x;
  viewState.dragY = at.y;
  return 0;
}

LRESULT OnMouseWheel(HWND view, WPARAM wParam) {
  ZoomBy(view, WheelZoomStep(static_cast<uint64_t>(wParam)));
  return 0;
}

LRESULT CALLBACK ViewWindowProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE && !AttachWindowState<ViewWindow>(view)) return FALSE;
  ViewWindow* pane = PaneOf(view);
  // Messages that come before WM_NCCREATE find no state yet.
  if (pane == nullptr) return DefWindowProcA(view, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      return OnCreate(view, *pane);
    case WM_NCDESTROY:
      // The brush, pen and canvas go with the pane.
      DetachWindowState<ViewWindow>(view);
      return DefWindowProcA(view, message, wParam, lParam);
    case WM_SIZE:
      return OnSize(view);
    case WM_PAINT:
      return OnPaint(view);
    case WM_HSCROLL:
      return OnScroll(view, pane->state, SB_HORZ, ScrollRequestFromCode(LOWORD(wParam)));
    case WM_VSCROLL:
      return OnScroll(view, pane->state, SB_VERT, ScrollRequestFromCode(LOWORD(wParam)));
    case WM_LBUTTONDOWN:
      return OnLButtonDown(pane->state, lParam);
    case WM_MOUSEMOVE:
      return OnMouseMove(view, pane->state, wParam, lParam);
    case WM_MOUSEWHEEL:
      return OnMouseWheel(view, wParam);
    default:
      return DefWindowProcA(view, message, wParam, lParam);
  }
}

}  // namespace

bool RegisterViewClass() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  windowClass.lpfnWndProc = ViewWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(instance, MAKEINTRESOURCEA(IDCUR_OPEN_HAND));
  // A build without the program's resources still gets a pointer.
  if (windowClass.hCursor == nullptr) windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kViewClassName;
  return RegisterClassA(&windowClass) != 0;
}

void ShowImage(HWND view, const LoadedImage* image) {
  ViewWindow* pane = PaneOf(view);
  if (pane == nullptr) return;
  ViewState& viewState = pane->state;
  if (image != nullptr) {
    viewState.shownImage = *image;
    viewState.hasImage = true;
  } else {
    viewState.hasImage = false;
  }
  UpdateScrollBars(view);
  InvalidateRect(view, nullptr, FALSE);
}

void ZoomBy(HWND view, int32_t step) {
  ViewWindow* pane = PaneOf(view);
  if (pane == nullptr) return;
  ViewState& viewState = pane->state;
  if (!viewState.hasImage) return;
  RECT client{};
  GetClientRect(view, &client);
  const LoadedImage& image = viewState.shownImage;
  const bool drawable = Drawable(image);
  ZoomState zoom{viewState.zoom, viewState.scrollX, viewState.scrollY};
  if (!ZoomStep(step, drawable ? image.width : 0, drawable ? image.height : 0, client.right,
                client.bottom, &zoom)) {
    return;
  }
  viewState.zoom = zoom.zoom;
  viewState.scrollX = zoom.scrollX;
  viewState.scrollY = zoom.scrollY;
  UpdateScrollBars(view);
  InvalidateRect(view, nullptr, FALSE);
}

void UpdateScrollBars(HWND view) {
  ViewWindow* pane = PaneOf(view);
  if (pane == nullptr || pane->barNesting >= kMaxBarNesting) return;
  ++pane->barNesting;
  ViewState& viewState = pane->state;
  RECT client{};
  GetClientRect(view, &client);
  if (!viewState.hasImage || !Drawable(viewState.shownImage)) {
    // An empty range hides a bar; the offsets wait for the next image.
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE;
    SetScrollInfo(view, SB_HORZ, &info, TRUE);
    SetScrollInfo(view, SB_VERT, &info, TRUE);
  } else {
    const LoadedImage& image = viewState.shownImage;
    const AxisScroll x = ClampAxis(viewState.zoom, image.width, client.right, viewState.scrollX);
    viewState.scrollX = x.offset;
    SetBar(view, SB_HORZ, x);
    // A bar that appears or vanishes resizes the client, and the size
    // message that brings has set both bars for the new size already.
    if (!ClientChanged(view, client)) {
      const AxisScroll y =
          ClampAxis(viewState.zoom, image.height, client.bottom, viewState.scrollY);
      viewState.scrollY = y.offset;
      SetBar(view, SB_VERT, y);
    }
  }
  --pane->barNesting;
}

void PaintView(HWND view, HDC dc, const RECT& update) {
  const ViewWindow* pane = PaneOf(view);
  if (pane == nullptr) return;
  const ViewState& viewState = pane->state;
  RECT client{};
  GetClientRect(view, &client);
  if (!viewState.hasImage) {
    FillRect(dc, &client, pane->backgroundBrush.get());
    return;
  }
  const LoadedImage& image = viewState.shownImage;
  if (!Drawable(image)) {
    PaintUnsupported(*pane, dc, client);
    return;
  }
  const ViewRect area{update.left, update.top, update.right, update.bottom};
  const PaintLayout layout = LayoutPaint(viewState.zoom, image.width, image.height, client.right,
                                         client.bottom, viewState.scrollX, viewState.scrollY, area);
  for (int32_t i = 0; i < layout.fillCount; ++i) {
    const RECT fill = ToRect(layout.fills[i]);
    FillRect(dc, &fill, pane->backgroundBrush.get());
  }
  const bool iconLike = IsIconLike(image);
  if (layout.columns.count > 0 && layout.rows.count > 0) {
    if (image.alpha) {
      PaintAlphaImage(*pane, dc, image, layout);
    } else if (!iconLike) {
      PaintBitmap(dc, image, layout);
    } else if (image.width <= kSmallCanvasSide && image.height <= kSmallCanvasSide &&
               pane->smallCanvas.get() != nullptr) {
      PaintSmallIcon(*pane, dc, image, layout);
    } else {
      PaintLargeIcon(*pane, dc, update, image, layout);
    }
  }
  if (iconLike) PaintFrame(*pane, dc, layout.frame);
}

const ViewState& CurrentViewState() {
  static const ViewState none;
  const ViewWindow* pane = PaneOf(FindThreadWindow(kViewClassName));
  return pane != nullptr ? pane->state : none;
}
