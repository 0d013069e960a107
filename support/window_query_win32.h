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

// This thread's top-level window of the class, with the title unless it is
// null. Other processes under the same Wine server may show windows of the
// same class, so a system-wide FindWindow is not enough.
HWND FindThreadWindow(const char* className, const char* title);
