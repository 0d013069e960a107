#pragma once
#include <windows.h>

#include "image/image_loader.h"

// The clipboard format name that image editors, office programs and
// browsers read a PNG file from.
inline constexpr char kPngClipboardFormat[] = "PNG";

// The copy command: puts the entry on the clipboard as a PNG file (format
// "PNG") and as CF_DIBV5 with its alpha. An entry whose pixels cannot be
// read gets the save command's refusal, and the clipboard is left alone.
void CopyEntryToClipboard(HWND owner, const ImageRecord& record, const LoadedImage& image);
