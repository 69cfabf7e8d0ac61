// The Win32 and C-runtime subset the program is written against. On Windows these are the
// system's own; elsewhere platform/*-posix.cpp implements them with the same observable rules
// (wildcards, enumeration order, attributes, FILETIME). Nothing outside platform/ uses #ifdef.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <conio.h>
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <windows.h>

// The Win32 build reaches the file system through the wide functions with the \\?\ prefix,
// so that device names (AUX, CON), trailing dots and spaces and paths of any depth are files
// like any other; the program still sees ANSI names and paths (wide-win32.cpp). Find data is
// zeroed before it is filled, so no stack bytes reach a record or a catalogue.
#undef MAX_PATH
#define MAX_PATH 4096  // the program's own bound; the prefix lifts the system's 260

HANDLE FindFirstFileWide(const char* pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileWide(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindCloseWide(HANDLE find);
int OpenWide(const char* path, int flags, int mode = 0);
int AccessWide(const char* path, int mode);
int UnlinkWide(const char* path);
BOOL MoveFileExWide(const char* from, const char* to, DWORD flags);
char* FullPathWide(char* abs, const char* rel, size_t max);
int WriteWide(int fd, const void* buf, unsigned count);
#define FindFirstFileA FindFirstFileWide
#define FindNextFileA FindNextFileWide
#define FindClose FindCloseWide
#define _open OpenWide
#define _access AccessWide
#define _unlink UnlinkWide
#define MoveFileExA MoveFileExWide
#define _fullpath FullPathWide
#define _write WriteWide
#else
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>

typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef int BOOL;
typedef void* HANDLE;
typedef char CHAR;

#define MAX_PATH PATH_MAX
#define TRUE 1
#define FALSE 0
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

#define FILE_ATTRIBUTE_READONLY 0x1
#define FILE_ATTRIBUTE_HIDDEN 0x2
#define FILE_ATTRIBUTE_SYSTEM 0x4
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_ARCHIVE 0x20
#define FILE_ATTRIBUTE_DEVICE 0x40
#define FILE_ATTRIBUTE_NORMAL 0x80
#define FILE_ATTRIBUTE_TEMPORARY 0x100
#define FILE_ATTRIBUTE_SPARSE_FILE 0x200
#define FILE_ATTRIBUTE_REPARSE_POINT 0x400
#define FILE_ATTRIBUTE_COMPRESSED 0x800
#define FILE_ATTRIBUTE_OFFLINE 0x1000

#define MOVEFILE_REPLACE_EXISTING 0x1
#define MOVEFILE_WRITE_THROUGH 0x8

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
};

/// Directory enumeration. A pattern is a directory path, a separator and a name or wildcard
/// mask; a pattern without * or ? is looked up with one lstat. "." and ".." come first, then
/// names sorted as NTFS sorts them.
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st);

// The error of the last failed find call: ERROR_FILE_NOT_FOUND when a directory was read and
// nothing matched, ERROR_NO_MORE_FILES at the end of a search, ERROR_PATH_NOT_FOUND when the
// directory does not exist, anything else when it could not be read.
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_NO_MORE_FILES 18
DWORD GetLastError();

/// Names are shown as stored, except that control bytes become '?'. src and dst may be equal.
BOOL CharToOemA(const char* src, char* dst);

/// rename(2); with MOVEFILE_WRITE_THROUGH the directory is flushed as well.
BOOL MoveFileExA(const char* from, const char* to, DWORD flags);

#define _O_RDONLY O_RDONLY
#define _O_WRONLY O_WRONLY
#define _O_RDWR O_RDWR
#define _O_CREAT O_CREAT
#define _O_EXCL O_EXCL
#define _O_TRUNC O_TRUNC
#define _O_BINARY 0
#define _S_IREAD 0444
#define _S_IWRITE 0222

int _open(const char* path, int flags, int mode = 0);
int _read(int fd, void* buf, unsigned count);
int _write(int fd, const void* buf, unsigned count);
int _close(int fd);
int _access(const char* path, int mode);
int _commit(int fd);
int64_t _filelengthi64(int fd);                         // size of an open file; -1 on error
int64_t _lseeki64(int fd, int64_t offset, int origin);  // new offset; -1 on error
int _getpid();
int _isatty(int fd);
int _fileno(FILE* stream);
int _unlink(const char* path);

#define _MAX_DRIVE 3
#define _MAX_DIR MAX_PATH
#define _MAX_FNAME MAX_PATH
#define _MAX_EXT MAX_PATH

/// Absolute path against the current directory, "." and ".." removed lexically.
char* _fullpath(char* abs, const char* rel, size_t max);
void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);

char* _strdate(char* buf);  // MM/DD/YY, local
char* _strtime(char* buf);  // HH:MM:SS, local
#endif

// Pieces that differ between the builds but have no Win32 name of their own.

#ifdef _WIN32
constexpr char kPathSep = '\\';
constexpr bool kIsWin32 = true;
#else
constexpr char kPathSep = '/';
constexpr bool kIsWin32 = false;
#endif

/// The longest path a walk composes for an entry. Win32 reaches entries by path, up to the
/// program's MAX_PATH; the POSIX walk opens every directory from its parent's descriptor, so
/// the system's PATH_MAX does not bind it, only the program's path buffers (2 * MAX_PATH).
constexpr size_t kWalkPathLimit = kIsWin32 ? MAX_PATH : 2 * MAX_PATH - 8;

/// Whether a path of 8.3 aliases reaches an entry. Where it does not (POSIX, whose short name
/// is only the first bytes of the long one), paths are made of long names alone.
constexpr bool kShortPathsResolve = kIsWin32;

/// Whether a switch must be spelled exactly (-s, -ms; -sub and -mscan refused) or is read by its
/// first letters as Windows programs of its kind read it (/sub acts as /s).
constexpr bool kSwitchSpelledExactly = !kIsWin32;

/// Whether the wildcard part of a search pattern counts toward MAX_PATH: the ANSI functions of
/// Win32 convert the whole pattern in a buffer of that size; the POSIX layer opens the
/// directory alone.
constexpr bool kPatternInPathLimit = kIsWin32;

/// Why a found entry cannot be reached by the name it came back with, for its warning; nullptr
/// when it can. On Win32: the ANSI code page could not spell the name ('?' in place of what it
/// lacks), the name holds a character no Win32 name may hold (shown as it is), or another
/// entry of the directory came back with the same name. Such an entry is reached through its
/// 8.3 alias where it has one that opens it alone (cAlternateFileName is then not empty). A
/// POSIX name is its bytes.
const char* NameLoss(const WIN32_FIND_DATAA& fd);

/// One key from the console without echo; one byte when standard input is not a terminal.
/// Returns -1 at end of input.
int ReadConsoleKey();

/// The program's arguments as it reads them; argc is updated. On Win32 the command line is read
/// as wide text and each argument made ANSI as found names are, without look-alikes; one the
/// code page cannot spell is taken as the 8.3 path of the entry it names, or, where there is
/// none, refused: refused then holds it as it can be shown. POSIX arguments are their bytes.
char** ProgramArguments(int* argc, char** argv, std::vector<std::string>* refused);

/// Whether a command-line argument is a switch rather than a path or mask.
bool IsSwitchArgument(const char* arg);

/// Stream set-up at start: standard output fully buffered when it is not a terminal.
void InitConsoleStreams();

/// How many files and directories the volume that holds path has in use, an upper bound on
/// what a walk beneath it can find (other volumes mounted below aside): 0 when unknown.
uint64_t EntriesOnVolume(const char* path);

/// Why writing to stream failed, asked of the system when the C runtime may have lost it (a
/// write inside printf whose error number later calls overwrote): 0 when only the runtime's
/// errno can tell. On Win32 a line feed is written again to ask.
int StreamWriteFailure(FILE* stream);

/// The C runtime's error number for a GetLastError code of the find functions, so that one
/// text (strerror) names the reason on both builds: ENOENT when the path does not exist.
int ErrnoOfFindError(DWORD code);

/// Closes what the calling thread keeps open between calls (the directory cache below), so that
/// a thread about to wait holds no descriptor that another one may need. Nothing on Win32.
void ReleaseThreadState();

// State the POSIX build keeps between calls, where Windows keeps its own. It changes what a
// call returns only as said here; the directory cache and the last open are kept per thread:
// - Directory cache: the directory that holds the last path looked up (FindFirstFileA without
//   wildcards, _open for reading, _access) stays open for at most 100 ms and the next lookups
//   in it go through it. A directory renamed away and replaced within that time may be read as
//   the one it replaced; one removed is noticed and the lookup repeated by path. Every
//   enumeration (FindFirstFileA with a wildcard) drops it, so that each walk looks afresh.
// - _access(path, 4) on the path of the file that the last read-only _open gave, while it is
//   still open, is answered by that open (when the real and effective ids are the same).
// - The UTC offset that FileTimeToLocalFileTime adds is looked up again only when the clock's
//   second or the TZ variable has changed.
// - Once the kernel has refused statx, fstatat serves every later lookup of the run.
// - GetLastError answers for the last find call only.
// - InitConsoleStreams gives standard output a buffer of 1 MiB when it is not a terminal.
