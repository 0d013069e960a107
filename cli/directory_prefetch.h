#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

// Lists directories the walk will enter, with their entries' attributes, on
// a thread of its own before the walk gets there: on a cold disk the walk's
// listing and the workers' opens then find those blocks read, while the
// workers keep the disk busy with the files' first bytes.
// It only reads; what it reads is thrown away, so the walk's results cannot
// depend on it.
class DirectoryPrefetch {
 public:
  DirectoryPrefetch();
  ~DirectoryPrefetch();
  DirectoryPrefetch(const DirectoryPrefetch&) = delete;
  DirectoryPrefetch& operator=(const DirectoryPrefetch&) = delete;

  // Queues path to be listed; dropped when the queue is full, as a hint
  // costs only time when lost.
  void Hint(const char* path);

 private:
  void Work();

  std::mutex mutex_;
  std::condition_variable hinted_;
  std::deque<std::string> pending_;
  // Read without the lock too, so that a long listing ends early.
  std::atomic<bool> stopping_ = false;
  std::thread thread_;
};
