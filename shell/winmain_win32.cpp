#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "shell/main_window_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  HACCEL accelerators = nullptr;
  if (!StartRavelin(instance, &accelerators)) return 0;
  // Files and folders named on the command line ("Open with", a shortcut)
  // open as a drop would.
  OpenPaths(std::vector<std::string>(__argv + 1, __argv + __argc));
  return RunMessageLoop(accelerators);
}
