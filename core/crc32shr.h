// The CRC-32 engine (IEEE 802.3: reflected polynomial, initial all ones, final complement).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t MagicConst = 0xEDB88320u;
constexpr unsigned kCrcBufferSize = 65536;

/// Entry n is the CRC remainder of the byte n; built by InitMagic.
extern uint32_t CRCTable[256];

/// Builds the table and the read buffer: 0, or 1 when the buffer cannot be had.
int InitMagic();

/// The result of the calls below when the engine was never made ready or is given no buffer.
constexpr int kCrcNotReady = 0xFFFF;

/// CRC of a file's contents: 0 done; kCrcNotReady (crc untouched); otherwise an error number,
/// with crc set to 0.
int CRCFile(const char* path, uint32_t* crc);
int CRCFileBuffered(const char* path, unsigned char* buffer, unsigned size, uint32_t* crc);
/// CRC of the first `size` bytes of a file whose size and attributes the caller saw when it
/// walked the tree, so that a size and its checksum always belong together: a file that has
/// shrunk since then gets crc 0 (its contents are unknown), one that has grown the checksum of
/// that many bytes. No second lookup by name: a POSIX name may hold '*' or '?'. Links, devices
/// and directories get crc 0 without being opened.
int CRCFileOfSize(const char* path, uint64_t size, uint32_t attr, uint32_t* crc);
// The same through the caller's buffer, for readers that work beside each other.
int CRCFileOfSizeBuffered(const char* path, uint64_t size, uint32_t attr, unsigned char* buffer,
                          unsigned bufferSize, uint32_t* crc);
/// A file's checksum read in steps, so that a reader can hand a file whose bytes must come
/// from the device to a reader that may wait for them.
struct CrcFileRead {
  int fd = -1;
  uint64_t remaining = 0;
  uint32_t crc = 0;  // running, not yet complemented
};
/// CrcFileStart's result when the file is open, and CrcReadOn's when cachedOnly was asked and
/// the next bytes are not in memory.
constexpr int kCrcOpened = -2;
constexpr int kCrcWouldWait = -1;
/// Opens what CRCFileBuffered (lookUp) or CRCFileOfSizeBuffered would read: kCrcOpened with
/// *read ready; otherwise that call's result, with crc set (nothing to read, or no opening).
/// wait: short of descriptors, wait for another reader to close one (see OpenWalkedFile); a
/// caller that holds files open itself passes false, gets EMFILE and gives its files up first.
int CrcFileStart(const char* path, uint64_t size, uint32_t attr, bool lookUp, CrcFileRead* read,
                 uint32_t* crc, bool wait = true);
/// Reads on to the end: 0 with the CRC in *crc, or an error number with crc 0; either way the
/// file is closed. cachedOnly: kCrcWouldWait, the file still open, when the next bytes would
/// have to be waited for.
int CrcReadOn(CrcFileRead& read, unsigned char* buffer, unsigned size, bool cachedOnly,
              uint32_t* crc);
// Whether InitMagic has made the engine ready.
bool CRCReady();

void CRCInit(uint32_t* crc);
void CRCUpdate(const unsigned char* bytes, size_t count, uint32_t* crc);
void CRCFinal(uint32_t* crc);
