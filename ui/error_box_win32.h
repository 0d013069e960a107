#pragma once
#include <windows.h>

// Every file error the user sees: the message, a line feed and the name in
// double quotes, in a box owned by owner (or none) titled with the program
// title, with the error icon and an OK button. Returns when the box closes.
void ShowErrorBox(HWND owner, const char* message, const char* name);
