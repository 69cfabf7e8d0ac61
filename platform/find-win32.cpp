// Directory enumeration through FindFirstFileExW, handed to the program as ANSI find data.
#include <cwctype>
#include <string>
#include <unordered_map>

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
};

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
  return SameFile(s->dir + fd.cAlternateFileName, s->dir + fd.cFileName);
}

void Convert(Search* s, const WIN32_FIND_DATAW& w, WIN32_FIND_DATAA* a) {
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
  if (AnsiName(w.cFileName, a->cFileName, static_cast<int>(sizeof a->cFileName))) return;
  // The name comes back with '?' and is reached through its alias, where that is its own.
  if (aliasUsable && !AliasReachesEntry(s, w)) memset(a->cAlternateFileName, 0, sizeof alias - 1);
}

}  // namespace

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
