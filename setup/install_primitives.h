// The file and shell primitives the setup commands and the worker's
// preparation and finalisation touch the machine through: forced deletes,
// folder creation, copies into the install folder, time stamps, the VERSION
// file, launchers and the small path helpers. Paths use "/". Failures come
// back as Windows error codes, which the commands branch on. Worker thread
// (any thread is safe).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/install_fs.h"

// Windows error codes the primitives answer with.
constexpr int32_t kErrorFileNotFound = 2;
constexpr int32_t kErrorPathNotFound = 3;
constexpr int32_t kErrorAccessDenied = 5;
constexpr int32_t kErrorWriteProtect = 19;
constexpr int32_t kErrorGenFailure = 31;
constexpr int32_t kErrorDiskFull = 112;
constexpr int32_t kErrorDirNotEmpty = 145;
constexpr int32_t kErrorBusy = 170;
constexpr int32_t kErrorAlreadyExists = 183;
constexpr int32_t kErrorDirectory = 267;
constexpr int32_t kErrorRequestAborted = 1235;
// A path that passes through a link below the folder it must stay in (or
// leaves that folder): refused, nothing was touched.
constexpr int32_t kErrorRefusedPath = 1921;

// Shell change events of notifyShell.
constexpr int32_t SHCNE_CREATE_ID = 2;
constexpr int32_t SHCNE_DELETE_ID = 4;
constexpr int32_t SHCNE_MKDIR_ID = 8;
constexpr int32_t SHCNE_RMDIR_ID = 0x10;

// What a file-system step was doing, for the errors whose Windows code
// depends on it.
enum class FsStep { Other, MakeFolder, Remove, RemoveFolder };

// The one errno table: ENOENT 2, ENOTDIR 3, EACCES and EPERM 5, EROFS 19,
// ENOSPC 112, ENOTEMPTY 145, EBUSY 170, EEXIST 183, ELOOP 1921 (a link in
// the way), ECANCELED (a cancelled copy) 1235, anything else 31. Making a
// folder turns ENOENT into 3 (a missing parent); a removal turns ENOTDIR
// into 267 (something that is not a folder where one was, which is no
// "already gone"), and removing a folder EEXIST into 145. 0 stays 0.
int32_t WindowsErrorFromErrno(int error, FsStep step = FsStep::Other);

// Deletes a file. Read-only and hidden attributes do not exist here, so
// there is nothing to clear first. *error (when given) receives the code.
bool deleteFileForce(std::u16string_view path, int32_t* error = nullptr);
// Removes an empty folder (2 or 3 when it is missing, 145 when it is not
// empty).
bool removeFolderForce(std::u16string_view path, int32_t* error = nullptr);

// The removals of an uninstall: path must lie below folder, and no link
// below folder is followed on the way to it (1921, and nothing is touched,
// for a link there or a path outside the folder). A file that is a link is
// deleted itself. Errors as WindowsErrorFromErrno gives them for a removal.
bool deleteFileBelow(std::u16string_view folder, std::u16string_view path, int32_t* error = nullptr);
bool removeFolderBelow(std::u16string_view folder, std::u16string_view path, int32_t* error = nullptr);
// The text of a file below folder, reached the same way and not itself a
// link; false when it cannot be read or holds more than maxBytes, with
// *error (when given) := the code (2 or 3 when it is gone).
bool readFileBelow(std::u16string_view folder, std::u16string_view path, size_t maxBytes, std::string* bytes,
                   int32_t* error = nullptr);

// Creates one folder whose parent exists, mode 0755: 3 when the parent is
// missing, 183 when the name exists (as a folder or anything else).
bool createFolder(std::u16string_view path, int32_t* error);
// Creates every missing folder of the path, mode 0755; true when the path is
// a folder afterwards, also when it was one before. A file in the way gives
// 3.
bool createFolderPath(std::u16string_view path, int32_t* error);

// Progress of a copy: the bytes copied so far and the file's size; false
// cancels the copy.
using CopyProgressCallback = platform::CopyProgress;

// Copies source over destination, which must lie inside `folder` (the
// install folder): the destination is checked against it with the
// write-path guard, and no link below it is followed while the file is
// written, so a linked folder on the way is refused (5) and nothing is
// written through it. With a sourceFolder the source must lie below it and
// is read without following any link below it, the file itself included
// (1921 for one). The copy goes to a temporary file beside the destination
// and is renamed over it, with mode 0755 when the source is executable (an
// installed program stays runnable) and 0644 otherwise. A failed copy leaves
// the destination as it was. *error := 0 on success, else the code.
bool copyFilePlain(std::u16string_view folder, std::u16string_view destination, std::u16string_view source,
                   int32_t* error, std::u16string_view sourceFolder = {});
// The same in 1 MiB chunks, calling callback (context, copied, size) after
// each; a callback that answers false cancels the copy with 1235.
bool copyFileWithProgress(std::u16string_view folder, std::u16string_view destination, std::u16string_view source,
                          int32_t* error, CopyProgressCallback callback, void* context,
                          std::u16string_view sourceFolder = {});

// Sets the access and modification times (there is no creation time here)
// to the seconds since 1970-01-01 00:00 UTC; negative stamps lie before
// 1970.
bool setFileTimeFromUnix(std::u16string_view path, int32_t timestamp);

// Makes the text, as UTF-8 (no terminator, no line end), the whole content
// of the file, through the write-path guard and the atomic replace. An empty
// text writes nothing and answers false.
bool writeTextFileAnsi(std::u16string_view path, std::u16string_view text);

// Writes the launcher of a shortcut: link "<dir>/<name>.lnk" becomes the
// desktop entry "<dir>/<name>.desktop" (DesktopEntryPath) that runs target
// with the arguments (split as a Windows program splits its command line),
// in the working folder when one is given, with an icon only when it names
// something other than the target, marked as made by the installation in
// installFolder. Written atomically through the write-path guard, mode 0644
// (0755 in the desktop folder, whose launchers must be executable). False
// with *code := the error code (5 for a refused path) when it cannot be
// written; nothing is left behind then.
bool createShortcutForPaths(std::u16string_view link, std::u16string_view target, std::u16string_view arguments,
                            std::u16string_view workingFolder, std::u16string_view iconPath, int32_t iconIndex,
                            std::u16string_view installFolder, int32_t* code);

// The desktop has no change notification to send: does nothing.
void notifyShell(int32_t event, std::u16string_view path);

// The folder that holds the file at an absolute path ("/" for a file in the
// root); false for a relative path and for one that ends in "/".
bool parentFolderOfDrivePath(std::u16string_view path, std::u16string* folder);

// Wraps the text in the quote character when it holds a white-space
// character, unless it is empty or already begins and ends with the quote.
void quoteIfSpaced(std::u16string* text, char16_t quote);
