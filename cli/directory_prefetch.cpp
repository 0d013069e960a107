#include "cli/directory_prefetch.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace {

// Far more than the subdirectories of the few directories the walk has
// ahead of it; bounds the memory of a tree with a huge fan-out.
constexpr size_t kMaxPending = 4096;

}  // namespace

DirectoryPrefetch::DirectoryPrefetch() : thread_(&DirectoryPrefetch::Work, this) {}

DirectoryPrefetch::~DirectoryPrefetch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    pending_.clear();
  }
  hinted_.notify_one();
  thread_.join();
}

void DirectoryPrefetch::Hint(const char* path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending_.size() >= kMaxPending) return;
    pending_.emplace_back(path);
  }
  hinted_.notify_one();
}

void DirectoryPrefetch::Work() {
  for (;;) {
    std::string path;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      hinted_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
      if (stopping_) return;
      path = std::move(pending_.front());
      pending_.pop_front();
    }
    // Each entry's attributes too: the workers' opens then find the file's
    // inode read, and wait only for its first bytes.
    std::error_code ec;
    for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end;
         it.increment(ec)) {
      std::filesystem::directory_entry entry = *it;
      std::error_code ignored;
      entry.refresh(ignored);
      if (stopping_) return;
    }
  }
}
