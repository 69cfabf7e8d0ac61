// A small pool of reader threads that checksum files while the calling thread goes on walking
// and matching. Results come back on the calling thread, in the order the files were queued,
// so everything that prints or touches a table stays single-threaded and in order.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The number of readers the run uses: set once from the command line, before any mode runs.
void SetReaderThreads(unsigned readers);
unsigned ReaderThreads();
// The number used when the command line names none.
constexpr unsigned kDefaultReaders = 4;
// More would only queue at the disk and cost a buffer each.
constexpr unsigned kMaxReaders = 64;

// Receives each finished checksum on the thread that queued it. tag is the queuer's own.
class CrcSink {
 public:
  virtual void Checksummed(uint64_t tag, const char* path, uint32_t crc, int error) = 0;

 protected:
  ~CrcSink() = default;
};

class CrcReaders {
 public:
  // readers <= 1 starts no thread: each Submit reads at once and delivers before it returns,
  // which is the one-file-at-a-time path.
  explicit CrcReaders(unsigned readers);
  ~CrcReaders();
  CrcReaders(const CrcReaders&) = delete;
  CrcReaders& operator=(const CrcReaders&) = delete;

  // Queues the checksum of one file: of `size` bytes as the walk saw it, or (lookUp) of the
  // size and kind it has now. Delivers whatever is finished at the front of the queue, and
  // waits for the oldest when the queue is full.
  void Submit(const char* path, uint64_t size, uint32_t attr, bool lookUp, CrcSink* sink,
              uint64_t tag);
  // Delivers every queued checksum.
  void Drain();
  // Wakes idle readers for what is queued. Submit wakes them only once several files wait, so
  // that a reader is not woken (a system call or two) for every small file.
  void Flush();
  // Whether anything queued has not been delivered yet.
  bool Pending() const { return submitted_ != delivered_; }
  // Whether files are read beside the queuing thread (more than one reader).
  bool Threaded() const { return !threads_.empty(); }

 private:
  struct Job {
    std::string path;
    uint64_t size = 0;
    uint32_t attr = 0;
    bool lookUp = false;
    CrcSink* sink = nullptr;
    uint64_t tag = 0;
    uint32_t crc = 0;
    int error = 0;
    bool done = false;
  };

  void Read();
  // Delivers the oldest job; false (nothing done) when it is not finished and wait is false.
  bool DeliverOldest(bool wait);

  std::vector<Job> ring_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable work_;  // readers wait here for jobs
  std::condition_variable done_;  // the queuing thread waits here for the oldest job
  uint64_t submitted_ = 0;        // written by the queuing thread under the mutex
  uint64_t taken_ = 0;            // next job a reader takes, under the mutex
  uint64_t delivered_ = 0;        // the queuing thread's own
  unsigned idle_ = 0;             // readers asleep on work_
  bool waiting_ = false;          // the queuing thread sleeps on done_
  bool stop_ = false;
  std::vector<unsigned char> buffer_;  // the one-file-at-a-time path's buffer
};

// Reads one file the way a reader does: 0 or an error number, crc 0 when it cannot be read.
int ChecksumOneFile(const char* path, uint64_t size, uint32_t attr, bool lookUp,
                    unsigned char* buffer, unsigned bufferSize, uint32_t* crc);
