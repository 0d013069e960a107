#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "scan/catalogue.h"

// The Finder: a top-level window owned by the main window that shows the
// catalogue as a grid of 48 x 48 thumbnails, class "FndWnd". Closing it
// only hides it; its state is made and freed with the window.

inline constexpr char kFinderClassName[] = "FndWnd";

struct FinderState {
  // What the last refresh handed over; the Finder reads no other table.
  ImageRecord* catalogue = nullptr;
  int32_t count = 0;
  // When given, cell k shows catalogue[shown[k]]; else catalogue[k].
  const int32_t* shown = nullptr;
  // The main window, whose entry a click selects.
  HWND owner = nullptr;
  // The thumbnail row shown at the top of the client area.
  int32_t topRow = 0;
  // The main window's current entry, framed and kept in view.
  int32_t current = 0;
  // Names the entry under the pointer: one tool whose rectangle is that
  // entry's cell, empty while the pointer is over none.
  HWND tooltip = nullptr;
  int32_t tipEntry = -1;
  std::string tipText;
  // The loader's slot for this window's images over 4096 bytes, apart from
  // the main view's.
  uint8_t* largeBuffer = nullptr;
};

bool RegisterFinderClass(HINSTANCE instance);

// Shows count entries of catalogue from the top row, or from the first row
// that shows the current entry, with the scroll range recomputed and the
// whole client area repainted; owner is the main window, whose entry a click
// selects. With shown, the cells show the count entries it names, by
// catalogue index.
void RefreshFinder(HWND finder, ImageRecord* catalogue, int32_t count, HWND owner,
                   const int32_t* shown = nullptr);

// Makes index the entry framed as current, scrolling the least that
// brings its row into view.
void ShowFinderCurrent(HWND finder, int32_t index);

// Draws the thumbnails of the cells that update reaches into dc: BeginPaint's,
// or a memory context's for a copy, and the current entry's frame. The
// background is left to the caller.
void PaintFinder(HWND finder, HDC dc, const RECT& update);

// The state of this thread's first Finder (an empty one when there is
// none), for the tests to read.
const FinderState& CurrentFinderState();
