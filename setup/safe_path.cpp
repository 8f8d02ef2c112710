#include "setup/safe_path.h"

bool IsSafeRelativePath(std::u16string_view path) {
  if (path.empty() || path.front() == u'/') return false;
  for (const char16_t c : path) {
    if (c < 0x20 || c == 0x7F || c == u'\\' || c == u':' || c == u'"') return false;
  }
  size_t start = 0;
  for (;;) {
    const size_t slash = path.find(u'/', start);
    const std::u16string_view part = path.substr(start, slash == std::u16string_view::npos ? slash : slash - start);
    if (part.empty() || part == u"." || part == u"..") return false;
    if (slash == std::u16string_view::npos) return true;
    start = slash + 1;
  }
}

bool IsSafeComponent(std::u16string_view name) {
  return name.find(u'/') == std::u16string_view::npos && IsSafeRelativePath(name);
}

const char16_t* InstallFolderFault(std::u16string_view folder) {
  if (folder.empty() || folder.front() != u'/') return u"インストール先が絶対パスではありません(%s)\n";
  if (folder.find_first_not_of(u'/') == std::u16string_view::npos) {
    return u"インストール先にルートフォルダは指定できません(%s)\n";
  }
  for (size_t start = 1; start <= folder.size();) {
    size_t end = folder.find(u'/', start);
    if (end == std::u16string_view::npos) end = folder.size();
    const std::u16string_view part = folder.substr(start, end - start);
    if (part == u"." || part == u"..") return u"インストール先に「.」や「..」のフォルダ名は使えません(%s)\n";
    start = end + 1;
  }
  if (folder.find(u'"') != std::u16string_view::npos) return u"インストール先に「\"」は使えません(%s)\n";
  return nullptr;
}
