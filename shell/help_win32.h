#pragma once
#include <windows.h>

// Opens Ravelin.chm, beside the program file, at its table of contents.
// Says nothing when the help control or the file is missing.
void ShowHelpContents(HWND owner);
