#include "setup/install_files.h"

#include <cerrno>
#include <ctime>
#include <memory>
#include <string>

#include "app/file_helpers.h"
#include "app/format.h"
#include "app/string_util.h"
#include "platform/file.h"
#include "platform/install_fs.h"
#include "platform/utf8.h"
#include "setup/install_primitives.h"

int32_t checkDiscIdFile(std::u16string_view path, std::u16string_view idText) {
  const std::string expected = WStringToMultiByte(idText);
  if (expected.empty()) return 4;
  const std::string found = platform::FindPathIgnoringCase(platform::ToUtf8(path));
  if (found.empty()) return 1;
  const std::unique_ptr<FileStream> file = OpenFileByMode(platform::FromUtf8(found), 0);
  if (!file) return 1;
  std::string bytes(expected.size(), '\0');
  if (file->read(bytes.data(), 1, bytes.size()) != bytes.size()) return 2;
  if (GetFileSize(file.get()) != static_cast<int64_t>(expected.size())) return 2;
  return bytes == expected ? 0 : 2;
}

bool readVersionFile(std::u16string_view installFolder, std::u16string* version) {
  const std::unique_ptr<FileStream> file = OpenFileByMode(std::u16string(installFolder) + u"/VERSION", 0);
  if (!file) return false;
  const int64_t size = GetFileSize(file.get());
  if (size < 1 || size > kMaxVersionBytes) return false;
  std::string raw(static_cast<size_t>(size), '\0');
  if (file->read(raw.data(), 1, raw.size()) != raw.size()) return false;
  *version = Utf8OrCP932ToWString(raw);
  return true;
}

namespace {

char16_t lowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// "*" any run, "?" any one character, ASCII case ignored.
bool matchesPattern(std::u16string_view pattern, std::u16string_view name) {
  if (pattern == u"*.*") return true;
  size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || lowerAscii(pattern[p]) == lowerAscii(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

// A folder that cannot be read is one where nothing is found, except below
// the top, where it fails the walk.
bool walk(const std::string& folder, std::u16string_view pattern, bool recursive, bool includeHidden,
          std::vector<std::u16string>* out, bool top) {
  std::vector<platform::FolderEntry> entries;
  const int error = platform::ListFolder(folder, &entries);
  if (error == ENOENT || error == ENOTDIR) return true;
  if (error != 0) return top;
  const std::string prefix = folder.empty() ? std::string() : folder == "/" ? folder : folder + "/";
  for (const platform::FolderEntry& entry : entries) {
    if (!includeHidden && entry.name[0] == '.') continue;
    const std::u16string name = platform::FromUtf8(entry.name);
    if (!matchesPattern(pattern, name)) continue;
    if (entry.kind == platform::FolderEntry::Kind::File) {
      out->push_back(platform::FromUtf8(prefix + entry.name));
    } else if (entry.kind == platform::FolderEntry::Kind::Folder && recursive) {
      if (!walk(prefix + entry.name, u"*.*", recursive, includeHidden, out, false)) return false;
    }
  }
  return true;
}

}  // namespace

bool listFiles(std::u16string_view pattern, bool recursive, bool includeHidden, std::vector<std::u16string>* out) {
  const size_t slash = pattern.rfind(u'/');
  std::string folder;
  if (slash != std::u16string_view::npos) {
    const std::string given = platform::ToUtf8(slash == 0 ? pattern.substr(0, 1) : pattern.substr(0, slash));
    folder = platform::FindPathIgnoringCase(given);
    if (folder.empty()) return true;
  }
  return walk(folder, slash == std::u16string_view::npos ? pattern : pattern.substr(slash + 1), recursive,
              includeHidden, out, true);
}

bool makeParentFolders(std::u16string_view path, int32_t* error) {
  const size_t slash = path.rfind(u'/');
  if (slash == std::u16string_view::npos) return false;
  if (slash == 0) return true;  // the root
  return createFolderPath(path.substr(0, slash), error);
}

bool isDirectory(std::u16string_view path) { return platform::IsFolder(platform::ToUtf8(path)); }

std::u16string todayText() {
  const std::time_t now = std::time(nullptr);
  std::tm local {};
  localtime_r(&now, &local);
  return Format(u"%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}
