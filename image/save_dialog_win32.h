#pragma once
#include <windows.h>

#include "image/image_loader.h"

// The save command: asks for a file name in the system's save dialog and
// writes the entry as .bmp, .ico or .cur by its kind alone, whatever
// extension was typed. Failures go to the error box; a cancelled dialog
// changes nothing.
void SaveImage(HWND owner, const ImageRecord& record, const LoadedImage& image);
