// A child process under RLIMIT_FSIZE, with SIGXFSZ ignored so that a write past it fails.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "tests/support/filelimit.h"

int RunWithFileSizeLimit(long bytes, int (*fn)(void*), void* arg) {
  fflush(nullptr);  // nothing buffered may be written twice
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(255);
    int result = fn(arg);
    fflush(nullptr);
    _exit(result & 0xFF);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}
