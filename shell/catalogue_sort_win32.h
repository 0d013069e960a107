#pragma once
#include <windows.h>

// Puts the main window's catalogue in its sort order under the wait cursor,
// replacing the table, and refreshes a visible Finder with the new one.
// owner is the main window. A catalogue whose files can no longer be read
// keeps its order, silently; the current index is left alone.
void SortCatalogue(HWND owner);
