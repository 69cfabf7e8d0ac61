// A small pool of reader threads that checksum files while the calling thread goes on walking
// and matching. Results come back on the calling thread, in the order the files were queued,
// so everything that prints or touches a table stays single-threaded and in order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/crc32shr.h"
#include "platform/fileread.h"

/// The number of readers when the command line names none: fit the machine. One reader per
/// processor checksums what the page cache holds (more only take turns on the processors and wake
/// each other); a file whose bytes must come from the device is handed to readers that wait for it,
/// as many as are waiting, up to kWaitingReaders, so that the device has reads queued.
constexpr unsigned kFitReaders = 0;
constexpr unsigned kWaitingReaders = 16;
/// More would only queue at the disk and cost a buffer each.
constexpr unsigned kMaxReaders = 64;

/// Receives each finished checksum on the thread that queued it. tag is the queuer's own.
class CrcSink {
 public:
  virtual void Checksummed(uint64_t tag, const char* path, uint32_t crc, int error) = 0;
  // Before Checksummed, for a file queued with SubmitDeferred: what its reader found it to be.
  virtual void Found(uint64_t, const FileFacts&) {}

 protected:
  ~CrcSink() = default;
};

class CrcReaders {
 public:
  // readers == 1 starts no thread: each Submit reads at once and delivers before it returns,
  // which is the one-file-at-a-time path. kFitReaders: fit the machine.
  explicit CrcReaders(unsigned readers);
  ~CrcReaders();
  CrcReaders(const CrcReaders&) = delete;
  CrcReaders& operator=(const CrcReaders&) = delete;

  // Queues the checksum of one file: of `size` bytes as the walk saw it, or (lookUp) of the
  // size and kind it has now. Delivers whatever is finished at the front of the queue, and
  // waits for the oldest when the queue is full.
  void Submit(const char* path, uint64_t size, uint32_t attr, bool lookUp, CrcSink* sink,
              uint64_t tag);
  // Queues a file the walk deferred: its reader learns its find data from the open file and
  // reads as many bytes as that says. Elsewhere (not TakesDeferred) the file is looked at and
  // then read as Submit reads it.
  void SubmitDeferred(const char* path, CrcSink* sink, uint64_t tag);
  // Delivers every queued checksum.
  void Drain();
  // Wakes idle readers for what is queued. Submit wakes them only once several files wait, so
  // that a reader is not woken (a system call or two) for every small file.
  void Flush();
  // Whether files are read beside the queuing thread (more than one reader).
  bool Threaded() const { return !threads_.empty(); }
  // Whether SubmitDeferred saves the walk its lookups: files read beside it by a ready engine.
  bool TakesDeferred() const { return Threaded() && CRCReady(); }

 private:
  static constexpr uint64_t kNone = ~uint64_t{0};

  struct Job {
    std::string path;
    uint64_t size = 0;
    uint32_t attr = 0;
    bool lookUp = false;
    bool deferred = false;
    FileFacts facts;  // of a deferred file, filled by its reader
    CrcSink* sink = nullptr;
    uint64_t tag = 0;
    uint32_t crc = 0;
    int error = 0;
    CrcFileRead read;  // a file handed to the waiting readers, as far as it was read
    std::atomic<bool> done{false};
  };

  void Queue(const char* path, uint64_t size, uint32_t attr, bool lookUp, bool deferred,
             CrcSink* sink, uint64_t tag);
  void Read();
  // Opens job's file (CrcFileStart's results); a deferred one tells its facts on the way.
  // cachedOnly: kCrcWouldWait, nothing opened, when a deferred file's name must come from the
  // device.
  static int StartJob(Job& job, bool cachedOnly);
  // Opens job's file unless it is open and reads on (cachedOnly: while memory holds it).
  static int Work(Job& job, std::vector<unsigned char>& buffer, bool cachedOnly);
  // Checksums job t of the run first..last from what memory holds, or hands it to the waiting
  // readers.
  void ReadCached(uint64_t t, uint64_t first, uint64_t last, std::vector<unsigned char>& buffer);
  // False when no reader that waits can be had.
  bool HandToWaiting(uint64_t t);
  void ReadWaiting();
  // Job t of the run first..last (a reader's, or t alone) is done.
  void Finished(uint64_t t, uint64_t first, uint64_t last);
  // The run first..last has been gone through: wakes the queuing thread waiting for one of it.
  void EndRun(uint64_t first, uint64_t last);
  // Delivers the oldest job; false (nothing done) when it is not finished and wait is false.
  bool DeliverOldest(bool wait);
  // Delivers the next few jobs, asleep until the last of them is done.
  void DeliverBatch();
  // Sleeps until job t (queued, not delivered) is done.
  void WaitFor(uint64_t t);
  void WakeReaders();

  // Jobs pass between the threads through the three counters and each job's done flag, without
  // a lock: a lock taken per file costs more than reading a small file from the page cache. The
  // mutex only guards sleeping: readers with nothing to do, and the queuing thread waiting for
  // the oldest job.
  std::unique_ptr<Job[]> ring_;
  size_t ringSize_ = 0;
  std::vector<std::thread> threads_;
  std::atomic<uint64_t> submitted_{0};    // written by the queuing thread
  std::atomic<uint64_t> taken_{0};        // the next job a reader takes
  uint64_t delivered_ = 0;                // the queuing thread's own
  std::atomic<unsigned> idle_{0};         // readers asleep on work_
  std::atomic<uint64_t> awaited_{kNone};  // the job the queuing thread sleeps for
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable work_;
  std::condition_variable done_;

  // Fitting the machine: the jobs whose reads would wait, and the readers that wait for them,
  // started as they are needed.
  bool fit_ = false;
  std::mutex waitingMutex_;
  std::condition_variable waitingWork_;
  std::deque<uint64_t> waiting_;
  std::vector<std::thread> waitingThreads_;
  unsigned waitingIdle_ = 0;
};
