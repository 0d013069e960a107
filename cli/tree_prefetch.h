#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <queue>
#include <string>
#include <thread>
#include <vector>

// Reads the trees a walk is about to visit, on threads of its own, so that
// on a cold disk the walk finds its folders listed and the heads of its files
// already on their way into the system's cache. The walk lists one folder at
// a time and its workers read a few files at a time; a disk does better with
// many requests in flight. Nothing is scanned or kept here: folders are taken
// in the walk's own order, a few at once; each is listed, and its files are
// opened and their heads asked for, unless the first file that can tell says
// that the folder is in the cache already. A folder the walk has reached is
// only listed, for its subfolders. When many folders in a row are in the
// cache or behind the walk, the tree is taken to be in the cache, and the
// prefetch ends rather than list every folder a second time.
class TreePrefetch {
 public:
  explicit TreePrefetch(int threads);
  ~TreePrefetch() { Stop(); }
  TreePrefetch(const TreePrefetch&) = delete;
  TreePrefetch& operator=(const TreePrefetch&) = delete;

  // Starts on the folders the walk will visit, in its order (absolute paths,
  // as the walk names them).
  void Start(const std::vector<std::string>& roots);
  // The walk offers a file of directory. The prefetch stays at most a bounded
  // number of files ahead, so that on a tree larger than the cache it does
  // not push out what the walk has yet to read.
  void Passed(const char* directory);
  // Stops the threads and waits for them.
  void Stop();

 private:
  // A folder and the root it lies under, in the walk's order.
  struct Place {
    size_t root = 0;
    std::string path;
  };
  struct Later {
    bool operator()(const Place& a, const Place& b) const;
  };

  void Work();
  // Lists place's folder and, unless the walk is there already, asks for
  // its files' heads; returns its subfolders.
  std::vector<Place> ReadFolder(const Place& place);
  bool WalkHasReached(const Place& place);
  bool TooFarAhead() const;

  int threadCount_;
  std::vector<std::string> roots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::priority_queue<Place, std::vector<Place>, Later> queue_;
  int reading_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int64_t> passed_{0};
  std::atomic<int64_t> read_{0};
  std::atomic<int> cachedInARow_{0};
  // Where the walk is, under its own lock; the walk's thread alone writes.
  std::mutex walkMutex_;
  Place walkAt_;
  std::vector<std::thread> threads_;
};
