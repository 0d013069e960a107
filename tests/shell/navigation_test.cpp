#include "shell/navigation.h"

#include <gtest/gtest.h>

#include <climits>

TEST(Navigation, TargetsClampIntoTheCatalogue) {
  // Page Up near the start and Left on the first entry clamp to 0.
  EXPECT_EQ(ClampIndex(NavigationTarget(NavigationMove::PageBack, 3, 120, 0), 120), 0);
  EXPECT_EQ(ClampIndex(NavigationTarget(NavigationMove::Back, 0, 120, 0), 120), 0);
  // Page Down near the end and Right on the last entry clamp to the last.
  EXPECT_EQ(ClampIndex(NavigationTarget(NavigationMove::PageForward, 115, 120, 0), 120), 119);
  EXPECT_EQ(ClampIndex(NavigationTarget(NavigationMove::Forward, 119, 120, 0), 120), 119);
  EXPECT_EQ(NavigationTarget(NavigationMove::PageForward, 5, 120, 0), 15);
  EXPECT_EQ(NavigationTarget(NavigationMove::Last, 5, 120, 0), 119);
  EXPECT_EQ(NavigationTarget(NavigationMove::First, 50, 120, 0), 0);
  EXPECT_EQ(NavigationTarget(NavigationMove::To, 5, 120, 77), 77);
  EXPECT_EQ(NavigationTarget(NavigationMove::None, 5, 120, 77), 5);
  // No wrap at the ends of the integer range.
  EXPECT_EQ(NavigationTarget(NavigationMove::PageForward, INT_MAX - 3, 120, 0), INT_MAX);
  EXPECT_EQ(NavigationTarget(NavigationMove::PageBack, INT_MIN + 3, 120, 0), INT_MIN);
  EXPECT_EQ(ClampIndex(INT_MIN, 1), 0);
  EXPECT_EQ(ClampIndex(INT_MAX, 1), 0);
}

TEST(Navigation, TitleNamesTheFileWithOneSeparator) {
  EXPECT_EQ(EntryTitle("Ravelin 1.5", "C:\\APPS", "tool.exe", '\\'),
            "Ravelin 1.5 - [C:\\APPS\\tool.exe]");
  EXPECT_EQ(EntryTitle("Ravelin 1.5", "C:\\", "tool.exe", '\\'), "Ravelin 1.5 - [C:\\tool.exe]");
  // A drive letter alone, as a single pick in a root folder records it.
  EXPECT_EQ(EntryTitle("Ravelin 1.5", "C:", "a.exe", '\\'), "Ravelin 1.5 - [C:\\a.exe]");
}

TEST(Navigation, StatusTexts) {
  EXPECT_EQ(PositionText(2, 120), "3 of 120");
  EXPECT_EQ(PositionText(0, 1), "1 of 1");
  EXPECT_EQ(DescriptionText(ImageKind::Icon, 32, 32, 4), "Icon: 32x32, 16 colors");
  EXPECT_EQ(DescriptionText(ImageKind::Bitmap, 640, 480, 1), "Bitmap: 640x480, monochrome");
  EXPECT_EQ(DescriptionText(ImageKind::Cursor, 32, 32, 8), "Cursor: 32x32, 256 colors");
  EXPECT_EQ(DescriptionText(ImageKind::Bitmap, 1, 1, 16), "Bitmap: 1x1, high-color");
  EXPECT_EQ(DescriptionText(ImageKind::Bitmap, 1, 1, 24), "Bitmap: 1x1, true-color");
  EXPECT_EQ(DescriptionText(ImageKind::Bitmap, 1, 1, 32), "Bitmap: 1x1, true-color");
  EXPECT_EQ(DescriptionText(ImageKind::Bitmap, 1, 1, 2), "Bitmap: 1x1, ?");
  EXPECT_EQ(DescriptionText(ImageKind::Icon, 256, 256, 32, true), "Icon: 256x256, PNG");
}

TEST(Navigation, NarrowingDropsTheLeftTextFirst) {
  // Right 60 and left 150 wide.
  StatusTextFit wide = FitStatusTexts(211, 60, 150, true);
  EXPECT_TRUE(wide.showRight);
  EXPECT_TRUE(wide.showLeft);
  StatusTextFit exact = FitStatusTexts(210, 60, 150, true);  // sum equal: left dropped
  EXPECT_TRUE(exact.showRight);
  EXPECT_FALSE(exact.showLeft);
  StatusTextFit narrow = FitStatusTexts(61, 60, 150, true);
  EXPECT_TRUE(narrow.showRight);
  StatusTextFit none = FitStatusTexts(60, 60, 150, true);
  EXPECT_FALSE(none.showRight);
  EXPECT_FALSE(none.showLeft);
  // No image description (unusable or not loaded): never a left text.
  EXPECT_FALSE(FitStatusTexts(1000, 60, 0, false).showLeft);
}
