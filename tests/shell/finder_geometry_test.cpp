#include "shell/finder_geometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

#include "ui/mouse_point.h"
#include "ui/scroll_request.h"

TEST(FinderGrid, ColumnsRowsAndWholeVisibleRows) {
  FinderGrid g = ComputeFinderGrid(150, 120, 7);
  EXPECT_EQ(g.columns, 3);
  EXPECT_EQ(g.visibleRows, 2);  // the third row shows only in part
  EXPECT_EQ(g.rows, 3);         // 3, 3 and 1
  g = ComputeFinderGrid(199, 100, 8);
  EXPECT_EQ(g.columns, 3);
  EXPECT_EQ(g.rows, 3);
  g = ComputeFinderGrid(200, 100, 8);
  EXPECT_EQ(g.columns, 4);
  EXPECT_EQ(g.rows, 2);
  EXPECT_EQ(ComputeFinderGrid(200, 100, 0).rows, 0);
  EXPECT_EQ(ComputeFinderGrid(50, 49, 20000).rows, 20000);
  EXPECT_EQ(ComputeFinderGrid(50, 49, 20000).visibleRows, 0);
}

TEST(FinderGrid, NarrowerThanOneCellHasNoColumnsAndNoRows) {
  // Also what a minimised window reports: a client area of 0 x 0.
  for (int32_t width : {0, 1, 49, -5}) {
    const FinderGrid g = ComputeFinderGrid(width, 600, 20000);
    EXPECT_EQ(g.columns, 0) << width;
    EXPECT_EQ(g.rows, 0) << width;
    EXPECT_EQ(ClampFinderTopRow(40, g), 0) << width;
    EXPECT_EQ(FinderRowShowing(900, g, 40), 40) << width;
    EXPECT_EQ(FinderRowStep(5, 1, g.columns, 20000), 5) << width;
    EXPECT_EQ(FinderHitTest(0, 0, g, 0, 20000), -1) << width;
    const FinderCellRange cells = FinderCellsToPaint(g, 600, 0, 0, 49, 600);
    EXPECT_EQ(cells.endColumn - cells.firstColumn, 0) << width;
  }
  EXPECT_EQ(ComputeFinderGrid(0, 0, 5).visibleRows, 0);
}

TEST(FinderTopRow, ClampedSoThatTheLastRowEndsAtTheBottom) {
  // 20 entries in 2 columns: 10 rows, 4 whole ones visible.
  FinderGrid g = ComputeFinderGrid(100, 230, 20);
  ASSERT_EQ(g.rows, 10);
  ASSERT_EQ(g.visibleRows, 4);
  EXPECT_EQ(ClampFinderTopRow(6, g), 6);
  EXPECT_EQ(ClampFinderTopRow(7, g), 6);
  EXPECT_EQ(ClampFinderTopRow(-1, g), 0);
  EXPECT_EQ(ClampFinderTopRow(INT32_MAX, g), 6);
  // The least scroll that brings an entry's row whole into view.
  EXPECT_EQ(FinderRowShowing(9, g, 0), 1);
  EXPECT_EQ(FinderRowShowing(19, g, 0), 6);
  EXPECT_EQ(FinderRowShowing(2, g, 3), 1);
  EXPECT_EQ(FinderRowShowing(8, g, 1), 1);  // already on the last whole row
  EXPECT_EQ(FinderRowShowing(25, g, 0), 6);
  EXPECT_EQ(FinderRowShowing(9, ComputeFinderGrid(100, 40, 20), 0), 4);  // no whole row
  // Wider: 4 columns, 5 rows, so the top row is pulled back to 1 and no
  // whole empty row shows below the last one while a row is hidden above.
  g = ComputeFinderGrid(200, 230, 20);
  EXPECT_EQ(ClampFinderTopRow(6, g), 1);
  // All rows fit: the top row is 0.
  g = ComputeFinderGrid(500, 230, 20);
  EXPECT_EQ(ClampFinderTopRow(6, g), 0);
}

TEST(FinderTopRow, ScrollRequestsMoveByRowsAndPages) {
  // By the scroll bar's request code: line up, line down, page up, page
  // down, thumb position, thumb track, top, bottom, end of scrolling, and
  // codes no bar sends. Only lines, pages and the track move the row.
  const struct {
    int32_t code;
    int32_t target;
  } cases[] = {{0, 4}, {1, 6}, {2, 1}, {3, 9},  {4, 5}, {5, 17},
               {6, 5}, {7, 5}, {8, 5}, {-1, 5}, {99, 5}};
  for (const auto& c : cases) {
    EXPECT_EQ(FinderScrollTarget(ScrollRequestFromCode(c.code), 5, 4, 17), c.target) << c.code;
  }
  EXPECT_EQ(FinderScrollTarget(ScrollRequest::LineDown, INT32_MAX, 4, 0), INT32_MAX);
}

TEST(MousePoints, SignedWordsOfTheParameter) {
  // A screen position left of and above the primary monitor is negative;
  // bits above the 32-bit parameter are no part of it.
  const struct {
    uint64_t lParam;
    int32_t x;
    int32_t y;
  } cases[] = {{0xFFFF0005u, 5, -1}, {0x1234567800020003ULL, 3, 2}, {0x7FFF8000u, -32768, 32767}};
  for (const auto& c : cases) {
    const MousePoint at = MousePointOf(c.lParam);
    EXPECT_EQ(at.x, c.x) << c.lParam;
    EXPECT_EQ(at.y, c.y) << c.lParam;
  }
}

TEST(FinderHit, CellsStripAndEmptyCells) {
  // 7 entries in 3 columns: rows of 3, 3 and 1.
  const FinderGrid g = ComputeFinderGrid(170, 150, 7);
  ASSERT_EQ(g.columns, 3);
  EXPECT_EQ(FinderHitTest(0, 0, g, 0, 7), 0);
  EXPECT_EQ(FinderHitTest(49, 49, g, 0, 7), 0);
  EXPECT_EQ(FinderHitTest(50, 49, g, 0, 7), 1);
  EXPECT_EQ(FinderHitTest(149, 50, g, 0, 7), 5);
  EXPECT_EQ(FinderHitTest(10, 100, g, 0, 7), 6);
  // The two empty cells of the last row, the row below, and the strip right
  // of the third column.
  EXPECT_EQ(FinderHitTest(60, 100, g, 0, 7), -1);
  EXPECT_EQ(FinderHitTest(110, 149, g, 0, 7), -1);
  EXPECT_EQ(FinderHitTest(10, 150, g, 0, 7), -1);
  EXPECT_EQ(FinderHitTest(150, 10, g, 0, 7), -1);
  EXPECT_EQ(FinderHitTest(169, 10, g, 0, 7), -1);
  // Scrolled down one row, the top cell is entry 3.
  EXPECT_EQ(FinderHitTest(0, 0, g, 1, 7), 3);
  EXPECT_EQ(FinderHitTest(0, 65535, g, 1, 7), -1);
  // A row up or down; Down into the shorter last row stops at its entry.
  const int32_t steps[][3] = {{4, -1, 1}, {1, -1, 1}, {4, 1, 6}, {3, 1, 6}, {6, 1, 6}, {6, -1, 3}};
  for (const auto& s : steps) EXPECT_EQ(FinderRowStep(s[0], s[1], 3, 7), s[2]) << s[0] << s[1];
}

TEST(FinderThumbnail, FittedByAspectAndCentred) {
  auto fit = [](int32_t w, int32_t h) {
    const ThumbnailFit f = FitThumbnail(w, h);
    return std::vector<int32_t>{f.x, f.y, f.width, f.height};
  };
  EXPECT_EQ(fit(32, 32), (std::vector<int32_t>{1, 1, 48, 48}));
  EXPECT_EQ(fit(16, 16), (std::vector<int32_t>{1, 1, 48, 48}));  // enlarged too
  EXPECT_EQ(fit(100, 10), (std::vector<int32_t>{1, 23, 48, 4}));
  EXPECT_EQ(fit(10, 100), (std::vector<int32_t>{23, 1, 4, 48}));
  EXPECT_EQ(fit(64, 48), (std::vector<int32_t>{1, 7, 48, 36}));
  EXPECT_EQ(fit(7, 3), (std::vector<int32_t>{1, 15, 48, 20}));  // 20.57 truncated
  // Too thin to show: the drawn width is 0 and the cell stays empty.
  EXPECT_EQ(FitThumbnail(1, 200).width, 0);
  EXPECT_EQ(FitThumbnail(200, 1).height, 0);
  EXPECT_EQ(fit(24, 48), (std::vector<int32_t>{13, 1, 24, 48}));
  for (auto [w, h] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{-4, 4}, std::pair{4, -4}}) {
    const ThumbnailFit f = FitThumbnail(w, h);
    EXPECT_TRUE(f.width == 0 || f.height == 0) << w << "x" << h;
  }
  const ThumbnailFit huge = FitThumbnail(INT32_MAX, 1);
  EXPECT_EQ(huge.width, 48);
  EXPECT_EQ(huge.height, 0);
}

TEST(FinderPaint, OnlyTheCellsTheUpdateReaches) {
  // 4 columns, client 230 high: rows 0-3 whole, row 4 in part.
  const FinderGrid g = ComputeFinderGrid(215, 230, 100);
  FinderCellRange c = FinderCellsToPaint(g, 230, 0, 0, 215, 230);
  EXPECT_EQ(c.firstRow, 0);
  EXPECT_EQ(c.endRow, 5);  // the partial row is drawn
  EXPECT_EQ(c.firstColumn, 0);
  EXPECT_EQ(c.endColumn, 4);  // not the strip right of the last column
  // The band a one-row scroll uncovers: the bottom 50 pixels.
  c = FinderCellsToPaint(g, 230, 0, 180, 215, 230);
  EXPECT_EQ(c.firstRow, 3);
  EXPECT_EQ(c.endRow, 5);
  c = FinderCellsToPaint(g, 200, 0, 150, 215, 200);
  EXPECT_EQ(c.endRow - c.firstRow, 1);
  c = FinderCellsToPaint(g, 230, 60, 10, 99, 20);
  EXPECT_EQ(c.firstColumn, 1);
  EXPECT_EQ(c.endColumn, 2);
  EXPECT_EQ(c.endRow - c.firstRow, 1);
  // Nothing to update, or an update past the cells.
  c = FinderCellsToPaint(g, 230, 10, 10, 10, 100);
  EXPECT_EQ(c.endColumn - c.firstColumn, 0);
  c = FinderCellsToPaint(g, 230, 200, 0, 215, 230);
  EXPECT_EQ(c.endColumn - c.firstColumn, 0);

  // Entries of cells, from the top row on.
  EXPECT_EQ(FinderCellEntry(g, 0, 0, 0, 100), 0);
  EXPECT_EQ(FinderCellEntry(g, 3, 1, 2, 100), 18);
  EXPECT_EQ(FinderCellEntry(g, 24, 0, 3, 100), 99);
  EXPECT_EQ(FinderCellEntry(g, 24, 1, 0, 100), -1);
  EXPECT_EQ(FinderCellEntry(g, 0, 0, 4, 100), -1);
  // And back: the cell of an entry, none above the top row or past the end.
  int32_t x = -1, y = -1;
  EXPECT_TRUE(FinderEntryCell(g, 3, 18, 100, &x, &y));
  EXPECT_EQ(std::pair(x, y), std::pair(100, 50));
  for (int32_t entry : {11, 100, -1}) EXPECT_FALSE(FinderEntryCell(g, 3, entry, 100, &x, &y));
}
