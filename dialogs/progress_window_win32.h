#pragma once
#include <windows.h>

// A small captioned popup of class "PgsWnd" holding one progress bar,
// centred on its owner, for loads that dispatch no messages. Only one exists
// at a time; stepping and closing do nothing while none is shown, and a
// window that cannot be made leaves the load to go on without it.
void ShowProgressWindow(HWND owner, const char* title, int range, int step);
// The same window taller, with a Cancel button under the bar, for work that
// asks ProgressCancelled between its steps.
void ShowCancellableProgressWindow(HWND owner, const char* title, int range, int step);
// Dispatches the messages waiting for this thread, so that the window can
// be painted and its button pressed; true once Cancel was pressed (or the
// window is gone).
bool ProgressCancelled();
void StepProgressWindow();
void CloseProgressWindow();
