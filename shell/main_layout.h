#pragma once

struct LayoutRect {
  int x, y, width, height;
};

// Where the main window's children go in a client area of width x height,
// from top to bottom: toolbar, view, status line, navigation bar, a 14-pixel
// gap, banner, 4 pixels. toolbarHeight, scrollBarHeight (SM_CYHSCROLL) and
// the banner's size are measured by the caller.
struct MainLayout {
  LayoutRect banner;
  LayoutRect view;
  int statusLineTop;
  LayoutRect navigationBar;
};

MainLayout ComputeMainLayout(int width, int height, int toolbarHeight, int scrollBarHeight,
                             int bannerWidth, int bannerHeight, int statusLineHeight);

// The smallest client area in which the toolbar keeps its one row
// (toolbarRowWidth x toolbarRowHeight), the view keeps kMinimumViewHeight
// and the status line, navigation bar and banner lie whole below it, the
// banner inside the left and right edges.
inline constexpr int kMinimumViewHeight = 32;
struct ClientSize {
  int width, height;
};
ClientSize MinimumClientSize(int toolbarRowWidth, int toolbarRowHeight, int scrollBarHeight,
                             int bannerWidth, int bannerHeight, int statusLineHeight);
