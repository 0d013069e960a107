// Bent and cut copies of well-formed and real executables: every scan must
// end with a status, write no slot beyond the records it reports, and name
// only bytes that lie in the file. Run under AddressSanitizer and UBSan, this
// is also the check that no read leaves its buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "scan/byte_reader.h"
#include "scan/catalogue.h"
#include "tests/support/sample_fixtures.h"
#include "tests/support/scan_fixture.h"
#include "tests/support/temp_dir.h"

#ifndef RAVELIN_SWEEP_ROUNDS
#define RAVELIN_SWEEP_ROUNDS 1500
#endif

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kSeed = 0x52617665;
// Mutated copies per file; cross builds under Wine choose fewer.
constexpr int kRounds = RAVELIN_SWEEP_ROUNDS;
// Every length up to this many bytes is tried, then lengths around the
// structures and a spread over the rest.
constexpr int64_t kEveryLengthUpTo = int64_t{kRounds} * 2;
constexpr int64_t kSpreadLengths = 200;
// More than any file can yield (an NE table window holds at most 5461
// resource entries), so only the deliberately small capacities limit a scan.
constexpr int32_t kRoomy = 6000;
constexpr size_t kMaxReportedFailures = 20;
constexpr int32_t kUntouched = -0x5A5A5A5A;
constexpr int32_t kMargin = 64;

// Positions worth bending: header fields, the section or resource table, the
// resource data the clean scan found.
std::vector<int64_t> HotSpots(const std::vector<uint8_t>& b, const std::vector<ImageRecord>& clean) {
  std::vector<int64_t> spots = {0, 60};
  ByteReader r(b.data(), static_cast<int64_t>(b.size()));
  int64_t h = r.I32(60);
  if (r.ok() && r.Has(h, 4)) {
    spots.push_back(h);
    if (r.U8(h) == 'P') {
      int64_t table = h + 24 + r.U16(h + 20);
      spots.push_back(h + 4);
      spots.push_back(table);
      int64_t n = std::min<int64_t>(r.U16(h + 6), 1638);
      for (int64_t i = 0; i < n && r.Has(table + 40 * i, 40); ++i) {
        if (r.U32(table + 40 * i) == 0x7273722E) spots.push_back(r.U32(table + 40 * i + 20));  // ".rsr"
      }
    } else if (r.U8(h) == 'N') {
      spots.push_back(h + 2 + 0x22);
      spots.push_back(h + r.U16(h + 0x24));
    }
  }
  for (const ImageRecord& rec : clean) {
    spots.push_back(rec.offset);
    spots.push_back(int64_t{rec.offset} + rec.size);
  }
  std::vector<int64_t> inFile;
  for (int64_t s : spots) {
    if (s >= 0 && s <= static_cast<int64_t>(b.size())) inFile.push_back(s);
  }
  return inFile;
}

class Sweep {
 public:
  Sweep(const TempDir& dir, std::string label, std::vector<uint8_t> bytes, std::mt19937& rng)
      : dir_(dir), label_(std::move(label)), bytes_(std::move(bytes)), rng_(rng) {
    path_ = dir_.Write(kName, bytes_);
    if (!AllocateCatalogue(&roomy_, kRoomy)) abort();
    for (int32_t i = 0; i < kRoomy; ++i) roomy_.records[i] = Untouched();
    spots_ = HotSpots(bytes_, Scan(static_cast<int64_t>(bytes_.size()), kRoomy, "unchanged"));
  }

  // Bends a few bytes at a time, scans, and puts them back.
  void Flips(int rounds) {
    for (int round = 0; round < rounds && !Enough(); ++round) {
      std::vector<std::pair<int64_t, uint8_t>> edits;
      int count = 1 + static_cast<int>(rng_() % 4);
      for (int e = 0; e < count; ++e) AddEdit(edits);
      Patch(edits, false);
      int32_t capacity = round % 5 == 4 ? static_cast<int32_t>(1 + rng_() % 3) : kRoomy;
      std::string what = "edits";
      for (const auto& [at, value] : edits) what += " " + std::to_string(at) + "=" + std::to_string(value);
      Scan(static_cast<int64_t>(bytes_.size()), capacity, what);
      Patch(edits, true);
    }
  }

  // Cuts the file shorter, step by step (last, as it destroys the copy).
  void Truncations() {
    int64_t n = static_cast<int64_t>(bytes_.size());
    std::set<int64_t, std::greater<int64_t>> lengths;
    for (int64_t len = 0; len <= std::min(n, kEveryLengthUpTo); ++len) lengths.insert(len);
    for (int64_t s : spots_) {
      for (int64_t len = s - 24; len <= s + 24; ++len) {
        if (len >= 0 && len <= n) lengths.insert(len);
      }
    }
    for (int64_t k = 0; k <= kSpreadLengths; ++k) lengths.insert(n * k / kSpreadLengths);
    for (int64_t len : lengths) {
      if (Enough()) break;
      fs::resize_file(path_, static_cast<uintmax_t>(len));
      Scan(len, kRoomy, "length " + std::to_string(len));
    }
  }

  size_t scans() const { return scans_; }
  const std::vector<std::string>& failures() const { return failures_; }

 private:
  static constexpr const char* kName = "bent.exe";

  bool Enough() const { return failures_.size() >= kMaxReportedFailures; }

  void AddEdit(std::vector<std::pair<int64_t, uint8_t>>& edits) {
    int64_t n = static_cast<int64_t>(bytes_.size());
    if (n == 0) return;
    int64_t at;
    if (rng_() % 2 == 0 && !spots_.empty()) {
      at = spots_[rng_() % spots_.size()] - 8 + static_cast<int64_t>(rng_() % 520);
      at = std::clamp<int64_t>(at, 0, n - 1);
    } else {
      at = static_cast<int64_t>(rng_() % static_cast<uint64_t>(n));
    }
    uint8_t old = bytes_[static_cast<size_t>(at)];
    static const uint32_t kWords[] = {0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, 0x00010000, 0x0000FFFF};
    switch (rng_() % 4) {
      case 0:
        edits.emplace_back(at, static_cast<uint8_t>(old ^ (1u << (rng_() % 8))));
        break;
      case 1:
        edits.emplace_back(at, static_cast<uint8_t>(rng_()));
        break;
      case 2: {
        static const uint8_t kBytes[] = {0x00, 0xFF, 0x7F, 0x80, 0x10};
        edits.emplace_back(at, kBytes[rng_() % 5]);
        break;
      }
      default: {
        uint32_t word = rng_() % 3 == 0 ? static_cast<uint32_t>(n - rng_() % 64) : kWords[rng_() % 5];
        for (int64_t k = 0; k < 4 && at + k < n; ++k) {
          edits.emplace_back(at + k, static_cast<uint8_t>(word >> (8 * k)));
        }
      }
    }
  }

  // Writes the edits, or with undo the original bytes under them; the file
  // is closed again before the scan opens it.
  void Patch(const std::vector<std::pair<int64_t, uint8_t>>& edits, bool undo) {
    std::fstream f(path_, std::ios::in | std::ios::out | std::ios::binary);
    for (const auto& [at, value] : edits) {
      char c = static_cast<char>(undo ? bytes_[static_cast<size_t>(at)] : value);
      f.seekp(at);
      f.write(&c, 1);
    }
    ASSERT_TRUE(f.good()) << path_;
  }

  // The records of one scan. The roomy table is kept for the whole sweep
  // (filling 6000 fresh slots per scan would cost more than the scan) and
  // only the slots a scan wrote are reset; small tables are made to measure,
  // so that AddressSanitizer sees a write past their end.
  struct Outcome {
    ScanStatus status;
    int32_t count;
    int32_t touched;
    // Sequence numbers used up.
    int32_t made;
    std::vector<ImageRecord> records;
  };
  Outcome ScanInto(int32_t capacity) {
    Catalogue exact;
    Catalogue* catalogue = &roomy_;
    if (capacity != kRoomy) {
      if (!AllocateCatalogue(&exact, capacity)) abort();
      for (int32_t i = 0; i < capacity; ++i) exact.records[i] = Untouched();
      catalogue = &exact;
    }
    catalogue->count = 0;
    catalogue->nextSequence = sequence_;
    Outcome out{ScanStatus::CannotOpen, -1, 0, 0, {}};
    out.status = ScanFile(dir_.path().c_str(), kName, catalogue, &out.count);
    ImageRecord* table = catalogue->records.get();
    // Records are written in slot order, so a stray write lands right after
    // the last one made; a margin past the count catches it.
    const int32_t made = out.made = catalogue->nextSequence - sequence_;
    int32_t look = std::min(capacity, std::max(made, 0) + kMargin);
    for (int32_t i = look; i > 0; --i) {
      if (table[i - 1].sequence != kUntouched) {
        out.touched = i;
        break;
      }
    }
    const bool recorded = out.status == ScanStatus::Ok || out.status == ScanStatus::Partial;
    if (recorded && out.count >= 0 && out.count <= capacity) {
      out.records.assign(table, table + out.count);
    }
    for (int32_t i = 0; i < out.touched; ++i) table[i] = Untouched();
    return out;
  }

  std::vector<ImageRecord> Scan(int64_t length, int32_t capacity, const std::string& what) {
    ++scans_;
    Outcome out = ScanInto(capacity);
    const int32_t made = out.made;
    std::string problem;
    auto status = static_cast<int32_t>(out.status);
    if (status < 0 || status > 5 || out.status == ScanStatus::CannotOpen) {
      problem = "status " + std::to_string(status);
    } else if (out.status == ScanStatus::Ok || out.status == ScanStatus::Partial) {
      if (made < 1 || made > capacity || out.count != made) {
        problem = "made " + std::to_string(made) + " reported " + std::to_string(out.count);
      } else if (out.touched != made) {
        problem = "wrote " + std::to_string(out.touched) + " slots for " + std::to_string(made);
      } else if (out.records[0].sequence != sequence_) {
        problem = "first sequence " + std::to_string(out.records[0].sequence);
      } else {
        problem = CheckRecordsWithin(out.records, std::min<int64_t>(length, 0x7FFFFFFF));
      }
    } else if (made != 0 || out.touched != 0 || out.count != -1) {
      problem = "status " + std::to_string(status) + " after making " + std::to_string(made) +
                " records, writing " + std::to_string(out.touched) + " slots";
    }
    if (!problem.empty()) failures_.push_back(label_ + ", " + what + ": " + problem);
    // Numbers rise across the scans as across the fills of a run.
    sequence_ += std::max(made, 0);
    return out.records;
  }

  static ImageRecord Untouched() {
    ImageRecord r{};
    r.sequence = kUntouched;
    return r;
  }

  const TempDir& dir_;
  std::string label_;
  std::vector<uint8_t> bytes_;
  std::mt19937& rng_;
  std::string path_;
  std::vector<int64_t> spots_;
  Catalogue roomy_;
  int32_t sequence_ = 0;
  std::vector<std::string> failures_;
  size_t scans_ = 0;
};

void SweepAll(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files) {
  printf("mutation sweep: seed %u, %d rounds per file, %zu files\n", kSeed, kRounds, files.size());
  std::mt19937 rng(kSeed);
  TempDir dir;
  size_t scans = 0;
  size_t failed = 0;
  for (const auto& [label, bytes] : files) {
    Sweep sweep(dir, label, bytes, rng);
    sweep.Flips(kRounds);
    sweep.Truncations();
    scans += sweep.scans();
    for (const std::string& f : sweep.failures()) {
      if (failed++ < kMaxReportedFailures) ADD_FAILURE() << f;
    }
  }
  printf("mutation sweep: %zu scans\n", scans);
  EXPECT_EQ(failed, 0u);
}

}  // namespace

TEST(MutationSweep, BuiltFixtures) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (SampleExecutable& s : SampleExecutables()) files.emplace_back(s.name, std::move(s.bytes));
  SweepAll(files);
}

TEST(MutationSweep, RealExecutables) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (const char* sub : {"pe", "ne", "neg"}) {
    for (const std::string& path : CorpusFiles(sub)) {
      files.emplace_back(fs::path(path).filename().string(), ReadWholeFile(path));
    }
  }
  if (files.empty()) GTEST_SKIP() << "no corpus of real executables here";
  SweepAll(files);
}
