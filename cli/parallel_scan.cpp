#include "cli/parallel_scan.h"

#include <utility>

namespace {

// Files queued beyond those being scanned, per worker: enough that a worker
// finds the next file waiting, few enough that the taking back keeps pace.
constexpr size_t kQueuedPerWorker = 64;

}  // namespace

ParallelScan::ParallelScan(int workers, Take take)
    : workerCount_(workers), take_(std::move(take)) {}

ParallelScan::~ParallelScan() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  queued_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

bool ParallelScan::Start() {
  for (int i = 0; i < workerCount_; ++i) {
    auto catalogue = std::make_unique<Catalogue>();
    if (!AllocateCatalogue(catalogue.get(), kCatalogueCapacity)) return false;
    catalogues_.push_back(std::move(catalogue));
  }
  for (int i = 0; i < workerCount_; ++i) {
    workers_.emplace_back(&ParallelScan::Work, this, catalogues_[static_cast<size_t>(i)].get());
  }
  return true;
}

void ParallelScan::Work(Catalogue* catalogue) {
  for (;;) {
    OfferedFile* file = nullptr;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      queued_.wait(lock, [this] { return stopping_ || !unclaimed_.empty(); });
      if (unclaimed_.empty()) return;
      file = unclaimed_.front();
      unclaimed_.pop_front();
    }
    catalogue->count = 0;
    catalogue->nextSequence = 0;
    int32_t count = 0;
    ScanStatus status = ScanFile(file->directory, file->fileName, catalogue, &count);
    // The offering thread looks at these only once it has seen done.
    file->status = status;
    file->records.assign(catalogue->records.get(), catalogue->records.get() + catalogue->count);
    file->sequencesUsed = catalogue->nextSequence;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      file->done = true;
    }
    finished_.notify_one();
  }
}

void ParallelScan::TakeDone(bool wait) {
  for (;;) {
    std::unique_ptr<OfferedFile> file;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (inFlight_.empty()) return;
      if (wait) finished_.wait(lock, [this] { return inFlight_.front()->done; });
      if (!inFlight_.front()->done) return;
      file = std::move(inFlight_.front());
      inFlight_.pop_front();
    }
    wait = false;
    take_(*file);
  }
}

void ParallelScan::Offer(OfferedFile file) {
  auto owned = std::make_unique<OfferedFile>(std::move(file));
  OfferedFile* queued = owned.get();
  bool full = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!queued->scan) queued->done = true;
    inFlight_.push_back(std::move(owned));
    if (queued->scan) unclaimed_.push_back(queued);
    full = inFlight_.size() > kQueuedPerWorker * static_cast<size_t>(workerCount_);
  }
  if (queued->scan) queued_.notify_one();
  TakeDone(full);
}

void ParallelScan::Drain() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (inFlight_.empty()) return;
    }
    TakeDone(true);
  }
}
