#pragma once
#include <windows.h>

// A small captioned popup of class "PgsWnd" holding one progress bar,
// centred on its owner, for loads that dispatch no messages. Only one exists
// at a time; stepping and closing do nothing while none is shown, and a
// window that cannot be made leaves the load to go on without it.
void ShowProgressWindow(HWND owner, const char* title, int range, int step);
void StepProgressWindow();
void CloseProgressWindow();
