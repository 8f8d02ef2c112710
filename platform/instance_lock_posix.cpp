// The single-instance lock over flock. The lock file's name keeps a name
// that is already a safe file name as it is and encodes any other without
// loss, so two different names never share a lock.
#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

namespace platform {

namespace {

constexpr size_t kNameMax = 255;  // bytes of one file name (NAME_MAX)
constexpr size_t kReadablePrefix = 64;

bool isSafe(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.';
}

uint64_t fnv1a(const std::string& bytes, bool reversed) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (size_t i = 0; i < bytes.size(); ++i) {
    h ^= static_cast<unsigned char>(bytes[reversed ? bytes.size() - 1 - i : i]);
    h *= 0x100000001b3ull;
  }
  return h;
}

// "<name>.lock" for a non-empty name of safe characters only. Any other
// name: "<name with unsafe bytes as _>~<hex of its UTF-8 bytes>.lock", and
// where that would pass NAME_MAX, the first 64 readable bytes, "~h" and a
// 128-bit hash. "~" is no safe character, so the three forms never meet.
std::string lockFileName(const std::string& name) {
  std::string readable;
  bool safe = !name.empty();
  for (const unsigned char c : name) {
    safe = safe && isSafe(c);
    readable += isSafe(c) ? static_cast<char>(c) : '_';
  }
  const std::string suffix = ".lock";
  if (safe && name.size() + suffix.size() <= kNameMax) return name + suffix;
  std::string encoded;
  char hex[3];
  if (readable.size() + 1 + 2 * name.size() + suffix.size() <= kNameMax) {
    for (const unsigned char c : name) {
      std::snprintf(hex, sizeof hex, "%02x", c);
      encoded += hex;
    }
    return readable + "~" + encoded + suffix;
  }
  char hash[40];
  std::snprintf(hash, sizeof hash, "%016llx%016llx", static_cast<unsigned long long>(fnv1a(name, false)),
                static_cast<unsigned long long>(fnv1a(name, true)));
  return readable.substr(0, kReadablePrefix) + "~h" + hash + suffix;
}

// The folder of the lock: $XDG_RUNTIME_DIR, else /tmp/zep-<uid>, made mode
// 0700 when missing and refused (EPERM) unless it is a real folder of this
// user that nobody else may write in. 0 or errno.
int lockFolder(std::string* folder) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) {
    *folder = runtime;
    return 0;
  }
  const uid_t uid = geteuid();
  *folder = "/tmp/zep-" + std::to_string(uid);
  if (mkdir(folder->c_str(), 0700) != 0 && errno != EEXIST) return errno;
  struct stat st {};
  if (lstat(folder->c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode) || st.st_uid != uid || (st.st_mode & 022) != 0) return EPERM;
  return 0;
}

}  // namespace

std::string InstanceLockPath(const std::string& name) {
  std::string folder;
  if (lockFolder(&folder) != 0) return {};
  return folder + "/" + lockFileName(name);
}

int AcquireInstanceLock(const std::string& name, std::string* where) {
  // The descriptors stay open (and locked) for the life of the process.
  static std::mutex mutex;
  static std::map<std::string, int> held;
  std::lock_guard<std::mutex> guard(mutex);
  std::string folder;
  if (const int error = lockFolder(&folder); error != 0) {
    if (where) *where = folder;
    return error;
  }
  const std::string path = folder + "/" + lockFileName(name);
  if (held.count(path)) return 0;
  auto fail = [&](int error) {
    if (where) *where = path;
    return error;
  };
  // Never through a link, and never a file of someone else's, which could
  // hold the lock to keep this game from starting.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) return fail(errno);
  struct stat st {};
  int error = 0;
  if (fstat(fd, &st) != 0) {
    error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    error = EINVAL;
  } else if (st.st_uid != geteuid()) {
    error = EPERM;
  } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error = errno == EWOULDBLOCK ? kInstanceLockHeld : errno;
  }
  if (error != 0) {
    close(fd);
    return fail(error);
  }
  held[path] = fd;
  return 0;
}

}  // namespace platform
