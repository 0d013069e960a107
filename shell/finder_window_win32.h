#pragma once
#include <windows.h>

#include <cstdint>

#include "scan/catalogue.h"

inline constexpr char kFinderClassName[] = "FndWnd";

bool RegisterFinderClass(HINSTANCE instance);
// Shows count entries of catalogue; owner is the main window, whose entry a
// click selects.
void RefreshFinder(HWND finder, ImageRecord* catalogue, int32_t count, HWND owner);
