#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/save_all_win32.h"
#include "image/image_export.h"
#include "image/image_loader.h"
#include "scan/catalogue.h"
#include "scan/catalogue_sort.h"
#include "scan/directory_search.h"
#include "scan/duplicate_fold.h"

// The run-wide state of the main window; one instance, kept for the run.
struct MainState {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  HWND toolbar = nullptr;
  HWND view = nullptr;
  HWND navigationBar = nullptr;
  HWND finder = nullptr;
  HWND banner = nullptr;
  HBITMAP bannerBitmap = nullptr;
  HCURSOR handCursor = nullptr;

  // Its table is had once, when the window is made; a sort may replace it,
  // so every user takes it from here each time.
  Catalogue catalogue;
  int32_t currentIndex = 0;
  SortOrder sortOrder = SortOrder::Unsorted;

  // The current entry as loaded; imageShown tells whether it describes an
  // entry of the present catalogue (it does not before the first load, nor
  // after a refill whose first load the user cancelled).
  LoadedImage image;
  bool imageShown = false;
  uint8_t* largeBuffer = nullptr;
  // Every load of the run's records goes through the one cache.
  ImageCache imageCache;

  // The last search's walk: the status line reads how it stopped once its
  // dialog has gone.
  SearchState search;
  // The save commands' memory, carried from one dialog to the next.
  SaveState save;
  SaveAllChoice saveAll;
  // Set when the catalogue's content or order changed and no entry of it has
  // been loaded since.
  bool catalogueChanged = false;

  int textHeight = 0;
  int statusLineHeight = 0;
  int statusLineTop = 0;
  // Said at the left of the status line after an open that found nothing or
  // a search cut short, until another entry is shown.
  std::string statusNote;
  // The toolbar's height with all its buttons on one row.
  int toolbarRowHeight = 0;

  // View > Hide Duplicates: only the first entry of each set of equal
  // images is shown. The fold reads the entries' bytes once per fill, when
  // the option is first wanted for it, and is arranged again after a sort.
  bool hideDuplicates = false;
  DuplicateFold fold;

  // Set while a command that fills, sorts or writes runs: its own dialogs,
  // boxes and the search's loop dispatch whatever reaches the window, and
  // nothing may start another such command meanwhile (see RefuseWhileBusy).
  bool busy = false;
  // Something was refused in the present busy spell; the status line says so.
  bool refusedWhileBusy = false;
};
extern MainState mainState;

inline constexpr char kMainClassName[] = "KestrelWnd";
inline constexpr char kNoImagesFound[] = "No images found.";
inline constexpr char kSearchCancelled[] = "Search cancelled.";
inline constexpr char kDamagedFileNote[] = " is damaged: some images may be missing";
inline constexpr char kBusyNote[] = "Busy";

// Keeps the main window busy for its life; nested ones leave it to the
// outermost.
class BusyScope {
 public:
  BusyScope();
  ~BusyScope();
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool outermost_;
};

// The one check before anything that changes the catalogue, the current
// entry or the files written: every command of the main window, its
// navigation keys and bar, and the Finder's clicks and keys. True, with
// "Busy" in the status line, when a busy command runs; the caller then does
// nothing.
bool RefuseWhileBusy();

// Start-up up to a shown main window: common controls, the window classes,
// the main window and the accelerator table. False (after the "Can't
// initialize" box) when the main window cannot be created.
bool StartRavelin(HINSTANCE instance, HACCEL* accelerators);
// The message loop; returns the quit message's code.
int RunMessageLoop(HACCEL accelerators);

// Opens files and folders dropped on the main window or the Finder, or
// named on the command line, as the open dialog and the directory chooser
// would: one catalogue, in their order. Nothing happens for none, nor while
// another open is running.
void OpenPaths(const std::vector<std::string>& paths);

// Greys or enables the commands that need entries and marks the sort order.
void UpdateCommandStates();

// The entries on show, by position: the whole catalogue, or with duplicates
// hidden the first of each set. Navigation, the count in the status line,
// the Finder and every command over all entries go through them.
ShownEntries ShownCatalogueEntries();
// Shows the shown entries in the Finder from its top row.
void RefreshFinderWithShown(HWND owner);
// Arranges the fold for the catalogue's present order, when duplicates are
// hidden; without the memory for it they are shown again.
void ArrangeShownEntries();
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
