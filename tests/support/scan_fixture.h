#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "scan/catalogue.h"
#include "tests/support/temp_dir.h"

struct ScanOutcome {
  ScanStatus status = ScanStatus::CannotOpen;
  // The records ScanFile reported, on Ok.
  std::vector<ImageRecord> records;
  // One past the highest slot ScanFile wrote, whatever it reported: a scan
  // must write no slot beyond the count it returns.
  int32_t slotsTouched = 0;
};

// Writes bytes as name in dir and scans it into a table of exactly capacity
// slots, so that a write past the capacity lands outside the allocation.
ScanOutcome ScanBytes(const TempDir& dir, const std::vector<uint8_t>& bytes,
                      int32_t capacity = kCatalogueCapacity,
                      const std::string& name = "fixture.exe");

// Scans a file that is already there.
ScanOutcome ScanPath(const std::string& directory, const std::string& name,
                     int32_t capacity = kCatalogueCapacity);

// Records that do not name bytes inside a file of fileLength: an empty text
// when every record is sound.
std::string CheckRecordsWithin(const std::vector<ImageRecord>& records, int64_t fileLength);

// The folder of real executables that tests use when it is present, from the
// environment variable RAVELIN_CORPUS or the build's default; empty when
// absent.
std::string CorpusDirectory();
// Files of one subfolder of the corpus ("pe", "ne", "neg"), sorted by name;
// empty when the corpus is absent.
std::vector<std::string> CorpusFiles(const std::string& subfolder);
