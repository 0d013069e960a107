#pragma once
#include <windows.h>

#include <cstdint>

#include "scan/directory_search.h"

// The open-directory command: the user picks a folder in the directory
// chooser, and its whole tree is searched behind the modal "Searching for
// images..." dialog (resource 114), owned by owner. The walk advances from
// the WM_ENTERIDLE notifications that the dialog sends to owner, which must
// hand them to SearchIdleStep. Returns -1 when the chooser was cancelled
// (nothing changed), 0 when the name pools or the dialog could not be had,
// and otherwise the number of records now in the catalogue from slot 0, also
// after Cancel.
int32_t SearchDirectory(HWND owner, SearchState& search, Catalogue* catalogue);

// The search of SearchDirectory from start, a full path, without the
// chooser; with append set the records go behind those already in the
// catalogue. Returns 0 when the name pools or the dialog could not be had,
// and otherwise the number of records now in the catalogue.
int32_t SearchTree(HWND owner, SearchState& search, Catalogue* catalogue, const char* start,
                   bool append);

// Runs steps of the walk until a message waits; anything but the search
// dialog's own idle notification is ignored. The walk is the one the dialog
// was shown for.
void SearchIdleStep(WPARAM wParam, LPARAM lParam);
