// The hostile-entry helpers on Windows: only names beyond the code page can be made.
#include <windows.h>

#include <string>

#include "tests/support/nodes.h"

// Windows has neither FIFOs nor socket nodes in the file system, and refuses the control
// bytes and wildcards that the raw names are made to hold.
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

int TakeReaderLocks(const std::string&) {
  return -1;
}

int MakeUtf8Entry(const std::string& path, const std::string* contents) {
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, nullptr, 0);
  if (n <= 0) return 1;
  // The \\?\ form takes a path of any length; it must be absolute and use backslashes.
  std::wstring wide(L"\\\\?\\");
  size_t prefix = wide.size();
  wide.resize(prefix + n);
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &wide[prefix], n);
  wide.resize(wide.size() - 1);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  if (contents == nullptr) return CreateDirectoryW(wide.c_str(), nullptr) ? 0 : 1;
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  BOOL ok = WriteFile(h, contents->data(), static_cast<DWORD>(contents->size()), &written, nullptr);
  ok = CloseHandle(h) && ok && written == contents->size();
  return ok ? 0 : 1;
}
