#include "tests/support/unprivileged.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

bool RunUnprivileged(const std::string& folder, const std::function<bool()>& body, rlim_t file_size_limit) {
  const bool as_root = geteuid() == 0;
  if (!as_root && file_size_limit == 0) return body();
  if (as_root) chmod(folder.c_str(), 0755);  // let the other user reach the folder's files
  const pid_t child = fork();
  if (child == 0) {
    bool ok = !as_root || (setgid(65534) == 0 && setuid(65534) == 0);
    if (ok && file_size_limit) {
      signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the process
      const rlimit limit{file_size_limit, file_size_limit};
      ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    _exit(ok && body() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

