// The walk shared by Scan and Compare: the stored records of one table are matched against a
// live tree, entry by entry, and brought up to date; what is new is appended with stNEW and
// what is not found keeps stGONE.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/crc_readers.h"
#include "core/progress.h"
#include "core/rules.h"
#include "core/table.h"
#include "core/walk.h"

struct CheckOptions {
  CheckOptions(uint32_t sub_, uint32_t noTime_, uint32_t noAttr_, uint32_t noCrc_, uint32_t noSize_)
      : sub(sub_), noTime(noTime_), noAttr(noAttr_), noCrc(noCrc_), noSize(noSize_) {}

  uint32_t sub = 0;
  uint32_t noTime = 0;
  uint32_t noAttr = 0;
  uint32_t noCrc = 0;
  uint32_t noSize = 0;
  bool checkCreate = true;   // Compare never checks the creation time
  bool dirWriteTime = true;  // nor the write time of a directory
  // Scan: new contents under the same size and write time are damage, and the stored CRC
  // stays unless the user accepts the new one. The switches that hide a field from the report
  // do not hide it from this judgement: only noCrc does.
  bool findDamage = false;
  bool acceptDamaged = false;
  // Scan of an archive: new contents are a finding whatever the size and times say.
  bool archive = false;
  // Scan under /ns: the CRC is read for the judgement above, but an ordinary change of it is
  // left out of the report, as the size is.
  bool hideCrc = false;
  WalkRules walk;           // the entries a walk leaves out, files read at once, quietness
  uint32_t timeWindow = 0;  // seconds within which two times are equal
  // Compare: a file with contents whose CRC was never made (stored under /nc) on either side
  // has no contents to compare.
  bool crcZeroUnknown = false;
};

/// The texts of one matched entry's differences; an empty text means no difference.
struct EntryChange {
  const char* path = nullptr;       // full path, OEM
  const char* exactPath = nullptr;  // full path as the file system names it
  bool isDir = false;
  bool damaged = false;     // contents changed, size and write time kept (or any change, archived)
  bool edited = false;      // damaged with a new size or write time: an archive's file rewritten
  uint32_t record = 0;      // the entry's record in the table
  uint32_t attributes = 0;  // the entry's attributes now, which tell its kind
  char name[64] = "";
  char create[80] = "";
  char write[80] = "";
  char crc[32] = "";
  char attr[40] = "";
  char size[64] = "";
  /// The stored (was) and present (now) value of each field whose text above is set.
  struct Fields {
    char name[kShortNameLen + 1] = "";
    FILETIME create = {};
    FILETIME write = {};
    uint32_t attr = 0;
    uint64_t size = 0;
    uint32_t crc = 0;
  };
  Fields was, now;
};

/// What an entry holds now, beside its record: the fields checked before its contents.
struct EntryFacts {
  const char* shortName;  // kShortNameLen bytes
  FILETIME create;
  FILETIME write;
  uint32_t attr;  // without atNOMATCH
  bool dir;
};

/// Compares name, times and attributes of record r with now under opt, writes the text of
/// each difference into c and takes the new value into r. Returns how many differ. Live and
/// stored walks share it, so both report a difference alike.
int CheckFacts(Record& r, const EntryFacts& now, const CheckOptions& opt, EntryChange& c);

using ChangeSink = std::function<void(const EntryChange&)>;
/// A stored record kept as it was because it could not be read now (reason "unreadable"): a
/// file, or a directory whose whole stored subtree stays.
using KeptSink = std::function<void(uint32_t record, const char* reason)>;

class StoredTree;

class Reconciler final : public CrcSink, private DirVisitor {
 public:
  Reconciler(Table& table, const CheckOptions& options);

  /// The entries to match come from a catalogue's records instead of the live tree; nothing
  /// is read. Before Walk.
  void ListFrom(StoredTree* tree) { tree_ = tree; }

  /// stGONE on every stored record that the walk will look for (without sub, the first level
  /// only: deeper records stay as stored); the child index and the directories to visit.
  void Index();
  /// Visits the stored directories under the table's start path, in index order.
  /// progressTask is the task number shown in the progress line. Returns 0, or the error number
  /// when the start directory is gone or cannot be read: nothing was compared then. onKept,
  /// when set, hears of each record kept because it could not be read.
  int Walk(int progressTask, const ChangeSink& onChange, const KeptSink& onKept = KeptSink());
  /// After Walk (and the pairing of moves): whether the catalogue held files and not one of
  /// them was found again, in its place or moved, or kept as stored. Directories do not count:
  /// another drive has its own lost+found. What --exclude covers counts as missing.
  bool EveryStoredFileMissing() const;
  /// After Walk (and the pairing of moves): the stored records --exclude covers become missing,
  /// so that they leave the catalogue and the report shows what the patterns took out. Until
  /// then they are neither looked for nor listed.
  void MarkCovered();
  /// After MarkCovered: the stored files that are missing, neither moved nor left out by
  /// --exclude, in table order.
  std::vector<size_t> MissingFiles() const;
  /// The records of files (MissingFiles) stay in the catalogue, and the directories that lead
  /// to them: Compact passes them by.
  void Keep(const std::vector<size_t>& files);

 private:
  int VisitDirectory(uint32_t d, char* path, size_t base);
  /// Clears stGONE below every directory numbered in unreadable (stored_ + 1 entries).
  void KeepStoredBelow(const std::vector<char>& unreadable);
  /// The stored subtree of directory number d stays as stored (not read, or not entered).
  void KeepBelow(uint32_t d);
  // Regular files come with their names only while readers beside the walk open them: the
  // open is then each file's one lookup, and its facts are checked when they come.
  bool DefersFiles() const override;
  bool IsCovered(size_t k) const { return !covered_.empty() && covered_[k]; }
  // Whether the walk goes into the directory of matched record k.
  void Enter(long k, const FoundEntry& e);
  // The listing of the directory being visited: an entry the mask matches is matched against
  // the stored children; a directory that misses the mask is kept as a node of the tree.
  void Entry(const FoundEntry& e) override;
  void Subdir(const FoundEntry& e) override;
  // An entry past the path limit keeps what was stored of it, its subtree included.
  void Unreached(const WIN32_FIND_DATAA& fd) override;
  void TakeTraversalDir(const FoundEntry& e);
  void TakeNew(const FoundEntry& e);
  // A new entry from the catalogue, with its subtree under sub as the tree builder takes it in.
  void TakeNewStored(uint32_t j, bool noMatch);
  // A matched entry: every check that needs no reading is made at once; the size and CRC
  // checks and the report wait for the file's checksum, which the readers make.
  struct Matched {
    uint32_t k = 0;  // the record
    bool waiting = false;
    bool dir = false;
    bool unreadable = false;  // its checksum could not be made: what was stored stands
    bool deferred = false;    // its facts come from its reader (Found)
    bool looked = false;      // they came
    bool gone = false;        // gone (or a directory now) when its reader came: not found
    bool aliasOnly = false;   // reached through its 8.3 alias alone (TakenUnderAlias)
    bool crcUnknown = false;  // its CRC was never made (a catalogue's file stored under /nc)
    char shortName[kShortNameLen] = {};
    FILETIME storedWrite = {};
    FILETIME liveWrite = {};  // read even when no change of it is reported
    uint64_t live = 0;
    uint32_t crc = 0;
    int changes = 0;
    std::string path;
    EntryChange c;
  };

  void Compare(uint32_t k, const WIN32_FIND_DATAA& fd, const char* path);
  void CompareDeferred(uint32_t k, const WIN32_FIND_DATAA& fd, const char* path);
  // The first matched entry whose checksum is still to come: the one being delivered.
  Matched& FirstWaiting();
  // Reports the matched entries at the front whose checksums are in, in walk order.
  void ReportReady();
  void Conclude(Matched& m);
  // Whether m's contents changed as the run's findings count it; marks c and keeps the stored
  // contents' fields in the record (those of a file not accepted).
  void JudgeContents(Matched& m, bool sizeChanged);
  void Checksummed(uint64_t tag, const char* path, uint32_t crc, int error) override;
  void Found(uint64_t tag, const FileFacts& facts) override;
  long Find(uint32_t up, bool dir, const char* name) const;
  // The slot where the probe for key hash h ends: the one holding the key (*found its record)
  // or the empty one it would take (*found -1).
  size_t Probe(uint64_t h, uint32_t up, bool dir, const char* name, long* found) const;
  // A slot keeps bits of its key's hash above the record index (idxBits_ bits), so that the
  // probe passes most slots of other keys without a look at their records.
  uint32_t TagOf(uint64_t h) const { return static_cast<uint32_t>((h >> 32) << idxBits_); }
  // Find under the directory being listed, trying first the stored record after the last one
  // matched there: a directory's stored children lie side by side in the order of its listing
  // (directories, then files), so that an unchanged tree is matched record after record.
  long Match(bool dir, const char* name);
  // Whether record k is the one Find gives for the key (first of its key, not covered).
  bool IsFirstOfKey(size_t k, bool dir, const char* name) const;

  Table& table_;
  CheckOptions opt_;
  size_t stored_ = 0;
  std::vector<uint32_t> slots_;  // open-addressing index: tag | record index + 1, 0 = empty
  unsigned idxBits_ = 32;        // bits of a slot that hold the record index + 1
  std::vector<uint32_t> visit_;  // directory numbers: 0, then stored directory k as k+1
  std::vector<char> enterable_;  // stored directory found on disk as a real directory
  std::vector<char> keepBelow_;  // by directory number, once one is kept as stored
  std::vector<char> covered_;    // stored records --exclude covers (empty: none)
  std::vector<char> shadowed_;   // stored records whose key an earlier one holds (empty: none)
  uint32_t lastDir_ = 0;         // the last stored directory and file matched in the listing,
  uint32_t lastFile_ = 0;        // as record index + 1 (0: none yet)
  int task_ = 0;
  uint32_t visiting_ = 0;  // the directory number being listed
  const ChangeSink* sink_ = nullptr;
  const KeptSink* keptSink_ = nullptr;
  CrcReaders* reads_ = nullptr;
  StoredTree* tree_ = nullptr;
  std::vector<uint32_t> twin_;   // stored directory k -> its directory number in tree_, or 0
  std::deque<Matched> matched_;  // in walk order; the front is reported first
  ProgressTimer progress_;
};

/// "# path", the change lines in their fixed order, and a blank line.
void PrintChangeBlock(const EntryChange& c);
