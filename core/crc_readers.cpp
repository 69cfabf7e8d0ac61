#include "core/crc_readers.h"

#include "core/crc32shr.h"

namespace {

unsigned readerThreads = kDefaultReaders;

// Jobs queued ahead of the oldest undelivered one: enough that one large file does not stall
// the other readers, small enough that the queued paths stay a few hundred KiB.
constexpr size_t kRingSize = 1024;

// Files that wait before Submit wakes idle readers.
constexpr uint64_t kWakeBatch = 16;

}  // namespace

void SetReaderThreads(unsigned readers) {
  readerThreads = readers < 1 ? 1 : readers > kMaxReaders ? kMaxReaders : readers;
}

unsigned ReaderThreads() {
  return readerThreads;
}

int ChecksumOneFile(const char* path, uint64_t size, uint32_t attr, bool lookUp,
                    unsigned char* buffer, unsigned bufferSize, uint32_t* crc) {
  if (lookUp) return CRCFileBuffered(path, buffer, bufferSize, crc);
  return CRCFileOfSizeBuffered(path, size, attr, buffer, bufferSize, crc);
}

CrcReaders::CrcReaders(unsigned readers) {
  if (readers <= 1) return;
  ring_.resize(kRingSize);
  threads_.reserve(readers);
  for (unsigned i = 0; i < readers; ++i) threads_.emplace_back(&CrcReaders::Read, this);
}

CrcReaders::~CrcReaders() {
  Drain();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void CrcReaders::Submit(const char* path, uint64_t size, uint32_t attr, bool lookUp, CrcSink* sink,
                        uint64_t tag) {
  // One file at a time, or an engine that InitMagic could not ready: the engine's own calls,
  // with its buffer and its message.
  if (threads_.empty() || !CRCReady()) {
    Drain();
    uint32_t crc = 0;
    int error = lookUp ? CRCFile(path, &crc) : CRCFileOfSize(path, size, attr, &crc);
    sink->Checksummed(tag, path, crc, error);
    return;
  }
  while (submitted_ - delivered_ >= ring_.size()) DeliverOldest(true);
  Job& job = ring_[submitted_ % ring_.size()];
  job.path.assign(path);
  job.size = size;
  job.attr = attr;
  job.lookUp = lookUp;
  job.sink = sink;
  job.tag = tag;
  job.done = false;
  bool wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++submitted_;
    wake = idle_ != 0 && submitted_ - taken_ >= kWakeBatch;
  }
  if (wake) work_.notify_all();
  while (submitted_ != delivered_ && DeliverOldest(false)) {
  }
}

void CrcReaders::Drain() {
  while (submitted_ != delivered_) DeliverOldest(true);
}

void CrcReaders::Flush() {
  bool wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wake = idle_ != 0 && taken_ != submitted_;
  }
  if (wake) work_.notify_all();
}

bool CrcReaders::DeliverOldest(bool wait) {
  Job& job = ring_[delivered_ % ring_.size()];
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!job.done && !wait) return false;
    if (!job.done && idle_ != 0 && taken_ != submitted_) work_.notify_all();
    waiting_ = true;
    done_.wait(lock, [&job] { return job.done; });
    waiting_ = false;
  }
  job.sink->Checksummed(job.tag, job.path.c_str(), job.crc, job.error);
  ++delivered_;
  return true;
}

void CrcReaders::Read() {
  std::vector<unsigned char> buffer(kCrcBufferSize);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    while (!stop_ && taken_ == submitted_) {
      ++idle_;
      work_.wait(lock);
      --idle_;
    }
    if (taken_ == submitted_) return;  // stopping, nothing left
    Job& job = ring_[taken_++ % ring_.size()];
    lock.unlock();
    uint32_t crc = 0;
    int error = ChecksumOneFile(job.path.c_str(), job.size, job.attr, job.lookUp, buffer.data(),
                                kCrcBufferSize, &crc);
    lock.lock();
    job.crc = crc;
    job.error = error;
    job.done = true;
    if (waiting_) done_.notify_one();
  }
}
