#pragma once
#include <windows.h>

#include "image/image_export.h"

// The save command: asks for a file name in the system's save dialog and
// writes the entry as .bmp, .ico or .cur by its kind alone, whatever
// extension was typed. Failures go to the error box; a cancelled dialog
// changes nothing. save seeds the dialog and records the save.
void SaveImage(HWND owner, SaveState& save, const ImageRecord& record, const LoadedImage& image);

// The save-group command: finds the first icon or cursor group of the
// entry's file that holds the entry, and saves that whole group through the
// same dialog and rules as SaveImage. An entry in no group gets an
// information box and nothing is written.
void SaveIconGroup(HWND owner, SaveState& save, const ImageRecord& record);
