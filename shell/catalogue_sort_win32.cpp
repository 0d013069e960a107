#include "shell/catalogue_sort_win32.h"

#include "scan/catalogue_sort.h"
#include "shell/finder_window_win32.h"
#include "shell/main_window_win32.h"
#include "ui/wait_cursor.h"

void SortCatalogue(HWND owner) {
  if (mainState.catalogue.count == 0) return;
  SetWaitCursor(true);
  const SortOutcome outcome = SortRecords(&mainState.catalogue, mainState.sortOrder);
  SetWaitCursor(false);
  if (outcome != SortOutcome::Sorted) return;
  // The entry on show now sits at another index, or none of the new table
  // has been loaded: the next selection must not take the old one for it.
  mainState.catalogueChanged = true;
  ArrangeShownEntries();
  if (mainState.finder != nullptr && IsWindowVisible(mainState.finder)) {
    RefreshFinderWithShown(owner);
  }
}
