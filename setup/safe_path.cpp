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
