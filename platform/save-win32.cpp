// What a save needs on Windows: the name itself, the old file's attributes carried over, a
// temporary file no console event leaves behind, and a lock against a second Scan.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/save.h"
#include "platform/widepath-win32.h"

// Windows data files are replaced by name: there are no links to follow.
bool ResolveSaveTarget(const char* name, char* out, size_t cap) {
  int len = snprintf(out, cap, "%s", name);
  return len >= 0 && static_cast<size_t>(len) < cap;
}

// The new file takes the old one's hidden, system and archive bits (a read-only catalogue is
// refused before this). Set through the open handle: the temporary name is not known here.
bool KeepFileMode(const char* existing, int fd) {
  std::wstring wide;
  DWORD old =
      WidePath(existing, &wide) ? GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
  if (old == INVALID_FILE_ATTRIBUTES) return true;
  FILE_BASIC_INFO info = {};  // zero times leave the times as they are
  info.FileAttributes = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  if (info.FileAttributes == 0) return true;
  // A catalogue that loses its hidden bit is still whole: the save goes on either way.
  SetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), FileBasicInfo, &info,
                             sizeof info);
  return true;
}

namespace {

bool FromHandle(HANDLE h, EntryId* id) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) return false;
  id->file.volume = info.dwVolumeSerialNumber;
  id->file.index = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  id->link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return true;
}

wchar_t tempPath[32768];
volatile LONG armed = 0;
std::vector<HANDLE> lockHandles;

// Runs on a thread of its own when Ctrl-C, Ctrl-Break or closing the console ends the process.
// The temporary file is open for sharing deletion, so it goes even while it is being written.
BOOL WINAPI RemoveTemporary(DWORD) {
  if (armed) DeleteFileW(tempPath);
  return FALSE;  // the handlers installed before it end the process
}

// The first handler of the program, so the last to run: the run ends with the status Windows
// gives an interrupted program, never 0 (what the default handler gives under Wine); at once,
// since the other threads may hold the runtime's locks.
BOOL WINAPI EndRun(DWORD) {
  EndInterrupted();
  return TRUE;
}

}  // namespace

void EndInterrupted() {
  if (armed) DeleteFileW(tempPath);
  TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
}

void EndOnConsoleEvents() {
  SetConsoleCtrlHandler(EndRun, TRUE);
}

bool GetEntryId(const char* path, bool follow, EntryId* id) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  std::wstring wide;
  if (!WidePath(path, &wide)) return false;
  HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = FromHandle(h, id);
  CloseHandle(h);
  return ok;
}

bool GetOpenEntryId(int fd, EntryId* id) {
  return FromHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), id);
}

int CreateTemporary(const char* target, char* tmp, size_t cap) {
  // Installed anew each time, so that it runs before any handler installed since, which might
  // end the process first.
  SetConsoleCtrlHandler(RemoveTemporary, FALSE);
  SetConsoleCtrlHandler(RemoveTemporary, TRUE);
  std::random_device device;
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    unsigned char random[kTempLetters];
    for (unsigned char& r : random) r = static_cast<unsigned char>(device());
    int len = ComposeTemporaryPath(target, "\\/", random, tmp, cap);
    std::wstring wide;
    if (len < 0 || static_cast<size_t>(len) >= cap || len >= MAX_PATH || !WidePath(tmp, &wide) ||
        wide.size() >= sizeof tempPath / sizeof *tempPath) {
      errno = ENAMETOOLONG;
      return -1;
    }
    int fd = _open(tmp, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      memcpy(tempPath, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
      armed = 1;
    }
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

void ForgetTemporary() {
  armed = 0;
}

// The lock is a byte far beyond the end of the catalogue, so that reading the file through
// other handles is never refused; the system drops it when the process ends. As on POSIX, the
// name is looked up again after locking, since a save renames a new file into place.
int LockDataFile(const char* name) {
  std::wstring wide;
  if (!WidePath(name, &wide)) return 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Opened for writing: who may only read a catalogue cannot keep its owner from scanning.
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;  // no catalogue yet, or not ours to write
    OVERLAPPED at = {};
    at.Offset = 0xFFFFFFFEu;
    at.OffsetHigh = 0x7FFFFFFFu;
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      DWORD code = GetLastError();
      CloseHandle(h);
      return code == ERROR_LOCK_VIOLATION ? 1 : 0;
    }
    EntryId held, now;
    if (FromHandle(h, &held) && GetEntryId(name, true, &now) && held.file == now.file) {
      lockHandles.push_back(h);
      return 0;
    }
    CloseHandle(h);
  }
  return 0;
}

// A file that is open anywhere cannot be replaced by a rename, not even by the process that has
// it open: the lock on the catalogue goes just before the new file takes its name.
void UnlockBeforeReplace(const std::wstring& target) {
  BY_HANDLE_FILE_INFORMATION t, held;
  if (!FileInformation(target, &t)) return;
  for (size_t i = lockHandles.size(); i-- > 0;) {
    if (!GetFileInformationByHandle(lockHandles[i], &held) ||
        held.dwVolumeSerialNumber != t.dwVolumeSerialNumber ||
        held.nFileIndexHigh != t.nFileIndexHigh || held.nFileIndexLow != t.nFileIndexLow)
      continue;
    CloseHandle(lockHandles[i]);
    lockHandles.erase(lockHandles.begin() + static_cast<long>(i));
  }
}

void ReleaseDataFileLocks() {
  for (HANDLE h : lockHandles) CloseHandle(h);
  lockHandles.clear();
}
