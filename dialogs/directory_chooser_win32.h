#pragma once
#include <windows.h>

// The directory chooser, dialog resource 111: a drive list and an
// owner-drawn folder list that moves through the tree on double-clicks. Every
// folder it shows becomes the process's current directory, and stays so
// after Cancel. Returns the folder on the path line (ChooserPath) when the
// dialog ends with OK; nullptr after Cancel or when the dialog cannot be
// shown.
const char* ChooseDirectory(HWND owner);

// Draws one item of the folder list; the dialog calls it for WM_DRAWITEM.
void DrawFolderItem(const DRAWITEMSTRUCT& item);
