#include "dialogs/progress_window_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "support/dialog_driver_win32.h"
#include "support/window_query_win32.h"

namespace {

constexpr char kTitle[] = "Loading files...";

int Position(HWND bar) { return static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)); }

int RangeHigh(HWND bar) { return static_cast<int>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0)); }

class ProgressWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateOwnerWindow(37, 51, 641, 479);
    ASSERT_NE(owner_, nullptr);
  }
  void TearDown() override { DestroyWindow(owner_); }
  HWND owner_ = nullptr;
  ProgressWindow progress_;
};

}  // namespace

TEST_F(ProgressWindowTest, CentredCaptionOnlyPopupOverItsOwner) {
  ShowProgressWindow(&progress_, owner_, kTitle, 110, 10);
  HWND popup = FindThreadWindow("PgsWnd", kTitle);
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(IsWindowVisible(popup));
  EXPECT_EQ(GetWindow(popup, GW_OWNER), owner_);
  EXPECT_EQ(GetActiveWindow(), popup);

  RECT ownerRect, rect;
  GetWindowRect(owner_, &ownerRect);
  GetWindowRect(popup, &rect);
  int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  // The odd owner size makes each truncating division count.
  EXPECT_EQ(rect.left, 37 + 641 / 2 - cx / 8);
  EXPECT_EQ(rect.top, 51 + 479 / 2 - cy / 24);
  EXPECT_EQ(rect.right - rect.left, cx / 4);
  EXPECT_EQ(rect.bottom - rect.top, cy / 12);

  LONG style = GetWindowLongA(popup, GWL_STYLE);
  EXPECT_EQ(style & (WS_POPUP | WS_CAPTION), WS_POPUP | WS_CAPTION);
  EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_EQ(static_cast<UINT>(GetClassLongPtrA(popup, GCL_STYLE)),
            static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(popup, GCLP_HCURSOR)),
            LoadCursorA(nullptr, IDC_WAIT));
  EXPECT_EQ(GetClassLongPtrA(popup, GCLP_HBRBACKGROUND), 0u);
#ifdef RAVELIN_TEST_HAS_RESOURCES
  // The application icon, from the module's own resources.
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_RAVELIN));
  EXPECT_NE(icon, nullptr);
  EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrA(popup, GCLP_HICON)), icon);
#endif

  // The bar is the only child: at the client's origin, with the popup's
  // outer size.
  HWND bar = GetWindow(popup, GW_CHILD);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(GetWindow(bar, GW_HWNDNEXT), nullptr);
  char name[32] = {};
  GetClassNameA(bar, name, sizeof name);
  EXPECT_STREQ(name, "msctls_progress32");
  EXPECT_EQ(GetDlgCtrlID(bar), 0);
  RECT barRect;
  GetWindowRect(bar, &barRect);
  POINT origin{0, 0};
  ClientToScreen(popup, &origin);
  EXPECT_EQ(barRect.left, origin.x);
  EXPECT_EQ(barRect.top, origin.y);
  EXPECT_EQ(barRect.right - barRect.left, cx / 4);
  EXPECT_EQ(barRect.bottom - barRect.top, cy / 12);

  CloseProgressWindow(&progress_);
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_FALSE(IsWindow(bar));
}

TEST_F(ProgressWindowTest, StepsUpToTheRange) {
  ShowProgressWindow(&progress_, owner_, kTitle, 110, 10);
  HWND popup = FindThreadWindow("PgsWnd", kTitle);
  ASSERT_NE(popup, nullptr);
  HWND bar = GetWindow(popup, GW_CHILD);
  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
  EXPECT_EQ(RangeHigh(bar), 110);
  EXPECT_EQ(Position(bar), 10);
  for (int file = 1; file <= 10; ++file) {
    // Whatever the bar still owed is painted with the step.
    InvalidateRect(bar, nullptr, FALSE);
    ASSERT_TRUE(GetUpdateRect(bar, nullptr, FALSE));
    StepProgressWindow(&progress_);
    EXPECT_EQ(Position(bar), 10 + 10 * file);
    // Painted at once: nothing left for a message loop that is not running.
    EXPECT_FALSE(GetUpdateRect(bar, nullptr, FALSE)) << file;
  }
  CloseProgressWindow(&progress_);
  EXPECT_EQ(FindThreadWindow("PgsWnd", nullptr), nullptr);
  // Without a window, stepping and closing are harmless and make none.
  StepProgressWindow(&progress_);
  CloseProgressWindow(&progress_);
  EXPECT_EQ(FindThreadWindow("PgsWnd", nullptr), nullptr);
}

TEST_F(ProgressWindowTest, OneWindowAtATime) {
  ShowProgressWindow(&progress_, owner_, kTitle, 110, 10);
  HWND first = FindThreadWindow("PgsWnd", kTitle);
  ASSERT_NE(first, nullptr);
  ShowProgressWindow(&progress_, owner_, "Second", 50, 5);
  EXPECT_FALSE(IsWindow(first));
  HWND popup = FindThreadWindow("PgsWnd", "Second");
  ASSERT_NE(popup, nullptr);
  HWND bar = GetWindow(popup, GW_CHILD);
  EXPECT_EQ(RangeHigh(bar), 50);
  EXPECT_EQ(Position(bar), 5);
  StepProgressWindow(&progress_);
  EXPECT_EQ(Position(bar), 10);
}

TEST_F(ProgressWindowTest, RangesBeyondSixteenBits) {
  // 7000 files: more than the 16-bit range holds.
  ShowProgressWindow(&progress_, owner_, kTitle, 70010, 10);
  HWND popup = FindThreadWindow("PgsWnd", kTitle);
  ASSERT_NE(popup, nullptr);
  HWND bar = GetWindow(popup, GW_CHILD);
  EXPECT_EQ(RangeHigh(bar), 70010);
  StepProgressWindow(&progress_);
  EXPECT_EQ(Position(bar), 20);
}
