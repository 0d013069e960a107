#include <windows.h>

#include "shell/wait_cursor.h"

namespace {

bool initialised = false;
HCURSOR remembered = nullptr;

}  // namespace

void SetWaitCursor(bool on) {
  if (!initialised) {
    remembered = LoadCursorA(nullptr, IDC_ARROW);
    initialised = true;
  }
  if (on) {
    remembered = GetCursor();
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  } else {
    SetCursor(remembered);
  }
}
