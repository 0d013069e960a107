#include "cli/tree_prefetch.h"

#include <algorithm>
#include <chrono>

#include "scan/catalogue.h"
#include "scan/file_services.h"
#include "scan/path_walk.h"

namespace {

// Files read ahead of the walk at most: their heads and the entries of their
// folders fill a few tens of MiB of cache.
constexpr int64_t kMostAhead = 8192;
// Folders in a row found in the cache, or behind the walk, that end the
// prefetch: enough that a stretch of a cold tree that happens to be cached
// (libraries in use, say) does not end it.
constexpr int kCachedFoldersToEnd = 512;

// Whether path a comes before path b in the walk: a folder's subfolders are
// walked whole in byte order of their names, so paths compare part by part,
// and a separator ends a part.
bool WalkBefore(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;
    if (IsPathSeparator(a[i])) return true;
    if (IsPathSeparator(b[i])) return false;
    return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
  }
  return a.size() < b.size();
}

bool Under(const std::string& path, const std::string& root) {
  return path.compare(0, root.size(), root) == 0 &&
         (path.size() == root.size() || IsPathSeparator(path[root.size()]) ||
          IsPathSeparator(root.back()));
}

}  // namespace

bool TreePrefetch::Later::operator()(const Place& a, const Place& b) const {
  if (a.root != b.root) return a.root > b.root;
  return WalkBefore(b.path, a.path);
}

TreePrefetch::TreePrefetch(int threads) : threadCount_(threads) {}

void TreePrefetch::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
}

void TreePrefetch::Start(const std::vector<std::string>& roots) {
  if (roots.empty()) return;
  roots_ = roots;
  for (size_t i = 0; i < roots.size(); ++i) queue_.push(Place{i, roots[i]});
  for (int i = 0; i < threadCount_; ++i) threads_.emplace_back(&TreePrefetch::Work, this);
}

void TreePrefetch::Passed(const char* directory) {
  passed_.fetch_add(1, std::memory_order_relaxed);
  // Only this thread writes walkAt_, so it may read it without the lock.
  if (roots_.empty() || walkAt_.path == directory) return;
  std::string path(directory);
  // The walk takes the named folders in turn.
  size_t root = walkAt_.root;
  while (root + 1 < roots_.size() && !Under(path, roots_[root])) ++root;
  std::lock_guard<std::mutex> lock(walkMutex_);
  walkAt_ = Place{root, std::move(path)};
}

bool TreePrefetch::WalkHasReached(const Place& place) {
  std::lock_guard<std::mutex> lock(walkMutex_);
  if (walkAt_.path.empty()) return false;
  return !Later()(place, walkAt_);
}

bool TreePrefetch::TooFarAhead() const {
  return read_.load(std::memory_order_relaxed) - passed_.load(std::memory_order_relaxed) >
         kMostAhead;
}

void TreePrefetch::Work() {
  for (;;) {
    Place place;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      // The walk's progress is not signalled: a look every few milliseconds
      // is plenty against a disk's pace.
      while (!stopping_ && (TooFarAhead() || (queue_.empty() && reading_ > 0))) {
        changed_.wait_for(lock, std::chrono::milliseconds(5));
      }
      if (stopping_ || queue_.empty()) break;
      place = queue_.top();
      queue_.pop();
      ++reading_;
    }
    std::vector<Place> subfolders = ReadFolder(place);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --reading_;
      for (Place& subfolder : subfolders) queue_.push(std::move(subfolder));
    }
    changed_.notify_all();
  }
  ReleaseThreadFileState();
}

std::vector<TreePrefetch::Place> TreePrefetch::ReadFolder(const Place& place) {
  std::vector<std::string> files;
  std::vector<Place> subfolders;
  char path[kPathBufferSize];
  DirEntry entry;
  DirListing* listing =
      JoinPath(place.path.c_str(), "*.*", path) ? ListFirst(path, &entry) : nullptr;
  if (listing == nullptr) return subfolders;
  do {
    if (WalkEnters(entry)) {
      if (JoinPath(place.path.c_str(), entry.name, path)) subfolders.push_back({place.root, path});
    } else if (WalkOffers(entry)) {
      files.emplace_back(entry.name);
    }
  } while (ListNext(listing, &entry));
  ListClose(listing);
  read_.fetch_add(static_cast<int64_t>(files.size()), std::memory_order_relaxed);
  if (files.empty()) return subfolders;
  if (WalkHasReached(place)) {
    if (++cachedInARow_ >= kCachedFoldersToEnd) stopping_ = true;
    return subfolders;
  }
  std::sort(files.begin(), files.end());
  // The first file that can tell says whether the folder is in the cache.
  bool told = false;
  for (const std::string& name : files) {
    if (stopping_) break;
    if (!JoinPath(place.path.c_str(), name.c_str(), path)) continue;
    FileHandle file = OpenFileForReading(path);
    if (file == kInvalidFile) continue;
    const HeadInCache head = ReadAheadUnlessCached(file);
    CloseFile(file);
    if (told || head == HeadInCache::Unknown) continue;
    told = true;
    if (head == HeadInCache::No) {
      cachedInARow_ = 0;
      continue;
    }
    // Most likely the folder was read as a whole not long ago.
    if (++cachedInARow_ >= kCachedFoldersToEnd) stopping_ = true;
    break;
  }
  return subfolders;
}
