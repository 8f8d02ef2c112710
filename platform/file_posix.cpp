// File over stdio with flock for the sharing rules, and the atomic replace
// over open(O_EXCL), fsync and rename.
#include "platform/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/posix_write.h"

namespace platform {

std::unique_ptr<File> File::open(const std::string& path, Access access, bool text, int* error) {
  const bool write = access == Access::Write;
  // Non-blocking so a FIFO cannot hang the open; only regular files are files.
  const int fd = ::open(path.c_str(),
                        (write ? (O_WRONLY | O_CREAT) : O_RDONLY) | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) {
    if (error) *error = errno;
    return nullptr;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (error) *error = EISDIR;
    ::close(fd);
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (flock(fd, (write ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 || (write && ftruncate(fd, 0) != 0)) {
    if (error) *error = errno;
    ::close(fd);
    return nullptr;
  }
  FILE* stream = fdopen(fd, write ? "wb" : "rb");
  if (!stream) {
    if (error) *error = errno;
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<File>(new File(stream, text));
}

File::~File() {
  if (stream_) fclose(stream_);
}

bool File::close() {
  FILE* stream = stream_;
  stream_ = nullptr;
  return stream && fclose(stream) == 0;
}

size_t File::read(void* buffer, size_t elementSize, size_t count) {
  if (elementSize == 0 || count == 0) return 0;
  if (!text_) return fread(buffer, elementSize, count, stream_);
  if (count > SIZE_MAX / elementSize) count = SIZE_MAX / elementSize;
  return readText(static_cast<char*>(buffer), elementSize * count) / elementSize;
}

size_t File::readText(char* buffer, size_t bytes) {
  size_t filled = 0;
  while (filled < bytes) {
    const size_t got = fread(buffer + filled, 1, bytes - filled, stream_);
    if (got == 0) break;
    // Compact the new bytes, dropping each "\r" that stands before "\n".
    size_t w = filled;
    const size_t end = filled + got;
    for (size_t r = filled; r < end; ++r) {
      if (buffer[r] == '\r') {
        if (r + 1 < end) {
          if (buffer[r + 1] == '\n') continue;
        } else {
          const int next = fgetc(stream_);
          if (next != EOF) ungetc(next, stream_);
          if (next == '\n') continue;
        }
      }
      buffer[w++] = buffer[r];
    }
    filled = w;
  }
  return filled;
}

size_t File::write(const void* buffer, size_t elementSize, size_t count) {
  if (elementSize == 0 || count == 0) return 0;
  return fwrite(buffer, elementSize, count, stream_);
}

bool File::flush() { return fflush(stream_) == 0; }

bool File::sync() { return flush() && fsync(fileno(stream_)) == 0; }

int64_t File::size() const {
  struct stat st {};
  if (fstat(fileno(stream_), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool File::seek(int64_t offset, int origin) {
  static_assert(sizeof(off_t) == 8, "64-bit file offsets");
  int whence;
  switch (origin) {
    case 0: whence = SEEK_SET; break;
    case 1: whence = SEEK_CUR; break;
    case 2: whence = SEEK_END; break;
    default: return false;
  }
  return fseeko(stream_, static_cast<off_t>(offset), whence) == 0;
}

int64_t File::tell() const { return static_cast<int64_t>(ftello(stream_)); }

bool File::eof() const { return feof(stream_) != 0; }

bool File::error() const { return ferror(stream_) != 0; }

int StatPath(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? 0 : errno;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsWritableFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 0222) != 0 &&
         ::access(path.c_str(), W_OK) == 0;
}

namespace {

bool equalIgnoringAsciiCase(const char* a, const std::string& b) {
  size_t i = 0;
  for (; a[i] && i < b.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return a[i] == '\0' && i == b.size();
}

}  // namespace

std::string FindPathIgnoringCase(const std::string& path) {
  if (path.empty()) return {};
  if (StatPath(path) == 0) return path;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  const bool absolute = path[0] == '/';
  std::string current = absolute ? "/" : "";
  for (size_t i = absolute ? 1 : 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (part.empty()) continue;
    const std::string dirPath = current.empty() ? "." : current;
    std::string next = current + (current.empty() || current == "/" ? "" : "/") + part;
    if (part == "." || part == ".." || StatPath(next) == 0) {
      current = next;
      continue;
    }
    DIR* dir = opendir(dirPath.c_str());
    if (!dir) return {};
    std::string match;
    while (dirent* entry = readdir(dir)) {
      if (equalIgnoringAsciiCase(entry->d_name, part)) {
        match = entry->d_name;
        break;
      }
    }
    closedir(dir);
    if (match.empty()) return {};
    current += (current.empty() || current == "/" ? "" : "/") + match;
  }
  return StatPath(current) == 0 ? current : std::string();
}

int RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

int RenameFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

namespace {

// A temporary file of the replace of "base": "<base>.tmp" and then only the
// characters a temporary name is made of (an older writer's plain ".tmp" and
// ".tmp<pid>" included), so "<base>.tmpl" and the like are other files.
bool isTemporaryOf(const char* entry, const std::string& base) {
  if (std::strncmp(entry, base.c_str(), base.size()) != 0 || std::strncmp(entry + base.size(), ".tmp", 4) != 0) {
    return false;
  }
  for (const char* p = entry + base.size() + 4; *p; ++p) {
    if (!((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'f') || *p == '-')) return false;
  }
  return true;
}

// Whether the writer of a temporary file (its name after "<base>.tmp") is
// gone, so the file is a leftover: the pid of "<pid>-<n>" names no live
// process (another process sharing the folder may be writing its own); a
// name without a pid is an older writer's, left alone for an hour.
bool writerGone(const char* suffix, const struct stat& st) {
  const char* dash = std::strchr(suffix, '-');
  if (dash && dash != suffix && dash - suffix <= 8) {
    const unsigned long pid = std::strtoul(std::string(suffix, dash).c_str(), nullptr, 16);
    if (pid > 0 && pid <= static_cast<unsigned long>(INT32_MAX)) {
      return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    }
  }
  return st.st_mtime < std::time(nullptr) - 3600;
}

}  // namespace

int WriteAllBytes(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    done += static_cast<size_t>(n);
  }
  return 0;
}

int ReplaceFileAtomically(const std::string& path, std::string_view bytes, bool* created, int mode) {
  if (created) *created = false;
  const size_t slash = path.rfind('/');
  const std::string prefix = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = path.substr(prefix.size());
  const std::string folder = prefix.empty() ? "." : (prefix == "/" ? prefix : prefix.substr(0, prefix.size() - 1));
  if (base.empty() || base == "." || base == "..") return EISDIR;

  struct stat old {};
  const bool replacing = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);

  static std::atomic<unsigned> sequence{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    // A dead process's file of the same name only costs another try.
    if (attempt == 100) return EEXIST;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".tmp%x-%x", static_cast<unsigned>(getpid()), sequence.fetch_add(1));
    temp = prefix + base + suffix;
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                mode >= 0 ? mode & 0777 : (replacing ? 0600 : 0644));
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (created) *created = true;

  int error = WriteAllBytes(fd, bytes);
  if (error == 0 && (mode >= 0 || replacing) && fchmod(fd, mode >= 0 ? mode & 0777 : old.st_mode & 0777) != 0) {
    error = errno;
  }
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return error;
  }

  // The rename reaches the disk with the folder.
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    if (fsync(folderFd) != 0 && errno != EINVAL) error = errno;  // EINVAL: no such sync here
    ::close(folderFd);
  }

  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      if (!isTemporaryOf(entry->d_name, base)) continue;
      const std::string stale = prefix + entry->d_name;
      struct stat st {};
      if (::lstat(stale.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
          writerGone(entry->d_name + base.size() + 4, st)) {
        ::unlink(stale.c_str());
      }
    }
    closedir(dir);
  }
  return error;
}

}  // namespace platform
