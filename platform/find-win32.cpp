// Directory enumeration through FindFirstFileExW, handed to the program as ANSI find data.
#include <cwctype>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/platform.h"
#include "platform/widepath-win32.h"

#undef FindClose

namespace {

struct Search {
  HANDLE find = INVALID_HANDLE_VALUE;
  std::wstring dir;      // the directory searched, with the prefix and a trailing separator
  bool listing = false;  // a wildcard search: every entry of the directory passes through it
  bool counted = false;
  std::unordered_map<std::wstring, int> names;  // upper case: long names and aliases
  std::unordered_map<std::wstring, int> exact;  // long names as they are
  std::unordered_set<std::string> handed;       // the names entries are reached by, so far
  std::wstring last;                            // the name of the entry returned last
  DWORD volume = 0;                             // of the directory searched, when known
  bool volumeKnown = false;
};

// Behind an empty alias: the entry came back with a name another entry of the directory has.
constexpr char kNameTaken = 1;

std::wstring Upper(const wchar_t* text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = static_cast<wchar_t>(towupper(c));
  return out;
}

void CountNames(Search* s) {
  s->counted = true;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileExW((s->dir + L"*").c_str(), FindExInfoStandard, &fd,
                              FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    ++s->names[Upper(fd.cFileName)];
    ++s->exact[fd.cFileName];
    if (fd.cAlternateFileName[0] != L'\0' && _wcsicmp(fd.cAlternateFileName, fd.cFileName) != 0)
      ++s->names[Upper(fd.cAlternateFileName)];
  } while (FindNextFileW(h, &fd));
  ::FindClose(h);
}

// Whether the alias of an entry whose name is lost opens that entry. Wine derives aliases from
// a hash that ignores case, so names that differ only in case share one, which then opens
// whichever comes first; a shared alias is kept only for the entry it really opens.
bool AliasReachesEntry(Search* s, const WIN32_FIND_DATAW& fd) {
  if (!s->listing) return true;  // a lookup by name: the walk has already judged the alias
  if (!s->counted) CountNames(s);
  auto it = s->names.find(Upper(fd.cAlternateFileName));
  if (it == s->names.end() || it->second <= 1) return true;
  // Two long names that are one text open one file as well: then the alias must open the file
  // whose facts the search gave.
  WIN32_FILE_ATTRIBUTE_DATA at;
  std::wstring alias = s->dir + fd.cAlternateFileName;
  return SameFile(alias, s->dir + fd.cFileName) &&
         GetFileAttributesExW(alias.c_str(), GetFileExInfoStandard, &at) &&
         at.nFileSizeLow == fd.nFileSizeLow && at.nFileSizeHigh == fd.nFileSizeHigh &&
         CompareFileTime(&at.ftLastWriteTime, &fd.ftLastWriteTime) == 0;
}

bool SharesLongName(Search* s, const WIN32_FIND_DATAW& fd) {
  if (!s->listing) return false;
  if (!s->counted) CountNames(s);
  auto it = s->exact.find(fd.cFileName);
  return it != s->exact.end() && it->second > 1;
}

// The entry is left out: the name it is reached by is another entry's too.
void MarkTaken(WIN32_FIND_DATAA* a) {
  memset(a->cAlternateFileName, 0, sizeof a->cAlternateFileName);
  a->cAlternateFileName[1] = kNameTaken;
}

// Each name of a listing reaches one entry: the first that came back with it keeps it.
void Hand(Search* s, const char* name, WIN32_FIND_DATAA* a) {
  if (s->listing && !s->handed.insert(name).second) MarkTaken(a);
}

void Convert(Search* s, const WIN32_FIND_DATAW& w, WIN32_FIND_DATAA* a) {
  s->last = w.cFileName;
  memset(a, 0, sizeof *a);
  a->dwFileAttributes = w.dwFileAttributes;
  a->ftCreationTime = w.ftCreationTime;
  a->ftLastAccessTime = w.ftLastAccessTime;
  a->ftLastWriteTime = w.ftLastWriteTime;
  a->nFileSizeHigh = w.nFileSizeHigh;
  a->nFileSizeLow = w.nFileSizeLow;
  a->dwReserved0 = w.dwReserved0;
  a->dwReserved1 = w.dwReserved1;
  char alias[sizeof a->cAlternateFileName + 1];
  bool aliasUsable = w.cAlternateFileName[0] != L'\0' &&
                     AnsiName(w.cAlternateFileName, alias, static_cast<int>(sizeof alias)) &&
                     strlen(alias) < sizeof a->cAlternateFileName;
  if (aliasUsable) memcpy(a->cAlternateFileName, alias, strlen(alias));
  if (AnsiName(w.cFileName, a->cFileName, static_cast<int>(sizeof a->cFileName))) {
    Hand(s, a->cFileName, a);
    return;
  }
  // The name is reached through its alias, where that is its own.
  if (aliasUsable && AliasReachesEntry(s, w)) {
    Hand(s, alias, a);
  } else if (SharesLongName(s, w)) {
    MarkTaken(a);
  } else {
    memset(a->cAlternateFileName, 0, sizeof a->cAlternateFileName);
  }
}

// The serial number of the volume that holds path; follow: of what a reparse point leads to.
bool VolumeOf(const std::wstring& path, bool follow, DWORD* volume) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (ok) *volume = info.dwVolumeSerialNumber;
  return ok;
}

}  // namespace

// Windows mounts volumes on reparse points, which the walk never enters; a plain directory is
// asked by path, as its find data holds no volume.
bool FoundOnOtherDevice(HANDLE find) {
  Search* s = reinterpret_cast<Search*>(find);
  if (!s->volumeKnown) {
    std::wstring dir = s->dir;  // a root keeps its separator: "\\?\C:" is the volume itself
    if (dir.size() > 1 && dir.back() == L'\\' && dir[dir.size() - 2] != L':') dir.pop_back();
    s->volumeKnown = VolumeOf(dir, true, &s->volume);
  }
  DWORD entry;
  return s->volumeKnown && VolumeOf(s->dir + s->last, false, &entry) && entry != s->volume;
}

HANDLE FindFirstFileWide(const char* pattern, WIN32_FIND_DATAA* data) {
  std::wstring wide;
  if (!WidePath(pattern, &wide)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  WIN32_FIND_DATAW found;
  memset(&found, 0, sizeof found);
  HANDLE h = FindFirstFileExW(wide.c_str(), FindExInfoStandard, &found, FindExSearchNameMatch,
                              nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) return h;
  size_t slash = wide.rfind(L'\\');
  Search* s = new Search;
  s->find = h;
  s->dir = wide.substr(0, slash + 1);
  s->listing = wide.find_first_of(L"*?", slash + 1) != std::wstring::npos;
  Convert(s, found, data);
  return reinterpret_cast<HANDLE>(s);
}

BOOL FindNextFileWide(HANDLE find, WIN32_FIND_DATAA* data) {
  Search* s = reinterpret_cast<Search*>(find);
  WIN32_FIND_DATAW found;
  memset(&found, 0, sizeof found);
  if (!FindNextFileW(s->find, &found)) return FALSE;
  Convert(s, found, data);
  return TRUE;
}

BOOL FindCloseWide(HANDLE find) {
  Search* s = reinterpret_cast<Search*>(find);
  BOOL ok = ::FindClose(s->find);
  delete s;
  return ok;
}

const char* NameLoss(const WIN32_FIND_DATAA& fd) {
  if (fd.cAlternateFileName[0] == '\0' && fd.cAlternateFileName[1] == kNameTaken)
    return "Name the same as another entry's, skipped";
  for (const char* c = fd.cFileName; *c; ++c)
    if (strchr("<>:\"/\\|*", *c) != nullptr || static_cast<unsigned char>(*c) < 0x20)
      return "Name with a character Win32 names cannot hold, skipped";
  if (strchr(fd.cFileName, '?') != nullptr)
    return "Name not representable in the ANSI code page, skipped";
  return nullptr;
}
