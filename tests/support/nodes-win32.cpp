// The hostile-entry helpers on Windows: only names beyond the code page can be made.
#include <windows.h>

#include <string>

#include "tests/support/nodes.h"

// Windows has neither FIFOs nor socket nodes in the file system, and refuses the control
// bytes and wildcards that the raw names are made to hold.
int ExchangeEntries(const char*, const char*) {
  return -1;
}

int MakeFifo(const char*) {
  return -1;
}
int MakeSocketNode(const char*) {
  return -1;
}
int MakeRawName(const char*, const std::string&) {
  return -1;
}

// Windows has no permission bits that a test could take away this simply.
int PermissionBoundPrefix(std::vector<std::string>*) {
  return -1;
}

int ThreadlessPrefix(std::vector<std::string>*) {
  return -1;
}

int TakeReaderLocks(const std::string&) {
  return -1;
}

namespace {

// The \\?\ form takes a path of any length; it must be absolute and use backslashes.
bool WideOf(const std::string& path, std::wstring* wide) {
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, nullptr, 0);
  if (n <= 0) return false;
  *wide = L"\\\\?\\";
  size_t prefix = wide->size();
  wide->resize(prefix + n);
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &(*wide)[prefix], n);
  wide->resize(wide->size() - 1);
  for (wchar_t& c : *wide)
    if (c == L'/') c = L'\\';
  return true;
}

void RemoveWide(const std::wstring& path) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring child = path + L"\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveWide(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

void RemoveUtf8Tree(const std::string& path) {
  std::wstring wide;
  if (WideOf(path, &wide)) RemoveWide(wide);
}

int MakeUtf8Entry(const std::string& path, const std::string* contents) {
  std::wstring wide;
  if (!WideOf(path, &wide)) return 1;
  if (contents == nullptr) return CreateDirectoryW(wide.c_str(), nullptr) ? 0 : 1;
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  BOOL ok = WriteFile(h, contents->data(), static_cast<DWORD>(contents->size()), &written, nullptr);
  ok = CloseHandle(h) && ok && written == contents->size();
  return ok ? 0 : 1;
}

// Wine names the host path of a Windows path and starts host programs by their path.
int MakeHostRawName(const std::string& dir, const std::string& name, char contents) {
  typedef char*(CDECL * UnixName)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  std::wstring wide;
  if (unixName == nullptr || GetFileAttributesW(L"Z:\\bin\\sh") == INVALID_FILE_ATTRIBUTES ||
      !WideOf(dir, &wide))
    return -1;
  char* host = unixName(wide.c_str() + 4);  // without the \\?\ prefix
  if (host == nullptr) return 1;
  // Only printable ASCII on the command line: the bytes of the name go as octal escapes.
  std::string octal;
  for (unsigned char c : name)
    octal += "\\" + std::to_string(c >> 6) + std::to_string((c >> 3) & 7) + std::to_string(c & 7);
  std::string line = "Z:\\bin\\sh -c \"cd '" + std::string(host) + "' && n=$(printf '" + octal +
                     "') && printf " + contents + " > $n && touch -d @1500000000 $n\"";
  HeapFree(GetProcessHeap(), 0, host);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return 1;
  WaitForSingleObject(pi.hProcess, 30000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 0;
}

// Mount points of other volumes need a volume to mount; the walk never enters reparse points.
int MountScratchFs(const char*, std::string* why) {
  *why = "no file system of its own can be mounted here on Windows";
  return -1;
}
void UnmountScratchFs(const char*) {}
