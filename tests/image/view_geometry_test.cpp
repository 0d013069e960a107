#include "image/view_geometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();

ViewRect Whole(int32_t w, int32_t h) { return ViewRect{0, 0, w, h}; }

void ExpectRect(const ViewRect& r, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  EXPECT_EQ(r.left, left);
  EXPECT_EQ(r.top, top);
  EXPECT_EQ(r.right, right);
  EXPECT_EQ(r.bottom, bottom);
}

TEST(ViewGeometry, SmallBitmapIsCentredWithFourMargins) {
  // 100 x 80 at zoom 1 in 400 x 300.
  const PaintLayout p = LayoutPaint(1, 100, 80, 400, 300, 0, 0, Whole(400, 300));
  EXPECT_TRUE(p.columns.fits);
  EXPECT_TRUE(p.rows.fits);
  ExpectRect(p.destination, 150, 110, 250, 190);
  EXPECT_EQ(p.columns.first, 0);
  EXPECT_EQ(p.columns.count, 100);
  EXPECT_EQ(p.rows.first, 0);
  EXPECT_EQ(p.rows.count, 80);
  ASSERT_EQ(p.fillCount, 4);
  ExpectRect(p.fills[0], 0, 0, 150, 300);
  ExpectRect(p.fills[1], 250, 0, 400, 300);
  ExpectRect(p.fills[2], 0, 0, 400, 110);
  ExpectRect(p.fills[3], 0, 190, 400, 300);

  // Both bars get a page larger than their range, which hides them.
  const AxisScroll x = ClampAxis(1, 100, 400, 35);
  const AxisScroll y = ClampAxis(1, 80, 300, -7);
  EXPECT_EQ(x.maximum, 99);
  EXPECT_EQ(x.page, 400);
  EXPECT_EQ(x.offset, 0);
  EXPECT_EQ(y.maximum, 79);
  EXPECT_EQ(y.offset, 0);
}

TEST(ViewGeometry, MarginsOnlyWhereTheUpdateReaches) {
  // An update in the top-left corner needs the left and top strips only;
  // one past the image's right edge needs the right strip.
  PaintLayout p = LayoutPaint(1, 100, 80, 400, 300, 0, 0, ViewRect{0, 0, 10, 10});
  ASSERT_EQ(p.fillCount, 2);
  ExpectRect(p.fills[0], 0, 0, 150, 300);
  ExpectRect(p.fills[1], 0, 0, 400, 110);

  p = LayoutPaint(1, 100, 80, 400, 300, 0, 0, ViewRect{150, 110, 250, 190});
  EXPECT_EQ(p.fillCount, 0);
  p = LayoutPaint(1, 100, 80, 400, 300, 0, 0, ViewRect{150, 110, 251, 190});
  ASSERT_EQ(p.fillCount, 1);
  ExpectRect(p.fills[0], 250, 0, 400, 300);
}

TEST(ViewGeometry, ZoomKeepsTheCentrePoint) {
  // 100 x 80 at zoom 4 in 400 x 300: 400 wide fits, 320 high scrolls.
  ZoomState s{4, 0, 10};
  ASSERT_TRUE(ZoomStep(1, 100, 80, 400, 300, &s));
  EXPECT_EQ(s.zoom, 5);
  // Image point (50, 40) stays at the client centre (200, 150).
  EXPECT_EQ(s.scrollX, 50);
  EXPECT_EQ(s.scrollY, 50);
  const AxisScroll x = ClampAxis(s.zoom, 100, 400, s.scrollX);
  const AxisScroll y = ClampAxis(s.zoom, 80, 300, s.scrollY);
  EXPECT_EQ(x.maximum, 499);
  EXPECT_EQ(x.page, 400);
  EXPECT_EQ(x.offset, 50);
  EXPECT_EQ(y.maximum, 399);
  EXPECT_EQ(y.page, 300);
  EXPECT_EQ(y.offset, 50);
}

TEST(ViewGeometry, ZoomCentreIsRealAndTruncated) {
  // 301 x 301 at zoom 2 in 401 x 401 scrolled by 1: centre (1 + 200) / 2 =
  // 100.5, which an integer division would make 100. At zoom 3: 301.5
  // truncates to 301, minus 200.
  ZoomState s{2, 1, 1};
  ASSERT_TRUE(ZoomStep(1, 301, 301, 401, 401, &s));
  EXPECT_EQ(s.scrollX, 101);
  EXPECT_EQ(s.scrollY, 101);
  // Zooming out: a centre of 10.5 at zoom 2 gives 21 - 5 = 16 with a
  // client of 11 (half of it 5, an integer).
  s = ZoomState{3, 27, 0};
  ASSERT_TRUE(ZoomStep(-1, 20, 3, 11, 100, &s));
  EXPECT_EQ(s.zoom, 2);
  // (27 + 5) / 3 = 10.67 -> 21.33 -> 21 - 5.
  EXPECT_EQ(s.scrollX, 16);
  // The height fits: its centre is 1.5, at zoom 2 3 - 50.
  EXPECT_EQ(s.scrollY, -47);
  EXPECT_EQ(ClampAxis(2, 3, 100, s.scrollY).offset, 0);
}

TEST(ViewGeometry, ZoomLimits) {
  ZoomState s{15, 3, 4};
  EXPECT_FALSE(ZoomStep(1, 100, 80, 400, 300, &s));
  EXPECT_EQ(s.zoom, 15);
  EXPECT_EQ(s.scrollX, 3);
  EXPECT_EQ(s.scrollY, 4);
  s = ZoomState{1, 3, 4};
  EXPECT_FALSE(ZoomStep(-1, 100, 80, 400, 300, &s));
  EXPECT_EQ(s.zoom, 1);
  EXPECT_EQ(s.scrollX, 3);

  s = ZoomState{14, 0, 0};
  ASSERT_TRUE(ZoomStep(3, 100, 80, 400, 300, &s));
  EXPECT_EQ(s.zoom, 15);
  s = ZoomState{2, 0, 0};
  ASSERT_TRUE(ZoomStep(-40, 100, 80, 400, 300, &s));
  EXPECT_EQ(s.zoom, 1);
  s = ZoomState{2, 0, 0};
  ASSERT_TRUE(ZoomStep(kIntMax, 100, 80, 400, 300, &s));
  EXPECT_EQ(s.zoom, 15);
  s = ZoomState{2, 0, 0};
  ASSERT_TRUE(ZoomStep(std::numeric_limits<int32_t>::min(), 100, 80, 400, 300, &s));
  EXPECT_EQ(s.zoom, 1);
}

TEST(ViewGeometry, WheelSteps) {
  auto wheel = [](int16_t delta, uint16_t keys) {
    return (static_cast<uint64_t>(static_cast<uint16_t>(delta)) << 16) | keys;
  };
  EXPECT_EQ(WheelZoomStep(wheel(-120, 0)), -1);
  EXPECT_EQ(WheelZoomStep(wheel(120, 0)), 1);
  EXPECT_EQ(WheelZoomStep(wheel(360, 0x0008)), 3);
  EXPECT_EQ(WheelZoomStep(wheel(60, 0)), 0);
  EXPECT_EQ(WheelZoomStep(wheel(-119, 0)), 0);
  EXPECT_EQ(WheelZoomStep(wheel(-239, 0)), -1);
  EXPECT_EQ(WheelZoomStep(wheel(-32768, 0xFFFF)), -273);
  // Bits above the 32-bit parameter are no part of it.
  EXPECT_EQ(WheelZoomStep(wheel(240, 0) | 0xABCD000000000000ULL), 2);

  // A step of 0 keeps the zoom but recomputes the offsets.
  ZoomState s{4, 402, 9};
  ASSERT_TRUE(ZoomStep(0, 200, 50, 300, 300, &s));
  EXPECT_EQ(s.zoom, 4);
  // (402 + 150) / 4 = 138 -> 552 - 150; the height fits: 25 * 4 - 150.
  EXPECT_EQ(s.scrollX, 402);
  EXPECT_EQ(s.scrollY, -50);
}

TEST(ViewGeometry, IconFrameAtZoomTen) {
  // 32 x 32 at zoom 10 in 400 x 400.
  const PaintLayout p = LayoutPaint(10, 32, 32, 400, 400, 0, 0, Whole(400, 400));
  ExpectRect(p.destination, 40, 40, 360, 360);
  ExpectRect(p.frame, 39, 39, 361, 361);
}

TEST(ViewGeometry, LineAndPageScrolls) {
  // A line is a tenth of the client side.
  const ScrollBarReading wide{999, 500, 0};
  EXPECT_EQ(ScrolledOffset(ScrollRequest::LineDown, 0, 500, wide), 50);
  EXPECT_EQ(ScrolledOffset(ScrollRequest::LineUp, 120, 500, wide), 70);
  EXPECT_EQ(ScrolledOffset(ScrollRequest::LineUp, 20, 500, wide), 0);
  const ScrollBarReading tall{999, 300, 0};
  EXPECT_EQ(ScrolledOffset(ScrollRequest::LineDown, 0, 300, tall), 30);
  EXPECT_EQ(ScrolledOffset(ScrollRequest::LineDown, 0, 9, tall), 0);

  // 100 x 80 at zoom 5 in 300 high: the last offset is 399 - 300 + 1.
  const ScrollBarReading bar{399, 300, 0};
  EXPECT_EQ(ScrolledOffset(ScrollRequest::PageDown, 100, 300, bar), 100);
  EXPECT_EQ(ScrolledOffset(ScrollRequest::PageDown, 50, 300, bar), 100);
  EXPECT_EQ(ScrolledOffset(ScrollRequest::PageDown, 0, 300, ScrollBarReading{999, 300, 0}), 300);
  EXPECT_EQ(ScrolledOffset(ScrollRequest::PageUp, 100, 300, bar), 0);
  EXPECT_EQ(ScrolledOffset(ScrollRequest::LineDown, 99, 300, bar), 100);
}

TEST(ViewGeometry, ThumbRequests) {
  EXPECT_EQ(ScrolledOffset(ScrollRequest::ThumbTrack, 10, 300, ScrollBarReading{399, 300, 73}), 73);
  EXPECT_EQ(ScrolledOffset(ScrollRequest::ThumbTrack, 10, 300, ScrollBarReading{399, 300, 0}), 0);
  EXPECT_EQ(ScrolledOffset(ScrollRequest::ThumbTrack, 10, 300, ScrollBarReading{399, 300, 250}),
            100);
  // Thumb position, top, bottom and end-scroll ask for nothing.
  EXPECT_EQ(ScrolledOffset(ScrollRequest::None, 42, 300, ScrollBarReading{399, 300, 73}), 42);
}

TEST(ViewGeometry, SmallerImageClampsOffsets) {
  // A 100-wide image at zoom 5 scrolled to its end in 400...
  EXPECT_EQ(ClampAxis(5, 100, 400, 100).offset, 100);
  EXPECT_EQ(ClampAxis(5, 100, 400, 101).offset, 100);
  // ...then one of 90 (450 wide) clamps to 50, one of 80 (400) to 0.
  EXPECT_EQ(ClampAxis(5, 90, 400, 100).offset, 50);
  EXPECT_EQ(ClampAxis(5, 80, 400, 100).offset, 0);
  EXPECT_EQ(ClampAxis(5, 81, 400, -3).offset, 0);
  EXPECT_EQ(ClampAxis(5, 81, 400, 3).offset, 3);
  EXPECT_EQ(ClampAxis(5, 81, 400, 6).offset, 5);
}

TEST(ViewGeometry, ScrolledAxisDrawsOnlyTheUpdateSpan) {
  // Zoom 3, 200 columns (600 pixels), 400 client, offset 100: columns 33
  // onwards, the first starting one pixel left of the client.
  AxisLayout a = LayoutAxis(3, 200, 400, 100, 0, 400);
  EXPECT_FALSE(a.fits);
  EXPECT_EQ(a.first, 33);
  EXPECT_EQ(a.count, 135);
  EXPECT_EQ(a.origin, -1);
  // A strip exposed at the right edge.
  a = LayoutAxis(3, 200, 400, 100, 380, 400);
  EXPECT_EQ(a.first, 160);
  EXPECT_EQ(a.count, 8);
  EXPECT_EQ(a.origin, 380);

  // At the end of the range the spare column would be one past the image.
  a = LayoutAxis(1, 500, 400, 100, 0, 400);
  EXPECT_EQ(a.first, 100);
  EXPECT_EQ(a.count, 400);
  EXPECT_EQ(a.origin, 0);
  a = LayoutAxis(2, 500, 400, 600, 399, 400);
  EXPECT_EQ(a.first, 499);
  EXPECT_EQ(a.count, 1);
  EXPECT_EQ(a.origin, 398);
}

TEST(ViewGeometry, UnclampedOffsetsLeaveNoHoles) {
  // An offset before the image draws from column 0 and fills what is left.
  const PaintLayout p = LayoutPaint(1, 500, 500, 400, 300, -20, 0, Whole(400, 300));
  EXPECT_EQ(p.columns.first, 0);
  EXPECT_EQ(p.columns.origin, 20);
  ASSERT_EQ(p.fillCount, 1);
  ExpectRect(p.fills[0], 0, 0, 20, 300);
  // One past the end draws nothing but background.
  const PaintLayout q = LayoutPaint(1, 500, 500, 400, 300, 600, 0, Whole(400, 300));
  EXPECT_EQ(q.columns.count, 0);
  ASSERT_EQ(q.fillCount, 1);
  ExpectRect(q.fills[0], 0, 0, 400, 300);
}

TEST(ViewGeometry, DibRowsCountFromTheBottom) {
  AxisLayout rows{false, 10, 30, 0};
  EXPECT_EQ(DibSourceRow(80, rows), 40);
  rows = AxisLayout{false, 50, 30, 0};
  EXPECT_EQ(DibSourceRow(80, rows), 0);
  rows = AxisLayout{true, 0, 80, 5};
  EXPECT_EQ(DibSourceRow(80, rows), 0);
}

TEST(ViewGeometry, DragOffsets) {
  EXPECT_EQ(DraggedOffset(50, 100, 130), 20);
  EXPECT_EQ(DraggedOffset(50, 100, 70), 80);
  EXPECT_EQ(DraggedOffset(kIntMax, 65535, 0), kIntMax);
}

TEST(ViewGeometry, SizesTheViewCannotAddress) {
  EXPECT_TRUE(IsDrawableSize(1, 1));
  EXPECT_TRUE(IsDrawableSize(kMaxDrawnSide, kMaxDrawnSide));
  EXPECT_FALSE(IsDrawableSize(kMaxDrawnSide + 1, 1));
  EXPECT_FALSE(IsDrawableSize(1, kMaxDrawnSide + 1));
  EXPECT_FALSE(IsDrawableSize(0, 10));
  EXPECT_FALSE(IsDrawableSize(10, 0));
  EXPECT_FALSE(IsDrawableSize(-1, 10));
  EXPECT_FALSE(IsDrawableSize(kIntMax, 1));

  // The largest drawable image at the largest zoom stays exact.
  const AxisScroll big = ClampAxis(kMaxZoom, kMaxDrawnSide, 400, kIntMax);
  EXPECT_EQ(big.maximum, 15 * 32767 - 1);
  EXPECT_EQ(big.offset, 15 * 32767 - 400);
  // Hostile sizes saturate instead of wrapping.
  const AxisScroll huge = ClampAxis(kMaxZoom, kIntMax, 400, 5);
  EXPECT_EQ(huge.maximum, kIntMax);
  EXPECT_EQ(huge.offset, 5);
  // An image that cannot be drawn only changes the zoom.
  ZoomState s{3, 17, 19};
  ASSERT_TRUE(ZoomStep(1, kIntMax, 1, 400, 300, &s));
  EXPECT_EQ(s.zoom, 4);
  EXPECT_EQ(s.scrollX, 17);
  EXPECT_EQ(s.scrollY, 19);
}

TEST(ViewGeometry, EmptyAndNegativeClients) {
  EXPECT_EQ(ClientSide(-5), 0);
  // Nothing fits a client of no width; the page is 0 and the offset stays in range.
  AxisScroll a = ClampAxis(1, 100, -5, 7);
  EXPECT_EQ(a.page, 0);
  EXPECT_EQ(a.offset, 7);
  a = ClampAxis(1, 100, 0, 150);
  EXPECT_EQ(a.offset, 100);
  EXPECT_EQ(ScrolledOffset(ScrollRequest::LineDown, 5, -10, ScrollBarReading{99, 0, 0}), 5);
  // Centre (4, 6) with no client half to subtract.
  ZoomState s{1, 4, 6};
  ASSERT_TRUE(ZoomStep(1, 10, 10, -3, 0, &s));
  EXPECT_EQ(s.scrollX, 8);
  EXPECT_EQ(s.scrollY, 12);
  const PaintLayout p = LayoutPaint(1, 10, 10, 0, -1, 0, 0, ViewRect{0, 0, 0, 0});
  EXPECT_LE(p.columns.count, 10);
  EXPECT_LE(p.rows.count, 10);
  EXPECT_GE(p.columns.first, 0);
}

TEST(ViewGeometry, LabelIsCentred) {
  int32_t x = 0;
  int32_t y = 0;
  CentredText(400, 300, 200, 16, &x, &y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 142);
  CentredText(101, 11, 200, 16, &x, &y);
  EXPECT_EQ(x, -49);
  EXPECT_EQ(y, -2);
}

}  // namespace
