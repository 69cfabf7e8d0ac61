// One table's checksum pass through the reader pool: the files to read, progress and summary.
#include "core/checksum_run.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "core/consolefit.h"
#include "core/crc32shr.h"
#include "core/entrypath.h"
#include "core/pathtext.h"
#include "core/rules.h"

namespace {

// The path being read and the files done of all, fitted to the console.
void PrintChecksumProgress(const char* path, unsigned done, unsigned total) {
  char oem[2 * MAX_PATH];
  CharToOemA(path, oem);
  DrawProgress(ChecksumProgressText(oem, done, total, StderrConsoleColumns(), ConsoleShowsUtf8()) +
               "\r");
}

}  // namespace

ChecksumRun::ChecksumRun(Table& table, CrcReaders& readers, bool stored, bool quiet)
    : table_(table), readers_(readers), stored_(stored), shown_(quiet), progress_(quiet) {}

void ChecksumRun::QueueUpTo(size_t end, const std::vector<char>* only) {
  if (!started_) {
    started_ = true;
    start_ = time(nullptr);
  }
  char path[2 * MAX_PATH];
  snprintf(path, MAX_PATH, "%s", table_.cStartPath);
  size_t base = strlen(path);
  for (; queued_ < end; ++queued_) {
    size_t i = queued_;
    Record& r = table_.records[i];
    if (r.IsDir()) continue;
    if (only != nullptr && (i >= only->size() || !(*only)[i])) continue;
    bool deferred = (r.wStatus & stDEFERRED) != 0;
    bytes_ += r.qwSize;  // a deferred file's size comes with it
    ++files_;
    if (!ComposeFilePath(table_, static_cast<unsigned>(i), path, base)) {
      ++done_;
      r.dwCRC = 0;  // a path the system cannot take is unreadable
      r.wStatus |= stUNREAD;
      Warn(ENAMETOOLONG, std::string(table_.cStartPath) + r.LongName());
      continue;
    }
    if (deferred)
      readers_.SubmitDeferred(path, this, i);
    else
      readers_.Submit(path, r.qwSize, r.dwAttr, stored_, this, i);
  }
  readers_.Flush();
}

void ChecksumRun::QueueWhileWalking(size_t end) {
  if (readers_.Threaded()) QueueUpTo(end);
}

void ChecksumRun::Finish(const std::vector<char>* only) {
  showProgress_ = true;
  for (const auto& w : warnings_) WarnSkipped(w.first, w.second.c_str());
  warnings_.clear();
  total_ = files_;
  for (size_t i = queued_; i < table_.records.size(); ++i)
    total_ += !table_.records[i].IsDir() && (only == nullptr || (i < only->size() && (*only)[i]));
  QueueUpTo(table_.records.size(), only);
  Settle();
  double speed = 0;
  time_t elapsed = time(nullptr) - start_;
  if (elapsed != 0) speed = bytes_ / 1024.0 / static_cast<double>(elapsed);
  shown_.Final(" \376 CRC32  %6u  Size: %12" PRId64 " bytes   Speed: %7g Kb/s\n", files_,
               static_cast<int64_t>(bytes_), speed);
}

void ChecksumRun::Settle() {
  readers_.Drain();
  // A file gone between the listing and its reader is not in the tree, as when the walk had
  // looked it up itself.
  if (gone_ != 0) table_.Compact();
  gone_ = 0;
}

void ChecksumRun::Warn(int error, const std::string& path) {
  if (showProgress_) {
    WarnSkipped(error, path.c_str());
  } else {
    warnings_.emplace_back(error, path);  // said after the walk's lines, as one reader says it
  }
}

void ChecksumRun::Found(uint64_t tag, const FileFacts& facts) {
  Record& r = table_.records[tag];
  r.wStatus &= static_cast<uint16_t>(~stDEFERRED);
  if (!facts.found) {
    r.wStatus |= stGONE;
    ++gone_;
    --files_;
    return;
  }
  r.dwAttr = facts.attributes;
  r.ftCreate = facts.creation;
  r.ftAccess = facts.lastAccess;
  r.ftWrite = facts.lastWrite;
  r.qwSize = facts.size;
  bytes_ += facts.size;
}

void ChecksumRun::Checksummed(uint64_t tag, const char* path, uint32_t crc, int error) {
  Record& r = table_.records[tag];
  if (r.wStatus & stGONE) {
    if (error != ENOENT) Warn(error, path);  // it could not even be looked at
    ++done_;
    return;
  }
  // The engine leaves the CRC as it was when it was never made ready.
  if (CRCReady()) r.dwCRC = crc;
  if (error != 0 && error != kCrcNotReady) {
    Warn(error, path);
    r.wStatus |= stUNREAD;
  }
  ++done_;
  if (showProgress_ && progress_.Due()) PrintChecksumProgress(path, done_, total_);
}

void Table::ChecksumPass(const WalkRules& rules) {
  ChecksumPass(rules, nullptr);
}

void Table::ChecksumPass(const WalkRules& rules, const std::vector<char>* only, bool stored) {
  CrcReaders readers(rules.readers);
  ChecksumRun run(*this, readers, stored, rules.quiet);
  run.Finish(only);
}

int Table::BuildAndChecksum(int recurse, const WalkRules& rules) {
  CrcReaders readers(rules.readers);
  ChecksumRun run(*this, readers, false, rules.quiet);
  int error = BuildTree(
      recurse, rules, [&run](size_t found) { run.QueueWhileWalking(found); }, run.DefersFiles());
  // A tree that could not be read has nothing to sum up; what was queued is taken in.
  if (error == 0)
    run.Finish();
  else
    run.Settle();
  return error;
}
