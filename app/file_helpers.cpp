#include "app/file_helpers.h"

#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "app/game_environment.h"
#include "app/log.h"
#include "app/string_util.h"
#include "platform/utf8.h"

std::unique_ptr<FileStream> OpenFileByMode(std::u16string_view path, int mode) {
  if (mode < 0 || mode > 3) {
    LogWrite(LOG_ERROR, u"不正なモード定数(%d)\n", mode);
    return nullptr;
  }
  const auto access = mode >= 2 ? FileStream::Access::Write : FileStream::Access::Read;
  const bool text = mode == 1 || mode == 3;
  return FileStream::open(platform::ToUtf8(path), access, text);
}

int64_t GetFileSize(const FileStream* stream) { return stream ? stream->size() : -1; }

int FileStatus(std::u16string_view path) { return platform::StatPath(platform::ToUtf8(path)); }

namespace {

bool hasParentComponent(std::u16string_view path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of(u"/\\", start);
    if (end == std::u16string_view::npos) end = path.size();
    if (path.substr(start, end - start) == u"..") return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

int DeleteRelativeFile(std::u16string_view path, std::u16string_view folder) {
  const std::u16string text(path);
  if (path.empty() || (path.size() >= 2 && path[1] == u':') || path[0] == u'/' || path[0] == u'\\' ||
      hasParentComponent(path)) {
    LogWrite(LOG_WARN, u"削除ファイルパスとして不適切(%s)\n", text);
    return 0;
  }
  // Scripts written for Windows may separate folders with backslashes.
  if (platform::RemoveFile(platform::ToUtf8(JoinPath(folder, ToSlashPath(path)))) != 0) {
    LogWrite(LOG_WARN, u"ファイルの削除に失敗(%s)\n", text);
    return -1;
  }
  return 0;
}

int WriteFileAtomically(std::u16string_view path, const void* data, size_t size, uint32_t level) {
  bool created = false;
  const int error = platform::ReplaceFileAtomically(
      platform::ToUtf8(path), std::string_view(static_cast<const char*>(data), size), &created);
  if (error == 0) return 0;
  const std::u16string text(path);
  if (!created) {
    LogWrite(level, u"ファイルの書き込みオープンに失敗(%s)\n", text);
  } else {
    LogWrite(level, u"ファイルの書き込みに失敗(%s,errno=%d)\n", text, error);
  }
  return error;
}

namespace {

namespace fs = std::filesystem;

// True when p is base or lies below it (both without "." or ".." parts).
bool isWithin(const fs::path& base, const fs::path& p) {
  auto q = p.begin();
  for (const fs::path& part : base) {
    if (part.empty()) continue;  // the empty last part of a path ending in "/"
    if (q == p.end() || part != *q) return false;
    ++q;
  }
  return true;
}

// Folds "." and "dir/.." of a relative name; false when a ".." climbs out.
bool foldRelative(std::u16string_view name, std::vector<std::u16string>* parts) {
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find(u'/', start);
    if (end == std::u16string_view::npos) end = name.size();
    const std::u16string_view part = name.substr(start, end - start);
    if (part == u"..") {
      if (parts->empty()) return false;
      parts->pop_back();
    } else if (!part.empty() && part != u".") {
      parts->emplace_back(part);
    }
    start = end + 1;
  }
  return true;
}

// False when an existing part of folder/parts is a symbolic link that leads
// out of the folder or to nothing.
bool staysInside(const std::string& folder, const std::vector<std::u16string>& parts) {
  std::error_code ec;
  const fs::path base = fs::weakly_canonical(folder.empty() ? fs::path(".") : fs::path(folder), ec);
  if (ec) return false;
  fs::path walk = base;
  for (const std::u16string& part : parts) {
    walk /= platform::ToUtf8(part);
    const fs::file_status link = fs::symlink_status(walk, ec);
    if (fs::is_symlink(link)) {
      const fs::path target = fs::canonical(walk, ec);
      if (ec || !isWithin(base, target)) return false;
      walk = target;
    }
    // Below a part that is not a folder nothing exists to lead elsewhere.
    if (!fs::is_directory(fs::status(walk, ec))) return true;
  }
  return true;
}

}  // namespace

bool RelativePathStaysBelow(std::u16string_view name) {
  std::vector<std::u16string> parts;
  return foldRelative(ToSlashPath(name), &parts);
}

bool ResolveWritePath(std::u16string_view folder, std::u16string_view name, std::u16string* out) {
  const std::u16string slashed = ToSlashPath(name);
  std::vector<std::u16string> parts;
  const bool absolute = !slashed.empty() && (slashed[0] == u'/' || (slashed.size() >= 2 && slashed[1] == u':'));
  if (slashed.empty() || absolute || slashed.find(u'\0') != std::u16string::npos || !foldRelative(slashed, &parts) ||
      parts.empty() || !staysInside(platform::ToUtf8(folder), parts)) {
    LogWrite(LOG_WARN, u"書き込みファイルパスとして不適切(%s)\n", std::u16string(name));
    return false;
  }
  std::u16string joined(folder);
  for (const std::u16string& part : parts) {
    if (!joined.empty() && joined.back() != u'/') joined += u'/';
    joined += part;
  }
  *out = std::move(joined);
  return true;
}

void WarnIfUtf8Text(std::string_view bytes, std::u16string_view name) {
  static std::mutex lock;
  static std::set<std::u16string, std::less<>> checked;
  {
    std::lock_guard<std::mutex> hold(lock);
    // A scenario file is read again for every set or sub it gives.
    if (!checked.emplace(name).second) return;
  }
  if (IsMultiByteUtf8(bytes)) LogWrite(LOG_WARN, u"UTF-8で書かれたファイルのようです。CP932として読みます(%s)\n", std::u16string(name));
}
