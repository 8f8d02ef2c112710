#include "platform/std_streams.h"

#include <unistd.h>

#include <csignal>

#include <cstdio>

namespace platform {

bool RedirectStdoutToStderr() {
  fflush(stdout);
  return dup2(STDERR_FILENO, STDOUT_FILENO) >= 0;
}

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace platform
