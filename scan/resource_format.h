#pragma once
#include <cstdint>

// The resource layouts the walkers and the group reader both parse.

// PE: the COFF header, the section table and the resource directory tree.
inline constexpr int32_t kCoffHeaderSize = 20;
inline constexpr int32_t kSectionHeaderSize = 40;
inline constexpr int32_t kMaxSectionTableBytes = 65536;
inline constexpr int32_t kDirectoryTableSize = 16;
inline constexpr int32_t kDirectoryEntrySize = 8;
// Set in an entry's target when it leads to another table.
inline constexpr uint32_t kSubdirectoryBit = 0x80000000u;

// PE resource type numbers.
inline constexpr int32_t kPeTypeCursor = 1;
inline constexpr int32_t kPeTypeBitmap = 2;
inline constexpr int32_t kPeTypeIcon = 3;
inline constexpr int32_t kPeTypeGroupCursor = 12;
inline constexpr int32_t kPeTypeGroupIcon = 14;

// NE: the header and the resource table.
inline constexpr int32_t kNeHeaderBytes = 64;
inline constexpr int32_t kNeTableOffsetField = 0x22;  // 0x24 in the NE header
inline constexpr int32_t kNeTypeEntrySize = 8;
inline constexpr int32_t kNeResourceEntrySize = 12;
inline constexpr int32_t kNeSmallestTable = 10;
// NE type and name numbers carry this bit; without it they name a string.
inline constexpr uint16_t kNeNumberedBit = 0x8000;
inline constexpr uint16_t kNeTypeCursor = kNeNumberedBit | kPeTypeCursor;
inline constexpr uint16_t kNeTypeBitmap = kNeNumberedBit | kPeTypeBitmap;
inline constexpr uint16_t kNeTypeIcon = kNeNumberedBit | kPeTypeIcon;
inline constexpr uint16_t kNeTypeGroupCursor = kNeNumberedBit | kPeTypeGroupCursor;
inline constexpr uint16_t kNeTypeGroupIcon = kNeNumberedBit | kPeTypeGroupIcon;

// What looking for a file's resource tree or table found.
enum class TreeLookup { Found, NoTree, Damaged };
