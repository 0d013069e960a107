#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Builder for 16-bit NE executables with a resource table, laid out in code
// so that each test can bend exactly the field it is about.

inline constexpr uint16_t kNeTypeCursor = 0x8001;
inline constexpr uint16_t kNeTypeBitmap = 0x8002;
inline constexpr uint16_t kNeTypeIcon = 0x8003;
inline constexpr uint16_t kNeTypeGroupCursor = 0x800C;
inline constexpr uint16_t kNeTypeGroupIcon = 0x800E;

struct NeResource {
  // In units of 1 << shift. Filled in by Build when data is given.
  uint16_t offset = 0;
  uint16_t length = 0;
  uint16_t flags = 0x0030;  // movable, shared
  uint16_t id = 0x8001;
  std::optional<std::vector<uint8_t>> data;
};

struct NeTypeEntry {
  uint16_t type = 0;
  std::vector<NeResource> resources;
  // Written as the resource count instead of resources.size().
  std::optional<uint16_t> count;
};

struct NeFile {
  std::vector<uint8_t> bytes;
  uint32_t tablePosition = 0;
  // File position of each resource's data (offset << shift), in table order:
  // type by type, and within a type in entry order.
  std::vector<int64_t> resourcePositions;
};

// MZ header, NE header, resource table and resource data. Resources that
// carry data get it placed after the table (or from dataStart when set), each
// at a boundary of 1 << shift bytes, with offset and length filled in.
struct NeBuilder {
  int32_t headerPosition = 0x80;
  // The four bytes at headerPosition; the last two are the linker version.
  std::array<uint8_t, 4> signature{'N', 'E', 5, 10};
  // Of the resource table, from the NE header.
  uint16_t tableOffset = 0x40;
  uint16_t shift = 4;
  std::vector<NeTypeEntry> types;
  // The zero type that ends the table.
  bool endOfTable = true;
  uint32_t dataStart = 0;

  uint32_t TablePosition() const { return static_cast<uint32_t>(headerPosition) + tableOffset; }
  // Adds a resource with data to the last type entry of that type, or to a new
  // one at the end of the table. id 0 numbers it after the type's others
  // (0x8001, 0x8002, ...).
  void Add(uint16_t type, std::vector<uint8_t> data, uint16_t id = 0);
  NeFile Build() const;
};
