// Confirming by their bytes that files proposed as copies (equal size, equal CRC-32) are copies.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/fileid.h"

/// One name of a file proposed as a copy, and what reading it now found. Kept small: a group
/// of a million empty files holds a million of these.
struct Candidate {
  enum State : uint8_t {
    kUnread,   // not looked at yet
    kMissing,  // cannot be opened now (gone, not readable, or a path the system cannot take)
    kChanged,  // opened, but its size is not the one recorded or reading it failed
    kRead,     // contents read: cls tells which others hold the same bytes
  };

  State state = kUnread;
  bool firstName = false;  // for kRead: the first of the names of its file
  // Why it could not be read (kMissing, kChanged), as Why() gives it; 0 when it could be read
  // but is not the file recorded (another size, another file). In what padding leaves free.
  uint16_t why = 0;
  int32_t cls = -1;  // for kRead: class of equal contents, numbered in the order of first members
  // For kRead, which file it is (names of one file have the same): the splitter's number for
  // its volume and its index there, in halves, so that a name takes 20 bytes.
  uint32_t volume = 0;
  uint32_t indexLow = 0;
  uint32_t indexHigh = 0;

  void Fail(State s, int error);
  int Why() const;

  bool SameFile(const Candidate& o) const {
    return volume == o.volume && indexLow == o.indexLow && indexHigh == o.indexHigh;
  }
};

/// The path that opens name i of a group; empty when the system cannot take it.
using CandidatePath = std::function<std::string(size_t)>;

/// Sorts names of files that all have the recorded size into classes of equal contents and
/// returns the number of classes. Small files are read once each and compared in memory with
/// the first file of each class; a few large ones are read in large blocks side by side, each
/// only until no other file shares its bytes so far; many large ones (or small ones of many
/// classes) are checksummed once and those with equal checksums compared: with the first of
/// them, and when that leaves others, by a digest of each, so that files made to share a
/// checksum cost a read or two each, never one per pair. Names of one file are read once in all.
/// Memory stays bounded however many files there are. It holds as many files open at once as
/// the system gives it descriptors for, and waits for one only while it holds none, so that
/// splitters beside each other never wait on one another and no file fails for the limit.
class ContentSplitter {
 public:
  /// crcs, when given, receives the CRC-32 of each class that holds two files or more.
  int Split(std::vector<Candidate>& files, uint64_t size, const CandidatePath& pathOf,
            std::vector<uint32_t>* crcs = nullptr);

 private:
  struct Leader {
    uint32_t name;  // position among the names
    uint32_t crc;   // of the whole file, where it was read whole at its opening
  };
  // What opening every name found: the first name of each file, and how they are told apart.
  struct Opened {
    std::vector<Leader> leaders;
    std::vector<int> fds;      // of the leaders, when read side by side
    std::vector<int> classOf;  // of each leader, by its position among the names
    bool sideBySide = false;
    bool matching = false;  // small files, each matched in memory with the classes so far
  };

  Opened OpenNames(std::vector<Candidate>& files, uint64_t size);
  void SplitSideBySide(std::vector<Candidate>& files, Opened& o, uint64_t size,
                       std::vector<uint32_t>* crcOf);

  int Open(std::vector<Candidate>& files, size_t i, uint64_t size, bool wait);
  int Reopen(std::vector<Candidate>& files, size_t i, uint64_t size, bool wait);
  bool OpenChunk(std::vector<Candidate>& files, const std::vector<uint32_t>& remaining,
                 uint32_t rep, uint64_t size, size_t* at, std::vector<uint32_t>* chunk,
                 std::vector<int>* fds);
  void HashHeld(std::vector<Candidate>& files, std::vector<Leader>& leaders, std::vector<int>& fds,
                uint64_t size);
  int ReadWhole(int fd, uint64_t size, uint32_t* crc);
  void SplitByDigest(std::vector<Candidate>& files, const std::vector<uint32_t>& group,
                     uint64_t size, std::vector<int>* classOf, int* classes);
  bool Match(uint32_t crc, size_t size, int* cls);
  std::vector<int> Lockstep(const std::vector<int>& fds, uint64_t size, bool anchored,
                            std::vector<uint32_t>* crcs);
  void SplitAnchored(std::vector<Candidate>& files, const std::vector<uint32_t>& group,
                     uint64_t size, std::vector<int>* classOf, int* classes, bool digest);
  void SplitHashed(std::vector<Candidate>& files, const std::vector<Leader>& leaders, uint64_t size,
                   std::vector<int>* classOf, std::vector<uint32_t>* crcOf);

  std::vector<unsigned char> arena_;
  std::vector<uint32_t> kept_;       // the checksum of each class of small files so far
  std::vector<unsigned char> held_;  // and the bytes of its first file, one after the other
  std::vector<uint64_t> volumes_;    // the volumes met, numbered by their position
  std::vector<int> why_;             // Lockstep: why each file that failed could not be read
  const CandidatePath* pathOf_ = nullptr;
};
