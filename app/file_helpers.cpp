#include "app/file_helpers.h"

#include <string>

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

int DeleteRelativeFile(std::u16string_view path) {
  const std::u16string text(path);
  if (path.empty() || (path.size() >= 2 && path[1] == u':') || path[0] == u'/' || path[0] == u'\\' ||
      hasParentComponent(path)) {
    LogWrite(LOG_WARN, u"削除ファイルパスとして不適切(%s)\n", text);
    return 0;
  }
  // Scripts written for Windows may separate folders with backslashes.
  if (platform::RemoveFile(platform::ToUtf8(ToSlashPath(path))) != 0) {
    LogWrite(LOG_WARN, u"ファイルの削除に失敗(%s)\n", text);
    return -1;
  }
  return 0;
}
