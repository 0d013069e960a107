#pragma once
#include <vector>

#include "res/resgen/image_files.h"
#include "res/resgen/raster.h"

// Sizes the program relies on when it loads these pictures.
inline constexpr int kToolbarImageCount = 9;
inline constexpr int kToolbarImageSize = 20;
inline constexpr int kBannerWidth = 350;
inline constexpr int kBannerHeight = 40;
inline constexpr int kCursorSize = 32;
inline constexpr int kOpenHandHotspotX = 11;
inline constexpr int kOpenHandHotspotY = 11;
inline constexpr int kHandPointerHotspotX = 6;
inline constexpr int kHandPointerHotspotY = 2;
inline constexpr int kFolderIconSize = 16;

// The nine 20 x 20 button images side by side in button-table order: open
// files, open directory, save, Finder, zoom in, zoom out, sort large to
// small, sort small to large, don't sort. 16 colours on the silver that the
// toolbar replaces with the button face.
IndexedImage MakeToolbarStrip();
// One button image alone, 0 to 8, on the same palette.
IndexedImage MakeToolbarImage(int index);

// 350 x 40, at most 256 colours, with the program's name.
IndexedImage MakeBanner();

// The program icon, 32 x 32 and 16 x 16, 16 colours.
std::vector<IconFileEntry> MakeAppIcon();

// Monochrome 32 x 32 cursors: the view's open hand and the banner's
// pointing hand, with their hotspots.
IconFileEntry MakeOpenHandCursor();
IconFileEntry MakeHandPointerCursor();

// The directory chooser's folder pictures, 16 x 16, 16 colours.
IconFileEntry MakeOpenFolderIcon();
IconFileEntry MakeClosedFolderIcon();
