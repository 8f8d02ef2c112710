// Buffered files with the sharing intent of the Windows design, as advisory
// locks: readers take a shared flock (others may read, not write), writers an
// exclusive one. Text mode drops the "\r" of CRLF line ends when reading.
// The one atomic replace that every written file goes through. Paths are
// UTF-8 and use "/". A File is used by one thread at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class File {
 public:
  enum class Access { Read, Write };

  // Null when the file cannot be opened or its lock cannot be had at once;
  // *error (when given) receives errno. Write truncates or creates the file,
  // after the lock is held.
  static std::unique_ptr<File> open(const std::string& path, Access access, bool text,
                                    int* error = nullptr);

  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // fread/fwrite semantics: the number of whole elements transferred.
  size_t read(void* buffer, size_t elementSize, size_t count);
  size_t write(const void* buffer, size_t elementSize, size_t count);
  bool flush();
  // Flushes and asks the system to put the data on disk.
  bool sync();
  // Flushes and closes the file now; false when either fails. Only the
  // destructor may follow.
  bool close();
  // The file's size in bytes, or -1 when it cannot be read.
  int64_t size() const;
  // Moves the byte position: origin 0 from the start, 1 from the current
  // position, 2 from the end (fseek semantics: past the end is allowed).
  // False, with the position unchanged, for another origin or a position
  // before the start. Clears the end-of-file indicator.
  bool seek(int64_t offset, int origin);
  // The current byte position, or -1 when it cannot be read.
  int64_t tell() const;
  bool eof() const;
  // The stream's error indicator (a failed read or write).
  bool error() const;

 private:
  File(FILE* stream, bool text) : stream_(stream), text_(text) {}
  size_t readText(char* buffer, size_t bytes);

  FILE* stream_;
  bool text_;
};

// 0 when the path exists (file or folder), else errno.
int StatPath(const std::string& path);
// True when the path names a regular file (following links).
bool IsRegularFile(const std::string& path);
// True when files can be made in the folder: the effective user may write
// it, and its modes let someone write it. The second test is one root
// honours too: a folder whose modes forbid writing counts as read-only
// even where root could write it.
bool IsWritableFolder(const std::string& path);
// The path of an existing file or folder whose name matches the given path
// component by component, ignoring ASCII case (game folders mix upper and
// lower case in names and references). The exact path wins when it exists;
// empty when nothing matches. A relative path stays relative.
std::string FindPathIgnoringCase(const std::string& path);
// 0 on success, else errno.
int RemoveFile(const std::string& path);
// Renames a file within one file system, atomically replacing an existing
// target. 0 on success, else errno.
int RenameFile(const std::string& from, const std::string& to);

// Makes the bytes the whole content of the file at path, or leaves the old
// file exactly as it was: they go to a temporary file created exclusively in
// the same folder ("<name>.tmp<pid>-<n>"), which is synced and renamed over
// the target; then the folder is synced. A new file gets mode 0644 (less the
// umask), a replaced one keeps its mode; a symbolic link at path is replaced
// by the file, not followed. After the rename, temporary files that an
// earlier, interrupted replace of the same file left behind ("<name>.tmp"
// followed by digits, a-f and "-") are removed once their writer is gone:
// the process of the pid in the name has ended (a name without one: it is
// more than an hour old). No other file is touched, so processes sharing a
// folder may replace the same file at once (the last rename wins). 0 on
// success, else errno; *created (when
// given) tells whether the temporary file could be made, which separates an
// open failure from a write failure. A mode (0..0777) when given is the
// file's mode whatever the umask, new or replaced.
int ReplaceFileAtomically(const std::string& path, std::string_view bytes, bool* created = nullptr, int mode = -1);

}  // namespace platform
