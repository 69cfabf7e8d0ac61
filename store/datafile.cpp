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
#include "core/table.h"
#include "platform/save.h"

namespace {

constexpr size_t kSignatureLen = 17;     // "VNT CRC Ver. 2.01"
constexpr size_t kSignaturePrefix = 12;  // "VNT CRC Ver.", the same in every version
constexpr size_t kLineLimit = MAX_PATH - 1;
constexpr size_t kIoBufferSize = size_t(1) << 20;
constexpr int64_t kMinBuffer = 4096;
constexpr int kTempAttempts = 100;

enum class Signature { kValid, kOtherVersion, kNotData };
enum class LineEnd { kLineFeed, kCut, kEndOfFile };

class Reader {
 public:
  // The buffer is as large as the file, within [kMinBuffer, kIoBufferSize], and not cleared.
  explicit Reader(int fd)
      : fd_(fd), size_(BufferSize(_filelengthi64(fd))), buf_(new unsigned char[size_]) {}

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

  // Text up to the next line feed, at most limit bytes, into out (which holds limit + 1). The
  // line feed is consumed, not stored. kCut: limit bytes without a line feed; the rest of the
  // line is read as the next line. kEndOfFile: the file ended before a line feed.
  LineEnd ReadLine(char* out, size_t limit) {
    size_t n = 0;
    for (;;) {
      if (pos_ == len_ && !Fill()) break;
      if (n == limit) {
        if (buf_[pos_] != '\n') {
          out[n] = '\0';
          return LineEnd::kCut;
        }
        ++pos_;
        out[n] = '\0';
        return LineEnd::kLineFeed;
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
        out[n] = '\0';
        return LineEnd::kLineFeed;
      }
    }
    out[n] = '\0';
    return LineEnd::kEndOfFile;
  }

  // Bytes consumed from the start of the file.
  uint64_t Offset() const { return base_ + pos_; }

 private:
  // A read error ends the data just as the end of the file does.
  bool Fill() {
    if (eof_) return false;
    int got = _read(fd_, buf_.get(), static_cast<unsigned>(size_));
    if (got <= 0) {
      eof_ = true;
      return false;
    }
    base_ += len_;
    pos_ = 0;
    len_ = static_cast<size_t>(got);
    return true;
  }

  static size_t BufferSize(int64_t fileSize) {
    if (fileSize < 0) return kIoBufferSize;
    return static_cast<size_t>(std::max<int64_t>(
        kMinBuffer, fileSize >= int64_t(kIoBufferSize) ? int64_t(kIoBufferSize) : fileSize + 1));
  }

  int fd_;
  size_t size_;
  std::unique_ptr<unsigned char[]> buf_;
  size_t pos_ = 0;
  size_t len_ = 0;
  uint64_t base_ = 0;
  bool eof_ = false;
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
    while (n > 0 && ok_) {
      if (len_ == cap_) Flush();
      size_t take = std::min(n, cap_ - len_);
      memcpy(buf_.get() + len_, p, take);
      len_ += take;
      p += take;
      n -= take;
    }
  }

  // Writes what is buffered; false when any write so far failed.
  bool Flush() {
    const char* p = buf_.get();
    while (len_ > 0 && ok_) {
      int put = _write(fd_, p, static_cast<unsigned>(len_));
      if (put <= 0) ok_ = false;  // a disk that takes nothing will not take more on a retry
      if (put > 0) {
        p += put;
        len_ -= static_cast<size_t>(put);
      }
    }
    len_ = 0;
    return ok_;
  }

 private:
  int fd_;
  size_t cap_;
  std::unique_ptr<char[]> buf_;
  size_t len_ = 0;
  bool ok_ = true;
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
  r->dwAttr = GetLe32(p + 14);
  r->ftCreate = GetTime(p + 18);
  r->ftAccess = GetTime(p + 26);
  r->ftWrite = GetTime(p + 34);
  r->qwSize = GetLe64(p + 42);
  r->dwReserved0 = GetLe32(p + 50);
  r->dwReserved1 = GetLe32(p + 54);
  r->dwCRC = GetLe32(p + 58);
  r->dwUpIdx = GetLe32(p + 62);
}

void EncodeRecord(const Record& r, unsigned char* p) {
  memcpy(p, r.cShortName, kShortNameLen);
  PutLe32(p + 14, r.dwAttr);
  PutTime(p + 18, r.ftCreate);
  PutTime(p + 26, r.ftAccess);
  PutTime(p + 34, r.ftWrite);
  PutLe64(p + 42, r.qwSize);
  PutLe32(p + 50, r.dwReserved0);
  PutLe32(p + 54, r.dwReserved1);
  PutLe32(p + 58, r.dwCRC);
  PutLe32(p + 62, r.dwUpIdx);
}

// Reads at most 17 bytes of line 1 (stopping after a line feed) and then drops one more byte,
// the line feed of a valid first line.
Signature ReadSignature(Reader& in) {
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
  if (n == 0) return Signature::kNotData;
  in.GetByte();
  if (strcmp(text, expected) == 0) return Signature::kValid;
  if (strncmp(text, expected, kSignaturePrefix) == 0) return Signature::kOtherVersion;
  return Signature::kNotData;
}

// Lines 2 to 4. Every build ends the count line with exactly one line feed right after the
// digits, and the records follow that line feed. The count is the value of the digits at the
// start of the line (none: 0); other bytes before the line feed are ignored, and white space
// after it is never skipped, since a record may begin with any byte. False when the header ends
// early or the count does not fit 32 bits.
bool ReadHeader(Reader& in, char* path, char* mask, uint32_t* count) {
  char text[MAX_PATH];
  if (in.ReadLine(path, kLineLimit) == LineEnd::kEndOfFile) return false;
  if (in.ReadLine(mask, kLineLimit) == LineEnd::kEndOfFile) return false;
  if (in.ReadLine(text, kLineLimit) != LineEnd::kLineFeed) return false;
  uint64_t n = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
    n = n * 10 + static_cast<uint64_t>(*p - '0');
    if (n > UINT32_MAX) return false;
  }
  *count = static_cast<uint32_t>(n);
  return true;
}

// A directory or a device is not opened: reading a FIFO would wait for a writer forever. Unlike
// the walk's rule (HasContents), a link is read through: a catalogue may be kept behind one,
// and the save keeps it a link.
bool IsUnreadableKind(const WIN32_FIND_DATAA& fd) {
  return (fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0;
}

// kDataFileFound: open it (and see); kCannotOpen: it exists but is no file to read.
TestFileResult ProbeFile(const char* name) {
  WIN32_FIND_DATAA fd;
  HANDLE find = FindExactFileA(name, &fd);
  if (find == INVALID_HANDLE_VALUE) return kNoSuchFile;
  FindClose(find);
  return IsUnreadableKind(fd) ? kCannotOpen : kDataFileFound;
}

int OpenForReading(const char* name) {
  if (ProbeFile(name) == kCannotOpen) return -1;
  return _open(name, _O_RDONLY | _O_BINARY);
}

// Creates "<target>.tmp.<pid>.<n>" exclusively, so that it never follows or clobbers an
// existing file or link, and stays in the target's directory for the rename.
int CreateTemporary(const char* target, char* tmp) {
  for (int n = 0; n < kTempAttempts; ++n) {
    int len = snprintf(tmp, MAX_PATH, "%s.tmp.%d.%d", target, _getpid(), n);
    if (len < 0 || len >= MAX_PATH) return -1;
    int fd = _open(tmp, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteTable(const Table& t, int fd) {
  char header[3 * MAX_PATH + 64];
  uint32_t n = static_cast<uint32_t>(t.records.size());
  Writer out(fd, sizeof header + uint64_t(n) * (kRecordBytes + 32));
  // The names are bounded by their arrays in case one lacks its terminator.
  int len = snprintf(header, sizeof header, "VNT CRC Ver. %s\n%.*s\n%.*s\n%u\n", kVersion,
                     static_cast<int>(strnlen(t.cStartPath, MAX_PATH - 1)), t.cStartPath,
                     static_cast<int>(strnlen(t.cFileMask, MAX_PATH - 1)), t.cFileMask, n);
  if (len < 0 || static_cast<size_t>(len) >= sizeof header) return false;
  // A line break inside the start path or the mask would shift every later line.
  if (std::count(header, header + len, '\n') != 4) return false;
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

// Header, records and names into t. False for a damaged file: it ends early, its count needs
// more bytes than the file holds (checked before anything is reserved), or a record's parent
// is not an earlier directory. t's start path and mask change only when all of it is sound.
bool LoadTable(Reader& in, int64_t fileSize, Table* t, uint32_t* count) {
  char path[MAX_PATH];
  char mask[MAX_PATH];
  uint32_t n = 0;
  if (!ReadHeader(in, path, mask, &n)) return false;
  // Each record takes kRecordBytes and at least the line feed of its name line.
  if (fileSize >= 0) {
    uint64_t rest = uint64_t(fileSize) > in.Offset() ? uint64_t(fileSize) - in.Offset() : 0;
    if (uint64_t(n) * (kRecordBytes + 1) > rest) return false;
    // A sparse file may claim more than it holds: reserve a bounded amount, grow as read.
    t->records.reserve(std::min<size_t>(n, size_t(1) << 20));
  }
  unsigned char raw[kRecordBytes];
  for (uint32_t i = 0; i < n; ++i) {
    if (!in.ReadBytes(raw, kRecordBytes)) return false;
    t->records.emplace_back();
    Record& r = t->records.back();
    DecodeRecord(raw, &r);
    if (r.dwUpIdx != 0 && (r.dwUpIdx > i || !t->records[r.dwUpIdx - 1].IsDir())) return false;
  }
  char name[MAX_PATH];
  for (uint32_t i = 0; i < n; ++i) {
    if (in.ReadLine(name, kLineLimit) == LineEnd::kEndOfFile) return false;
    t->records[i].SetLongName(name);
  }
  memcpy(t->cStartPath, path, sizeof path);
  memcpy(t->cFileMask, mask, sizeof mask);
  *count = n;
  return true;
}

}  // namespace

int Table::ReadDataFile() {
  records.clear();
  ProgressLine(" \376 Reading data file ...\r");
  int fd = OpenForReading(cDataFile);
  if (fd < 0) {
    fprintf(stderr, "\n** Error: Cannot open input file: %s\n", cDataFile);
    return 1;
  }
  Reader in(fd);
  uint32_t count = 0;
  int result = 0;
  Signature sig = ReadSignature(in);
  if (sig == Signature::kNotData) {
    fprintf(stderr, "\n** Error: This is not data file.\n\n");
  } else if (sig == Signature::kOtherVersion) {
    fprintf(stderr, "\n** Error: Different version of data file. Error: Requires ver. %s\n",
            kVersion);
  } else if (!LoadTable(in, _filelengthi64(fd), this, &count)) {
    std::vector<Record>().swap(records);
    count = 0;
    result = kDataFileDamaged;
    fprintf(stderr, "\n** Error: Data file is damaged: %s\n", cDataFile);
  }
  _close(fd);
  FinalLine(" \376 Readed %6u  %s\n", count, cDataFile);
  return result;
}

int Table::SaveDataFile(bool readOnly) {
  if (readOnly) {
    StatusLine(" \376 Not saved changes. Read-Only mode for: %s\n", cDataFile);
    return 0;
  }
  uint32_t n = static_cast<uint32_t>(records.size());
  ProgressLine(" \376 Saving %u records ...\r", n);
  char target[MAX_PATH], tmp[MAX_PATH];
  // A data file its owner made read-only is not replaced behind their back, as opening it
  // for writing would not have been allowed either.
  bool writable = ResolveSaveTarget(cDataFile, target, sizeof target) &&
                  (_access(target, 0) != 0 || _access(target, 2) == 0);
  int fd = writable ? CreateTemporary(target, tmp) : -1;
  if (fd < 0) {
    fprintf(stderr, "\n** Error: Cannot open output file: %s\n", cDataFile);
    return 1;
  }
  KeepFileMode(target, fd);
  bool ok = WriteTable(*this, fd) && _commit(fd) == 0;
  ok = _close(fd) == 0 && ok;
  ok = ok && MoveFileExA(tmp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) {
    _unlink(tmp);
    fprintf(stderr, "\n** Error: Cannot write output file: %s\n", cDataFile);
    return 1;
  }
  FinalLine(" \376 Saved  %6u  %s\n", n, cDataFile);
  return 0;
}

// Prints nothing: the callers turn the result into their own messages. A header that ends
// before its count line is complete makes no usable data file.
TestFileResult Table::TestFile(const char* name) {
  TestFileResult kind = ProbeFile(name);
  if (kind != kDataFileFound) return kind;
  int fd = _open(name, _O_RDONLY | _O_BINARY);
  if (fd < 0) return kCannotOpen;
  records.clear();
  Reader in(fd);
  TestFileResult result = kNotDataFile;
  Signature sig = ReadSignature(in);
  if (sig == Signature::kOtherVersion) {
    result = kOtherVersion;
  } else if (sig == Signature::kValid) {
    char path[MAX_PATH];
    char mask[MAX_PATH];
    uint32_t count = 0;
    if (ReadHeader(in, path, mask, &count)) {
      memcpy(cStartPath, path, sizeof path);
      memcpy(cFileMask, mask, sizeof mask);
      result = kDataFileFound;
    }
  }
  _close(fd);
  return result;
}
