#pragma once
#include <cstdint>

// Everything the view pane computes: scroll ranges and offsets, zoom steps,
// and which part of the image one paint draws where. The window procedure
// only measures the client area, calls these and applies the results.
//
// Offsets are client pixels into the magnified image. Every product or sum
// of image sizes is taken in 64 bits and results are saturated to 32 bits,
// so stale or hostile values cannot wrap.

inline constexpr int32_t kMinZoom = 1;
inline constexpr int32_t kMaxZoom = 15;
// One wheel notch.
inline constexpr int32_t kWheelDelta = 120;
// Icons and cursors up to this side are composed once in a fixed canvas and
// stretched in one call.
inline constexpr int32_t kSmallCanvasSide = 64;
// Larger sides are not drawn: the largest magnified side, 15 * 32767, stays
// far inside the coordinates GDI accepts, and no resource image is anywhere
// near this size.
inline constexpr int32_t kMaxDrawnSide = 32767;

struct ViewRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// An image the pane can magnify: both sides 1 to kMaxDrawnSide. Anything
// else is shown like an unusable image.
bool IsDrawableSize(int32_t width, int32_t height);

// A client side as a usable length: a negative one counts as 0.
int32_t ClientSide(int32_t side);

// One scroll bar: range 0..maximum, page and position.
struct AxisScroll {
  int32_t maximum;
  int32_t page;
  int32_t offset;
};

// The bar of one direction and the offset clamped to it: 0 when zoom *
// imageSide fits the client side, else kept within 0..zoom * imageSide -
// clientSide.
AxisScroll ClampAxis(int32_t zoom, int32_t imageSide, int32_t clientSide, int32_t offset);

// What one scroll-bar request asks for, as the view and the Finder take it
// (ui/scroll_request.h reads it from the system's request code).
enum class ScrollRequest { None, LineUp, LineDown, PageUp, PageDown, ThumbTrack };

// What a scroll bar reports of itself when a request arrives.
struct ScrollBarReading {
  int32_t maximum;
  int32_t page;
  int32_t trackPos;
};

// The offset after one scroll-bar request: a line is a tenth of the client
// side, a page the bar's page; the result stays within 0..maximum -
// clientSide + 1.
int32_t ScrolledOffset(ScrollRequest request, int32_t offset, int32_t clientSide,
                       const ScrollBarReading& bar);

// The offset after the image was dragged from one mouse position to
// another (before clamping).
int32_t DraggedOffset(int32_t offset, int32_t from, int32_t to);

// The zoom step of a wheel message: its signed delta over 120, truncated.
int32_t WheelZoomStep(uint64_t wParam);

struct ZoomState {
  int32_t zoom;
  int32_t scrollX;
  int32_t scrollY;
};

// Changes the zoom by step keeping the image point at the client centre in
// place; the offsets are left for the scroll bars to clamp. False, with
// nothing changed, when the step cannot move the zoom (positive at the
// maximum, negative at the minimum). An image that cannot be drawn only
// changes its zoom.
bool ZoomStep(int32_t step, int32_t imageWidth, int32_t imageHeight, int32_t clientWidth,
              int32_t clientHeight, ZoomState* state);

// One direction of a paint.
struct AxisLayout {
  bool fits;
  // The image columns (rows) drawn: first, count; count can be 0.
  int32_t first;
  int32_t count;
  // Client position of the first one's left (top) edge.
  int32_t origin;
};

// A direction whose magnified image fits is centred and drawn whole; a
// scrolled one draws only the columns that reach into the update span
// [updateLow, updateHigh) plus one, never past the image's edge.
AxisLayout LayoutAxis(int32_t zoom, int32_t imageSide, int32_t clientSide, int32_t offset,
                      int32_t updateLow, int32_t updateHigh);

struct PaintLayout {
  AxisLayout columns;
  AxisLayout rows;
  // Where the drawn columns and rows land, zoom times their count.
  ViewRect destination;
  // Background around the destination that the update rectangle reaches.
  ViewRect fills[4];
  int32_t fillCount;
  // The frame of an icon or cursor: lines at left and top touch the image,
  // one background pixel lies before the lines at right and bottom.
  ViewRect frame;
};

PaintLayout LayoutPaint(int32_t zoom, int32_t imageWidth, int32_t imageHeight, int32_t clientWidth,
                        int32_t clientHeight, int32_t scrollX, int32_t scrollY,
                        const ViewRect& update);

// The first source row of a DIB, counted from the bottom row. GDI counts a
// source rectangle so whichever way the DIB stores its rows.
int32_t DibSourceRow(int32_t imageHeight, const AxisLayout& rows);

// Top-left corner of a text of the given extent centred in the client.
void CentredText(int32_t clientWidth, int32_t clientHeight, int32_t textWidth, int32_t textHeight,
                 int32_t* x, int32_t* y);
