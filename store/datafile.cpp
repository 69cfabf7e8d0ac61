// The data file: a four-line text header, fixed 66-byte little-endian records, then one name
// line per record. It is read in one sequential pass through a large buffer and written to a
// temporary file that replaces the old one only when all of it has reached the disk.
#include "store/datafile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/lookup.h"
#include "core/progress.h"
#include "core/reason.h"
#include "core/table.h"
#include "core/tell.h"
#include "platform/fileread.h"
#include "platform/owner.h"
#include "platform/save.h"

namespace {

constexpr size_t kSignatureLen = 17;     // "VNT CRC Ver. 2.01"
constexpr size_t kSignaturePrefix = 12;  // "VNT CRC Ver.", the same in every version
constexpr size_t kLineLimit = MAX_PATH - 1;
constexpr size_t kCountDigits = 10;  // UINT32_MAX
constexpr size_t kIoBufferSize = size_t(1) << 20;
constexpr size_t kReadBufferSize = size_t(256) << 10;  // two readers at once stay in the cache
constexpr int64_t kMinBuffer = 4096;
// Records reserved before any is read: the checked count and as many again, so that a table
// that Scan or Compare extends by up to its own size is never copied while it grows (a copy
// holds the old and the new array at once). Pages not yet written cost address space only, so
// a sparse file that claims millions is refused at its first name having cost no memory; past
// this bound the table grows as it reads.
constexpr size_t kReserveAtMost = size_t(1) << 24;

// What the check of a data file found.
enum class Verdict { kValid, kNotData, kOtherVersion, kDamaged, kReadError };
enum class LineEnd { kLineFeed, kCut, kEndOfFile };

class Reader {
 public:
  // The buffer is as large as the file, within [kMinBuffer, kReadBufferSize], and not cleared.
  Reader(int fd, int64_t fileSize)
      : fd_(fd), size_(BufferSize(fileSize)), buf_(new unsigned char[size_]) {}

  int GetByte() {
    if (pos_ == len_ && !Fill()) return -1;
    return buf_[pos_++];
  }

  // Copies n bytes to out; false when the file ends first.
  bool ReadBytes(unsigned char* out, size_t n) {
    while (n > 0) {
      if (pos_ == len_ && !Fill()) return false;
      size_t take = std::min(n, len_ - pos_);
      memcpy(out, &buf_[pos_], take);
      out += take;
      pos_ += take;
      n -= take;
    }
    return true;
  }

  // Text up to the next line feed, at most limit bytes, into out (which holds limit + 1) and
  // its length into *len. The line feed is consumed, not stored. kCut: limit bytes without a
  // line feed. kEndOfFile: the file ended before a line feed.
  LineEnd ReadLine(char* out, size_t limit, size_t* len) {
    size_t n = 0;
    LineEnd end = LineEnd::kEndOfFile;
    for (;;) {
      if (pos_ == len_ && !Fill()) break;
      if (n == limit) {
        end = buf_[pos_] == '\n' ? LineEnd::kLineFeed : LineEnd::kCut;
        if (end == LineEnd::kLineFeed) ++pos_;
        break;
      }
      size_t take = std::min(limit - n, len_ - pos_);
      const unsigned char* p = &buf_[pos_];
      const void* lf = memchr(p, '\n', take);
      if (lf != nullptr) take = static_cast<const unsigned char*>(lf) - p;
      memcpy(out + n, p, take);
      n += take;
      pos_ += take;
      if (lf != nullptr) {
        ++pos_;
        end = LineEnd::kLineFeed;
        break;
      }
    }
    out[n] = '\0';
    *len = n;
    return end;
  }

  // Whether the file has no byte left.
  bool AtEnd() { return pos_ == len_ && !Fill(); }

  // Bytes consumed from the start of the file.
  uint64_t Offset() const { return base_ + pos_; }

  // Goes on reading at offset.
  void Seek(uint64_t offset) {
    base_ = offset;
    pos_ = len_ = 0;
  }

  // The error number of the first read that failed, 0 when none did. A failed read ends the
  // data, and the caller reports the error rather than what the data looked like.
  int Error() const { return err_; }

 private:
  // Reads at the reader's own offset, so that two readers can share one descriptor: one seek
  // per buffer.
  bool Fill() {
    if (err_ != 0) return false;
    if (_lseeki64(fd_, static_cast<int64_t>(base_ + len_), SEEK_SET) < 0) {
      Fail();
      return false;
    }
    int got = _read(fd_, buf_.get(), static_cast<unsigned>(size_));
    if (got < 0) Fail();
    if (got <= 0) return false;
    base_ += len_;
    pos_ = 0;
    len_ = static_cast<size_t>(got);
    return true;
  }

  void Fail() {
    err_ = errno != 0 ? errno : EIO;
    pos_ = len_ = 0;
  }

  static size_t BufferSize(int64_t fileSize) {
    if (fileSize < 0) return kReadBufferSize;
    return static_cast<size_t>(std::max<int64_t>(kMinBuffer, fileSize >= int64_t(kReadBufferSize)
                                                                 ? int64_t(kReadBufferSize)
                                                                 : fileSize + 1));
  }

  int fd_;
  size_t size_;
  std::unique_ptr<unsigned char[]> buf_;
  size_t pos_ = 0;
  size_t len_ = 0;
  uint64_t base_ = 0;
  int err_ = 0;
};

class Writer {
 public:
  // The buffer holds about the expected file, at most kIoBufferSize.
  Writer(int fd, uint64_t expected)
      : fd_(fd),
        cap_(static_cast<size_t>(std::min<uint64_t>(expected, kIoBufferSize))),
        buf_(new char[cap_]) {}

  void Put(const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0 && err_ == 0) {
      if (len_ == cap_) Flush();
      size_t take = std::min(n, cap_ - len_);
      memcpy(buf_.get() + len_, p, take);
      len_ += take;
      p += take;
      n -= take;
    }
  }

  // Writes what is buffered; false when any write so far failed (errno then says why).
  bool Flush() {
    const char* p = buf_.get();
    while (len_ > 0 && err_ == 0) {
      int put = _write(fd_, p, static_cast<unsigned>(len_));
      // A disk that takes nothing will not take more on a retry.
      if (put <= 0) err_ = put < 0 && errno != 0 ? errno : ENOSPC;
      if (put > 0) {
        p += put;
        len_ -= static_cast<size_t>(put);
      }
    }
    len_ = 0;
    if (err_ != 0) errno = err_;
    return err_ == 0;
  }

 private:
  int fd_;
  size_t cap_;
  std::unique_ptr<char[]> buf_;
  size_t len_ = 0;
  int err_ = 0;
};

uint32_t GetLe32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t GetLe64(const unsigned char* p) {
  return GetLe32(p) | uint64_t(GetLe32(p + 4)) << 32;
}

FILETIME GetTime(const unsigned char* p) {
  return FILETIME{GetLe32(p), GetLe32(p + 4)};
}

void PutLe32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void PutLe64(unsigned char* p, uint64_t v) {
  PutLe32(p, static_cast<uint32_t>(v));
  PutLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

void PutTime(unsigned char* p, const FILETIME& ft) {
  PutLe32(p, ft.dwLowDateTime);
  PutLe32(p + 4, ft.dwHighDateTime);
}

// The short name keeps its bytes up to the first NUL only.
void DecodeRecord(const unsigned char* p, Record* r) {
  size_t len = 0;
  while (len < kShortNameLen && p[len] != 0) ++len;
  memcpy(r->cShortName, p, len);
  memset(r->cShortName + len, 0, kShortNameLen - len);
  r->dwAttr = GetLe32(p + kAtAttr);
  r->ftCreate = GetTime(p + kAtCreate);
  r->ftAccess = GetTime(p + kAtAccess);
  r->ftWrite = GetTime(p + kAtWrite);
  r->qwSize = GetLe64(p + kAtSize);
  r->dwReserved0 = GetLe32(p + kAtReserved0);
  r->dwReserved1 = GetLe32(p + kAtReserved1);
  r->dwCRC = GetLe32(p + kAtCrc);
  r->dwUpIdx = GetLe32(p + kAtUpIdx);
}

void EncodeRecord(const Record& r, unsigned char* p) {
  memcpy(p, r.cShortName, kShortNameLen);
  PutLe32(p + kAtAttr, r.dwAttr);
  PutTime(p + kAtCreate, r.ftCreate);
  PutTime(p + kAtAccess, r.ftAccess);
  PutTime(p + kAtWrite, r.ftWrite);
  PutLe64(p + kAtSize, r.qwSize);
  PutLe32(p + kAtReserved0, r.dwReserved0);
  PutLe32(p + kAtReserved1, r.dwReserved1);
  PutLe32(p + kAtCrc, r.dwCRC);
  PutLe32(p + kAtUpIdx, r.dwUpIdx);
}

// Reads at most 17 bytes of line 1 (stopping after a line feed); a valid first line is
// followed by its line feed, which is consumed.
Verdict ReadSignature(Reader& in) {
  char expected[kSignatureLen + 1];
  snprintf(expected, sizeof expected, "VNT CRC Ver. %s", kVersion);
  char text[kSignatureLen + 1];
  size_t n = 0;
  while (n < kSignatureLen) {
    int c = in.GetByte();
    if (c < 0) break;
    text[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  text[n] = '\0';
  if (n == 0) return Verdict::kNotData;
  if (strcmp(text, expected) == 0)
    return in.GetByte() == '\n' ? Verdict::kValid : Verdict::kDamaged;
  if (strncmp(text, expected, kSignaturePrefix) == 0) return Verdict::kOtherVersion;
  return Verdict::kNotData;
}

// A text line as the writer writes it: at most kLineLimit bytes, never cut (the rest would be
// read as the next line), no NUL, ended by its line feed. Header lines hold no carriage return
// either: the writer refuses one there, so one means the file went through a text conversion.
bool ReadTextLine(Reader& in, char* out, bool header) {
  size_t len = 0;
  if (in.ReadLine(out, kLineLimit, &len) != LineEnd::kLineFeed) return false;
  return memchr(out, '\0', len) == nullptr && !(header && memchr(out, '\r', len) != nullptr);
}

// The count exactly as "%u" writes it: decimal digits, no sign, no leading zero, no blank.
bool ParseCount(const char* text, uint32_t* count) {
  size_t len = strlen(text);
  if (len == 0 || len > kCountDigits || (text[0] == '0' && len > 1)) return false;
  uint64_t n = 0;
  for (size_t i = 0; i < len; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    n = n * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  if (n > UINT32_MAX) return false;
  *count = static_cast<uint32_t>(n);
  return true;
}

struct Header {
  char path[MAX_PATH];
  char mask[MAX_PATH];
  uint32_t count = 0;
};

bool ReadHeader(Reader& in, Header* h) {
  char count[MAX_PATH];
  return ReadTextLine(in, h->path, true) && ReadTextLine(in, h->mask, true) &&
         ReadTextLine(in, count, true) && ParseCount(count, &h->count);
}

// The records and their names, read side by side (the names follow the last record): each
// parent an earlier directory (a cycle or a dangling parent would hang or crash every path
// composer), each name a line the writer would write, and the names end the file. Resident
// memory grows with what was read and checked, never with the count alone: a sparse file that
// claims a huge count fails at its first name. Appended to out, or only checked when out is null.
Verdict ReadEntries(Reader& in, Reader& names, uint32_t count, std::vector<Record>* out) {
  std::vector<char> dirs;
  if (out != nullptr) {
    out->reserve(out->size() + std::min<size_t>(size_t{count} * 2, kReserveAtMost));
  } else {
    dirs.reserve(std::min<size_t>(count, kReserveAtMost));
  }
  unsigned char raw[kRecordBytes];
  char name[MAX_PATH];
  for (uint32_t i = 0; i < count; ++i) {
    if (!in.ReadBytes(raw, kRecordBytes) || !ReadTextLine(names, name, false))
      return Verdict::kDamaged;
    uint32_t up = GetLe32(raw + kAtUpIdx);
    if (up > i) return Verdict::kDamaged;
    // Only the walk sets the mark, and only on directories: on a file it would hide the file
    // from every list, its deletion included.
    uint32_t attr = GetLe32(raw + kAtAttr);
    if ((attr & atNOMATCH) != 0 && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0) return Verdict::kDamaged;
    if (up != 0 && !(out != nullptr ? (*out)[up - 1].IsDir() : dirs[up - 1] != 0))
      return Verdict::kDamaged;
    if (out != nullptr) {
      out->emplace_back();
      DecodeRecord(raw, &out->back());
      out->back().SetLongName(name);
    } else {
      dirs.push_back((attr & FILE_ATTRIBUTE_DIRECTORY) != 0);
    }
  }
  return names.AtEnd() ? Verdict::kValid : Verdict::kDamaged;
}

// The one check of a data file, shared by ReadDataFile and TestFile so that every mode refuses
// the same files: whatever the writer would not have written is damaged, and a failed read is
// a read error, never taken for the end of the data. With records null the file is only
// checked; otherwise its records (with their names) are appended there.
Verdict ReadTable(int fd, Header* h, std::vector<Record>* records, int* err) {
  int64_t size = _filelengthi64(fd);
  if (size < 0) {
    *err = errno;
    return Verdict::kReadError;
  }
  Reader in(fd, size);
  Verdict v = ReadSignature(in);
  if (v == Verdict::kValid && !ReadHeader(in, h)) v = Verdict::kDamaged;
  Reader names(fd, size);
  if (v == Verdict::kValid) {
    uint64_t start = in.Offset() + uint64_t(h->count) * kRecordBytes;
    names.Seek(start);
    // At least a line feed per name.
    if (start + h->count > uint64_t(size)) v = Verdict::kDamaged;
  }
  if (v == Verdict::kValid) v = ReadEntries(in, names, h->count, records);
  *err = in.Error() != 0 ? in.Error() : names.Error();
  return *err != 0 ? Verdict::kReadError : v;
}

// A directory or a device is not opened: reading a FIFO would wait for a writer forever. Unlike
// the walk's rule (HasContents), a link is read through: a catalogue may be kept behind one,
// and the save keeps it a link.
bool IsUnreadableKind(const WIN32_FIND_DATAA& fd) {
  return (fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0;
}

// kDataFileFound: open it (and see); kCannotOpen: it exists but is no file to read (*attr
// says what); kNoSuchFile: nothing of that name.
TestFileResult ProbeFile(const char* name, DWORD* attr) {
  WIN32_FIND_DATAA fd;
  HANDLE find = FindExactFileA(name, &fd);
  if (find == INVALID_HANDLE_VALUE) return kNoSuchFile;
  FindClose(find);
  *attr = fd.dwFileAttributes;
  return IsUnreadableKind(fd) ? kCannotOpen : kDataFileFound;
}

// An open file descriptor, or -1 with errno saying why.
int OpenForReading(const char* name) {
  DWORD attr = 0;
  if (ProbeFile(name, &attr) == kCannotOpen) {
    errno = (attr & FILE_ATTRIBUTE_DIRECTORY) ? EISDIR : kErrorNotRegular;
    return -1;
  }
  return _open(name, _O_RDONLY | _O_BINARY);
}

// What `name` stands for now; fd, when not -1, is the file that was opened from it.
DataFileStamp TakeStamp(const char* name, int fd) {
  DataFileStamp s;
  if (!GetEntryId(name, false, &s.entry)) return s;
  s.exists = true;
  bool known = fd >= 0 ? GetOpenEntryId(fd, &s.file) : GetEntryId(name, true, &s.file);
  if (!known) s.file = EntryId{};  // a link that leads nowhere
  return s;
}

bool SameId(const EntryId& a, const EntryId& b) {
  return a.file == b.file && a.link == b.link;
}

// A save error of this program's own: the name stands for another file or link than it did
// when the data file was read.
constexpr int kChangedSinceRead = -1;

void PrintSaveReason(int err) {
  if (err == kChangedSinceRead) {
    Tell(" *** Data file changed since it was read\n");
  } else {
    PrintReason(err);
  }
}

// The path a save of t replaces, into target (MAX_PATH bytes), and whether a file is there to
// replace: the data file read, or its target when it was read through that same link. A link
// or file put at the name since is never written through or taken over. 0 or an error number.
int CheckSaveTarget(const Table& t, char* target, bool* replace) {
  DataFileStamp now = TakeStamp(t.cDataFile, -1);
  *replace = now.exists;
  if (now.exists && !t.stamp.exists) return EEXIST;
  if (now.exists && !(SameId(now.entry, t.stamp.entry) && SameId(now.file, t.stamp.file)))
    return kChangedSinceRead;
  if (!ResolveSaveTarget(t.cDataFile, target, MAX_PATH)) return ENAMETOOLONG;
  // A data file its owner made read-only is not replaced behind their back, as opening it
  // for writing would not have been allowed either.
  if (now.exists && _access(target, 2) != 0) return errno;
  return 0;
}

// After a save: what the new file could not take over from the old one.
void WarnNotCarriedOver(const CarriedOver& kept, const char* name) {
  if (kept.attrError != 0) {
    Tell(" *** Warning: Extended attributes not kept, access left to the owner: %s\n", name);
    PrintReason(kept.attrError);
  }
  if (kept.otherLinks)
    Tell(" *** Warning: Other hard links of the data file keep the old contents: %s\n", name);
}

// False with errno set when a write fails or the table holds what the reader would refuse: a
// line break in the start path or the mask, a name with a line feed or over the line limit.
bool WriteTable(const Table& t, int fd) {
  char header[3 * MAX_PATH + 64];
  uint32_t n = static_cast<uint32_t>(t.records.size());
  Writer out(fd, sizeof header + uint64_t(n) * (kRecordBytes + 32));
  errno = EINVAL;
  // The names are bounded by their arrays in case one lacks its terminator.
  int len = snprintf(header, sizeof header, "VNT CRC Ver. %s\n%.*s\n%.*s\n%u\n", kVersion,
                     static_cast<int>(strnlen(t.cStartPath, MAX_PATH - 1)), t.cStartPath,
                     static_cast<int>(strnlen(t.cFileMask, MAX_PATH - 1)), t.cFileMask, n);
  if (len < 0 || static_cast<size_t>(len) >= sizeof header) return false;
  if (std::count(header, header + len, '\n') != 4 || memchr(header, '\r', len) != nullptr)
    return false;
  for (const Record& r : t.records) {
    size_t nameLen = strlen(r.LongName());
    if (nameLen > kLineLimit || memchr(r.LongName(), '\n', nameLen) != nullptr) return false;
  }
  out.Put(header, static_cast<size_t>(len));
  unsigned char raw[kRecordBytes];
  for (const Record& r : t.records) {
    EncodeRecord(r, raw);
    out.Put(raw, kRecordBytes);
  }
  for (const Record& r : t.records) {
    out.Put(r.LongName(), strlen(r.LongName()));
    out.Put("\n", 1);
  }
  return out.Flush();
}

}  // namespace

void PrintDataFileDamaged(const char* name) {
  Tell("\n** Error: Data file is damaged: %s\n", name);
}

int ReadDataFile(Table& t, Progress shown) {
  t.records.clear();
  shown.Line(" \376 Reading data file ...\r");
  int fd = OpenForReading(t.cDataFile);
  if (fd < 0) {
    int err = errno;
    Tell("\n** Error: Cannot open input file: %s\n", t.cDataFile);
    PrintReason(err);
    return 1;
  }
  t.stamp = TakeStamp(t.cDataFile, fd);
  Header h;
  int err = 0;
  Verdict v = ReadTable(fd, &h, &t.records, &err);
  _close(fd);
  switch (v) {
    case Verdict::kValid:
      memcpy(t.cStartPath, h.path, sizeof h.path);
      memcpy(t.cFileMask, h.mask, sizeof h.mask);
      break;
    case Verdict::kNotData:
      Tell("\n** Error: This is not data file.\n\n");
      break;
    case Verdict::kOtherVersion:
      Tell("\n** Error: Different version of data file. Error: Requires ver. %s\n", kVersion);
      break;
    case Verdict::kDamaged:
      PrintDataFileDamaged(t.cDataFile);
      break;
    case Verdict::kReadError:
      Tell("\n** Error: Cannot read input file: %s\n", t.cDataFile);
      PrintReason(err);
      break;
  }
  if (v != Verdict::kValid) std::vector<Record>().swap(t.records);
  shown.Final(" \376 Readed %6u  %s\n", static_cast<unsigned>(t.records.size()), t.cDataFile);
  return v == Verdict::kValid ? 0 : 1;
}

int SaveDataFile(Table& t, bool readOnly, Progress shown) {
  if (readOnly) {
    shown.Status(" \376 Not saved changes. Read-Only mode for: %s\n", t.cDataFile);
    return 0;
  }
  uint32_t n = static_cast<uint32_t>(t.records.size());
  shown.Line(" \376 Saving %u records ...\r", n);
  char target[MAX_PATH], tmp[MAX_PATH];
  bool replace = false;
  int err = CheckSaveTarget(t, target, &replace);
  int fd = -1;
  if (err == 0 && (fd = CreateTemporary(target, tmp, sizeof tmp)) < 0) err = errno;
  if (err != 0) {
    PrintCannotSave(t.cDataFile, err);
    return 1;
  }
  // The temporary file is its owner's alone until it is complete; then it takes the old file's
  // permissions and owner, and the rename makes it the data file.
  if (!WriteTable(t, fd) || _commit(fd) != 0 || !KeepFileMode(target, fd)) err = errno;
  CarriedOver kept;
  if (err == 0 && replace) kept = KeepExtendedAttributes(target, fd);
  if (_close(fd) != 0 && err == 0) err = errno;
  DWORD how = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  errno = 0;
  if (err == 0 && !MoveFileExA(tmp, target, how)) err = errno != 0 ? errno : EIO;
  if (err != 0) _unlink(tmp);
  ForgetTemporary();
  if (err != 0) {
    Tell("\n** Error: Cannot write output file: %s\n", t.cDataFile);
    PrintSaveReason(err);
    return 1;
  }
  t.stamp = TakeStamp(t.cDataFile, -1);
  shown.Final(" \376 Saved  %6u  %s\n", n, t.cDataFile);
  WarnNotCarriedOver(kept, t.cDataFile);
  return 0;
}

int CheckSaveRoom(const char* name) {
  char target[MAX_PATH], tmp[MAX_PATH];
  if (!ResolveSaveTarget(name, target, sizeof target)) return ENAMETOOLONG;
  if (_access(target, 0) == 0 && _access(target, 2) != 0) return errno;
  int fd = CreateTemporary(target, tmp, sizeof tmp);
  if (fd < 0) return errno;
  _close(fd);
  _unlink(tmp);
  ForgetTemporary();
  return 0;
}

void PrintCannotSave(const char* name, int err) {
  Tell("\n** Error: Cannot open output file: %s\n", name);
  PrintSaveReason(err);
}

// Prints nothing: the callers turn the code into their own messages. A damaged file is no
// usable data file and gives kNotDataFile; kCannotOpen leaves errno saying why.
TestFileResult TestFile(Table& t, const char* name, bool* damaged) {
  if (damaged != nullptr) *damaged = false;
  DWORD attr = 0;
  TestFileResult kind = ProbeFile(name, &attr);
  if (kind == kCannotOpen) errno = (attr & FILE_ATTRIBUTE_DIRECTORY) ? EISDIR : kErrorNotRegular;
  if (kind != kDataFileFound) return kind;
  int fd = _open(name, _O_RDONLY | _O_BINARY);
  if (fd < 0) return kCannotOpen;
  t.records.clear();
  Header h;
  int err = 0;
  Verdict v = ReadTable(fd, &h, nullptr, &err);
  _close(fd);
  switch (v) {
    case Verdict::kValid:
      memcpy(t.cStartPath, h.path, sizeof h.path);
      memcpy(t.cFileMask, h.mask, sizeof h.mask);
      return kDataFileFound;
    case Verdict::kOtherVersion:
      return kOtherVersion;
    case Verdict::kReadError:
      errno = err;
      return kCannotOpen;
    case Verdict::kDamaged:
      if (damaged != nullptr) *damaged = true;
      return kNotDataFile;
    default:
      return kNotDataFile;
  }
}
