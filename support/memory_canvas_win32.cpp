#include "support/memory_canvas_win32.h"

#include "ui/dib32_win32.h"

MemoryCanvas::MemoryCanvas(int width, int height) : width_(width), height_(height) {
  dc_ = CreateCompatibleDC(nullptr);
  const BITMAPINFO info = Dib32Info(width, height);
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
  if (bitmap_ == nullptr) bits_ = nullptr;
  if (bitmap_ != nullptr) old_ = SelectObject(dc_, bitmap_);
}

MemoryCanvas::~MemoryCanvas() {
  if (old_ != nullptr) SelectObject(dc_, old_);
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  DeleteDC(dc_);
}

void MemoryCanvas::CopyFrom(HWND window) {
  HDC screen = GetDC(window);
  BitBlt(dc_, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
  GdiFlush();
  ReleaseDC(window, screen);
}
