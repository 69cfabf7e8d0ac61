// The checksum pass of one table through the readers: which files are read, the progress line
// and the summary. The walk may queue files as it finds them, so that reading overlaps it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "core/crc_readers.h"
#include "core/progress.h"
#include "core/table.h"

class ChecksumRun final : public CrcSink {
 public:
  // stored: the table comes from a data file, so each file's size and kind are looked up
  // again; otherwise the size the walk saw is read. quiet: no progress or summary line.
  ChecksumRun(Table& table, CrcReaders& readers, bool stored, bool quiet);

  // Queues the files among the records not queued yet, up to end, that only selects (one
  // entry per record; null: every file).
  void QueueUpTo(size_t end, const std::vector<char>* only = nullptr);
  // The same while the tree is still being walked; with one reader nothing is read before
  // the walk is done, as the one-file-at-a-time pass reads.
  void QueueWhileWalking(size_t end);
  // Queues the rest, waits for every checksum and prints the summary line.
  void Finish(const std::vector<char>* only = nullptr);
  // Waits for every checksum queued so far, without a summary.
  void Settle();
  // Whether the walk may leave each file's find data to its reader (stDEFERRED).
  bool DefersFiles() const { return !stored_ && readers_.TakesDeferred(); }

 private:
  void Found(uint64_t tag, const FileFacts& facts) override;
  void Checksummed(uint64_t tag, const char* path, uint32_t crc, int error) override;
  // The warning for a file left unread.
  void Warn(int error, const std::string& path);

  Table& table_;
  CrcReaders& readers_;
  bool stored_;
  size_t queued_ = 0;
  unsigned files_ = 0;  // queued
  unsigned done_ = 0;   // checksummed, or left unread
  unsigned total_ = 0;  // to be queued in all, known once the walk is done
  uint64_t bytes_ = 0;
  size_t gone_ = 0;  // deferred files gone before their reader came
  bool started_ = false;
  time_t start_ = 0;
  bool showProgress_ = false;  // not while the walk prints its own
  Progress shown_;
  ProgressTimer progress_;
  std::vector<std::pair<int, std::string>> warnings_;  // found while the walk still prints
};
