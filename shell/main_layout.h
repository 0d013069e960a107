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
