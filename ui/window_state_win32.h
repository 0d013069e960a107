#pragma once
#include <windows.h>

#include <memory>
#include <new>

// A window's own state: made with the window, reached through the window's
// user data (GWLP_USERDATA, which the window's class leaves to it), deleted
// with it, so that two windows of a class never share it and nothing
// outlives its window.

template <typename State>
State* WindowState(HWND window) {
  if (window == nullptr) return nullptr;
  return reinterpret_cast<State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// For WM_NCCREATE: a fresh State for window; false when there is no memory
// for it, and the window is then not made.
template <typename State>
bool AttachWindowState(HWND window) {
  auto* state = new (std::nothrow) State();
  if (state == nullptr) return false;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  return true;
}

// For WM_NCDESTROY, the window's last message.
template <typename State>
void DetachWindowState(HWND window) {
  const std::unique_ptr<State> state(WindowState<State>(window));
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
}

// The first window of class className that this thread owns, top-level or
// child, or null: how a test reaches the one window of a kind it made.
HWND FindThreadWindow(const char* className);
