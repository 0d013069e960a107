#include "shell/main_layout.h"

namespace {
constexpr int kGapAboveBanner = 14;
constexpr int kMarginBelowBanner = 4;
// Gap, margin and the navigation bar's own two scroll-bar heights lie
// between the status line and the bottom edge.
constexpr int kFixedBelowStatus = kGapAboveBanner + kMarginBelowBanner;
}  // namespace

MainLayout ComputeMainLayout(int width, int height, int toolbarHeight, int scrollBarHeight,
                             int bannerWidth, int bannerHeight, int statusLineHeight) {
  MainLayout layout;
  // C++ division truncates toward zero, as the banner's centring wants.
  layout.banner = {(width - bannerWidth) / 2 - kMarginBelowBanner,
                   height - bannerHeight - kMarginBelowBanner, bannerWidth, bannerHeight};
  int belowView = statusLineHeight + 2 * scrollBarHeight + bannerHeight + kFixedBelowStatus;
  int viewHeight = height - toolbarHeight - belowView;
  // A client area too small for the fixed parts leaves no room for the view;
  // a negative size would be refused by the window manager.
  layout.view = {0, toolbarHeight, width < 0 ? 0 : width, viewHeight < 0 ? 0 : viewHeight};
  layout.statusLineTop = height - belowView;
  layout.navigationBar = {0, height - 2 * scrollBarHeight - bannerHeight - kFixedBelowStatus,
                          width < 0 ? 0 : width, 2 * scrollBarHeight};
  return layout;
}

ClientSize MinimumClientSize(int toolbarRowWidth, int toolbarRowHeight, int scrollBarHeight,
                             int bannerWidth, int bannerHeight, int statusLineHeight) {
  // The banner's left edge, (W - BW) / 2 - 4, is not negative from here on.
  int bannerRoom = bannerWidth + 2 * kMarginBelowBanner;
  int width = toolbarRowWidth > bannerRoom ? toolbarRowWidth : bannerRoom;
  int belowView = statusLineHeight + 2 * scrollBarHeight + bannerHeight + kFixedBelowStatus;
  return {width, toolbarRowHeight + kMinimumViewHeight + belowView};
}
