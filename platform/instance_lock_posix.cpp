#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>

namespace platform {

std::string InstanceLockPath(const std::string& name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string path = (runtime && *runtime) ? runtime : "/tmp";
  std::string safe;
  for (const unsigned char c : name) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                      c == '_' || c == '.';
    safe += keep ? static_cast<char>(c) : '_';
  }
  return path + "/" + safe + ".lock";
}

int AcquireInstanceLock(const std::string& name, std::string* where) {
  // The descriptors stay open (and locked) for the life of the process.
  static std::map<std::string, int> held;
  const std::string path = InstanceLockPath(name);
  if (held.count(path)) return 0;
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    if (where) *where = path;
    return errno;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno == EWOULDBLOCK ? kInstanceLockHeld : errno;
    close(fd);
    if (where) *where = path;
    return error;
  }
  held[path] = fd;
  return 0;
}

}  // namespace platform
