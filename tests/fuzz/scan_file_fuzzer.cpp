// libFuzzer target: each input is written to a file and scanned as an
// executable. Beyond the sanitizers' own checks, a scan must report a status,
// write no slot beyond the records it reports and name only bytes that lie in
// the file; anything else traps.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "scan/catalogue.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

constexpr char kName[] = "input.exe";
// A second scan with almost no room exercises the catalogue running full in
// the middle of a file.
constexpr int32_t kSmallCapacity = 2;
constexpr int32_t kUntouched = -0x5A5A5A5A;

Catalogue roomy;
Catalogue small;

bool Setup() {
  // Heap tables of exactly their capacity, so that AddressSanitizer sees a
  // write past either of them.
  if (!AllocateCatalogue(&roomy, kCatalogueCapacity) ||
      !AllocateCatalogue(&small, kSmallCapacity)) {
    abort();
  }
  for (int32_t i = 0; i < kCatalogueCapacity; ++i) roomy.records[i].sequence = kUntouched;
  for (int32_t i = 0; i < kSmallCapacity; ++i) small.records[i].sequence = kUntouched;
  return true;
}

void Require(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "scan invariant broken: %s\n", what);
    __builtin_trap();
  }
}

// Every slot holds kUntouched between scans; only the slots a scan wrote are
// looked at and reset, as records are written in slot order and a stray one
// would land right after the last.
void ScanOnce(Catalogue* catalogue, int64_t length) {
  constexpr int32_t kMargin = 64;
  ImageRecord* records = catalogue->records.get();
  const int32_t capacity = catalogue->capacity;
  catalogue->count = 0;
  int32_t sequence = catalogue->nextSequence;
  int32_t count = -1;
  ScanStatus status = ScanFile(FuzzScratchFile(kName).directory.c_str(), kName, catalogue, &count);
  int32_t made = catalogue->nextSequence - sequence;
  int32_t touched = 0;
  int32_t look = made < 0 ? capacity : (made + kMargin < capacity ? made + kMargin : capacity);
  for (int32_t i = look; i > 0; --i) {
    if (records[i - 1].sequence != kUntouched) {
      touched = i;
      break;
    }
  }
  switch (status) {
    case ScanStatus::Ok:
    case ScanStatus::Partial:
      Require(count >= 1 && count <= capacity && count == made, "record count");
      Require(touched == count, "slots written beyond the count");
      for (int32_t i = 0; i < count; ++i) {
        const ImageRecord& r = records[i];
        int32_t kind = static_cast<int32_t>(r.kind);
        Require(kind >= 1 && kind <= 3, "kind");
        Require(r.sequence == sequence + i, "sequence");
        Require(r.offset >= 0 && r.size >= 0 && int64_t{r.offset} + r.size <= length,
                "record outside the file");
      }
      break;
    case ScanStatus::Damaged:
    case ScanStatus::Unsupported:
    case ScanStatus::NoImages:
      Require(made == 0 && touched == 0 && count == -1, "records without Ok");
      break;
    default:
      Require(false, "status");
  }
  for (int32_t i = 0; i < touched; ++i) records[i].sequence = kUntouched;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = Setup();
  (void)ready;
  WriteFuzzFile(FuzzScratchFile(kName).path, data, size);
  int64_t length = static_cast<int64_t>(size);
  ScanOnce(&roomy, length);
  ScanOnce(&small, length);
  return 0;
}
