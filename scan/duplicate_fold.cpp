#include "scan/duplicate_fold.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "scan/file_services.h"

namespace {

// Bytes of distinct images kept for the comparisons of one Read. A set
// first seen past it keeps only its hash, and a later candidate reads that
// entry back to compare: the one case where bytes are read twice.
constexpr int64_t kKeptBytesBudget = int64_t{64} << 20;
constexpr int32_t kChunkSize = 1 << 20;

// Different records whose hashes agree are compared whole, at most this many
// for one entry; past that it is taken as new. Only records made to defeat
// the hash get there, and they are then shown, never folded wrongly.
constexpr int32_t kMostComparisons = 16;

uint64_t Mix(uint64_t h, uint64_t word) {
  h = (h ^ word) * 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 29);
}

uint64_t Word(const uint8_t* at) {
  uint64_t word;
  memcpy(&word, at, 8);
  return word;
}

// Words the hash takes from a record: all of a small one, else the first
// and last four and as many spread evenly between. It only finds the
// candidates, which are then compared whole, so it need not see every byte;
// hashing them all would cost a third as much again as reading them.
constexpr int32_t kHashedWords = 32;

uint64_t RecordHash(ImageKind kind, const uint8_t* bytes, int32_t size) {
  uint64_t h = Mix(static_cast<uint64_t>(kind), static_cast<uint64_t>(size));
  const int32_t words = size / 8;
  if (words <= kHashedWords) {
    for (int32_t i = 0; i < words; ++i) h = Mix(h, Word(bytes + 8 * i));
  } else {
    const int32_t edge = 4;
    const int64_t spread = kHashedWords - 2 * edge;
    for (int32_t i = 0; i < edge; ++i) {
      h = Mix(h, Word(bytes + 8 * i));
      h = Mix(h, Word(bytes + 8 * (words - 1 - i)));
    }
    for (int64_t i = 1; i <= spread; ++i) h = Mix(h, Word(bytes + 8 * (words * i / (spread + 1))));
  }
  uint64_t tail = 0;
  memcpy(&tail, bytes + 8 * words, static_cast<size_t>(size - 8 * words));
  h = Mix(h, tail);
  return h ^ (h >> 31);
}

// The first entry of a set, as the comparisons of one Read need it.
struct Leader {
  uint64_t hash;
  ImageKind kind;
  int32_t size;
  int32_t rank;
  // A copy, or nullptr past the budget.
  const uint8_t* bytes;
};

// The bytes of the sets' first entries, in one block, until the budget is
// spent. Each record is read straight into the room after the kept bytes and
// stays there when it starts a set, so keeping costs no copy; the room of a
// record that joins a set is read over by the next one.
class KeptBytes {
 public:
  // For at most size bytes in all.
  explicit KeptBytes(int64_t size) {
    for (size = std::min(size, kKeptBytesBudget); size > 0 && bytes_ == nullptr; size /= 2) {
      bytes_ = static_cast<uint8_t*>(AllocateBulkBytes(static_cast<size_t>(size)));
      capacity_ = bytes_ != nullptr ? size : 0;
    }
  }
  ~KeptBytes() { FreeBulkBytes(bytes_, static_cast<size_t>(capacity_)); }
  KeptBytes(const KeptBytes&) = delete;
  KeptBytes& operator=(const KeptBytes&) = delete;

  // Room for size bytes, or nullptr past the budget or when memory is short.
  uint8_t* Room(int32_t size) {
    if (bytes_ == nullptr || size > capacity_ - used_) return nullptr;
    return bytes_ + used_;
  }

  // Keeps the size bytes last given room.
  const uint8_t* Keep(int32_t size) {
    uint8_t* at = bytes_ + used_;
    used_ += size;
    return at;
  }

 private:
  uint8_t* bytes_ = nullptr;
  int64_t capacity_ = 0;
  int64_t used_ = 0;
};

// The file open during a Read and the references it was opened for.
class RecordFiles {
 public:
  ~RecordFiles() { Close(); }
  bool Read(const ImageRecord& record, uint8_t* out) {
    if (file_ == kInvalidFile || record.directory != directory_ || record.fileName != fileName_) {
      Close();
      file_ = OpenInDirectory(record.directory, record.fileName);
      directory_ = record.directory;
      fileName_ = record.fileName;
    }
    if (file_ == kInvalidFile) return false;
    return record.size == 0 || ReadBytesAt(file_, record.offset, out, record.size) == record.size;
  }

 private:
  void Close() {
    if (file_ != kInvalidFile) CloseFile(file_);
    file_ = kInvalidFile;
  }
  FileHandle file_ = kInvalidFile;
  const char* directory_ = nullptr;
  const char* fileName_ = nullptr;
};

// A leader kept only by its hash, read back to be compared.
bool SameAsReadBack(const ImageRecord& leader, const uint8_t* bytes) {
  std::unique_ptr<uint8_t[]> back(new (std::nothrow) uint8_t[leader.size > 0 ? leader.size : 1]);
  if (back == nullptr) return false;
  RecordFiles files;
  return files.Read(leader, back.get()) &&
         memcmp(back.get(), bytes, static_cast<size_t>(leader.size)) == 0;
}

}  // namespace

void DuplicateFold::Clear() {
  ready_ = false;
  sequences_ = {};
  setOf_ = {};
  shown_ = {};
  arrangedCount_ = 0;
  unreadable_ = 0;
}

bool DuplicateFold::Read(const Catalogue& catalogue) {
  Clear();
  const int32_t count = catalogue.records != nullptr ? catalogue.count : 0;
  const ImageRecord* records = catalogue.records.get();
  try {
    // Discovery order keeps the records of a file together, whatever the
    // catalogue's order, so each file is opened once.
    std::vector<int32_t> bySequence(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) bySequence[i] = i;
    std::sort(bySequence.begin(), bySequence.end(), [records](int32_t a, int32_t b) {
      return records[a].sequence < records[b].sequence;
    });
    sequences_.resize(static_cast<size_t>(count));
    setOf_.resize(static_cast<size_t>(count));
    for (int32_t r = 0; r < count; ++r) sequences_[r] = records[bySequence[r]].sequence;

    // Grows with the sets rather than the entries: copies are the common
    // case, and a table that stays in the processor's cache is probed for
    // every entry.
    size_t tableSize = 1024;
    std::vector<int32_t> table(tableSize, -1);
    std::vector<Leader> leaders;
    int64_t readable = 0;
    for (int32_t i = 0; i < count; ++i) readable += std::max(records[i].size, 0);
    KeptBytes kept(readable);
    std::unique_ptr<uint8_t[]> buffer;
    int32_t bufferSize = 0;
    RecordFiles files;
    for (int32_t r = 0; r < count; ++r) {
      const ImageRecord& record = records[bySequence[r]];
      setOf_[r] = r;
      // The loader's limit: a negative size is never read.
      uint8_t* room = record.size >= 0 ? kept.Room(record.size) : nullptr;
      if (room == nullptr && record.size >= 0 && (buffer == nullptr || record.size > bufferSize)) {
        const int32_t size = std::max(record.size, kChunkSize);
        buffer.reset(new (std::nothrow) uint8_t[size]);
        bufferSize = buffer != nullptr ? size : 0;
      }
      uint8_t* bytes = room != nullptr ? room : buffer.get();
      if (record.size < 0 || (room == nullptr && record.size > bufferSize) ||
          !files.Read(record, bytes)) {
        ++unreadable_;
        continue;
      }
      const uint64_t hash = RecordHash(record.kind, bytes, record.size);
      size_t slot = static_cast<size_t>(hash) & (tableSize - 1);
      bool found = false;
      int32_t compared = 0;
      for (; table[slot] >= 0; slot = (slot + 1) & (tableSize - 1)) {
        const Leader& leader = leaders[static_cast<size_t>(table[slot])];
        if (leader.hash != hash || leader.kind != record.kind || leader.size != record.size ||
            compared == kMostComparisons) {
          continue;
        }
        ++compared;
        const bool same = leader.bytes != nullptr
                              ? memcmp(leader.bytes, bytes, static_cast<size_t>(record.size)) == 0
                              : SameAsReadBack(records[bySequence[leader.rank]], bytes);
        if (same) {
          setOf_[r] = leader.rank;
          found = true;
          break;
        }
      }
      if (found) continue;
      table[slot] = static_cast<int32_t>(leaders.size());
      leaders.push_back(
          {hash, record.kind, record.size, r, room != nullptr ? kept.Keep(record.size) : nullptr});
      if (2 * leaders.size() > tableSize) {
        tableSize *= 2;
        table.assign(tableSize, -1);
        for (size_t i = 0; i < leaders.size(); ++i) {
          size_t at = static_cast<size_t>(leaders[i].hash) & (tableSize - 1);
          while (table[at] >= 0) at = (at + 1) & (tableSize - 1);
          table[at] = static_cast<int32_t>(i);
        }
      }
    }
  } catch (const std::bad_alloc&) {
    Clear();
    return false;
  }
  ready_ = true;
  shown_.clear();
  arrangedCount_ = 0;
  return true;
}

int32_t DuplicateFold::RankOf(int32_t sequence) const {
  const auto at = std::lower_bound(sequences_.begin(), sequences_.end(), sequence);
  if (at == sequences_.end() || *at != sequence) return -1;
  return static_cast<int32_t>(at - sequences_.begin());
}

bool DuplicateFold::Arrange(const Catalogue& catalogue) {
  const int32_t count = catalogue.records != nullptr ? catalogue.count : 0;
  shown_.clear();
  arrangedCount_ = 0;
  try {
    std::vector<bool> seen(sequences_.size(), false);
    shown_.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      const int32_t rank = RankOf(catalogue.records[i].sequence);
      if (rank >= 0) {
        const auto set = static_cast<size_t>(setOf_[rank]);
        if (seen[set]) continue;
        seen[set] = true;
      }
      shown_.push_back(i);
    }
  } catch (const std::bad_alloc&) {
    shown_.clear();
    return false;
  }
  arrangedCount_ = count;
  return true;
}

int32_t DuplicateFold::PositionOf(const Catalogue& catalogue, int32_t index) const {
  if (index < 0 || index >= arrangedCount_ || index >= catalogue.count) return 0;
  auto at = std::lower_bound(shown_.begin(), shown_.end(), index);
  if (at == shown_.end() || *at != index) {
    // Hidden: the first entry of its set lies before it and is shown.
    const int32_t rank = RankOf(catalogue.records[index].sequence);
    for (int32_t i = 0; rank >= 0 && i < index; ++i) {
      const int32_t other = RankOf(catalogue.records[i].sequence);
      if (other >= 0 && setOf_[other] == setOf_[rank]) {
        at = std::lower_bound(shown_.begin(), shown_.end(), i);
        break;
      }
    }
  }
  if (at == shown_.end()) return 0;
  return static_cast<int32_t>(at - shown_.begin());
}

int32_t ShownEntries::count() const {
  if (fold != nullptr) return fold->shownCount();
  return catalogue->records != nullptr ? catalogue->count : 0;
}

int32_t ShownEntries::Entry(int32_t position) const {
  return fold != nullptr ? fold->shown()[static_cast<size_t>(position)] : position;
}

int32_t ShownEntries::PositionOf(int32_t index) const {
  return fold != nullptr ? fold->PositionOf(*catalogue, index) : index;
}
