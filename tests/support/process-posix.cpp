// A child program with pipes for its three streams, a time limit and a group of its own.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "tests/support/process.h"

extern char** environ;

namespace {

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// A pipe whose ends are closed in the child by exec, after dup2 has copied the ones it needs.
struct Pipe {
  int rd = -1;
  int wr = -1;
  bool Open() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    rd = fds[0];
    wr = fds[1];
    return true;
  }
  ~Pipe() {
    CloseFd(rd);
    CloseFd(wr);
  }
};

std::vector<std::string> MergeEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> merged;
  for (char** e = environ; *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    size_t len = eq ? static_cast<size_t>(eq - *e) + 1 : std::strlen(*e);
    bool replaced = false;
    for (const std::string& x : extra) replaced |= x.compare(0, len, *e, len) == 0;
    if (!replaced) merged.push_back(*e);
  }
  merged.insert(merged.end(), extra.begin(), extra.end());
  return merged;
}

std::vector<char*> PointerList(std::vector<std::string>& texts) {
  std::vector<char*> list;
  for (std::string& t : texts) list.push_back(&t[0]);
  list.push_back(nullptr);
  return list;
}

// Only async-signal-safe calls between fork and exec. A failure is reported through the
// status pipe, which exec closes on success.
[[noreturn]] void ExecChild(int in, int out, int err, int status, const char* cwd, char** argv,
                            char** envp) {
  // A group of its own, so that the time limit ends whatever the program started as well.
  setpgid(0, 0);
  if (dup2(in, 0) >= 0 && dup2(out, 1) >= 0 && dup2(err, 2) >= 0 && (!cwd[0] || chdir(cwd) == 0))
    execve(argv[0], argv, envp);
  int code = errno;
  ssize_t ignored = write(status, &code, sizeof code);
  (void)ignored;
  _exit(127);
}

// Feeds the input and drains both outputs together, so that neither side blocks on a full pipe.
// The child is killed at the deadline; its pipes then close and the draining ends.
void Pump(pid_t pid, int in, int out, int err, const std::string& input,
          std::chrono::steady_clock::time_point deadline, ProcessResult* result) {
  size_t written = 0;
  if (input.empty()) CloseFd(in);
  char buf[65536];
  int* sources[2] = {&out, &err};
  std::string* sinks[2] = {&result->out, &result->err};
  bool killed = false;
  while (in >= 0 || out >= 0 || err >= 0) {
    pollfd fds[3] = {{in, POLLOUT, 0}, {out, POLLIN, 0}, {err, POLLIN, 0}};
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (!killed && left.count() <= 0) {
      kill(-pid, SIGKILL);
      killed = true;
    }
    int wait = killed ? -1 : static_cast<int>(std::min<long long>(left.count(), 1000));
    if (poll(fds, 3, wait) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (in >= 0 && fds[0].revents) {
      ssize_t n = write(in, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 && errno != EINTR && errno != EAGAIN) written = input.size();  // reader gone
      if (written == input.size()) CloseFd(in);
    }
    for (int i = 0; i < 2; ++i) {
      int& fd = *sources[i];
      if (fd < 0 || !fds[i + 1].revents) continue;
      ssize_t n = read(fd, buf, sizeof buf);
      if (n > 0) sinks[i]->append(buf, static_cast<size_t>(n));
      if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) CloseFd(fd);
    }
  }
  CloseFd(in);
  CloseFd(out);
  CloseFd(err);
}

int WaitChild(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

}  // namespace

int RunProcess(const std::vector<std::string>& argv, const std::string& cwd,
               const std::vector<std::string>& env, const std::string& input, int seconds,
               ProcessResult* result) {
  *result = ProcessResult();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  if (argv.empty()) return 1;
  // A child that ends without reading its input must not take us down with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> args = argv;
  std::vector<std::string> envs = MergeEnvironment(env);
  std::vector<char*> argp = PointerList(args);
  std::vector<char*> envp = PointerList(envs);
  Pipe in, out, err, status;
  if (!in.Open() || !out.Open() || !err.Open() || !status.Open()) return 1;
  fcntl(in.wr, F_SETFL, O_NONBLOCK);
  pid_t pid = fork();
  if (pid == 0) ExecChild(in.rd, out.wr, err.wr, status.wr, cwd.c_str(), argp.data(), envp.data());
  CloseFd(in.rd);
  CloseFd(out.wr);
  CloseFd(err.wr);
  CloseFd(status.wr);
  if (pid < 0) return 1;
  int code = 0;
  ssize_t failed = read(status.rd, &code, sizeof code);
  if (failed > 0) {
    WaitChild(pid);
    return 1;
  }
  Pump(pid, in.wr, out.rd, err.rd, input, deadline, result);
  in.wr = out.rd = err.rd = -1;  // Pump closed them
  result->status = WaitChild(pid);
  return 0;
}
