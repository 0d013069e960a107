#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Builders for PE executables with resource trees, laid out in code so that
// each test can bend exactly the field it is about.

inline constexpr uint32_t kResourceSubdirectory = 0x80000000u;
inline constexpr uint16_t kResourceTypeCursor = 1;
inline constexpr uint16_t kResourceTypeBitmap = 2;
inline constexpr uint16_t kResourceTypeIcon = 3;
inline constexpr uint16_t kResourceTypeGroupCursor = 12;
inline constexpr uint16_t kResourceTypeGroupIcon = 14;

// Raw tables of a resource section, at section offsets.
void PutResourceDirectory(std::vector<uint8_t>& section, size_t at, uint16_t namedCount,
                          uint16_t idCount);
void PutResourceEntry(std::vector<uint8_t>& section, size_t at, uint32_t nameOrId,
                      uint32_t offsetToData);
void PutResourceDataEntry(std::vector<uint8_t>& section, size_t at, uint32_t rva, uint32_t size);

// A resource type or name: a number, or a text stored in the section as a
// counted UTF-16 string.
struct ResName {
  bool named = false;
  uint32_t id = 0;
  std::string text;
  static ResName Id(uint32_t id) { return ResName{false, id, {}}; }
  static ResName Text(std::string text) { return ResName{true, 0, std::move(text)}; }
  bool operator==(const ResName&) const = default;
};

struct PeResource {
  ResName type;
  ResName name;
  uint16_t language = 0x0409;
  std::vector<uint8_t> data;
};

// A resource section in the usual layout: the type directory, then the name
// directories, the language directories, all data entries together, the name
// strings, and the data, each resource's data at a 4-byte boundary. Types
// keep the order of their first appearance in the list, names within a type
// likewise, so the walk order of the tree is the order of the list when the
// list is grouped by type and name. Offsets are from the section start.
struct ResourceSection {
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> dataEntryOffsets;  // one per resource, in list order
  std::vector<uint32_t> dataOffsets;       // one per resource, in list order
};
ResourceSection BuildResourceSection(const std::vector<PeResource>& resources,
                                     uint32_t virtualAddress);

struct PeSection {
  // The first 8 bytes are the name field, zero padded; embedded zeros are kept.
  std::string name = ".rsrc";
  uint32_t virtualAddress = 0x1000;
  // 0: placed after the headers or the previous section, at a 0x200 boundary.
  uint32_t rawPosition = 0;
  std::vector<uint8_t> bytes;
};

struct PeFile {
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> sectionPositions;  // where each section's bytes start
};

// MZ header, "PE" signature, COFF header, optional header and section table,
// then the sections. The optional header gets the fields a loader or a
// resource tool looks at (magic, alignments, sizes, the resource data
// directory) as far as optionalHeaderSize leaves room for them.
struct PeBuilder {
  int32_t headerPosition = 0x80;
  std::array<uint8_t, 4> signature{'P', 'E', 0, 0};
  uint16_t machine = 0x014C;
  bool pe32Plus = false;
  uint16_t optionalHeaderSize = 0xE0;
  // Written as NumberOfSections instead of the number of sections given.
  std::optional<uint16_t> sectionCount;
  // Written as the resource directory's address, with size 0, instead of the
  // first ".rsrc" section's address and size.
  std::optional<uint32_t> resourceAddress;
  std::vector<PeSection> sections;

  // The offset of the first section header in the file.
  uint32_t SectionTablePosition() const;
  PeFile Build() const;
};

// A PE file whose only sections are ".text" and ".rsrc", the latter holding
// the resources in the usual layout.
struct MinimalPe {
  std::vector<uint8_t> bytes;
  uint32_t virtualAddress = 0;  // of .rsrc
  uint32_t rsrcPosition = 0;    // file position of .rsrc
  ResourceSection rsrc;
  // File position of resource i's data, which its record's offset names.
  int32_t DataPosition(size_t i) const {
    return static_cast<int32_t>(rsrcPosition + rsrc.dataOffsets.at(i));
  }
  // File position of resource i's data entry.
  int64_t DataEntryPosition(size_t i) const { return rsrcPosition + rsrc.dataEntryOffsets.at(i); }
  // Rewrites resource i's data entry so that it names size bytes at the file
  // position given (the RVA wraps to 32 bits as a file's would).
  void PointDataEntry(size_t i, int64_t filePosition, uint32_t size);
};
MinimalPe MakeMinimalPe(const std::vector<PeResource>& resources, bool pe32Plus = false,
                        uint32_t rsrcVirtualAddress = 0x2000);

// Shorthands for numbered resources.
PeResource PeBitmap(uint32_t id, std::vector<uint8_t> data);
PeResource PeIcon(uint32_t id, std::vector<uint8_t> data);
PeResource PeCursor(uint32_t id, std::vector<uint8_t> data);
