#include "ui/error_box_win32.h"

#include <cstdio>

#include "ui/program_title.h"

namespace {

// Long enough for any message and a full 259-character path; a longer text
// is cut rather than refused, since the box is all the user gets.
constexpr int kErrorTextSize = 500;

}  // namespace

void ShowErrorBox(HWND owner, const char* message, const char* name) {
  char text[kErrorTextSize];
  snprintf(text, sizeof text, "%s\n\"%s\"", message, name);
  MessageBoxA(owner, text, kProgramTitle, MB_ICONERROR | MB_OK);
}
