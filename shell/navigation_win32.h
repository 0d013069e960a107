#pragma once
#include <windows.h>

#include <cstdint>

// Makes entry index (clamped into the catalogue) the current one: loads it,
// shows it, names its file in the title and updates the status line and the
// navigation bar. Unforced, a selection of the current entry does nothing.
void SelectItem(HWND window, int32_t index, bool forced);
void UpdateNavigationBar();
void PaintStatusLine(HDC dc, const RECT& update);
void HandleNavigationKey(WPARAM virtualKey);
void HandleNavigationScroll(int code, int position);
