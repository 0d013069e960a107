#pragma once
#include <windows.h>

#include <string>

// Read-only questions the GUI tests ask of windows they did not create.
std::string WindowText(HWND window);
std::string WindowClass(HWND window);

// The first window of the class (compared without case) anywhere below
// parent, depth first. Common dialogs nest their controls, so a direct
// child search misses them.
HWND FindDescendant(HWND parent, const char* className);
