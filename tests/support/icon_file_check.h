#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One 16-byte entry of an .ico/.cur directory, as stored.
struct IconFileEntry {
  uint8_t width;
  uint8_t height;
  uint8_t colours;
  uint8_t reserved;
  uint16_t planesOrHotspotX;
  uint16_t bitCountOrHotspotY;
  uint32_t bytes;
  uint32_t offset;
};

// Reads an .ico (type 1) or .cur (type 2) file back: an empty text when the
// header is sound, there is at least one entry, the images follow the
// directory one after another in entry order with no gap and no overlap,
// and the last ends exactly at the end of the file; otherwise what is wrong.
std::string CheckIconFile(const uint8_t* bytes, size_t size, uint16_t type,
                          std::vector<IconFileEntry>* entries = nullptr);
