// The CRC-32 engine: the byte table, the one read buffer, and the checksum of a file by path.
#include "core/crc32shr.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "core/crc32_kernels.h"
#include "core/lookup.h"
#include "core/reason.h"
#include "core/record.h"
#include "core/tell.h"
#include "platform/fileread.h"
#include "platform/platform.h"

uint32_t CRCTable[256];

namespace {

const char kModuleName[] = "crc32shr";

// Held from InitMagic to the end of the process; its absence means "not initialised".
unsigned char* readBuffer = nullptr;

using CrcKernel = uint32_t (*)(uint32_t, const unsigned char*, size_t);

CrcKernel ChooseKernel() {
  if (Crc32VpclmulAvailable()) return Crc32Vpclmul;
  if (Crc32Vpclmul256Available()) return Crc32Vpclmul256;
  if (Crc32ClmulAvailable()) return Crc32Clmul;
  // On the ARM cores whose timings are published both give about eight bytes a cycle, and the
  // CRC32 instructions need no vector registers; PMULL serves where they are missing.
  if (Crc32ArmCrcAvailable()) return Crc32ArmCrc;
  if (Crc32PmullAvailable()) return Crc32Pmull;
  return Crc32Slicing;
}

int FailWith(int error, uint32_t* crc) {
  *crc = 0;
  return error;
}

// errno after a failed runtime call, never 0 so that failure cannot read as success.
int LastError() {
  return errno != 0 ? errno : EIO;
}

}  // namespace

int InitMagic() {
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ MagicConst : c >> 1;
    CRCTable[n] = c;
  }
  if (readBuffer == nullptr) {
    readBuffer = static_cast<unsigned char*>(std::malloc(kCrcBufferSize));
  }
  if (readBuffer == nullptr) {
    TellInReport("\n*** Error: %s InitMagic() - insufficient memory.\n", kModuleName);
    return 1;
  }
  return 0;
}

int CRCFile(const char* path, uint32_t* crc) {
  if (readBuffer == nullptr) {
    TellInReport("\n*** Error: %s CRCFile() - Use InitMagic before call CRCFile().\n", kModuleName);
    return kCrcNotReady;
  }
  return CRCFileBuffered(path, readBuffer, kCrcBufferSize, crc);
}

namespace {

// 0 with the entry's size for a file that can be read; otherwise the error, crc set to 0.
int LookUpReadable(const char* path, uint64_t* size, uint32_t* crc) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindExactFileA(path, &found);
  if (find == INVALID_HANDLE_VALUE) return FailWith(ENOENT, crc);
  FindClose(find);
  // Opening a pipe or device could block for ever; a directory or link has nothing to read.
  if (!HasContents(found.dwFileAttributes)) return FailWith(0, crc);
  *size = (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
  return -1;
}

}  // namespace

int CRCFileBuffered(const char* path, unsigned char* buffer, unsigned size, uint32_t* crc) {
  if (size == 0) return kCrcNotReady;
  CrcFileRead read;
  int result = CrcFileStart(path, 0, 0, true, &read, crc);
  return result == kCrcOpened ? CrcReadOn(read, buffer, size, false, crc) : result;
}

int CRCFileOfSize(const char* path, uint64_t size, uint32_t attr, uint32_t* crc) {
  if (readBuffer == nullptr) {
    TellInReport("\n*** Error: %s CRCFile() - Use InitMagic before call CRCFile().\n", kModuleName);
    return kCrcNotReady;
  }
  return CRCFileOfSizeBuffered(path, size, attr, readBuffer, kCrcBufferSize, crc);
}

int CRCFileOfSizeBuffered(const char* path, uint64_t size, uint32_t attr, unsigned char* buffer,
                          unsigned bufferSize, uint32_t* crc) {
  if (bufferSize == 0) return kCrcNotReady;
  CrcFileRead read;
  int result = CrcFileStart(path, size, attr, false, &read, crc);
  return result == kCrcOpened ? CrcReadOn(read, buffer, bufferSize, false, crc) : result;
}

int CrcFileStart(const char* path, uint64_t size, uint32_t attr, bool lookUp, CrcFileRead* read,
                 uint32_t* crc, bool wait) {
  if (lookUp) {
    int failed = LookUpReadable(path, &size, crc);
    if (failed >= 0) return failed;
  } else if (!HasContents(attr)) {
    return FailWith(0, crc);
  }
  errno = 0;
  // What the walk saw is re-checked by the open (no link followed) and by the read itself.
  int file = OpenWalkedFile(path, wait);
  if (file == -1) return FailWith(LastError(), crc);
  if (_access(path, 4) != 0) {
    int error = LastError();
    _close(file);
    return FailWith(error, crc);
  }
  read->fd = file;
  read->remaining = size;
  CRCInit(&read->crc);
  return kCrcOpened;
}

int CrcReadOn(CrcFileRead& read, unsigned char* buffer, unsigned size, bool cachedOnly,
              uint32_t* crc) {
  while (read.remaining > 0) {
    unsigned chunk = read.remaining < size ? static_cast<unsigned>(read.remaining) : size;
    int got = cachedOnly ? ReadCached(read.fd, buffer, chunk) : _read(read.fd, buffer, chunk);
    if (got < 0 && cachedOnly && errno == EAGAIN) return kCrcWouldWait;
    // The file shrank or could not be read: its contents are unknown, not shorter. A read that
    // took only what memory held may end short of the chunk; the rest comes next time.
    if (got <= 0 || (!cachedOnly && static_cast<unsigned>(got) != chunk)) {
      int error = got < 0 ? LastError() : kReasonShrank;
      _close(read.fd);
      read.fd = -1;
      return FailWith(error, crc);
    }
    CRCUpdate(buffer, static_cast<unsigned>(got), &read.crc);
    read.remaining -= static_cast<unsigned>(got);
  }
  _close(read.fd);
  read.fd = -1;
  *crc = read.crc;
  CRCFinal(crc);
  return 0;
}

bool CRCReady() {
  return readBuffer != nullptr;
}

void CRCInit(uint32_t* crc) {
  *crc = 0xFFFFFFFFu;
}

void CRCUpdate(const unsigned char* bytes, size_t count, uint32_t* crc) {
  static const CrcKernel kernel = ChooseKernel();
  *crc = kernel(*crc, bytes, count);
}

void CRCFinal(uint32_t* crc) {
  *crc ^= 0xFFFFFFFFu;
}
