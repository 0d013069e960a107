#pragma once
#include <windows.h>

// A small captioned popup of class "PgsWnd" holding one progress bar,
// centred on its owner, for loads that dispatch no messages. The work that
// shows it keeps this record of it, which the window reaches through its
// user data: one record shows one window at a time, stepping and closing do
// nothing while none is shown, and a window that cannot be made leaves the
// load to go on without it. The window goes with its record.
struct ProgressWindow {
  HWND popup = nullptr;
  HWND bar = nullptr;
  // Set by the Cancel button, cleared when a window is shown.
  bool cancelled = false;

  ProgressWindow() = default;
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;
};

void ShowProgressWindow(ProgressWindow* progress, HWND owner, const char* title, int range,
                        int step);
// The same window taller, with a Cancel button under the bar, for work that
// asks ProgressCancelled between its steps.
void ShowCancellableProgressWindow(ProgressWindow* progress, HWND owner, const char* title,
                                   int range, int step);
// Dispatches the messages waiting for this thread, so that the window can
// be painted and its button pressed; true once Cancel was pressed (or the
// window is gone).
bool ProgressCancelled(ProgressWindow* progress);
void StepProgressWindow(ProgressWindow* progress);
void CloseProgressWindow(ProgressWindow* progress);
