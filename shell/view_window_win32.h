#pragma once
#include <windows.h>

#include <cstdint>

#include "image/image_loader.h"

// The pane that shows the current image magnified, class "ViewWnd". The main
// window creates it as a child and hands it each selected image; each pane
// keeps its own state, made and freed with it.

inline constexpr char kViewClassName[] = "ViewWnd";

struct ViewState {
  bool hasImage = false;
  // The pane's own copy; its pointers still refer to the loader's storage.
  LoadedImage shownImage;
  int32_t zoom = 1;
  int32_t scrollX = 0;
  int32_t scrollY = 0;
  int32_t dragX = 0;
  int32_t dragY = 0;
  COLORREF backgroundColor = 0;
};

// Registers "ViewWnd" for this module; false when the system refuses.
bool RegisterViewClass();

// Shows image (a copy of the record is kept) or, given nullptr, nothing.
void ShowImage(HWND view, const LoadedImage* image);

// Zooms in (positive step) or out, keeping the client centre in place.
void ZoomBy(HWND view, int32_t step);

// Sets both scroll bars from the image, zoom and client size and clamps the
// offsets; hides both when nothing drawable is shown.
void UpdateScrollBars(HWND view);

// Draws the pane's update rectangle into dc: BeginPaint's, or a memory
// context's for a copy.
void PaintView(HWND view, HDC dc, const RECT& update);

// The state of this thread's first pane (an empty one when there is none),
// for the tests to read.
const ViewState& CurrentViewState();
