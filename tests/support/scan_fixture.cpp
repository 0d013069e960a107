#include "tests/support/scan_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

constexpr int32_t kUntouched = -0x5A5A5A5A;

}  // namespace

ScanOutcome ScanPath(const std::string& directory, const std::string& name, int32_t capacity) {
  Catalogue slots;
  if (!AllocateCatalogue(&slots, capacity)) abort();
  for (int32_t i = 0; i < capacity; ++i) slots.records[i].sequence = kUntouched;
  ScanOutcome out;
  int32_t count = -1;
  out.status = ScanFile(directory.c_str(), name.c_str(), &slots, &count);
  for (int32_t i = capacity; i > 0; --i) {
    if (slots.records[i - 1].sequence != kUntouched) {
      out.slotsTouched = i;
      break;
    }
  }
  const bool recorded = out.status == ScanStatus::Ok || out.status == ScanStatus::Partial;
  if (recorded && count >= 0 && count <= capacity) {
    out.records.assign(slots.records.get(), slots.records.get() + count);
  }
  return out;
}

ScanOutcome ScanBytes(const TempDir& dir, const std::vector<uint8_t>& bytes, int32_t capacity,
                      const std::string& name) {
  dir.Write(name, bytes);
  return ScanPath(dir.path(), name, capacity);
}

std::string CheckRecordsWithin(const std::vector<ImageRecord>& records, int64_t fileLength) {
  std::string problems;
  for (size_t i = 0; i < records.size(); ++i) {
    const ImageRecord& r = records[i];
    int32_t kind = static_cast<int32_t>(r.kind);
    bool sound = kind >= 1 && kind <= 3 && r.offset >= 0 && r.size >= 0 &&
                 static_cast<int64_t>(r.offset) + r.size <= fileLength &&
                 (i == 0 || r.sequence == records[i - 1].sequence + 1);
    if (!sound) {
      problems += "record " + std::to_string(i) + ": kind " + std::to_string(kind) + " offset " +
                  std::to_string(r.offset) + " size " + std::to_string(r.size) + " sequence " +
                  std::to_string(r.sequence) + "\n";
    }
  }
  return problems;
}

std::string CorpusDirectory() {
  std::string dir;
  if (const char* env = std::getenv("RAVELIN_CORPUS")) {
    dir = env;
  } else {
#ifdef RAVELIN_CORPUS_DIR
    dir = RAVELIN_CORPUS_DIR;
#endif
  }
  std::error_code ec;
  if (dir.empty() || !fs::is_directory(dir, ec)) return {};
  return fs::path(dir).make_preferred().string();
}

std::vector<std::string> CorpusFiles(const std::string& subfolder) {
  std::vector<std::string> files;
  std::string root = CorpusDirectory();
  if (root.empty()) return files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(root) / subfolder, ec)) {
    if (entry.is_regular_file(ec)) files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}
