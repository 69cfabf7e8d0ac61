// What a save needs on Windows: the name itself, the old file's attributes carried over, and a
// temporary file no signal leaves behind.
#include <fcntl.h>
#include <io.h>
#include <signal.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/save.h"

// Windows data files are replaced by name: there are no links to follow.
bool ResolveSaveTarget(const char* name, char* out, size_t cap) {
  int len = snprintf(out, cap, "%s", name);
  return len >= 0 && static_cast<size_t>(len) < cap;
}

// The new file takes the old one's hidden, system and archive bits (a read-only catalogue is
// refused before this). Set through the open handle: the temporary name is not known here.
bool KeepFileMode(const char* existing, int fd) {
  DWORD old = GetFileAttributesA(existing);
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

char tempPath[MAX_PATH];
volatile sig_atomic_t armed = 0;

void RemoveTemporaryAndEnd(int sig) {
  if (armed) _unlink(tempPath);
  signal(sig, SIG_DFL);
  raise(sig);
}

}  // namespace

bool GetEntryId(const char* path, bool follow, EntryId* id) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = FromHandle(h, id);
  CloseHandle(h);
  return ok;
}

bool GetOpenEntryId(int fd, EntryId* id) {
  return FromHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), id);
}

int CreateTemporary(const char* target, char* tmp, size_t cap) {
  static bool handlersSet = false;
  if (!handlersSet) {
    handlersSet = true;
    signal(SIGINT, RemoveTemporaryAndEnd);
    signal(SIGTERM, RemoveTemporaryAndEnd);
  }
  const char* slash = strrchr(target, '\\');
  const char* other = strrchr(target, '/');
  if (other > slash) slash = other;
  int dirLen = slash ? static_cast<int>(slash - target + 1) : 0;
  std::random_device random;
  static const char kChars[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[11];
    for (int i = 0; i < 10; ++i) name[i] = kChars[random() % 36];
    name[10] = '\0';
    int len = snprintf(tmp, cap, "%.*s.vnt-%s.tmp", dirLen, target, name);
    if (len < 0 || static_cast<size_t>(len) >= cap || len >= MAX_PATH) {
      errno = ENAMETOOLONG;
      return -1;
    }
    int fd = _open(tmp, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      memcpy(tempPath, tmp, static_cast<size_t>(len) + 1);
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

// Windows keeps a catalogue that is open from being replaced by name, but has no lock that
// outlives the read: a second Scan is not detected here.
int LockDataFile(const char*) {
  return 0;
}

void ReleaseDataFileLocks() {}
