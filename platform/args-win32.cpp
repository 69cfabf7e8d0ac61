// The command line read as wide text and made ANSI as found names are: never through a
// look-alike, so that what is typed is what is reached or nothing.
#include <cwchar>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/widepath-win32.h"

// After <windows.h>, which it needs.
#include <shellapi.h>

namespace {

// The argument in the ANSI code page exactly, or false: a character the code page lacks would
// otherwise become another (best fit, or '?', which is a wildcard).
bool ExactAnsi(const std::wstring& text, std::string* out) {
  bool utf8 = GetACP() == CP_UTF8;
  DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL lost = FALSE;
  int n = WideCharToMultiByte(CP_ACP, flags, text.c_str(), -1, nullptr, 0, nullptr,
                              utf8 ? nullptr : &lost);
  if (n <= 0 || lost) return false;
  out->assign(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, flags, text.c_str(), -1, &(*out)[0], n, nullptr,
                      utf8 ? nullptr : &lost);
  out->resize(static_cast<size_t>(n) - 1);
  return !lost;
}

// What the argument is shown as in a message: '?' for each character the code page lacks.
std::string Shown(const std::wstring& text) {
  bool utf8 = GetACP() == CP_UTF8;
  DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* lost = utf8 ? nullptr : "?";
  int n = WideCharToMultiByte(CP_ACP, flags, text.c_str(), -1, nullptr, 0, lost, nullptr);
  if (n <= 0) return "?";
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, flags, text.c_str(), -1, &out[0], n, lost, nullptr);
  out.resize(static_cast<size_t>(n) - 1);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  return out;
}

// An existing entry named by a path the code page cannot spell, reached through its 8.3 path,
// as the walk reaches such names. Only where every part has an alias the code page spells, and
// the alias path opens the entry the typed path opens.
bool ShortForm(const std::wstring& path, std::string* out) {
  std::wstring wide;
  if (!WidePathOfWide(path, &wide)) return false;
  DWORD n = GetShortPathNameW(wide.c_str(), nullptr, 0);
  if (n == 0) return false;
  std::wstring alias(n, L'\0');
  n = GetShortPathNameW(wide.c_str(), &alias[0], n);
  if (n == 0 || n >= alias.size()) return false;
  alias.resize(n);
  if (!SameFile(wide, alias)) return false;
  // Shown without the prefix, as the program shows every path.
  if (alias.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    alias = L"\\\\" + alias.substr(8);
  } else if (alias.compare(0, 4, L"\\\\?\\") == 0) {
    alias = alias.substr(4);
  }
  return ExactAnsi(alias, out) && out->find('?') == std::string::npos;
}

// A path whose last part holds a wildcard: its folder through the 8.3 path, the mask as typed.
bool ShortFormOfMask(const std::wstring& arg, std::string* out) {
  size_t sep = arg.find_last_of(L"\\/");
  if (sep == std::wstring::npos || arg.find_first_of(L"*?", sep + 1) == std::wstring::npos)
    return false;
  std::string dir, mask;
  if (!ShortForm(arg.substr(0, sep + 1), &dir) || !ExactAnsi(arg.substr(sep + 1), &mask))
    return false;
  if (dir.empty() || (dir.back() != '\\' && dir.back() != '/')) dir += '\\';
  *out = dir + mask;
  return true;
}

}  // namespace

char** ProgramArguments(int* argc, char** argv, std::vector<std::string>* refused) {
  refused->clear();
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return argv;  // the runtime's own reading is all there is
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  texts.assign(static_cast<size_t>(count), std::string());
  for (int i = 0; i < count; ++i) {
    std::wstring arg = wide[i];
    std::string& text = texts[static_cast<size_t>(i)];
    if (ExactAnsi(arg, &text)) continue;
    // The program's own name is only shown: the runtime's reading of it serves.
    if (i == 0) {
      text = argv[0];
      continue;
    }
    if (!ShortForm(arg, &text) && !ShortFormOfMask(arg, &text)) refused->push_back(Shown(arg));
  }
  LocalFree(wide);
  pointers.clear();
  for (std::string& text : texts) pointers.push_back(&text[0]);
  pointers.push_back(nullptr);
  *argc = count;
  return pointers.data();
}
