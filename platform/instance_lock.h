// The single-instance lock: an exclusive flock on "<runtime dir>/<encoded
// name>.lock", runtime dir = $XDG_RUNTIME_DIR, else /tmp/zep-<uid> (made
// 0700, refused unless it is the user's own). Safe names ([A-Za-z0-9._-])
// stay readable; any other adds the hex of its UTF-8 bytes (a 128-bit hash
// where that would pass the file-name limit), so different names never share
// a lock. The lock file is never opened through a link nor used when another
// user owns it. Held until the process ends. Main thread.
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

// The lock file's path for that name ("" when no usable folder exists; the
// /tmp folder is made here when missing).
std::string InstanceLockPath(const std::string& name);

}  // namespace platform
