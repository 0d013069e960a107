#include "shell/navigation_win32.h"

#include <string>

#include "shell/finder_window_win32.h"
#include "shell/main_window_win32.h"
#include "shell/navigation.h"
#include "shell/view_window_win32.h"
#include "ui/gdi_scope_win32.h"
#include "ui/program_title.h"
#include "ui/wait_cursor.h"

namespace {

void InvalidateStatusBand() {
  RECT client;
  GetClientRect(mainState.window, &client);
  RECT band = {0, mainState.statusLineTop, client.right,
               mainState.statusLineTop + mainState.statusLineHeight};
  InvalidateRect(mainState.window, &band, FALSE);
}

// After a refill or re-sort whose first load was cancelled, the view, the
// title and the loaded image still describe an entry of the old catalogue,
// and the current index may lie beyond the new count. Nothing of the old
// catalogue may be read any more, so the state is made to describe no
// image at an index inside the new catalogue.
void ForgetStaleImage() {
  mainState.currentIndex = ClampIndex(mainState.currentIndex, mainState.catalogue.count);
  ShowFinderCurrent(mainState.finder,
                    ShownCatalogueEntries().PositionOf(mainState.currentIndex));
  mainState.imageShown = false;
  UnpinCachedRecord(mainState.imageCache);
  ShowImage(mainState.view, nullptr);
  SetWindowTextA(mainState.window, kProgramTitle);
  InvalidateStatusBand();
  UpdateNavigationBar();
}

// Moves are counted in shown entries; the target, clamped among them, is
// selected by its catalogue index.
void SelectShown(NavigationMove move, int32_t position) {
  const ShownEntries shown = ShownCatalogueEntries();
  const int32_t count = shown.count();
  if (count == 0) {
    SelectItem(mainState.window, 0, false);
    return;
  }
  const int32_t from = shown.PositionOf(mainState.currentIndex);
  const int32_t target = ClampIndex(NavigationTarget(move, from, count, position), count);
  SelectItem(mainState.window, shown.Entry(target), false);
}

}  // namespace

void SelectItem(HWND window, int32_t index, bool forced) {
  if (mainState.catalogue.count == 0) {
    UpdateNavigationBar();
    ShowImage(mainState.view, nullptr);
    SetWindowTextA(window, kProgramTitle);
    return;
  }
  index = ClampIndex(index, mainState.catalogue.count);
  if (index == mainState.currentIndex && !forced && !mainState.catalogueChanged) return;

  ImageRecord& record = mainState.catalogue.records[index];
  while (!LoadImageRecordWaiting(mainState.imageCache, &record, &mainState.image,
                                 &mainState.largeBuffer)) {
    int answer = MessageBoxA(window, "Can't view item.\nPossibly, drive not ready", kProgramTitle,
                             MB_ICONWARNING | MB_RETRYCANCEL);
    if (answer != IDRETRY) {
      if (mainState.catalogueChanged) ForgetStaleImage();
      return;
    }
  }
  PinCachedRecord(mainState.imageCache, record);
  LendLargeRecord(mainState.imageCache, record, mainState.image);
  mainState.statusNote.clear();
  mainState.imageShown = true;
  mainState.catalogueChanged = false;
  ShowImage(mainState.view, &mainState.image);
  mainState.currentIndex = index;
  ShowFinderCurrent(mainState.finder, ShownCatalogueEntries().PositionOf(index));
  std::string title = EntryTitle(kProgramTitle, record.directory, record.fileName, '\\');
  SetWindowTextA(window, title.c_str());
  InvalidateStatusBand();
  UpdateNavigationBar();
}

void UpdateNavigationBar() {
  const ShownEntries shown = ShownCatalogueEntries();
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = shown.count() + 8;
  info.nPage = kNavigationPage;
  info.nPos = shown.PositionOf(mainState.currentIndex);
  SetScrollInfo(mainState.navigationBar, SB_CTL, &info, TRUE);
}

void PaintStatusLine(HDC dc, const RECT& update) {
  RECT client;
  GetClientRect(mainState.window, &client);
  RECT strip = {0, mainState.statusLineTop, client.right, client.bottom};
  RECT area;
  if (!IntersectRect(&area, &strip, &update)) return;

  int y = mainState.statusLineTop + (mainState.statusLineHeight - mainState.textHeight) / 2;
  const SelectedObject font(dc, GetStockObject(SYSTEM_FONT));
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));

  std::string right;
  SIZE rightSize = {};
  if (mainState.catalogue.count > 0) {
    const ShownEntries shown = ShownCatalogueEntries();
    right = PositionText(shown.PositionOf(mainState.currentIndex), shown.count(),
                         shown.fold != nullptr ? shown.hiddenCount() : -1);
    GetTextExtentPoint32A(dc, right.c_str(), static_cast<int>(right.size()), &rightSize);
  }
  // A note stands where the image's description would.
  std::string left = mainState.refusedWhileBusy ? kBusyNote : mainState.statusNote;
  if (left.empty() && mainState.catalogue.count > 0 && mainState.imageShown &&
      !mainState.image.unusable) {
    left = DescriptionText(mainState.image.kind, mainState.image.width, mainState.image.height,
                           mainState.image.bitCount, mainState.image.png);
  }
  SIZE leftSize = {};
  bool haveLeft = !left.empty();
  if (haveLeft) GetTextExtentPoint32A(dc, left.c_str(), static_cast<int>(left.size()), &leftSize);
  StatusTextFit fit = FitStatusTexts(client.right, rightSize.cx, leftSize.cx, haveLeft);
  if (fit.showRight && !right.empty()) {
    TextOutA(dc, client.right - rightSize.cx, y, right.c_str(), static_cast<int>(right.size()));
  }
  if (fit.showLeft) TextOutA(dc, 0, y, left.c_str(), static_cast<int>(left.size()));
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
}

void HandleNavigationKey(WPARAM virtualKey) {
  NavigationMove move = NavigationMove::None;
  switch (virtualKey) {
    case VK_PRIOR:
      move = NavigationMove::PageBack;
      break;
    case VK_NEXT:
      move = NavigationMove::PageForward;
      break;
    case VK_END:
      move = NavigationMove::Last;
      break;
    case VK_HOME:
      move = NavigationMove::First;
      break;
    case VK_LEFT:
      move = NavigationMove::Back;
      break;
    case VK_RIGHT:
      move = NavigationMove::Forward;
      break;
    default:
      return;
  }
  SelectShown(move, 0);
}

void HandleNavigationScroll(int code, int position) {
  NavigationMove move = NavigationMove::None;
  switch (code) {
    case SB_LINELEFT:
      move = NavigationMove::Back;
      break;
    case SB_LINERIGHT:
      move = NavigationMove::Forward;
      break;
    case SB_PAGELEFT:
      move = NavigationMove::PageBack;
      break;
    case SB_PAGERIGHT:
      move = NavigationMove::PageForward;
      break;
    case SB_THUMBTRACK:
      move = NavigationMove::To;
      break;
    default:
      break;
  }
  SelectShown(move, position);
}
