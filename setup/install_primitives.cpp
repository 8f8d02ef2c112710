#include "setup/install_primitives.h"

#include <cerrno>
#include <string>

#include "app/file_helpers.h"
#include "app/game_environment.h"
#include "platform/file.h"
#include "platform/utf8.h"
#include "setup/desktop_shortcut.h"

int32_t WindowsErrorFromErrno(int error, FsStep step) {
  const bool removal = step == FsStep::Remove || step == FsStep::RemoveFolder;
  switch (error) {
    case 0: return 0;
    case ENOENT: return step == FsStep::MakeFolder ? kErrorPathNotFound : kErrorFileNotFound;
    case ENOTDIR: return removal ? kErrorDirectory : kErrorPathNotFound;
    case EACCES:
    case EPERM: return kErrorAccessDenied;
    case EROFS: return kErrorWriteProtect;
    case ENOSPC: return kErrorDiskFull;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case EBUSY: return kErrorBusy;
    case EEXIST: return step == FsStep::RemoveFolder ? kErrorDirNotEmpty : kErrorAlreadyExists;
    case ELOOP: return kErrorRefusedPath;
    case ECANCELED: return kErrorRequestAborted;
    default: return kErrorGenFailure;
  }
}

namespace {

bool answer(int error, FsStep step, int32_t* out) {
  if (out) *out = WindowsErrorFromErrno(error, step);
  return error == 0;
}

// The part of path after folder + "/" when path begins with them, else the
// whole path (which the write-path guard then refuses as absolute, or as a
// climb out of the folder).
std::u16string_view nameInside(std::u16string_view folder, std::u16string_view path) {
  if (folder.empty()) return path;
  if (path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
      (folder.back() == u'/' || path[folder.size()] == u'/')) {
    return path.substr(folder.size() + (folder.back() == u'/' ? 0 : 1));
  }
  return path;
}

// path relative to folder, for the walks below it: false when path does not
// lie below it.
bool relativeBelow(std::u16string_view folder, std::u16string_view path, std::string* relative) {
  const std::u16string_view inside = nameInside(folder, path);
  if (folder.empty() || inside.size() == path.size()) return false;
  *relative = platform::ToUtf8(inside);
  return true;
}

bool copyInto(std::u16string_view folder, std::u16string_view destination, std::u16string_view source,
              int32_t* error, CopyProgressCallback callback, void* context, std::u16string_view sourceFolder) {
  std::u16string checked;
  if (!ResolveWritePath(folder, nameInside(folder, destination), &checked)) {
    if (error) *error = kErrorAccessDenied;
    return false;
  }
  std::u16string relative = checked.substr(folder.size());
  if (!relative.empty() && relative[0] == u'/') relative.erase(0, 1);
  // The disc's names may differ in case from the lists that name them.
  const std::string from = platform::FindPathIgnoringCase(platform::ToUtf8(source));
  const int result = from.empty() ? ENOENT
                                  : platform::CopyFileInto(platform::ToUtf8(folder), platform::ToUtf8(relative),
                                                           from, callback, context, platform::ToUtf8(sourceFolder));
  return answer(result, FsStep::Other, error);
}

bool removeBelow(std::u16string_view folder, std::u16string_view path, bool asFolder, int32_t* error) {
  std::string relative;
  if (!relativeBelow(folder, path, &relative)) {
    if (error) *error = kErrorRefusedPath;
    return false;
  }
  bool throughLink = false;
  const int result = platform::RemoveBelow(platform::ToUtf8(folder), relative, asFolder, &throughLink);
  // Only a link on the way is a refusal; a loop in the folder itself is not.
  if (result == ELOOP && !throughLink) {
    if (error) *error = kErrorGenFailure;
    return false;
  }
  return answer(result, asFolder ? FsStep::RemoveFolder : FsStep::Remove, error);
}

}  // namespace

bool deleteFileForce(std::u16string_view path, int32_t* error) {
  return answer(platform::RemoveFile(platform::ToUtf8(path)), FsStep::Other, error);
}

bool removeFolderForce(std::u16string_view path, int32_t* error) {
  return answer(platform::RemoveFolder(platform::ToUtf8(path)), FsStep::RemoveFolder, error);
}

bool deleteFileBelow(std::u16string_view folder, std::u16string_view path, int32_t* error) {
  return removeBelow(folder, path, false, error);
}

bool removeFolderBelow(std::u16string_view folder, std::u16string_view path, int32_t* error) {
  return removeBelow(folder, path, true, error);
}

bool readFileBelow(std::u16string_view folder, std::u16string_view path, size_t maxBytes, std::string* bytes,
                   int32_t* error) {
  std::string relative;
  if (!relativeBelow(folder, path, &relative)) {
    if (error) *error = kErrorRefusedPath;
    return false;
  }
  return answer(platform::ReadFileBelow(platform::ToUtf8(folder), relative, maxBytes, bytes), FsStep::Other, error);
}

bool createFolder(std::u16string_view path, int32_t* error) {
  return answer(platform::MakeFolder(platform::ToUtf8(path)), FsStep::MakeFolder, error);
}

bool createFolderPath(std::u16string_view path, int32_t* error) {
  return answer(platform::MakeFolderPath(platform::ToUtf8(path)), FsStep::MakeFolder, error);
}

bool copyFilePlain(std::u16string_view folder, std::u16string_view destination, std::u16string_view source,
                   int32_t* error, std::u16string_view sourceFolder) {
  return copyInto(folder, destination, source, error, nullptr, nullptr, sourceFolder);
}

bool copyFileWithProgress(std::u16string_view folder, std::u16string_view destination, std::u16string_view source,
                          int32_t* error, CopyProgressCallback callback, void* context,
                          std::u16string_view sourceFolder) {
  return copyInto(folder, destination, source, error, callback, context, sourceFolder);
}

bool setFileTimeFromUnix(std::u16string_view path, int32_t timestamp) {
  return platform::SetFileTimes(platform::ToUtf8(path), timestamp) == 0;
}

namespace {

// Splits a path into its folder and the name the write-path guard checks
// against it.
void splitFolder(std::u16string_view path, std::u16string_view* folder, std::u16string_view* name) {
  const size_t slash = path.rfind(u'/');
  if (slash == std::u16string_view::npos) {
    *folder = {};
    *name = path;
  } else {
    *folder = slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
    *name = path.substr(slash + 1);
  }
}

}  // namespace

bool writeTextFileAnsi(std::u16string_view path, std::u16string_view text) {
  if (text.empty()) return false;
  std::u16string_view folder, name;
  splitFolder(path, &folder, &name);
  std::u16string checked;
  if (!ResolveWritePath(folder, name, &checked)) return false;
  const std::string bytes = platform::ToUtf8(text);
  return WriteFileAtomically(checked, bytes.data(), bytes.size()) == 0;
}

bool createShortcutForPaths(std::u16string_view link, std::u16string_view target, std::u16string_view arguments,
                            std::u16string_view workingFolder, std::u16string_view iconPath, int32_t iconIndex,
                            std::u16string_view installFolder, int32_t* code) {
  (void)iconIndex;  // a desktop entry names an icon file, not a resource in it
  const std::u16string file = DesktopEntryPath(link);
  std::u16string_view folder, name;
  splitFolder(file, &folder, &name);
  std::u16string checked;
  if (!ResolveWritePath(folder, name, &checked)) {
    if (code) *code = kErrorAccessDenied;
    return false;
  }
  const std::string text =
      DesktopEntryText(DesktopEntryName(link), target, arguments, workingFolder, iconPath, installFolder);
  const int error = WriteFileAtomically(checked, text.data(), text.size());
  if (error != 0) {
    if (code) *code = WindowsErrorFromErrno(error);
    return false;
  }
  // Every user reads the launcher; the desktop runs only launchers that are
  // marked executable.
  std::u16string desktop;
  int32_t ignored = 0;
  const bool onDesktop = GetSpecialFolderPath(0x10, &desktop, &ignored) && folder == desktop;
  if (const int modeError = platform::SetFileMode(platform::ToUtf8(checked), onDesktop ? 0755 : 0644)) {
    if (code) *code = WindowsErrorFromErrno(modeError);
    return false;
  }
  return true;
}

void notifyShell(int32_t, std::u16string_view) {}

bool parentFolderOfDrivePath(std::u16string_view path, std::u16string* folder) {
  if (path.empty() || path[0] != u'/' || path.back() == u'/') return false;
  const size_t slash = path.rfind(u'/');
  *folder = std::u16string(slash == 0 ? path.substr(0, 1) : path.substr(0, slash));
  return true;
}

namespace {

// Unicode white space, as the wide-character test of the design counts it.
bool isWhiteSpace(char16_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

}  // namespace

void quoteIfSpaced(std::u16string* text, char16_t quote) {
  if (text->empty() || (text->front() == quote && text->back() == quote)) return;
  for (const char16_t c : *text) {
    if (isWhiteSpace(c)) {
      *text = quote + *text + quote;
      return;
    }
  }
}
