#pragma once
#include <windows.h>

#include <cstdint>

// A 32-bit top-down DIB section selected into a memory DC: what the GUI
// tests and benches paint into, or copy a window's pixels into, to read
// them back.
class MemoryCanvas {
 public:
  MemoryCanvas(int width, int height);
  ~MemoryCanvas();
  MemoryCanvas(const MemoryCanvas&) = delete;
  MemoryCanvas& operator=(const MemoryCanvas&) = delete;

  bool ok() const { return bits_ != nullptr; }
  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // Rows from the top, each pixel 0x00RRGGBB (blue first in memory).
  const uint32_t* bits() const { return static_cast<const uint32_t*>(bits_); }

  // Copies the top-left width x height pixels of window's client area as
  // the screen shows them.
  void CopyFrom(HWND window);

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
};
