#include "ui/window_state_win32.h"

#include <cstring>

namespace {

struct Search {
  const char* className;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  char name[64];
  if (GetClassNameA(window, name, sizeof name) > 0 && std::strcmp(name, search->className) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK MatchWindowOrChild(HWND window, LPARAM lParam) {
  if (!MatchWindow(window, lParam)) return FALSE;
  EnumChildWindows(window, MatchWindow, lParam);
  return reinterpret_cast<Search*>(lParam)->found == nullptr;
}

}  // namespace

HWND FindThreadWindow(const char* className) {
  Search search{className, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchWindowOrChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}
