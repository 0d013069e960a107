// The cost of hiding duplicates against its floor, over a full catalogue.
//
//   duplicate_fold_bench [--rounds N] PATH...
//
// Fills a catalogue of 20000 entries from the executables under PATH (the
// paths are walked again, as new files, until it is full or they add
// nothing), then times in every round, one after the other:
// - the floor: every entry's bytes read once through the file services, one
//   open per run of a file's entries in discovery order, nothing else;
// - DuplicateFold::Read, which reads the same bytes the same way and groups
//   them;
// - DuplicateFold::Arrange, what the window does when the option is turned
//   on again or after a sort (turning it off does nothing at all).
// Prints the medians and the median of the per-round ratios fold / floor, of
// the wall clock and of the process's processor time (which a loaded machine
// disturbs less).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "scan/catalogue.h"
#include "scan/catalogue_sort.h"
#include "scan/duplicate_fold.h"
#include "scan/file_services.h"
#include "scan/name_pool.h"
#include "scan/path_walk.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from) {
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

double ProcessorMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The floor: the bytes of every entry read once, files opened as the fold
// opens them. Returns a sum of the bytes, so the reads cannot be dropped.
uint64_t ReadEveryEntry(const Catalogue& catalogue, const std::vector<int32_t>& bySequence) {
  std::vector<uint8_t> buffer;
  uint64_t sum = 0;
  FileHandle file = kInvalidFile;
  const char* directory = nullptr;
  const char* fileName = nullptr;
  for (int32_t slot : bySequence) {
    const ImageRecord& r = catalogue.records[slot];
    if (file == kInvalidFile || r.directory != directory || r.fileName != fileName) {
      if (file != kInvalidFile) CloseFile(file);
      file = OpenInDirectory(r.directory, r.fileName);
      directory = r.directory;
      fileName = r.fileName;
    }
    if (file == kInvalidFile || r.size <= 0) continue;
    if (buffer.size() < static_cast<size_t>(r.size)) buffer.resize(static_cast<size_t>(r.size));
    if (ReadBytesAt(file, r.offset, buffer.data(), r.size) == r.size) sum += buffer[0];
  }
  if (file != kInvalidFile) CloseFile(file);
  return sum;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 7;
  int first = 1;
  if (argc > 2 && strcmp(argv[1], "--rounds") == 0) {
    rounds = std::max(1, atoi(argv[2]));
    first = 3;
  }
  if (first >= argc) {
    fprintf(stderr, "usage: duplicate_fold_bench [--rounds N] PATH...\n");
    return 2;
  }
  Catalogue catalogue;
  if (!catalogue.directoryNames.Reset(8 << 20) || !catalogue.fileNames.Reset(64 << 20) ||
      !AllocateCatalogue(&catalogue, kCatalogueCapacity)) {
    fprintf(stderr, "out of memory\n");
    return 1;
  }
  const auto offer = [&catalogue](const char* directory, const char* fileName) {
    const char* directoryRef = catalogue.directoryNames.Append(directory);
    const char* nameRef = catalogue.fileNames.Append(fileName);
    if (directoryRef != nullptr && nameRef != nullptr) {
      AddFileToCatalogue(&catalogue, directoryRef, nameRef);
    }
  };
  for (int32_t before = -1; catalogue.count < catalogue.capacity && catalogue.count != before;) {
    before = catalogue.count;
    for (int i = first; i < argc; ++i) WalkPath(argv[i], offer);
  }
  int64_t bytes = 0;
  for (int32_t i = 0; i < catalogue.count; ++i) bytes += std::max(0, catalogue.records[i].size);
  std::vector<int32_t> bySequence(static_cast<size_t>(catalogue.count));
  for (int32_t i = 0; i < catalogue.count; ++i) bySequence[i] = i;

  DuplicateFold fold;
  uint64_t sum = ReadEveryEntry(catalogue, bySequence);  // warms the cache
  std::vector<double> floor, read, arrange, ratio, processorRatio;
  for (int round = 0; round < rounds; ++round) {
    Clock::time_point start = Clock::now();
    double processor = ProcessorMilliseconds();
    sum += ReadEveryEntry(catalogue, bySequence);
    floor.push_back(Milliseconds(start));
    const double floorProcessor = ProcessorMilliseconds() - processor;
    start = Clock::now();
    processor = ProcessorMilliseconds();
    if (!fold.Read(catalogue)) return 1;
    read.push_back(Milliseconds(start));
    processorRatio.push_back((ProcessorMilliseconds() - processor) / floorProcessor);
    start = Clock::now();
    if (!fold.Arrange(catalogue)) return 1;
    arrange.push_back(Milliseconds(start));
    ratio.push_back(read.back() / floor.back());
  }
  printf("%d entries, %lld bytes, %d shown, %d hidden, %d unreadable (checksum %llu)\n",
         catalogue.count, static_cast<long long>(bytes), fold.shownCount(), fold.hiddenCount(),
         fold.unreadableCount(), static_cast<unsigned long long>(sum));
  printf("median of %d rounds: floor %.2f ms, fold read %.2f ms (ratio %.3f), arrange %.3f ms\n",
         rounds, Median(floor), Median(read), Median(ratio), Median(arrange));
  printf("processor time ratio fold / floor: %.3f\n", Median(processorRatio));
  // After a sort: the fold is arranged again from what it kept.
  SortRecords(&catalogue, SortOrder::LargeToSmall);
  Clock::time_point start = Clock::now();
  if (!fold.Arrange(catalogue)) return 1;
  printf("arrange after a sort: %.3f ms, %d shown\n", Milliseconds(start), fold.shownCount());
  return 0;
}
