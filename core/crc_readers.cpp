// The reader pool: threads that checksum queued files, results handed back in queue order.
#include "core/crc_readers.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include "core/crc32shr.h"
#include "core/record.h"
#include "platform/platform.h"

namespace {

// Jobs queued ahead of the oldest undelivered one: enough that the other readers go on while
// one reads a large file (tens of milliseconds for a hundred MB from memory), small enough that
// the queued jobs stay a few MiB.
constexpr size_t kRingSize = 8192;

// Files that wait before Submit wakes idle readers.
constexpr uint64_t kWakeBatch = 16;

// Files that a full queue (or the end) waits for at once: the queuing thread sleeps and is woken
// once for these, not once for each file.
constexpr uint64_t kDeliverBatch = 256;

// Looks for work, giving way in between, before a reader sleeps.
constexpr unsigned kSpinsBeforeSleep = 64;

// Files a reader takes at once, at most: files queued one after another mostly share a
// directory, which a reader then looks up once for all of them.
constexpr uint64_t kMostTaken = 64;

}  // namespace

CrcReaders::CrcReaders(unsigned readers) {
  if (readers == 1) return;
  if (readers == kFitReaders) {
    fit_ = true;
    readers = std::max(1u, std::thread::hardware_concurrency());
  }
  ringSize_ = kRingSize;
  ring_.reset(new Job[ringSize_]);
  threads_.reserve(readers);
  // A thread the system cannot start leaves its share to those that started (none: the
  // caller reads each file itself), as the duplicate finder's confirmers do.
  for (unsigned i = 0; i < readers; ++i) {
    try {
      threads_.emplace_back(&CrcReaders::Read, this);
    } catch (const std::system_error&) {
      break;
    }
  }
}

CrcReaders::~CrcReaders() {
  if (threads_.empty()) return;
  Drain();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  for (std::thread& t : threads_) t.join();
  // Every job was delivered, so none waits; the readers that could start more have ended.
  {
    std::lock_guard<std::mutex> lock(waitingMutex_);
    waitingIdle_ = 0;
  }
  waitingWork_.notify_all();
  for (std::thread& t : waitingThreads_) t.join();
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
  Queue(path, size, attr, lookUp, false, sink, tag);
}

void CrcReaders::SubmitDeferred(const char* path, CrcSink* sink, uint64_t tag) {
  if (TakesDeferred()) {
    Queue(path, 0, 0, false, true, sink, tag);
    return;
  }
  Drain();
  FileFacts facts;
  int fd = OpenDeferredFile(path, &facts, false);
  int error = errno;
  if (fd >= 0) _close(fd);
  sink->Found(tag, facts);
  if (facts.found)
    Submit(path, facts.size, facts.attributes, false, sink, tag);
  else
    sink->Checksummed(tag, path, 0, error != 0 ? error : ENOENT);
}

void CrcReaders::Queue(const char* path, uint64_t size, uint32_t attr, bool lookUp, bool deferred,
                       CrcSink* sink, uint64_t tag) {
  uint64_t n = submitted_.load(std::memory_order_relaxed);
  while (n - delivered_ >= ringSize_) DeliverBatch();
  Job& job = ring_[n % ringSize_];
  job.path.assign(path);
  job.size = size;
  job.attr = attr;
  job.lookUp = lookUp;
  job.deferred = deferred;
  job.read.fd = -1;
  job.sink = sink;
  job.tag = tag;
  job.done.store(false, std::memory_order_relaxed);
  submitted_.store(n + 1);
  if (idle_.load() != 0 && n + 1 - taken_.load() >= kWakeBatch) WakeReaders();
  while (submitted_.load(std::memory_order_relaxed) != delivered_ && DeliverOldest(false)) {
  }
}

void CrcReaders::Drain() {
  while (submitted_.load(std::memory_order_relaxed) != delivered_) DeliverBatch();
}

void CrcReaders::DeliverBatch() {
  uint64_t last = std::min(delivered_ + kDeliverBatch, submitted_.load()) - 1;
  WaitFor(last);
  // Mostly done by now; one taken earlier may still be read.
  while (delivered_ <= last) DeliverOldest(true);
}

void CrcReaders::WaitFor(uint64_t t) {
  Job& job = ring_[t % ringSize_];
  if (job.done.load(std::memory_order_acquire)) return;
  Flush();
  std::unique_lock<std::mutex> lock(mutex_);
  awaited_.store(t);
  while (!job.done.load()) done_.wait(lock);
  awaited_.store(kNone);
}

void CrcReaders::Flush() {
  if (idle_.load() != 0 && taken_.load() != submitted_.load()) WakeReaders();
}

void CrcReaders::WakeReaders() {
  // Taking the mutex orders this wake after a reader's last look for work.
  { std::lock_guard<std::mutex> lock(mutex_); }
  work_.notify_all();
}

bool CrcReaders::DeliverOldest(bool wait) {
  Job& job = ring_[delivered_ % ringSize_];
  if (!job.done.load(std::memory_order_acquire)) {
    if (!wait) return false;
    WaitFor(delivered_);
  }
  if (job.deferred) job.sink->Found(job.tag, job.facts);
  job.sink->Checksummed(job.tag, job.path.c_str(), job.crc, job.error);
  ++delivered_;
  return true;
}

void CrcReaders::Read() {
  std::vector<unsigned char> buffer(kCrcBufferSize);
  unsigned spins = 0;
  for (;;) {
    uint64_t t = taken_.load();
    if (t == submitted_.load()) {
      // The walk queues a directory's files every few tens of microseconds: a reader that
      // gives way a few times first is mostly not put to sleep and woken again for each.
      if (spins++ < kSpinsBeforeSleep) {
        std::this_thread::yield();
        continue;
      }
      spins = 0;
      ReleaseThreadState();  // an idle reader holds no descriptor that the walk may need
      std::unique_lock<std::mutex> lock(mutex_);
      idle_.fetch_add(1);
      while (!stop_.load() && taken_.load() == submitted_.load()) work_.wait(lock);
      idle_.fetch_sub(1);
      if (stop_.load() && taken_.load() == submitted_.load()) return;
      continue;
    }
    // A fair share of what waits, so that no reader stays idle while another holds a run.
    uint64_t share = (submitted_.load() - t) / threads_.size();
    uint64_t run = std::max<uint64_t>(1, std::min(share, kMostTaken));
    if (!taken_.compare_exchange_weak(t, t + run)) continue;
    for (uint64_t first = t, last = t + run - 1; t <= last; ++t) {
      if (fit_) {
        ReadCached(t, first, last, buffer);
        continue;
      }
      Job& job = ring_[t % ringSize_];
      job.error = Work(job, buffer, false);
      Finished(t, first, last);
    }
  }
}

// Short of descriptors, the open itself waits for another reader to close one.
int CrcReaders::Work(Job& job, std::vector<unsigned char>& buffer, bool cachedOnly) {
  int r = job.read.fd < 0 ? StartJob(job, cachedOnly) : kCrcOpened;
  return r == kCrcOpened ? CrcReadOn(job.read, buffer.data(), kCrcBufferSize, cachedOnly, &job.crc)
                         : r;
}

int CrcReaders::StartJob(Job& job, bool cachedOnly) {
  if (!job.deferred)
    return CrcFileStart(job.path.c_str(), job.size, job.attr, job.lookUp, &job.read, &job.crc);
  job.crc = 0;
  int fd = OpenDeferredFile(job.path.c_str(), &job.facts, cachedOnly);
  if (fd < 0 && cachedOnly && errno == EAGAIN) return kCrcWouldWait;
  if (fd < 0) {
    // What has no contents now is read as the walk would have read it: not at all.
    if (job.facts.found && !HasContents(job.facts.attributes)) return 0;
    return errno != 0 ? errno : EIO;
  }
  // The engine's check that the file may be read, as for every other file.
  if (_access(job.path.c_str(), 4) != 0) {
    int error = errno != 0 ? errno : EIO;
    _close(fd);
    return error;
  }
  job.read.fd = fd;
  job.read.remaining = job.facts.size;
  CRCInit(&job.read.crc);
  return kCrcOpened;
}

void CrcReaders::Finished(uint64_t t, uint64_t first, uint64_t last) {
  ring_[t % ringSize_].done.store(true);
  if (t == last) EndRun(first, last);
}

void CrcReaders::EndRun(uint64_t first, uint64_t last) {
  // The queuing thread, asleep for a job of this run, is woken once the run is done: it then
  // delivers the whole run, not one file per wake.
  uint64_t awaited = awaited_.load();
  if (awaited >= first && awaited <= last) {
    std::lock_guard<std::mutex> lock(mutex_);
    done_.notify_one();
  }
}

void CrcReaders::ReadCached(uint64_t t, uint64_t first, uint64_t last,
                            std::vector<unsigned char>& buffer) {
  Job& job = ring_[t % ringSize_];
  int result = Work(job, buffer, true);
  if (result == kCrcWouldWait && HandToWaiting(t)) {
    // Its run's end still wakes the queuing thread, which then waits for this job alone.
    if (t == last) EndRun(first, last);
    return;
  }
  // No reader that waits could be had: this one waits instead.
  if (result == kCrcWouldWait) result = Work(job, buffer, false);
  job.error = result;
  Finished(t, first, last);
}

bool CrcReaders::HandToWaiting(uint64_t t) {
  std::lock_guard<std::mutex> lock(waitingMutex_);
  if (waitingIdle_ == 0 && waitingThreads_.size() < kWaitingReaders) {
    // The system may refuse a thread (a process limit): the job is then read where it is.
    try {
      waitingThreads_.emplace_back(&CrcReaders::ReadWaiting, this);
    } catch (const std::system_error&) {
      if (waitingThreads_.empty()) return false;
    }
  } else {
    waitingWork_.notify_one();
  }
  waiting_.push_back(t);
  return true;
}

void CrcReaders::ReadWaiting() {
  std::vector<unsigned char> buffer(kCrcBufferSize);
  std::unique_lock<std::mutex> lock(waitingMutex_);
  for (;;) {
    if (waiting_.empty()) {
      if (stop_.load()) return;
      ++waitingIdle_;
      waitingWork_.wait(lock);
      if (waitingIdle_ > 0) --waitingIdle_;
      continue;
    }
    uint64_t t = waiting_.front();
    waiting_.pop_front();
    lock.unlock();
    Job& job = ring_[t % ringSize_];
    job.error = Work(job, buffer, false);  // opened here when even its name had to wait
    Finished(t, t, t);
    lock.lock();
  }
}
