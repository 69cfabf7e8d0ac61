// ANSI paths made wide for the system, wide names made ANSI for the program.
#include "platform/widepath-win32.h"

#include <cerrno>
#include <cwchar>
#include <vector>

#include "platform/platform.h"

namespace {

bool IsSep(wchar_t c) {
  return c == L'\\' || c == L'/';
}

bool ToWide(const char* text, std::wstring* out) {
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 0) return false;
  out->assign(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, &(*out)[0], n);
  out->resize(static_cast<size_t>(n) - 1);
  return true;
}

std::wstring CurrentDirectory() {
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  std::wstring dir(n, L'\0');
  n = GetCurrentDirectoryW(n, &dir[0]);
  dir.resize(n);
  return dir;
}

// The length of the root that ".." never climbs above: "C:\" or "\\server\share\".
size_t RootLength(const std::wstring& p) {
  if (p.size() >= 3 && p[1] == L':') return 3;
  if (p.size() < 2 || !IsSep(p[0]) || !IsSep(p[1])) return 0;
  size_t server = p.find(L'\\', 2);
  if (server == std::wstring::npos) return p.size();
  size_t share = p.find(L'\\', server + 1);
  return share == std::wstring::npos ? p.size() : share + 1;
}

// "." and empty parts dropped, ".." takes the part before it; the last part is kept as it is
// written (its trailing dots and spaces too), and so is a trailing separator.
std::wstring Normalize(const std::wstring& p) {
  size_t root = RootLength(p);
  std::vector<std::wstring> parts;
  for (size_t at = root; at < p.size();) {
    size_t end = p.find(L'\\', at);
    if (end == std::wstring::npos) end = p.size();
    std::wstring part = p.substr(at, end - at);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::wstring out = p.substr(0, root);
  if (!out.empty() && !IsSep(out.back())) out += L'\\';
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? L"\\" : L"") + parts[i];
  if (!parts.empty() && IsSep(p.back())) out += L'\\';
  return out;
}

}  // namespace

bool AbsoluteWidePath(const char* path, std::wstring* out) {
  std::wstring w;
  return ToWide(path, &w) && AbsoluteWidePathOfWide(w, out);
}

bool AbsoluteWidePathOfWide(std::wstring w, std::wstring* out) {
  for (wchar_t& c : w)
    if (c == L'/') c = L'\\';
  if (w.compare(0, 4, L"\\\\?\\") == 0 || w.compare(0, 4, L"\\\\.\\") == 0) {
    *out = w;
    return true;
  }
  bool drive = w.size() >= 2 && w[1] == L':';
  if (drive && w.size() >= 3 && IsSep(w[2])) {
    *out = Normalize(w);
  } else if (w.size() >= 2 && IsSep(w[0]) && IsSep(w[1])) {
    *out = Normalize(w);
  } else if (!w.empty() && IsSep(w[0])) {
    *out = Normalize(CurrentDirectory().substr(0, 2) + w);
  } else if (drive) {
    // "D:name" is relative to the current directory of drive D.
    wchar_t base[MAX_PATH];
    std::wstring d = w.substr(0, 2) + L".";
    DWORD n = GetFullPathNameW(d.c_str(), MAX_PATH, base, nullptr);
    if (n == 0 || n >= MAX_PATH) return false;
    *out = Normalize(std::wstring(base) + L"\\" + w.substr(2));
  } else {
    *out = Normalize(CurrentDirectory() + L"\\" + w);
  }
  return true;
}

bool WidePath(const char* path, std::wstring* out) {
  std::wstring w;
  return ToWide(path, &w) && WidePathOfWide(w, out);
}

bool WidePathOfWide(const std::wstring& path, std::wstring* out) {
  std::wstring abs;
  if (!AbsoluteWidePathOfWide(path, &abs)) return false;
  if (abs.compare(0, 4, L"\\\\?\\") == 0 || abs.compare(0, 4, L"\\\\.\\") == 0) {
    *out = abs;
  } else if (abs.size() >= 2 && abs[0] == L'\\' && abs[1] == L'\\') {
    *out = L"\\\\?\\UNC\\" + abs.substr(2);
  } else {
    *out = L"\\\\?\\" + abs;
  }
  return true;
}

bool AnsiName(const wchar_t* name, char* out, int cap) {
  // Characters no Win32 name may hold come back from other file systems in the private range
  // U+F001-U+F07F (as Services for Macintosh and Wine map them): shown as themselves.
  std::wstring text(name);
  for (wchar_t& c : text)
    if (c > 0xF000 && c < 0xF080 && strchr("<>:\"/\\|?*", static_cast<char>(c - 0xF000)))
      c = static_cast<wchar_t>(c - 0xF000);
  bool exact = wcspbrk(text.c_str(), L"<>:\"/\\|?*") == nullptr;
  for (wchar_t c : text) exact = exact && c >= 0x20;
  // The UTF-8 code page has every character and takes neither flag nor default.
  bool utf8 = GetACP() == CP_UTF8;
  BOOL lost = FALSE;
  int n = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, text.c_str(), -1, out, cap,
                              nullptr, utf8 ? nullptr : &lost);
  if (n <= 0) {
    snprintf(out, static_cast<size_t>(cap), "?");
    return false;
  }
  // Control characters, which no Win32 name holds, never reach a terminal.
  for (char* c = out; *c; ++c)
    if (static_cast<unsigned char>(*c) < 0x20) *c = '?';
  return exact && !lost;
}

bool FileInformation(const std::wstring& path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileInformationByHandle(h, info) != 0;
  CloseHandle(h);
  return ok;
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
  BY_HANDLE_FILE_INFORMATION x, y;
  return FileInformation(a, &x) && FileInformation(b, &y) &&
         x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

int SetErrnoFromLastError() {
  errno = ErrnoOfFindError(GetLastError());
  if (errno == 0) errno = EIO;
  return errno;
}
