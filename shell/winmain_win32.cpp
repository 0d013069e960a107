#include <windows.h>

#include "shell/main_window_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  HACCEL accelerators = nullptr;
  if (!StartRavelin(instance, &accelerators)) return 0;
  return RunMessageLoop(accelerators);
}
