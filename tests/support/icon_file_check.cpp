#include "tests/support/icon_file_check.h"

namespace {

uint32_t Le(const uint8_t* at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | at[i];
  return v;
}

}  // namespace

std::string CheckIconFile(const uint8_t* bytes, size_t size, uint16_t type,
                          std::vector<IconFileEntry>* entries) {
  if (entries != nullptr) entries->clear();
  if (size < 6) return "shorter than its 6-byte header";
  if (Le(bytes, 2) != 0) return "reserved word not 0";
  if (Le(bytes + 2, 2) != type) return "type " + std::to_string(Le(bytes + 2, 2));
  const uint64_t n = Le(bytes + 4, 2);
  if (n == 0) return "no image";
  uint64_t expected = 6 + 16 * n;
  if (expected > size) return "directory past the end";
  for (uint64_t i = 0; i < n; ++i) {
    const uint8_t* e = bytes + 6 + 16 * i;
    IconFileEntry entry{e[0],
                        e[1],
                        e[2],
                        e[3],
                        static_cast<uint16_t>(Le(e + 4, 2)),
                        static_cast<uint16_t>(Le(e + 6, 2)),
                        Le(e + 8, 4),
                        Le(e + 12, 4)};
    const std::string which = "entry " + std::to_string(i) + ": ";
    if (entry.bytes == 0) return which + "no bytes";
    if (entry.offset != expected) {
      return which + "offset " + std::to_string(entry.offset) + ", not " + std::to_string(expected);
    }
    if (entry.bytes > size - expected) return which + "image past the end";
    expected += entry.bytes;
    if (entries != nullptr) entries->push_back(entry);
  }
  if (expected != size) return std::to_string(size - expected) + " bytes after the last image";
  return {};
}
