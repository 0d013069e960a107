#pragma once
#include <windows.h>

#include <cstdint>

// The header of a DIB whose rows run from the top, each pixel blue, green,
// red and a byte GDI leaves alone: the form of every image the program
// composes itself (blended pixels, thumbnails, the logo).
inline BITMAPINFO Dib32Info(int32_t width, int32_t height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}
