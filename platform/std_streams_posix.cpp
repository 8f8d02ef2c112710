#include "platform/std_streams.h"

#include <unistd.h>

#include <cstdio>

namespace platform {

bool RedirectStdoutToStderr() {
  fflush(stdout);
  return dup2(STDERR_FILENO, STDOUT_FILENO) >= 0;
}

}  // namespace platform
