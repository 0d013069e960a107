#include "support/window_query_win32.h"

std::string WindowText(HWND window) {
  // Long enough for a full path in a title or a message box's text.
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string WindowClass(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

HWND FindDescendant(HWND parent, const char* className) {
  for (HWND child = FindWindowExA(parent, nullptr, nullptr, nullptr); child != nullptr;
       child = FindWindowExA(parent, child, nullptr, nullptr)) {
    if (lstrcmpiA(WindowClass(child).c_str(), className) == 0) return child;
    if (HWND deeper = FindDescendant(child, className)) return deeper;
  }
  return nullptr;
}

namespace {

struct WindowSearch {
  const char* className;
  const char* title;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  if (WindowClass(window) != search->className) return TRUE;
  if (search->title != nullptr && WindowText(window) != search->title) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND FindThreadWindow(const char* className, const char* title) {
  WindowSearch search{className, title, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}
