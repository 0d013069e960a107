#pragma once
#include <cstdint>

#include "scan/catalogue.h"

// The orders the catalogue can be put in. Kept by the main window as a plain
// 32-bit value; a value outside these leaves the order as it is.
enum class SortOrder : int32_t { Unsorted = 0, LargeToSmall = 1, SmallToLarge = 2 };

// Reads the header of every one of the first count records whose area is
// still 0 and writes the area it gives. A file is opened once for a run of
// such records that share their directory and file name references (compared
// as pointers, not as texts). False as soon as a file cannot be opened or
// ends before 16 header bytes; the areas found until then stay written.
bool FillMissingAreas(ImageRecord* records, int32_t count);

// Writes into order the slot numbers 0..count-1 arranged as the repeated
// neighbour-swapping passes would leave them: records with equal keys keep
// their relative order, keys are compared as signed values. Areas of 0 are
// taken as they stand.
void SortIndex(const ImageRecord* records, int32_t count, SortOrder sortOrder, int32_t* order);

enum class SortOutcome : int32_t {
  Sorted = 0,
  // Nothing to sort: nothing was read or allocated.
  Empty = 1,
  // A file could not be read back: the order is unchanged, the areas found
  // so far are kept.
  AreasUnreadable = 2,
  // No memory for the index or the new table: the catalogue is unchanged.
  NoMemory = 3,
};

// Puts the catalogue's records in sortOrder: the area pass, then a new table
// of the catalogue's capacity receiving each record once, which replaces the
// old one. On any outcome but Sorted the table is the same as before.
SortOutcome SortRecords(Catalogue* catalogue, SortOrder sortOrder);
