// The file-system steps of the installer that the buffered files do not
// cover: folder listing, creation and removal, the streamed copy into an
// install folder that never follows a link on the way, time stamps and mode
// bits. Paths are UTF-8 with "/"; results are errno values (0 success), the
// installer turns them into its own codes. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The longest path and the longest name in it, in bytes, that the system
// opens (a path of kMaxPathBytes bytes or more, or a name of more than
// kMaxNameBytes, gives ENAMETOOLONG).
constexpr size_t kMaxPathBytes = 4096;
constexpr size_t kMaxNameBytes = 255;

// One entry of a folder. A link counts as what it leads to, except that a
// linked folder is never a folder here (walks must not follow it).
struct FolderEntry {
  enum class Kind { File, Folder, Other };
  std::string name;
  Kind kind = Kind::Other;
};

// The entries of a folder other than "." and "..", sorted by name (bytes).
// 0, else errno (ENOENT or ENOTDIR when there is no such folder).
int ListFolder(const std::string& path, std::vector<FolderEntry>* entries);

// True when the path names a folder (following links).
bool IsFolder(const std::string& path);

// Creates one folder with mode 0755, set whatever the umask. 0, else errno
// (EEXIST when anything of that name exists).
int MakeFolder(const std::string& path);

// Creates every missing folder of the path, each with mode 0755 whatever the
// umask. 0 when the path is a folder afterwards, also when it was one
// before; else the errno of the step that failed (ENOTDIR when something
// that is not a folder stands in the way).
int MakeFolderPath(const std::string& path);

// Removes an empty folder (not a link to one). 0, else errno.
int RemoveFolder(const std::string& path);

// Called after each copied chunk with the bytes copied so far and the
// source's size; false stops the copy.
using CopyProgress = bool (*)(void* context, uint64_t copied, uint64_t total);

// Copies the regular file source to folder + "/" + relative. Every folder of
// relative below `folder` is opened without following links (a link on the
// way gives EACCES), so the write stays inside `folder`; "", "." and ".."
// components are refused the same way. With a sourceFolder, source must lie
// below it and is opened the same way, the file itself included: a link
// anywhere below sourceFolder gives ELOOP and nothing is written. The bytes
// go in 1 MiB chunks to a temporary file created exclusively beside the
// destination ("<name>.tmp" with the atomic replace's suffix), which gets
// mode 0755 when the source is executable by anyone and 0644 otherwise
// (whatever the umask), is synced and renamed over the destination; a
// destination that is a link is replaced, not followed. The callback (when
// given) runs after each chunk; when it answers false the copy stops with
// ECANCELED; a source that ends before the size it had when it was opened
// gives EIO. On any failure the temporary file is removed and the
// destination stays as it was; after a success, temporary files that an
// interrupted copy of the same name left behind are removed. 0, else errno.
int CopyFileInto(const std::string& folder, const std::string& relative, const std::string& source,
                 CopyProgress progress, void* context, const std::string& sourceFolder = {});

// Removes folder + "/" + relative: a file (a link there is removed itself,
// never followed) or, with asFolder, an empty folder. Every folder on the way
// below `folder` is opened without following links: a link there, or with
// asFolder a link in the folder's own place, gives ELOOP with *throughLink
// set, and nothing is removed. "", "." and ".." components
// give EINVAL. Otherwise the errno of the removal (ENOENT when it is gone,
// EISDIR for a file that became a folder, ENOTDIR for the reverse). 0 when
// removed.
int RemoveBelow(const std::string& folder, const std::string& relative, bool asFolder, bool* throughLink);

// Reads the regular file folder + "/" + relative, reached as RemoveBelow
// reaches it and not itself a link (ELOOP), whole when it holds at most
// maxBytes (EFBIG otherwise). 0, else errno.
int ReadFileBelow(const std::string& folder, const std::string& relative, size_t maxBytes, std::string* out);

// Sets the access and modification times of the path itself (a link is not
// followed) to the seconds since 1970-01-01 00:00 UTC; negative values lie
// before 1970. 0, else errno.
int SetFileTimes(const std::string& path, int64_t seconds);

// Sets the permission bits of a regular file (a link is not followed). 0,
// else errno.
int SetFileMode(const std::string& path, unsigned mode);

// The bytes of the volume that holds the path which an unprivileged caller
// may still use (free blocks available × fragment size); -1 when the volume
// cannot be asked.
int64_t FreeDiskBytes(const std::string& path);

}  // namespace platform
