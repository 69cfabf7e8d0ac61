// The ANSI code page through UTF-16 to UTF-8: every character the code page holds has one.
#include <windows.h>

#include "platform/utf8.h"

std::string AnsiToUtf8(const char* text, size_t len) {
  if (len == 0) return std::string();
  int n = static_cast<int>(len);
  int wide = MultiByteToWideChar(CP_ACP, 0, text, n, nullptr, 0);
  if (wide <= 0) return std::string(text, len);
  std::wstring w(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, n, &w[0], wide);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), wide, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string(text, len);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), wide, &out[0], bytes, nullptr, nullptr);
  return out;
}
