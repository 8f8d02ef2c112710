#include "platform/std_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>

namespace platform {

bool RedirectStdoutToStderr() {
  fflush(stdout);
  return dup2(STDERR_FILENO, STDOUT_FILENO) >= 0;
}

bool RedirectStdStreamsToFile(const std::string& path) {
  // Opened first and duplicated afterwards: a name that cannot be opened
  // leaves the terminal output intact (freopen would have closed it).
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  fflush(stdout);
  fflush(stderr);
  const bool ok = dup2(fd, STDOUT_FILENO) >= 0 && dup2(fd, STDERR_FILENO) >= 0;
  // With a standard stream closed at start, open may have handed out its
  // number: that descriptor is now one of the two and stays open.
  if (fd != STDOUT_FILENO && fd != STDERR_FILENO) close(fd);
  return ok;
}

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace platform
