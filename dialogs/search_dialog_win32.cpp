#include "dialogs/search_dialog_win32.h"

#include <cstdio>

#include "dialogs/directory_chooser_win32.h"
#include "res/resource.h"
#include "scan/directory_search.h"

namespace {

// What one search dialog keeps, handed to it as its init parameter and
// found again through the property that marks the dialog as a search's: the
// idle notifications of every other dialog of the owner pass by.
struct SearchDialogState {
  // The walk the dialog's idle steps advance.
  SearchState* search = nullptr;
  // The count the dialog's count line shows, and when it was last redrawn
  // (0 before its first change).
  int32_t shownCount = 0;
  LONGLONG shownAt = 0;
};

constexpr char kSearchDialogProperty[] = "RavelinSearchDialog";

constexpr LONGLONG kSearchSliceMs = 10;
// The count line is redrawn at most this often after its first change: under
// Wine a redraw costs as much as scanning a file or two, and a count that
// changes faster than this cannot be read anyway.
constexpr LONGLONG kCountLineIntervalMs = 100;

SearchDialogState* SearchDialogOf(HWND dialog) {
  return static_cast<SearchDialogState*>(GetPropA(dialog, kSearchDialogProperty));
}

// Sets the count line to the catalogue's count; with redraw, it is painted
// at once rather than when the dialog's loop next comes round.
void ShowFoundCount(HWND dialog, SearchDialogState* state, bool redraw) {
  char text[40];
  const int32_t count = state->search->catalogue->count;
  snprintf(text, sizeof text, "Found image(s): %d", static_cast<int>(count));
  SetDlgItemTextA(dialog, IDC_FOUND_COUNT, text);
  if (redraw) UpdateWindow(GetDlgItem(dialog, IDC_FOUND_COUNT));
  state->shownCount = count;
}

INT_PTR CALLBACK SearchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetPropA(dialog, kSearchDialogProperty, reinterpret_cast<HANDLE>(lParam));
      reinterpret_cast<SearchDialogState*>(lParam)->search->searching = true;
      return TRUE;
    case WM_DESTROY:
      RemovePropA(dialog, kSearchDialogProperty);
      return FALSE;
    case WM_COMMAND: {
      if (wParam != IDCANCEL) return FALSE;
      SearchState& search = *SearchDialogOf(dialog)->search;
      search.searching = false;
      CancelSearch(search);
      EndDialog(dialog, 0);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

int32_t SearchDirectory(HWND owner, SearchState& search, Catalogue* catalogue) {
  const char* start = ChooseDirectory(owner);
  if (start == nullptr) return -1;
  return SearchTree(owner, search, catalogue, start, false);
}

int32_t SearchTree(HWND owner, SearchState& search, Catalogue* catalogue, const char* start,
                   bool append) {
  if (!StartSearch(search, catalogue, append)) return 0;
  // The start directory is read before the dialog shows; only a large one
  // goes on in the dialog's steps.
  EnterSearchDirectory(search, start);
  ReadSearchListing(search, kFilesBeforeSearchDialog);
  SearchDialogState dialogState;
  dialogState.search = &search;
  INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SEARCHING),
                                   owner, SearchDialogProc, reinterpret_cast<LPARAM>(&dialogState));
  search.searching = false;
  StopSearch(search);
  if (result == -1) return 0;
  return catalogue->count;
}

void SearchIdleStep(WPARAM wParam, LPARAM lParam) {
  if (wParam != MSGF_DIALOGBOX) return;
  const HWND dialog = reinterpret_cast<HWND>(lParam);
  SearchDialogState* state = SearchDialogOf(dialog);
  if (state == nullptr || !state->search->searching) return;
  SearchState& search = *state->search;
  // Under Wine a look at the queue is a trip to the server, dearer than
  // scanning a small file, so steps run for a slice of time between looks;
  // a slice is short beside what a user notices of a Cancel.
  LARGE_INTEGER frequency, now, lookedAt;
  QueryPerformanceFrequency(&frequency);
  const LONGLONG slice = frequency.QuadPart * kSearchSliceMs / 1000;
  const LONGLONG countInterval = frequency.QuadPart * kCountLineIntervalMs / 1000;
  MSG waiting;
  if (PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) return;
  QueryPerformanceCounter(&lookedAt);
  for (;;) {
    const SearchStepResult step = SearchStep(search, kFilesPerSearchStep);
    if (step == SearchStepResult::Done) {
      // A line that has begun to follow the walk ends on the count found,
      // for whatever reads it; the dialog goes before it could be painted.
      if (state->shownAt != 0 && search.catalogue->count != state->shownCount) {
        ShowFoundCount(dialog, state, false);
      }
      search.searching = false;
      EndDialog(dialog, 0);
      return;
    }
    // The count line follows the directories entered and a large one being
    // read, but a redraw of the same text would show nothing new.
    QueryPerformanceCounter(&now);
    if (search.catalogue->count != state->shownCount &&
        (state->shownAt == 0 || now.QuadPart - state->shownAt >= countInterval)) {
      ShowFoundCount(dialog, state, true);
      state->shownAt = now.QuadPart;
    }
    if (now.QuadPart - lookedAt.QuadPart < slice) continue;
    if (PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) return;
    lookedAt = now;
  }
}
