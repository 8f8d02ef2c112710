// The single-instance lock: an exclusive flock on
// "<runtime dir>/<name>.lock" (runtime dir = $XDG_RUNTIME_DIR, else /tmp;
// characters other than letters, digits, '-', '_' and '.' in the name become
// '_'). Held until the process ends. Main thread.
#pragma once

#include <string>

namespace platform {

// 0 when this process now holds the lock (or already did); EWOULDBLOCK when
// another process holds it; another errno when the lock file cannot be
// opened.
int AcquireInstanceLock(const std::string& name);

// The lock file's path for that name.
std::string InstanceLockPath(const std::string& name);

}  // namespace platform
