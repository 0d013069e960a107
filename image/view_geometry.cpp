#include "image/view_geometry.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

int32_t Saturate(int64_t value) {
  constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
  constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::clamp(value, kLow, kHigh));
}

// The image point at the middle of one client side, in image pixels. Only
// the division by the zoom is real; the half client side is an integer.
double CentrePoint(int32_t zoom, int32_t imageSide, int32_t clientSide, int32_t offset) {
  if (static_cast<int64_t>(zoom) * imageSide <= clientSide) return imageSide * 0.5;
  return static_cast<double>(static_cast<int64_t>(offset) + clientSide / 2) / zoom;
}

}  // namespace

bool IsDrawableSize(int32_t width, int32_t height) {
  return width >= 1 && width <= kMaxDrawnSide && height >= 1 && height <= kMaxDrawnSide;
}

int32_t ClientSide(int32_t side) { return side < 0 ? 0 : side; }

AxisScroll ClampAxis(int32_t zoom, int32_t imageSide, int32_t clientSide, int32_t offset) {
  const int64_t client = ClientSide(clientSide);
  const int64_t extent = static_cast<int64_t>(zoom) * imageSide;
  AxisScroll axis{Saturate(extent - 1), static_cast<int32_t>(client), offset};
  if (extent <= client) {
    axis.offset = 0;
  } else {
    int64_t at = offset < 0 ? 0 : offset;
    if (at + client > extent) at = extent - client;
    axis.offset = Saturate(at);
  }
  return axis;
}

int32_t ScrolledOffset(ScrollRequest request, int32_t offset, int32_t clientSide,
                       const ScrollBarReading& bar) {
  const int64_t client = ClientSide(clientSide);
  const int64_t line = client / 10;
  int64_t change = 0;
  switch (request) {
    case ScrollRequest::LineUp:
      change = -line;
      break;
    case ScrollRequest::LineDown:
      change = line;
      break;
    case ScrollRequest::PageUp:
      change = -static_cast<int64_t>(bar.page);
      break;
    case ScrollRequest::PageDown:
      change = bar.page;
      break;
    case ScrollRequest::ThumbTrack:
      change = static_cast<int64_t>(bar.trackPos) - offset;
      break;
    case ScrollRequest::None:
      break;
  }
  int64_t next = offset + change;
  const int64_t last = static_cast<int64_t>(bar.maximum) - client + 1;
  if (next > last) next = last;
  if (next < 0) next = 0;
  return Saturate(next);
}

int32_t DraggedOffset(int32_t offset, int32_t from, int32_t to) {
  return Saturate(static_cast<int64_t>(offset) - (static_cast<int64_t>(to) - from));
}

int32_t WheelZoomStep(uint64_t wParam) {
  const auto delta = static_cast<int16_t>(static_cast<uint16_t>((wParam >> 16) & 0xFFFF));
  return delta / kWheelDelta;
}

bool ZoomStep(int32_t step, int32_t imageWidth, int32_t imageHeight, int32_t clientWidth,
              int32_t clientHeight, ZoomState* state) {
  if (step > 0 && state->zoom >= kMaxZoom) return false;
  if (step < 0 && state->zoom <= kMinZoom) return false;
  const int32_t w = ClientSide(clientWidth);
  const int32_t h = ClientSide(clientHeight);
  const int32_t zoom = std::clamp(state->zoom, kMinZoom, kMaxZoom);
  const int32_t next = static_cast<int32_t>(
      std::clamp<int64_t>(static_cast<int64_t>(zoom) + step, kMinZoom, kMaxZoom));
  if (!IsDrawableSize(imageWidth, imageHeight)) {
    state->zoom = next;
    return true;
  }
  const double centreX = CentrePoint(zoom, imageWidth, w, state->scrollX);
  const double centreY = CentrePoint(zoom, imageHeight, h, state->scrollY);
  state->zoom = next;
  // The centre lies within the magnified image or within a clamped offset
  // of it, so the products stay far inside 64 bits.
  state->scrollX = Saturate(static_cast<int64_t>(centreX * next) - w / 2);
  state->scrollY = Saturate(static_cast<int64_t>(centreY * next) - h / 2);
  return true;
}

AxisLayout LayoutAxis(int32_t zoom, int32_t imageSide, int32_t clientSide, int32_t offset,
                      int32_t updateLow, int32_t updateHigh) {
  zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  imageSide = std::max(imageSide, 0);
  const int64_t client = ClientSide(clientSide);
  const int64_t extent = static_cast<int64_t>(zoom) * imageSide;
  AxisLayout axis{};
  if (extent <= client) {
    axis.fits = true;
    axis.first = 0;
    axis.count = imageSide;
    axis.origin = Saturate((client - extent) / 2);
    return axis;
  }
  axis.fits = false;
  const int64_t first = (static_cast<int64_t>(updateLow) + offset) / zoom;
  const int64_t count = (static_cast<int64_t>(updateHigh) + offset + zoom - 1) / zoom - first + 1;
  // The spare column can lie one past the image's edge, and offsets not yet
  // clamped can point before it: only columns of the image are drawn.
  const int64_t start = std::clamp<int64_t>(first, 0, imageSide);
  const int64_t end = std::clamp<int64_t>(first + count, start, imageSide);
  axis.first = static_cast<int32_t>(start);
  axis.count = static_cast<int32_t>(end - start);
  axis.origin = Saturate(zoom * start - offset);
  return axis;
}

PaintLayout LayoutPaint(int32_t zoom, int32_t imageWidth, int32_t imageHeight, int32_t clientWidth,
                        int32_t clientHeight, int32_t scrollX, int32_t scrollY,
                        const ViewRect& update) {
  const int32_t w = ClientSide(clientWidth);
  const int32_t h = ClientSide(clientHeight);
  PaintLayout layout{};
  layout.columns = LayoutAxis(zoom, imageWidth, w, scrollX, update.left, update.right);
  layout.rows = LayoutAxis(zoom, imageHeight, h, scrollY, update.top, update.bottom);
  const int32_t x0 = layout.columns.origin;
  const int32_t y0 = layout.rows.origin;
  const int32_t x1 = Saturate(x0 + static_cast<int64_t>(zoom) * layout.columns.count);
  const int32_t y1 = Saturate(y0 + static_cast<int64_t>(zoom) * layout.rows.count);
  layout.destination = {x0, y0, x1, y1};

  // Whole strips of the client beside and above/below the image; the paint
  // clips them to what needs drawing.
  auto add = [&layout, w, h](ViewRect r) {
    r.left = std::clamp(r.left, 0, w);
    r.right = std::clamp(r.right, 0, w);
    r.top = std::clamp(r.top, 0, h);
    r.bottom = std::clamp(r.bottom, 0, h);
    layout.fills[layout.fillCount++] = r;
  };
  if (update.left < x0) add({0, 0, x0, h});
  if (update.right > x1) add({x1, 0, w, h});
  if (update.top < y0) add({0, 0, w, y0});
  if (update.bottom > y1) add({0, y1, w, h});

  layout.frame = {x0 - 1, y0 - 1, Saturate(x1 + 1LL), Saturate(y1 + 1LL)};
  return layout;
}

int32_t DibSourceRow(int32_t imageHeight, const AxisLayout& rows) {
  return imageHeight - rows.count - rows.first;
}

void CentredText(int32_t clientWidth, int32_t clientHeight, int32_t textWidth, int32_t textHeight,
                 int32_t* x, int32_t* y) {
  *x = Saturate((static_cast<int64_t>(ClientSide(clientWidth)) - textWidth) / 2);
  *y = Saturate((static_cast<int64_t>(ClientSide(clientHeight)) - textHeight) / 2);
}
