// The installer's file-system steps over POSIX calls. The copy and the
// removals walk down from the folder they must stay in with
// openat(O_NOFOLLOW | O_DIRECTORY) and rename or unlink within the folder
// they opened, so no link swapped in on the way can redirect them.
#include "platform/install_fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix_write.h"

namespace platform {

static_assert(kMaxPathBytes == PATH_MAX && kMaxNameBytes == NAME_MAX);

int ListFolder(const std::string& path, std::vector<FolderEntry>* entries) {
  DIR* dir = opendir(path.empty() ? "." : path.c_str());
  if (!dir) return errno;
  const int fd = dirfd(dir);
  std::vector<FolderEntry> found;
  while (const dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    FolderEntry item;
    item.name = entry->d_name;
    struct stat st {};
    if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      if (S_ISDIR(st.st_mode)) {
        item.kind = FolderEntry::Kind::Folder;
      } else if (S_ISREG(st.st_mode) ||
                 (S_ISLNK(st.st_mode) && fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))) {
        item.kind = FolderEntry::Kind::File;
      }
    }
    found.push_back(std::move(item));
  }
  closedir(dir);
  std::sort(found.begin(), found.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  *entries = std::move(found);
  return 0;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// mkdir takes the umask off its mode; an installed folder gets 0755 all the
// same.
int makeOneFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0) return errno;
  [[maybe_unused]] const int changed = ::chmod(path.c_str(), 0755);
  return 0;
}

}  // namespace

int MakeFolder(const std::string& path) { return makeOneFolder(path); }

int MakeFolderPath(const std::string& path) {
  if (path.empty()) return ENOENT;
  size_t end = 0;
  while (end != std::string::npos) {
    end = path.find('/', end + 1);
    const std::string prefix = path.substr(0, end);
    if (prefix.empty() || prefix.back() == '/') continue;  // the root, or "//"
    const int error = makeOneFolder(prefix);
    if (error == 0 || IsFolder(prefix)) continue;
    struct stat st {};
    return error == EEXIST || (::stat(prefix.c_str(), &st) == 0) ? ENOTDIR : error;
  }
  return 0;
}

int RemoveFolder(const std::string& path) { return ::rmdir(path.c_str()) == 0 ? 0 : errno; }

namespace {

// Closes a descriptor when it goes.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// A temporary file that a copy of "base" left behind: exactly the name a
// copy makes, "<base>.tmp<pid>-<sequence>" in hex, so that installed files
// such as "<base>.tmp" are never taken for one.
bool isTemporaryOf(const char* entry, const std::string& base) {
  if (std::strncmp(entry, base.c_str(), base.size()) != 0 || std::strncmp(entry + base.size(), ".tmp", 4) != 0) {
    return false;
  }
  const auto hexRun = [](const char*& p) {
    const char* start = p;
    while ((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'f')) ++p;
    return p != start;
  };
  const char* p = entry + base.size() + 4;
  if (!hexRun(p) || *p++ != '-' || !hexRun(p)) return false;
  return *p == '\0';
}

// Opens the folder that holds the last component of relative, one folder at
// a time from `folder` down without following links; *name receives that
// last component. 0, else errno: EINVAL for an empty, "." or ".." component,
// ELOOP with *throughLink set for a link on the way.
int openParentBelow(const std::string& folder, const std::string& relative, Fd* out, std::string* name,
                    bool* throughLink) {
  *throughLink = false;
  Fd current(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (current.get() < 0) return errno;
  size_t start = 0;
  for (;;) {
    const size_t slash = relative.find('/', start);
    const std::string part = relative.substr(start, slash == std::string::npos ? slash : slash - start);
    if (part.empty() || part == "." || part == "..") return EINVAL;
    if (slash == std::string::npos) {
      *name = part;
      out->reset(current.release());
      return 0;
    }
    const int next = ::openat(current.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      // A link gives ELOOP or ENOTDIR, by kernel: ask what stands there.
      const int error = errno;
      struct stat st {};
      if (error == ELOOP ||
          (fstatat(current.get(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))) {
        *throughLink = true;
        return ELOOP;
      }
      return error;
    }
    current.reset(next);
    start = slash + 1;
  }
}

// The copy's destination side: anything that would leave the folder is a
// refusal (EACCES).
int openDestinationFolder(const std::string& folder, const std::string& relative, Fd* out, std::string* name) {
  bool throughLink = false;
  const int error = openParentBelow(folder, relative, out, name, &throughLink);
  return error == EINVAL || error == ELOOP ? EACCES : error;
}

// Opens source for reading: as it stands without a sourceFolder, else below
// it without following any link (ELOOP), the file itself included.
int openSource(const std::string& source, const std::string& sourceFolder, Fd* out) {
  if (sourceFolder.empty()) {
    out->reset(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    return out->get() < 0 ? errno : 0;
  }
  const std::string base = sourceFolder.back() == '/' ? sourceFolder : sourceFolder + "/";
  if (source.size() <= base.size() || source.compare(0, base.size(), base) != 0) return EACCES;
  Fd dir;
  std::string name;
  bool throughLink = false;
  if (const int error = openParentBelow(sourceFolder, source.substr(base.size()), &dir, &name, &throughLink)) {
    return error == EINVAL ? EACCES : error;
  }
  out->reset(::openat(dir.get(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
  return out->get() < 0 ? errno : 0;
}

void removeStaleTemporaries(int folderFd, const std::string& base) {
  const int fd = ::dup(folderFd);
  if (fd < 0) return;
  DIR* dir = fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return;
  }
  while (const dirent* entry = readdir(dir)) {
    if (!isTemporaryOf(entry->d_name, base)) continue;
    struct stat st {};
    if (fstatat(folderFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) {
      ::unlinkat(folderFd, entry->d_name, 0);
    }
  }
  closedir(dir);
}

// Streams source into the open temporary file; 0, else errno. A source
// that ends before the size it had when it was opened (a file cut short
// while it is copied) gives EIO: its copy would be short.
int copyBytes(int from, int to, uint64_t total, CopyProgress progress, void* context) {
  constexpr size_t kChunk = 1 << 20;
  std::vector<char> buffer(kChunk);
  uint64_t copied = 0;
  for (;;) {
    size_t filled = 0;
    while (filled < kChunk) {
      const ssize_t n = ::read(from, buffer.data() + filled, kChunk - filled);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return errno;
      if (n == 0) break;
      filled += static_cast<size_t>(n);
    }
    if (filled == 0) {
      if (copied < total) return EIO;
      // An empty file still reports its one step.
      if (copied == 0 && progress && !progress(context, 0, total)) return ECANCELED;
      return 0;
    }
    if (const int error = WriteAllBytes(to, std::string_view(buffer.data(), filled))) return error;
    copied += filled;
    if (progress && !progress(context, copied, total)) return ECANCELED;
    if (filled < kChunk) return copied < total ? EIO : 0;
  }
}

}  // namespace

int CopyFileInto(const std::string& folder, const std::string& relative, const std::string& source,
                 CopyProgress progress, void* context, const std::string& sourceFolder) {
  Fd from;
  if (const int error = openSource(source, sourceFolder, &from)) return error;
  struct stat st {};
  if (fstat(from.get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EISDIR;
  fcntl(from.get(), F_SETFL, fcntl(from.get(), F_GETFL) & ~O_NONBLOCK);

  Fd dir;
  std::string name;
  if (const int error = openDestinationFolder(folder, relative, &dir, &name)) return error;

  static std::atomic<unsigned> sequence{0};
  std::string temp;
  Fd to;
  for (int attempt = 0; to.get() < 0; ++attempt) {
    // A dead process's file of the same name only costs another try.
    if (attempt == 100) return EEXIST;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".tmp%x-%x", static_cast<unsigned>(getpid()), sequence.fetch_add(1));
    temp = name + suffix;
    to.reset(::openat(dir.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (to.get() < 0 && errno != EEXIST) return errno;
  }

  // Players read what an install (as root, say) puts in place, whatever the
  // disc's own bits and the umask.
  const mode_t mode = (st.st_mode & 0111) != 0 ? 0755 : 0644;
  int error = fchmod(to.get(), mode) == 0 ? 0 : errno;
  if (error == 0) error = copyBytes(from.get(), to.get(), static_cast<uint64_t>(st.st_size), progress, context);
  if (error == 0 && fsync(to.get()) != 0) error = errno;
  if (::close(to.release()) != 0 && error == 0) error = errno;
  if (error == 0 && ::renameat(dir.get(), temp.c_str(), dir.get(), name.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlinkat(dir.get(), temp.c_str(), 0);
    return error;
  }
  // The rename reaches the disk with the folder; the file is in place
  // either way, so a failed folder sync is no failed copy.
  [[maybe_unused]] const int synced = fsync(dir.get());
  removeStaleTemporaries(dir.get(), name);
  return 0;
}

int RemoveBelow(const std::string& folder, const std::string& relative, bool asFolder, bool* throughLink) {
  Fd dir;
  std::string name;
  if (const int error = openParentBelow(folder, relative, &dir, &name, throughLink)) return error;
  // A link where a folder was is left alone, like a link on the way.
  struct stat st {};
  if (asFolder && fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
    *throughLink = true;
    return ELOOP;
  }
  return ::unlinkat(dir.get(), name.c_str(), asFolder ? AT_REMOVEDIR : 0) == 0 ? 0 : errno;
}

int ReadFileBelow(const std::string& folder, const std::string& relative, size_t maxBytes, std::string* out) {
  Fd dir;
  std::string name;
  bool throughLink = false;
  if (const int error = openParentBelow(folder, relative, &dir, &name, &throughLink)) return error;
  Fd file(::openat(dir.get(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
  if (file.get() < 0) return errno;
  struct stat st {};
  if (fstat(file.get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EISDIR;
  if (static_cast<uint64_t>(st.st_size) > maxBytes) return EFBIG;
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;
    if (bytes.size() + static_cast<size_t>(n) > maxBytes) return EFBIG;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  *out = std::move(bytes);
  return 0;
}

int SetFileTimes(const std::string& path, int64_t seconds) {
  timespec times[2];
  times[0].tv_sec = static_cast<time_t>(seconds);
  times[0].tv_nsec = 0;
  times[1] = times[0];
  return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

int SetFileMode(const std::string& path, unsigned mode) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return errno;
  struct stat st {};
  if (fstat(fd.get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EISDIR;
  return fchmod(fd.get(), static_cast<mode_t>(mode & 07777)) == 0 ? 0 : errno;
}

int64_t FreeDiskBytes(const std::string& path) {
  struct statvfs vfs {};
  if (path.empty() || ::statvfs(path.c_str(), &vfs) != 0) return -1;
  const unsigned __int128 bytes = static_cast<unsigned __int128>(vfs.f_bavail) * vfs.f_frsize;
  constexpr int64_t kMax = INT64_MAX;
  return bytes > static_cast<unsigned __int128>(kMax) ? kMax : static_cast<int64_t>(bytes);
}

}  // namespace platform
