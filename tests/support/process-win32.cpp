// A child program with pipes for its three streams and a time limit, through CreateProcess.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "tests/support/process.h"

namespace {

// Quotes one argument so that the C runtime's command-line splitter gives it back unchanged.
// Arguments with wildcards are quoted too, so that no runtime expands them.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"*?") == std::string::npos) return arg;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

std::string CommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& arg : argv) line += (line.empty() ? "" : " ") + QuoteArgument(arg);
  return line;
}

// Text in UTF-8 is typed as the characters it spells, whatever the ANSI code page; other bytes
// are the code page's characters.
std::wstring Typed(const std::string& text) {
  UINT page = CP_UTF8;
  int n = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.c_str(), -1, nullptr, 0);
  if (n <= 0) {
    page = CP_ACP;
    n = MultiByteToWideChar(page, 0, text.c_str(), -1, nullptr, 0);
  }
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(page, 0, text.c_str(), -1, &wide[0], n);
  wide.resize(wide.size() - 1);
  return wide;
}

bool SameName(const char* entry, const std::string& extra) {
  size_t len = extra.find('=');
  return len != std::string::npos && _strnicmp(entry, extra.c_str(), len + 1) == 0;
}

// Our environment block with the extra entries added or replacing their namesakes.
std::string EnvironmentBlock(const std::vector<std::string>& extra) {
  std::string block;
  char* strings = GetEnvironmentStringsA();
  for (const char* e = strings; e && *e; e += std::strlen(e) + 1) {
    bool replaced = false;
    for (const std::string& x : extra) replaced |= SameName(e, x);
    if (!replaced) block.append(e, std::strlen(e) + 1);
  }
  if (strings) FreeEnvironmentStringsA(strings);
  for (const std::string& x : extra) block.append(x.c_str(), x.size() + 1);
  block += '\0';
  return block;
}

struct Handle {
  HANDLE h = nullptr;
  void Close() {
    if (h) CloseHandle(h);
    h = nullptr;
  }
  ~Handle() { Close(); }
};

// A pipe whose child end is inherited and whose parent end is not.
bool OpenPipe(Handle* rd, Handle* wr, bool child_reads) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  if (!CreatePipe(&rd->h, &wr->h, &sa, 0)) return false;
  return SetHandleInformation(child_reads ? wr->h : rd->h, HANDLE_FLAG_INHERIT, 0) != 0;
}

void Drain(HANDLE from, std::string* to) {
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(from, buf, sizeof buf, &n, nullptr) && n > 0) to->append(buf, n);
}

void Feed(Handle* to, const std::string& input) {
  size_t written = 0;
  DWORD n = 0;
  while (written < input.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(input.size() - written, 65536));
    if (!WriteFile(to->h, input.data() + written, chunk, &n, nullptr)) break;
    written += n;
  }
  to->Close();
}

}  // namespace

int RunProcess(const std::vector<std::string>& argv, const std::string& cwd,
               const std::vector<std::string>& env, const std::string& input, int seconds,
               ProcessResult* result) {
  *result = ProcessResult();
  if (argv.empty()) return 1;
  Handle in_rd, in_wr, out_rd, out_wr, err_rd, err_wr;
  if (!OpenPipe(&in_rd, &in_wr, true) || !OpenPipe(&out_rd, &out_wr, false) ||
      !OpenPipe(&err_rd, &err_wr, false))
    return 1;
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in_rd.h;
  si.hStdOutput = out_wr.h;
  si.hStdError = err_wr.h;
  PROCESS_INFORMATION pi = {};
  std::wstring line = Typed(CommandLine(argv));
  std::wstring dir = Typed(cwd);
  std::string block = EnvironmentBlock(env);
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, &block[0],
                      cwd.empty() ? nullptr : dir.c_str(), &si, &pi))
    return 1;
  in_rd.Close();
  out_wr.Close();
  err_wr.Close();
  // Killed at the time limit: its pipes then close and the draining below ends.
  std::thread watchdog([&pi, seconds] {
    if (WaitForSingleObject(pi.hProcess, static_cast<DWORD>(seconds) * 1000) == WAIT_TIMEOUT)
      TerminateProcess(pi.hProcess, kKilledStatus);
  });
  std::thread feeder(Feed, &in_wr, std::cref(input));
  std::thread err_reader(Drain, err_rd.h, &result->err);
  Drain(out_rd.h, &result->out);
  err_reader.join();
  feeder.join();
  watchdog.join();
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  result->status = static_cast<int>(code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 0;
}
