#include "shell/main_layout.h"

#include <gtest/gtest.h>

// A toolbar 28 high, scroll bars 16 high, the banner 354 x 44 (350 x 40 and
// its edge) and a status line of 20: 32 + 44 + 18 = 114 pixels below the
// view's bottom edge, plus the 20 of the status line.
TEST(MainLayout, StacksTheChildrenFromTopToBottom) {
  MainLayout l = ComputeMainLayout(640, 480, 28, 16, 354, 44, 20);
  EXPECT_EQ(l.view.x, 0);
  EXPECT_EQ(l.view.y, 28);
  EXPECT_EQ(l.view.width, 640);
  EXPECT_EQ(l.view.height, 480 - 28 - 20 - 32 - 44 - 18);
  EXPECT_EQ(l.statusLineTop, l.view.y + l.view.height);
  EXPECT_EQ(l.navigationBar.y, l.statusLineTop + 20);
  EXPECT_EQ(l.navigationBar.height, 32);
  EXPECT_EQ(l.navigationBar.width, 640);
  // 14 pixels of gap between the bar and the banner, 4 below the banner.
  EXPECT_EQ(l.banner.y, l.navigationBar.y + l.navigationBar.height + 14);
  EXPECT_EQ(l.banner.y + l.banner.height + 4, 480);
  EXPECT_EQ(l.banner.x, (640 - 354) / 2 - 4);
  EXPECT_EQ(l.banner.width, 354);
}

TEST(MainLayout, BannerCentringTruncatesTowardZero) {
  // (301 - 354) / 2 is -26.5: truncation gives -26, not -27.
  MainLayout l = ComputeMainLayout(301, 480, 28, 16, 354, 44, 20);
  EXPECT_EQ(l.banner.x, -26 - 4);
  MainLayout odd = ComputeMainLayout(641, 480, 28, 16, 354, 44, 20);
  EXPECT_EQ(odd.banner.x, 143 - 4);
}

TEST(MainLayout, TooSmallClientGivesAnEmptyViewNotANegativeOne) {
  // Exactly the fixed parts: the view is 0 high.
  int fixed = 28 + 20 + 32 + 44 + 18;
  MainLayout exact = ComputeMainLayout(200, fixed, 28, 16, 354, 44, 20);
  EXPECT_EQ(exact.view.height, 0);
  MainLayout smaller = ComputeMainLayout(200, fixed - 1, 28, 16, 354, 44, 20);
  EXPECT_EQ(smaller.view.height, 0);
  // The parts below keep their places relative to the bottom edge.
  EXPECT_EQ(smaller.statusLineTop, fixed - 1 - (20 + 32 + 44 + 18));
  MainLayout nothing = ComputeMainLayout(0, 0, 28, 16, 354, 44, 20);
  EXPECT_EQ(nothing.view.height, 0);
  EXPECT_EQ(nothing.view.width, 0);
  MainLayout oneMore = ComputeMainLayout(200, fixed + 1, 28, 16, 354, 44, 20);
  EXPECT_EQ(oneMore.view.height, 1);
}

TEST(MainLayout, MinimumClientKeepsEveryPartWholeAndTheViewOpen) {
  struct Case {
    int toolbarWidth, bannerWidth, width;
  };
  // The wider of the toolbar's row and the banner with its two margins.
  for (Case c : {Case{290, 354, 362}, Case{400, 354, 400}, Case{362, 354, 362}}) {
    ClientSize size = MinimumClientSize(c.toolbarWidth, 28, 16, c.bannerWidth, 44, 20);
    EXPECT_EQ(size.width, c.width) << c.toolbarWidth;
    MainLayout l = ComputeMainLayout(size.width, size.height, 28, 16, c.bannerWidth, 44, 20);
    EXPECT_EQ(l.view.height, kMinimumViewHeight);
    EXPECT_GE(l.banner.x, 0);
    EXPECT_LE(l.banner.x + l.banner.width, size.width);
    EXPECT_GE(l.navigationBar.y, l.view.y + l.view.height);
  }
}
