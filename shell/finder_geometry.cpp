#include "shell/finder_geometry.h"

#include <algorithm>
#include <climits>

namespace {

int32_t Side(int32_t side) { return side < 0 ? 0 : side; }

// Products and sums of rows, columns and client coordinates are taken in 64
// bits and brought back into the entry range here.
int32_t EntryOrNone(int64_t index, int32_t count) {
  return index >= 0 && index < count ? static_cast<int32_t>(index) : -1;
}

}  // namespace

FinderGrid ComputeFinderGrid(int32_t clientWidth, int32_t clientHeight, int32_t count) {
  FinderGrid grid{};
  grid.columns = Side(clientWidth) / kFinderCellSize;
  grid.visibleRows = Side(clientHeight) / kFinderCellSize;
  if (grid.columns > 0 && count > 0) {
    grid.rows =
        static_cast<int32_t>((static_cast<int64_t>(count) + grid.columns - 1) / grid.columns);
  }
  return grid;
}

int32_t ClampFinderTopRow(int32_t topRow, const FinderGrid& grid) {
  if (static_cast<int64_t>(topRow) + grid.visibleRows >= grid.rows) {
    topRow = grid.rows - grid.visibleRows;
  }
  return topRow < 0 ? 0 : topRow;
}

int32_t FinderScrollTarget(ScrollRequest request, int32_t topRow, int32_t visibleRows,
                           int32_t trackPosition) {
  int64_t target = topRow;
  switch (request) {
    case ScrollRequest::LineUp:
      target -= 1;
      break;
    case ScrollRequest::LineDown:
      target += 1;
      break;
    case ScrollRequest::PageUp:
      target -= visibleRows;
      break;
    case ScrollRequest::PageDown:
      target += visibleRows;
      break;
    case ScrollRequest::ThumbTrack:
      target = trackPosition;
      break;
    case ScrollRequest::None:
      break;
  }
  return static_cast<int32_t>(std::clamp<int64_t>(target, INT32_MIN, INT32_MAX));
}

int32_t FinderHitTest(int32_t x, int32_t y, const FinderGrid& grid, int32_t topRow, int32_t count) {
  if (x < 0 || y < 0) return -1;
  if (static_cast<int64_t>(x) >= static_cast<int64_t>(grid.columns) * kFinderCellSize) return -1;
  const int64_t row = static_cast<int64_t>(topRow) + y / kFinderCellSize;
  return EntryOrNone(row * grid.columns + x / kFinderCellSize, count);
}

ThumbnailFit FitThumbnail(int32_t imageWidth, int32_t imageHeight) {
  if (imageWidth <= 0 || imageHeight <= 0) return ThumbnailFit{1, 1, 0, 0};
  int32_t width = kThumbnailSize;
  int32_t height = kThumbnailSize;
  if (imageWidth > imageHeight) {
    height = static_cast<int32_t>(static_cast<double>(imageHeight) / imageWidth * kThumbnailSize);
  } else {
    width = static_cast<int32_t>(static_cast<double>(imageWidth) / imageHeight * kThumbnailSize);
  }
  return ThumbnailFit{(kThumbnailSize - width) / 2 + 1, (kThumbnailSize - height) / 2 + 1, width,
                      height};
}

FinderCellRange FinderCellsToPaint(const FinderGrid& grid, int32_t clientHeight, int32_t updateLeft,
                                   int32_t updateTop, int32_t updateRight, int32_t updateBottom) {
  FinderCellRange cells{};
  // Rows that show at least one pixel, the partial bottom one included.
  const int32_t shownRows = static_cast<int32_t>(
      (static_cast<int64_t>(Side(clientHeight)) + kFinderCellSize - 1) / kFinderCellSize);
  if (grid.columns <= 0 || updateRight <= updateLeft || updateBottom <= updateTop) return cells;
  cells.firstRow = std::max(updateTop, 0) / kFinderCellSize;
  cells.endRow = static_cast<int32_t>(std::min<int64_t>(
      shownRows, (static_cast<int64_t>(updateBottom) + kFinderCellSize - 1) / kFinderCellSize));
  cells.firstColumn = std::max(updateLeft, 0) / kFinderCellSize;
  cells.endColumn = static_cast<int32_t>(std::min<int64_t>(
      grid.columns, (static_cast<int64_t>(updateRight) + kFinderCellSize - 1) / kFinderCellSize));
  if (cells.endRow < cells.firstRow) cells.endRow = cells.firstRow;
  if (cells.endColumn < cells.firstColumn) cells.endColumn = cells.firstColumn;
  return cells;
}

int32_t FinderCellEntry(const FinderGrid& grid, int32_t topRow, int32_t row, int32_t column,
                        int32_t count) {
  if (column < 0 || column >= grid.columns || row < 0) return -1;
  return EntryOrNone((static_cast<int64_t>(topRow) + row) * grid.columns + column, count);
}

bool FinderEntryCell(const FinderGrid& grid, int32_t topRow, int32_t entry, int32_t count,
                     int32_t* x, int32_t* y) {
  if (grid.columns <= 0 || entry < 0 || entry >= count) return false;
  const int64_t row = static_cast<int64_t>(entry / grid.columns) - topRow;
  const int64_t top = row * kFinderCellSize;
  if (row < 0 || top > INT32_MAX) return false;
  *x = entry % grid.columns * kFinderCellSize;
  *y = static_cast<int32_t>(top);
  return true;
}

int32_t FinderRowShowing(int32_t entry, const FinderGrid& grid, int32_t topRow) {
  if (grid.columns <= 0 || entry < 0) return topRow;
  const int32_t row = entry / grid.columns;
  const int32_t shown = std::max(grid.visibleRows, 1);
  int64_t top = topRow;
  if (row < top) {
    top = row;
  } else if (row >= top + shown) {
    top = static_cast<int64_t>(row) - shown + 1;
  }
  return ClampFinderTopRow(static_cast<int32_t>(top), grid);
}

int32_t FinderRowStep(int32_t current, int32_t step, int32_t columns, int32_t count) {
  if (columns <= 0 || count <= 0 || current < 0 || current >= count) return current;
  const int64_t target = static_cast<int64_t>(current) + static_cast<int64_t>(step) * columns;
  if (target < 0 || target / columns > (count - 1) / columns) return current;
  return static_cast<int32_t>(std::min<int64_t>(target, count - 1));
}

std::string FinderTipText(const char* fileName, int32_t entry, int32_t width, int32_t height) {
  std::string text = std::string(fileName) + ", #" + std::to_string(int64_t{entry} + 1);
  if (width > 0 && height > 0) text += ", " + std::to_string(width) + "x" + std::to_string(height);
  return text;
}
