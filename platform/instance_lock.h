// The single-instance lock: an exclusive flock on "<runtime dir>/<encoded
// name>.lock". Held until the process ends. Main thread.
#pragma once

#include <string>

namespace platform {

// Another process holds the lock (a second instance of the game).
constexpr int kInstanceLockHeld = -1;

// 0 when this process now holds the lock (or already did);
// kInstanceLockHeld when another process holds it; otherwise the errno of
// the failure that kept the lock from being taken (the caller runs without
// it), and *path (when given) names the file or folder that failed.
int AcquireInstanceLock(const std::string& name, std::string* path = nullptr);

// The lock file's path for that name ("" when no usable folder exists).
std::string InstanceLockPath(const std::string& name);

}  // namespace platform
