#include "shell/main_window_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

#include "dialogs/about_box_win32.h"
#include "dialogs/entry_clipboard_win32.h"
#include "dialogs/open_files_win32.h"
#include "dialogs/save_all_win32.h"
#include "dialogs/save_dialog_win32.h"
#include "dialogs/search_dialog_win32.h"
#include "res/resource.h"
#include "scan/directory_search.h"
#include "shell/catalogue_sort_win32.h"
#include "shell/finder_window_win32.h"
#include "shell/help_win32.h"
#include "shell/main_layout.h"
#include "shell/navigation_win32.h"
#include "shell/view_window_win32.h"
#include "ui/gdi_scope_win32.h"
#include "ui/mouse_point.h"
#include "ui/program_title.h"
#include "ui/wait_cursor.h"

MainState mainState;

namespace {

constexpr char kBannerAddress[] = "https://ravelin.example.org/";
constexpr int kToolbarImageCount = 9;
constexpr int kToolbarImageSize = 20;
constexpr int kSeparatorWidth = 10;

TBBUTTON Button(int image, int command, BYTE style) {
  TBBUTTON b = {};
  b.iBitmap = image;
  b.idCommand = command;
  b.fsState = TBSTATE_ENABLED;
  b.fsStyle = style;
  return b;
}

TBBUTTON Separator() { return Button(kSeparatorWidth, 0, TBSTYLE_SEP); }

struct ToolTip {
  int command;
  const char* text;
};
constexpr ToolTip kToolTips[] = {
    {CMD_OPEN_FILES, "Open Executable File(s) (Ctrl+O)"},
    {CMD_SAVE_IMAGE, "Save Image (Ctrl+S)"},
    {CMD_TOGGLE_FINDER, "Show/Hide Finder Window (Tab)"},
    {CMD_SORT_LARGE_TO_SMALL, "Sort from Large to Small (Ctrl+Down)"},
    {CMD_SORT_SMALL_TO_LARGE, "Sort from Small to Large (Ctrl+Up)"},
    {CMD_NO_SORT, "Don't Sort (Ctrl+Space)"},
    {CMD_ZOOM_IN, "Zoom In (Gray +)"},
    {CMD_ZOOM_OUT, "Zoom Out (Gray -)"},
    {CMD_OPEN_DIRECTORY, "Open Directory (Ctrl+D)"},
};

// The banner shows the hand on its own: the static-control class is shared
// by every label of the process, so its class cursor is left alone.
WNDPROC bannerBaseProc = nullptr;

LRESULT CALLBACK BannerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETCURSOR && mainState.handCursor != nullptr) {
    SetCursor(mainState.handCursor);
    return TRUE;
  }
  return CallWindowProcA(bannerBaseProc, window, message, wParam, lParam);
}

void CreateBanner(HWND window) {
  RECT r = {100, 100, 450, 140};
  AdjustWindowRectEx(&r, 0, FALSE, WS_EX_CLIENTEDGE);
  mainState.banner = CreateWindowExA(WS_EX_STATICEDGE, "STATIC", "",
                                     WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_BITMAP, 0, 0,
                                     r.right - r.left, r.bottom - r.top, window, nullptr,
                                     mainState.instance, nullptr);
  if (mainState.banner == nullptr) return;
  mainState.handCursor = LoadCursorA(mainState.instance, MAKEINTRESOURCEA(IDCUR_HAND_POINTER));
  bannerBaseProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      mainState.banner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BannerProc)));
  mainState.bannerBitmap = static_cast<HBITMAP>(LoadImageA(
      mainState.instance, MAKEINTRESOURCEA(IDB_BANNER), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  SendMessageA(mainState.banner, STM_SETIMAGE, IMAGE_BITMAP,
               reinterpret_cast<LPARAM>(mainState.bannerBitmap));
}

// The banner does not own its bitmap: it is taken back before it is deleted.
void ReleaseBanner() {
  if (mainState.bannerBitmap == nullptr) return;
  if (mainState.banner != nullptr) SendMessageA(mainState.banner, STM_SETIMAGE, IMAGE_BITMAP, 0);
  DeleteObject(mainState.bannerBitmap);
  mainState.bannerBitmap = nullptr;
}

bool CreateMainWindowParts(HWND window) {
  mainState.window = window;
  if (!AllocateCatalogue(&mainState.catalogue, kCatalogueCapacity)) return false;
  if (!InitImageLoader(mainState.imageCache)) return false;

  TBBUTTON buttons[] = {
      Button(0, CMD_OPEN_FILES, TBSTYLE_BUTTON),
      Button(1, CMD_OPEN_DIRECTORY, TBSTYLE_BUTTON),
      Separator(),
      Button(2, CMD_SAVE_IMAGE, TBSTYLE_BUTTON),
      Separator(),
      Button(3, CMD_TOGGLE_FINDER, TBSTYLE_BUTTON),
      Separator(),
      Button(4, CMD_ZOOM_IN, TBSTYLE_BUTTON),
      Button(5, CMD_ZOOM_OUT, TBSTYLE_BUTTON),
      Separator(),
      Button(6, CMD_SORT_LARGE_TO_SMALL, TBSTYLE_CHECKGROUP),
      Button(7, CMD_SORT_SMALL_TO_LARGE, TBSTYLE_CHECKGROUP),
      Button(8, CMD_NO_SORT, TBSTYLE_CHECKGROUP),
  };
  mainState.toolbar = CreateToolbarEx(
      window, WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_WRAPABLE, 0, kToolbarImageCount,
      mainState.instance, IDB_TOOLBAR, buttons, sizeof buttons / sizeof buttons[0],
      kToolbarImageSize, kToolbarImageSize, kToolbarImageSize, kToolbarImageSize, sizeof(TBBUTTON));
  if (mainState.toolbar == nullptr) return false;
  // Made in a window wide enough for all its buttons: one row.
  RECT toolbarRect = {};
  GetWindowRect(mainState.toolbar, &toolbarRect);
  mainState.toolbarRowHeight = toolbarRect.bottom - toolbarRect.top;

  mainState.view = CreateWindowExA(WS_EX_CLIENTEDGE, kViewClassName, "", WS_CHILD | WS_VISIBLE, 0,
                                   0, 0, 0, window, nullptr, mainState.instance, nullptr);
  if (mainState.view == nullptr) return false;

  TEXTMETRICA metrics = {};
  {
    const WindowDc dc(window);
    const SelectedObject font(dc.get(), GetStockObject(SYSTEM_FONT));
    GetTextMetricsA(dc.get(), &metrics);
  }
  mainState.textHeight = metrics.tmHeight;
  mainState.statusLineHeight = metrics.tmHeight + 4;

  mainState.navigationBar = CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                            window, nullptr, mainState.instance, nullptr);
  if (mainState.navigationBar == nullptr) return false;
  EnableScrollBar(mainState.navigationBar, SB_CTL, ESB_DISABLE_BOTH);

  SelectItem(window, 0, true);
  UpdateCommandStates();

  RECT mainRect;
  GetWindowRect(window, &mainRect);
  int screenTenth = GetSystemMetrics(SM_CXSCREEN) / 10;
  mainState.finder = CreateWindowExA(
      0, kFinderClassName, "Finder", WS_OVERLAPPEDWINDOW | WS_VISIBLE, mainRect.right,
      mainRect.top, 2 * screenTenth, mainRect.bottom - mainRect.top, window, nullptr,
      mainState.instance, nullptr);

  CreateBanner(window);
  DragAcceptFiles(window, TRUE);
  if (mainState.finder != nullptr) DragAcceptFiles(mainState.finder, TRUE);
  return true;
}

void OnSize(HWND window, WPARAM wParam, LPARAM lParam) {
  // A minimised window reports a client of 0 x 0: the toolbar would wrap
  // every button onto its own row and keep them so after the restore.
  if (wParam == SIZE_MINIMIZED) return;
  SendMessageA(mainState.toolbar, WM_SIZE, wParam, lParam);
  RECT toolbarRect = {}, bannerRect = {};
  GetWindowRect(mainState.toolbar, &toolbarRect);
  if (mainState.banner != nullptr) GetWindowRect(mainState.banner, &bannerRect);
  MainLayout layout = ComputeMainLayout(
      LOWORD(lParam), HIWORD(lParam), toolbarRect.bottom - toolbarRect.top,
      GetSystemMetrics(SM_CYHSCROLL), bannerRect.right - bannerRect.left,
      bannerRect.bottom - bannerRect.top, mainState.statusLineHeight);
  if (mainState.banner != nullptr) {
    MoveWindow(mainState.banner, layout.banner.x, layout.banner.y, layout.banner.width,
               layout.banner.height, TRUE);
  }
  MoveWindow(mainState.view, layout.view.x, layout.view.y, layout.view.width, layout.view.height,
             TRUE);
  mainState.statusLineTop = layout.statusLineTop;
  MoveWindow(mainState.navigationBar, layout.navigationBar.x, layout.navigationBar.y,
             layout.navigationBar.width, layout.navigationBar.height, TRUE);
  (void)window;
}

// The toolbar's buttons side by side, as wide as they are on one row.
int ToolbarRowWidth() {
  int count = static_cast<int>(SendMessageA(mainState.toolbar, TB_BUTTONCOUNT, 0, 0));
  int width = 0;
  RECT item = {};
  for (int i = 0; i < count; ++i) {
    if (SendMessageA(mainState.toolbar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item))) {
      width += item.right - item.left;
    }
  }
  // The toolbar's indent before the first button, kept after the last too.
  if (SendMessageA(mainState.toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item))) {
    width += 2 * item.left;
  }
  return width;
}

void OnGetMinMaxInfo(HWND window, LPARAM lParam) {
  // Sent before the parts exist, while the window is being created.
  if (mainState.toolbar == nullptr || mainState.toolbarRowHeight == 0) return;
  RECT bannerRect = {};
  if (mainState.banner != nullptr) GetWindowRect(mainState.banner, &bannerRect);
  ClientSize client =
      MinimumClientSize(ToolbarRowWidth(), mainState.toolbarRowHeight,
                        GetSystemMetrics(SM_CYHSCROLL), bannerRect.right - bannerRect.left,
                        bannerRect.bottom - bannerRect.top, mainState.statusLineHeight);
  RECT frame = {0, 0, client.width, client.height};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)),
                     GetMenu(window) != nullptr,
                     static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  info->ptMinTrackSize.x = frame.right - frame.left;
  info->ptMinTrackSize.y = frame.bottom - frame.top;
}

void OnPaint(HWND window) {
  const PaintDc paint(window);
  if (paint.get() != nullptr) PaintStatusLine(paint.get(), paint.update());
}

void OnNotify(LPARAM lParam) {
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (header->code != TTN_NEEDTEXTA) return;
  auto* request = reinterpret_cast<NMTTDISPINFOA*>(lParam);
  for (const ToolTip& tip : kToolTips) {
    if (static_cast<UINT_PTR>(tip.command) == header->idFrom) {
      request->lpszText = const_cast<char*>(tip.text);
      return;
    }
  }
}

// Reads the fold for the present fill under the wait cursor; without the
// memory for it, duplicates are shown again.
void ReadFold() {
  SetWaitCursor(true);
  const bool read = mainState.fold.Read(mainState.catalogue);
  SetWaitCursor(false);
  if (!read) mainState.hideDuplicates = false;
}

void InvalidateStatusLine() {
  RECT client;
  GetClientRect(mainState.window, &client);
  const RECT strip = {0, mainState.statusLineTop, client.right, client.bottom};
  InvalidateRect(mainState.window, &strip, FALSE);
}

bool FinderVisible() { return mainState.finder != nullptr && IsWindowVisible(mainState.finder); }

// What the status line says after an open: why the catalogue is empty, how
// far a search got that could not take in its whole tree, or which picked
// file turned out to be cut short.
void SetOpenNote(int command) {
  mainState.statusNote.clear();
  // A drop that held a folder searched it, as the directory command does.
  const bool search = command != CMD_OPEN_FILES;
  if (search) mainState.statusNote = SearchStopText(mainState.search);
  if (!mainState.statusNote.empty()) return;
  if (mainState.catalogue.count == 0) {
    const bool cancelled = search && mainState.search.stop == SearchStop::Cancelled;
    mainState.statusNote = cancelled ? kSearchCancelled : kNoImagesFound;
  } else if (!search && mainState.catalogue.damagedFile != nullptr) {
    mainState.statusNote = std::string(mainState.catalogue.damagedFile) + kDamagedFileNote;
  }
}

// The open flow around one fill of the catalogue, which returns -1 when
// nothing was done. A drop that arrives while a fill runs (its dialogs
// dispatch messages) is refused.
void RunOpenFlow(HWND window, int command, const std::function<int32_t()>& fill) {
  if (RefuseWhileBusy()) return;
  const BusyScope busy;
  RefreshFinder(mainState.finder, mainState.catalogue.records.get(), 0, window);
  const int32_t result = fill();
  if (result == -1) {
    if (FinderVisible()) RefreshFinderWithShown(window);
    return;
  }
  // A search that could not start or show its dialog says 0 whatever the
  // table holds.
  mainState.catalogue.count = result;
  mainState.catalogueChanged = true;
  mainState.fold.Clear();
  if (mainState.hideDuplicates) ReadFold();
  if (mainState.sortOrder != SortOrder::Unsorted) SortCatalogue(window);
  ArrangeShownEntries();
  // The first entry is the first of its set in any order: always shown.
  SelectItem(window, 0, true);
  UpdateCommandStates();
  SetOpenNote(command);
  InvalidateRect(window, nullptr, FALSE);
  if (FinderVisible()) RefreshFinderWithShown(window);
}

void OnOpenCommand(HWND window, int command) {
  RunOpenFlow(window, command, [window, command] {
    return command == CMD_OPEN_FILES
               ? OpenExecutableFiles(window, &mainState.catalogue)
               : SearchDirectory(window, mainState.search, &mainState.catalogue);
  });
}

void OnDropFiles(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    char path[kPathBufferSize];
    if (DragQueryFileA(drop, i, path, sizeof path) < sizeof path) paths.emplace_back(path);
  }
  DragFinish(drop);
  OpenPaths(paths);
}

void OnSaveCommand(HWND window) {
  // Only an image loaded from the present catalogue may be written; after a
  // cancelled first load there is none, and the index may be stale.
  if (!mainState.imageShown || mainState.currentIndex >= mainState.catalogue.count) return;
  const BusyScope busy;
  SaveImage(window, mainState.save, mainState.catalogue.records[mainState.currentIndex],
            mainState.image);
}

void OnCopyCommand(HWND window) {
  if (!mainState.imageShown || mainState.currentIndex >= mainState.catalogue.count) return;
  CopyEntryToClipboard(window, mainState.catalogue.records[mainState.currentIndex],
                       mainState.image);
}

// The entries Save All writes, in the catalogue's current order.
// The entries shown, in the catalogue's order: with duplicates hidden, the
// first of each set.
std::vector<int32_t> SaveAllIndices() {
  const ShownEntries shown = ShownCatalogueEntries();
  std::vector<int32_t> indices(static_cast<size_t>(shown.count()));
  for (int32_t i = 0; i < shown.count(); ++i) indices[static_cast<size_t>(i)] = shown.Entry(i);
  return indices;
}

void OnSaveAllCommand(HWND window) {
  // Its progress window dispatches messages: a drop then is refused.
  if (RefuseWhileBusy() || mainState.catalogue.count == 0) return;
  const BusyScope busy;
  const std::string summary = SaveAllImages(window, &mainState.saveAll, mainState.imageCache,
                                            &mainState.catalogue, SaveAllIndices());
  if (summary.empty()) return;
  mainState.statusNote = summary;
  InvalidateRect(window, nullptr, FALSE);
}

bool CurrentIsIconOrCursor() {
  const Catalogue& catalogue = mainState.catalogue;
  if (catalogue.count == 0 || mainState.currentIndex >= catalogue.count) return false;
  ImageKind kind = catalogue.records[mainState.currentIndex].kind;
  return kind == ImageKind::Icon || kind == ImageKind::Cursor;
}

void OnSaveGroupCommand(HWND window) {
  if (!CurrentIsIconOrCursor()) return;
  const BusyScope busy;
  SaveIconGroup(window, mainState.save, mainState.catalogue.records[mainState.currentIndex]);
}

// The entry's own menu, for a right click on the view or on a Finder cell
// (which the Finder has made the current entry).
void OnContextMenu(HWND window, WPARAM wParam, LPARAM lParam) {
  const HWND from = reinterpret_cast<HWND>(wParam);
  if ((from != mainState.view && from != mainState.finder) || mainState.catalogue.count == 0) {
    return;
  }
  const MousePoint screen = MousePointOf(static_cast<uint64_t>(lParam));
  POINT at = {screen.x, screen.y};
  // From the keyboard: beside the pointer.
  if (at.x == -1 && at.y == -1) GetCursorPos(&at);
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return;
  AppendMenuA(menu, MF_STRING, CMD_COPY, "&Copy\tCtrl+C");
  AppendMenuA(menu, MF_STRING, CMD_SAVE_IMAGE, "&Save Image...\tCtrl+S");
  AppendMenuA(menu, MF_STRING | (CurrentIsIconOrCursor() ? MF_ENABLED : MF_GRAYED),
              CMD_SAVE_ICON_GROUP, "Save Icon &Group...\tCtrl+G");
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
  DestroyMenu(menu);
}

void OnSortCommand(HWND window, SortOrder wanted) {
  if (wanted == mainState.sortOrder) return;
  mainState.sortOrder = wanted;
  {
    const BusyScope busy;
    SortCatalogue(window);
  }
  SelectItem(window, 0, true);
  UpdateCommandStates();
}

void OnToggleFinder(HWND window) {
  if (mainState.finder == nullptr) return;
  if (IsWindowVisible(mainState.finder)) {
    ShowWindow(mainState.finder, SW_HIDE);
  } else {
    ShowWindow(mainState.finder, SW_SHOW);
    RefreshFinderWithShown(window);
  }
}

// Either way the entry on show stays when it is still shown: turning the
// option off only widens the list, and turning it on moves to the entry
// shown for the same image. Only the first use in a fill reads files.
void OnToggleDuplicates(HWND window) {
  mainState.hideDuplicates = !mainState.hideDuplicates;
  if (mainState.hideDuplicates && !mainState.fold.ready()) ReadFold();
  ArrangeShownEntries();
  const ShownEntries shown = ShownCatalogueEntries();
  if (shown.count() > 0 && mainState.currentIndex < mainState.catalogue.count) {
    const int32_t index = shown.Entry(shown.PositionOf(mainState.currentIndex));
    if (index != mainState.currentIndex) SelectItem(window, index, true);
  }
  UpdateNavigationBar();
  UpdateCommandStates();
  InvalidateRect(window, nullptr, FALSE);
  if (FinderVisible()) RefreshFinderWithShown(window);
}

void OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  if (RefuseWhileBusy()) return;
  if (HIWORD(wParam) == 0 && lParam != 0 &&
      reinterpret_cast<HWND>(lParam) == mainState.banner) {
    ShellExecuteA(window, "open", kBannerAddress, nullptr, nullptr, SW_SHOW);
  }
  switch (LOWORD(wParam)) {
    case CMD_OPEN_FILES:
    case CMD_OPEN_DIRECTORY:
      OnOpenCommand(window, LOWORD(wParam));
      break;
    case CMD_SAVE_IMAGE:
      OnSaveCommand(window);
      break;
    case CMD_SAVE_ICON_GROUP:
      OnSaveGroupCommand(window);
      break;
    case CMD_COPY:
      OnCopyCommand(window);
      break;
    case CMD_SAVE_ALL:
      OnSaveAllCommand(window);
      break;
    case CMD_TOGGLE_FINDER:
      OnToggleFinder(window);
      break;
    case CMD_HIDE_DUPLICATES:
      OnToggleDuplicates(window);
      break;
    case CMD_EXIT:
      PostQuitMessage(0);
      break;
    case CMD_ZOOM_IN:
      ZoomBy(mainState.view, +1);
      break;
    case CMD_ZOOM_OUT:
      ZoomBy(mainState.view, -1);
      break;
    case CMD_SORT_LARGE_TO_SMALL:
      OnSortCommand(window, SortOrder::LargeToSmall);
      break;
    case CMD_SORT_SMALL_TO_LARGE:
      OnSortCommand(window, SortOrder::SmallToLarge);
      break;
    case CMD_NO_SORT:
      OnSortCommand(window, SortOrder::Unsorted);
      break;
    case CMD_ABOUT: {
      // The box's loop serves what other programs post: each About posted
      // while it shows would open another box inside it, without end.
      const BusyScope busy;
      ShowAboutBox(window);
      break;
    }
    case CMD_HELP_CONTENTS:
      ShowHelpContents(window);
      break;
    default:
      break;
  }
}

LRESULT OnMouseWheel(HWND window, WPARAM wParam, LPARAM lParam) {
  const MousePoint screen = MousePointOf(static_cast<uint64_t>(lParam));
  const POINT at = {screen.x, screen.y};
  RECT viewRect;
  GetWindowRect(mainState.view, &viewRect);
  if (PtInRect(&viewRect, at)) return SendMessageA(mainState.view, WM_MOUSEWHEEL, wParam, lParam);
  return DefWindowProcA(window, WM_MOUSEWHEEL, wParam, lParam);
}

void SetMenuCommand(HMENU popup, UINT command, bool enabled) {
  EnableMenuItem(popup, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

// The pop-up of the menu bar that holds command, found by its items rather
// than its place; the bar itself when none does.
HMENU PopupHolding(HMENU bar, UINT command) {
  const int count = GetMenuItemCount(bar);
  for (int i = 0; i < count; ++i) {
    HMENU popup = GetSubMenu(bar, i);
    if (popup != nullptr && GetMenuState(popup, command, MF_BYCOMMAND) != static_cast<UINT>(-1)) {
      return popup;
    }
  }
  return bar;
}

}  // namespace

void OpenPaths(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  const std::vector<DroppedPath> dropped = ClassifyPaths(paths);
  bool folders = false;
  for (const DroppedPath& p : dropped) folders = folders || p.folder;
  // The status line tells how a search ended only when there was one.
  RunOpenFlow(mainState.window, folders ? CMD_OPEN_DIRECTORY : CMD_OPEN_FILES, [&dropped] {
    return OpenDroppedPaths(mainState.window, mainState.search, dropped, &mainState.catalogue);
  });
}

BusyScope::BusyScope() : outermost_(!mainState.busy) { mainState.busy = true; }

BusyScope::~BusyScope() {
  if (!outermost_) return;
  mainState.busy = false;
  if (mainState.refusedWhileBusy) {
    mainState.refusedWhileBusy = false;
    InvalidateStatusLine();
  }
}

bool RefuseWhileBusy() {
  if (!mainState.busy) return false;
  if (!mainState.refusedWhileBusy) {
    mainState.refusedWhileBusy = true;
    InvalidateStatusLine();
  }
  return true;
}

void UpdateCommandStates() {
  bool haveEntries = mainState.catalogue.count != 0;
  HMENU menu = GetMenu(mainState.window);
  HMENU file = PopupHolding(menu, CMD_SAVE_IMAGE);
  HMENU view = PopupHolding(menu, CMD_ZOOM_IN);
  SetMenuCommand(file, CMD_SAVE_IMAGE, haveEntries);
  SetMenuCommand(file, CMD_SAVE_ICON_GROUP, CurrentIsIconOrCursor());
  SetMenuCommand(file, CMD_SAVE_ALL, haveEntries);
  SetMenuCommand(PopupHolding(menu, CMD_COPY), CMD_COPY, haveEntries);
  for (UINT command : {CMD_ZOOM_IN, CMD_ZOOM_OUT, CMD_SORT_LARGE_TO_SMALL, CMD_SORT_SMALL_TO_LARGE,
                       CMD_NO_SORT}) {
    SetMenuCommand(view, command, haveEntries);
  }
  UINT checked = mainState.sortOrder == SortOrder::LargeToSmall   ? CMD_SORT_LARGE_TO_SMALL
                 : mainState.sortOrder == SortOrder::SmallToLarge ? CMD_SORT_SMALL_TO_LARGE
                                                                  : CMD_NO_SORT;
  CheckMenuRadioItem(view, CMD_SORT_LARGE_TO_SMALL, CMD_NO_SORT, checked, MF_BYCOMMAND);
  for (UINT command : {CMD_SAVE_IMAGE, CMD_SORT_LARGE_TO_SMALL, CMD_SORT_SMALL_TO_LARGE,
                       CMD_NO_SORT}) {
    SendMessageA(mainState.toolbar, TB_ENABLEBUTTON, command, MAKELONG(haveEntries, 0));
  }
  CheckMenuItem(view, CMD_HIDE_DUPLICATES,
                MF_BYCOMMAND | (mainState.hideDuplicates ? MF_CHECKED : MF_UNCHECKED));
  SendMessageA(mainState.toolbar, TB_CHECKBUTTON, checked, MAKELONG(TRUE, 0));
  for (UINT command : {CMD_ZOOM_IN, CMD_ZOOM_OUT}) {
    SendMessageA(mainState.toolbar, TB_ENABLEBUTTON, command, MAKELONG(haveEntries, 0));
  }
}

ShownEntries ShownCatalogueEntries() {
  const bool folded = mainState.hideDuplicates && mainState.fold.ready();
  return ShownEntries{&mainState.catalogue, folded ? &mainState.fold : nullptr};
}

void RefreshFinderWithShown(HWND owner) {
  const ShownEntries shown = ShownCatalogueEntries();
  RefreshFinder(mainState.finder, mainState.catalogue.records.get(), shown.count(), owner,
                shown.fold != nullptr ? shown.fold->shown().data() : nullptr);
}

void ArrangeShownEntries() {
  if (!mainState.hideDuplicates || !mainState.fold.ready()) return;
  if (!mainState.fold.Arrange(mainState.catalogue)) mainState.hideDuplicates = false;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return CreateMainWindowParts(window) ? 0 : -1;
    case WM_SIZE:
      OnSize(window, wParam, lParam);
      return 0;
    case WM_GETMINMAXINFO:
      OnGetMinMaxInfo(window, lParam);
      return 0;
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_CLOSE:
      PostQuitMessage(0);
      return 0;
    case WM_DESTROY:
      ReleaseBanner();
      return 0;
    case WM_NOTIFY:
      OnNotify(lParam);
      return 0;
    case WM_KEYDOWN:
      if (!RefuseWhileBusy()) HandleNavigationKey(wParam);
      return 0;
    case WM_INITMENU:
      // The current entry changes without a command; menus and accelerators
      // ask here first.
      UpdateCommandStates();
      return 0;
    case WM_COMMAND:
      OnCommand(window, wParam, lParam);
      return 0;
    case WM_HSCROLL:
      if (!RefuseWhileBusy()) HandleNavigationScroll(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_ENTERIDLE:
      SearchIdleStep(wParam, lParam);
      return 0;
    case WM_MOUSEWHEEL:
      return OnMouseWheel(window, wParam, lParam);
    case WM_CONTEXTMENU:
      OnContextMenu(window, wParam, lParam);
      return 0;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool StartRavelin(HINSTANCE instance, HACCEL* accelerators) {
  InitCommonControls();
  mainState.instance = instance;

  WNDCLASSA mainClass = {};
  mainClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  mainClass.lpfnWndProc = MainWindowProc;
  mainClass.hInstance = instance;
  mainClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_RAVELIN));
  mainClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  mainClass.lpszClassName = kMainClassName;
  RegisterClassA(&mainClass);
  RegisterViewClass();
  RegisterFinderClass(instance);

  int x = GetSystemMetrics(SM_CXSCREEN) / 10;
  int y = GetSystemMetrics(SM_CYSCREEN) / 10;
  HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(IDR_MAIN_MENU));
  HWND window = CreateWindowExA(0, kMainClassName, kProgramTitle, WS_OVERLAPPEDWINDOW, x, y, 6 * x,
                                8 * y, nullptr, menu, instance, nullptr);
  if (window == nullptr) {
    MessageBoxA(nullptr, "Can't initialize", kProgramTitle, MB_ICONERROR | MB_TASKMODAL);
    return false;
  }
  *accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_MAIN_ACCELERATORS));
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  return true;
}

int RunMessageLoop(HACCEL accelerators) {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorA(mainState.window, accelerators, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
