#pragma once
#include <cstdint>
#include <string>

#include "image/view_geometry.h"

// The arithmetic of the Finder's thumbnail grid: cells of 50 pixels in rows
// of as many whole cells as the client width holds, scrolled by whole rows.
// The window procedure measures the client area, calls these and applies
// the results.

inline constexpr int32_t kFinderCellSize = 50;
// The square a thumbnail is fitted into, one pixel in from the cell's left
// and top edges.
inline constexpr int32_t kThumbnailSize = 48;
// The current entry's frame: the cell's free edge pixel and the thumbnail's
// outermost one, so that it shows beside a thumbnail of any colour.
inline constexpr int32_t kFinderFrameWidth = 2;

struct FinderGrid {
  int32_t columns;
  // Whole rows only; a partly visible bottom row is drawn but not counted.
  int32_t visibleRows;
  int32_t rows;
};

// A client area narrower than one cell (also a minimised window) has no
// columns and then no rows: nothing is drawn, hit or scrolled. Negative
// sides count as 0.
FinderGrid ComputeFinderGrid(int32_t clientWidth, int32_t clientHeight, int32_t count);

// The top row kept within the grid: the last row ends no higher than the
// bottom of the last whole visible row, and the top row is never negative.
int32_t ClampFinderTopRow(int32_t topRow, const FinderGrid& grid);

// The top row one scroll-bar request asks for, before clamping. Requests
// other than lines, pages and thumb tracking leave it where it is.
int32_t FinderScrollTarget(ScrollRequest request, int32_t topRow, int32_t visibleRows,
                           int32_t trackPosition);

// The entry under a click at client (x, y), or -1 for the strip right of
// the last whole column and for cells past the last entry.
int32_t FinderHitTest(int32_t x, int32_t y, const FinderGrid& grid, int32_t topRow, int32_t count);

// Where a thumbnail of width x height lands in its cell: fitted into the
// 48 x 48 square keeping its proportions (the shorter side truncated),
// centred in it. A width or height of 0 means the cell stays empty, as it
// does for an image without a positive width and height.
struct ThumbnailFit {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};
ThumbnailFit FitThumbnail(int32_t imageWidth, int32_t imageHeight);

// The cells an update rectangle reaches, as visible rows [firstRow, endRow)
// counted from the top of the client area and columns [firstColumn,
// endColumn). A paint loads exactly the entries of these cells, so that a
// scroll that uncovers one row loads one row.
struct FinderCellRange {
  int32_t firstRow;
  int32_t endRow;
  int32_t firstColumn;
  int32_t endColumn;
};
FinderCellRange FinderCellsToPaint(const FinderGrid& grid, int32_t clientHeight, int32_t updateLeft,
                                   int32_t updateTop, int32_t updateRight, int32_t updateBottom);

// The entry shown in a visible cell, or -1 when the cell lies past the last
// entry.
int32_t FinderCellEntry(const FinderGrid& grid, int32_t topRow, int32_t row, int32_t column,
                        int32_t count);

// Where an entry's cell lies in the client area: false for an entry outside
// the catalogue, without columns, or in a row above the top row.
bool FinderEntryCell(const FinderGrid& grid, int32_t topRow, int32_t entry, int32_t count,
                     int32_t* x, int32_t* y);

// The top row that brings entry's row into view from topRow, moving as
// little as it can: rows already whole in view stay put. With no whole row
// visible the entry's row goes to the top; without columns nothing moves.
int32_t FinderRowShowing(int32_t entry, const FinderGrid& grid, int32_t topRow);

// The entry a row above (step -1) or below (+1) current: the cell straight
// up or down, the last entry when the row below is shorter, and current
// itself from the top row up or from the last row down.
int32_t FinderRowStep(int32_t current, int32_t step, int32_t columns, int32_t count);

// A cell's tooltip: "shell32.dll, #153, 32x32", the position counted from 1
// as the status line counts it; without the size when width or height is 0.
std::string FinderTipText(const char* fileName, int32_t entry, int32_t width, int32_t height);
