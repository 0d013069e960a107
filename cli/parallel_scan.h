#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scan/catalogue.h"

// A file the walk offered, and what a worker's scan of it found.
struct OfferedFile {
  // The name pools' copies; nullptr when a pool refused the name, and then
  // the offered texts are kept for the line that says so.
  const char* directory = nullptr;
  const char* fileName = nullptr;
  std::string offeredDirectory;
  std::string offeredName;
  // False when the file needs no scan: the catalogue was full when it came.
  bool scan = false;
  ScanStatus status = ScanStatus::Ok;
  std::vector<ImageRecord> records;
  int32_t sequencesUsed = 0;
  bool done = false;
};

// Scans the offered files on worker threads, each with a catalogue (and so
// a scan window) of its own, so that several reads are in flight, and hands
// every file back on the offering thread in the order offered.
class ParallelScan {
 public:
  using Take = std::function<void(OfferedFile& file)>;

  ParallelScan(int workers, Take take);
  ~ParallelScan();
  ParallelScan(const ParallelScan&) = delete;
  ParallelScan& operator=(const ParallelScan&) = delete;

  // Starts the workers; false when their memory cannot be had.
  bool Start();
  // Queues file; takes back the files before it whose scans are done, and
  // waits for the oldest when too many are in flight.
  void Offer(OfferedFile file);
  // Waits for every queued file and takes them back.
  void Drain();

 private:
  void Work(Catalogue* catalogue);
  // Takes back the oldest files while they are done; with wait, waits for
  // the oldest first.
  void TakeDone(bool wait);

  int workerCount_;
  Take take_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  // In offer order, owned here until taken back; files not yet claimed by a
  // worker are also in unclaimed_.
  std::deque<std::unique_ptr<OfferedFile>> inFlight_;
  std::deque<OfferedFile*> unclaimed_;
  bool stopping_ = false;
  std::vector<std::unique_ptr<Catalogue>> catalogues_;
  std::vector<std::thread> workers_;
};
