// The process's standard streams. Main thread, before other threads write.
#pragma once

namespace platform {

// Makes standard output write where standard error writes (the same open
// file, so the two keep their order). Tests use it to read both through one
// pipe. False when the descriptors cannot be duplicated.
bool RedirectStdoutToStderr();

}  // namespace platform
